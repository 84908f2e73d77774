// SPDX-License-Identifier: GPL-3.0-or-later
// What a press on the tray icon and an incoming chat message do, decided apart from the widgets.
#pragma once

#include "chat/Highlight.h"
#include "settings/Settings.h"

#include <string>

enum class TTrayButton { Left, Right, Middle };

// The main window as these rules see it. Visible is the window's visible flag: a window
// minimized to the taskbar still counts as visible, only one sent to the tray does not.
struct TTrayWindowState {
    bool Visible = true;
    bool ApplicationActive = true;
};

struct TRestoreOrHideAction {
    enum class TKind {
        Nothing,
        HideToTray,         // hide the main window; the icon is already there
        MinimizeToTaskbar,  // minimize the application, it stays on the taskbar
        Restore,            // show the main window, bring it to the front, un-minimize it
    };
    TKind Kind = TKind::Nothing;
    // With Restore, exactly one of these: the normal image when the icon stays, else the
    // icon goes away still showing whatever image it had.
    bool ShowNormalImage = false;  // IconIndex := 0
    bool RemoveIcon = false;       // IconVisible := false

    bool operator==(const TRestoreOrHideAction&) const = default;
};

// A press of button on the icon (a double click counts as a second left press).
TRestoreOrHideAction DecideRestoreOrHide(TTrayButton button, const TSettings& settings, const TTrayWindowState& window);

struct TNotifyActions {
    bool ShowMessageImage = false;  // IconIndex := 1
    bool FlashTaskbar = false;
    bool PlaySound = false;
    std::string SoundPath;  // "SoundPath-UserMessage" unchanged, set only with PlaySound

    bool operator==(const TNotifyActions&) const = default;
};

// An incoming user message has just been written into a chat view. One that names the user
// (highlight) flashes or changes the image also when "Notification-UserMessage" is off; the
// sound keeps to its own setting.
TNotifyActions DecideNotifyUserMessage(const TSettings& settings, const TTrayWindowState& window,
                                       bool highlight = false);

// A desktop notification: the sender (and where it was said) and the first words.
struct TDesktopNote {
    bool Show = false;
    std::string Title;
    std::string Text;
    bool operator==(const TDesktopNote&) const = default;
};

// Shown for a private message or a highlight while the main window is hidden or another
// program is active, unless "DesktopNotification" is off.
TDesktopNote DecideDesktopNotification(const TSettings& settings, const TTrayWindowState& window,
                                       const TUserMessage& message);

// The start of a chat text for a notification: control bytes (colour and format codes) out,
// at most max bytes, cut after a whole word where there is one and never inside a UTF-8
// character, with "..." when something was left out.
std::string FirstWords(const std::string& text, std::size_t max = 100);

// Minimizing sends the window to the tray only when asked to and when there is a tray to
// bring it back from; without one the window minimizes normally.
bool MinimizeGoesToTray(bool minimizeToTray, bool trayAvailable);
