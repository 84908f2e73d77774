// SPDX-License-Identifier: GPL-3.0-or-later
// TServerMessages: the rows that change user lists (JOIN, PART, KICK, names reply, QUIT, MODE, NICK) and
// the lobby marks of players gone to a game.
#include "chat/ServerMessage.h"

#include "chat/MemberModes.h"

#include <stdexcept>

namespace {

// The entry of nick, whatever marks it carries; -1 for none.
int FindUser(const TUserList& list, const std::string& nick) { return list.Find(nick); }

TUserList* UserListOf(TConversations& conversations, const std::string& channel) {
    const int row = conversations.FindRow(channel);
    return row < 0 ? nullptr : conversations.Row(row).UserList.get();
}

}  // namespace

TServerMessages::TServerMessages(TIRCCli& client, TConversations& conversations, TSettings& settings,
                                 const TPingValues& ping)
    : client_(client), conversations_(conversations), settings_(settings), ping_(ping) {
    conversations_.IsUserMarked = [this](const std::string& channel, const std::string& nick) {
        if (!conversations_.SameName(channel, LobbyChannel) || Announcements.Count() == 0) return false;
        return Announcements.Find(nick, ClockNow()) != nullptr;
    };
    conversations_.IsUserAway = [this](const std::string& nick) { return away_.count(AwayKey(nick)) != 0; };
}

TServerMessages::~TServerMessages() {
    conversations_.IsUserMarked = nullptr;
    conversations_.IsUserAway = nullptr;
}

std::string TServerMessages::AwayKey(const std::string& nick) const {
    return IrcLower(nick, conversations_.Support.CaseMapping);
}

void TServerMessages::Away(const std::string& nick, const std::vector<std::string>& p) {
    // With away-notify the server tells of every user who shares a channel: "AWAY :reason"
    // going, a bare AWAY back.
    const bool away = !p.empty() && !p[0].empty();
    if (nick.empty()) return;
    if (away && away_.size() < TConversations::MaxUserListEntries)
        away_.insert(AwayKey(nick));
    else if (!away)
        away_.erase(AwayKey(nick));
    ShowAway(nick);
}

void TServerMessages::ShowAway(const std::string& nick) {
    for (int i = 0; i < conversations_.RowCount(); ++i)
        if (TUserList* list = conversations_.Row(i).UserList.get()) list->ShowAway(FindUser(*list, nick));
}

TGameAnnouncements::TClock::time_point TServerMessages::ClockNow() const {
    return Clock ? Clock() : TGameAnnouncements::TClock::now();
}

void TServerMessages::WentPlay(const std::string& nick, const std::string& target, const std::string& server) {
    const std::string head = nick + " went play to \"";
    conversations_.AddGameLineToRichEdit(target, head + server + "\" at " + Now(), head.size(), server.size(),
                                         LineClass::Status);
    if (!conversations_.SameName(target, LobbyChannel)) return;
    Announcements.Announce(nick, server, ClockNow());
    RemarkLobbyUser(nick);
}

void TServerMessages::RemarkLobbyUser(const std::string& nick) {
    if (TUserList* list = UserListOf(conversations_, LobbyChannel)) list->Remark(FindUser(*list, nick));
}

void TServerMessages::ExpireAnnouncements() {
    for (const std::string& nick : Announcements.Expire(ClockNow())) RemarkLobbyUser(nick);
}

void TServerMessages::Join(const std::string& nick, const std::vector<std::string>& p) {
    const std::string& channel = p.at(0);
    conversations_.AddLineToRichEdit(channel, nick + " has joined at " + Now(), LineClass::Event);
    const int row = conversations_.FindRow(channel);
    if (row < 0) return;
    if (IsOwn(nick)) conversations_.SetJoined(row, true);
    TUserList* list = conversations_.Row(row).UserList.get();
    if (list && FindUser(*list, nick) < 0) list->Add(nick);
}

void TServerMessages::LeftChannel(const std::string& channel) {
    const int row = conversations_.FindRow(channel);
    if (row < 0) return;
    conversations_.SetJoined(row, false);
    if (TUserList* list = conversations_.Row(row).UserList.get()) list->Clear();
}

void TServerMessages::Part(const std::string& nick, const std::vector<std::string>& p) {
    const std::string& channel = p.at(0);
    const bool own = IsOwn(nick);
    // Our own part of a tab the user closed needs no line, and must not bring the tab back.
    if (!own || conversations_.TabOpen(channel))
        conversations_.AddLineToRichEdit(channel, nick + " has left the channel at " + Now(), LineClass::Status);
    if (conversations_.SameName(channel, LobbyChannel)) Announcements.Forget(nick);
    if (own) {
        LeftChannel(channel);
        return;
    }
    TUserList* list = UserListOf(conversations_, channel);
    if (!list) return;
    const int entry = FindUser(*list, nick);
    if (entry >= 0) list->Remove(entry);
}

void TServerMessages::Kick(const std::string& nick, const std::vector<std::string>& p) {
    const std::string& channel = p.at(0);
    const std::string& kicked = p.at(1);
    const std::string reason = p.size() > 2 ? p[2] : std::string();
    if (conversations_.FindRow(channel) < 0) return;
    const bool own = IsOwn(kicked);
    std::string line = (own ? std::string("You were") : kicked + " was") + " kicked by " + nick;
    if (!reason.empty()) line += " (" + reason + ")";
    conversations_.AddLineToRichEdit(channel, line, LineClass::Status);
    if (own) {
        conversations_.MarkUnread(channel, TTabMark::Highlight);
        LeftChannel(channel);
        return;
    }
    if (conversations_.SameName(channel, LobbyChannel)) Announcements.Forget(kicked);
    TUserList* list = UserListOf(conversations_, channel);
    if (!list) return;
    const int entry = FindUser(*list, kicked);
    if (entry >= 0) list->Remove(entry);
}

void TServerMessages::NamesReply(const std::string& channel, const std::string& names) {
    if (!UserListOf(conversations_, channel)) return;
    std::vector<TUserList::TEntry>& pending = pendingNames_[IrcLower(channel, conversations_.Support.CaseMapping)];
    std::string_view rest = names;
    while (!rest.empty()) {
        const std::size_t blank = rest.find(' ');
        const std::string_view word = rest.substr(0, blank);
        rest = blank == std::string_view::npos ? std::string_view() : rest.substr(blank + 1);
        // Two blanks in a row, or a blank at the end, name nobody.
        if (word.empty()) continue;
        if (pendingCount_ >= TConversations::MaxUserListEntries) break;
        TNamesEntry entry = ParseNamesEntry(word, conversations_.Support);
        if (entry.Nick.empty()) continue;
        pending.push_back({std::move(entry.Nick), std::move(entry.Modes), {}});
        ++pendingCount_;
    }
}

void TServerMessages::NamesEnd(const std::string& channel) {
    auto it = pendingNames_.find(IrcLower(channel, conversations_.Support.CaseMapping));
    // An end without names (a NAMES for a channel we are not on) changes nothing.
    if (it == pendingNames_.end()) return;
    std::vector<TUserList::TEntry> entries = std::move(it->second);
    pendingCount_ -= entries.size();
    pendingNames_.erase(it);
    if (TUserList* list = UserListOf(conversations_, channel)) list->Fill(std::move(entries));
}

void TServerMessages::Quit(const std::string& nick, const std::vector<std::string>& p) {
    const std::string line = nick + " has quit at " + Now() + "   (" + p.at(0) + ")";
    Announcements.Forget(nick);
    away_.erase(AwayKey(nick));
    for (int i = 0; i < conversations_.RowCount(); ++i) {
        TConversation& c = conversations_.Row(i);
        if (c.UserList) {
            const int entry = FindUser(*c.UserList, nick);
            if (entry < 0) continue;
            c.UserList->Remove(entry);
            conversations_.AddLineToRichEdit(c.Name, line, LineClass::Status);
        } else if (conversations_.SameName(c.Name, nick) && conversations_.TabOpen(c.Name)) {
            // A talk the user closed stays closed: only a new message of theirs opens it.
            conversations_.AddLineToRichEdit(c.Name, line, LineClass::Status);
        }
    }
}

void TServerMessages::Mode(const std::string& nick, const std::vector<std::string>& p) {
    const std::string& target = p.at(0);
    std::string modes;
    for (std::size_t i = 1; i < p.size(); ++i) modes += " " + p[i];
    if (!conversations_.IsChannel(target)) {
        conversations_.AddLineToRichEdit("", nick + " set mode:" + modes, LineClass::Event);
        return;
    }
    static_cast<void>(p.at(1));  // a channel MODE without modes is a short line
    bool complete = true;
    const auto changes = MemberModeChanges(p, 1, conversations_.Support, &complete);
    if (!complete) throw std::out_of_range("MODE without the parameters its modes need");
    conversations_.AddLineToRichEdit(target, nick + " set mode:" + modes, LineClass::Event);
    TUserList* list = UserListOf(conversations_, target);
    if (!list) return;
    // "+ov-v a b c": every member mode of every user named, each kept beside the others.
    for (const TMemberModeChange& change : changes) {
        const int entry = FindUser(*list, change.Nick);
        if (entry < 0) continue;
        const std::string now = WithMemberMode(list->Modes(entry), change.Mode, change.Adding, conversations_.Support);
        if (now != list->Modes(entry)) list->SetModes(entry, now);
    }
}

void TServerMessages::Nick(const std::string& oldNick, const std::vector<std::string>& p) {
    const std::string& newNick = p.at(0);
    if (IsOwn(oldNick)) settings_.Nickname = newNick;
    const int row = conversations_.FindRow(oldNick);
    const int taken = conversations_.FindRow(newNick);
    // A talk already open under the new name keeps it: two rows of one name would split its
    // lines between two views, and only the first could ever be found again.
    if (row >= 0 && (taken < 0 || taken == row)) {
        conversations_.Row(row).Name = newNick;
        const int tab = conversations_.FindChatTab(oldNick);
        if (tab >= 0) conversations_.SetTabLabel(tab, newNick);
    }

    // Before the lists: the entry asks for its mark under the new name as it moves.
    Announcements.Rename(oldNick, newNick);
    if (away_.erase(AwayKey(oldNick))) away_.insert(AwayKey(newNick));
    const std::string line = oldNick + " changed nick to " + newNick;
    for (int i = 0; i < conversations_.RowCount(); ++i) {
        TConversation& c = conversations_.Row(i);
        if (!c.UserList) continue;
        const int entry = FindUser(*c.UserList, oldNick);
        if (entry < 0) continue;
        c.UserList->SetNick(entry, newNick);
        conversations_.AddLineToRichEdit(c.Name, line, LineClass::Info);
    }
}
