// SPDX-License-Identifier: GPL-3.0-or-later
// TFriendsPresence: when to ask the server about friends, and which lines tell where they are.
#include "chat/FriendsPresence.h"

#include "chat/ChatLine.h"
#include "chat/MemberModes.h"
#include "chat/ServerMessage.h"

#include <charconv>

namespace {

TFriends::TFold FoldFor(TCaseMapping mapping) {
    return [mapping](std::string_view nick) { return IrcLower(nick, mapping); };
}

}  // namespace

TFriendsPresence::TFriendsPresence(TIRCCli& client, TConversations& conversations)
    : client_(client), conversations_(conversations), friends_(FoldFor(TCaseMapping::Rfc1459)) {
    friends_.OnNotify = [this](const TFriend& who) { Announce(who); };
    friends_.OnChange = [this](const TFriend&) { changed_ = true; };
}

void TFriendsPresence::Flush() {
    if (!changed_) return;
    changed_ = false;
    if (OnChanged) OnChanged();
}

TFriendsPresence::~TFriendsPresence() { StopTimer(); }

void TFriendsPresence::StopTimer() {
    if (timer_) client_.Loop().StopTimer(timer_);
    timer_ = 0;
}

bool TFriendsPresence::IsLobby(const std::string& channel) const {
    return conversations_.SameName(channel, LobbyChannel);
}

std::size_t TFriendsPresence::MonitorLimit() const {
    const auto& tokens = client_.Support().Tokens;
    const auto it = tokens.find("MONITOR");
    std::size_t limit = 0;
    if (it == tokens.end()) return 0;
    // No value, or one that is no number, sets no limit of its own; ours still holds.
    const std::string& v = it->second;
    std::from_chars(v.data(), v.data() + v.size(), limit);
    return limit;
}

void TFriendsPresence::SendAll(const std::vector<std::string>& lines) {
    if (!client_.Connected()) return;
    // Paced like the user's lines: a hundred friends must not trip the server's flood limit.
    for (const std::string& line : lines) client_.SendPaced(line);
}

void TFriendsPresence::SetList(const std::string& text) {
    friends_.SetText(text);
    ListChanged();
}

TFriends::TAddResult TFriendsPresence::Add(const std::string& nick) {
    const TFriends::TAddResult result = friends_.Add(nick);
    if (result == TFriends::TAddResult::Added) ListChanged();
    return result;
}

bool TFriendsPresence::Remove(const std::string& nick) {
    if (!friends_.Remove(nick)) return false;
    ListChanged();
    return true;
}

void TFriendsPresence::ListChanged() {
    // A friend added while he sits in the lobby is there now, not only online.
    const int lobby = conversations_.FindRow(LobbyChannel);
    const TUserList* users = lobby < 0 ? nullptr : conversations_.Row(lobby).UserList.get();
    if (users && begun_) {
        std::vector<std::string> there;
        for (const TFriend* f : friends_.NewestFirst())
            if (users->Find(f->Nick) >= 0) there.push_back(f->Nick);
        for (const std::string& nick : there) friends_.JoinedLobby(nick, Now());
    }
    if (begun_) {
        SendAll(friends_.MonitorUpdateLines(MonitorLimit()));
        // New friends beyond MONITOR's reach need not wait for the next round.
        AskIson();
    }
    changed_ = true;
    Flush();
}

void TFriendsPresence::Begin() {
    if (begun_) return;
    begun_ = true;
    if (client_.Support().Tokens.count("MONITOR")) {
        // Made also for an empty list: friends added later are then watched the same way.
        std::vector<std::string> lines = friends_.MonitorLines(MonitorLimit());
        if (friends_.Count() > 0) SendAll(lines);
    }
    AskIson();
    StopTimer();
    timer_ = client_.Loop().StartTimer(IsonPeriod, [this] { IsonRound(); });
}

void TFriendsPresence::IsonRound() {
    // A round still unanswered (held in the pacing, or a slow server) is not asked twice;
    // one a server never answered does not stop the rounds for good.
    if (friends_.AwaitingIson() && Now() - lastIson_ < 2 * IsonPeriod) return;
    AskIson();
}

void TFriendsPresence::AskIson() {
    if (!client_.Connected()) return;
    const std::vector<std::string> lines = friends_.IsonLines();
    if (lines.empty()) return;
    lastIson_ = Now();
    SendAll(lines);
}

void TFriendsPresence::SessionClosed() {
    begun_ = false;
    StopTimer();
    friends_.ConnectionLost(Now());
    Flush();
}

void TFriendsPresence::Expire() {
    friends_.Expire(Now());
    Flush();
}

void TFriendsPresence::Announce(const TFriend& who) {
    if (OnNews) OnNews(who);
    // An announcement is already a line of the lobby; coming online is not.
    if (who.State == TFriendState::Playing) return;
    const std::string tab = conversations_.TabOpen(LobbyChannel) ? std::string(LobbyChannel) : std::string();
    conversations_.AddLineToRichEdit(tab, "Your friend " + who.Nick + " is online", LineClass::Event);
}

void TFriendsPresence::LobbyNames(const std::string& names) {
    std::string_view rest = names;
    while (!rest.empty()) {
        const std::size_t blank = rest.find(' ');
        const std::string_view word = rest.substr(0, blank);
        rest = blank == std::string_view::npos ? std::string_view() : rest.substr(blank + 1);
        if (word.empty()) continue;
        const TNamesEntry entry = ParseNamesEntry(word, client_.Support());
        if (!entry.Nick.empty()) friends_.JoinedLobby(entry.Nick, Now());
    }
}

void TFriendsPresence::WholeLobbyLeft() {
    // Out of the lobby we no longer see who is in it; they are still on the network.
    std::vector<std::string> there;
    for (const TFriend* f : friends_.NewestFirst())
        if (f->State == TFriendState::InLobby) there.push_back(f->Nick);
    for (const std::string& nick : there) friends_.LeftLobby(nick, Now());
}

bool TFriendsPresence::ServerLine(const std::string& prefix, const std::string& c, const std::vector<std::string>& p) {
    bool own = false;
    const std::string nick = SenderOf(prefix);
    const auto param = [&p](std::size_t i) -> const std::string& {
        static const std::string none;
        return i < p.size() ? p[i] : none;
    };
    const auto now = Now();
    if (c == "005") {
        if (client_.Support().CaseMapping != mapping_) {
            mapping_ = client_.Support().CaseMapping;
            friends_.SetFold(FoldFor(mapping_));
        }
    } else if (c == "376" || c == "422") {
        // The end of the welcome: ISUPPORT has been read, so MONITOR's limit is known.
        Begin();
    } else if (c == "730") {
        friends_.MonitorOnlineReply(param(1), now);
        own = true;
    } else if (c == "731") {
        friends_.MonitorOfflineReply(param(1), now);
        own = true;
    } else if (c == "734") {
        friends_.MonitorListFull(param(2));
        // Those the server refused are asked by ISON from now on.
        AskIson();
        own = true;
    } else if (c == "303") {
        own = friends_.AwaitingIson();
        friends_.IsonReply(param(1), now);
    } else if (c == "JOIN" && IsLobby(param(0))) {
        if (IsOwn(nick)) Begin();
        else friends_.JoinedLobby(nick, now);
    } else if (c == "353" && IsLobby(param(2))) {
        LobbyNames(param(3));
    } else if (c == "PART" && IsLobby(param(0))) {
        if (IsOwn(nick)) WholeLobbyLeft();
        else friends_.LeftLobby(nick, now);
    } else if (c == "KICK" && IsLobby(param(0))) {
        if (IsOwn(param(1))) WholeLobbyLeft();
        else friends_.LeftLobby(param(1), now);
    } else if (c == "QUIT") {
        friends_.WentOffline(nick, now);
    } else if (c == "NICK" && !p.empty()) {
        friends_.Renamed(nick, p[0], now);
    } else if (c == "PRIVMSG" && IsLobby(param(0))) {
        const std::string& text = param(1);
        // Exactly the marker is a start without a server: nothing to join.
        if (text.size() > JoinMarker.size() && text.compare(0, JoinMarker.size(), JoinMarker) == 0)
            friends_.AnnouncedGame(nick, text.substr(JoinMarker.size()), now);
    }
    Flush();
    return own;
}
