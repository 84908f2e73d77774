// SPDX-License-Identifier: GPL-3.0-or-later
// The settings dialog's Apply and OK, and where its executable chooser starts, apart from its widgets.
#pragma once

#include "settings/RegistryKey.h"
#include "settings/Settings.h"

#include <filesystem>
#include <string>

inline constexpr const char* NicknameWarning = "You must enter nickname!";
inline constexpr const char* NicknameWarningCaption = "CorvaneGV";
inline constexpr const char* ReconnectNotice =
    "Some of the options will take effect after reconnecting to the chat server.";

// What Apply reaches besides the settings: the dialog, the chat client, the user and the main
// window.
class TOptionsApplyTargets {
public:
    virtual ~TOptionsApplyTargets() = default;
    // The dialog's nickname edit and "Apply" button.
    virtual void SetNicknameText(const std::string& nickname) = 0;
    virtual void SetApplyEnabled(bool enabled) = 0;
    virtual bool ApplyEnabled() = 0;
    virtual bool Connected() = 0;
    virtual void SendLine(const std::string& line) = 0;
    // An OK box with the exclamation icon, and one with the information icon.
    virtual void ShowWarning(const std::string& text, const std::string& caption) = 0;
    virtual void ShowInformation(const std::string& text, const std::string& caption) = 0;
    // Once the values are stored: the tray icon, then the game headings, lists and their layout.
    virtual void ApplyTray(bool minimizeToTray, bool iconVisible) = 0;
    virtual void ShowEnabledGames() = 0;
};

// Apply's steps over the controls' values (the nickname as typed). False when the filtered
// nickname is empty: the warning was shown and nothing was saved.
//
// A store error ends the Apply at the save and is raised for the error handler. The store
// commits all values or none, so settings are left as they were before the Apply, which is
// what the store still holds; "Apply" is enabled again, since nothing of the edits was kept,
// and neither the tray nor the game lists change.
bool ApplyOptions(TSettings& settings, TRegistryKey& key, TSettings values, TOptionsApplyTargets& targets,
                  const TSettingsEvents& events = {});

// OK: the nickname check, then Apply when "Apply" is enabled (after the check, which may have
// changed the edit). True when the dialog may close; a store error is raised as by Apply and
// keeps the dialog open.
bool ConfirmOptions(TSettings& settings, TRegistryKey& key, const TSettings& values, TOptionsApplyTargets& targets,
                    const TSettingsEvents& events = {});

// The folder the executable chooser opens in: the current path's folder when it exists,
// otherwise the program's folder.
std::filesystem::path BrowseStartFolder(const std::string& currentPath, const std::filesystem::path& programFolder);
