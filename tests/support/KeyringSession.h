// SPDX-License-Identifier: GPL-3.0-or-later
// TKeyringSession: a private D-Bus session bus in a temporary folder with GNOME Keyring's
// secret store on it, unlocked with a test password; this process talks to it while it lives.
#pragma once

#include "support/TestSupport.h"

#include <filesystem>
#include <memory>
#include <string>
#include <vector>

namespace testing_support {

class TChildProcess;

class TKeyringSession {
public:
    struct TOptions {
        // False: the bus alone, with no secret store on it (and none it could start).
        bool Keyring = true;
    };
    struct TToolResult {
        int Exit = -1;
        std::string Output;  // standard output, byte for byte
        std::string Errors;  // standard error
    };

    // Starts the bus and the keyring and points DBUS_SESSION_BUS_ADDRESS at the bus. Throws
    // std::runtime_error with the install hint when a program is missing or does not come up.
    TKeyringSession();
    explicit TKeyringSession(const TOptions& options);
    // Stops both and gives DBUS_SESSION_BUS_ADDRESS its old value back.
    ~TKeyringSession();
    TKeyringSession(const TKeyringSession&) = delete;
    TKeyringSession& operator=(const TKeyringSession&) = delete;

    // The keyring started again over the same files: unlocked, or locked as after a login
    // that did not give it the password (its unlock prompt cannot show here: it is refused).
    void RestartKeyring(bool unlock);
    // The keyring keeps its name on the bus but answers nothing (SIGSTOP), then answers again.
    void FreezeKeyring();
    void ThawKeyring();
    // The bus goes away, as at the end of a desktop session.
    void StopBus();

    // Everything the bus and the keyring write (home, keyring files, sockets) lies below.
    const std::filesystem::path& Folder() const { return dir_.Path(); }

    // Runs a program (secret-tool, gdbus) in this session with input on its standard input.
    TToolResult Run(const std::vector<std::string>& args, const std::string& input = {}, int ms = 10000) const;

private:
    void StartKeyring(bool unlock);
    void StopKeyring();
    std::vector<std::string> Env() const;

    TTempDir dir_;
    std::string address_;
    bool hadAddress_ = false;
    std::string oldAddress_;
    int keyringPid_ = -1;
    bool frozen_ = false;
    std::unique_ptr<TChildProcess> bus_;
    std::unique_ptr<TChildProcess> keyring_;
};

}  // namespace testing_support
