// SPDX-License-Identifier: GPL-3.0-or-later
// TFriendsBinding: binds the chat's friends to the window: the "Friends" page, the games page
// marks, the desktop notification and its click, and the setting kept as friends change.
#pragma once

#include "chat/Friends.h"
#include "shell/TrayRules.h"

#include <string>

class TCorvaneGVMF;
class TFriendsView;

// The notification of a friend's news, or none when the setting says no.
TDesktopNote FriendNote(const TSettings& settings, const TFriend& who);

class TFriendsBinding {
public:
    // Adds the page to the window's page control; the window must outlive the binding.
    explicit TFriendsBinding(TCorvaneGVMF& window);
    ~TFriendsBinding();
    TFriendsBinding(const TFriendsBinding&) = delete;
    TFriendsBinding& operator=(const TFriendsBinding&) = delete;

    // The settings' "Friends" was loaded or changed in the dialog.
    void SettingsChanged();
    // The user clicked the desktop notification last shown.
    void NotificationClicked();

    TFriendsView* Page() const { return page_; }
    static constexpr int PageIndex = 2;

private:
    void Changed();
    void News(const TFriend& who);
    void Edited(const std::string& friends);
    void Join(const std::string& server);

    TCorvaneGVMF& window_;
    TFriendsView* page_ = nullptr;
    // What the notification last shown offers: the server of an announcement, else nothing.
    std::string noteTitle_, noteText_, noteServer_;
};
