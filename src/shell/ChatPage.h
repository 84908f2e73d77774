// SPDX-License-Identifier: GPL-3.0-or-later
// TChatPage: binds the chat page's widgets (tab strip, views, user lists, input line, connect
// button) to the chat logic and the chat client.
#pragma once

#include "chat/ChatInput.h"
#include "chat/ChatLog.h"
#include "chat/ChatSession.h"
#include "chat/Conversations.h"
#include "chat/FriendsPresence.h"
#include "chat/Links.h"
#include "chat/PingValues.h"
#include "chat/ServerMessage.h"
#include "shell/ChatViewBudget.h"

#include <QObject>
#include <QPointer>
#include <QSize>
#include <QTimer>

#include <functional>
#include <memory>
#include <string>
#include <vector>

class QLineEdit;
class QListWidget;
class QMenu;
class QAction;
class QPushButton;
class QTabBar;
class QWidget;
class TAnchors;
class TChatView;
class TQtUserListView;

// The main window's controls the chat page works with.
struct TChatControls {
    // Parent of the server view; conversation views and user lists are created beside it, at
    // positions given for this widget's designed size.
    QWidget* Client = nullptr;
    QSize Designed{803, 388};
    QTabBar* TabControl1 = nullptr;
    TChatView* RichEdit1 = nullptr;
    QLineEdit* Edit1 = nullptr;
    QPushButton* btnChatConnection = nullptr;
    std::function<bool()> ChatPageActive;
    // Runs a handler of a control; what it throws goes to the application's error handler.
    std::function<void(const std::function<void()>&)> Guarded;
};

// Opens links with the desktop's URL handler, without a shell.
class TDesktopLinkOpener : public TLinkOpener {
public:
    void OpenLink(const std::string& address) override;
};

class TChatPage : public QObject, public TChatPageView {
    Q_OBJECT
public:
    // Binds the client's session and server-message events; the client, settings and random
    // generator must outlive the page. opener null: the desktop's URL handler.
    TChatPage(const TChatControls& controls, TIRCCli& client, TSettings& settings, TRandomGenerator& random,
              const std::string& host, const std::string& port, TLinkOpener* opener = nullptr);
    ~TChatPage() override;

    TConversations& Conversations() { return conversations_; }
    TChatSession& Session() { return *session_; }
    TServerMessages& Messages() { return *messages_; }
    TChatInput& Input() { return *input_; }
    TFriendsPresence& Friends() { return *friends_; }
    // The last /PING, set by the input line and read by the PONG line.
    TPingValues Ping;

    // A game link was clicked: join the server so named; false when no listed server has
    // that name (the conversation then says so).
    std::function<bool(const std::string& server)> OnJoinFriendGame;
    // The live state of a server by name, for the tooltip of a marked player.
    std::function<std::string(const std::string& server)> GameStatusText;
    // The tooltip of a lobby user list entry: a line of its own, then the announced server
    // and its state; empty for an entry without the mark.
    std::string UserToolTip(const std::string& caption) const;
    // The right-click menu of a user list for the entry at a point of its viewport ("Add to
    // friends" / "Remove from friends"); null over no entry. The caller owns it.
    QMenu* UserListMenu(QListWidget* list, const QPoint& viewportPos);
    // The user changed the friends from a user list: the text to keep as the setting.
    std::function<void(const std::string& friends)> OnFriendsEdited;
    // A friend's state or the list changed (the friends page and the games page marks).
    std::function<void()> OnFriendsChanged;
    // How often the marks are looked at for their hour being over.
    static constexpr int kMarkExpiryMs = 30000;

    // The widgets of a conversation (null when there is none), for the window and for tests.
    TChatView* ConversationView(const std::string& name) const;
    QListWidget* UserListWidget(const std::string& name) const;
    // The strip's context menu, built for the tab at a point of the strip; false when it
    // offers nothing and is not shown.
    bool PrepareTabMenu(const QPoint& stripPos);
    QAction* CloseAction() const { return ppCloseTab_; }

    // TChatPageView
    TMessageView& ServerView() override;
    TMessageView& CreateConversationView(const std::string& name, bool channel) override;
    TUserListView& CreateUserList(const std::string& name) override;
    void TabAdded(const std::string& label) override;
    void TabRemoved(int index) override;
    void TabLabelChanged(int index, const std::string& label) override;
    void TabSelected(int index) override;
    void TabMarkChanged(int index, TTabMark mark) override;
    void TabJoinedChanged(int index, bool joined) override;
    bool ChatPageActive() const override;
    std::string InputText() const override;
    void SetInputText(const std::string& text) override;
    std::size_t InputCaret() const override;
    void SetInputCaret(std::size_t caret) override;
    void FocusInput() override;
    void SetConnectButton(const std::string& caption, bool enabled) override;

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    void Guarded(const std::function<void()>& handler);
    void BindView(TChatView& view);
    void LinkClicked(const std::string& link);
    void GameLinkClicked(TChatView& view, const std::string& server);
    TUserList* ListOf(const TQtUserListView* view);
    // The friend marks of every user list, after the list of friends changed.
    void RemarkFriends();
    bool IsFriendCaption(const std::string& caption) const;

    TChatControls controls_;
    TIRCCli& client_;
    TDesktopLinkOpener desktopOpener_;
    TLinkOpener& opener_;
    TAnchors* anchors_ = nullptr;
    QMenu* PopupMenu1 = nullptr;
    QAction* ppCloseTab_ = nullptr;
    // Set while the logic moves the strip, so that the strip's own signal is not taken as a click.
    bool syncing_ = false;

    struct TOwnedView {
        std::string Name;
        QPointer<TChatView> View;
    };
    std::vector<TOwnedView> views_;
    TChatViewBudget budget_;
    std::vector<std::unique_ptr<TQtUserListView>> lists_;
    // Made when the first line is logged, in the folder the environment gives then.
    std::unique_ptr<TChatLog> log_;
    QTimer markExpiry_;

    // The widgets above outlive the logic: it is declared last and goes first.
    TConversations conversations_{*this};
    std::unique_ptr<TChatSession> session_;
    std::unique_ptr<TServerMessages> messages_;
    std::unique_ptr<TChatInput> input_;
    std::unique_ptr<TFriendsPresence> friends_;
    std::string markedFriends_;
};
