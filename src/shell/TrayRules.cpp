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

bool MinimizeGoesToTray(bool minimizeToTray, bool trayAvailable) { return minimizeToTray && trayAvailable; }
