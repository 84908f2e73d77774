// SPDX-License-Identifier: GPL-3.0-or-later
// Token cut, line parse and prefix split of the IRC client.
#include "chat/IRCParse.h"

namespace {

char LowerByte(char c) { return (c >= 'A' && c <= 'Z') ? static_cast<char>(c - 'A' + 'a') : c; }

}  // namespace

std::string NextToken(std::string_view& text, std::string_view delims) {
    std::size_t end = text.find_first_of(delims);
    if (end == std::string_view::npos) {
        std::string token(text);
        text = {};
        return token;
    }
    std::string token(text.substr(0, end));
    std::size_t rest = text.find_first_not_of(delims, end);
    text = rest == std::string_view::npos ? std::string_view{} : text.substr(rest);
    return token;
}

bool ParseIRCLine(std::string_view line, TIRCLine& out) {
    out.Tags.clear();
    out.Prefix.clear();
    out.Command.clear();
    out.Parameters.clear();

    std::size_t start = 0;
    while (start < line.size() && static_cast<unsigned char>(line[start]) <= 32) ++start;
    std::string_view text = line.substr(start);

    std::string token = NextToken(text, " ");
    if (!token.empty() && token[0] == '@') {
        out.Tags = token.substr(1);
        token = NextToken(text, " ");
    }
    if (token.empty()) return false;
    if (token[0] == ':') {
        out.Prefix = std::move(token);
        out.Command = NextToken(text, " ");
    } else {
        out.Command = std::move(token);
    }
    while (!text.empty()) {
        if (text[0] == ':') {
            out.Parameters.emplace_back(text.substr(1));
            break;
        }
        out.Parameters.push_back(NextToken(text, " "));
    }
    return true;
}

std::string TagValue(std::string_view tags, std::string_view key) {
    while (!tags.empty()) {
        const std::string tag = NextToken(tags, ";");
        const std::size_t eq = tag.find('=');
        if (std::string_view(tag).substr(0, eq) != key) continue;
        std::string value;
        if (eq == std::string::npos) return value;
        for (std::size_t i = eq + 1; i < tag.size(); ++i) {
            if (tag[i] != '\\') {
                value += tag[i];
                continue;
            }
            if (++i == tag.size()) break;  // a lone backslash at the end is dropped
            const char c = tag[i];
            value += c == ':' ? ';' : c == 's' ? ' ' : c == 'r' ? '\r' : c == 'n' ? '\n' : c;
        }
        return value;
    }
    return {};
}

TIRCPrefixInfo SplitPrefix(std::string_view prefix) {
    TIRCPrefixInfo info;
    if (prefix.empty()) return info;
    std::string_view rest = prefix.substr(1);
    info.Nick = NextToken(rest, "!");
    info.User = NextToken(rest, "@");
    info.Host = std::string(rest);
    return info;
}

bool IsNumericCommand(std::string_view command) {
    if (command.size() != 3) return false;
    for (char c : command)
        if (c < '0' || c > '9') return false;
    return true;
}

bool SameTextAscii(std::string_view a, std::string_view b) {
    if (a.size() != b.size()) return false;
    for (std::size_t i = 0; i < a.size(); ++i)
        if (LowerByte(a[i]) != LowerByte(b[i])) return false;
    return true;
}

std::string LowerAscii(std::string_view text) {
    std::string out(text);
    for (char& c : out) c = LowerByte(c);
    return out;
}
