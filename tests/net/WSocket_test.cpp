// SPDX-License-Identifier: GPL-3.0-or-later
// The TCP connection against real loopback peers: connecting, states and events, closing, errors.
#include "WSocketTestPeer.h"

#include <arpa/inet.h>

#include <cstdio>
#include <stdexcept>

using namespace wsocket_test;
using testing_support::Drain;
using testing_support::Escaped;
using testing_support::UnusedTcpPort;
using testing_support::WaitFor;

using WSocket = TWSocketFixture;

TEST_F(WSocket, RefusedConnectReportsTheErrorThenClosesWithZero) {
    Target(*sock, UnusedTcpPort());
    sock->Connect();
    EXPECT_EQ(sock->State(), wsConnecting);
    ASSERT_TRUE(WaitFor(loop, [&] { return Count("closed 0") > 0; })) << Log();
    Drain(loop, 50);
    EXPECT_EQ(log, (Lines{"state Closed->Opened", "state Opened->Connecting", "state Connecting->Connected",
                          "connected 10061", "state Connected->Closed", "closed 0"}))
        << Log();
    EXPECT_EQ(sock->State(), wsClosed);
    EXPECT_EQ(loop.WatchCount(), 0u);

    // Every close brings the defaults back: Port first, then Addr must be given again.
    EXPECT_EQ(sock->Proto(), "tcp");
    EXPECT_EQ(ErrorOf([&] { sock->Connect(); }), "Connect: No Port Specified");
    sock->SetPort(std::to_string(listener.Port()));
    EXPECT_EQ(ErrorOf([&] { sock->Connect(); }), "Connect: No IP Address Specified");
    sock->SetAddr(" \t ");
    EXPECT_EQ(ErrorOf([&] { sock->Connect(); }), "Connect: No IP Address Specified");
    EXPECT_EQ(sock->State(), wsClosed);
}

TEST_F(WSocket, ClosingInsideTheFailedConnectEventReportsOneClose) {
    sock->OnSessionConnected = [&](TWSocket& s, std::uint16_t e) {
        log.push_back("connected " + std::to_string(e));
        s.Close();
    };
    Target(*sock, UnusedTcpPort());
    sock->Connect();
    ASSERT_TRUE(WaitFor(loop, [&] { return Count("closed 0") > 0; }));
    Drain(loop, 50);
    EXPECT_EQ(Count("closed 0"), 1) << Log();
    EXPECT_EQ(loop.WatchCount(), 0u);
}

// Both texts the two clients use for the protocol give the same TCP connection.
class WSocketProto : public TWSocketFixture, public ::testing::WithParamInterface<const char*> {};

TEST_P(WSocketProto, ConnectsSendsReceivesAndCloses) {
    Target(*sock, listener.Port(), GetParam());
    sock->Connect();
    peer = listener.Accept();
    ASSERT_TRUE(WaitFor(loop, [&] { return sock->State() == wsConnected; }));
    EXPECT_EQ(log, (Lines{"state Closed->Opened", "state Opened->Connecting", "state Connecting->Connected",
                          "connected 0"}))
        << Log();
    log.clear();

    const std::string request = testing_support::Hex("01 00 00 00 FF FF FF FF FF FF FF FF") + std::string("\0x\r\n", 4);
    EXPECT_EQ(sock->SendText(request), static_cast<int>(request.size()));
    const std::string got = peer.ReadExactly(loop, request.size());
    EXPECT_EQ(got, request) << Escaped(got);
    ASSERT_TRUE(WaitFor(loop, [&] { return Count("sent 0") == 1; })) << Log();

    char none = 0;
    EXPECT_EQ(sock->Receive(&none, 1), -1);
    EXPECT_EQ(sock->LastError(), 10035);
    EXPECT_EQ(sock->ReceiveText(), "");

    std::string received;
    sock->OnDataAvailable = [&](TWSocket& s, std::uint16_t e) {
        EXPECT_EQ(e, 0);
        received += s.ReceiveText();
    };
    peer.Write(std::string("PING :a\0b\r\n", 11));
    ASSERT_TRUE(WaitFor(loop, [&] { return received.size() == 11; }));
    EXPECT_EQ(received, std::string("PING :a\0b\r\n", 11)) << Escaped(received);
    EXPECT_EQ(sock->ReadCount(), 11);

    log.clear();
    sock->Close();
    EXPECT_EQ(log, (Lines{"state Connected->Closed", "closed 0"})) << Log();
    EXPECT_EQ(sock->ReadCount(), 0);
    EXPECT_TRUE(peer.SeesEof(loop));
    Drain(loop, 30);
    EXPECT_EQ(log.size(), 2u) << Log();
    EXPECT_EQ(loop.WatchCount(), 0u);
}

INSTANTIATE_TEST_SUITE_P(TcpByNumberAndName, WSocketProto, ::testing::Values("6", "tcp"));

TEST_F(WSocket, PeerCloseAfterDataLetsTheOwnerReadTheLastBytesFirst) {
    Open();
    std::string received;
    int calls = 0;
    sock->OnDataAvailable = [&](TWSocket& s, std::uint16_t e) {
        ++calls;
        log.push_back("data " + std::to_string(e));
        char buf[4];  // small reads: the loop must call again while bytes wait
        const int n = s.Receive(buf, sizeof buf);
        if (n > 0) received.append(buf, static_cast<std::size_t>(n));
    };
    peer.Write("last bytes before close");
    peer.Close();
    ASSERT_TRUE(WaitFor(loop, [&] { return Count("closed 0") > 0; })) << Log();
    Drain(loop, 30);
    EXPECT_EQ(received, "last bytes before close");
    EXPECT_GE(calls, 6);
    // The peer's close is reported first; the connection then closes itself.
    ASSERT_GE(log.size(), 3u);
    EXPECT_EQ(log[log.size() - 3], "data 0") << Log();
    EXPECT_EQ(log[log.size() - 2], "closed 0") << Log();
    EXPECT_EQ(log.back(), "state Connected->Closed") << Log();
    EXPECT_EQ(Count("closed 0"), 1);
    EXPECT_EQ(sock->State(), wsClosed);
    EXPECT_EQ(loop.WatchCount(), 0u);
}

TEST_F(WSocket, ABurstIsReadInTurnsSoThatTheLoopRunsInBetweenAndNoByteIsLostOrMoved) {
    Open();
    // The peer fills both sides' buffers before the loop turns: everything waits at once.
    std::string sent;
    for (int i = 0;;) {
        std::string chunk;
        for (int k = 0; k < 400; ++k, ++i) {
            char line[16];
            std::snprintf(line, sizeof line, "%010d\r\n", i);
            chunk += line;
        }
        const ssize_t n = ::send(peer.Fd(), chunk.data(), chunk.size(), MSG_DONTWAIT | MSG_NOSIGNAL);
        if (n > 0) sent.append(chunk, 0, static_cast<std::size_t>(n));
        if (n < static_cast<ssize_t>(chunk.size())) break;
    }
    peer.Close();
    ASSERT_GT(sent.size(), static_cast<std::size_t>(4 * sock->ReadBudget));

    std::string received;
    std::size_t receivedWhenPostedRan = 0;
    sock->OnDataAvailable = [&](TWSocket& s, std::uint16_t) {
        char buf[8192];
        const int n = s.Receive(buf, sizeof buf);
        if (n > 0) received.append(buf, static_cast<std::size_t>(n));
        if (received.size() == static_cast<std::size_t>(n))
            loop.Post([&] { receivedWhenPostedRan = received.size(); });
    };
    ASSERT_TRUE(WaitFor(loop, [&] { return Count("closed 0") > 0; }, 20000)) << Log();
    EXPECT_GT(receivedWhenPostedRan, 0u);
    EXPECT_LE(receivedWhenPostedRan, static_cast<std::size_t>(sock->ReadBudget + 8192))
        << "the loop got its turn only after " << receivedWhenPostedRan << " of " << sent.size() << " bytes";
    ASSERT_EQ(received.size(), sent.size());
    EXPECT_TRUE(received == sent);
}

TEST_F(WSocket, PeerResetIsReportedWithItsError) {
    Open();
    int calls = 0;
    sock->OnDataAvailable = [&](TWSocket& s, std::uint16_t) {
        ++calls;
        s.ReceiveText();
    };
    peer.Reset();
    ASSERT_TRUE(WaitFor(loop, [&] { return sock->State() == wsClosed; })) << Log();
    Drain(loop, 30);
    EXPECT_EQ(log, (Lines{"closed 10054", "state Connected->Closed"})) << Log();
    EXPECT_EQ(loop.WatchCount(), 0u);
}

TEST_F(WSocket, CloseInsideDataEventReportsBeforeReturningAndEndsTheLoop) {
    Open();
    int calls = 0;
    bool closedBeforeReturn = false;
    sock->OnDataAvailable = [&](TWSocket& s, std::uint16_t) {
        ++calls;
        char buf[2];
        s.Receive(buf, sizeof buf);  // leaves bytes waiting
        s.Close();
        closedBeforeReturn = Count("closed 0") == 1;
    };
    peer.Write("more than two bytes");
    ASSERT_TRUE(WaitFor(loop, [&] { return calls > 0; }));
    Drain(loop, 50);
    EXPECT_TRUE(closedBeforeReturn);
    EXPECT_EQ(calls, 1);
    EXPECT_EQ(log, (Lines{"state Connected->Closed", "closed 0"})) << Log();
    EXPECT_EQ(loop.WatchCount(), 0u);
}

TEST_F(WSocket, CloseOnTheEmptyReadAtPeerCloseIsReportedOnce) {
    Open();
    sock->OnDataAvailable = [&](TWSocket& s, std::uint16_t) {
        char buf[64];
        if (s.Receive(buf, sizeof buf) == 0) s.Close();
    };
    peer.Write("x");
    peer.Close();
    ASSERT_TRUE(WaitFor(loop, [&] { return sock->State() == wsClosed; }));
    Drain(loop, 30);
    EXPECT_EQ(Count("closed 0"), 1) << Log();
    EXPECT_EQ(loop.WatchCount(), 0u);
}

TEST_F(WSocket, WithoutDataHandlerBytesAreDiscardedAndPeerCloseStillReported) {
    Open();
    peer.Write(std::string(5000, 'z'));
    peer.Close();
    ASSERT_TRUE(WaitFor(loop, [&] { return Count("closed 0") == 1; })) << Log();
    EXPECT_EQ(sock->State(), wsClosed);
    EXPECT_EQ(loop.WatchCount(), 0u);
}

TEST_F(WSocket, ExceptionInDataEventIsSwallowedAndTheConnectionStaysOpen) {
    Open();
    std::string received;
    int calls = 0;
    sock->OnDataAvailable = [&](TWSocket& s, std::uint16_t) {
        ++calls;
        received += s.ReceiveText();
        if (calls == 1) throw std::runtime_error("handler failed");
    };
    peer.Write("one");
    ASSERT_TRUE(WaitFor(loop, [&] { return calls == 1; }));
    peer.Write("two");
    ASSERT_TRUE(WaitFor(loop, [&] { return received == "onetwo"; })) << Escaped(received);
    EXPECT_EQ(sock->State(), wsConnected);
    EXPECT_TRUE(log.empty()) << Log();
    sock->SendText("still open");
    EXPECT_EQ(peer.ReadExactly(loop, 10), "still open");
    sock->Close();
    EXPECT_EQ(Count("closed 0"), 1);
    EXPECT_EQ(loop.WatchCount(), 0u);
}

TEST_F(WSocket, HandlerThatReadsNothingIsNotCalledAgainUntilItReads) {
    Open();
    int calls = 0;
    bool read = false;
    std::string received;
    sock->OnDataAvailable = [&](TWSocket& s, std::uint16_t) {
        ++calls;
        if (read) received += s.ReceiveText();
        else if (calls == 2) throw std::runtime_error("not now");
    };
    peer.Write("waiting");
    ASSERT_TRUE(WaitFor(loop, [&] { return calls == 1; }));
    Drain(loop, 50);
    EXPECT_EQ(calls, 1);  // neither spins inside one notification nor across turns

    // A read from outside any event picks the bytes up and asks for notifications again.
    EXPECT_EQ(sock->ReceiveText(), "waiting");
    peer.Write("next");
    ASSERT_TRUE(WaitFor(loop, [&] { return calls == 2; }));  // throws without reading
    Drain(loop, 50);
    EXPECT_EQ(calls, 2);
    read = true;
    EXPECT_EQ(sock->ReceiveText(), "next");
    peer.Write("last");
    ASSERT_TRUE(WaitFor(loop, [&] { return received == "last"; }));
    EXPECT_EQ(sock->State(), wsConnected);
    sock->Close();
}

TEST_F(WSocket, ExceptionInConnectEventEndsInAbortWithOneClose) {
    sock->OnSessionConnected = [&](TWSocket&, std::uint16_t e) {
        log.push_back("connected " + std::to_string(e));
        throw std::runtime_error("owner failed");
    };
    Target(*sock, listener.Port());
    sock->Connect();
    peer = listener.Accept();
    ASSERT_TRUE(WaitFor(loop, [&] { return Count("closed 0") > 0; })) << Log();
    Drain(loop, 30);
    EXPECT_EQ(log, (Lines{"state Closed->Opened", "state Opened->Connecting", "state Connecting->Connected",
                          "connected 0", "state Connected->Closed", "closed 0"}))
        << Log();
    EXPECT_EQ(sock->LingerOnOff(), wsLingerOn);  // defaults are back after the abort
    EXPECT_TRUE(peer.SeesEof(loop));
    EXPECT_EQ(loop.WatchCount(), 0u);
}

TEST_F(WSocket, BackgroundExceptionHandlerSeesTheErrorAndMayKeepTheConnection) {
    std::string seen;
    sock->OnBgException = [&](TWSocket&, const std::exception& e, bool& canClose) {
        seen = e.what();
        canClose = false;
    };
    sock->OnSessionConnected = [&](TWSocket&, std::uint16_t) { throw std::runtime_error("owner failed"); };
    Target(*sock, listener.Port());
    sock->Connect();
    peer = listener.Accept();
    ASSERT_TRUE(WaitFor(loop, [&] { return !seen.empty(); }));
    EXPECT_EQ(seen, "owner failed");
    EXPECT_EQ(sock->State(), wsConnected);
    sock->Close();
    EXPECT_EQ(Count("closed 0"), 1);
}

TEST_F(WSocket, ExceptionInClosedEventDoesNotEscapeOrRepeat) {
    Open();
    int closes = 0;
    sock->OnSessionClosed = [&](TWSocket&, std::uint16_t) {
        ++closes;
        throw std::runtime_error("owner failed");
    };
    peer.Close();
    ASSERT_TRUE(WaitFor(loop, [&] { return sock->State() == wsClosed; }));
    Drain(loop, 30);
    EXPECT_EQ(closes, 1);
    EXPECT_EQ(loop.WatchCount(), 0u);
}

TEST_F(WSocket, SendWhileClosedRaisesNotConnected) {
    EXPECT_EQ(ErrorOf([&] { sock->SendText("x"); }), "Error 10057 in function Send\r\nSocket is not connected");
    EXPECT_EQ(sock->LastError(), 10057);
    EXPECT_EQ(ErrorOf([&] { sock->ReceiveText(); }),
              "Error 10038 in function ioctlSocket\r\nSocket operation on non-socket");

    int errors = 0;
    sock->OnError = [&](TWSocket&) { ++errors; };
    EXPECT_EQ(sock->SendText("x"), -1);
    EXPECT_EQ(errors, 1);
    EXPECT_EQ(ErrorOf([&] { sock->ReceiveText(); }), "");
    EXPECT_EQ(errors, 2);  // the pending-byte query fails on a closed connection
}

TEST_F(WSocket, PropertiesChangeOnlyWhileClosed) {
    sock->SetAddr("  127.0.0.1\t");
    EXPECT_EQ(sock->Addr(), "127.0.0.1");
    Open();
    EXPECT_EQ(ErrorOf([&] { sock->SetAddr("127.0.0.1"); }), "");
    EXPECT_EQ(ErrorOf([&] { sock->SetProto("tcp"); }), "");
    EXPECT_EQ(ErrorOf([&] { sock->SetLocalAddr("0.0.0.0"); }), "");
    EXPECT_EQ(ErrorOf([&] { sock->SetAddr("127.0.0.2"); }), "Cannot change Addr if not closed");
    EXPECT_EQ(ErrorOf([&] { sock->SetPort("1"); }), "Cannot change Port if not closed");
    EXPECT_EQ(ErrorOf([&] { sock->SetProto("6"); }), "Cannot change Proto if not closed");
    EXPECT_EQ(ErrorOf([&] { sock->SetLocalAddr("127.0.0.1"); }), "Cannot change LocalAddr if not closed");
    EXPECT_EQ(ErrorOf([&] { sock->SetLocalPort("5"); }), "Cannot change LocalPort if not closed");
    EXPECT_EQ(ErrorOf([&] { sock->Connect(); }), "Connect: Socket already in use");
    EXPECT_EQ(sock->Addr(), "127.0.0.1");
    EXPECT_EQ(sock->State(), wsConnected);
    EXPECT_TRUE(log.empty()) << Log();
    sock->Close();
}

TEST_F(WSocket, ResolutionFailuresLeaveTheConnectionClosed) {
    std::vector<std::string> asked;
    sock->HostLookup = [&](const std::string& name, std::uint32_t&) {
        asked.push_back(name);
        return 11001;
    };
    sock->SetPort("1");
    sock->SetAddr("10.0.0.300");
    EXPECT_EQ(ErrorOf([&] { sock->Connect(); }),
              "connect: WSocketResolveHost: Cannot convert host address '10.0.0.300', Error #11001");
    EXPECT_EQ(asked, (Lines{"10.0.0.300"}));

    sock->SetAddr("127.0.0.1");
    sock->SetProto("nosuchprotocol");
    EXPECT_EQ(ErrorOf([&] { sock->Connect(); }),
              "connect: WSocketResolveProto: Cannot convert protocol 'nosuchprotocol', Error #11004");
    sock->SetProto("tcp");
    sock->SetPort(std::string(32, '1'));
    EXPECT_EQ(ErrorOf([&] { sock->Connect(); }), "connect: WSocketResolvePort: Invalid Port.");
    EXPECT_EQ(sock->State(), wsClosed);
    EXPECT_TRUE(log.empty()) << Log();
    EXPECT_EQ(loop.WatchCount(), 0u);
}

TEST_F(WSocket, InjectedLookupResolvesANameToTheListener) {
    sock->HostLookup = [](const std::string& name, std::uint32_t& address) {
        if (name != "tracker.test") return 11001;
        address = htonl(INADDR_LOOPBACK);
        return 0;
    };
    sock->SetPort(std::to_string(listener.Port()));
    sock->SetAddr("tracker.test");
    sock->Connect();
    peer = listener.Accept();
    ASSERT_TRUE(WaitFor(loop, [&] { return Count("connected 0") == 1; })) << Log();
    sock->Abort();
    EXPECT_EQ(Count("closed 0"), 1);
    EXPECT_EQ(loop.WatchCount(), 0u);
}

TEST_F(WSocket, ReusedAfterCloseAndLateNotificationsOfTheOldHandleAreDropped) {
    Open();
    sock->SendText("queued a write notification");
    sock->Close();  // before the notification runs
    log.clear();
    peer.Close();

    Target(*sock, listener.Port());
    sock->Connect();
    peer = listener.Accept();
    ASSERT_TRUE(WaitFor(loop, [&] { return Count("connected 0") == 1; })) << Log();
    Drain(loop, 30);
    EXPECT_EQ(Count("sent 0"), 0) << Log();
    sock->Close();
    EXPECT_EQ(Count("closed 0"), 1);
}

TEST_F(WSocket, DestroyingAnOpenConnectionRaisesNothingAndRunsNothingLater) {
    Open();
    sock->SendText("queued a write notification");
    sock.reset();
    Drain(loop, 30);
    EXPECT_TRUE(log.empty()) << Log();
    EXPECT_EQ(loop.WatchCount(), 0u);
    EXPECT_TRUE(peer.SeesEof(loop));
}

TEST_F(WSocket, OwnerMayConnectAgainFromInsideTheClosedEvent) {
    Target(*sock, UnusedTcpPort());
    int attempts = 0;
    sock->OnSessionClosed = [&](TWSocket& s, std::uint16_t e) {
        log.push_back("closed " + std::to_string(e));
        if (++attempts == 1) {
            Target(s, listener.Port());
            s.Connect();
        }
    };
    sock->Connect();
    ASSERT_TRUE(WaitFor(loop, [&] { return Count("connected 0") == 1; })) << Log();
    peer = listener.Accept();
    EXPECT_EQ(sock->State(), wsConnected);
    EXPECT_EQ(sock->Addr(), "127.0.0.1");
    sock->Close();
    EXPECT_EQ(attempts, 2);
    EXPECT_EQ(loop.WatchCount(), 0u);
}

TEST_F(WSocket, OwnerSendsFromTheConnectEventAndAbortsFromTheDataEvent) {
    sock->OnSessionConnected = [&](TWSocket& s, std::uint16_t e) {
        EXPECT_TRUE(s.InEvent());
        if (e == 0) s.SendText("NICK a\r\nUSER b\r\n");
    };
    int calls = 0;
    sock->OnDataAvailable = [&](TWSocket& s, std::uint16_t) {
        ++calls;
        s.ReceiveText();
        s.Abort();
    };
    Target(*sock, listener.Port());
    sock->Connect();
    peer = listener.Accept();
    EXPECT_EQ(peer.ReadExactly(loop, 16), "NICK a\r\nUSER b\r\n");
    EXPECT_FALSE(sock->InEvent());
    peer.Write("ERROR :bye\r\n");
    ASSERT_TRUE(WaitFor(loop, [&] { return sock->State() == wsClosed; }));
    Drain(loop, 30);
    EXPECT_EQ(calls, 1);
    EXPECT_EQ(Count("closed 0"), 1) << Log();
    EXPECT_EQ(loop.WatchCount(), 0u);
}
