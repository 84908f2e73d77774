// SPDX-License-Identifier: GPL-3.0-or-later
// The registry-export text that holds the settings key on disk: parsing and writing.
#pragma once

#include "settings/RegistryKey.h"

#include <string>
#include <string_view>
#include <vector>

// The key as an export names it; compared without regard to letter case when read.
inline constexpr std::string_view kSettingsKeyPath =
    "HKEY_LOCAL_MACHINE\\Software\\Volition\\FreeSpace2\\CorvaneGV";

struct TRegFileContent {
    // The settings key's values in file order; a later line for the same name replaces it.
    std::vector<TRegValue> Values;
    // Sections of other keys, kept line for line so a rewrite does not lose them.
    std::vector<std::string> OtherLines;
    // Read from a "REGEDIT4" file, whose hex strings are single bytes: written back in that
    // form, so the other keys' lines keep meaning what they meant.
    bool Regedit4 = false;
};

struct TRegParseResult {
    bool Ok = false;
    TRegFileContent Content;
    int ErrorLine = 0;  // 1-based
    std::string Error;
};

// Accepts both export headers ("Windows Registry Editor Version 5.00" and "REGEDIT4"), CR LF
// or LF line ends, a UTF-16 or UTF-8 byte-order mark, comments, continued hex lines, and a
// backslash before anything but \ or " taken literally (as a hand-typed "C:\Games" means).
TRegParseResult ParseRegFile(std::string_view bytes);

// Writes the version 5.00 form (or REGEDIT4, see above) with CR LF line ends (the export's own, so Windows imports the
// file unchanged; editors here read it as well). Strings holding CR, LF or a zero byte cannot be
// quoted in this format and are written as hex(1), the registry's spelling of the same string.
std::string FormatRegFile(const TRegFileContent& content);
