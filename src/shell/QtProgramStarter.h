// TQtProgramStarter: starts games as detached processes with an argument list, through wine for Windows programs.
#pragma once

#include "tracker/ProgramStarter.h"

class TQtProgramStarter : public TProgramStarter {
public:
    // A file that is not an executable program but is named *.exe is a Windows program: it
    // can be started when wine is on PATH, and needs wine otherwise. Any other existing file
    // is started as it is.
    TStartable CanStart(const std::string& program) override;
    void Start(const std::string& program, const std::vector<std::string>& arguments,
               const std::string& workingDirectory) override;
};
