// SPDX-License-Identifier: GPL-3.0-or-later
// Reading the ISUPPORT tokens a server sends.
#include "chat/IRCSupport.h"

namespace {

constexpr std::size_t kMaxValue = 400;

std::string UpperAscii(std::string_view text) {
    std::string out(text);
    for (char& c : out)
        if (c >= 'a' && c <= 'z') c = static_cast<char>(c - 'a' + 'A');
    return out;
}

// Values escape bytes as \xHH; only the ones a value may not hold directly are escaped.
std::string Unescaped(std::string_view value) {
    std::string out;
    for (std::size_t i = 0; i < value.size(); ++i) {
        if (value[i] == '\\' && i + 3 < value.size() && value[i + 1] == 'x') {
            auto hex = [](char c) -> int {
                if (c >= '0' && c <= '9') return c - '0';
                if (c >= 'a' && c <= 'f') return c - 'a' + 10;
                if (c >= 'A' && c <= 'F') return c - 'A' + 10;
                return -1;
            };
            const int hi = hex(value[i + 2]), lo = hex(value[i + 3]);
            if (hi >= 0 && lo >= 0) {
                out += static_cast<char>(hi * 16 + lo);
                i += 3;
                continue;
            }
        }
        out += value[i];
    }
    return out;
}

// No blanks, controls or line ends in what later goes into lists and lookups.
bool PlainBytes(std::string_view text) {
    for (char c : text)
        if (static_cast<unsigned char>(c) <= 32) return false;
    return true;
}

void SplitChanModes(const std::string& value, TIRCSupport& s) {
    std::string groups[4];
    std::size_t g = 0;
    for (char c : value) {
        if (c == ',') {
            if (++g >= 4) break;  // later groups have no meaning we know
            continue;
        }
        groups[g] += c;
    }
    if (g < 3) return;
    s.ListModes = groups[0];
    s.ParamModes = groups[1];
    s.SetParamModes = groups[2];
    s.FlagModes = groups[3];
}

}  // namespace

bool ParsePrefixToken(std::string_view value, std::string& modes, std::string& marks) {
    if (value.empty()) {
        // "PREFIX=" : no member modes at all.
        modes.clear();
        marks.clear();
        return true;
    }
    if (value[0] != '(') return false;
    const std::size_t close = value.find(')');
    if (close == std::string_view::npos) return false;
    const std::string_view m = value.substr(1, close - 1), k = value.substr(close + 1);
    if (m.size() != k.size() || m.size() > TIRCSupport::MaxPrefixModes || !PlainBytes(m) || !PlainBytes(k))
        return false;
    // A mark that is also a nickname's first character would eat that character.
    for (char c : k)
        if ((c >= 'A' && c <= '}') || (c >= '0' && c <= '9') || c == '-') return false;
    modes = m;
    marks = k;
    return true;
}

bool TIRCSupport::ModeTakesParameter(char mode, bool adding) const {
    if (PrefixModes.find(mode) != std::string::npos) return true;
    if (ListModes.find(mode) != std::string::npos || ParamModes.find(mode) != std::string::npos) return true;
    if (SetParamModes.find(mode) != std::string::npos) return adding;
    return false;
}

void TIRCSupport::Apply(const std::vector<std::string>& tokens) {
    const TIRCSupport defaults;
    for (const std::string& token : tokens) {
        if (token.empty() || token.size() > kMaxValue) continue;
        const bool negated = token[0] == '-';
        const std::size_t eq = token.find('=');
        const std::size_t from = negated ? 1 : 0;
        const std::string name = UpperAscii(token.substr(from, eq == std::string::npos ? eq : eq - from));
        if (name.empty() || !PlainBytes(name)) continue;
        const std::string value = negated || eq == std::string::npos ? std::string() : Unescaped(token.substr(eq + 1));
        if (negated) {
            Tokens.erase(name);
        } else if (Tokens.size() < MaxTokens || Tokens.count(name)) {
            Tokens[name] = value;
        }
        if (name == "PREFIX") {
            if (negated)
                PrefixModes = defaults.PrefixModes, PrefixMarks = defaults.PrefixMarks;
            else
                ParsePrefixToken(value, PrefixModes, PrefixMarks);
        } else if (name == "CASEMAPPING") {
            CaseMapping = negated ? defaults.CaseMapping : CaseMappingNamed(value);
        } else if (name == "CHANTYPES") {
            if (negated)
                ChanTypes = defaults.ChanTypes;
            else if (PlainBytes(value) && value.size() <= 16)
                ChanTypes = value;
        } else if (name == "CHANMODES") {
            if (negated) {
                ListModes = defaults.ListModes, ParamModes = defaults.ParamModes;
                SetParamModes = defaults.SetParamModes, FlagModes = defaults.FlagModes;
            } else if (PlainBytes(value)) {
                SplitChanModes(value, *this);
            }
        }
    }
}
