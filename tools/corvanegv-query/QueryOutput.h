// SPDX-License-Identifier: GPL-3.0-or-later
// What corvanegv-query prints: the listed rows as an aligned table or as JSON.
#pragma once

#include "tracker/GameList.h"

#include <string>
#include <string_view>
#include <vector>

struct TListedGame {
    std::string_view Game;  // the game type code of the row's list
    const TGameRow* Row;
};

// Texts are the servers' raw bytes: control characters become '?', and bytes from 0x80 are
// read as Latin-1, so nothing a server sends can steer the terminal.
std::string FormatTable(const std::vector<TListedGame>& games);
// One JSON array; control characters and bytes from 0x80 are written as \u00XX.
std::string FormatJson(const std::vector<TListedGame>& games);
