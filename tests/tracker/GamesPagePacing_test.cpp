// SPDX-License-Identifier: GPL-3.0-or-later
// Paced status queries: a burst of thousands of servers listed whole, sweeps over them losing
// no row, the window and send order, and the retries of a new server's first query.
#include "GamesPageFixture.h"
#include "tools/GameSimProcess.h"

#include <algorithm>

using testing_support::TUdpPeer;
using testing_support::WaitFor;

namespace {

// Every row of every list has answered its last query.
bool AllAnswered(const TGamesPage& page) {
    for (int g = 0; g < 4; ++g) {
        const TGameList& list = page.List(g);
        for (int i = 0; i < list.Count(); ++i)
            if (list.Row(i).Miss != "0") return false;
    }
    return true;
}

}  // namespace

TEST_F(GamesPageTest, TenThousandNamedServersAreAllListedAndSweepsOverThemDeleteNone) {
    constexpr int N = 10000;
    testing_support::TGameSimProcess sim({}, {"--many", std::to_string(N)}, 30000);
    ASSERT_EQ(sim.Ports().size(), static_cast<std::size_t>(N));
    int sent = 0;
    udp->OnDataSend = [&](TNMUDP&) { ++sent; };

    auto table = std::make_unique<TAdvancedArray>(3, boxes);
    for (int i = 0; i < N; ++i) {
        const int r = table->AddRow();
        table->SetCell(r, 0, "127.0.0.1");
        table->SetCell(r, 1, std::to_string(sim.Ports()[static_cast<std::size_t>(i)]));
        table->SetCell(r, 2, std::to_string(i % 4));
    }
    page->CheckGamesFromPXO(std::move(table));
    ASSERT_TRUE(WaitFor(loop, [&] { return inserted == N; }, 30000)) << inserted << " of " << N << " listed";
    for (int g = 0; g < 4; ++g) EXPECT_EQ(page->List(g).Count(), N / 4) << g;
    // Listed by their first queries, not by retries after a lost burst.
    EXPECT_LT(sent, N + N / 20);

    // Three sweeps in quick succession, as a walk over the game types makes them: a row steps
    // its counter only when its query leaves, and every reply comes back in between.
    for (int sweep = 1; sweep <= 3; ++sweep) page->tmRefreshUDPTimer();
    EXPECT_EQ(deleted, 0);
    ASSERT_TRUE(WaitFor(loop, [&] { return page->StatusQueries().Queued() == 0 && AllAnswered(*page); }, 30000))
        << "the sweeps left rows unanswered";
    EXPECT_EQ(deleted, 0);
    EXPECT_EQ(page->Caption(), "Corvane Games (" + std::to_string(N) + ")");
}

TEST_F(GamesPageTest, AtMostAWindowOfQueriesWaitsAndTheRestLeaveInSweepOrderCountingNoMissWhileQueued) {
    const int window = page->StatusQueries().InFlight();
    ASSERT_GE(window, 16);
    const TStatusReply reply{"S", "", "M", 1, 9, 0};
    std::vector<std::unique_ptr<TUdpPeer>> peers;
    for (int i = 0; i < window + 5; ++i) {
        peers.push_back(std::make_unique<TUdpPeer>());
        ASSERT_NE(page->ApplyStatusReply(reply, "127.0.0.1", peers.back()->Port()), nullptr);
    }
    std::vector<int> sentTo;
    udp->OnDataSend = [&](TNMUDP& u) { sentTo.push_back(u.RemotePort); };

    page->tmRefreshUDPTimer();
    // The bottom rows' queries left at once; the top five wait and still count no miss.
    EXPECT_EQ(sentTo.size(), static_cast<std::size_t>(window));
    EXPECT_EQ(page->StatusQueries().Queued(), 5u);
    const TGameList& list = page->lvFSGames();
    for (int i = 0; i < list.Count(); ++i) EXPECT_EQ(list.Row(i).Miss, i < 5 ? "0" : "1") << i;

    // Unanswered slots free themselves; the rest follow, bottom row first as the sweep visits.
    ASSERT_TRUE(WaitFor(loop, [&] { return page->StatusQueries().Queued() == 0; }));
    std::vector<int> expected;
    for (int i = window + 4; i >= 0; --i) expected.push_back(peers[static_cast<std::size_t>(i)]->Port());
    EXPECT_EQ(sentTo, expected);
    for (int i = 0; i < list.Count(); ++i) EXPECT_EQ(list.Row(i).Miss, "1") << i;
    for (auto& p : peers) ExpectQuery(*p);
}

TEST_F(GamesPageTest, ANewServerIsAskedAgainWhileItStaysSilentAndOneThatAnsweredIsNot) {
    TUdpPeer silent, answering;
    page->CheckGamesFromPXO(Table({{"127.0.0.1", PortText(silent), "0"},
                                   {"127.0.0.1", PortText(answering), "1"},
                                   {"127.0.0.1", PortText(silent), "0"}}));
    ExpectQuery(answering);
    Deliver(answering, StatusReplyBytes("A", "", "M", 1, 9, 0));

    int asked = 0;
    auto count = [&] {
        std::string bytes;
        int from = 0;
        while (silent.Receive(bytes, from, 0)) ++asked;
        return asked;
    };
    // Named twice: two first queries, one line of retries.
    ASSERT_TRUE(WaitFor(loop, [&] { return count() == 2 + FirstQueryRetries; }, 10000)) << asked;
    testing_support::Drain(loop, 2 * FirstQueryRetryMs);
    EXPECT_EQ(count(), 2 + FirstQueryRetries);
    EXPECT_EQ(page->StatusQueries().PendingRetries(), 0u);
    ExpectNoQuery(answering);
    EXPECT_EQ(page->lvBtRLGames().Count(), 1);
}

TEST(StatusQueries, SlotsOfRepliesWaitingUnreadDoNotExpire) {
    TPollEventLoop loop;
    int sent = 0;
    bool unread = true;
    {
        TStatusQueries queries(
            loop, 2, [&](const TQueuedQuery&) { return ++sent, true; },
            [](const std::string&, const std::string&) { return false; }, [&] { return unread; });
        for (int i = 0; i < 5; ++i) queries.Queue({"127.0.0.1", std::to_string(i + 1), -1, 0});
        EXPECT_EQ(sent, 2);
        // The loop lags behind the replies: the window stays shut however long that lasts...
        testing_support::Drain(loop, 4 * StatusQuerySlotMs);
        EXPECT_EQ(sent, 2);
        // ...each reply read lets one more go...
        queries.Received();
        ASSERT_TRUE(WaitFor(loop, [&] { return sent == 3; }));
        // ...and once nothing waits, silent servers' slots free themselves.
        unread = false;
        ASSERT_TRUE(WaitFor(loop, [&] { return queries.Queued() == 0; }));
        EXPECT_EQ(sent, 5);
    }
    EXPECT_EQ(loop.TimerCount(), 0u);
}
