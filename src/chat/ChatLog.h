// SPDX-License-Identifier: GPL-3.0-or-later
// TChatLog: each conversation's lines appended to a text log, one file per conversation name.
#pragma once

#include "settings/SystemFiles.h"

#include <chrono>
#include <cstdint>
#include <functional>
#include <map>
#include <string>
#include <string_view>
#include <vector>

// $XDG_DATA_HOME/CorvaneGV/logs, or ~/.local/share/CorvaneGV/logs when that is unset or not
// an absolute path; empty when there is no home either.
std::string ChatLogFolder(const char* xdgDataHome, const char* home);
// This system's folder for the logs: on Linux the one above from the environment, on Windows
// %APPDATA%\CorvaneGV\logs; empty when there is none. One back end file per platform.
std::string SystemChatLogFolder();

// A conversation name from the server as a file name: path separators and control bytes
// become "_", leading dots too (no hidden files, no "." or ".."), an empty name is "_", and
// at most MaxLogNameBytes bytes, cut between UTF-8 characters.
std::string SafeLogName(std::string_view name);
inline constexpr std::size_t MaxLogNameBytes = 200;

class TChatLog {
public:
    // folder is made (owner only) when the first line is written. Each file is kept below
    // maxFileBytes: a full one becomes "<name>.log.1", replacing an older one.
    explicit TChatLog(std::string folder, std::int64_t maxFileBytes = 64 << 20)
        : folder_(std::move(folder)), maxFileBytes_(maxFileBytes) {}
    ~TChatLog();
    TChatLog(const TChatLog&) = delete;
    TChatLog& operator=(const TChatLog&) = delete;

    // Appends text to the conversation's log, one line per view line (CR LF, CR or LF inside
    // text), each with the local date and time in front. A failure is swallowed and that
    // file is not tried again for RetryAfter, so a full disk costs the chat nothing.
    void Write(const std::string& conversation, const std::string& text) noexcept;

    // "[2026-12-08 14:05:09] " for the line's time; tests put a fixed one here.
    std::function<std::string()> TimeStamp;
    static constexpr std::chrono::seconds RetryAfter{60};
    // Open files at most; the least recently written is closed first.
    static constexpr std::size_t MaxOpenFiles = 8;

private:
    struct TOpenFile {
        std::string Name;
        sysfiles::THandle File = sysfiles::kNoHandle;
        std::int64_t Size = 0;
        std::uint64_t LastUse = 0;
    };
    TOpenFile* Open(const std::string& name);
    void Close(TOpenFile& file);
    void Failed(const std::string& name);
    std::string Now() const;

    std::string folder_;
    std::int64_t maxFileBytes_;
    std::vector<TOpenFile> open_;
    std::map<std::string, std::chrono::steady_clock::time_point> failedUntil_;
    std::uint64_t uses_ = 0;
};
