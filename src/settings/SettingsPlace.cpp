// SPDX-License-Identifier: GPL-3.0-or-later
// The settings place: a folder given on the command line, else the system's own.
#include "settings/SettingsPlace.h"

#include "settings/RegFileKey.h"

TSettingsPlace SettingsFilePlace(const std::filesystem::path& path) {
    TSettingsPlace place;
    if (path.empty()) return place;
    place.Key = std::make_unique<TRegFileKey>(path);
    place.Where = path.string();
    // Taken before the settings are loaded, which writes the file.
    std::error_code ec;
    place.Existed = std::filesystem::exists(path, ec);
    return place;
}

TSettingsPlace OpenSettingsPlace(const std::string& configDir) {
    if (!configDir.empty()) return SettingsFilePlace(std::filesystem::path(configDir) / "settings.reg");
    return SystemSettingsPlace();
}
