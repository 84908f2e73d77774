// SPDX-License-Identifier: GPL-3.0-or-later
// TGamesViewSettings: how the user arranged the games page, kept as values of the settings key.
#pragma once

#include "settings/RegistryKey.h"
#include "tracker/GameListView.h"

#include <array>
#include <string>

// The forming alert's values, in code order, and the most players a game holds.
inline constexpr std::array<const char*, 4> AlertValueNames{"FSFormingAlert", "BtRLFormingAlert", "WCSFormingAlert",
                                                           "StarfoxFormingAlert"};
inline constexpr int MaxAlertPlayers = 255;

struct TGamesViewSettings {
    int SortColumn = -1;  // -1: arrival order
    TSortOrder Order = TSortOrder::Arrival;
    TGameFilter Filter;
    bool ShowPing = false;
    std::string Favourites;  // TFavourites::Text()
    // The forming alert's player count per game type, in code order; 0: off.
    std::array<int, 4> AlertPlayers{};

    bool operator==(const TGamesViewSettings&) const = default;
};

// Reads the values that exist; a missing or unreadable one keeps today's default. Never raises:
// the arrangement of a list is not worth a failed start.
TGamesViewSettings LoadGamesView(TRegistryKey& key);
// Writes every value in one commit; raises what the key raises.
void SaveGamesView(TRegistryKey& key, const TGamesViewSettings& view);
