// SPDX-License-Identifier: GPL-3.0-or-later
// The settings key kept as a registry-export file under the user's configuration folder.
#pragma once

#include "settings/AtomicFile.h"
#include "settings/RegistryKey.h"

#include <filesystem>
#include <string>
#include <vector>

class TRegFileKey : public TRegistryKey {
public:
    explicit TRegFileKey(std::filesystem::path path, TFileOps ops = {});
    const std::filesystem::path& Path() const { return path_; }

    // Larger files are not settings files of ours; they count as unreadable text.
    static constexpr std::size_t kMaxFileSize = 1 << 20;

protected:
    // A missing file is an empty key. A file that is not a registry export is moved aside to
    // "<name>.broken-<YYYYMMDD-HHMMSS>" and reported as a notice, and the key starts empty. A
    // file that cannot be read (or set aside) leaves the key unreadable, so nothing overwrites it.
    TLoaded Load() override;
    void Save(const std::vector<TRegValue>& values) override;

private:
    std::filesystem::path path_;
    TFileOps ops_;
    // What the file held besides the key's values, written back as found.
    std::vector<std::string> otherLines_;
    bool regedit4_ = false;
};

// "$XDG_CONFIG_HOME/CorvaneGV/settings.reg", else "$HOME/.config/CorvaneGV/settings.reg" (the
// home folder from the password database when HOME is unset); empty when neither is known.
std::filesystem::path SettingsFilePath();
// The same rule over given values (null or empty: unset). A relative XDG_CONFIG_HOME is
// ignored, as the base-directory rules require.
std::filesystem::path SettingsFilePathFor(const char* xdgConfigHome, const char* home);
