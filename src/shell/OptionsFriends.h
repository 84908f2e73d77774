// SPDX-License-Identifier: GPL-3.0-or-later
// TFriendsOptionsPage: the settings dialog's "Friends" page: the nicknames and the notification.
#pragma once

#include "settings/Settings.h"

#include <QWidget>

#include <functional>

class QCheckBox;
class QLabel;
class QPlainTextEdit;

class TFriendsOptionsPage final : public QWidget {
public:
    // changed runs on every edit (the dialog enables Apply).
    explicit TFriendsOptionsPage(std::function<void()> changed);

    void Fill(const TSettings& settings);
    // The names as the list keeps them: valid ones, once each, at most the limit. The page's
    // own additions and removals are made on current, the list as it is now, so that a friend
    // added or removed from a user list while the dialog was open stays so.
    void Store(TSettings& values, const std::string& current) const;
    // The list was saved: the page shows it and edits count from it.
    void Saved(const std::string& friends);
    // The list changed elsewhere (a user list's menu): a page the user has not edited shows it.
    void ListChanged(const std::string& friends);

    QPlainTextEdit* edFriends = nullptr;
    QLabel* lbFriendsCount = nullptr;
    QCheckBox* cbFriendNotifications = nullptr;

private:
    void Count();

    std::function<void()> changed_;
    std::string filled_;  // the list the page was given
};
