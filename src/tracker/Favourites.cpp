// SPDX-License-Identifier: GPL-3.0-or-later
// TFavourites: the servers the user keeps at hand, per game type, and their settings text.
#include "tracker/Favourites.h"

#include "tracker/JoinGame.h"

#include <algorithm>

namespace {

std::string Escape(const std::string& s) {
    static const char* hex = "0123456789ABCDEF";
    std::string out;
    for (unsigned char c : s) {
        if (c < 0x20 || c == 0x7F || c == ',' || c == '%' || c == ';') {
            out += '%';
            out += hex[c >> 4];
            out += hex[c & 15];
        } else {
            out += static_cast<char>(c);
        }
    }
    return out;
}

int HexDigit(char c) {
    if (c >= '0' && c <= '9') return c - '0';
    if (c >= 'A' && c <= 'F') return c - 'A' + 10;
    return -1;
}

std::string Unescape(const std::string& s) {
    std::string out;
    for (std::size_t i = 0; i < s.size(); ++i) {
        if (s[i] == '%' && i + 2 < s.size() && HexDigit(s[i + 1]) >= 0 && HexDigit(s[i + 2]) >= 0) {
            out += static_cast<char>(HexDigit(s[i + 1]) * 16 + HexDigit(s[i + 2]));
            i += 2;
        } else {
            out += s[i];
        }
    }
    return out;
}

std::vector<std::string> Split(const std::string& s, char sep) {
    std::vector<std::string> parts;
    std::size_t start = 0;
    for (;;) {
        const std::size_t end = s.find(sep, start);
        parts.push_back(s.substr(start, end == std::string::npos ? std::string::npos : end - start));
        if (end == std::string::npos) return parts;
        start = end + 1;
    }
}

}  // namespace

bool TFavourites::Contains(int gameType, const std::string& address, const std::string& port) const {
    return std::any_of(items_.begin(), items_.end(), [&](const TFavourite& f) {
        return f.GameType == gameType && f.Address == address && f.Port == port;
    });
}

const TFavourite* TFavourites::Find(const std::string& address, const std::string& port) const {
    for (const TFavourite& f : items_)
        if (f.Address == address && f.Port == port) return &f;
    return nullptr;
}

bool TFavourites::Add(TFavourite favourite) {
    if (items_.size() >= MaxFavourites || Contains(favourite.GameType, favourite.Address, favourite.Port))
        return false;
    items_.push_back(std::move(favourite));
    return true;
}

bool TFavourites::Remove(int gameType, const std::string& address, const std::string& port) {
    const auto before = items_.size();
    std::erase_if(items_, [&](const TFavourite& f) {
        return f.GameType == gameType && f.Address == address && f.Port == port;
    });
    return items_.size() != before;
}

void TFavourites::Rename(const std::string& address, const std::string& port, const std::string& name) {
    for (TFavourite& f : items_)
        if (f.Address == address && f.Port == port) f.Name = name;
}

std::string TFavourites::Text() const {
    std::string out;
    for (const TFavourite& f : items_) {
        if (!out.empty()) out += ';';
        out += std::to_string(f.GameType) + ',' + Escape(f.Address) + ',' + Escape(f.Port) + ',' + Escape(f.Name);
    }
    return out;
}

TFavourites TFavourites::FromText(const std::string& text) {
    TFavourites favourites;
    if (text.empty()) return favourites;
    for (const std::string& entry : Split(text, ';')) {
        const auto fields = Split(entry, ',');
        if (fields.size() != 4 || fields[0].size() != 1 || fields[0][0] < '0' || fields[0][0] > '3') continue;
        TFavourite f{fields[0][0] - '0', Unescape(fields[1]), Unescape(fields[2]), Unescape(fields[3])};
        if (!IsDottedIPv4(f.Address) || !IsPortNumber(f.Port)) continue;
        favourites.Add(std::move(f));
    }
    return favourites;
}

std::string FavouritesListText(const TFavourites& favourites) {
    std::string out;
    for (const TFavourite& f : favourites.All())
        out += f.Address + ":" + f.Port + " " + std::to_string(f.GameType) + "\n";
    return out;
}

TFavouritesList ReadFavouritesList(std::string_view text) {
    TFavouritesList list;
    const auto problem = [&list](std::size_t lineNumber, const std::string& what) {
        ++list.BadLines;
        if (list.Problems.size() < MaxListProblems)
            list.Problems.push_back("line " + std::to_string(lineNumber) + ": " + what);
    };
    const auto blank = [](char c) { return c == ' ' || c == '\t'; };
    std::size_t lineNumber = 0;
    while (!text.empty()) {
        const std::size_t end = text.find('\n');
        std::string_view line = text.substr(0, end);
        text.remove_prefix(end == std::string_view::npos ? text.size() : end + 1);
        ++lineNumber;
        if (!line.empty() && line.back() == '\r') line.remove_suffix(1);
        while (!line.empty() && blank(line.front())) line.remove_prefix(1);
        while (!line.empty() && blank(line.back())) line.remove_suffix(1);
        if (line.empty() || line.front() == '#') continue;

        std::size_t gap = 0;
        while (gap < line.size() && !blank(line[gap])) ++gap;
        const std::string_view server = line.substr(0, gap);
        std::string_view game = line.substr(gap);
        while (!game.empty() && blank(game.front())) game.remove_prefix(1);
        const std::size_t colon = server.rfind(':');
        const std::string address(server.substr(0, colon == std::string_view::npos ? server.size() : colon));
        const std::string port(colon == std::string_view::npos ? std::string_view() : server.substr(colon + 1));
        if (!IsDottedIPv4(address)) {
            problem(lineNumber, "not an IPv4 address:port");
        } else if (!IsPortNumber(port)) {
            problem(lineNumber, "no port from 1 to 65535");
        } else if (game.size() != 1 || game[0] < '0' || game[0] > '3') {
            problem(lineNumber, "the game must be 0, 1, 2 or 3");
        } else {
            list.Entries.push_back({game[0] - '0', address, port, {}});
        }
    }
    return list;
}
