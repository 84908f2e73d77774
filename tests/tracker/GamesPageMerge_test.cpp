// SPDX-License-Identifier: GPL-3.0-or-later
// Tracker results merged into arModTypes, status queries and sweeps, and swallowed send errors.
#include "GamesPageFixture.h"

using testing_support::TUdpPeer;

TEST_F(GamesPageTest, AnAlreadyListedServerGetsNoQueryFromTheMergeAndKeepsItsEntry) {
    Deliver(server, StatusReplyBytes("Alpha", "", "M", 1, 9, 0));
    // Named by another game type's tracker while listed: skipped.
    page->CheckGamesFromPXO(Table({{"127.0.0.1", PortText(server), "3"}}));
    ExpectQuery(server);  // the sweep's, and only that one
    ExpectNoQuery(server);
    EXPECT_EQ(page->arModTypes().RowCount(), 0);
    EXPECT_EQ(page->lvFSGames().Row(0).Miss, "1");
}

TEST_F(GamesPageTest, TheSameNewServerTwiceGetsTwoQueriesAndOneEntry) {
    page->CheckGamesFromPXO(Table({{"127.0.0.1", PortText(server), "1"}, {"127.0.0.1", PortText(server), "2"}}));
    ExpectQuery(server);
    ExpectQuery(server);
    ExpectNoQuery(server);
    const TAdvancedArray& mod = page->arModTypes();
    ASSERT_EQ(mod.RowCount(), 1);
    EXPECT_EQ(mod.GetCell(0, 0), "127.0.0.1");
    EXPECT_EQ(mod.GetCell(0, 1), PortText(server));
    EXPECT_EQ(mod.GetCell(0, 2), "2");
    EXPECT_EQ(page->arModTypesFindServer("127.0.0.1", PortText(server)), 0);

    Deliver(server, StatusReplyBytes("W", "", "M", 1, 9, 0));
    EXPECT_EQ(page->lvWCSGames().Count(), 1);
    // The entry outlives the row: after ageing out, a late answer goes back into the same list.
    for (int i = 0; i < 3; ++i) page->tmRefreshUDPTimer();
    EXPECT_EQ(page->lvWCSGames().Count(), 0);
    Deliver(server, StatusReplyBytes("W", "", "M", 1, 9, 0));
    EXPECT_EQ(page->lvWCSGames().Count(), 1);
    EXPECT_EQ(page->lvFSGames().Count(), 0);
}

TEST_F(GamesPageTest, AnEmptyTrackerResultStillSweeps) {
    Deliver(server, StatusReplyBytes("Alpha", "", "M", 1, 9, 0));
    page->CheckGamesFromPXO(Table({}));
    ExpectQuery(server);
    EXPECT_EQ(page->lvFSGames().Row(0).Miss, "1");
    page->CheckGamesFromPXO(nullptr);
    ExpectQuery(server);
    EXPECT_EQ(page->lvFSGames().Row(0).Miss, "2");
}

TEST_F(GamesPageTest, ServersAreIdentifiedByTheExactAddressText) {
    // "127.0.0.01" is another server to the lists, although it names the same host (the
    // datagram socket reads it as inet_addr does, without a lookup).
    page->CheckGamesFromPXO(Table({{"127.0.0.1", PortText(server), "3"}, {"127.0.0.01", PortText(server), "2"}}));
    ExpectQuery(server);
    ExpectQuery(server);
    EXPECT_EQ(page->arModTypes().RowCount(), 2);
    EXPECT_EQ(page->arModTypesFindServer("127.0.0.1", PortText(server)), 0);
    EXPECT_EQ(page->arModTypesFindServer("127.0.0.01", PortText(server)), 1);
    EXPECT_EQ(page->arModTypesFindServer("127.0.0.1", "0" + PortText(server)), -1);

    const TStatusReply reply{"S", "", "M", 1, 9, 0};
    TGameRow* a = page->ApplyStatusReply(reply, "127.0.0.1", server.Port());
    TGameRow* b = page->ApplyStatusReply(reply, "127.0.0.01", server.Port());
    EXPECT_NE(a, b);
    EXPECT_EQ(page->lvStarfoxGames().Count(), 1);
    EXPECT_EQ(page->lvWCSGames().Count(), 1);
    EXPECT_EQ(page->FindServerInLists("127.0.0.01", PortText(server)), b);
    EXPECT_EQ(page->FindServerInLists("127.0.0.001", PortText(server)), nullptr);
}

TEST_F(GamesPageTest, SendErrorsAreSwallowedAndTheSweepGoesOn) {
    const TStatusReply reply{"S", "", "M", 1, 9, 0};
    page->ApplyStatusReply(reply, "0.0.0.0", 1);           // "Null Remote Address"
    page->ApplyStatusReply(reply, "no.such.host", 2);      // failed lookups
    page->ApplyStatusReply(reply, "127.0.0.1", 70000);     // no such port
    Deliver(server, StatusReplyBytes("Alpha", "", "M", 1, 9, 0));
    ASSERT_EQ(page->lvFSGames().Count(), 4);
    EXPECT_NO_THROW(page->tmRefreshUDPTimer());
    ExpectQuery(server);
    for (int i = 0; i < 4; ++i) EXPECT_EQ(page->lvFSGames().Row(i).Miss, "1") << i;

    udp->RemoteHost = "";
    EXPECT_NO_THROW(page->SendStatusQuery());
}

TEST_F(GamesPageTest, TheUdpCheckButtonAsksTheLocalServer) {
    int sent = 0;
    udp->OnDataSend = [&](TNMUDP&) { ++sent; };
    page->Button2Click();
    EXPECT_EQ(udp->RemoteHost, "127.0.0.1");
    EXPECT_EQ(udp->RemotePort, 7808);
    EXPECT_EQ(sent, 1);
}

TEST_F(GamesPageTest, TheTimerSweepsUntilTheProgramIsTerminating) {
    Deliver(server, StatusReplyBytes("Alpha", "", "M", 1, 9, 0));
    EXPECT_TRUE(page->tmRefreshUDP().Enabled());
    EXPECT_EQ(page->tmRefreshUDP().Interval(), 15000);
    page->tmRefreshUDP().SetInterval(20);
    TGameRow& row = page->lvFSGames().Row(0);
    ASSERT_TRUE(testing_support::WaitFor(loop, [&] { return row.Miss == "1"; }));
    ExpectQuery(server);
    loop.Terminate();
    testing_support::Drain(loop, 100);
    ExpectNoQuery(server);
    EXPECT_EQ(row.Miss, "1");
}

TEST_F(GamesPageTest, ArModTypesStopsGrowingAtItsBound) {
    // "0.0.0.0" is never sent to, so this many new servers cost no traffic.
    auto table = std::make_unique<TAdvancedArray>(3, boxes);
    for (int i = 0; i <= MaxModTypes; ++i) {
        const int r = table->AddRow();
        table->SetCell(r, 0, "0.0.0.0");
        table->SetCell(r, 1, std::to_string(i));
        table->SetCell(r, 2, "1");
    }
    page->CheckGamesFromPXO(std::move(table));
    EXPECT_EQ(page->arModTypes().RowCount(), MaxModTypes);
    EXPECT_EQ(page->arModTypesFindServer("0.0.0.0", std::to_string(MaxModTypes)), -1);
    EXPECT_EQ(page->arModTypesFindServer("0.0.0.0", std::to_string(MaxModTypes - 1)), MaxModTypes - 1);
}
