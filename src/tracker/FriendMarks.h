// SPDX-License-Identifier: GPL-3.0-or-later
// TFriendMarks: friends playing now, by the server name their announcement gave; the games
// page marks those rows with the friend's name.
#pragma once

#include <cstddef>
#include <functional>
#include <string>
#include <vector>

struct TFriendMark {
    std::string Nick;
    std::string Server;  // as the announcement sent it; rows match it exactly
    bool operator==(const TFriendMark&) const = default;
};

class TFriendMarks {
public:
    // One mark per friend at most, and friends are bounded; names from the network are cut.
    static constexpr std::size_t MaxMarks = 100;
    static constexpr std::size_t MaxNameLength = 200;

    // The marks as they are now, newest first; OnChange only when they differ.
    void Assign(std::vector<TFriendMark> marks);
    // The friends playing on the server named so, newest first, joined by ", "; empty for none.
    std::string On(const std::string& serverName) const;
    bool Empty() const { return marks_.empty(); }
    const std::vector<TFriendMark>& All() const { return marks_; }

    std::function<void()> OnChange;

private:
    std::vector<TFriendMark> marks_;
};
