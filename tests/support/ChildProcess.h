// SPDX-License-Identifier: GPL-3.0-or-later
// A child process for tests: spawn it, talk to it by lines, signal it, wait for its exit status.
#pragma once

#include <sys/types.h>

#include <csignal>
#include <filesystem>
#include <string>
#include <vector>

namespace testing_support {

// Every member has an initialiser, so designated initialisers may leave any out without a
// -Wmissing-field-initializers warning.
struct TChildOptions {
    // How error messages call the child ("simulator").
    std::string Name = "child";
    // "NAME=VALUE" entries added to our environment, replacing those of the same name.
    std::vector<std::string> Env{};
    // When set, its standard output and error go to this file instead of to ReadLine.
    std::filesystem::path OutputFile{};
};

class TChildProcess {
public:
    // Starts args[0] with args. Throws std::runtime_error when it cannot be started.
    explicit TChildProcess(const std::vector<std::string>& args, const TChildOptions& options = {});
    // Kills the child if it still runs and closes our ends.
    ~TChildProcess();
    TChildProcess(const TChildProcess&) = delete;
    TChildProcess& operator=(const TChildProcess&) = delete;

    // The next line of its standard output and error, without the "\n". False when none comes
    // within ms or the output has ended.
    bool ReadLine(std::string& line, int ms);
    // Reads lines until one equals wanted; returns those before it. Throws std::runtime_error
    // with them when wanted does not come within ms.
    std::vector<std::string> ReadUntil(const std::string& wanted, int ms);
    // Writes line and "\n" to its standard input; false when the child no longer reads it.
    bool WriteLine(const std::string& line);
    // Ends its standard input.
    void CloseInput();

    // Sends one command line and waits for "ok"; returns the lines printed before it. Throws
    // std::runtime_error on "error TEXT" (with the text) or when no answer comes within ms.
    std::vector<std::string> Command(const std::string& line, int ms = 5000);

    void Signal(int sig);
    // Waits up to ms for the child to end. Returns its exit code, 128 + the signal number when
    // a signal ended it, or -1 when it still runs.
    int WaitExit(int ms);
    // Sends sig and waits up to ms for the exit; returns as WaitExit.
    int Stop(int sig = SIGTERM, int ms = 5000);
    // SIGKILL, then reaps it.
    void Kill();
    bool Running() const { return pid_ > 0; }

private:
    // Reads what is there into buffered_; false at the end of the output.
    bool ReadSome();
    void Reaped();

    std::string name_;
    pid_t pid_ = -1;
    int pidfd_ = -1;  // readable once the child has ended
    int in_ = -1;     // our end of its standard input
    int out_ = -1;    // our end of its standard output and error; -1 once they ended
    std::string buffered_;
};

}  // namespace testing_support
