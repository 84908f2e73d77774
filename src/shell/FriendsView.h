// SPDX-License-Identifier: GPL-3.0-or-later
// TFriendsView: the "Friends" page: each friend with where he is, newest change first.
#pragma once

#include "chat/Friends.h"

#include <QWidget>

#include <functional>
#include <string>

class QLabel;
class QTreeWidget;

// "offline", "online", "in the lobby" or "playing on NAME".
std::string FriendStateText(const TFriend& f);

class TFriendsView final : public QWidget {
public:
    explicit TFriendsView(QWidget* parent = nullptr);

    // Shows the friends as they are now.
    void Show(const TFriends& friends);
    // A line above the list (a join that found no server); empty: the summary again.
    void Say(const QString& text);
    // The page's caption: "Friends", with how many are on when any are.
    QString Caption() const { return caption_; }

    // A double click (or Enter) on a friend who plays: join his server.
    std::function<void(const std::string& server)> OnJoin;

    QTreeWidget* List() const { return list_; }
    QLabel* Summary() const { return summary_; }

private:
    void Activated();

    QLabel* summary_;
    QTreeWidget* list_;
    QString caption_ = "Friends";
    QString said_, counted_;
};
