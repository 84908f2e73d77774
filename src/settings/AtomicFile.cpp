// SPDX-License-Identifier: GPL-3.0-or-later
// Atomic file replacement: temporary file, fsync, rename, fsync of the folder.
#include "settings/AtomicFile.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <ctime>
#include <stdexcept>
#include <string>

TFileOps::TFileOps()
    : Write([](int fd, const void* data, std::size_t size) { return ::write(fd, data, size); }),
      Fsync([](int fd) { return ::fsync(fd); }),
      Rename([](const char* from, const char* to) { return ::rename(from, to); }) {}

namespace {

[[noreturn]] void Fail(const std::string& what, int err) {
    throw std::runtime_error(what + ": " + std::strerror(err));
}

std::filesystem::path FollowLinks(std::filesystem::path path) {
    for (int hops = 0; hops < 32; ++hops) {
        std::error_code ec;
        if (!std::filesystem::is_symlink(path, ec)) break;
        std::filesystem::path target = std::filesystem::read_symlink(path, ec);
        if (ec) break;
        path = target.is_absolute() ? target : path.parent_path() / target;
    }
    return path;
}

void CreateFolders(const std::filesystem::path& dir) {
    if (dir.empty()) return;
    std::error_code ec;
    if (std::filesystem::is_directory(dir, ec)) return;
    CreateFolders(dir.parent_path());
    if (::mkdir(dir.c_str(), 0700) != 0 && errno != EEXIST) Fail("create folder " + dir.string(), errno);
}

// Temporary files of writers that were killed half-way would otherwise pile up beside the
// file for ever. One older than a minute belongs to no living writer: a save takes milliseconds.
void RemoveStaleTemporaries(const std::filesystem::path& dir, const std::string& prefix) {
    constexpr std::size_t kSuffix = 6;  // mkostemp's XXXXXX
    const time_t limit = ::time(nullptr) - 60;
    std::error_code ec;
    for (std::filesystem::directory_iterator it(dir, ec), end; !ec && it != end; it.increment(ec)) {
        const std::string name = it->path().filename().string();
        if (name.size() != prefix.size() + kSuffix || name.compare(0, prefix.size(), prefix) != 0) continue;
        struct stat st {};
        if (::lstat(it->path().c_str(), &st) == 0 && S_ISREG(st.st_mode) && st.st_mtime < limit)
            ::unlink(it->path().c_str());
    }
}

}  // namespace

void ReplaceFileAtomically(const std::filesystem::path& path, std::string_view bytes, const TFileOps& ops) {
    const std::filesystem::path target = FollowLinks(path);
    std::filesystem::path dir = target.parent_path();
    if (dir.empty()) dir = ".";
    CreateFolders(dir);
    RemoveStaleTemporaries(dir, target.filename().string() + ".tmp-");

    std::string temp = target.string() + ".tmp-XXXXXX";
    int fd = ::mkostemp(temp.data(), O_CLOEXEC);
    if (fd < 0) Fail("create temporary file in " + dir.string(), errno);

    auto abandon = [&](const std::string& what, int err) {
        if (fd >= 0) ::close(fd);
        ::unlink(temp.c_str());
        Fail(what, err);
    };

    // Keep the permissions a person gave the old file; a new one stays private (0600).
    struct stat st {};
    if (::stat(target.c_str(), &st) == 0) (void)::fchmod(fd, st.st_mode & 07777);

    const char* p = bytes.data();
    std::size_t left = bytes.size();
    while (left > 0) {
        ssize_t n = ops.Write(fd, p, left);
        if (n < 0 && errno == EINTR) continue;
        if (n < 0) abandon("write " + temp, errno);
        if (n == 0) abandon("write " + temp, EIO);
        p += n;
        left -= static_cast<std::size_t>(n);
    }
    if (ops.Fsync(fd) != 0) abandon("flush " + temp, errno);
    const int closed = ::close(fd);
    fd = -1;
    if (closed != 0) abandon("close " + temp, errno);
    if (ops.Rename(temp.c_str(), target.c_str()) != 0) abandon("rename " + temp, errno);

    // Makes the rename itself durable. The new file is already in place when this fails, so
    // reporting the save as failed would be the false statement; it is not checked.
    int dfd = ::open(dir.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (dfd >= 0) {
        (void)ops.Fsync(dfd);
        ::close(dfd);
    }
}
