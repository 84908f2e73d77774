// SPDX-License-Identifier: GPL-3.0-or-later
// TQtProgramStarter: starts games as detached processes with an argument list, through wine for Windows programs.
#pragma once

#include "tracker/ProgramStarter.h"

class TQtProgramStarter : public TProgramStarter {
public:
    // A file that begins with "MZ" is a Windows program and goes through wine on PATH,
    // whatever its execute bit says (every file on an NTFS or FAT mount has it). Any other
    // existing file is started as it is.
    TStartable CanStart(const std::string& program) override;
    void Start(const std::string& program, const std::vector<std::string>& arguments,
               const std::string& workingDirectory) override;
    TStartResult TryStart(const std::string& program, const std::vector<std::string>& arguments,
                          const std::string& workingDirectory) override;
};
