// SPDX-License-Identifier: GPL-3.0-or-later
// What corvanegv-query prints: the listed rows as an aligned table or as JSON.
#include "QueryOutput.h"

#include "tracker/GameTypes.h"

#include <algorithm>
#include <cstdio>

namespace {

// One printed character per byte, so that widths count bytes of the original text.
std::string TerminalText(const std::string& raw) {
    std::string out;
    for (unsigned char c : raw) {
        if (c < 0x20 || c == 0x7F || (c >= 0x80 && c < 0xA0)) {
            out += '?';
        } else if (c >= 0xA0) {
            out += static_cast<char>(0xC0 | (c >> 6));
            out += static_cast<char>(0x80 | (c & 0x3F));
        } else {
            out += static_cast<char>(c);
        }
    }
    return out;
}

std::string JsonText(const std::string& raw) {
    std::string out = "\"";
    for (unsigned char c : raw) {
        if (c == '"') out += "\\\"";
        else if (c == '\\') out += "\\\\";
        else if (c < 0x20 || c >= 0x7F) {
            char buf[8];
            std::snprintf(buf, sizeof buf, "\\u%04X", c);
            out += buf;
        } else out += static_cast<char>(c);
    }
    return out + "\"";
}

}  // namespace

std::string FormatTable(const std::vector<TListedGame>& games) {
    std::vector<std::vector<std::string>> cells;  // raw texts, header first
    std::vector<std::string> header;
    for (const TGameColumn& c : GameColumns) header.emplace_back(c.Caption);
    header.emplace_back("Address");
    cells.push_back(header);
    for (const TListedGame& g : games) {
        const TGameRow& r = *g.Row;
        cells.push_back({r.Status, r.Players, r.Server, r.Mission, r.Speed, r.Password, r.Dedicated, r.Campaign,
                         r.Address() + ":" + r.Port()});
    }
    std::vector<std::size_t> width(header.size(), 0);
    for (const auto& line : cells)
        for (std::size_t i = 0; i < line.size(); ++i) width[i] = std::max(width[i], line[i].size());

    std::string out;
    for (const auto& line : cells) {
        std::string text;
        for (std::size_t i = 0; i < line.size(); ++i) {
            const std::string pad(width[i] - line[i].size(), ' ');
            const bool right = i < GameColumns.size() && GameColumns[i].Alignment == TAlign::Right;
            if (i > 0) text += "  ";
            text += right ? pad + TerminalText(line[i]) : TerminalText(line[i]) + pad;
        }
        text.erase(text.find_last_not_of(' ') + 1);
        out += text + "\n";
    }
    return out;
}

std::string FormatJson(const std::vector<TListedGame>& games) {
    if (games.empty()) return "[]\n";
    std::string out = "[\n";
    for (std::size_t i = 0; i < games.size(); ++i) {
        const TGameRow& r = *games[i].Row;
        out += "  {\"game\": " + JsonText(std::string(games[i].Game)) + ", \"status\": " + JsonText(r.Status) +
               ", \"icon\": " + (r.Icon >= 0 ? std::to_string(r.Icon) : std::string("null")) +
               ", \"players\": " + JsonText(r.Players) + ", \"server\": " + JsonText(r.Server) +
               ", \"mission\": " + JsonText(r.Mission) + ", \"speed\": " + JsonText(r.Speed) +
               ", \"password\": " + JsonText(r.Password) + ", \"dedicated\": " + JsonText(r.Dedicated) +
               ", \"campaign\": " + JsonText(r.Campaign) + ", \"address\": " + JsonText(r.Address()) +
               ", \"port\": " + JsonText(r.Port()) + "}";
        out += i + 1 < games.size() ? ",\n" : "\n";
    }
    return out + "]\n";
}
