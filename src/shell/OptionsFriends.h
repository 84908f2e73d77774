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
    // The names as the list keeps them: valid ones, once each, at most the limit.
    void Store(TSettings& values) const;

    QPlainTextEdit* edFriends = nullptr;
    QLabel* lbFriendsCount = nullptr;
    QCheckBox* cbFriendNotifications = nullptr;

private:
    void Count();

    std::function<void()> changed_;
};
