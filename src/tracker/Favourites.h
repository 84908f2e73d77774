// SPDX-License-Identifier: GPL-3.0-or-later
// TFavourites: the servers the user keeps at hand, per game type, and their settings text.
#pragma once

#include <string>
#include <string_view>
#include <vector>

struct TFavourite {
    int GameType = 0;
    std::string Address;
    std::string Port;
    std::string Name;  // the name it last answered with, shown while it is offline

    bool operator==(const TFavourite&) const = default;
};

// Favourites to keep: the settings value stays small and the sweep stays short.
inline constexpr std::size_t MaxFavourites = 256;

class TFavourites {
public:
    bool Contains(int gameType, const std::string& address, const std::string& port) const;
    const TFavourite* Find(const std::string& address, const std::string& port) const;
    // False when it was there already or the list is full.
    bool Add(TFavourite favourite);
    bool Remove(int gameType, const std::string& address, const std::string& port);
    // Keeps the name a favourite shows while it is offline up to date.
    void Rename(const std::string& address, const std::string& port, const std::string& name);
    const std::vector<TFavourite>& All() const { return items_; }

    // "code,address,port,name" per favourite, joined by ";", with ",", ";", "%" and control bytes of the
    // texts written as %XX, so that any name a server sends survives the settings file.
    std::string Text() const;
    // Reads Text(); broken entries are skipped.
    static TFavourites FromText(const std::string& text);

private:
    std::vector<TFavourite> items_;
};

// The list players share: one "address:port game" line per favourite, game the type's code
// ("0" FreeSpace 2 ... "3" Starfox).
std::string FavouritesListText(const TFavourites& favourites);

struct TFavouritesList {
    std::vector<TFavourite> Entries;
    // "line N: ..." for each line that is not an entry, up to MaxListProblems of them.
    std::vector<std::string> Problems;
    int BadLines = 0;
};
inline constexpr std::size_t MaxListProblems = 20;
// Larger files are no list of favourites.
inline constexpr std::size_t MaxListBytes = 1 << 20;

// Reads such a list. Blank lines and lines starting with '#' are skipped, CR LF is taken as
// well as LF, and blanks or tabs separate the two fields.
TFavouritesList ReadFavouritesList(std::string_view text);
