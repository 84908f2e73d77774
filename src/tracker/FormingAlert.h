// SPDX-License-Identifier: GPL-3.0-or-later
// TFormingAlert: "tell me when a game is forming with at least N players", once per forming phase.
#pragma once

#include "tracker/GameList.h"

#include <array>
#include <string>
#include <unordered_set>

class TFormingAlert {
public:
    // Per game type in code order; 0 switches the rule off for that type.
    std::array<int, 4> MinPlayers{};

    // Looks at a row just refreshed from a reply; true when the user should hear of it now:
    // the game is forming with enough players and has not been told of in this forming phase.
    // A server that leaves "Forming" may alert again when it forms anew.
    bool Check(int gameType, const TGameRow& row);

private:
    std::unordered_set<std::string> told_;  // servers told of in their current forming phase
};
