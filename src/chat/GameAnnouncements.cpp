// SPDX-License-Identifier: GPL-3.0-or-later
// TGameAnnouncements: recording, renaming, finding and ageing out lobby game announcements.
#include "chat/GameAnnouncements.h"

#include <algorithm>

namespace {

std::string Folded(std::string s) {
    for (char& c : s)
        if (c >= 'A' && c <= 'Z') c = static_cast<char>(c - 'A' + 'a');
    return s;
}

}  // namespace

void TGameAnnouncements::Announce(const std::string& nick, const std::string& server, TClock::time_point when) {
    const std::string key = Folded(nick);
    if (!entries_.count(key) && entries_.size() >= MaxEntries) {
        auto oldest = std::min_element(entries_.begin(), entries_.end(),
                                       [](const auto& a, const auto& b) { return a.second.When < b.second.When; });
        entries_.erase(oldest);
    }
    entries_[key] = {nick, server, when};
}

void TGameAnnouncements::Rename(const std::string& from, const std::string& to) {
    auto it = entries_.find(Folded(from));
    if (it == entries_.end()) return;
    TAnnouncement moved = std::move(it->second);
    entries_.erase(it);
    moved.Nick = to;
    entries_[Folded(to)] = std::move(moved);
}

void TGameAnnouncements::Forget(const std::string& nick) { entries_.erase(Folded(nick)); }

const TAnnouncement* TGameAnnouncements::Find(const std::string& nick, TClock::time_point now) const {
    auto it = entries_.find(Folded(nick));
    if (it == entries_.end() || now - it->second.When >= Lifetime) return nullptr;
    return &it->second;
}

std::vector<std::string> TGameAnnouncements::Expire(TClock::time_point now) {
    std::vector<std::string> gone;
    for (auto it = entries_.begin(); it != entries_.end();) {
        if (now - it->second.When < Lifetime) {
            ++it;
            continue;
        }
        gone.push_back(it->second.Nick);
        it = entries_.erase(it);
    }
    return gone;
}
