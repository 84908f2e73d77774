// SPDX-License-Identifier: GPL-3.0-or-later
// TChatLog: safe file names, the log folder, and appending lines with bounded files and failures.
#include "chat/ChatLog.h"

#include "settings/SystemFiles.h"

#include <algorithm>
#include <ctime>
#include <filesystem>

std::string ChatLogFolder(const char* xdgDataHome, const char* home) {
    std::string base;
    if (xdgDataHome && xdgDataHome[0] == '/')
        base = xdgDataHome;
    else if (home && home[0] == '/')
        base = std::string(home) + "/.local/share";
    else
        return {};
    while (base.size() > 1 && base.back() == '/') base.pop_back();
    return base + "/CorvaneGV/logs";
}

std::string SafeLogName(std::string_view name) {
    std::string safe;
    bool leading = true;
    for (char c : name) {
        const auto b = static_cast<unsigned char>(c);
        const bool bad = c == '/' || c == '\\' || b < 0x20 || b == 0x7F || (leading && c == '.');
        if (c != '.') leading = false;
        safe += bad ? '_' : c;
    }
    if (safe.empty()) return "_";
    if (safe.size() > MaxLogNameBytes) {
        std::size_t end = MaxLogNameBytes;
        while (end > 0 && (static_cast<unsigned char>(safe[end]) & 0xC0) == 0x80) --end;
        safe.resize(end);
    }
    return safe;
}

TChatLog::~TChatLog() {
    for (TOpenFile& f : open_) Close(f);
}

std::string TChatLog::Now() const {
    if (TimeStamp) return TimeStamp();
    const std::time_t now = std::time(nullptr);
    const std::tm local = sysfiles::LocalTime(now);
    char text[32];
    std::strftime(text, sizeof text, "[%Y-%m-%d %H:%M:%S] ", &local);
    return text;
}

void TChatLog::Close(TOpenFile& file) {
    if (file.File != sysfiles::kNoHandle) sysfiles::CloseFile(file.File);
    file.File = sysfiles::kNoHandle;
}

void TChatLog::Failed(const std::string& name) {
    // A bounded memory of failures: names come from the server.
    if (failedUntil_.size() >= 1000) failedUntil_.clear();
    failedUntil_[name] = std::chrono::steady_clock::now() + RetryAfter;
    const auto it = std::find_if(open_.begin(), open_.end(), [&](const TOpenFile& f) { return f.Name == name; });
    if (it != open_.end()) {
        Close(*it);
        open_.erase(it);
    }
}

TChatLog::TOpenFile* TChatLog::Open(const std::string& name) {
    for (TOpenFile& f : open_)
        if (f.Name == name) return &f;
    const auto failed = failedUntil_.find(name);
    if (failed != failedUntil_.end()) {
        if (std::chrono::steady_clock::now() < failed->second) return nullptr;
        failedUntil_.erase(failed);
    }
    if (folder_.empty()) return nullptr;
    std::error_code ec;
    const std::filesystem::path folder = sysfiles::PathFromUtf8(folder_);
    if (!std::filesystem::is_directory(folder, ec)) {
        std::filesystem::create_directories(folder, ec);
        if (ec) return nullptr;
        // The logs hold private conversations.
        sysfiles::KeepFolderPrivate(folder);
    }
    sysfiles::THandle handle = sysfiles::kNoHandle;
    std::int64_t size = 0;
    if (sysfiles::OpenForAppend(sysfiles::PathFromUtf8(folder_ + "/" + name + ".log"), handle, size) != 0) return nullptr;
    if (open_.size() >= MaxOpenFiles) {
        const auto oldest = std::min_element(open_.begin(), open_.end(), [](const TOpenFile& a, const TOpenFile& b) {
            return a.LastUse < b.LastUse;
        });
        Close(*oldest);
        open_.erase(oldest);
    }
    open_.push_back({name, handle, size, 0});
    return &open_.back();
}

void TChatLog::Write(const std::string& conversation, const std::string& text) noexcept {
    try {
        const std::string name = sysfiles::FitFileName(SafeLogName(conversation));
        const std::string stamp = Now();
        std::string lines;
        std::size_t start = 0;
        for (std::size_t i = 0; i <= text.size(); ++i) {
            if (i < text.size() && text[i] != '\r' && text[i] != '\n') continue;
            lines += stamp + text.substr(start, i - start) + "\n";
            if (i + 1 < text.size() && text[i] == '\r' && text[i + 1] == '\n') ++i;
            start = i + 1;
        }
        TOpenFile* file = Open(name);
        if (!file) {
            Failed(name);
            return;
        }
        if (file->Size > 0 && file->Size + static_cast<std::int64_t>(lines.size()) > maxFileBytes_) {
            Close(*file);
            open_.erase(open_.begin() + (file - open_.data()));
            const std::string path = folder_ + "/" + name + ".log";
            // Replacing the older one; a plain rename fails on Windows when it exists.
            const int moved = sysfiles::RenameOver(sysfiles::PathFromUtf8(path), sysfiles::PathFromUtf8(path + ".1"));
            if (moved != 0 || !(file = Open(name))) {
                Failed(name);
                return;
            }
        }
        file->LastUse = ++uses_;
        std::size_t done = 0;
        while (done < lines.size()) {
            std::size_t n = 0;
            if (sysfiles::WriteSome(file->File, lines.data() + done, lines.size() - done, n) != 0) {
                Failed(name);
                return;
            }
            done += n;
        }
        file->Size += static_cast<std::int64_t>(done);
    } catch (...) {
        // Out of memory or a clock that threw: the line is simply not logged.
    }
}
