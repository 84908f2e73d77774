// SPDX-License-Identifier: GPL-3.0-or-later
// The connection and the datagram socket on Winsock: real loopback peers, one walk each.
// windows.h renames SetPort to SetPortA; the library was built without that macro.
#include <winsock2.h>
#undef SetPort

#include "net/NMConst.h"
#include "net/NMUDP.h"
#include "net/PollEventLoop.h"
#include "net/WSocket.h"
#include "net/WSocketApi.h"
#include "support/TestSupport.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

using testing_support::TTcpListener;
using testing_support::TUdpPeer;
using testing_support::WaitFor;

namespace {

struct TRecorded {
    std::vector<std::string> events;
    std::string received;
};

void Record(TWSocket& s, TRecorded& r) {
    s.OnSessionConnected = [&r](TWSocket&, std::uint16_t e) { r.events.push_back("connected " + std::to_string(e)); };
    s.OnSessionClosed = [&r](TWSocket&, std::uint16_t e) { r.events.push_back("closed " + std::to_string(e)); };
    s.OnDataAvailable = [&r](TWSocket& sender, std::uint16_t) { r.received += sender.ReceiveText(); };
}

std::string PeerRead(SOCKET s, std::size_t want) {
    std::string got;
    char buf[256];
    while (got.size() < want) {
        const int n = ::recv(s, buf, sizeof buf, 0);
        if (n <= 0) break;
        got.append(buf, static_cast<std::size_t>(n));
    }
    return got;
}

}  // namespace

TEST(WinsockLoop, ConnectionWalksConnectDataBothWaysAndPeerClose) {
    TPollEventLoop loop;
    TTcpListener listener;
    TRecorded r;
    {
        TWSocket socket(loop);
        Record(socket, r);
        socket.SetAddr("127.0.0.1");
        socket.SetPort(std::to_string(listener.Port()));
        socket.SetProto("tcp");
        socket.Connect();
        const SOCKET peer = static_cast<SOCKET>(static_cast<unsigned>(listener.Accept()));
        ASSERT_NE(peer, INVALID_SOCKET);
        ASSERT_TRUE(WaitFor(loop, [&] { return socket.State() == wsConnected; }));

        ASSERT_EQ(::send(peer, "hello\r\n", 7, 0), 7);
        ASSERT_TRUE(WaitFor(loop, [&] { return r.received == "hello\r\n"; })) << r.received;

        socket.SendText("PING x\r\n");
        ASSERT_TRUE(WaitFor(loop, [&] { return socket.AllSent(); }));
        EXPECT_EQ(PeerRead(peer, 8), "PING x\r\n");

        ::closesocket(peer);
        ASSERT_TRUE(WaitFor(loop, [&] { return socket.State() == wsClosed; }));
        EXPECT_EQ(r.events, (std::vector<std::string>{"connected 0", "closed 0"}));
    }
    EXPECT_EQ(loop.WatchCount(), 0u);
}

TEST(WinsockLoop, RefusedConnectionReportsWinsocksOwnNumber) {
    TPollEventLoop loop;
    TRecorded r;
    TWSocket socket(loop);
    Record(socket, r);
    socket.SetAddr("127.0.0.1");
    socket.SetPort(std::to_string(testing_support::UnusedTcpPort()));
    socket.SetProto("tcp");
    socket.Connect();
    ASSERT_TRUE(WaitFor(loop, [&] { return r.events.size() == 2; }, 10000));
    EXPECT_EQ(r.events, (std::vector<std::string>{"connected 10061", "closed 0"}));
    EXPECT_EQ(ErrorText(10061), "Connection refused");
}

TEST(WinsockLoop, DatagramsBothWaysAndANameLookedUpOnItsThread) {
    TPollEventLoop loop;
    TUdpPeer peer;
    std::vector<std::string> got;
    int fromPort = 0;
    {
        TNMUDP udp(loop);
        udp.SetLocalPort(0);
        ASSERT_NE(udp.LocalPort(), 0);
        udp.OnDataReceived = [&](TNMUDP& s, int count, const std::string& ip, int port) {
            std::string bytes;
            if (count >= 0) s.ReadDatagram(bytes);
            got.push_back(ip + ":" + std::to_string(port) + " " + std::to_string(count) + " " + bytes);
        };
        // "localhost" is a name: the lookup runs on a helper thread that wakes the loop through
        // a loopback socket, since WSAPoll watches nothing else.
        udp.RemoteHost = "localhost";
        udp.RemotePort = peer.Port();
        udp.SendDatagram("status?");
        std::string bytes;
        ASSERT_TRUE(peer.Receive(bytes, fromPort));
        EXPECT_EQ(bytes, "status?");
        EXPECT_EQ(fromPort, udp.LocalPort());

        peer.SendTo(udp.LocalPort(), "reply");
        // Longer than the receive buffer: Winsock fails it, and it must read as a cut datagram.
        peer.SendTo(udp.LocalPort(), std::string(nmconst::kReceiveBufferSize + 1, 'x'));
        ASSERT_TRUE(WaitFor(loop, [&] { return got.size() >= 2; }));
        const std::string from = "127.0.0.1:" + std::to_string(peer.Port());
        EXPECT_EQ(got[0], from + " 5 reply");
        EXPECT_EQ(got[1], from + " -1 ");
    }
    EXPECT_EQ(loop.WatchCount(), 0u);
}

TEST(WinsockLoop, APortTakenByAnotherSocketIsReportedWithWinsocksText) {
    TPollEventLoop loop;
    TNMUDP first(loop);
    first.SetLocalPort(0);
    TNMUDP second(loop);
    try {
        second.SetLocalPort(first.LocalPort());
        ADD_FAILURE() << "the second bind succeeded";
    } catch (const UDPSockError& e) {
        EXPECT_EQ(std::string(e.what()), "Cannot bind UDP port " + std::to_string(first.LocalPort()) + ": Address already in use");
    }
}

// Winsock has no inet_aton; the back end's own reading must match glibc's, which the Linux
// build uses: short forms, octal and hex parts, and what is not an address.
TEST(WinsockLoop, DottedAddressesReadAsInetAtonReadsThem) {
    const std::pair<const char*, const char*> addresses[] = {
        {"127.0.0.01", "127.0.0.1"}, {"127.1", "127.0.0.1"},       {"127.0.1", "127.0.0.1"},
        {"0x7f.0.0.1", "127.0.0.1"}, {"0177.0.0.1", "127.0.0.1"},  {"2130706433", "127.0.0.1"},
        {"0.0", "0.0.0.0"},          {"1.2.3.4 x", "1.2.3.4"},     {"4294967295", "255.255.255.255"},
        {"1.2.3.4.5", nullptr},      {"256.1.1.1", nullptr},       {"08.1.1.1", nullptr},
        {"1..2", nullptr},           {"", nullptr},                {"4294967296", nullptr},
        {"1.2.65536", nullptr},      {"host.example", nullptr},    {"1.2.3.4.", nullptr},
    };
    for (const auto& [text, want] : addresses) {
        std::uint32_t addr = 0;
        const bool ok = wsapi::ParseDottedAddress(text, addr);
        const auto* b = reinterpret_cast<const unsigned char*>(&addr);
        const std::string got = std::to_string(b[0]) + "." + std::to_string(b[1]) + "." + std::to_string(b[2]) + "." +
                                std::to_string(b[3]);
        if (want) EXPECT_TRUE(ok && got == want) << text << " read as " << (ok ? got : "no address");
        else EXPECT_FALSE(ok) << text << " read as " << got;
    }
}
