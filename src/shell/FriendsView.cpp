// SPDX-License-Identifier: GPL-3.0-or-later
// TFriendsView: the friends list, its texts and the join from it.
#include "shell/FriendsView.h"

#include "chat/Formatting.h"
#include "shell/ChatView.h"

#include <QHeaderView>
#include <QLabel>
#include <QTreeWidget>
#include <QVBoxLayout>

#include <ctime>

namespace {

constexpr int ServerRole = Qt::UserRole + 1;

// The wall-clock time of a steady-clock moment, "14:05".
QString ClockText(TFriends::TClock::time_point when) {
    if (when == TFriends::TClock::time_point{}) return {};
    const auto ago = TFriends::TClock::now() - when;
    const std::time_t t =
        std::chrono::system_clock::to_time_t(std::chrono::system_clock::now() -
                                             std::chrono::duration_cast<std::chrono::system_clock::duration>(ago));
    const std::tm* local = std::localtime(&t);
    char text[16] = {};
    if (local) std::strftime(text, sizeof text, "%H:%M", local);
    return QString::fromLatin1(text);
}

}  // namespace

std::string FriendStateText(const TFriend& f) {
    switch (f.State) {
    case TFriendState::Online: return "online";
    case TFriendState::InLobby: return "in the lobby";
    case TFriendState::Playing: return "playing on " + f.Server;
    case TFriendState::Unknown:
    case TFriendState::Offline: break;
    }
    return "offline";
}

TFriendsView::TFriendsView(QWidget* parent) : QWidget(parent) {
    auto* layout = new QVBoxLayout(this);
    layout->setContentsMargins(4, 4, 4, 4);
    summary_ = new QLabel(this);
    summary_->setObjectName("lbFriends");
    summary_->setWordWrap(true);
    summary_->setTextFormat(Qt::PlainText);
    layout->addWidget(summary_);
    list_ = new QTreeWidget(this);
    list_->setObjectName("lvFriends");
    list_->setHeaderLabels({"Friend", "Where", "Since"});
    list_->setRootIsDecorated(false);
    list_->setUniformRowHeights(true);
    list_->setSelectionMode(QAbstractItemView::SingleSelection);
    list_->header()->resizeSection(0, 160);
    list_->header()->resizeSection(1, 480);
    layout->addWidget(list_);
    connect(list_, &QTreeWidget::itemActivated, this, [this] { Activated(); });
    Show(TFriends([](std::string_view s) { return std::string(s); }));
}

void TFriendsView::Show(const TFriends& friends) {
    // The selection follows its friend across the new order.
    const QString selected = list_->currentItem() ? list_->currentItem()->text(0) : QString();
    list_->clear();
    int on = 0;
    for (const TFriend* f : friends.NewestFirst()) {
        auto* item = new QTreeWidgetItem(list_);
        item->setText(0, QString::fromLatin1(f->Nick.c_str()));
        // Server names come from the network: shown as text, codes taken out.
        item->setText(1, ChatText(StripFormatting(FriendStateText(*f))));
        item->setText(2, ClockText(f->Changed));
        if (f->State == TFriendState::Playing) {
            item->setData(0, ServerRole, QByteArray::fromStdString(f->Server));
            item->setToolTip(1, "Double-click to join");
        }
        const bool offline = f->State == TFriendState::Offline || f->State == TFriendState::Unknown;
        if (!offline) ++on;
        if (offline) item->setForeground(0, list_->palette().brush(QPalette::Disabled, QPalette::Text));
        if (item->text(0) == selected) list_->setCurrentItem(item);
    }
    caption_ = on > 0 ? QString("Friends (%1)").arg(on) : QString("Friends");
    if (friends.Count() == 0)
        counted_ = "No friends yet: right-click a player in a user list and choose \"Add to friends\", "
                   "or name them under Settings, Friends.";
    else
        counted_ = QString("%1 of %2 friends on the chat. Double-click one who plays to join his game.")
                       .arg(on)
                       .arg(friends.Count());
    summary_->setText(said_.isEmpty() ? counted_ : said_);
}

void TFriendsView::Say(const QString& text) {
    said_ = text;
    summary_->setText(said_.isEmpty() ? counted_ : said_);
}

void TFriendsView::Activated() {
    const QTreeWidgetItem* item = list_->currentItem();
    if (!item) return;
    const QByteArray server = item->data(0, ServerRole).toByteArray();
    if (!server.isEmpty() && OnJoin) OnJoin(server.toStdString());
}
