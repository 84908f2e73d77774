// SPDX-License-Identifier: GPL-3.0-or-later
// "Join my friend": the server a " went play to " line names, and its row in the enabled lists.
#include "tracker/FriendGame.h"

std::optional<std::string> WentPlayServer(const std::string& line) {
    static const std::string went = " went play to \"";
    static const std::string at = "\" at ";
    const std::size_t start = line.find(went);
    if (start == std::string::npos || start == 0) return std::nullopt;
    const std::size_t nameStart = start + went.size();
    // The last one: a server name may itself hold "\" at ".
    const std::size_t end = line.rfind(at);
    if (end == std::string::npos || end < nameStart) return std::nullopt;
    return line.substr(nameStart, end - nameStart);
}

TFoundServer FindServerByName(TGamesPage& page, const std::string& name, const std::array<bool, 4>& enabled) {
    for (int type = 0; type < 4; ++type) {
        if (!enabled[static_cast<std::size_t>(type)]) continue;
        const TGameList& list = page.List(type);
        for (int i = 0; i < list.Count(); ++i)
            if (list.Row(i).Server == name) return {type, i};
    }
    return {};
}

std::string FriendGameStatus(TGamesPage& page, const std::string& name, const std::array<bool, 4>& enabled) {
    const TFoundServer found = FindServerByName(page, name, enabled);
    if (found.GameType < 0) return name + " - not listed on the games page";
    const TGameRow& row = page.List(found.GameType).Row(found.Row);
    return name + " - " + row.Status + ", " + row.Players + (row.Players == "1" ? " player" : " players");
}
