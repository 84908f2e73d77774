// SPDX-License-Identifier: GPL-3.0-or-later
// The settings' own place on Linux: the registry-export file under the configuration folder.
#include "settings/RegFileKey.h"
#include "settings/SettingsPlace.h"

TSettingsPlace SystemSettingsPlace() { return SettingsFilePlace(SettingsFilePath()); }
