// SPDX-License-Identifier: GPL-3.0-or-later
// The program's chat as a process: login and registration lines, the lobby join after the
// welcome, the PING answer, and "Quit" before it ends on SIGTERM.
#include "settings/Names.h"
#include "support/ChildProcess.h"
#include "support/TestSupport.h"

#include <poll.h>
#include <signal.h>
#include <sys/socket.h>
#include <unistd.h>

#include <chrono>
#include <fstream>
#include <regex>
#include <sstream>

#include <gtest/gtest.h>

using testing_support::ReadFile;

namespace {

namespace fs = std::filesystem;
using namespace testing_support;

// The program, headless, with its output in a file; killed if the test leaves it running.
TChildProcess StartProgram(std::vector<std::string> args, const fs::path& output) {
    args.insert(args.begin(), CGV_PROGRAM_PATH);
    return TChildProcess(args, {.Env = {"QT_QPA_PLATFORM=offscreen"}, .OutputFile = output});
}

// The server's end of the program's chat connection.
class TPeer {
public:
    explicit TPeer(int fd) : fd_(fd) {}
    ~TPeer() { ::close(fd_); }
    void Send(const std::string& bytes) { ASSERT_EQ(::send(fd_, bytes.data(), bytes.size(), MSG_NOSIGNAL), static_cast<ssize_t>(bytes.size())); }
    // The next line without its CR LF; empty with eof set when the program closed first.
    std::string Line(int ms = 20000) {
        const auto deadline = std::chrono::steady_clock::now() + std::chrono::milliseconds(ms);
        for (;;) {
            if (auto end = buffer_.find("\r\n"); end != std::string::npos) {
                std::string line = buffer_.substr(0, end);
                buffer_.erase(0, end + 2);
                return line;
            }
            const auto left = std::chrono::duration_cast<std::chrono::milliseconds>(deadline - std::chrono::steady_clock::now());
            pollfd p{fd_, POLLIN, 0};
            if (left.count() <= 0 || ::poll(&p, 1, static_cast<int>(left.count())) <= 0) return {};
            char chunk[4096];
            const ssize_t n = ::recv(fd_, chunk, sizeof chunk, 0);
            if (n <= 0) {
                eof = true;
                return {};
            }
            buffer_.append(chunk, static_cast<std::size_t>(n));
        }
    }
    bool eof = false;

private:
    int fd_;
    std::string buffer_;
};

}  // namespace

TEST(ChatProgram, LogsInRegistersJoinsTheLobbyAnswersPingAndQuitsOnSigterm) {
    TTempDir dir;
    TTcpListener chat;
    auto program = StartProgram({"--tracker", "127.0.0.1:" + std::to_string(UnusedTcpPort()), "--chat-server",
                                 "127.0.0.1:" + std::to_string(chat.Port()), "--config-dir", dir.Path().string()},
                                dir.Path() / "output.txt");
    const int fd = chat.Accept(20000);
    ASSERT_GE(fd, 0) << ReadFile(dir.Path() / "output.txt");
    TPeer peer(fd);

    // The capability request comes first; this peer knows no CAP and lets the login through.
    EXPECT_EQ(peer.Line(), "CAP LS 302");
    const std::string nick = peer.Line();
    const std::string user = peer.Line();
    const std::string registration = peer.Line();
    ASSERT_TRUE(nick.starts_with("nick ")) << Escaped(nick);
    std::smatch realName;
    ASSERT_TRUE(std::regex_match(user, realName, std::regex("user  - - :(CorvaneGV v1\\.01 - .*)"))) << Escaped(user);
    std::smatch m;
    ASSERT_TRUE(std::regex_match(registration, m,
                                 std::regex("USER GV([0-9]+) \"GV([0-9]+)\\.GV([0-9]+)\" \"127\\.0\\.0\\.1\" :(.*)")))
        << Escaped(registration);
    EXPECT_EQ(m[4].str(), realName[1].str());
    // The run's next three numbers after those the settings' defaults may have drawn.
    TRandomGenerator random;
    std::vector<std::string> draws;
    for (int i = 0; i < 5; ++i) draws.push_back(RandomNumberText(random));
    bool consecutive = false;
    for (std::size_t k = 0; k + 2 < draws.size(); ++k)
        consecutive |= m[1].str() == draws[k] && m[2].str() == draws[k + 1] && m[3].str() == draws[k + 2];
    EXPECT_TRUE(consecutive) << Escaped(registration);

    peer.Send(":irc.local 001 " + nick.substr(5) + " :Welcome\r\n");
    EXPECT_EQ(peer.Line(), "JOIN #Lobby_20");  // no CAP END once the welcome has come
    peer.Send("PING :token42\r\n");
    const std::string pong = peer.Line();
    EXPECT_TRUE(pong == "pong token42" || pong == "PONG token42" || pong == "PONG :token42") << Escaped(pong);

    program.Signal(SIGTERM);
    EXPECT_EQ(peer.Line(), "Quit");
    peer.Line();
    EXPECT_TRUE(peer.eof);
    EXPECT_EQ(program.WaitExit(20000), 0) << ReadFile(dir.Path() / "output.txt");
}
