// SPDX-License-Identifier: GPL-3.0-or-later
// TNgircdServer: a private ngircd on a free port of 127.0.0.1, started and stopped by tests.
#pragma once

#include "support/TestSupport.h"

#include <string>
#include <sys/types.h>

class TNgircdServer {
public:
    struct TOptions {
        // Seconds of silence before the server sends PING; ngircd accepts 5 at least.
        int pingTimeout = 120;
        // ngircd's flood protection (penalty time for every command); off for most tests.
        bool floodProtection = false;
        // A TLS port beside the plain one when both files are given (PEM, readable by nobody).
        std::string tlsCertFile, tlsKeyFile;
    };

    // Starts ngircd in the foreground with its own configuration in a temporary folder and
    // waits until it listens. Throws std::runtime_error with the reason (and ngircd's log)
    // when ngircd is missing or does not come up.
    TNgircdServer();
    explicit TNgircdServer(const TOptions& options);
    ~TNgircdServer();
    TNgircdServer(const TNgircdServer&) = delete;
    TNgircdServer& operator=(const TNgircdServer&) = delete;

    int Port() const { return port_; }
    std::string PortText() const { return std::to_string(port_); }
    int TlsPort() const { return tlsPort_; }
    std::string TlsPortText() const { return std::to_string(tlsPort_); }
    // The server name it uses as prefix of its own lines.
    static constexpr const char* Name = "irc.test.local";
    // An operator, for tests that ban a user.
    static constexpr const char* OperName = "root";
    static constexpr const char* OperPassword = "operpw";
    std::string Log() const;

    // Ends ngircd as a stopped server ends: its clients see their connections close.
    void Stop();
    // Starts it again on the same port, with the same configuration.
    void Restart();

private:
    bool TryStart(const std::string& binary, const TOptions& options, int port);

    testing_support::TTempDir dir_;
    std::string binary_;
    TOptions options_;
    pid_t pid_ = -1;
    int port_ = 0;
    int tlsPort_ = 0;
};
