// SPDX-License-Identifier: GPL-3.0-or-later
// TFriendsOptionsPage: the friends' names edited as text, counted against the limit as typed.
#include "shell/OptionsFriends.h"

#include "chat/Friends.h"
#include "chat/IRCCaseMapping.h"

#include <QCheckBox>
#include <QLabel>
#include <QPlainTextEdit>
#include <QSignalBlocker>

#include <algorithm>
#include <vector>

namespace {

// Networks that announce nothing fold so; the session folds again by its own mapping.
TFriends Parsed(const QString& text, std::size_t* left = nullptr) {
    TFriends friends([](std::string_view nick) { return IrcLower(nick, TCaseMapping::Rfc1459); });
    const std::size_t out = friends.SetText(text.toLatin1().toStdString());
    if (left) *left = out;
    return friends;
}

// In the list's order.
std::vector<std::string> Names(const TFriends& friends) {
    std::vector<std::string> names;
    const std::string text = friends.Text();
    for (std::size_t start = 0; start < text.size();) {
        const std::size_t end = std::min(text.find(' ', start), text.size());
        names.push_back(text.substr(start, end - start));
        start = end + 1;
    }
    return names;
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
    filled_ = settings.Friends;
    edFriends->setPlainText(QString::fromLatin1(settings.Friends.c_str()));
    cbFriendNotifications->setChecked(settings.FriendNotifications);
    Count();
}

void TFriendsOptionsPage::Store(TSettings& values, const std::string& current) const {
    const TFriends before = Parsed(QString::fromLatin1(filled_.c_str()));
    const TFriends page = Parsed(edFriends->toPlainText());
    TFriends merged = Parsed(QString::fromLatin1(current.c_str()));
    for (const std::string& nick : Names(before))
        if (!page.Contains(nick)) merged.Remove(nick);
    // In the page's order, so that past the limit its last ones are left out, as typed.
    for (const std::string& nick : Names(page))
        if (!before.Contains(nick)) merged.Add(nick);
    values.Friends = merged.Text();
    values.FriendNotifications = cbFriendNotifications->isChecked();
}

void TFriendsOptionsPage::Saved(const std::string& friends) {
    filled_ = friends;
    if (Parsed(edFriends->toPlainText()).Text() == friends) return;
    // Not an edit of the user's: Apply stays as it is.
    const QSignalBlocker quiet(edFriends);
    edFriends->setPlainText(QString::fromLatin1(friends.c_str()));
    Count();
}

void TFriendsOptionsPage::ListChanged(const std::string& friends) {
    if (Parsed(edFriends->toPlainText()).Text() == Parsed(QString::fromLatin1(filled_.c_str())).Text()) Saved(friends);
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
