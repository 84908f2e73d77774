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

class TProgramStarter {
public:
    virtual ~TProgramStarter() = default;
    virtual TStartable CanStart(const std::string& program) = 0;
    // Starts program detached (it outlives us), with exactly these arguments and
    // workingDirectory as its current folder; empty keeps ours. Failures are not reported.
    virtual void Start(const std::string& program, const std::vector<std::string>& arguments,
                       const std::string& workingDirectory) = 0;
};
