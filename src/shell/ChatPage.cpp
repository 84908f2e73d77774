// SPDX-License-Identifier: GPL-3.0-or-later
// TChatPage: the chat page's widgets kept in step with the chat logic, and user input passed to it.
#include "shell/ChatPage.h"

#include "shell/Anchors.h"
#include "shell/ChatTabBar.h"
#include "shell/ChatView.h"
#include "shell/Icons.h"

#include <QAction>
#include <QDesktopServices>
#include <QKeyEvent>
#include <QLineEdit>
#include <QListWidget>
#include <QMenu>
#include <QMessageBox>
#include <QMouseEvent>
#include <QPushButton>
#include <QTabBar>
#include <QTextDocument>
#include <QToolTip>
#include <QUrl>


namespace {

// Designed places (main window client area of 803 x 388): views under the tab row, a channel's
// view leaving room for its user list at the right.
const QRect kPrivateViewRect(8, 56, 785, 281);
const QRect kChannelViewRect(8, 56, 642, 281);
const QRect kUserListRect(657, 56, 136, 281);

std::string Bytes(const QString& text) { return text.toUtf8().toStdString(); }

// Names come from the server: an "&" in a channel or nick must show, not make an accelerator.
QString TabText(const std::string& label) { return ChatText(StripFormatting(label)).replace('&', "&&"); }

}  // namespace

// One user list widget, told every change of its list in order.
class TQtUserListView : public TUserListView {
public:
    explicit TQtUserListView(QListWidget* list) : list_(list) {}
    void ItemInserted(int index, const std::string& caption) override {
        if (!list_) return;
        list_->insertItem(index, ChatText(caption));
        if (IsFriend && IsFriend(caption)) ShowFriend(list_->item(index), true);
    }
    // Friends stand out in bold blue; the text stays the caption.
    static void ShowFriend(QListWidgetItem* item, bool isFriend) {
        if (!item) return;
        QFont f = item->font();
        f.setBold(isFriend);
        item->setFont(f);
        item->setForeground(isFriend ? QBrush(QColor(0x1B, 0x6E, 0xC2)) : QBrush());
    }
    std::function<bool(const std::string& caption)> IsFriend;
    void ItemRemoved(int index) override {
        if (list_) delete list_->takeItem(index);
    }
    void ItemsCleared() override {
        if (list_) list_->clear();
    }
    void ItemMarked(int index, bool marked) override {
        static const QIcon mark = PlayingMark();
        if (QListWidgetItem* item = list_ ? list_->item(index) : nullptr) item->setIcon(marked ? mark : QIcon());
    }
    void ItemAway(int index, bool away) override {
        // Greyed as the palette greys what is not active, so it follows the desktop's theme.
        if (QListWidgetItem* item = list_ ? list_->item(index) : nullptr)
            item->setForeground(away ? list_->palette().brush(QPalette::Disabled, QPalette::Text) : QBrush());
    }
    int SelectedIndex() const override {
        if (!list_) return -1;
        const auto selected = list_->selectedItems();
        return selected.isEmpty() ? -1 : list_->row(selected.first());
    }
    void SetVisible(bool visible) override {
        if (list_) list_->setVisible(visible);
    }
    QListWidget* Widget() const { return list_; }

private:
    QPointer<QListWidget> list_;
};

void TDesktopLinkOpener::OpenLink(const std::string& address) {
    const QUrl url(QString::fromUtf8(address.data(), static_cast<qsizetype>(address.size())), QUrl::TolerantMode);
    // The rule already looked at the text; the parsed scheme must agree with it.
    const QString scheme = url.scheme().toLower();
    if (!url.isValid() || !(scheme == "http" || scheme == "https" || scheme == "ftp" || scheme == "mailto")) return;
    QDesktopServices::openUrl(url);
}

TChatPage::TChatPage(const TChatControls& controls, TIRCCli& client, TSettings& settings, TRandomGenerator& random,
                     const std::string& host, const std::string& port, TLinkOpener* opener)
    : controls_(controls), client_(client), opener_(opener ? *opener : desktopOpener_) {
    anchors_ = new TAnchors(controls_.Client, controls_.Designed);
    session_ = std::make_unique<TChatSession>(client, conversations_, settings, random, host, port);
    messages_ = std::make_unique<TServerMessages>(client, conversations_, settings, Ping);
    friends_ = std::make_unique<TFriendsPresence>(client, conversations_);
    friends_->OnChanged = [this] {
        // The marks follow the list; states alone change none of them.
        if (friends_->Friends().Text() != markedFriends_) {
            markedFriends_ = friends_->Friends().Text();
            RemarkFriends();
        }
        if (OnFriendsChanged) OnFriendsChanged();
    };
    input_ = std::make_unique<TChatInput>(client, conversations_, settings, Ping);
    messages_->OnWelcome = [this] { session_->Welcomed(); };
    input_->ConfirmPaste = [this](const std::string& question) {
        return QMessageBox::question(controls_.Edit1->window(), "Corvane Games Viewer", ChatText(question)) ==
               QMessageBox::Yes;
    };
    conversations_.OnLineAdded = [this, &settings](const std::string& name, const std::string& text) {
        if (!settings.ChatLogs) return;
        if (!log_)
            log_ = std::make_unique<TChatLog>(SystemChatLogFolder());
        log_->Write(name, StripFormatting(text));
    };
    controls_.Edit1->installEventFilter(this);
    markExpiry_.setInterval(kMarkExpiryMs);
    connect(&markExpiry_, &QTimer::timeout, this, [this] {
        Guarded([this] {
            messages_->ExpireAnnouncements();
            friends_->Expire();
        });
    });
    markExpiry_.start();

    BindView(*controls_.RichEdit1);

    QTabBar* strip = controls_.TabControl1;
    connect(strip, &QTabBar::currentChanged, this, [this](int index) {
        if (syncing_ || index < 0 || index == conversations_.SelectedTab()) return;
        Guarded([this, index] { conversations_.TabControl1Clicked(index); });
    });
    PopupMenu1 = new QMenu(strip);
    ppCloseTab_ = PopupMenu1->addAction("Close");
    ppCloseTab_->setVisible(false);
    connect(ppCloseTab_, &QAction::triggered, this, [this] { Guarded([this] { conversations_.ppCloseTabClick(); }); });
    strip->setContextMenuPolicy(Qt::CustomContextMenu);
    connect(strip, &QTabBar::customContextMenuRequested, this, [this, strip](const QPoint& pos) {
        if (PrepareTabMenu(pos)) PopupMenu1->popup(strip->mapToGlobal(pos));
    });

    // A middle click closes the tab under the pointer, as in browsers.
    strip->installEventFilter(this);
    conversations_.OnChannelTabClosed = [this](const std::string& channel) { session_->ChannelClosed(channel); };
    client_.OnUnsent = [this](TIRCCli&, const std::vector<std::string>& lines) {
        for (const std::string& line : lines)
            conversations_.AddLineToRichEdit("", "Not sent (the connection ended): " + line, LineClass::Error);
    };

    connect(controls_.btnChatConnection, &QPushButton::clicked, this,
            [this] { Guarded([this] { session_->btnChatConnectionClick(); }); });

    client_.OnSessionConnected = [this](TIRCCli& sender, std::uint16_t error) {
        session_->IRCCli1SessionConnected(sender, error);
    };
    client_.OnSessionClosed = [this](TIRCCli& sender, std::uint16_t error) {
        session_->IRCCli1SessionClosed(sender, error);
        friends_->SessionClosed();
    };
    client_.OnServerMessage = [this](TIRCCli& sender, const std::string& prefix, const std::string& command,
                                     const std::vector<std::string>& parameters) {
        // Answers to the friends' presence queries are theirs alone; the server view stays quiet.
        const bool presence = friends_->ServerLine(prefix, command, parameters);
        session_->ServerLine(command, parameters);
        if (!presence) messages_->IRCCli1ServerMessage(sender, prefix, command, parameters);
    };
    client_.OnInvite = [this](TIRCCli& sender, const std::string& nick, const std::string& user,
                              const std::string& host, const std::string& channel, bool& accept) {
        messages_->IRCCli1Invite(sender, nick, user, host, channel, accept);
    };
    client_.OnNegotiationNote = [this](TIRCCli&, const std::string& text, bool error) {
        conversations_.AddLineToRichEdit("", text, error ? LineClass::Error : LineClass::Info);
    };
    client_.OnStsUpgrade = [this](TIRCCli& sender, int port) { session_->StsUpgrade(sender, port); };
    client_.OnStsDuration = [this](TIRCCli& sender, std::int64_t seconds) { session_->StsDuration(sender, seconds); };
}

TChatPage::~TChatPage() {
    client_.OnSessionConnected = nullptr;
    client_.OnSessionClosed = nullptr;
    client_.OnServerMessage = nullptr;
    client_.OnInvite = nullptr;
    client_.OnUnsent = nullptr;
    client_.OnNegotiationNote = nullptr;
    client_.OnStsUpgrade = nullptr;
    client_.OnStsDuration = nullptr;
    if (controls_.RichEdit1) controls_.RichEdit1->OnLinkClick = nullptr;
    if (controls_.RichEdit1) controls_.RichEdit1->OnGameLinkClick = nullptr;
    for (auto& v : views_)
        if (v.View) {
            v.View->OnLinkClick = nullptr;
            v.View->OnGameLinkClick = nullptr;
        }
}

void TChatPage::Guarded(const std::function<void()>& handler) {
    if (controls_.Guarded) {
        controls_.Guarded(handler);
        return;
    }
    try {
        handler();
    } catch (const std::exception& e) {
        conversations_.AddLineToRichEdit("", std::string("!!!EXCEPTION!!!: ") + e.what(), LineClass::Error);
    } catch (...) {
        conversations_.AddLineToRichEdit("", "!!!EXCEPTION!!!: Unknown error", LineClass::Error);
    }
}

void TChatPage::BindView(TChatView& view) {
    budget_.Add(view);
    view.OnLinkClick = [this](TChatView&, const std::string& link) { LinkClicked(link); };
    view.OnGameLinkClick = [this](TChatView& sender, const std::string& server) { GameLinkClicked(sender, server); };
}

void TChatPage::GameLinkClicked(TChatView& view, const std::string& server) {
    Guarded([this, &view, server] {
        if (!OnJoinFriendGame || OnJoinFriendGame(server)) return;
        FocusInput();
        // Most likely the game is over, or its game type is not enabled: say so where the
        // user clicked, and stay there.
        std::string tab;
        for (int i = 0; i < conversations_.RowCount(); ++i)
            if (conversations_.Row(i).View == &view) tab = conversations_.Row(i).Name;
        conversations_.AddLineToRichEdit(tab, "\"" + server + "\" is not listed on the games page now",
                                         LineClass::Info);
    });
}

bool TChatPage::IsFriendCaption(const std::string& caption) const {
    const std::size_t start = caption.find_first_not_of(conversations_.Support.PrefixMarks);
    return start != std::string::npos && friends_ && friends_->Friends().Contains(caption.substr(start));
}

void TChatPage::RemarkFriends() {
    for (const auto& l : lists_) {
        QListWidget* list = l->Widget();
        if (!list) continue;
        for (int i = 0; i < list->count(); ++i) {
            const TUserList* users = ListOf(l.get());
            if (users && i < users->Count())
                TQtUserListView::ShowFriend(list->item(i), friends_->Friends().Contains(users->Nick(i)));
        }
    }
}

QMenu* TChatPage::UserListMenu(QListWidget* list, const QPoint& viewportPos) {
    const QListWidgetItem* item = list ? list->itemAt(viewportPos) : nullptr;
    TUserList* users = nullptr;
    for (const auto& l : lists_)
        if (l->Widget() == list) users = ListOf(l.get());
    if (!item || !users || list->row(item) >= users->Count()) return nullptr;
    const std::string nick = users->Nick(list->row(item));
    auto* menu = new QMenu(list);
    const TFriends& known = friends_->Friends();
    const bool isFriend = known.Contains(nick);
    QAction* action = menu->addAction(isFriend ? "Remove from friends" : "Add to friends");
    if (!isFriend && known.Count() >= TFriends::MaxFriends) {
        action->setText("Add to friends (the list is full)");
        action->setEnabled(false);
    }
    connect(action, &QAction::triggered, this, [this, nick, isFriend] {
        Guarded([&] {
            if (isFriend) friends_->Remove(nick);
            else friends_->Add(nick);
            if (OnFriendsEdited) OnFriendsEdited(friends_->Friends().Text());
        });
    });
    return menu;
}

std::string TChatPage::UserToolTip(const std::string& caption) const {
    // The caption's mark (its highest member mode) is not part of the name.
    const std::string& marks = conversations_.Support.PrefixMarks;
    const std::size_t start = caption.find_first_not_of(marks);
    const std::string nick = start == std::string::npos ? std::string() : caption.substr(start);
    const TServerMessages& m = *messages_;
    const TAnnouncement* a = m.Announcements.Find(nick, m.Clock ? m.Clock() : TGameAnnouncements::TClock::now());
    if (!a) return {};
    // A tooltip is read as markup when its first line looks like some; this one is ours, so
    // the name from the network below it always shows as the text it is.
    return "Announced a game:\n" + (GameStatusText ? GameStatusText(a->Server) : a->Server);
}

void TChatPage::LinkClicked(const std::string& link) {
    Guarded([this, link] {
        FocusInput();
        OpenURL(link, opener_);
    });
}

bool TChatPage::PrepareTabMenu(const QPoint& stripPos) {
    QTabBar* strip = controls_.TabControl1;
    // Only the horizontal place counts, as if the pointer were in the middle of the tab row.
    const int index = strip->tabAt(QPoint(stripPos.x(), strip->height() / 2));
    bool offered = false;
    Guarded([&] { offered = conversations_.PopupMenu1Popup(index); });
    ppCloseTab_->setVisible(offered);
    return offered;
}

TChatView* TChatPage::ConversationView(const std::string& name) const {
    const int row = const_cast<TConversations&>(conversations_).FindRow(name);
    if (row < 0) return nullptr;
    TMessageView* view = const_cast<TConversations&>(conversations_).Row(row).View;
    for (const auto& v : views_)
        if (static_cast<TMessageView*>(v.View.data()) == view) return v.View;
    return nullptr;
}

QListWidget* TChatPage::UserListWidget(const std::string& name) const {
    const int row = const_cast<TConversations&>(conversations_).FindRow(name);
    if (row < 0) return nullptr;
    const TUserList* list = const_cast<TConversations&>(conversations_).Row(row).UserList.get();
    if (!list) return nullptr;
    for (const auto& l : lists_)
        if (&list->View() == l.get()) return l->Widget();
    return nullptr;
}

TUserList* TChatPage::ListOf(const TQtUserListView* view) {
    for (int i = 0; i < conversations_.RowCount(); ++i) {
        TUserList* list = conversations_.Row(i).UserList.get();
        if (list && &list->View() == view) return list;
    }
    return nullptr;
}

TMessageView& TChatPage::ServerView() { return *controls_.RichEdit1; }

TMessageView& TChatPage::CreateConversationView(const std::string& name, bool channel) {
    auto* view = new TChatView(controls_.Client);
    view->setObjectName(ChatText(name));
    view->setVisible(false);
    anchors_->Add(view, channel ? kChannelViewRect : kPrivateViewRect, akLeft | akTop | akRight | akBottom);
    view->raise();
    BindView(*view);
    views_.push_back({name, view});
    return *view;
}

TUserListView& TChatPage::CreateUserList(const std::string& name) {
    auto* list = new QListWidget(controls_.Client);
    list->setObjectName(ChatText(name) + " users");
    list->setVisible(false);
    list->setSelectionMode(QAbstractItemView::SingleSelection);
    list->setEditTriggers(QAbstractItemView::NoEditTriggers);
    // The mark of a player gone to a game fits the height of a name, so rows stay even.
    const int mark = list->fontMetrics().height() - 2;
    list->setIconSize(QSize(mark, mark));
    // Even rows let the view lay out a crowded channel without measuring each of its names.
    list->setUniformItemSizes(true);
    anchors_->Add(list, kUserListRect, akTop | akRight | akBottom);
    list->raise();
    list->viewport()->installEventFilter(this);
    lists_.push_back(std::make_unique<TQtUserListView>(list));
    TQtUserListView* adapter = lists_.back().get();
    adapter->IsFriend = [this](const std::string& caption) { return IsFriendCaption(caption); };
    list->setContextMenuPolicy(Qt::CustomContextMenu);
    connect(list, &QWidget::customContextMenuRequested, this, [this, list](const QPoint& pos) {
        std::unique_ptr<QMenu> menu(UserListMenu(list, pos));
        if (menu) menu->exec(list->viewport()->mapToGlobal(pos));
    });
    connect(list, &QListWidget::itemDoubleClicked, this, [this, adapter] {
        Guarded([this, adapter] {
            if (TUserList* users = ListOf(adapter)) conversations_.ListViewDblClick(*users);
            // The list that had the focus is hidden when another tab was selected.
            FocusInput();
        });
    });
    return *adapter;
}

void TChatPage::TabAdded(const std::string& label) {
    syncing_ = true;
    controls_.TabControl1->addTab(TabText(label));
    syncing_ = false;
}

void TChatPage::TabRemoved(int index) {
    syncing_ = true;
    controls_.TabControl1->removeTab(index);
    syncing_ = false;
}

void TChatPage::TabLabelChanged(int index, const std::string& label) {
    // A channel not joined shows its name in brackets; the tooltip says why.
    const bool out = !controls_.TabControl1->tabToolTip(index).isEmpty();
    controls_.TabControl1->setTabText(index, out ? "(" + TabText(label) + ")" : TabText(label));
}

void TChatPage::TabJoinedChanged(int index, bool joined) {
    QTabBar* strip = controls_.TabControl1;
    if (index < 0 || index >= strip->count()) return;
    strip->setTabToolTip(index, joined ? QString() : QStringLiteral("Not joined"));
    TabLabelChanged(index, conversations_.TabLabel(index));
}

void TChatPage::TabSelected(int index) {
    syncing_ = true;
    controls_.TabControl1->setCurrentIndex(index);
    syncing_ = false;
}

void TChatPage::TabMarkChanged(int index, TTabMark mark) { SetTabMark(*controls_.TabControl1, index, mark); }

bool TChatPage::ChatPageActive() const { return !controls_.ChatPageActive || controls_.ChatPageActive(); }

std::string TChatPage::InputText() const { return Bytes(controls_.Edit1->text()); }

void TChatPage::SetInputText(const std::string& text) { controls_.Edit1->setText(DecodeChatBytes(text)); }

std::size_t TChatPage::InputCaret() const {
    return Bytes(controls_.Edit1->text().left(controls_.Edit1->cursorPosition())).size();
}

void TChatPage::SetInputCaret(std::size_t caret) {
    controls_.Edit1->setCursorPosition(static_cast<int>(ChatText(InputText().substr(0, caret)).size()));
}

bool TChatPage::eventFilter(QObject* watched, QEvent* event) {
    if (watched == controls_.TabControl1 && event->type() == QEvent::MouseButtonRelease) {
        const auto* click = static_cast<QMouseEvent*>(event);
        const int index = controls_.TabControl1->tabAt(click->position().toPoint());
        if (click->button() == Qt::MiddleButton && index > 0) {
            Guarded([this, index] { conversations_.CloseTab(conversations_.TabLabel(index)); });
            return true;
        }
    }
    if (event->type() == QEvent::ToolTip && watched != controls_.Edit1) {
        for (const auto& l : lists_) {
            QListWidget* list = l->Widget();
            if (!list || watched != list->viewport()) continue;
            const auto* help = static_cast<QHelpEvent*>(event);
            const QListWidgetItem* item = list->itemAt(help->pos());
            const TUserList* users = ListOf(l.get());
            std::string tip;
            if (item && users) Guarded([&] { tip = UserToolTip(users->Caption(list->row(item))); });
            if (tip.empty()) QToolTip::hideText();
            else QToolTip::showText(help->globalPos(), ChatText(tip), list->viewport());
            return true;
        }
    }
    if (watched != controls_.Edit1 || event->type() != QEvent::KeyPress) return QObject::eventFilter(watched, event);
    const auto* press = static_cast<QKeyEvent*>(event);
    const int key = press->key();
    int code = 0;
    if (key == Qt::Key_Return || key == Qt::Key_Enter)
        code = ChatKey::Return;
    else if (key == Qt::Key_Up)
        code = ChatKey::Up;
    else if (key == Qt::Key_Down)
        code = ChatKey::Down;
    else if (key == Qt::Key_Backspace)
        code = ChatKey::Back;
    else if (key == Qt::Key_Tab)
        code = ChatKey::Tab;
    else if (key >= Qt::Key_0 && key <= Qt::Key_9)
        code = '0' + (key - Qt::Key_0);
    if (code != 0) {
        TShiftState shift = 0;
        if (press->modifiers() & Qt::ShiftModifier) shift |= ssShift;
        if (press->modifiers() & Qt::AltModifier) shift |= ssAlt;
        if (press->modifiers() & Qt::ControlModifier) shift |= ssCtrl;
        // A key whose handling failed was still one of ours: Qt must not act on it as well.
        bool taken = true;
        Guarded([&] { taken = input_->Edit1KeyDown(code, shift); });
        if (taken) return true;
    }
    const QString text = press->text();
    if (text.size() == 1 && text[0].unicode() < 128) {
        char c = static_cast<char>(text[0].unicode());
        TChatInput::Edit1KeyPress(c);
        if (c == 0) return true;
    }
    return false;
}

void TChatPage::FocusInput() { controls_.Edit1->setFocus(); }

void TChatPage::SetConnectButton(const std::string& caption, bool enabled) {
    controls_.btnChatConnection->setText(QString::fromStdString(caption));
    controls_.btnChatConnection->setEnabled(enabled);
}
