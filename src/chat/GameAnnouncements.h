// SPDX-License-Identifier: GPL-3.0-or-later
// TGameAnnouncements: who announced a game in the lobby lately, for the mark in its user list.
#pragma once

#include <chrono>
#include <cstddef>
#include <string>
#include <unordered_map>
#include <vector>

struct TAnnouncement {
    std::string Nick;    // as last seen
    std::string Server;  // the name the game announced, as sent
    std::chrono::steady_clock::time_point When;
};

// Nicknames compare with letter case ignored, as the user lists do.
class TGameAnnouncements {
public:
    using TClock = std::chrono::steady_clock;
    static constexpr std::chrono::hours Lifetime{1};
    // Names come from the network; past this many the oldest announcement makes room.
    static constexpr std::size_t MaxEntries = 10000;

    // The newer announcement of a nick replaces the older.
    void Announce(const std::string& nick, const std::string& server, TClock::time_point when);
    // A nick change carries the announcement along.
    void Rename(const std::string& from, const std::string& to);
    // The player left: the mark goes with the entry, and does not come back with a new join.
    void Forget(const std::string& nick);
    // The announcement of nick younger than Lifetime; null for none.
    const TAnnouncement* Find(const std::string& nick, TClock::time_point now) const;
    // Drops those Lifetime old and returns their nicks, whose marks go.
    std::vector<std::string> Expire(TClock::time_point now);
    std::size_t Count() const { return entries_.size(); }

private:
    std::unordered_map<std::string, TAnnouncement> entries_;  // by folded nick
};
