// SPDX-License-Identifier: GPL-3.0-or-later
// TFriends: the player's friends and where each one is: offline, online, in the lobby, or playing.
#pragma once

#include <chrono>
#include <cstddef>
#include <deque>
#include <functional>
#include <string>
#include <string_view>
#include <vector>

enum class TFriendState {
    Unknown,  // not heard of since the connect; shown as offline, but coming online is no news
    Offline,
    Online,
    InLobby,
    Playing,
};

struct TFriend {
    std::string Nick;  // as the player wrote it, then as the network last showed it
    TFriendState State = TFriendState::Unknown;
    std::string Server;  // while Playing: the server the announcement named, as sent
    std::chrono::steady_clock::time_point Changed{};
    std::chrono::steady_clock::time_point Notified{};  // the last notification, for the rate limit
    bool EverNotified = false;
};

// Presence comes from MONITOR (730/731/734) where the server offers it, from ISON answers (303)
// elsewhere, and from the lobby's own lines. Nicks compare through the network's case folding.
class TFriends {
public:
    using TClock = std::chrono::steady_clock;
    using TFold = std::function<std::string(std::string_view)>;
    static constexpr std::size_t MaxFriends = 100;
    static constexpr std::size_t MaxNickLength = 64;
    static constexpr std::chrono::minutes NotifyGap{1};
    static constexpr std::chrono::hours PlayingLifetime{1};
    // A command line stays well inside the 512 bytes a server takes, prefix room included.
    static constexpr std::size_t MaxCommandLength = 400;

    explicit TFriends(TFold fold);
    // The network announced its case mapping: friends that now fold alike become one.
    void SetFold(TFold fold);

    // The "Friends" setting: nicknames separated by blanks. Invalid names, repeats and those past
    // MaxFriends are left out; returns how many were.
    std::size_t SetText(std::string_view text);
    std::string Text() const;

    enum class TAddResult { Added, Already, Full, Invalid };
    TAddResult Add(std::string_view nick);
    bool Remove(std::string_view nick);
    const TFriend* Find(std::string_view nick) const;
    bool Contains(std::string_view nick) const { return Find(nick) != nullptr; }
    std::size_t Count() const { return friends_.size(); }
    // Friends by the time of their last change, newest first.
    std::vector<const TFriend*> NewestFirst() const;

    // What happened, with the time it was seen. Each returns whether the friend's state changed.
    bool CameOnline(std::string_view nick, TClock::time_point now);
    bool WentOffline(std::string_view nick, TClock::time_point now);
    bool JoinedLobby(std::string_view nick, TClock::time_point now);
    // PART from the lobby: still on the network.
    bool LeftLobby(std::string_view nick, TClock::time_point now);
    bool Renamed(std::string_view from, std::string_view to, TClock::time_point now);
    bool AnnouncedGame(std::string_view nick, const std::string& server, TClock::time_point now);
    // The connection went: nothing is known any more, and no ISON answer is awaited.
    void ConnectionLost(TClock::time_point now);
    // Playing older than PlayingLifetime falls back to InLobby.
    void Expire(TClock::time_point now);

    // The lines that make the server watch every friend: a clear, then "MONITOR + a,b,..." in
    // chunks. limit is the server's MONITOR value (0: none given); friends past it, and those
    // a 734 refused, are asked by ISON instead.
    std::vector<std::string> MonitorLines(std::size_t limit);
    // After the list changed under a running MONITOR: "MONITOR - a,b" for those no longer
    // friends and "MONITOR + c,d" for new ones while the limit has room (the rest go to ISON).
    std::vector<std::string> MonitorUpdateLines(std::size_t limit);
    bool Monitoring() const { return monitoring_; }
    // An ISON line is still waiting for its answer.
    bool AwaitingIson() const { return !asked_.empty(); }
    // "ISON a b ..." for every friend not watched by MONITOR; the answers are matched to the
    // lines in the order sent.
    std::vector<std::string> IsonLines();

    // Server replies, parameters after the target nickname as the client splits them.
    void MonitorOnlineReply(std::string_view targets, TClock::time_point now);   // 730 "a!u@h,b!u@h"
    void MonitorOfflineReply(std::string_view targets, TClock::time_point now);  // 731 "a,b"
    void MonitorListFull(std::string_view targets);                              // 734 limit "a,b"
    void IsonReply(std::string_view nicks, TClock::time_point now);              // 303 "a b"

    // Raised when a friend comes online (not from Unknown) or announces a game, at most once
    // per friend per NotifyGap.
    std::function<void(const TFriend& who)> OnNotify;
    // Raised on every change of a friend's state.
    std::function<void(const TFriend& who)> OnChange;

    static bool ValidNick(std::string_view nick);

private:
    TFriend* Lookup(std::string_view nick);
    bool Move(TFriend& f, TFriendState state, TClock::time_point now, std::string server = {});

    TFold fold_;
    std::vector<TFriend> friends_;  // in the order the player gave them
    std::vector<std::string> watched_;            // folded: friends sent with MONITOR +
    std::vector<std::string> unwatched_;          // folded: friends MONITOR does not cover
    std::deque<std::vector<std::string>> asked_;  // folded nicks of each ISON line awaiting its answer
    bool monitoring_ = false;
};
