// SPDX-License-Identifier: GPL-3.0-or-later
// "Join my friend": the server a " went play to " line names, and its row in the enabled lists.
#pragma once

#include "tracker/GamesPage.h"

#include <array>
#include <optional>
#include <string>

// The server name of a shown line NICK + " went play to \"" + NAME + "\" at " + TIME; none
// for any other line. The name is whatever the friend's game announced, quotes included.
std::optional<std::string> WentPlayServer(const std::string& line);

struct TFoundServer {
    int GameType = -1;
    int Row = -1;  // list index
};

// The first row named exactly so, walking the enabled lists in code order and each from the
// top; GameType -1 when none is.
TFoundServer FindServerByName(TGamesPage& page, const std::string& name, const std::array<bool, 4>& enabled);

// The state of that server for a player's tooltip: "NAME - Forming, 3 players", or
// "NAME - not listed on the games page" when no enabled list has it.
std::string FriendGameStatus(TGamesPage& page, const std::string& name, const std::array<bool, 4>& enabled);
