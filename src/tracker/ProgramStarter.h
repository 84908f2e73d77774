// SPDX-License-Identifier: GPL-3.0-or-later
// TProgramStarter: how the core starts a game: a program, its arguments and a folder, no shell.
#pragma once

#include <string>
#include <vector>

// Whether a program file can be started on this system.
enum class TStartable {
    Yes,
    Missing,    // no file by that name
    NeedsWine,  // a Windows program, and nothing here runs it
};

// What a start came to; Reason says why it failed, in words for the user.
struct TStartResult {
    bool Started = true;
    std::string Reason;
};

class TProgramStarter {
public:
    virtual ~TProgramStarter() = default;
    virtual TStartable CanStart(const std::string& program) = 0;
    // Starts program detached (it outlives us), with exactly these arguments and
    // workingDirectory as its current folder; empty keeps ours. Failures are not reported.
    virtual void Start(const std::string& program, const std::vector<std::string>& arguments,
                       const std::string& workingDirectory) = 0;
    // Start, saying whether the program was started. A back end that cannot tell keeps this
    // default, which trusts Start.
    virtual TStartResult TryStart(const std::string& program, const std::vector<std::string>& arguments,
                                  const std::string& workingDirectory) {
        Start(program, arguments, workingDirectory);
        return {};
    }
};
