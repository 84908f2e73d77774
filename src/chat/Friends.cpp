// SPDX-License-Identifier: GPL-3.0-or-later
// TFriends: the list, the presence rules, and the MONITOR / ISON lines and answers.
#include "chat/Friends.h"

#include <algorithm>

namespace {

// Splits on any of seps, skipping empty pieces.
std::vector<std::string_view> Split(std::string_view text, std::string_view seps) {
    std::vector<std::string_view> parts;
    std::size_t at = 0;
    while (at < text.size()) {
        const std::size_t end = std::min(text.find_first_of(seps, at), text.size());
        if (end > at) parts.push_back(text.substr(at, end - at));
        at = end + 1;
    }
    return parts;
}

// "nick!user@host" or "nick": the nick.
std::string_view NickOf(std::string_view target) { return target.substr(0, target.find('!')); }

// Appends nicks to lines of "head" + nicks joined by sep, each within the length limit.
std::vector<std::string> Chunked(const std::string& head, const std::vector<std::string>& nicks, char sep,
                                 std::vector<std::vector<std::string>>* groups = nullptr,
                                 const std::vector<std::string>* keys = nullptr) {
    std::vector<std::string> lines;
    std::string line;
    std::vector<std::string> group;
    for (std::size_t i = 0; i < nicks.size(); ++i) {
        if (!line.empty() && line.size() + 1 + nicks[i].size() > TFriends::MaxCommandLength) {
            lines.push_back(line);
            if (groups) groups->push_back(std::move(group));
            line.clear();
            group.clear();
        }
        line += line.empty() ? head + nicks[i] : sep + nicks[i];
        if (keys) group.push_back((*keys)[i]);
    }
    if (!line.empty()) {
        lines.push_back(line);
        if (groups) groups->push_back(std::move(group));
    }
    return lines;
}

}  // namespace

TFriends::TFriends(TFold fold) : fold_(std::move(fold)) {}

void TFriends::SetFold(TFold fold) {
    fold_ = std::move(fold);
    std::vector<TFriend> kept;
    for (TFriend& f : friends_) {
        const std::string key = fold_(f.Nick);
        if (std::none_of(kept.begin(), kept.end(), [&](const TFriend& k) { return fold_(k.Nick) == key; }))
            kept.push_back(std::move(f));
    }
    friends_ = std::move(kept);
}

bool TFriends::ValidNick(std::string_view nick) {
    if (nick.empty() || nick.size() > MaxNickLength) return false;
    // Channel marks, a leading digit or dash, and the bytes that carry meaning in a command or
    // a mask would turn a friend into something else on the wire.
    const char first = nick[0];
    if (first == '#' || first == '&' || first == ':' || first == '-' || (first >= '0' && first <= '9')) return false;
    for (const char ch : nick) {
        const auto c = static_cast<unsigned char>(ch);
        if (c <= 0x20 || c == 0x7F || c >= 0x80 || ch == ',' || ch == '!' || ch == '@' || ch == '*' || ch == '?')
            return false;
    }
    return true;
}

std::size_t TFriends::SetText(std::string_view text) {
    std::vector<TFriend> old = std::move(friends_);
    friends_.clear();
    std::size_t left = 0;
    for (std::string_view nick : Split(text, " \t\r\n")) {
        if (Add(nick) != TAddResult::Added) ++left;
    }
    // A friend kept across the edit keeps what is known of him.
    for (TFriend& f : friends_) {
        const std::string key = fold_(f.Nick);
        for (TFriend& o : old)
            if (fold_(o.Nick) == key) {
                o.Nick = f.Nick;
                f = std::move(o);
                break;
            }
    }
    return left;
}

std::string TFriends::Text() const {
    std::string text;
    for (const TFriend& f : friends_) text += (text.empty() ? "" : " ") + f.Nick;
    return text;
}

TFriends::TAddResult TFriends::Add(std::string_view nick) {
    if (!ValidNick(nick)) return TAddResult::Invalid;
    if (Find(nick)) return TAddResult::Already;
    if (friends_.size() >= MaxFriends) return TAddResult::Full;
    TFriend f;
    f.Nick = std::string(nick);
    friends_.push_back(std::move(f));
    return TAddResult::Added;
}

bool TFriends::Remove(std::string_view nick) {
    const std::string key = fold_(nick);
    const auto it = std::find_if(friends_.begin(), friends_.end(), [&](const TFriend& f) { return fold_(f.Nick) == key; });
    if (it == friends_.end()) return false;
    friends_.erase(it);
    return true;
}

const TFriend* TFriends::Find(std::string_view nick) const {
    const std::string key = fold_(nick);
    for (const TFriend& f : friends_)
        if (fold_(f.Nick) == key) return &f;
    return nullptr;
}

TFriend* TFriends::Lookup(std::string_view nick) { return const_cast<TFriend*>(Find(nick)); }

std::vector<const TFriend*> TFriends::NewestFirst() const {
    std::vector<const TFriend*> all;
    for (const TFriend& f : friends_) all.push_back(&f);
    std::stable_sort(all.begin(), all.end(), [](const TFriend* a, const TFriend* b) { return a->Changed > b->Changed; });
    return all;
}

bool TFriends::Move(TFriend& f, TFriendState state, TClock::time_point now, std::string server) {
    if (f.State == state && f.Server == server) return false;
    const TFriendState before = f.State;
    f.State = state;
    f.Server = std::move(server);
    f.Changed = now;
    if (OnChange) OnChange(f);
    // Unknown again after a lost connection is no coming online either.
    const bool cameOnline =
        before == TFriendState::Offline && state != TFriendState::Offline && state != TFriendState::Unknown;
    const bool announced = state == TFriendState::Playing;
    if ((cameOnline || announced) && (!f.EverNotified || now - f.Notified >= NotifyGap)) {
        f.EverNotified = true;
        f.Notified = now;
        if (OnNotify) OnNotify(f);
    }
    return true;
}

bool TFriends::CameOnline(std::string_view nick, TClock::time_point now) {
    TFriend* f = Lookup(nick);
    // Seen in the lobby or playing is more than online.
    if (!f || f->State == TFriendState::InLobby || f->State == TFriendState::Playing) return false;
    f->Nick = std::string(nick);
    return Move(*f, TFriendState::Online, now);
}

bool TFriends::WentOffline(std::string_view nick, TClock::time_point now) {
    TFriend* f = Lookup(nick);
    return f && Move(*f, TFriendState::Offline, now);
}

bool TFriends::JoinedLobby(std::string_view nick, TClock::time_point now) {
    TFriend* f = Lookup(nick);
    if (!f || f->State == TFriendState::InLobby || f->State == TFriendState::Playing) return false;
    f->Nick = std::string(nick);
    return Move(*f, TFriendState::InLobby, now);
}

bool TFriends::LeftLobby(std::string_view nick, TClock::time_point now) {
    TFriend* f = Lookup(nick);
    return f && Move(*f, TFriendState::Online, now);
}

bool TFriends::Renamed(std::string_view from, std::string_view to, TClock::time_point now) {
    bool changed = false;
    TFriend* was = Lookup(from);
    TFriend* is = Lookup(to);
    if (was == is) {
        if (was) was->Nick = std::string(to);
        return false;
    }
    // The old name is gone from the network; the new one carries the old one's place.
    const TFriendState state = was ? was->State : TFriendState::Online;
    const std::string server = was ? was->Server : std::string();
    if (was) changed |= Move(*was, TFriendState::Offline, now);
    if (is) {
        is->Nick = std::string(to);
        changed |= Move(*is, state == TFriendState::Offline || state == TFriendState::Unknown ? TFriendState::Online : state,
                        now, server);
    }
    return changed;
}

bool TFriends::AnnouncedGame(std::string_view nick, const std::string& server, TClock::time_point now) {
    TFriend* f = Lookup(nick);
    if (!f) return false;
    f->Nick = std::string(nick);
    // A second announcement of the same server is news too: the friend went again.
    if (f->State == TFriendState::Playing && f->Server == server) {
        f->Changed = now;
        f->State = TFriendState::InLobby;
    }
    return Move(*f, TFriendState::Playing, now, server);
}

void TFriends::ConnectionLost(TClock::time_point now) {
    asked_.clear();
    watched_.clear();
    unwatched_.clear();
    monitoring_ = false;
    for (TFriend& f : friends_) Move(f, TFriendState::Unknown, now);
}

void TFriends::Expire(TClock::time_point now) {
    for (TFriend& f : friends_)
        if (f.State == TFriendState::Playing && now - f.Changed >= PlayingLifetime) Move(f, TFriendState::InLobby, now);
}

std::vector<std::string> TFriends::MonitorLines(std::size_t limit) {
    std::vector<std::string> nicks;
    watched_.clear();
    unwatched_.clear();
    for (const TFriend& f : friends_) {
        if (limit == 0 || nicks.size() < limit) {
            nicks.push_back(f.Nick);
            watched_.push_back(fold_(f.Nick));
        } else {
            unwatched_.push_back(fold_(f.Nick));
        }
    }
    monitoring_ = true;
    std::vector<std::string> lines{"MONITOR C"};
    for (std::string& line : Chunked("MONITOR + ", nicks, ',')) lines.push_back(std::move(line));
    return lines;
}

std::vector<std::string> TFriends::MonitorUpdateLines(std::size_t limit) {
    if (!monitoring_) return {};
    const auto known = [](const std::vector<std::string>& keys, const std::string& key) {
        return std::find(keys.begin(), keys.end(), key) != keys.end();
    };
    std::vector<std::string> current;
    for (const TFriend& f : friends_) current.push_back(fold_(f.Nick));
    std::vector<std::string> gone;
    std::erase_if(watched_, [&](const std::string& key) {
        if (known(current, key)) return false;
        gone.push_back(key);
        return true;
    });
    std::erase_if(unwatched_, [&](const std::string& key) { return !known(current, key); });
    std::vector<std::string> added;
    for (std::size_t i = 0; i < friends_.size(); ++i) {
        if (known(watched_, current[i]) || known(unwatched_, current[i])) continue;
        if (limit == 0 || watched_.size() < limit) {
            watched_.push_back(current[i]);
            added.push_back(friends_[i].Nick);
        } else {
            unwatched_.push_back(current[i]);
        }
    }
    std::vector<std::string> lines = Chunked("MONITOR - ", gone, ',');
    for (std::string& line : Chunked("MONITOR + ", added, ',')) lines.push_back(std::move(line));
    return lines;
}

std::vector<std::string> TFriends::IsonLines() {
    std::vector<std::string> nicks, keys;
    for (const TFriend& f : friends_) {
        std::string key = fold_(f.Nick);
        if (monitoring_ && std::find(unwatched_.begin(), unwatched_.end(), key) == unwatched_.end()) continue;
        nicks.push_back(f.Nick);
        keys.push_back(std::move(key));
    }
    std::vector<std::vector<std::string>> groups;
    std::vector<std::string> lines = Chunked("ISON ", nicks, ' ', &groups, &keys);
    // Answers that never came (a server that drops ISON) must not pile up.
    while (asked_.size() + groups.size() > 16 && !asked_.empty()) asked_.pop_front();
    for (auto& g : groups) asked_.push_back(std::move(g));
    return lines;
}

void TFriends::MonitorOnlineReply(std::string_view targets, TClock::time_point now) {
    for (std::string_view t : Split(targets, ",")) CameOnline(NickOf(t), now);
}

void TFriends::MonitorOfflineReply(std::string_view targets, TClock::time_point now) {
    for (std::string_view t : Split(targets, ",")) WentOffline(NickOf(t), now);
}

void TFriends::MonitorListFull(std::string_view targets) {
    for (std::string_view t : Split(targets, ",")) {
        if (!Find(t)) continue;
        std::string key = fold_(t);
        std::erase(watched_, key);
        if (std::find(unwatched_.begin(), unwatched_.end(), key) == unwatched_.end()) unwatched_.push_back(std::move(key));
    }
}

void TFriends::IsonReply(std::string_view nicks, TClock::time_point now) {
    if (asked_.empty()) return;  // an answer we did not ask for (someone's raw /ISON)
    std::vector<std::string> asked = std::move(asked_.front());
    asked_.pop_front();
    std::vector<std::string> present;
    for (std::string_view n : Split(nicks, " ")) present.push_back(fold_(n));
    for (TFriend& f : friends_) {
        const std::string key = fold_(f.Nick);
        if (std::find(asked.begin(), asked.end(), key) == asked.end()) continue;
        const bool on = std::find(present.begin(), present.end(), key) != present.end();
        if (on)
            CameOnline(f.Nick, now);
        else
            Move(f, TFriendState::Offline, now);
    }
}
