// SPDX-License-Identifier: GPL-3.0-or-later
// The file calls of the settings file and the chat logs on POSIX.
#include "settings/SystemFiles.h"

#include <fcntl.h>
#include <pwd.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>

namespace sysfiles {

namespace {

int Fd(THandle file) { return static_cast<int>(file); }

}  // namespace

std::string ErrorText(int error) { return std::strerror(error); }

int MakePrivateFolder(const std::filesystem::path& dir) {
    if (::mkdir(dir.c_str(), 0700) == 0 || errno == EEXIST) return 0;
    return errno;
}

void KeepFolderPrivate(const std::filesystem::path& dir) { (void)::chmod(dir.c_str(), 0700); }

int CreateTemporaryBeside(const std::filesystem::path& target, std::filesystem::path& temp, THandle& file) {
    std::string name = target.string() + ".tmp-XXXXXX";
    const int fd = ::mkostemp(name.data(), O_CLOEXEC);
    if (fd < 0) return errno;
    // Keep the permissions a person gave the old file; a new one stays private (0600).
    struct stat st {};
    if (::stat(target.c_str(), &st) == 0) (void)::fchmod(fd, st.st_mode & 07777);
    temp = name;
    file = fd;
    return 0;
}

int OpenForAppend(const std::filesystem::path& path, THandle& file, std::int64_t& size) {
    const int fd = ::open(path.c_str(), O_WRONLY | O_APPEND | O_CREAT | O_CLOEXEC | O_NOFOLLOW, 0600);
    if (fd < 0) return errno;
    struct stat st {};
    if (::fstat(fd, &st) != 0 || !S_ISREG(st.st_mode)) {
        ::close(fd);
        return EINVAL;
    }
    file = fd;
    size = st.st_size;
    return 0;
}

int OpenForReading(const std::filesystem::path& path, THandle& file, bool& missing) {
    const int fd = ::open(path.c_str(), O_RDONLY | O_CLOEXEC);
    missing = fd < 0 && errno == ENOENT;
    if (fd < 0) return errno;
    struct stat st {};
    if (::fstat(fd, &st) != 0 || !S_ISREG(st.st_mode)) {
        ::close(fd);
        return S_ISDIR(st.st_mode) ? EISDIR : EINVAL;
    }
    file = fd;
    return 0;
}

int WriteSome(THandle file, const void* data, std::size_t size, std::size_t& written) {
    written = 0;
    while (true) {
        const ssize_t n = ::write(Fd(file), data, size);
        if (n < 0 && errno == EINTR) continue;
        if (n < 0) return errno;
        if (n == 0 && size > 0) return EIO;
        written = static_cast<std::size_t>(n);
        return 0;
    }
}

int ReadSome(THandle file, void* buffer, std::size_t size, std::size_t& read) {
    read = 0;
    while (true) {
        const ssize_t n = ::read(Fd(file), buffer, size);
        if (n < 0 && errno == EINTR) continue;
        if (n < 0) return errno;
        read = static_cast<std::size_t>(n);
        return 0;
    }
}

int FlushToDisk(THandle file) { return ::fsync(Fd(file)) == 0 ? 0 : errno; }

int CloseFile(THandle file) { return ::close(Fd(file)) == 0 ? 0 : errno; }

int RenameOver(const std::filesystem::path& from, const std::filesystem::path& to) {
    return ::rename(from.c_str(), to.c_str()) == 0 ? 0 : errno;
}

void FlushFolder(const std::filesystem::path& dir) {
    const int fd = ::open(dir.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (fd < 0) return;
    (void)::fsync(fd);
    ::close(fd);
}

std::string FitFileName(std::string name) { return name; }

std::tm LocalTime(std::time_t t) {
    std::tm local{};
    ::localtime_r(&t, &local);
    return local;
}

std::string AccountHomeFolder() {
    if (const passwd* pw = ::getpwuid(::geteuid()); pw && pw->pw_dir) return pw->pw_dir;
    return {};
}

}  // namespace sysfiles
