// SPDX-License-Identifier: GPL-3.0-or-later
// The TCP connection's send queue: 1514-byte blocks, partial sends, send failures.
#include "WSocketTestPeer.h"

#include <algorithm>

using namespace wsocket_test;
using testing_support::Drain;
using testing_support::Escaped;
using testing_support::WaitFor;

using WSocketSend = TWSocketFixture;

namespace {

std::string Pattern(std::size_t n) {
    std::string s(n, '\0');
    for (std::size_t i = 0; i < n; ++i) s[i] = static_cast<char>(i * 7 % 251);
    return s;
}

}  // namespace

TEST_F(WSocketSend, BlocksOf1514GoOutOnePerCallAndTheRestOnWriteNotifications) {
    Open();
    std::vector<int> offers;
    int budget = 3000;
    sock->SendLimiter = [&](int offered) {
        offers.push_back(offered);
        const int take = std::min(offered, budget);
        budget -= take;
        return take;
    };
    const std::string data = Pattern(5000);
    EXPECT_EQ(sock->Send(data.data(), 5000), 5000);
    EXPECT_EQ(offers, (std::vector<int>{1514, 1514}));
    EXPECT_EQ(sock->BufferCount(), 3u);  // the first block is freed
    EXPECT_EQ(sock->BufferedBytes(), 2000u);
    EXPECT_FALSE(sock->AllSent());

    std::string got = peer.ReadExactly(loop, 3000, 200);
    EXPECT_EQ(got.size(), 3000u);
    Drain(loop, 20);  // the write notifications are refused while the budget is spent
    EXPECT_EQ(Count("sent 0"), 0) << Log();

    budget = 1 << 20;
    got += peer.ReadExactly(loop, 2000);
    ASSERT_EQ(got.size(), 5000u);
    EXPECT_TRUE(got == data) << Escaped(got.substr(0, 64));
    ASSERT_TRUE(WaitFor(loop, [&] { return Count("sent 0") == 1; })) << Log();
    offers.erase(std::remove(offers.begin(), offers.end(), 0), offers.end());
    ASSERT_GE(offers.size(), 5u);
    EXPECT_EQ((std::vector<int>(offers.end() - 3, offers.end())), (std::vector<int>{28, 1514, 458}));
    EXPECT_EQ(sock->BufferCount(), 1u);  // the last block stays for reuse
    EXPECT_EQ(sock->BufferedBytes(), 0u);
    EXPECT_TRUE(sock->AllSent());
    sock->Close();
    EXPECT_EQ(loop.WatchCount(), 0u);
}

TEST_F(WSocketSend, NewBytesFillTheLastBlockBeforeANewOneIsAdded) {
    Open();
    std::vector<int> offers;
    sock->SendLimiter = [&](int offered) {
        offers.push_back(offered);
        return 0;  // would block
    };
    const std::string data = Pattern(2100);
    EXPECT_EQ(sock->Send(data.data(), 100), 100);
    EXPECT_EQ(sock->Send(data.data() + 100, 2000), 2000);
    EXPECT_EQ(sock->BufferCount(), 2u);
    EXPECT_EQ(offers, (std::vector<int>{100, 1514}));
    EXPECT_EQ(sock->Send(nullptr, 0), 0);
    EXPECT_EQ(sock->Send(nullptr, -5), 0);

    sock->SendLimiter = nullptr;
    EXPECT_EQ(peer.ReadExactly(loop, 2100), data);
    sock->Close();
}

TEST_F(WSocketSend, FatalSendErrorClosesAndReportsThatError) {
    Open();
    sock->SendLimiter = [](int) { return -10054; };
    EXPECT_EQ(sock->SendText("doomed"), 6);
    EXPECT_EQ(log, (Lines{"state Connected->Closed", "closed 10054"})) << Log();
    Drain(loop, 30);
    EXPECT_EQ(log.size(), 2u) << Log();
    EXPECT_EQ(loop.WatchCount(), 0u);
}

TEST_F(WSocketSend, OtherSendErrorRaisesAndKeepsTheConnection) {
    Open();
    sock->SendLimiter = [](int) { return -10055; };
    EXPECT_EQ(ErrorOf([&] { sock->SendText("x"); }),
              "Error 10055 in function TryToSend failed\r\nNo buffer space available");
    EXPECT_EQ(sock->State(), wsConnected);
    sock->SendLimiter = nullptr;
    sock->SendText("y");
    EXPECT_EQ(peer.ReadExactly(loop, 2), "xy");
    sock->Close();
}

TEST_F(WSocketSend, SendingToAResetPeerEndsTheConnectionWithoutASignal) {
    Open();
    peer.Reset();
    // The loop does not run, so only the send can find the reset (EPIPE would be SIGPIPE).
    const std::string big(200000, 'b');
    for (int i = 0; i < 5 && sock->State() == wsConnected; ++i) sock->SendText(big);
    EXPECT_EQ(sock->State(), wsClosed);
    EXPECT_EQ(log, (Lines{"state Connected->Closed", "closed 10054"})) << Log();
    Drain(loop, 20);
    EXPECT_EQ(log.size(), 2u) << Log();
    EXPECT_EQ(loop.WatchCount(), 0u);
}

TEST_F(WSocketSend, AbortDropsQueuedBytesAndReportsOneClose) {
    Open();
    sock->SendLimiter = [](int) { return 0; };
    sock->SendText(Pattern(4000));
    sock->Abort();
    EXPECT_EQ(sock->BufferCount(), 0u);
    EXPECT_EQ(log, (Lines{"state Connected->Closed", "closed 0"})) << Log();
    sock->Abort();
    sock->Close();
    EXPECT_EQ(log.size(), 2u) << Log();
    EXPECT_TRUE(peer.SeesEof(loop));
    EXPECT_EQ(peer.ReadSome(), "");
}
