// SPDX-License-Identifier: GPL-3.0-or-later
// Test helpers for the TCP connection: a recorded TWSocket and the far end of its connection.
#pragma once

#include "net/WSocket.h"
#include "support/TestLoop.h"
#include "support/TestSupport.h"

#include <gtest/gtest.h>
#include <sys/socket.h>
#include <unistd.h>

#include <cerrno>
#include <memory>
#include <string>
#include <vector>

namespace wsocket_test {

inline std::string StateName(TSocketState s) {
    switch (s) {
        case wsInvalidState: return "Invalid";
        case wsOpened: return "Opened";
        case wsBound: return "Bound";
        case wsConnecting: return "Connecting";
        case wsConnected: return "Connected";
        case wsAccepting: return "Accepting";
        case wsListening: return "Listening";
        case wsClosed: return "Closed";
    }
    return "?";
}

// The accepted end of a connection, driven directly by the test.
class TPeer {
public:
    explicit TPeer(int fd = -1) : fd_(fd) {}
    ~TPeer() { Close(); }
    TPeer(const TPeer&) = delete;
    TPeer& operator=(const TPeer&) = delete;
    TPeer& operator=(int fd) {
        Close();
        fd_ = fd;
        return *this;
    }
    int Fd() const { return fd_; }

    void Write(const std::string& bytes) {
        ASSERT_EQ(::send(fd_, bytes.data(), bytes.size(), MSG_NOSIGNAL), static_cast<ssize_t>(bytes.size()));
    }
    // What has arrived so far, without waiting.
    std::string ReadSome() {
        std::string out;
        char buf[65536];
        for (;;) {
            const ssize_t n = ::recv(fd_, buf, sizeof buf, MSG_DONTWAIT);
            if (n <= 0) {
                eof_ = eof_ || n == 0 || (errno != EAGAIN && errno != EWOULDBLOCK);
                break;
            }
            out.append(buf, static_cast<std::size_t>(n));
        }
        return out;
    }
    // Pumps the loop until n bytes arrived (or the deadline passed); returns what arrived.
    std::string ReadExactly(TEventLoop& loop, std::size_t n, int ms = 5000) {
        std::string got;
        testing_support::WaitFor(loop, [&] { got += ReadSome(); return got.size() >= n; }, ms);
        return got;
    }
    // Pumps the loop until the connection is closed from the other side.
    bool SeesEof(TEventLoop& loop) {
        return testing_support::WaitFor(loop, [&] { ReadSome(); return eof_; });
    }
    // Closes with a reset instead of a graceful close.
    void Reset() {
        linger l{1, 0};
        ::setsockopt(fd_, SOL_SOCKET, SO_LINGER, &l, sizeof l);
        Close();
    }
    void Close() {
        if (fd_ >= 0) ::close(fd_);
        fd_ = -1;
    }

private:
    int fd_ = -1;
    bool eof_ = false;
};

// A loop, a listener and a connection whose events and state changes are written to a log.
class TWSocketFixture : public ::testing::Test {
protected:
    void SetUp() override {
        sock = std::make_unique<TWSocket>(loop);
        Record(*sock);
    }
    void TearDown() override {
        sock.reset();
        EXPECT_EQ(loop.WatchCount(), 0u);
        EXPECT_EQ(loop.TimerCount(), 0u);
    }

    void Record(TWSocket& s) {
        s.OnChangeState = [this](TWSocket&, TSocketState o, TSocketState n) {
            log.push_back("state " + StateName(o) + "->" + StateName(n));
        };
        s.OnSessionConnected = [this](TWSocket&, std::uint16_t e) { log.push_back("connected " + std::to_string(e)); };
        s.OnSessionClosed = [this](TWSocket&, std::uint16_t e) { log.push_back("closed " + std::to_string(e)); };
        s.OnDataSent = [this](TWSocket&, std::uint16_t e) { log.push_back("sent " + std::to_string(e)); };
    }

    int Count(const std::string& entry) const {
        int n = 0;
        for (const auto& e : log) n += e == entry;
        return n;
    }

    void Target(TWSocket& s, int port, const std::string& proto = "tcp") {
        s.SetProto(proto);
        s.SetPort(std::to_string(port));
        s.SetAddr("127.0.0.1");
    }

    // Connects sock to the listener and accepts the far end; the log starts empty afterwards.
    void Open(const std::string& proto = "tcp") {
        Target(*sock, listener.Port(), proto);
        sock->Connect();
        ASSERT_EQ(sock->State(), wsConnecting);
        peer = listener.Accept();
        ASSERT_GE(peer.Fd(), 0);
        ASSERT_TRUE(testing_support::WaitFor(loop, [&] { return Count("connected 0") == 1; }));
        ASSERT_EQ(sock->State(), wsConnected);
        log.clear();
    }

    std::string Log() const {
        std::string out;
        for (const auto& e : log) out += e + "\n";
        return out;
    }

    testing_support::TTestLoop loop;
    testing_support::TTcpListener listener;
    std::unique_ptr<TWSocket> sock;
    TPeer peer;
    std::vector<std::string> log;
};

using Lines = std::vector<std::string>;

// The message of the ESocketException that work raises, or "" when it raises none.
template <class F>
std::string ErrorOf(F&& work) {
    try {
        work();
    } catch (const ESocketException& e) {
        return e.what();
    }
    return "";
}

}  // namespace wsocket_test
