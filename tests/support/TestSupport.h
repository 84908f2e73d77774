// SPDX-License-Identifier: GPL-3.0-or-later
// Helpers shared by the tests: waiting on the loop with a deadline, readable bytes, temp folders.
#pragma once

#include "net/PollEventLoop.h"

#include <chrono>
#include <filesystem>
#include <functional>
#include <string>

namespace testing_support {

// Turns the loop until pred holds or ms pass; never sleeps blindly. pred is checked between
// turns, as the poll loop's RunUntil does, so it serves every loop alike.
bool WaitFor(TEventLoop& loop, const std::function<bool()>& pred, int ms = 5000);

// Runs the loop for ms, for checks that something does NOT happen.
void Drain(TEventLoop& loop, int ms);

// Bytes as escaped text, for assertion messages.
std::string Escaped(const std::string& bytes);

// Builds a byte string from hex pairs, blanks ignored: Hex("00 E2").
std::string Hex(const std::string& pairs);

// A file's bytes as they are; empty when it cannot be read.
std::string ReadFile(const std::filesystem::path& path);

// A fresh folder under the system temp dir, removed when the object goes.
class TTempDir {
public:
    TTempDir();
    ~TTempDir();
    const std::filesystem::path& Path() const { return path_; }

private:
    std::filesystem::path path_;
};

// A UDP socket on 127.0.0.1 and an ephemeral port, for playing a peer in tests.
class TUdpPeer {
public:
    TUdpPeer();
    ~TUdpPeer();
    int Port() const { return port_; }
    int Fd() const { return fd_; }
    void SendTo(int port, const std::string& bytes);
    // Waits up to ms for one datagram; returns false on timeout.
    bool Receive(std::string& bytes, int& fromPort, int ms = 2000);

private:
    int fd_ = -1;
    int port_ = 0;
};

// A TCP listener on 127.0.0.1 and an ephemeral port.
class TTcpListener {
public:
    TTcpListener();
    ~TTcpListener();
    int Port() const { return port_; }
    int Fd() const { return fd_; }
    // Accepts one pending connection (blocking up to ms); -1 on timeout.
    int Accept(int ms = 2000);

private:
    int fd_ = -1;
    int port_ = 0;
};

// A loopback port with nothing listening on it (bound and closed again).
int UnusedTcpPort();

}  // namespace testing_support
