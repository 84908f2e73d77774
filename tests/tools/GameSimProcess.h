// SPDX-License-Identifier: GPL-3.0-or-later
// Runs the game-server simulator as a child process for tests: start it, read its ports,
// steer it through its standard input, stop it.
#pragma once

#include "support/ChildProcess.h"

#include <csignal>
#include <string>
#include <vector>

namespace testing_support {

class TGameSimProcess {
public:
    // Starts corvanegv-gamesim with one server per entry of servers (its settings words, e.g.
    // R"(port=0 name="Alpha" players=3)") and the extra arguments, and waits up to ms for
    // "ready". Throws std::runtime_error with what the simulator printed when it does not start.
    explicit TGameSimProcess(const std::vector<std::string>& servers,
                             const std::vector<std::string>& extraArgs = {}, int ms = 10000);
    // Stops the simulator if it still runs.
    ~TGameSimProcess();
    TGameSimProcess(const TGameSimProcess&) = delete;
    TGameSimProcess& operator=(const TGameSimProcess&) = delete;

    // The servers' loopback ports in the order given, then those added with Add.
    const std::vector<int>& Ports() const { return ports_; }

    // Sends one command line and waits for its "ok"; returns the lines printed before it.
    // Throws std::runtime_error on "error ..." (with the simulator's text) or on timeout.
    std::vector<std::string> Command(const std::string& line, int ms = 5000) { return child_.Command(line, ms); }
    // set PORT WORDS: e.g. Set(port, "mode=silent"), Set(port, "players=5").
    void Set(int port, const std::string& words);
    // Adds a server (settings words as for the constructor); returns its port.
    int Add(const std::string& words);
    void Remove(int port);
    // Status queries the server has received so far.
    long Queries(int port);

    // Ends the simulator's standard input.
    void CloseInput() { child_.CloseInput(); }
    // Sends sig and waits up to ms for the exit; returns the exit status (see WaitExit).
    int Stop(int sig = SIGTERM, int ms = 5000) { return child_.Stop(sig, ms); }
    // Waits up to ms for the simulator to end by itself. Returns its exit code, 128 + the
    // signal number when a signal ended it, or -1 when it still runs.
    int WaitExit(int ms) { return child_.WaitExit(ms); }
    bool Running() const { return child_.Running(); }

    static std::string BinaryPath();

private:
    TChildProcess child_;
    std::vector<int> ports_;
};

}  // namespace testing_support
