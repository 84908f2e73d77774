// SPDX-License-Identifier: GPL-3.0-or-later
// Atomic file replacement: temporary file, flush to disk, rename over, flush of the folder.
#include "settings/AtomicFile.h"

#include <chrono>
#include <stdexcept>
#include <string>

TFileOps::TFileOps() : Write(sysfiles::WriteSome), Flush(sysfiles::FlushToDisk), Replace(sysfiles::RenameOver) {}

namespace {

[[noreturn]] void Fail(const std::string& what, int err) {
    throw std::runtime_error(what + ": " + sysfiles::ErrorText(err));
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
    // A root ("C:\", "/") is its own parent.
    if (dir.parent_path() != dir) CreateFolders(dir.parent_path());
    if (const int err = sysfiles::MakePrivateFolder(dir)) Fail("create folder " + dir.string(), err);
}

// Temporary files of writers that were killed half-way would otherwise pile up beside the
// file for ever. One older than a minute belongs to no living writer: a save takes milliseconds.
void RemoveStaleTemporaries(const std::filesystem::path& dir, const std::string& prefix) {
    constexpr std::size_t kSuffix = 6;  // the XXXXXX of the temporary's name
    const auto limit = std::filesystem::file_time_type::clock::now() - std::chrono::minutes(1);
    std::error_code ec;
    for (std::filesystem::directory_iterator it(dir, ec), end; !ec && it != end; it.increment(ec)) {
        const std::string name = it->path().filename().string();
        if (name.size() != prefix.size() + kSuffix || name.compare(0, prefix.size(), prefix) != 0) continue;
        std::error_code old;
        if (std::filesystem::is_regular_file(it->symlink_status(old)) && std::filesystem::last_write_time(it->path(), old) < limit &&
            !old)
            std::filesystem::remove(it->path(), old);
    }
}

}  // namespace

void ReplaceFileAtomically(const std::filesystem::path& path, std::string_view bytes, const TFileOps& ops) {
    const std::filesystem::path target = FollowLinks(path);
    std::filesystem::path dir = target.parent_path();
    if (dir.empty()) dir = ".";
    CreateFolders(dir);
    RemoveStaleTemporaries(dir, target.filename().string() + ".tmp-");

    std::filesystem::path temp;
    sysfiles::THandle file = sysfiles::kNoHandle;
    if (const int err = sysfiles::CreateTemporaryBeside(target, temp, file))
        Fail("create temporary file in " + dir.string(), err);

    auto abandon = [&](const std::string& what, int err) {
        if (file != sysfiles::kNoHandle) sysfiles::CloseFile(file);
        std::error_code ec;
        std::filesystem::remove(temp, ec);
        Fail(what, err);
    };

    const char* p = bytes.data();
    std::size_t left = bytes.size();
    while (left > 0) {
        std::size_t n = 0;
        if (const int err = ops.Write(file, p, left, n)) abandon("write " + temp.string(), err);
        p += n;
        left -= n;
    }
    if (const int err = ops.Flush(file)) abandon("flush " + temp.string(), err);
    const int closed = sysfiles::CloseFile(file);
    file = sysfiles::kNoHandle;
    if (closed != 0) abandon("close " + temp.string(), closed);
    if (const int err = ops.Replace(temp, target)) abandon("rename " + temp.string(), err);

    // Makes the rename itself durable. The new file is already in place when this fails, so
    // reporting the save as failed would be the false statement; it is not checked.
    sysfiles::FlushFolder(dir);
}
