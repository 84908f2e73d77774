// SPDX-License-Identifier: GPL-3.0-or-later
// The settings' own place on Windows: the registry key, in its 32-bit view.
#include "settings/SettingsPlace.h"
#include "settings/win32/WinRegistryKey.h"

TSettingsPlace SystemSettingsPlace() {
    TSettingsPlace place;
    auto key = std::make_unique<TWinRegistryKey>();
    place.Existed = key->Exists();
    place.Key = std::move(key);
    place.Where = "HKEY_LOCAL_MACHINE\\Software\\Volition\\FreeSpace2\\CorvaneGV (32-bit view)";
    return place;
}
