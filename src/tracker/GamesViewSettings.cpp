// SPDX-License-Identifier: GPL-3.0-or-later
// TGamesViewSettings: how the user arranged the games page, kept as values of the settings key.
#include "tracker/GamesViewSettings.h"

#include <charconv>
#include <type_traits>

namespace {

template <class T>
void Read(TRegistryKey& key, const char* name, T& field) {
    try {
        if (!key.ValueExists(name)) return;
        if constexpr (std::is_same_v<T, bool>) field = key.ReadBool(name);
        else field = key.ReadString(name);
    } catch (const std::exception&) {
        // Another type under our name: keep the default.
    }
}

}  // namespace

TGamesViewSettings LoadGamesView(TRegistryKey& key) {
    TGamesViewSettings view;
    try {
        key.OpenKey();
    } catch (const std::exception&) {
        return view;
    }
    std::string sort;
    Read(key, "GamesSort", sort);
    // "<column>" ascending or "-<column>" descending; anything else is arrival order.
    const bool descending = !sort.empty() && sort[0] == '-';
    int column = -1;
    const char* begin = sort.data() + (descending ? 1 : 0);
    auto [end, ec] = std::from_chars(begin, sort.data() + sort.size(), column);
    if (ec == std::errc() && end == sort.data() + sort.size() && column >= 0 && column <= PingColumn) {
        view.SortColumn = column;
        view.Order = descending ? TSortOrder::Descending : TSortOrder::Ascending;
    }
    Read(key, "GamesFilterText", view.Filter.Text);
    Read(key, "GamesFormingOnly", view.Filter.FormingOnly);
    Read(key, "GamesHideEmpty", view.Filter.HideEmpty);
    Read(key, "GamesHidePassworded", view.Filter.HidePassworded);
    Read(key, "GamesShowPing", view.ShowPing);
    Read(key, "GamesFavourites", view.Favourites);
    for (std::size_t i = 0; i < AlertValueNames.size(); ++i) {
        std::string text;
        Read(key, AlertValueNames[i], text);
        int players = 0;
        auto [e, err] = std::from_chars(text.data(), text.data() + text.size(), players);
        if (err == std::errc() && e == text.data() + text.size() && players >= 0 && players <= MaxAlertPlayers)
            view.AlertPlayers[i] = players;
    }
    try {
        key.CloseKey();
    } catch (const std::exception&) {
    }
    return view;
}

void SaveGamesView(TRegistryKey& key, const TGamesViewSettings& view) {
    key.OpenKey();
    const bool sorted = view.Order != TSortOrder::Arrival && view.SortColumn >= 0;
    key.WriteString("GamesSort", sorted ? (view.Order == TSortOrder::Descending ? "-" : "") +
                                              std::to_string(view.SortColumn)
                                        : "");
    key.WriteString("GamesFilterText", view.Filter.Text);
    key.WriteBool("GamesFormingOnly", view.Filter.FormingOnly);
    key.WriteBool("GamesHideEmpty", view.Filter.HideEmpty);
    key.WriteBool("GamesHidePassworded", view.Filter.HidePassworded);
    key.WriteBool("GamesShowPing", view.ShowPing);
    key.WriteString("GamesFavourites", view.Favourites);
    for (std::size_t i = 0; i < AlertValueNames.size(); ++i)
        key.WriteString(AlertValueNames[i], std::to_string(view.AlertPlayers[i]));
    key.CloseKey();
}
