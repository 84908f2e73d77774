// SPDX-License-Identifier: GPL-3.0-or-later
// TFormingAlert: "tell me when a game is forming with at least N players", once per forming phase.
#include "tracker/FormingAlert.h"

#include <charconv>

bool TFormingAlert::Check(int gameType, const TGameRow& row) {
    const std::string key = ServerKey(row.Address(), row.Port());
    if (row.Status != "Forming") {
        told_.erase(key);
        return false;
    }
    if (gameType < 0 || gameType > 3) return false;
    const int wanted = MinPlayers[static_cast<std::size_t>(gameType)];
    int players = 0;
    auto [end, ec] = std::from_chars(row.Players.data(), row.Players.data() + row.Players.size(), players);
    if (wanted <= 0 || ec != std::errc() || players < wanted) return false;
    // Bounded by the listed servers: entries go when their game leaves forming; the cap only
    // guards against a flood of forming servers that never leave.
    if (told_.size() >= 65536) told_.clear();
    return told_.insert(key).second;
}
