// SPDX-License-Identifier: GPL-3.0-or-later
// TWinProgramStarter: starts games with CreateProcessW, no shell involved.
#pragma once

#include "tracker/ProgramStarter.h"

#include <string>
#include <vector>

class TWinProgramStarter : public TProgramStarter {
public:
    // Any existing file: Windows itself tells programs from the rest when starting it.
    TStartable CanStart(const std::string& program) override;
    // Not our child in any way that matters: its handles are closed at once, and it inherits
    // none of ours. Start drops the outcome; TryStart says why a start failed, as on Linux.
    void Start(const std::string& program, const std::vector<std::string>& arguments,
               const std::string& workingDirectory) override;
    TStartResult TryStart(const std::string& program, const std::vector<std::string>& arguments,
                          const std::string& workingDirectory) override;
};

// The command line that a program's C runtime splits back into exactly program and arguments
// (quotes, and backslashes before quotes, doubled as the splitting rules require).
std::wstring WindowsCommandLine(const std::string& program, const std::vector<std::string>& arguments);
