// SPDX-License-Identifier: GPL-3.0-or-later
// Carrying out the tray decisions with Qt.
#include "shell/TrayActions.h"

#include <QApplication>

TTrayWindowState MainWindowState(const QWidget& mainWindow) {
    return {mainWindow.isVisible(), QApplication::activeWindow() != nullptr};
}

void ApplyRestoreOrHide(const TRestoreOrHideAction& action, QWidget& mainWindow, TCoolTrayIcon& tray) {
    using K = TRestoreOrHideAction::TKind;
    switch (action.Kind) {
        case K::Nothing:
            break;
        case K::HideToTray:
            mainWindow.hide();
            break;
        case K::MinimizeToTaskbar:
            mainWindow.setWindowState(mainWindow.windowState() | Qt::WindowMinimized);
            break;
        case K::Restore:
            if (action.ShowNormalImage) tray.SetIconIndex(0);
            if (action.RemoveIcon) tray.SetIconVisible(false);
            // Un-minimize before showing, or the window would be mapped as an icon.
            if (mainWindow.windowState() & Qt::WindowMinimized)
                mainWindow.setWindowState(mainWindow.windowState() & ~Qt::WindowMinimized);
            mainWindow.show();
            BringToFront(mainWindow);
            break;
    }
}

void ApplyNotifyUserMessage(const TNotifyActions& actions, QWidget& mainWindow, TCoolTrayIcon& tray,
                            TSoundPlayer& sound) {
    if (actions.ShowMessageImage) tray.SetIconIndex(1);
    // Marks the taskbar entry until the user comes back to the window.
    if (actions.FlashTaskbar) QApplication::alert(&mainWindow, 0);
    if (actions.PlaySound) sound.Play(actions.SoundPath);
}

void RestoreOrHide(TTrayButton button, const TSettings& settings, QWidget& mainWindow, TCoolTrayIcon& tray) {
    ApplyRestoreOrHide(DecideRestoreOrHide(button, settings, MainWindowState(mainWindow)), mainWindow, tray);
}

void NotifyUserMessage(const TSettings& settings, QWidget& mainWindow, TCoolTrayIcon& tray, TSoundPlayer& sound,
                       bool highlight) {
    ApplyNotifyUserMessage(DecideNotifyUserMessage(settings, MainWindowState(mainWindow), highlight), mainWindow,
                           tray, sound);
}
