// SPDX-License-Identifier: GPL-3.0-or-later
// The settings key's file back end: reading, setting broken files aside, atomic saving.
#include "settings/RegFileKey.h"

#include "settings/RegFile.h"

#include <fcntl.h>
#include <pwd.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <ctime>

namespace {

enum class TReadStatus { Ok, Missing, TooLarge, Failed };

TReadStatus ReadFileBounded(const std::filesystem::path& path, std::size_t limit, std::string& bytes,
                            std::string& cause) {
    int fd = ::open(path.c_str(), O_RDONLY | O_CLOEXEC);
    if (fd < 0) {
        if (errno == ENOENT) return TReadStatus::Missing;
        cause = "open " + path.string() + ": " + std::strerror(errno);
        return TReadStatus::Failed;
    }
    struct stat st {};
    if (::fstat(fd, &st) != 0 || !S_ISREG(st.st_mode)) {
        cause = path.string() + " is not a regular file";
        ::close(fd);
        return TReadStatus::Failed;
    }
    char buf[16384];
    while (true) {
        ssize_t n = ::read(fd, buf, sizeof buf);
        if (n < 0 && errno == EINTR) continue;
        if (n < 0) {
            cause = "read " + path.string() + ": " + std::strerror(errno);
            ::close(fd);
            return TReadStatus::Failed;
        }
        if (n == 0) break;
        bytes.append(buf, static_cast<std::size_t>(n));
        if (bytes.size() > limit) {
            ::close(fd);
            return TReadStatus::TooLarge;
        }
    }
    ::close(fd);
    return TReadStatus::Ok;
}

std::string BackupName(const std::filesystem::path& path) {
    std::time_t now = std::time(nullptr);
    std::tm local {};
    ::localtime_r(&now, &local);
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
    if (ops_.Rename(path_.c_str(), backup.c_str()) != 0) {
        loaded.Readable = false;
        loaded.Cause = "settings file " + path_.string() + " is broken (" + where + parsed.Error +
                       ") and could not be kept aside: " + std::strerror(errno);
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
    if (!home || !*home) {
        if (const passwd* pw = ::getpwuid(::geteuid())) home = pw->pw_dir;
    }
    return SettingsFilePathFor(std::getenv("XDG_CONFIG_HOME"), home);
}
