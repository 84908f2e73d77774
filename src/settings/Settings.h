// SPDX-License-Identifier: GPL-3.0-or-later
// TSettings, the in-memory settings record, and its loading from and saving to the settings key.
#pragma once

#include "settings/Names.h"
#include "settings/RegistryKey.h"

#include <functional>
#include <string>

// One field per value of the key, named like it. Empty texts and false flags until loaded.
struct TSettings {
    std::string FSPath, FSCmd;
    bool FSEnabled = false;
    std::string BtRLPath, BtRLCmd;
    bool BtRLEnabled = false;
    std::string WCSPath, WCSCmd;
    bool WCSEnabled = false;
    std::string StarfoxPath, StarfoxCmd;
    bool StarfoxEnabled = false;
    std::string Nickname;
    std::string FullName;
    bool DontAskQuitQuestion = false;
    bool MinimizeToTray = false;
    bool TrayIconVisible = false;
    bool AlwaysPlaySound = false;
    bool NotificationUserMessage = false;  // "Notification-UserMessage"
    bool SoundUserMessage = false;         // "Sound-UserMessage"
    std::string SoundPathUserMessage;      // "SoundPath-UserMessage"
    std::string Shortcut1, Shortcut2, Shortcut3, Shortcut4, Shortcut5, Shortcut6, Shortcut7, Shortcut8,
        Shortcut9, Shortcut0;
    // Beyond the original values, appended after them in both orders.
    bool DesktopNotification = false;  // private messages and highlights while the window is away
    bool ChatLogs = false;             // each conversation written to a log file
    std::string Tracker;               // the game tracker, "ADDR:BASEPORT"
    // The chat server when the command line names none.
    std::string ChatServerHost;
    std::string ChatServerPort;
    bool ChatServerTls = false;
    // Certificates the user trusts, "host fingerprint" pairs, each ended by ';'.
    std::string ChatCertificatePins;
    bool ShowFormatting = false;       // "ShowColours": formatting codes shown as styles, else taken out
    // The SASL login's account; its password lives in the secret store, never here.
    std::string ChatAccount;
    // Hosts that asked for TLS only (strict transport): "host port expiry;" entries.
    std::string ChatStsPolicies;
    std::string Friends;               // nicknames separated by blanks
    bool FriendNotifications = false;  // a desktop notification when a friend comes online or starts a game

    bool operator==(const TSettings&) const = default;
};

// The pinned fingerprint for host in pins ("host fingerprint;" entries; host compared without
// regard to ASCII case), empty when none.
std::string CertificatePin(const std::string& pins, const std::string& host);
// pins with host's entry replaced by host and fingerprint (removed when fingerprint is empty).
std::string WithCertificatePin(const std::string& pins, const std::string& host, const std::string& fingerprint);

// Writes the one value valueName (as TSettings holds it) to the key: for a value the program
// changes by itself, where saving every value would also store what only lives in memory
// (the nickname the server gave). Raises what the store raises.
void SaveSettingsValue(TRegistryKey& key, const TSettings& settings, const std::string& valueName);

// The text bound to Control+digit (0 to 9); empty for any other number.
const std::string& ShortcutText(const TSettings& settings, int digit);

struct TSettingsEvents {
    // Raised after each value's field is set, in load order, with the value's name; the main
    // window applies "FSEnabled", "MinimizeToTray", "TrayIconVisible" ... as they arrive.
    std::function<void(const std::string& valueName)> OnValueLoaded;
    // Raised with a text for the application-wide error handler for each problem the store
    // went on past (a broken settings file kept aside, defaults used instead). Raised once the
    // values are in place, also when the load then ends in an error, so nothing goes unsaid.
    std::function<void(const std::string& problem)> OnProblem;
};

// Fills settings from the key, writing defaults for missing values, in the fixed value order.
// A store error (ERegistryException) ends the load at that value as a write-through store
// would: the values before it are set and announced, it and the later ones keep their
// contents, and the exception is raised once the writes before it are committed.
void LoadSettings(TRegistryKey& key, TSettings& settings, const TSystemNames& names, TRandomGenerator& random,
                  const TSettingsEvents& events = {});

// Copies every value of from (the settings dialog's controls, nickname already filtered) into
// settings and writes it to the key, one commit for all. A failed write raises "Failed to set
// data for '<value>'" naming the first value written ("FSEnabled"); as in a write-through
// store, settings then hold the new contents up to and including that value only.
void SaveSettings(TRegistryKey& key, TSettings& settings, const TSettings& from, const TSettingsEvents& events = {});
