// SPDX-License-Identifier: GPL-3.0-or-later
// The file calls of the settings file and the chat logs; one back end file per platform.
#pragma once

#include <cstddef>
#include <cstdint>
#include <ctime>
#include <filesystem>
#include <string>

namespace sysfiles {

// An open file: a descriptor on POSIX, a HANDLE's value on Windows.
using THandle = std::intptr_t;
inline constexpr THandle kNoHandle = -1;

// Each call returns 0 or the platform's error number (errno, GetLastError); ErrorText names it.
std::string ErrorText(int error);

// One folder, private to the user (0700 on POSIX); an existing folder is no error.
int MakePrivateFolder(const std::filesystem::path& dir);
// An existing folder made private to the user again (best effort; ACLs stay on Windows).
void KeepFolderPrivate(const std::filesystem::path& dir);

// A new file "<target>.tmp-XXXXXX" beside target, open for writing and not inherited by
// started programs; temp receives its name. It gets target's permissions when target exists.
int CreateTemporaryBeside(const std::filesystem::path& target, std::filesystem::path& temp, THandle& file);
// Opens path for appending, creating it private to the user. A symbolic link or anything but
// a regular file is refused. size receives the file's length.
int OpenForAppend(const std::filesystem::path& path, THandle& file, std::int64_t& size);
// Opens an existing regular file for reading; missing is set when there is no such file.
int OpenForReading(const std::filesystem::path& path, THandle& file, bool& missing);

// Writes at least one byte of a non-empty block, or fails; interrupted calls are repeated.
int WriteSome(THandle file, const void* data, std::size_t size, std::size_t& written);
// Up to size bytes; 0 read means the end.
int ReadSome(THandle file, void* buffer, std::size_t size, std::size_t& read);
int FlushToDisk(THandle file);
int CloseFile(THandle file);
// Moves from over to (replacing it) so that readers see the old or the new file.
int RenameOver(const std::filesystem::path& from, const std::filesystem::path& to);
// Makes a completed replace in dir durable where the platform needs a call for it.
void FlushFolder(const std::filesystem::path& dir);

// A name from elsewhere (a chat conversation) as a file name that is an ordinary file here: on
// Windows its reserved characters become "_" and device names (CON, NUL, COM1...) get a "_" in
// front, so no stream or device is written; elsewhere it stays as it is.
std::string FitFileName(std::string name);
// A path from UTF-8 text; on Windows a narrow path would be read in the ANSI code page.
inline std::filesystem::path PathFromUtf8(const std::string& text) {
    return std::filesystem::path(std::u8string(text.begin(), text.end()));
}

// The local time of t (localtime_r and localtime_s differ in name and order).
std::tm LocalTime(std::time_t t);
// The user's home folder from the account, for when the environment names none; empty if unknown.
std::string AccountHomeFolder();

}  // namespace sysfiles
