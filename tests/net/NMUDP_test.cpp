// SPDX-License-Identifier: GPL-3.0-or-later
// TNMUDP against real datagrams on 127.0.0.1: sending, resolving, receiving, binding, cleanup.
#include "net/NMUDP.h"
#include "support/TestLoop.h"
#include "support/TestSupport.h"

#include <gtest/gtest.h>

#include <arpa/inet.h>
#include <sys/resource.h>
#include <unistd.h>

#include <atomic>
#include <chrono>
#include <exception>
#include <memory>
#include <string>
#include <thread>
#include <vector>

using testing_support::Drain;
using testing_support::Escaped;
using testing_support::TTestLoop;
using testing_support::TUdpPeer;
using testing_support::WaitFor;

namespace {

struct TReceipt {
    int count;
    std::string bytes;
    std::string fromIP;
    int port;
    bool readFailed;
};

// Records every receipt with what ReadDatagram gave for it.
void Record(TNMUDP& udp, std::vector<TReceipt>& out) {
    udp.OnDataReceived = [&out](TNMUDP& sender, int count, const std::string& ip, int port) {
        TReceipt r{count, {}, ip, port, false};
        try {
            sender.ReadDatagram(r.bytes);
        } catch (const UDPSockError&) {
            r.readFailed = true;
        }
        out.push_back(r);
    };
}

// A resolver that knows a fixed set of names and counts its calls; never leaves the machine.
struct TFakeResolver {
    std::shared_ptr<std::atomic<int>> calls = std::make_shared<std::atomic<int>>(0);
    TNMUDP::TNameResolver Knowing(std::string name) const {
        return [calls = calls, name](const std::string& host, std::uint32_t& address) {
            ++*calls;
            if (host != name) return false;
            address = htonl(INADDR_LOOPBACK);
            return true;
        };
    }
};

template <class F>
std::string ErrorText(F&& f) {
    try {
        f();
    } catch (const std::exception& e) {
        return e.what();
    }
    return "(nothing raised)";
}

void ExpectCleanLoop(const TEventLoop& loop) {
    EXPECT_EQ(loop.WatchCount(), 0u);
    EXPECT_EQ(loop.TimerCount(), 0u);
}

}  // namespace

TEST(NMUDP, DottedAddressSendsBytesExactlyWithoutLookupOrMessageProcessing) {
    TTestLoop loop;
    TUdpPeer peer;
    {
        TNMUDP udp(loop);
        udp.SetLocalPort(0);
        ASSERT_NE(udp.LocalPort(), 0);
        TFakeResolver resolver;
        udp.NameResolver = resolver.Knowing("");
        int sent = 0;
        udp.OnDataSend = [&](TNMUDP& s) {
            EXPECT_EQ(&s, &udp);
            ++sent;
        };
        bool postedRan = false;
        loop.Post([&] { postedRan = true; });

        const std::string payload("\x00\xE2\xFF\r\n\x00z", 7);
        udp.RemoteHost = "127.0.0.1";
        udp.RemotePort = peer.Port();
        udp.SendDatagram(payload);

        EXPECT_EQ(*resolver.calls, 0);
        EXPECT_FALSE(postedRan) << "a dotted address must not process messages";
        EXPECT_EQ(sent, 1);
        std::string got;
        int fromPort = 0;
        ASSERT_TRUE(peer.Receive(got, fromPort));
        EXPECT_EQ(got, payload) << Escaped(got);
        EXPECT_EQ(fromPort, udp.LocalPort());
        loop.ProcessMessages();
    }
    ExpectCleanLoop(loop);
}

TEST(NMUDP, RefusedPayloadsRaiseAndSendNothing) {
    TTestLoop loop;
    TUdpPeer peer;
    {
        TNMUDP udp(loop);
        udp.SetLocalPort(0);
        int sent = 0;
        udp.OnDataSend = [&](TNMUDP&) { ++sent; };
        udp.RemotePort = peer.Port();

        udp.RemoteHost = "0.0.0.0";
        EXPECT_THROW(udp.SendDatagram(std::string("\x00\xE2", 2)), UDPSockError);
        EXPECT_EQ(ErrorText([&] { udp.SendDatagram(std::string("\x00\xE2", 2)); }), "Null Remote Address");

        udp.RemoteHost = "127.0.0.1";
        EXPECT_EQ(ErrorText([&] { udp.SendDatagram(""); }), "Invalid stream");
        EXPECT_THROW(udp.SendDatagram(std::string(2049, 'x')), UDPSockError);
        EXPECT_EQ(sent, 0);
        std::string got;
        int fromPort = 0;
        EXPECT_FALSE(peer.Receive(got, fromPort, 100)) << Escaped(got);

        // The largest accepted payload goes through whole.
        udp.SendDatagram(std::string(2048, 'y'));
        ASSERT_TRUE(peer.Receive(got, fromPort));
        EXPECT_EQ(got, std::string(2048, 'y'));
    }
    ExpectCleanLoop(loop);
}

TEST(NMUDP, EmptyStreamHandlerMayFillTheStreamOnce) {
    TTestLoop loop;
    TUdpPeer peer;
    TNMUDP udp(loop);
    udp.RemoteHost = "127.0.0.1";
    udp.RemotePort = peer.Port();
    int calls = 0;
    udp.OnStreamInvalid = [&](bool& handled, std::string& stream) {
        ++calls;
        handled = true;
        if (calls == 1) stream = "filled";
    };
    udp.SendDatagram("");
    std::string got;
    int fromPort = 0;
    ASSERT_TRUE(peer.Receive(got, fromPort));
    EXPECT_EQ(got, "filled");

    // Handled but still empty: raised after one call, not asked again.
    EXPECT_EQ(ErrorText([&] { udp.SendDatagram(""); }), "Invalid stream");
    EXPECT_EQ(calls, 2);

    udp.OnStreamInvalid = [&](bool&, std::string& stream) { stream = "ignored, not handled"; };
    EXPECT_EQ(ErrorText([&] { udp.SendDatagram(""); }), "Invalid stream");
    EXPECT_FALSE(peer.Receive(got, fromPort, 100)) << Escaped(got);
}

TEST(NMUDP, HostNameIsLookedUpWhileTheLoopKeepsRunning) {
    TTestLoop loop;
    TUdpPeer peer;
    {
        TNMUDP udp(loop);
        udp.SetLocalPort(0);
        bool postedRan = false;
        loop.Post([&] { postedRan = true; });
        int invalid = 0;
        udp.OnInvalidHost = [&](bool&) { ++invalid; };

        // The system resolver: "localhost" comes from the hosts file, not from the network.
        udp.RemoteHost = "localhost";
        udp.RemotePort = peer.Port();
        udp.SendDatagram("via lookup");

        EXPECT_TRUE(postedRan) << "the lookup must process messages while it waits";
        EXPECT_EQ(invalid, 0);
        std::string got;
        int fromPort = 0;
        ASSERT_TRUE(peer.Receive(got, fromPort));
        EXPECT_EQ(got, "via lookup");
    }
    ExpectCleanLoop(loop);
}

TEST(NMUDP, FailedLookupAsksOnInvalidHostOnceThenCancels) {
    TTestLoop loop;
    TUdpPeer peer;
    {
        TNMUDP udp(loop);
        udp.SetLocalPort(0);
        TFakeResolver resolver;
        udp.NameResolver = resolver.Knowing("game.test");
        int invalid = 0;
        udp.OnInvalidHost = [&](bool&) { ++invalid; };
        int sent = 0;
        udp.OnDataSend = [&](TNMUDP&) { ++sent; };
        udp.RemotePort = peer.Port();

        udp.RemoteHost = "no-such-server.invalid";
        try {
            udp.SendDatagram("x");
            ADD_FAILURE() << "nothing raised";
        } catch (const UDPSockError& e) {
            EXPECT_STREQ(e.what(), "Host Lookup Canceled");
        }
        EXPECT_EQ(invalid, 1);
        EXPECT_EQ(*resolver.calls, 2);
        EXPECT_EQ(sent, 0);

        // The second try reads RemoteHost again, so the handler can correct it.
        udp.OnInvalidHost = [&](bool&) {
            ++invalid;
            udp.RemoteHost = "game.test";
        };
        udp.RemoteHost = "typo.invalid";
        udp.SendDatagram("corrected");
        EXPECT_EQ(invalid, 2);
        EXPECT_EQ(sent, 1);
        std::string got;
        int fromPort = 0;
        ASSERT_TRUE(peer.Receive(got, fromPort));
        EXPECT_EQ(got, "corrected");
    }
    ExpectCleanLoop(loop);
}

TEST(NMUDP, PendingLookupIsCanceledByTerminationOrByTheOwnersDestruction) {
    TTestLoop loop;
    auto release = std::make_shared<std::atomic<bool>>(false);
    auto returned = std::make_shared<std::atomic<int>>(0);
    auto blocking = [release, returned](const std::string&, std::uint32_t& address) {
        while (!*release) std::this_thread::sleep_for(std::chrono::milliseconds(1));
        address = htonl(INADDR_LOOPBACK);
        ++*returned;
        return true;
    };

    {
        TNMUDP udp(loop);
        udp.NameResolver = blocking;
        udp.RemoteHost = "slow.test";
        udp.RemotePort = 9;
        int ticks = 0;
        TEventLoop::TimerId id = loop.StartTimer(std::chrono::milliseconds(5), [&] {
            if (++ticks == 3) {
                loop.StopTimer(id);
                loop.Terminate();
            }
        });
        EXPECT_EQ(ErrorText([&] { udp.SendDatagram("x"); }), "Host Lookup Canceled");
        EXPECT_EQ(ticks, 3);
        EXPECT_EQ(loop.WatchCount(), 0u) << "the abandoned lookup's pipe is still watched";
    }

    {
        TTestLoop loop2;
        auto udp = std::make_unique<TNMUDP>(loop2);
        udp->SetLocalPort(0);
        udp->NameResolver = blocking;
        udp->RemoteHost = "slow.test";
        udp->RemotePort = 9;
        loop2.Post([&] { udp.reset(); });
        TNMUDP* raw = udp.get();
        EXPECT_EQ(ErrorText([&] { raw->SendDatagram("x"); }), "Host Lookup Canceled");
        EXPECT_EQ(udp, nullptr);
        ExpectCleanLoop(loop2);
    }

    // Let the abandoned helper threads finish before the test ends.
    *release = true;
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(5);
    while (*returned < 2 && std::chrono::steady_clock::now() < deadline)
        std::this_thread::sleep_for(std::chrono::milliseconds(1));
    EXPECT_EQ(*returned, 2);
    ExpectCleanLoop(loop);
}

TEST(NMUDP, EachDatagramIsOneEventWithItsSenderAndAFloodIsTakenInTurns) {
    TTestLoop loop;
    TUdpPeer peer;
    {
        TNMUDP udp(loop);
        udp.SetLocalPort(0);
        std::vector<TReceipt> got;
        Record(udp, got);

        peer.SendTo(udp.LocalPort(), std::string("\x00\xE1..", 4));
        peer.SendTo(udp.LocalPort(), "second");
        ASSERT_TRUE(WaitFor(loop, [&] { return got.size() == 2; }));
        EXPECT_EQ(got[0].count, 4);
        EXPECT_EQ(got[0].bytes, std::string("\x00\xE1..", 4)) << Escaped(got[0].bytes);
        EXPECT_EQ(got[0].fromIP, "127.0.0.1");
        EXPECT_EQ(got[0].port, peer.Port());
        EXPECT_EQ(got[1].bytes, "second");

        // Loopback delivery is done when sendto returns, so all 100 are queued now.
        got.clear();
        for (int i = 0; i < 100; ++i) peer.SendTo(udp.LocalPort(), std::to_string(i));
        loop.ProcessMessages();
        EXPECT_EQ(got.size(), 64u) << "one readiness report must not take the whole flood";
        loop.ProcessMessages();
        ASSERT_EQ(got.size(), 100u);
        for (int i = 0; i < 100; ++i) EXPECT_EQ(got[i].bytes, std::to_string(i));
    }
    ExpectCleanLoop(loop);
}

TEST(NMUDP, DatagramLongerThanTheBufferIsAFailedReceipt) {
    TTestLoop loop;
    TUdpPeer peer;
    {
        TNMUDP udp(loop);
        udp.SetLocalPort(0);
        std::vector<TReceipt> got;
        Record(udp, got);

        peer.SendTo(udp.LocalPort(), std::string(2048, 'a'));
        peer.SendTo(udp.LocalPort(), std::string(3000, 'b'));
        peer.SendTo(udp.LocalPort(), "after");
        ASSERT_TRUE(WaitFor(loop, [&] { return got.size() == 3; }));
        EXPECT_EQ(got[0].count, 2048);
        EXPECT_EQ(got[0].bytes, std::string(2048, 'a'));
        EXPECT_EQ(got[1].count, -1);
        EXPECT_TRUE(got[1].readFailed);
        EXPECT_EQ(got[1].fromIP, "127.0.0.1");
        EXPECT_EQ(got[1].port, peer.Port());
        EXPECT_EQ(got[2].count, 5);
        EXPECT_FALSE(got[2].readFailed);
        EXPECT_EQ(got[2].bytes, "after");
    }
    ExpectCleanLoop(loop);
}

TEST(NMUDP, StatusTextsFollowReportLevel) {
    TTestLoop loop;
    TUdpPeer peer;
    TNMUDP udp(loop);
    std::vector<std::string> statuses;
    udp.OnStatus = [&](TNMUDP&, const std::string& s) { statuses.push_back(s); };
    udp.RemoteHost = "127.0.0.1";
    udp.RemotePort = peer.Port();

    udp.SendDatagram("a");
    EXPECT_TRUE(statuses.empty());
    EXPECT_EQ(udp.LastStatus(), "");

    udp.ReportLevel = 2;
    udp.SendDatagram("b");
    udp.SendDatagram("c");
    EXPECT_EQ(statuses, (std::vector<std::string>{"Sending Data", "Sending Data"}));
    EXPECT_EQ(udp.LastStatus(), "Sending Data");

    // A refused send is refused before the status is reported.
    udp.RemoteHost = "0.0.0.0";
    EXPECT_THROW(udp.SendDatagram("d"), UDPSockError);
    EXPECT_EQ(statuses.size(), 2u);
}

TEST(NMUDP, BindingATakenPortRaisesNamingPortAndReason) {
    TTestLoop loop;
    {
        TNMUDP first(loop);
        first.SetLocalPort(0);
        TNMUDP second(loop);
        const int port = first.LocalPort();
        EXPECT_EQ(ErrorText([&] { second.SetLocalPort(port); }),
                  "Cannot bind UDP port " + std::to_string(port) + ": Address already in use");
        EXPECT_THROW(second.SetLocalPort(70000), UDPSockError);

        // A failed bind leaves the socket usable for a later, successful one.
        second.SetLocalPort(0);
        EXPECT_NE(second.LocalPort(), 0);
        EXPECT_NE(second.LocalPort(), port);
        EXPECT_EQ(loop.WatchCount(), 2u);
    }
    ExpectCleanLoop(loop);
}

TEST(NMUDP, WithItsPortTakenTheFirstSendBindsAFreePortAndRepliesArrive) {
    TTestLoop loop;
    TUdpPeer server;
    {
        TNMUDP first(loop);  // the copy that started first
        first.SetLocalPort(0);
        TNMUDP udp(loop);
        EXPECT_THROW(udp.SetLocalPort(first.LocalPort()), UDPSockError);
        EXPECT_EQ(udp.LocalPort(), 0) << "not bound yet";
        std::vector<TReceipt> got;
        Record(udp, got);

        udp.RemoteHost = "127.0.0.1";
        udp.RemotePort = server.Port();
        udp.SendDatagram(std::string("\x00\xE2", 2));
        std::string query;
        int queryPort = 0;
        ASSERT_TRUE(server.Receive(query, queryPort));
        EXPECT_NE(queryPort, first.LocalPort());
        EXPECT_EQ(udp.LocalPort(), queryPort) << "the port the send bound is read back";

        server.SendTo(queryPort, "reply");
        ASSERT_TRUE(WaitFor(loop, [&] { return !got.empty(); })) << "the socket must still be watched";
        EXPECT_EQ(got[0].bytes, "reply");
        EXPECT_EQ(got[0].port, server.Port());
    }
    ExpectCleanLoop(loop);
}

TEST(NMUDP, DottedTextIsReadByInetAddrRulesWithoutALookup) {
    TTestLoop loop;
    TUdpPeer peer;
    {
        TNMUDP udp(loop);
        udp.SetLocalPort(0);
        TFakeResolver resolver;
        udp.NameResolver = resolver.Knowing("");
        // Leading zeros (octal), short forms and hex all name 127.0.0.1.
        for (const std::string host : {"127.0.0.01", "127.1", "127.0.1", "0x7f.0.0.1", "0177.0.0.1", "2130706433"}) {
            udp.RemoteHost = host;
            udp.RemotePort = peer.Port();
            udp.SendDatagram(host);
            std::string got;
            int fromPort = 0;
            ASSERT_TRUE(peer.Receive(got, fromPort)) << host;
            EXPECT_EQ(got, host);
        }
        udp.RemoteHost = "0.0";
        EXPECT_EQ(ErrorText([&] { udp.SendDatagram("x"); }), "Null Remote Address");
        EXPECT_EQ(*resolver.calls, 0) << "none of these is a name";
    }
    ExpectCleanLoop(loop);
}

TEST(NMUDP, RebindingMovesReceiptsToTheNewPortEvenFromInsideAReceipt) {
    TTestLoop loop;
    TUdpPeer peer;
    {
        TNMUDP udp(loop);
        udp.SetLocalPort(0);
        const int oldPort = udp.LocalPort();
        std::vector<TReceipt> got;
        udp.OnDataReceived = [&](TNMUDP& s, int count, const std::string& ip, int port) {
            got.push_back({count, {}, ip, port, false});
            if (got.size() == 1) s.SetLocalPort(0);
        };
        peer.SendTo(oldPort, "one");
        peer.SendTo(oldPort, "two");  // dropped with the old socket
        ASSERT_TRUE(WaitFor(loop, [&] { return !got.empty(); }));
        Drain(loop, 50);
        ASSERT_EQ(got.size(), 1u) << "the batch must stop at the rebinding";
        EXPECT_EQ(got[0].count, 3);
        EXPECT_NE(udp.LocalPort(), oldPort);
        EXPECT_EQ(loop.WatchCount(), 1u);

        peer.SendTo(udp.LocalPort(), "three");
        ASSERT_TRUE(WaitFor(loop, [&] { return got.size() == 2; }));
        EXPECT_EQ(got[1].count, 5);
    }
    ExpectCleanLoop(loop);
}

TEST(NMUDP, SocketCreationFailureRaisesTheErrorNumberText) {
    TTestLoop loop;
    // The component's socket takes the lowest free number; with the limit there, even the
    // number it frees when rebinding is out of reach, so socket() fails with EMFILE.
    const int lowestFree = ::dup(0);
    ASSERT_GE(lowestFree, 0);
    ::close(lowestFree);
    {
        TNMUDP udp(loop);
        udp.ReportLevel = 16;
        std::vector<std::string> statuses;
        udp.OnStatus = [&](TNMUDP&, const std::string& s) { statuses.push_back(s); };

        // UBSan checks a dynamic type through a pipe the first time it meets it; walk the same
        // paths once while descriptors are still to be had, so that its checks are cached.
        {
            TNMUDP warm(loop);
            EXPECT_THROW(warm.SetLocalPort(-1), UDPSockError);
        }
        rlimit old{};
        ASSERT_EQ(::getrlimit(RLIMIT_NOFILE, &old), 0);
        rlimit low = old;
        low.rlim_cur = static_cast<rlim_t>(lowestFree);
        ASSERT_EQ(::setrlimit(RLIMIT_NOFILE, &low), 0);
        // Only captured here: the sanitizers need a spare descriptor to inspect an exception.
        std::exception_ptr rebindError, createError;
        try {
            udp.SetLocalPort(0);
        } catch (...) {
            rebindError = std::current_exception();
        }
        try {
            TNMUDP other(loop);
        } catch (...) {
            createError = std::current_exception();
        }
        ASSERT_EQ(::setrlimit(RLIMIT_NOFILE, &old), 0);
        const std::string rebind = ErrorText([&] { if (rebindError) std::rethrow_exception(rebindError); });
        const std::string create = ErrorText([&] { if (createError) std::rethrow_exception(createError); });

        EXPECT_EQ(rebind, "Unknown Error No. 10024");
        EXPECT_EQ(create, "Unknown Error No. 10024");
        EXPECT_EQ(statuses, (std::vector<std::string>{"Checking Error In Error Manager",
                                                      "Looking Up Error Message" "Unknown Error No. 10024"}));
        EXPECT_EQ(loop.WatchCount(), 0u);

        // Sending without a socket is a failed send: not reported.
        udp.RemoteHost = "127.0.0.1";
        udp.RemotePort = 9;
        udp.SendDatagram("x");
        udp.SetLocalPort(0);
        EXPECT_EQ(loop.WatchCount(), 1u);
    }
    ExpectCleanLoop(loop);
}
