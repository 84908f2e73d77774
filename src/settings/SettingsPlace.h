// SPDX-License-Identifier: GPL-3.0-or-later
// Where this system keeps the program's settings, and the key that reads and writes them there.
#pragma once

#include "settings/RegistryKey.h"

#include <filesystem>
#include <memory>
#include <string>

struct TSettingsPlace {
    std::unique_ptr<TRegistryKey> Key;  // null when no place is known
    std::string Where;                  // the file or the registry key, as the help text names it
    bool Existed = false;               // settings were there before this start: not the first one
};

// A folder given (test runs, a copy on a stick): the registry-export file settings.reg in it,
// on every system. Otherwise the system's own place: on Linux the file under the user's
// configuration folder, on Windows the registry key the original program used.
TSettingsPlace OpenSettingsPlace(const std::string& configDir);

// The registry-export file at path.
TSettingsPlace SettingsFilePlace(const std::filesystem::path& path);
// The system's own place; one back end file per platform.
TSettingsPlace SystemSettingsPlace();
