// SPDX-License-Identifier: GPL-3.0-or-later
// TFriendMarks: the marks and their look-up by server name.
#include "tracker/FriendMarks.h"

void TFriendMarks::Assign(std::vector<TFriendMark> marks) {
    if (marks.size() > MaxMarks) marks.resize(MaxMarks);
    for (TFriendMark& m : marks) {
        // A longer name can match no row a status reply made.
        if (m.Server.size() > MaxNameLength) m.Server.clear();
    }
    std::erase_if(marks, [](const TFriendMark& m) { return m.Server.empty() || m.Nick.empty(); });
    if (marks == marks_) return;
    marks_ = std::move(marks);
    if (OnChange) OnChange();
}

std::string TFriendMarks::On(const std::string& serverName) const {
    std::string nicks;
    for (const TFriendMark& m : marks_)
        if (m.Server == serverName) nicks += (nicks.empty() ? "" : ", ") + m.Nick;
    return nicks;
}
