// SPDX-License-Identifier: GPL-3.0-or-later
// TFriendsPresence: keeps the friends' states in step with one chat session: MONITOR or ISON
// asked of the server, and the lobby's own lines.
#pragma once

#include "chat/Conversations.h"
#include "chat/Friends.h"
#include "chat/IRCCli.h"

#include <chrono>
#include <functional>
#include <string>
#include <vector>

class TFriendsPresence {
public:
    using TClock = TFriends::TClock;

    // The client and conversations must outlive this.
    TFriendsPresence(TIRCCli& client, TConversations& conversations);
    ~TFriendsPresence();
    TFriendsPresence(const TFriendsPresence&) = delete;
    TFriendsPresence& operator=(const TFriendsPresence&) = delete;

    const TFriends& Friends() const { return friends_; }

    // The "Friends" setting, at start-up and after the settings dialog. While the session is
    // up the server is told at once: the MONITOR list changed, or an ISON round for the new ones.
    void SetList(const std::string& text);
    // The user list's menu; the caller saves Friends().Text() as the setting.
    TFriends::TAddResult Add(const std::string& nick);
    bool Remove(const std::string& nick);

    // Every server line, before the page shows it. True for an answer to our own presence
    // queries (MONITOR's numerics, the awaited ISON reply), which the server view does not show.
    bool ServerLine(const std::string& prefix, const std::string& command, const std::vector<std::string>& p);
    // The connection went: states are unknown until the next session asks again.
    void SessionClosed();
    // Game announcements an hour old fall back to "in the lobby"; the page calls it now and then.
    void Expire();

    // How often friends that MONITOR does not cover are asked by ISON.
    std::chrono::milliseconds IsonPeriod{std::chrono::seconds(60)};
    std::function<TClock::time_point()> Clock;

    // A friend came online or announced a game (at most once a minute each): the player is told.
    std::function<void(const TFriend& who)> OnNews;
    // Something shown changed: a state, or the list itself.
    std::function<void()> OnChanged;

private:
    void Begin();
    void IsonRound();
    void AskIson();
    void Flush();
    void SendAll(const std::vector<std::string>& lines);
    void ListChanged();
    void LobbyNames(const std::string& names);
    void WholeLobbyLeft();
    void Announce(const TFriend& who);
    TClock::time_point Now() const { return Clock ? Clock() : TClock::now(); }
    bool IsOwn(const std::string& nick) const { return conversations_.SameName(nick, client_.Nick()); }
    bool IsLobby(const std::string& channel) const;
    std::size_t MonitorLimit() const;
    void StopTimer();

    TIRCCli& client_;
    TConversations& conversations_;
    TFriends friends_;
    TCaseMapping mapping_ = TCaseMapping::Rfc1459;
    // Presence was asked in this session (after the end of the welcome's MOTD).
    bool begun_ = false;
    TEventLoop::TimerId timer_ = 0;
    TClock::time_point lastIson_{};
    bool changed_ = false;
};
