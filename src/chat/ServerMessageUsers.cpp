// TServerMessages: the rows that change user lists (JOIN, PART, names reply, QUIT, MODE, NICK) and
// the lobby marks of players gone to a game.
#include "chat/ServerMessage.h"

namespace {

// The entry of nick, or else of the operator "@" + nick; -1 when neither is listed.
int FindUser(const TUserList& list, const std::string& nick) {
    const int plain = LVFindItem(list, nick);
    return plain >= 0 ? plain : LVFindItem(list, "@" + nick);
}

TUserList* UserListOf(TConversations& conversations, const std::string& channel) {
    const int row = conversations.FindRow(channel);
    return row < 0 ? nullptr : conversations.Row(row).UserList.get();
}

bool IsLobby(const std::string& channel) { return SameTextNoCase(channel, LobbyChannel); }

}  // namespace

TServerMessages::TServerMessages(TIRCCli& client, TConversations& conversations, TSettings& settings,
                                 const TPingValues& ping)
    : client_(client), conversations_(conversations), settings_(settings), ping_(ping) {
    conversations_.IsUserMarked = [this](const std::string& channel, const std::string& caption) {
        if (!IsLobby(channel) || Announcements.Count() == 0) return false;
        const std::string nick = caption.starts_with('@') ? caption.substr(1) : caption;
        return Announcements.Find(nick, ClockNow()) != nullptr;
    };
}

TServerMessages::~TServerMessages() { conversations_.IsUserMarked = nullptr; }

TGameAnnouncements::TClock::time_point TServerMessages::ClockNow() const {
    return Clock ? Clock() : TGameAnnouncements::TClock::now();
}

void TServerMessages::WentPlay(const std::string& nick, const std::string& target, const std::string& server) {
    const std::string head = nick + " went play to \"";
    conversations_.AddGameLineToRichEdit(target, head + server + "\" at " + Now(), head.size(), server.size(),
                                         LineClass::Status);
    if (!IsLobby(target)) return;
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
    TUserList* list = UserListOf(conversations_, channel);
    if (list && LVFindItem(*list, nick) < 0) list->Add(nick);
}

void TServerMessages::Part(const std::string& nick, const std::vector<std::string>& p) {
    const std::string& channel = p.at(0);
    conversations_.AddLineToRichEdit(channel, nick + " has left the channel at " + Now(), LineClass::Status);
    if (IsLobby(channel)) Announcements.Forget(nick);
    TUserList* list = UserListOf(conversations_, channel);
    if (!list) return;
    const int entry = FindUser(*list, nick);
    if (entry >= 0) list->Remove(entry);
}

void TServerMessages::NamesReply(const std::string& channel, const std::string& names) {
    TUserList* list = UserListOf(conversations_, channel);
    if (!list) return;
    std::vector<std::string> captions;
    std::string name;
    for (char c : names) {
        if (c != ' ') {
            name += c;
            continue;
        }
        // Two blanks in a row, or a blank at the end, name nobody.
        if (!name.empty()) captions.push_back(name);
        name.clear();
    }
    if (!name.empty()) captions.push_back(name);
    list->Fill(std::move(captions));
}

void TServerMessages::Quit(const std::string& nick, const std::vector<std::string>& p) {
    const std::string line = nick + " has quit at " + Now() + "   (" + p.at(0) + ")";
    Announcements.Forget(nick);
    for (int i = 0; i < conversations_.RowCount(); ++i) {
        TConversation& c = conversations_.Row(i);
        if (c.UserList) {
            const int entry = FindUser(*c.UserList, nick);
            if (entry < 0) continue;
            c.UserList->Remove(entry);
            conversations_.AddLineToRichEdit(c.Name, line, LineClass::Status);
        } else if (c.Name == nick) {
            conversations_.AddLineToRichEdit(c.Name, line, LineClass::Status);
        }
    }
}

void TServerMessages::Mode(const std::string& nick, const std::vector<std::string>& p) {
    const std::string& target = p.at(0);
    std::string modes;
    for (std::size_t i = 1; i < p.size(); ++i) modes += " " + p[i];
    if (!target.starts_with('#')) {
        conversations_.AddLineToRichEdit("", nick + " set mode:" + modes, LineClass::Event);
        return;
    }
    const std::string& change = p.at(1);
    const bool operatorMode = change.find('o') != std::string::npos;
    const bool give = operatorMode && change.starts_with('+');
    const bool take = operatorMode && !give && change.starts_with('-');
    // Only the first nickname is acted on, however many mode letters there are.
    const std::string who = give || take ? p.at(2) : std::string();
    conversations_.AddLineToRichEdit(target, nick + " set mode:" + modes, LineClass::Event);
    TUserList* list = UserListOf(conversations_, target);
    if (!list || who.empty()) return;
    if (give) {
        const int entry = LVFindItem(*list, who);
        if (entry >= 0) list->SetCaption(entry, "@" + list->Caption(entry));
    } else {
        const int entry = LVFindItem(*list, "@" + who);
        if (entry >= 0) list->SetCaption(entry, list->Caption(entry).substr(1));
    }
}

void TServerMessages::Nick(const std::string& oldNick, const std::vector<std::string>& p) {
    const std::string& newNick = p.at(0);
    if (oldNick == settings_.Nickname) settings_.Nickname = newNick;
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
    const std::string line = oldNick + " changed nick to " + newNick;
    for (int i = 0; i < conversations_.RowCount(); ++i) {
        TConversation& c = conversations_.Row(i);
        if (!c.UserList) continue;
        int entry = LVFindItem(*c.UserList, oldNick);
        std::string caption = newNick;
        if (entry < 0) {
            entry = LVFindItem(*c.UserList, "@" + oldNick);
            caption = "@" + newNick;
        }
        if (entry < 0) continue;
        c.UserList->SetCaption(entry, caption);
        conversations_.AddLineToRichEdit(c.Name, line, LineClass::Info);
    }
}
