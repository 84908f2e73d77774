// SPDX-License-Identifier: GPL-3.0-or-later
// TFriendsBinding: what the window does with the friends' states and news.
#include "shell/FriendsBinding.h"

#include "shell/ChatPage.h"
#include "shell/ChatView.h"
#include "shell/FriendsView.h"
#include "shell/GamesPageView.h"
#include "shell/OptionsFriends.h"
#include "shell/Unit1.h"
#include "shell/Unit2.h"

#include <QTabWidget>

TDesktopNote FriendNote(const TSettings& settings, const TFriend& who) {
    TDesktopNote note;
    if (!settings.FriendNotifications) return note;
    note.Show = true;
    if (who.State == TFriendState::Playing) {
        note.Title = "Your friend " + who.Nick + " plays";
        note.Text = who.Nick + " went play to \"" + FirstWords(who.Server, 80) + "\": click to join";
    } else {
        note.Title = "Your friend " + who.Nick + " is online";
        note.Text = who.Nick + " came on the chat";
    }
    return note;
}

TFriendsBinding::TFriendsBinding(TCorvaneGVMF& window) : window_(window) {
    page_ = new TFriendsView;
    page_->setObjectName("tsFriends");
    window_.PageControl1->insertTab(PageIndex, page_, page_->Caption());
    TChatPage& chat = window_.Chat();
    chat.OnFriendsChanged = [this] { Changed(); };
    chat.OnFriendsEdited = [this](const std::string& friends) { Edited(friends); };
    chat.Friends().OnNews = [this](const TFriend& who) { News(who); };
    page_->OnJoin = [this](const std::string& server) { window_.Guarded([&] { Join(server); }); };
    window_.CoolTrayIcon1->OnMessageClick = [this](TCoolTrayIcon*) {
        window_.Guarded([this] { NotificationClicked(); });
    };
}

TFriendsBinding::~TFriendsBinding() {
    TChatPage& chat = window_.Chat();
    chat.OnFriendsChanged = nullptr;
    chat.OnFriendsEdited = nullptr;
    chat.Friends().OnNews = nullptr;
    if (window_.CoolTrayIcon1) window_.CoolTrayIcon1->OnMessageClick = nullptr;
}

void TFriendsBinding::SettingsChanged() {
    TFriendsPresence& presence = window_.Chat().Friends();
    // Unchanged names keep what is known of them, and no query goes out for them.
    if (presence.Friends().Text() != window_.Settings.Friends) presence.SetList(window_.Settings.Friends);
}

void TFriendsBinding::Changed() {
    const TFriends& friends = window_.Chat().Friends().Friends();
    page_->Show(friends);
    const int index = window_.PageControl1->indexOf(page_);
    if (index >= 0) window_.PageControl1->setTabText(index, page_->Caption());
    std::vector<TFriendMark> marks;
    for (const TFriend* f : friends.NewestFirst())
        if (f->State == TFriendState::Playing) marks.push_back({f->Nick, f->Server});
    window_.Games().FriendMarks.Assign(std::move(marks));
}

void TFriendsBinding::News(const TFriend& who) {
    const TDesktopNote note = FriendNote(window_.Settings, who);
    if (!note.Show) return;
    noteTitle_ = note.Title;
    noteText_ = note.Text;
    noteServer_ = who.State == TFriendState::Playing ? who.Server : std::string();
    window_.CoolTrayIcon1->ShowMessage(ChatText(note.Title), ChatText(note.Text));
}

void TFriendsBinding::NotificationClicked() {
    BringToFront(window_);
    // Only a friend's announcement offers a join; a click on any other message just shows
    // the window.
    const TCoolTrayIcon& tray = *window_.CoolTrayIcon1;
    if (noteServer_.empty() || tray.LastMessageTitle != ChatText(noteTitle_) ||
        tray.LastMessageText != ChatText(noteText_))
        return;
    Join(noteServer_);
}

void TFriendsBinding::Join(const std::string& server) {
    page_->Say({});
    if (window_.JoinFriendGame(server)) return;
    // Most likely the game is over, or its game type is not enabled.
    window_.PageControl1->setCurrentWidget(page_);
    page_->Say("\"" + ChatText(FirstWords(server, 80)) + "\" is not listed on the games page now.");
}

void TFriendsBinding::Edited(const std::string& friends) {
    TSettings changed = window_.Settings;
    changed.Friends = friends;
    TSettingsEvents events;
    events.OnProblem = [this](const std::string& problem) { window_.ApplicationException(problem); };
    SaveSettings(window_.SettingsKey(), window_.Settings, changed, events);
    if (window_.frmOptions && !window_.frmOptions->Closed()) window_.frmOptions->tsFriends->ListChanged(window_.Settings.Friends);
}
