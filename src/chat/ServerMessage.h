// SPDX-License-Identifier: GPL-3.0-or-later
// TServerMessages: what the chat page does with each line the server sends, and with an invitation.
#pragma once

#include "chat/Conversations.h"
#include "chat/GameAnnouncements.h"
#include "chat/IRCCli.h"
#include "chat/PingValues.h"
#include "settings/Settings.h"

#include <functional>
#include <map>
#include <set>
#include <string>
#include <vector>

inline constexpr const char* LobbyChannel = "#Lobby_20";
// A lobby message that begins with these bytes announces that its sender started a game.
inline constexpr std::string_view JoinMarker{"\x01\x02\x03\x04", 4};

// Each server line is shown in the server view or its conversation, keeps the user lists in
// step with joins, parts, quits, mode and nick changes, and raises OnNotifyUserMessage for
// what other users say.
class TServerMessages {
public:
    // settings.Nickname is the own nickname; a NICK of the user changes it in memory. ping is
    // written by the input line's /PING and read by the PONG line. All must outlive this.
    TServerMessages(TIRCCli& client, TConversations& conversations, TSettings& settings, const TPingValues& ping);
    ~TServerMessages();
    TServerMessages(const TServerMessages&) = delete;
    TServerMessages& operator=(const TServerMessages&) = delete;

    // Raises std::out_of_range for a line with fewer parameters than its command needs; the
    // client then drops that line alone. Parameters are read before anything is written, so
    // such a line leaves every view as it was.
    void IRCCli1ServerMessage(TIRCCli& sender, const std::string& APrefix, const std::string& ACommand,
                              const std::vector<std::string>& Parameters);
    // Shows the invitation; Accept stays false, so it is never followed by a join.
    void IRCCli1Invite(TIRCCli& sender, const std::string& AFromNick, const std::string& AFromUser,
                       const std::string& AFromHost, const std::string& AChannel, bool& Accept);

    // Right after another user's message or channel action was written into a view, and
    // after any action that names the user.
    std::function<void(const TUserMessage&)> OnNotifyUserMessage;
    // After the welcome's own lines: the session joins the other channels again after a reconnect.
    std::function<void()> OnWelcome;
    // Developer mode: every server line is also dumped whole into the server view.
    std::function<bool()> DeveloperMode;
    // The local time of day as "14:05:09"; tests put a fixed clock here.
    std::function<std::string()> TimeText;

    // Players who announced a game in the lobby within the hour: their lobby entries are
    // marked until it is over, they leave, or they quit.
    TGameAnnouncements Announcements;
    // The clock of those marks; tests put their own here.
    std::function<TGameAnnouncements::TClock::time_point()> Clock;
    // Takes the marks of announcements an hour old off the lobby list; the page calls it now and then.
    void ExpireAnnouncements();

private:
    void RemarkLobbyUser(const std::string& nick);
    TGameAnnouncements::TClock::time_point ClockNow() const;
    void DeveloperDump(const std::string& prefix, const std::string& command, const std::vector<std::string>& p);
    void Join(const std::string& nick, const std::vector<std::string>& p);
    void Part(const std::string& nick, const std::vector<std::string>& p);
    void NamesReply(const std::string& channel, const std::string& names);
    void NamesEnd(const std::string& channel);
    void Kick(const std::string& nick, const std::vector<std::string>& p);
    void Topic(const std::string& nick, const std::vector<std::string>& p);
    void Notice(const std::string& prefix, const std::string& nick, const std::vector<std::string>& p);
    // Our own part or kick: the tab stays, its list empties, and it shows as not joined.
    void LeftChannel(const std::string& channel);
    void Quit(const std::string& nick, const std::vector<std::string>& p);
    void Mode(const std::string& nick, const std::vector<std::string>& p);
    void Nick(const std::string& nick, const std::vector<std::string>& p);
    void Pong();
    void Away(const std::string& nick, const std::vector<std::string>& p);
    void ShowAway(const std::string& nick);
    std::string AwayKey(const std::string& nick) const;
    // "[14:05:09] " for a line the server says is older than a minute (a replay), else "".
    std::string ReplayStamp() const;
    void NickRejected(const std::string& command, const std::vector<std::string>& p);
    void JoinRefused(const std::string& command, const std::vector<std::string>& p);
    void PrivateMessage(const std::string& nick, const std::vector<std::string>& p);
    void WentPlay(const std::string& nick, const std::string& target, const std::string& server);
    void Generic(const std::string& command, const std::vector<std::string>& parameters);
    void Notify(const TUserMessage& message);
    // The text names the own nickname and was not sent by the user.
    bool NamesUser(const std::string& sender, const std::string& text) const;
    bool IsOwn(const std::string& nick) const { return conversations_.SameName(nick, settings_.Nickname); }
    std::string Now() const;

    TIRCCli& client_;
    TConversations& conversations_;
    TSettings& settings_;
    const TPingValues& ping_;
    // Names replies come in several lines; the list is replaced once the end (366) arrives.
    // Keyed by the folded channel name; bounded by the user lists' own budget.
    std::map<std::string, std::vector<TUserList::TEntry>> pendingNames_;
    std::size_t pendingCount_ = 0;
    // Users away (away-notify), by folded nickname; bounded like the user lists.
    std::set<std::string> away_;
};

// The sender of a prefix: from its second character up to the first "!", or to its end.
std::string SenderOf(const std::string& prefix);

// Seconds between two counter readings, one digit after the point ("0.3", "12.0"), whatever
// the locale. Empty when the frequency is not known (no /PING yet).
std::string ElapsedSecondsText(std::int64_t start, std::int64_t now, std::int64_t frequency);
