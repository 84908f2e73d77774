// SPDX-License-Identifier: GPL-3.0-or-later
// TFriendsOptionsPage: the friends' names edited as text, counted against the limit as typed.
#include "shell/OptionsFriends.h"

#include "chat/Friends.h"
#include "chat/IRCCaseMapping.h"

#include <QCheckBox>
#include <QLabel>
#include <QPlainTextEdit>

namespace {

// Networks that announce nothing fold so; the session folds again by its own mapping.
TFriends Parsed(const QString& text, std::size_t* left = nullptr) {
    TFriends friends([](std::string_view nick) { return IrcLower(nick, TCaseMapping::Rfc1459); });
    const std::size_t out = friends.SetText(text.toLatin1().toStdString());
    if (left) *left = out;
    return friends;
}

}  // namespace

TFriendsOptionsPage::TFriendsOptionsPage(std::function<void()> changed) : changed_(std::move(changed)) {
    auto* caption = new QLabel("Nicknames of your friends, separated by blanks or lines:", this);
    caption->setGeometry(8, 8, 377, 17);
    edFriends = new QPlainTextEdit(this);
    edFriends->setGeometry(8, 28, 377, 200);
    edFriends->setTabChangesFocus(true);
    caption->setBuddy(edFriends);
    lbFriendsCount = new QLabel(this);
    lbFriendsCount->setGeometry(8, 232, 377, 34);
    lbFriendsCount->setWordWrap(true);
    lbFriendsCount->setTextFormat(Qt::PlainText);
    cbFriendNotifications =
        new QCheckBox("Desktop notification of friends coming online and playing", this);
    cbFriendNotifications->setGeometry(8, 276, 377, 17);
    connect(edFriends, &QPlainTextEdit::textChanged, this, [this] {
        Count();
        if (changed_) changed_();
    });
    connect(cbFriendNotifications, &QCheckBox::toggled, this, [this] {
        if (changed_) changed_();
    });
    Count();
}

void TFriendsOptionsPage::Fill(const TSettings& settings) {
    edFriends->setPlainText(QString::fromLatin1(settings.Friends.c_str()));
    cbFriendNotifications->setChecked(settings.FriendNotifications);
    Count();
}

void TFriendsOptionsPage::Store(TSettings& values) const {
    values.Friends = Parsed(edFriends->toPlainText()).Text();
    values.FriendNotifications = cbFriendNotifications->isChecked();
}

void TFriendsOptionsPage::Count() {
    std::size_t left = 0;
    const TFriends friends = Parsed(edFriends->toPlainText(), &left);
    QString text;
    if (friends.Count() >= TFriends::MaxFriends)
        text = QString("The list is full: %1 friends. Remove one to add another.").arg(TFriends::MaxFriends);
    else
        text = QString("%1 of at most %2 friends.").arg(friends.Count()).arg(TFriends::MaxFriends);
    if (left > 0) text += QString(" %1 left out: not nicknames, twice, or past the limit.").arg(left);
    lbFriendsCount->setText(text);
}
