// SPDX-License-Identifier: GPL-3.0-or-later
// The client on a real socket against a scripted loopback server: login, session events,
// the line queue between sessions, floods, bytes kept exact.
#include "chat/IRCCli.h"
#include "support/TestLoop.h"
#include "support/TestSupport.h"

#include <gtest/gtest.h>
#include <fcntl.h>
#include <sys/socket.h>
#include <unistd.h>

#include <string>
#include <vector>

using testing_support::Escaped;
using testing_support::WaitFor;

namespace {

// The server end of one accepted connection, non-blocking so that the client's loop keeps
// turning while the test reads and writes.
class TServerEnd {
public:
    TServerEnd(TEventLoop& loop, int fd) : loop_(loop), fd_(fd) {
        ::fcntl(fd_, F_SETFL, ::fcntl(fd_, F_GETFL) | O_NONBLOCK);
    }
    ~TServerEnd() { ::close(fd_); }
    void Send(const std::string& bytes) {
        std::size_t done = 0;
        while (done < bytes.size()) {
            ssize_t n = ::send(fd_, bytes.data() + done, bytes.size() - done, MSG_NOSIGNAL);
            if (n > 0) done += static_cast<std::size_t>(n);
            else loop_.ProcessMessagesWaiting(std::chrono::milliseconds(5));
        }
    }
    // Runs the loop until the bytes received so far are exactly expected.
    bool Expect(const std::string& expected, int ms = 3000) {
        bool ok = WaitFor(loop_, [&] { Pull(); return received_.size() >= expected.size(); }, ms);
        ok = ok && received_ == expected;
        EXPECT_TRUE(ok) << "got \"" << Escaped(received_) << "\" want \"" << Escaped(expected) << "\"";
        received_.clear();
        return ok;
    }
    // Runs the loop until the client closed its side.
    bool WaitEof(int ms = 3000) { return WaitFor(loop_, [&] { return Pull() == 0; }, ms); }
    const std::string& Received() { Pull(); return received_; }
    void CloseNow() { ::shutdown(fd_, SHUT_RDWR); }

private:
    // Bytes read so far are kept; returns 0 at end of stream, -1 when nothing waits.
    int Pull() {
        char buf[4096];
        for (;;) {
            ssize_t n = ::recv(fd_, buf, sizeof buf, 0);
            if (n > 0) received_.append(buf, static_cast<std::size_t>(n));
            else return n == 0 ? 0 : -1;
        }
    }
    TEventLoop& loop_;
    int fd_;
    std::string received_;
};

class IRCCliSession : public ::testing::Test {
protected:
    IRCCliSession() {
        cli.SetNick("Ann");
        cli.SetRealName("R");
        cli.SetHost("127.0.0.1");
        cli.SetPort(std::to_string(listener.Port()));
        cli.OnSessionConnected = [this](TIRCCli&, std::uint16_t e) { connected.push_back(e); };
        cli.OnSessionClosed = [this](TIRCCli&, std::uint16_t e) { closed.push_back(e); };
        cli.OnServerMessage = [this](TIRCCli&, const std::string&, const std::string& c, const std::vector<std::string>& p) {
            messages.push_back(c + (p.empty() ? "" : " " + p.back()));
        };
    }
    void TearDown() override {
        cli.OnSessionClosed = nullptr;
        cli.Disconnect();
        ExpectCleanLoop();
    }
    std::unique_ptr<TServerEnd> ConnectAndAccept() {
        const std::size_t before = connected.size();
        cli.Connect();
        int fd = listener.Accept();
        EXPECT_GE(fd, 0);
        EXPECT_TRUE(WaitFor(loop, [&] { return connected.size() > before; }));
        return std::make_unique<TServerEnd>(loop, fd);
    }
    void ExpectCleanLoop() {
        EXPECT_EQ(loop.WatchCount(), 0u);
        EXPECT_EQ(loop.TimerCount(), 0u);
    }

    testing_support::TTestLoop loop;
    testing_support::TTcpListener listener;
    TIRCCli cli{loop};
    std::vector<std::uint16_t> connected, closed;
    std::vector<std::string> messages;
};

}  // namespace

TEST_F(IRCCliSession, LoginLinesAreSentBeforeOnSessionConnected) {
    std::string wireAtEvent;
    auto server = std::unique_ptr<TServerEnd>();
    cli.Connect();
    EXPECT_TRUE(cli.Active());
    EXPECT_FALSE(cli.Connected());
    server = std::make_unique<TServerEnd>(loop, listener.Accept());
    cli.OnSessionConnected = [&](TIRCCli& c, std::uint16_t e) {
        connected.push_back(e);
        wireAtEvent = server->Received();
        EXPECT_TRUE(c.Connected());
    };
    ASSERT_TRUE(server->Expect("nick Ann\r\nuser  - - :R\r\n"));
    EXPECT_EQ(wireAtEvent, "nick Ann\r\nuser  - - :R\r\n");
    EXPECT_EQ(connected, (std::vector<std::uint16_t>{0}));

    // While active: host, port, user and real name are frozen; nick and pass go out at once.
    for (auto set : {&TIRCCli::SetHost, &TIRCCli::SetPort, &TIRCCli::SetUser, &TIRCCli::SetRealName}) {
        try {
            (cli.*set)("x");
            ADD_FAILURE() << "no EIRCCli";
        } catch (const EIRCCli& e) {
            EXPECT_STREQ(e.what(), "You cannot change this property while the component is active");
        }
    }
    EXPECT_EQ(cli.Host(), "127.0.0.1");
    cli.SetNick("Bea");
    cli.SetPass("");
    cli.SetPass("pw");
    server->Expect("nick Bea\r\npass pw\r\n");
}

TEST_F(IRCCliSession, PassAndUserGoIntoTheLoginAndAutoLoginOffSendsNothing) {
    cli.SetPass("pw");
    cli.SetUser("u");
    auto server = ConnectAndAccept();
    server->Expect("pass pw\r\nnick Ann\r\nuser u - - :R\r\n");
    cli.SetActive(false);
    server->Expect("Quit\r\n");
    cli.SetAutoLogin(false);
    auto second = ConnectAndAccept();
    EXPECT_EQ(connected.size(), 2u);
    EXPECT_EQ(second->Received(), "");
}

TEST_F(IRCCliSession, DisconnectSendsQuitAndReportsTheCloseBeforeItReturns) {
    auto server = ConnectAndAccept();
    server->Expect("nick Ann\r\nuser  - - :R\r\n");
    server->Send(":Ann JOIN #Lobby_20\r\n");
    ASSERT_TRUE(WaitFor(loop, [&] { return cli.Channels().Count() == 1; }));
    std::vector<std::string> deleted;
    cli.OnChannelDeletion = [&](TIRCCli& c, TIRCChannel& ch) {
        deleted.push_back(ch.Name());
        EXPECT_FALSE(c.Active());
        EXPECT_TRUE(closed.empty());  // the registry empties before OnSessionClosed
    };
    cli.Disconnect();
    EXPECT_EQ(closed, (std::vector<std::uint16_t>{0}));
    EXPECT_EQ(deleted, (std::vector<std::string>{"#Lobby_20"}));
    EXPECT_FALSE(cli.Active());
    server->Expect("Quit\r\n");
    EXPECT_TRUE(server->WaitEof());
    ExpectCleanLoop();
}

TEST_F(IRCCliSession, DisconnectWhileConnectingSendsNothing) {
    cli.Connect();
    TServerEnd server(loop, listener.Accept());
    cli.Disconnect();
    EXPECT_EQ(closed, (std::vector<std::uint16_t>{0}));
    EXPECT_TRUE(server.WaitEof());
    EXPECT_EQ(server.Received(), "");
    EXPECT_TRUE(connected.empty());
    ExpectCleanLoop();
}

TEST_F(IRCCliSession, RefusedConnectionEndsWithOneCloseAndNoConnect) {
    cli.SetPort(std::to_string(testing_support::UnusedTcpPort()));
    cli.Connect();
    ASSERT_TRUE(WaitFor(loop, [&] { return !closed.empty(); }));
    testing_support::Drain(loop, 50);
    EXPECT_EQ(closed.size(), 1u);
    EXPECT_TRUE(connected.empty());
    EXPECT_FALSE(cli.Active());
    ExpectCleanLoop();
}

TEST_F(IRCCliSession, StartThatRaisesLeavesTheClientIdleForTheNextConnect) {
    cli.SetHost("no-such-host.test");
    cli.Socket().HostLookup = [](const std::string&, std::uint32_t&) { return 11001; };
    EXPECT_THROW(cli.Connect(), ESocketException);
    EXPECT_FALSE(cli.Active());
    EXPECT_TRUE(closed.empty());
    cli.SetHost("127.0.0.1");
    auto server = ConnectAndAccept();
    server->Expect("nick Ann\r\nuser  - - :R\r\n");
}

TEST_F(IRCCliSession, PeerCloseHandlesTheLastLinesThenEndsTheSession) {
    auto server = ConnectAndAccept();
    server->Send(":Ann JOIN #c\r\n:s NOTICE Ann :last\r\n");
    server->CloseNow();
    ASSERT_TRUE(WaitFor(loop, [&] { return !closed.empty(); }));
    EXPECT_EQ(messages, (std::vector<std::string>{"JOIN #c", "NOTICE last"}));
    EXPECT_EQ(closed, (std::vector<std::uint16_t>{0}));
    EXPECT_EQ(cli.Channels().Count(), 0u);
    EXPECT_FALSE(cli.Active());
    ExpectCleanLoop();
}

TEST_F(IRCCliSession, LinesStillWaitingInThePacingWhenTheSessionEndsAreReportedNotSent) {
    auto server = ConnectAndAccept();
    cli.SendBurst = 1;
    cli.SendInterval = std::chrono::milliseconds(60000);
    std::vector<std::string> unsent;
    int closedBefore = -1;
    cli.OnUnsent = [&](TIRCCli&, const std::vector<std::string>& lines) {
        unsent = lines;
        closedBefore = static_cast<int>(closed.size());
    };
    for (const char* line : {"PRIVMSG #c :one", "PRIVMSG #c :two", "PRIVMSG #c :three"}) cli.SendPaced(line);
    server->CloseNow();
    ASSERT_TRUE(WaitFor(loop, [&] { return !closed.empty(); }));
    EXPECT_EQ(unsent, (std::vector<std::string>{"PRIVMSG #c :two", "PRIVMSG #c :three"}));
    EXPECT_EQ(closedBefore, 0);  // told before the session's end, while the page still has it
    EXPECT_EQ(cli.PacedWaiting(), 0u);
}

TEST_F(IRCCliSession, AnUnfinishedLineDoesNotReachTheNextSession) {
    auto first = ConnectAndAccept();
    first->Send("PING :old");
    ASSERT_TRUE(WaitFor(loop, [&] { return cli.LineQueue().Size() == 9; }));
    first->CloseNow();
    ASSERT_TRUE(WaitFor(loop, [&] { return !cli.Active(); }));
    auto second = ConnectAndAccept();
    second->Expect("nick Ann\r\nuser  - - :R\r\n");
    second->Send("\r\nPING :new\r\n");
    second->Expect("pong new\r\n");
}

TEST_F(IRCCliSession, SplitArrivalsAndAFloodWithoutLineEnd) {
    auto server = ConnectAndAccept();
    server->Expect("nick Ann\r\nuser  - - :R\r\n");
    // One PING in three arrivals: handled once, after the last.
    for (std::string piece : {"PI", "NG :t\r"}) {
        server->Send(piece);
        testing_support::Drain(loop, 20);
    }
    EXPECT_EQ(server->Received(), "");
    server->Send("\n");
    server->Expect("pong t\r\n");

    // Megabytes without a line end: memory stays bounded and the next line still counts.
    std::size_t most = 0;
    const std::string chunk(64 * 1024, 'x');
    for (int i = 0; i < 80; ++i) {
        server->Send(chunk);
        loop.ProcessMessages();
        most = std::max(most, cli.LineQueue().Size());
    }
    server->Send("\r\nPING :after\r\n");
    server->Expect("pong after\r\n");
    EXPECT_LE(most, TDataQueue::MaxLine + 2);
    EXPECT_EQ(messages, (std::vector<std::string>{"PING t", "PING after"}));
}

TEST_F(IRCCliSession, BytesPassUnchangedBothWays) {
    auto server = ConnectAndAccept();
    server->Expect("nick Ann\r\nuser  - - :R\r\n");
    const std::string text("\x01\x02\x03\x04" "caf\xe9 \x00\xff\x80", 12);
    std::string got;
    cli.OnMessage = [&](TIRCCli&, const std::string&, const std::string&, const std::string&, const std::string&,
                        const std::string& m, bool) { got = m; };
    server->Send(":bob!b@h PRIVMSG #Lobby_20 :" + text + "\r\n");
    ASSERT_TRUE(WaitFor(loop, [&] { return !got.empty(); }));
    EXPECT_EQ(got, text) << Escaped(got);
    cli.SendLine("PRIVMSG #Lobby_20 :" + text);
    server->Expect("PRIVMSG #Lobby_20 :" + text + "\r\n");
}

TEST(IRCCliLifetime, DestroyingAConnectedClientSendsQuitWithoutOnSessionClosed) {
    testing_support::TTestLoop loop;
    testing_support::TTcpListener listener;
    std::vector<std::string> log;
    std::unique_ptr<TServerEnd> server;
    {
        TIRCCli cli(loop);
        cli.SetHost("127.0.0.1");
        cli.SetPort(std::to_string(listener.Port()));
        cli.SetAutoLogin(false);
        cli.OnSessionClosed = [&](TIRCCli&, std::uint16_t) { log.push_back("closed"); };
        cli.OnChannelDeletion = [&](TIRCCli&, TIRCChannel& c) { log.push_back("chan- " + c.Name()); };
        cli.Connect();
        server = std::make_unique<TServerEnd>(loop, listener.Accept());
        ASSERT_TRUE(WaitFor(loop, [&] { return cli.Connected(); }));
        server->Send(":x JOIN #a\r\n");
        ASSERT_TRUE(WaitFor(loop, [&] { return cli.Channels().Count() == 1; }));
    }
    EXPECT_EQ(log, (std::vector<std::string>{"chan- #a"}));
    server->Expect("Quit\r\n");
    EXPECT_TRUE(server->WaitEof());
    EXPECT_EQ(loop.WatchCount(), 0u);
    EXPECT_EQ(loop.TimerCount(), 0u);
}
