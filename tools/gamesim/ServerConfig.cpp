// SPDX-License-Identifier: GPL-3.0-or-later
// Settings words of a simulated game server and its status reply, encoded from the wire table.
#include "ServerConfig.h"

#include <cstdint>
#include <cstdio>
#include <utility>
#include <vector>

namespace gamesim {

namespace {

using TWords = std::vector<std::pair<std::string, std::string>>;

bool HexDigit(char c, int& v) {
    if (c >= '0' && c <= '9') v = c - '0';
    else if (c >= 'a' && c <= 'f') v = c - 'a' + 10;
    else if (c >= 'A' && c <= 'F') v = c - 'A' + 10;
    else return false;
    return true;
}

bool SplitWords(const std::string& s, TWords& out, std::string& error) {
    std::size_t i = 0;
    while (true) {
        while (i < s.size() && (s[i] == ' ' || s[i] == '\t' || s[i] == '\r')) ++i;
        if (i >= s.size()) return true;
        const std::size_t eq = s.find('=', i);
        const std::size_t blank = s.find_first_of(" \t", i);
        if (eq == std::string::npos || (blank != std::string::npos && blank < eq)) {
            error = "expected key=value at '" + s.substr(i, blank == std::string::npos ? blank : blank - i) + "'";
            return false;
        }
        std::string key = s.substr(i, eq - i);
        std::string value;
        i = eq + 1;
        if (i < s.size() && s[i] == '"') {
            ++i;
            bool closed = false;
            while (i < s.size()) {
                char c = s[i++];
                if (c == '"') {
                    closed = true;
                    break;
                }
                if (c != '\\') {
                    value += c;
                    continue;
                }
                if (i >= s.size()) break;
                c = s[i++];
                int hi = 0, lo = 0;
                if (c == 'x' && i + 1 < s.size() && HexDigit(s[i], hi) && HexDigit(s[i + 1], lo)) {
                    value += static_cast<char>(hi * 16 + lo);
                    i += 2;
                } else if (c == '"' || c == '\\') {
                    value += c;
                } else {
                    error = std::string("unknown escape \\") + c + " in " + key;
                    return false;
                }
            }
            if (!closed) {
                error = "unterminated quote in " + key;
                return false;
            }
        } else {
            const std::size_t end = s.find_first_of(" \t\r", i);
            value = s.substr(i, end == std::string::npos ? std::string::npos : end - i);
            i = end == std::string::npos ? s.size() : end;
        }
        out.emplace_back(std::move(key), std::move(value));
    }
}

// Decimal or 0x-prefixed hexadecimal, within [lo, hi].
bool Number(const std::string& text, long lo, long hi, int& out) {
    if (text.empty()) return false;
    int base = 10;
    std::size_t i = 0;
    if (text.size() > 2 && text[0] == '0' && (text[1] == 'x' || text[1] == 'X')) {
        base = 16;
        i = 2;
    }
    long v = 0;
    for (; i < text.size(); ++i) {
        int d = 0;
        if (!HexDigit(text[i], d) || d >= base) return false;
        v = v * base + d;
        if (v > hi) return false;
    }
    if (v < lo) return false;
    out = static_cast<int>(v);
    return true;
}

bool ParseMode(const std::string& v, TServerConfig& c) {
    static const std::pair<const char*, TReplyMode> kModes[] = {
        {"normal", TReplyMode::Normal},     {"silent", TReplyMode::Silent},
        {"short", TReplyMode::Short},       {"badmagic", TReplyMode::BadMagic},
        {"lenpast", TReplyMode::LenPast},   {"huge", TReplyMode::Huge},
        {"truncated", TReplyMode::Truncated},
    };
    for (const auto& [name, mode] : kModes) {
        if (v == name) {
            c.mode = mode;
            return true;
        }
    }
    // late=MS (also late:MS): the delay travels with the mode.
    if (v.rfind("late", 0) == 0 && v.size() > 5 && (v[4] == '=' || v[4] == ':')) {
        if (!Number(v.substr(5), 0, 3600000, c.lateMs)) return false;
        c.mode = TReplyMode::Late;
        return true;
    }
    return false;
}

void PutLength(std::string& out, std::uint32_t v) {
    for (int i = 0; i < 4; ++i) out += static_cast<char>((v >> (8 * i)) & 0xFF);
}

}  // namespace

bool ApplySettings(const std::string& words, TServerConfig& config, bool allowPort, std::string& error) {
    TWords list;
    if (!SplitWords(words, list, error)) return false;
    TServerConfig c = config;
    for (const auto& [key, value] : list) {
        bool ok = true;
        if (key == "port") {
            if (!allowPort) {
                error = "the port of a running server cannot change";
                return false;
            }
            ok = Number(value, 0, 65535, c.port);
        } else if (key == "name") c.name = value;
        else if (key == "file") c.file = value;
        else if (key == "mission") c.mission = value;
        else if (key == "extra") c.extra = value;
        else if (key == "players") ok = Number(value, 0, 255, c.players);
        else if (key == "state") ok = Number(value, 0, 255, c.state);
        else if (key == "flags") ok = Number(value, 0, 255, c.flags);
        else if (key == "mode") ok = ParseMode(value, c);
        else if (key == "late") ok = ParseMode("late=" + value, c);
        else {
            error = "unknown key " + key;
            return false;
        }
        if (!ok) {
            error = "bad value for " + key + ": " + Printable(value);
            return false;
        }
    }
    config = std::move(c);
    return true;
}

std::string ModeText(const TServerConfig& c) {
    switch (c.mode) {
    case TReplyMode::Normal: return "normal";
    case TReplyMode::Silent: return "silent";
    case TReplyMode::Late: return "late=" + std::to_string(c.lateMs);
    case TReplyMode::Short: return "short";
    case TReplyMode::BadMagic: return "badmagic";
    case TReplyMode::LenPast: return "lenpast";
    case TReplyMode::Huge: return "huge";
    case TReplyMode::Truncated: return "truncated";
    }
    return "?";
}

// Layout (little-endian lengths, texts without terminator):
// 00 E1 2E 2E | A | name | B | file | C | mission | players | state | flags
std::string BuildReply(const TServerConfig& c) {
    if (c.mode == TReplyMode::Silent) return {};
    if (c.mode == TReplyMode::Short) return std::string("\x00\xE1\x2E", 3);

    std::string out = c.mode == TReplyMode::BadMagic ? std::string("\x00\xE1\x2E\x2F", 4)
                                                     : std::string("\x00\xE1\x2E\x2E", 4);
    PutLength(out, static_cast<std::uint32_t>(c.name.size()));
    out += c.name;
    PutLength(out, static_cast<std::uint32_t>(c.file.size()));
    out += c.file;
    PutLength(out, static_cast<std::uint32_t>(c.mission.size()));
    out += c.mission;
    if (c.mode == TReplyMode::Truncated) return out;
    out += static_cast<char>(c.players);
    out += static_cast<char>(c.state);
    out += static_cast<char>(c.flags);
    out += c.extra;

    if (c.mode == TReplyMode::LenPast || c.mode == TReplyMode::Huge) {
        // 8 + 0xFFFFFFFC wraps to 4 in 32 bits: a bounds check done in that width passes.
        const std::uint32_t a = c.mode == TReplyMode::Huge ? 0xFFFFFFFCu : static_cast<std::uint32_t>(out.size());
        std::string len;
        PutLength(len, a);
        out.replace(4, 4, len);
    }
    return out;
}

std::string Printable(const std::string& bytes) {
    std::string out;
    for (unsigned char ch : bytes) {
        if (ch >= 0x20 && ch < 0x7F && ch != '\\') {
            out += static_cast<char>(ch);
        } else {
            char buf[8];
            std::snprintf(buf, sizeof buf, "\\x%02X", ch);
            out += buf;
        }
    }
    return out;
}

}  // namespace gamesim
