// SPDX-License-Identifier: GPL-3.0-or-later
// Replacing a file so that readers and crashes see the old or the new content, never a mix.
#pragma once

#include "settings/SystemFiles.h"

#include <cstddef>
#include <filesystem>
#include <functional>
#include <string_view>

// The calls the replacement makes that can fail half-way; tests swap them to make a write stop
// in the middle or the disk refuse the flush. Each returns 0 or the platform's error number.
struct TFileOps {
    std::function<int(sysfiles::THandle file, const void* data, std::size_t size, std::size_t& written)> Write;
    std::function<int(sysfiles::THandle file)> Flush;
    std::function<int(const std::filesystem::path& from, const std::filesystem::path& to)> Replace;

    TFileOps();  // the real calls
};

// Writes bytes to a temporary file beside path, flushes it to disk, renames it over path and
// flushes the folder. Missing folders are created (private to the user). A symbolic link at
// path is followed, so a linked settings file stays linked. On failure the temporary file is
// removed, path is untouched, and std::runtime_error says what failed and why. Temporary files
// that killed writers left beside path are removed once they are a minute old.
void ReplaceFileAtomically(const std::filesystem::path& path, std::string_view bytes, const TFileOps& ops = {});
