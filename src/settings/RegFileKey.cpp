// SPDX-License-Identifier: GPL-3.0-or-later
// The settings key's file back end: reading, setting broken files aside, atomic saving.
#include "settings/RegFileKey.h"

#include "settings/RegFile.h"
#include "settings/SystemFiles.h"

#include <cstdlib>
#include <ctime>

namespace {

enum class TReadStatus { Ok, Missing, TooLarge, Failed };

TReadStatus ReadFileBounded(const std::filesystem::path& path, std::size_t limit, std::string& bytes,
                            std::string& cause) {
    sysfiles::THandle file = sysfiles::kNoHandle;
    bool missing = false;
    if (const int err = sysfiles::OpenForReading(path, file, missing)) {
        if (missing) return TReadStatus::Missing;
        cause = "open " + path.string() + ": " + sysfiles::ErrorText(err);
        return TReadStatus::Failed;
    }
    char buf[16384];
    TReadStatus status = TReadStatus::Ok;
    while (true) {
        std::size_t n = 0;
        if (const int err = sysfiles::ReadSome(file, buf, sizeof buf, n)) {
            cause = "read " + path.string() + ": " + sysfiles::ErrorText(err);
            status = TReadStatus::Failed;
            break;
        }
        if (n == 0) break;
        bytes.append(buf, n);
        if (bytes.size() > limit) {
            status = TReadStatus::TooLarge;
            break;
        }
    }
    sysfiles::CloseFile(file);
    return status;
}

std::string BackupName(const std::filesystem::path& path) {
    std::time_t now = std::time(nullptr);
    const std::tm local = sysfiles::LocalTime(now);
    char stamp[32];
    std::strftime(stamp, sizeof stamp, "%Y%m%d-%H%M%S", &local);
    const std::string base = path.string() + ".broken-" + stamp;
    std::string name = base;
    // Two broken files within one second must not overwrite each other's backup.
    for (int n = 2; n < 1000; ++n) {
        std::error_code ec;
        if (!std::filesystem::exists(std::filesystem::symlink_status(name, ec))) break;
        name = base + "-" + std::to_string(n);
    }
    return name;
}

}  // namespace

TRegFileKey::TRegFileKey(std::filesystem::path path, TFileOps ops) : path_(std::move(path)), ops_(std::move(ops)) {}

TRegistryKey::TLoaded TRegFileKey::Load() {
    TLoaded loaded;
    otherLines_.clear();
    regedit4_ = false;
    if (path_.empty()) {
        loaded.Readable = false;
        loaded.Cause = "no configuration folder is known (HOME is not set)";
        return loaded;
    }
    std::string bytes;
    std::string cause;
    TRegParseResult parsed;
    switch (ReadFileBounded(path_, kMaxFileSize, bytes, cause)) {
    case TReadStatus::Missing:
        return loaded;
    case TReadStatus::Failed:
        loaded.Readable = false;
        loaded.Cause = cause;
        return loaded;
    case TReadStatus::TooLarge:
        parsed.Error = "larger than " + std::to_string(kMaxFileSize) + " bytes";
        break;
    case TReadStatus::Ok:
        parsed = ParseRegFile(bytes);
        break;
    }
    if (parsed.Ok) {
        loaded.Values = std::move(parsed.Content.Values);
        otherLines_ = std::move(parsed.Content.OtherLines);
        regedit4_ = parsed.Content.Regedit4;
        return loaded;
    }

    const std::string where = parsed.ErrorLine > 0 ? "line " + std::to_string(parsed.ErrorLine) + ": " : "";
    const std::string backup = BackupName(path_);
    if (const int err = ops_.Replace(path_, backup)) {
        loaded.Readable = false;
        loaded.Cause = "settings file " + path_.string() + " is broken (" + where + parsed.Error +
                       ") and could not be kept aside: " + sysfiles::ErrorText(err);
        return loaded;
    }
    loaded.Notices.push_back("Settings file '" + path_.string() + "' could not be read (" + where + parsed.Error +
                             "); it was kept as '" + backup + "' and default settings are used");
    return loaded;
}

void TRegFileKey::Save(const std::vector<TRegValue>& values) {
    if (path_.empty()) throw std::runtime_error("no configuration folder is known (HOME is not set)");
    ReplaceFileAtomically(path_, FormatRegFile({values, otherLines_, regedit4_}), ops_);
}

std::filesystem::path SettingsFilePathFor(const char* xdgConfigHome, const char* home) {
    std::filesystem::path base;
    if (xdgConfigHome && *xdgConfigHome && std::filesystem::path(xdgConfigHome).is_absolute()) {
        base = xdgConfigHome;
    } else if (home && *home) {
        base = std::filesystem::path(home) / ".config";
    } else {
        return {};
    }
    return base / "CorvaneGV" / "settings.reg";
}

std::filesystem::path SettingsFilePath() {
    const char* home = std::getenv("HOME");
    const std::string account = home && *home ? std::string() : sysfiles::AccountHomeFolder();
    return SettingsFilePathFor(std::getenv("XDG_CONFIG_HOME"), home && *home ? home : account.c_str());
}
