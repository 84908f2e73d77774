// SPDX-License-Identifier: GPL-3.0-or-later
// Runs the tracker simulator as a child process for tests: start it, read its base port,
// steer it through its standard input, stop it.
#pragma once

#include "support/ChildProcess.h"

#include <csignal>
#include <string>
#include <vector>

namespace testing_support {

class TTrackerSimProcess {
public:
    // Starts corvanegv-trackersim with the given arguments (e.g. "game=0", "server=1.2.3.4:5",
    // "mode=refuse") and waits up to ms for "ready". Throws std::runtime_error with what the
    // simulator printed when it does not start.
    explicit TTrackerSimProcess(const std::vector<std::string>& args = {}, int ms = 10000);
    // Stops the simulator if it still runs.
    ~TTrackerSimProcess();
    TTrackerSimProcess(const TTrackerSimProcess&) = delete;
    TTrackerSimProcess& operator=(const TTrackerSimProcess&) = delete;

    // Game type N is served on BasePort() + N.
    int BasePort() const { return base_; }
    // "127.0.0.1:BASE", the value of a --tracker option.
    std::string TrackerOption() const { return "127.0.0.1:" + std::to_string(base_); }

    // Sends one command line and waits for its "ok"; returns the lines printed before it.
    // Throws std::runtime_error on "error ..." (with the simulator's text) or on timeout.
    std::vector<std::string> Command(const std::string& line, int ms = 5000);
    // set N WORDS: e.g. Set(1, "mode=refuse"), Set(0, "clear=1 server=127.0.0.1:7808").
    void Set(int gameType, const std::string& words);

    struct TStats {
        int Connections = 0;  // accepted on the game type's port
        int Requests = 0;     // well-formed 12-byte requests among them
        int Received = 0;     // bytes received over all of them
    };
    TStats Stats(int gameType);

    // Sends sig and waits up to ms for the exit; returns the exit code, 128 + the signal
    // number when a signal ended it, or -1 when it still runs.
    int Stop(int sig = SIGTERM, int ms = 5000) { return child_.Stop(sig, ms); }
    bool Running() const { return child_.Running(); }

    static std::string BinaryPath();

private:
    TChildProcess child_;
    int base_ = 0;
};

}  // namespace testing_support
