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
