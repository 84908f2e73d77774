// SPDX-License-Identifier: GPL-3.0-or-later
// TLS on the TCP connection against peers no real server plays: garbage, a close half-way,
// silence. The real handshakes are walked against ngircd in the chat tests.
#include "WSocketTestPeer.h"

using namespace wsocket_test;
using testing_support::WaitFor;

using WSocketTls = TWSocketFixture;

TEST_F(WSocketTls, BrokenHandshakesFailOnceWithTheirReasonAndCloseTheConnection) {
    struct TCase {
        const char* name;
        void (*peer)(TPeer&);
        const char* reason;
    } cases[] = {
        {"garbage", [](TPeer& p) { p.Write("HTTP/1.1 400 Bad Request\r\n\r\n" + std::string(70000, 'x')); },
         "TLS handshake failed"},
        {"close half-way", [](TPeer& p) { p.Close(); }, "closed the connection during the TLS handshake"},
        {"silence", [](TPeer&) {}, "did not finish within"},
    };
    for (const TCase& c : cases) {
        SCOPED_TRACE(c.name);
        log.clear();
        sock->Tls.Enabled = true;
        sock->Tls.ServerName = "localhost";
        sock->Tls.HandshakeLimit = std::chrono::milliseconds(300);
        Target(*sock, listener.Port());
        sock->Connect();
        peer = listener.Accept();
        ASSERT_GE(peer.Fd(), 0);
        // The client speaks first: its hello arrives before the peer misbehaves.
        const std::string hello = peer.ReadExactly(loop, 5);
        ASSERT_GE(hello.size(), 5u);
        EXPECT_EQ(hello[0], '\x16');  // a handshake record
        c.peer(peer);
        ASSERT_TRUE(WaitFor(loop, [&] { return Count("closed 10053") == 1; }, 3000)) << Log();
        EXPECT_EQ(Count("connected 10053"), 1) << Log();
        EXPECT_EQ(Count("connected 0"), 0) << Log();
        EXPECT_EQ(sock->State(), wsClosed);
        const TTlsFailure& f = sock->TlsFailure();
        EXPECT_TRUE(f.Failed);
        EXPECT_FALSE(f.CertificateRejected);
        EXPECT_NE(f.Reason.find(c.reason), std::string::npos) << f.Reason;
        EXPECT_TRUE(f.Fingerprint.empty());
        EXPECT_EQ(loop.WatchCount(), 0u);
        EXPECT_EQ(loop.TimerCount(), 0u);
        peer.Close();
    }
}
