// SPDX-License-Identifier: GPL-3.0-or-later
// The tray icon's press and the user-message notification as pure decisions.
#include "shell/TrayRules.h"

TRestoreOrHideAction DecideRestoreOrHide(TTrayButton button, const TSettings& settings,
                                         const TTrayWindowState& window) {
    using K = TRestoreOrHideAction::TKind;
    TRestoreOrHideAction a;
    if (button != TTrayButton::Left) return a;
    if (window.Visible && window.ApplicationActive) {
        a.Kind = settings.MinimizeToTray ? K::HideToTray : K::MinimizeToTaskbar;
        return a;
    }
    a.Kind = K::Restore;
    if (settings.TrayIconVisible)
        a.ShowNormalImage = true;
    else
        a.RemoveIcon = true;
    return a;
}

TNotifyActions DecideNotifyUserMessage(const TSettings& settings, const TTrayWindowState& window, bool highlight) {
    TNotifyActions a;
    if (settings.NotificationUserMessage || highlight) {
        if (!window.Visible)
            a.ShowMessageImage = true;
        else if (!window.ApplicationActive)
            a.FlashTaskbar = true;
    }
    if (settings.SoundUserMessage && (settings.AlwaysPlaySound || !window.Visible)) {
        a.PlaySound = true;
        a.SoundPath = settings.SoundPathUserMessage;
    }
    return a;
}

TDesktopNote DecideDesktopNotification(const TSettings& settings, const TTrayWindowState& window,
                                       const TUserMessage& message) {
    TDesktopNote note;
    if (!settings.DesktopNotification || (!message.Private && !message.Highlight)) return note;
    if (window.Visible && window.ApplicationActive) return note;
    note.Show = true;
    note.Title = FirstWords(message.Sender, 64);
    if (!message.Private) note.Title += " in " + FirstWords(message.Tab, 64);
    note.Text = FirstWords(message.Text);
    return note;
}

std::string FirstWords(const std::string& text, std::size_t max) {
    std::string clean;
    for (std::size_t i = 0; i < text.size(); ++i) {
        const auto c = static_cast<unsigned char>(text[i]);
        if (c == 0x03) {
            // A colour code: up to two digits, then a comma and up to two more.
            auto digits = [&] {
                for (int n = 0; n < 2 && i + 1 < text.size() && text[i + 1] >= '0' && text[i + 1] <= '9'; ++n) ++i;
            };
            digits();
            if (i + 2 < text.size() && text[i + 1] == ',' && text[i + 2] >= '0' && text[i + 2] <= '9') {
                ++i;
                digits();
            }
            continue;
        }
        if (c < 0x20 || c == 0x7F) {
            if (c == '\t' && !clean.empty() && clean.back() != ' ') clean += ' ';
            continue;
        }
        clean += static_cast<char>(c);
    }
    if (clean.size() <= max) return clean;
    const std::size_t room = max > 3 ? max - 3 : 0;
    std::size_t end = room;
    const std::size_t blank = clean.rfind(' ', room);
    if (blank != std::string::npos && blank >= room / 2) end = blank;
    // Back off to the first byte of a character cut in two.
    while (end > 0 && (static_cast<unsigned char>(clean[end]) & 0xC0) == 0x80) --end;
    return clean.substr(0, end) + "...";
}

bool MinimizeGoesToTray(bool minimizeToTray, bool trayAvailable) { return minimizeToTray && trayAvailable; }
