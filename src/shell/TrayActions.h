// SPDX-License-Identifier: GPL-3.0-or-later
// RestoreOrHide and NotifyUserMessage carried out on the main window, the tray icon and the sound player.
#pragma once

#include "shell/CoolTrayIcon.h"
#include "shell/SoundPlayer.h"
#include "shell/TrayRules.h"

#include <QWidget>

// The main window's visible flag, and whether one of the program's windows is the active one.
TTrayWindowState MainWindowState(const QWidget& mainWindow);

void ApplyRestoreOrHide(const TRestoreOrHideAction& action, QWidget& mainWindow, TCoolTrayIcon& tray);
void ApplyNotifyUserMessage(const TNotifyActions& actions, QWidget& mainWindow, TCoolTrayIcon& tray,
                            TSoundPlayer& sound);

// The main window's handler of a press on the icon; a double click calls it as a left press.
void RestoreOrHide(TTrayButton button, const TSettings& settings, QWidget& mainWindow, TCoolTrayIcon& tray);

// Raised by the chat right after an incoming user message was written into a view.
void NotifyUserMessage(const TSettings& settings, QWidget& mainWindow, TCoolTrayIcon& tray, TSoundPlayer& sound,
                       bool highlight = false);
