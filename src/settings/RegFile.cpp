// SPDX-License-Identifier: GPL-3.0-or-later
// Parsing and writing the registry-export text of the settings key.
#include "settings/RegFile.h"

#include <algorithm>
#include <cstdio>

namespace {

constexpr std::string_view kHeader5 = "Windows Registry Editor Version 5.00";
constexpr std::string_view kHeader4 = "REGEDIT4";

bool IsBlank(char c) { return c == ' ' || c == '\t'; }

std::string_view TrimLeft(std::string_view s) {
    while (!s.empty() && IsBlank(s.front())) s.remove_prefix(1);
    return s;
}

std::string_view TrimRight(std::string_view s) {
    while (!s.empty() && IsBlank(s.back())) s.remove_suffix(1);
    return s;
}

std::string_view Trim(std::string_view s) { return TrimLeft(TrimRight(s)); }

char Lower(char c) { return (c >= 'A' && c <= 'Z') ? static_cast<char>(c - 'A' + 'a') : c; }

bool EqualNoCase(std::string_view a, std::string_view b) {
    if (a.size() != b.size()) return false;
    for (std::size_t i = 0; i < a.size(); ++i)
        if (Lower(a[i]) != Lower(b[i])) return false;
    return true;
}

bool StartsNoCase(std::string_view s, std::string_view prefix) {
    return s.size() >= prefix.size() && EqualNoCase(s.substr(0, prefix.size()), prefix);
}

int HexDigit(char c) {
    if (c >= '0' && c <= '9') return c - '0';
    c = Lower(c);
    if (c >= 'a' && c <= 'f') return c - 'a' + 10;
    return -1;
}

// UTF-16LE code units to single bytes; units beyond one byte have no ANSI byte here and
// become '?', as a conversion to the ANSI code page does. Stops at a zero unit when asked.
std::string NarrowUtf16(std::string_view le, bool stopAtZero) {
    std::string out;
    for (std::size_t i = 0; i + 1 < le.size(); i += 2) {
        unsigned unit = static_cast<unsigned char>(le[i]) | (static_cast<unsigned char>(le[i + 1]) << 8);
        if (unit == 0 && stopAtZero) break;
        if (unit >= 0xD800 && unit <= 0xDBFF && i + 3 < le.size()) {
            unsigned next = static_cast<unsigned char>(le[i + 2]) | (static_cast<unsigned char>(le[i + 3]) << 8);
            if (next >= 0xDC00 && next <= 0xDFFF) i += 2;  // one character, one '?'
        }
        out.push_back(unit <= 0xFF ? static_cast<char>(unit) : '?');
    }
    return out;
}

// The bytes of a hex string: UTF-16LE in version 5.00, single bytes in REGEDIT4, each with
// the terminating zero the registry stores with the string.
std::string HexStringBytes(const std::string& text, bool regedit4) {
    if (regedit4) return text + '\0';
    std::string le;
    for (char c : text) {
        le.push_back(c);
        le.push_back('\0');
    }
    le.append(2, '\0');
    return le;
}

std::string HexList(const std::string& bytes) {
    std::string out;
    char b[4];
    for (std::size_t i = 0; i < bytes.size(); ++i) {
        std::snprintf(b, sizeof b, "%02x", static_cast<unsigned char>(bytes[i]));
        if (i) out.push_back(',');
        out += b;
    }
    return out;
}

bool ParseQuoted(std::string_view s, std::size_t& pos, std::string& out) {
    ++pos;  // opening quote
    while (pos < s.size()) {
        char c = s[pos];
        if (c == '"') {
            ++pos;
            return true;
        }
        if (c == '\\' && pos + 1 < s.size() && (s[pos + 1] == '\\' || s[pos + 1] == '"')) {
            out.push_back(s[pos + 1]);
            pos += 2;
            continue;
        }
        out.push_back(c);
        ++pos;
    }
    return false;
}

std::string Quoted(const std::string& text) {
    std::string out = "\"";
    for (char c : text) {
        if (c == '\\' || c == '"') out.push_back('\\');
        out.push_back(c);
    }
    out.push_back('"');
    return out;
}

struct TValueLine {
    TRegValue Value;
    bool Delete = false;
};

// The data after "=": a quoted string, "-", dword:, or a hex list with an optional type.
bool ParseData(std::string_view data, bool unicodeHex, TValueLine& line, std::string& error) {
    TRegValue& v = line.Value;
    if (!data.empty() && data.front() == '"') {
        std::size_t pos = 0;
        if (!ParseQuoted(data, pos, v.Text)) return error = "unterminated string", false;
        if (!Trim(data.substr(pos)).empty()) return error = "text after the closing quote", false;
        v.Text.erase(std::min(v.Text.find('\0'), v.Text.size()));  // a registry string ends at a zero byte
        v.Type = TRegDataType::String;
        return true;
    }
    data = TrimRight(data);
    if (data == "-") return line.Delete = true, true;
    if (StartsNoCase(data, "dword:")) {
        std::string_view digits = data.substr(6);
        if (digits.empty() || digits.size() > 8) return error = "dword needs 1 to 8 hex digits", false;
        std::uint32_t n = 0;
        for (char c : digits) {
            int d = HexDigit(c);
            if (d < 0) return error = "bad hex digit in dword", false;
            n = n * 16 + static_cast<std::uint32_t>(d);
        }
        v.Type = TRegDataType::DWord;
        v.Number = n;
        return true;
    }
    if (!StartsNoCase(data, "hex")) return error = "unknown kind of data", false;
    std::size_t pos = 3;
    unsigned type = 3;  // plain "hex:" is binary
    if (pos < data.size() && data[pos] == '(') {
        std::size_t close = data.find(')', pos);
        if (close == std::string_view::npos || close == pos + 1 || close - pos > 9)
            return error = "bad hex type", false;
        type = 0;
        for (std::size_t i = pos + 1; i < close; ++i) {
            int d = HexDigit(data[i]);
            if (d < 0) return error = "bad hex type", false;
            type = type * 16 + static_cast<unsigned>(d);
        }
        pos = close + 1;
    }
    if (pos >= data.size() || data[pos] != ':') return error = "missing ':' after hex", false;
    ++pos;
    std::string bytes;
    std::string_view list = data.substr(pos);
    if (!Trim(list).empty()) {
        std::size_t start = 0;
        while (true) {
            std::size_t comma = list.find(',', start);
            std::string_view item = Trim(list.substr(start, comma == std::string_view::npos ? list.npos : comma - start));
            if (item.empty() || item.size() > 2) return error = "bad byte in hex list", false;
            int value = 0;
            for (char c : item) {
                int d = HexDigit(c);
                if (d < 0) return error = "bad byte in hex list", false;
                value = value * 16 + d;
            }
            bytes.push_back(static_cast<char>(value));
            if (comma == std::string_view::npos) break;
            start = comma + 1;
        }
    }
    if (type == 1 || type == 2) {
        if (unicodeHex && bytes.size() % 2 != 0) return error = "odd byte count in a UTF-16 string", false;
        if (unicodeHex) {
            v.Text = NarrowUtf16(bytes, true);
        } else {
            v.Text = bytes.substr(0, bytes.find('\0'));
        }
        v.Type = type == 1 ? TRegDataType::String : TRegDataType::ExpandString;
    } else if (type == 4 && bytes.size() == 4) {
        v.Type = TRegDataType::DWord;
        v.Number = static_cast<std::uint32_t>(static_cast<unsigned char>(bytes[0])) |
                   static_cast<std::uint32_t>(static_cast<unsigned char>(bytes[1])) << 8 |
                   static_cast<std::uint32_t>(static_cast<unsigned char>(bytes[2])) << 16 |
                   static_cast<std::uint32_t>(static_cast<unsigned char>(bytes[3])) << 24;
    } else {
        v.Type = TRegDataType::Other;
        v.Text = std::string(data);  // written back as it came
    }
    return true;
}

std::string FormatData(const TRegValue& v, bool regedit4) {
    char b[16];
    switch (v.Type) {
    case TRegDataType::String:
        if (v.Text.find_first_of(std::string_view("\r\n\0", 3)) == std::string::npos) return Quoted(v.Text);
        return "hex(1):" + HexList(HexStringBytes(v.Text, regedit4));
    case TRegDataType::ExpandString:
        return "hex(2):" + HexList(HexStringBytes(v.Text, regedit4));
    case TRegDataType::DWord:
        std::snprintf(b, sizeof b, "dword:%08x", static_cast<unsigned>(v.Number));
        return b;
    case TRegDataType::Other:
        break;
    }
    return v.Text;
}

void Upsert(std::vector<TRegValue>& values, TValueLine line) {
    for (auto it = values.begin(); it != values.end(); ++it) {
        if (SameValueName(it->Name, line.Value.Name)) {
            if (line.Delete) {
                values.erase(it);
            } else {
                line.Value.Name = it->Name;
                *it = std::move(line.Value);
            }
            return;
        }
    }
    if (!line.Delete) values.push_back(std::move(line.Value));
}

std::vector<std::string_view> SplitLines(std::string_view text) {
    std::vector<std::string_view> lines;
    std::size_t start = 0;
    while (start <= text.size()) {
        std::size_t nl = text.find('\n', start);
        std::string_view line = text.substr(start, nl == text.npos ? text.npos : nl - start);
        if (!line.empty() && line.back() == '\r') line.remove_suffix(1);
        lines.push_back(line);
        if (nl == text.npos) break;
        start = nl + 1;
    }
    return lines;
}

}  // namespace

TRegParseResult ParseRegFile(std::string_view bytes) {
    TRegParseResult result;
    auto fail = [&](int line, std::string why) {
        result.Ok = false;
        result.ErrorLine = line;
        result.Error = std::move(why);
        result.Content = {};
        return result;
    };

    std::string decoded;
    if (bytes.size() >= 2 && bytes[0] == '\xFF' && bytes[1] == '\xFE') {
        if (bytes.size() % 2 != 0) return fail(1, "odd byte count in a UTF-16 file");
        decoded = NarrowUtf16(bytes.substr(2), false);
        bytes = decoded;
    } else if (bytes.size() >= 3 && bytes.substr(0, 3) == "\xEF\xBB\xBF") {
        bytes.remove_prefix(3);
    }

    const std::vector<std::string_view> lines = SplitLines(bytes);
    const std::string_view header = TrimRight(lines[0]);
    bool unicodeHex;
    if (header == kHeader5) {
        unicodeHex = true;
    } else if (header == kHeader4) {
        unicodeHex = false;
    } else {
        return fail(1, "not a registry export header");
    }

    enum { None, Ours, Foreign } section = None;
    for (std::size_t i = 1; i < lines.size(); ++i) {
        const int lineNo = static_cast<int>(i) + 1;
        const std::string_view raw = lines[i];
        const std::string_view line = Trim(raw);
        if (line.empty()) continue;
        if (line.front() == ';') {
            if (section == Foreign) result.Content.OtherLines.emplace_back(raw);
            continue;
        }
        if (line.front() == '[') {
            if (line.back() != ']' || line.size() < 3) return fail(lineNo, "bad key line");
            const std::string_view path = line.substr(1, line.size() - 2);
            section = EqualNoCase(path, kSettingsKeyPath) ? Ours : Foreign;
            if (section == Foreign) result.Content.OtherLines.emplace_back(raw);
            continue;
        }
        if (section == None) return fail(lineNo, "value outside a key");

        TValueLine value;
        std::size_t pos = 0;
        if (line.front() == '@') {
            pos = 1;
        } else if (line.front() == '"') {
            if (!ParseQuoted(line, pos, value.Value.Name)) return fail(lineNo, "unterminated value name");
        } else {
            return fail(lineNo, "expected a quoted value name or @");
        }
        std::string_view rest = TrimLeft(line.substr(pos));
        if (rest.empty() || rest.front() != '=') return fail(lineNo, "missing '=' after the value name");
        rest = TrimLeft(rest.substr(1));

        // Exports wrap long hex lists with a trailing backslash and an indented next line.
        std::string data(rest);
        const std::size_t first = i;
        if (StartsNoCase(rest, "hex")) {
            while (!data.empty() && data.back() == '\\') {
                data.pop_back();
                if (++i >= lines.size()) return fail(static_cast<int>(first) + 1, "continued line never ends");
                data += Trim(lines[i]);
            }
        }
        std::string error;
        if (!ParseData(data, unicodeHex, value, error)) return fail(static_cast<int>(first) + 1, error);
        if (section == Ours) {
            Upsert(result.Content.Values, std::move(value));
        } else {
            for (std::size_t k = first; k <= i; ++k) result.Content.OtherLines.emplace_back(lines[k]);
        }
    }
    result.Ok = true;
    result.Content.Regedit4 = !unicodeHex;
    return result;
}

std::string FormatRegFile(const TRegFileContent& content) {
    const std::string eol = "\r\n";
    std::string out;
    out.append(content.Regedit4 ? kHeader4 : kHeader5).append(eol).append(eol);
    out.append("[").append(kSettingsKeyPath).append("]").append(eol);
    for (const auto& v : content.Values) {
        out += v.Name.empty() ? std::string("@") : Quoted(v.Name);
        out += "=" + FormatData(v, content.Regedit4) + eol;
    }
    out += eol;
    // Other keys follow, each section closed by an empty line as in an export.
    for (std::size_t i = 0; i < content.OtherLines.size(); ++i) {
        const std::string_view line = TrimLeft(content.OtherLines[i]);
        if (i > 0 && !line.empty() && line.front() == '[') out += eol;
        out += content.OtherLines[i] + eol;
    }
    if (!content.OtherLines.empty()) out += eol;
    return out;
}
