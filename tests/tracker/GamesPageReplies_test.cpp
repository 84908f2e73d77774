// SPDX-License-Identifier: GPL-3.0-or-later
// Status replies over real datagrams: rows created, refreshed, decoded, aged out; bad input ignored.
#include "GamesPageFixture.h"

using testing_support::Hex;
using testing_support::TUdpPeer;

TEST_F(GamesPageTest, AReplyCreatesARowAndTheNextRefreshesIt) {
    Deliver(server, StatusReplyBytes("Alpha", "", "Mission One", 3, 129, 0x34));
    ASSERT_EQ(page->lvFSGames().Count(), 1);
    TGameRow& row = page->lvFSGames().Row(0);
    EXPECT_EQ(row.Status, "Playing");
    EXPECT_EQ(row.Icon, 0);
    EXPECT_EQ(row.Players, "3");
    EXPECT_EQ(row.Server, "Alpha");
    EXPECT_EQ(row.Mission, "Mission One");
    EXPECT_EQ(row.Speed, "Cable");
    EXPECT_EQ(row.Password, "No");
    EXPECT_EQ(row.Dedicated, "No");
    EXPECT_EQ(row.Campaign, "Yes");
    EXPECT_EQ(row.Address(), "127.0.0.1");
    EXPECT_EQ(row.Port(), PortText(server));
    EXPECT_EQ(row.Miss, "0");
    EXPECT_EQ(page->Caption(), "Corvane Games (1)");

    // Unrecognised state 8 keeps the icon; flags 0x06 show #6 everywhere.
    Deliver(server, StatusReplyBytes("Alpha II", "m2.fs2", "Mission Two", 12, 8, 0x06));
    ASSERT_EQ(page->lvFSGames().Count(), 1);
    EXPECT_EQ(&page->lvFSGames().Row(0), &row);
    EXPECT_EQ(row.Server, "Alpha II");
    EXPECT_EQ(row.Players, "12");
    EXPECT_EQ(row.Mission, "Mission Two / m2.fs2");
    EXPECT_EQ(row.Status, "#8");
    EXPECT_EQ(row.Icon, 0);
    EXPECT_EQ(row.Speed + row.Password + row.Dedicated + row.Campaign, "#6#6#6#6");

    // On a new row state 8 means no icon at all.
    TUdpPeer other;
    Deliver(other, StatusReplyBytes("Beta", "", "", 0, 8, 0));
    TGameRow* beta = page->FindServerInLists("127.0.0.1", PortText(other));
    ASSERT_NE(beta, nullptr);
    EXPECT_EQ(beta->Icon, -1);
    EXPECT_EQ(beta->Status, "#8");

    EXPECT_EQ((std::vector<std::string>{"Corvane Games (1)", "Corvane Games (2)"}), captions);
    EXPECT_EQ(inserted, 2);
    EXPECT_EQ(changed, 3);  // one per reply, so a view repaints a row once
    EXPECT_EQ(deleted, 0);
}

TEST_F(GamesPageTest, ThreeUnansweredSweepsRemoveTheRowAndTheLastQueryIsStillSent) {
    Deliver(server, StatusReplyBytes("Alpha", "", "M", 1, 9, 0));
    const char* counters[] = {"1", "2"};
    for (const char* expected : counters) {
        page->tmRefreshUDPTimer();
        ExpectQuery(server);
        ASSERT_EQ(page->lvFSGames().Count(), 1);
        EXPECT_EQ(page->lvFSGames().Row(0).Miss, expected);
    }
    page->tmRefreshUDPTimer();
    ExpectQuery(server);
    EXPECT_EQ(page->lvFSGames().Count(), 0);
    EXPECT_EQ(page->Caption(), "Corvane Games");
    EXPECT_EQ(deleted, 1);

    page->tmRefreshUDPTimer();
    ExpectNoQuery(server);

    // A late answer lists the server again as a new row.
    Deliver(server, StatusReplyBytes("Alpha", "", "M", 1, 9, 0));
    ASSERT_EQ(page->lvFSGames().Count(), 1);
    EXPECT_EQ(page->lvFSGames().Row(0).Miss, "0");
    EXPECT_EQ((std::vector<std::string>{"Corvane Games (1)", "Corvane Games", "Corvane Games (1)"}), captions);
}

TEST_F(GamesPageTest, AReplyResetsTheMissCounter) {
    Deliver(server, StatusReplyBytes("Alpha", "", "M", 1, 9, 0));
    page->tmRefreshUDPTimer();
    page->tmRefreshUDPTimer();
    EXPECT_EQ(page->lvFSGames().Row(0).Miss, "2");
    Deliver(server, StatusReplyBytes("Alpha", "", "M", 1, 9, 0));
    EXPECT_EQ(page->lvFSGames().Row(0).Miss, "0");
    page->tmRefreshUDPTimer();
    page->tmRefreshUDPTimer();
    ASSERT_EQ(page->lvFSGames().Count(), 1);
    EXPECT_EQ(page->lvFSGames().Row(0).Miss, "2");
    for (int i = 0; i < 4; ++i) ExpectQuery(server);
    EXPECT_EQ(deleted, 0);
}

TEST_F(GamesPageTest, MalformedTruncatedAndOversizedDatagramsAreIgnored) {
    const std::string good = StatusReplyBytes("Good", "", "M", 2, 17, 1);
    const std::string bad[] = {
        Hex("00 E1 2E"),                                              // 3 bytes
        Hex("00 E2"),                                                 // a query, not a reply
        good.substr(0, good.size() - 1),                              // ends before the flags
        Hex("00 E1 2E 2E FF FF FF FF 41 42"),                         // name length near 4 GiB
        Hex("00 E1 2E 2E 02 00 00 00 41 42 40 00 00 00 00 00 00 00 01 09 00"),  // B past the end
        Hex("00 E1 2E 2E") + std::string(2044, 'x'),                  // wrong shape, 2048 bytes
        StatusReplyBytes(std::string(3000, 'L'), "", "M", 1, 9, 0),  // cut by the receive buffer
    };
    for (const std::string& b : bad) server.SendTo(udp->LocalPort(), b);
    Deliver(server, good);  // loopback keeps the order: everything before it has been handled
    ASSERT_EQ(page->lvFSGames().Count(), 1);
    EXPECT_EQ(page->lvFSGames().Row(0).Server, "Good");
    EXPECT_EQ(inserted, 1);
    EXPECT_EQ(changed, 1);
}

TEST_F(GamesPageTest, AStarfoxEntryWinsOverARowInAnotherList) {
    page->CheckGamesFromPXO(Table({{"127.0.0.1", PortText(server), "3"}}));
    ExpectQuery(server);
    // A row for the same server left in the FreeSpace 2 list.
    TGameRow& stale = page->lstGamesAddItem(page->lvFSGames());
    page->lvFSGames().SetServer(stale, "127.0.0.1", PortText(server));
    stale.Server = "stale";
    stale.Miss = "1";

    Deliver(server, StatusReplyBytes("Fox", "", "M", 1, 9, 0));
    ASSERT_EQ(page->lvStarfoxGames().Count(), 1);
    EXPECT_EQ(page->lvStarfoxGames().Row(0).Server, "Fox");
    EXPECT_EQ(stale.Server, "stale");
    EXPECT_EQ(stale.Miss, "1");
    EXPECT_EQ(page->Caption(), "Corvane Games (2)");

    // The stale row is no longer refreshed and ages out; the Starfox row stays.
    page->tmRefreshUDPTimer();
    page->tmRefreshUDPTimer();
    EXPECT_EQ(page->lvFSGames().Count(), 0);
    EXPECT_EQ(page->lvStarfoxGames().Count(), 1);
    EXPECT_EQ(page->Caption(), "Corvane Games (1)");
}

TEST_F(GamesPageTest, TheCaptionCountsRowsOverAllFourLists) {
    TUdpPeer peers[4];
    page->CheckGamesFromPXO(Table({{"127.0.0.1", PortText(peers[1]), "1"},
                                   {"127.0.0.1", PortText(peers[2]), "2"},
                                   {"127.0.0.1", PortText(peers[3]), "3"}}));
    for (TUdpPeer& p : peers) Deliver(p, StatusReplyBytes("S", "", "M", 1, 9, 0));
    for (int i = 0; i < 4; ++i) {
        ASSERT_EQ(page->List(i).Count(), 1) << i;
        EXPECT_EQ(page->List(i).Row(0).Port(), PortText(peers[i]));
    }
    for (int i = 0; i < 3; ++i) page->tmRefreshUDPTimer();
    const std::vector<std::string> expected{"Corvane Games (1)", "Corvane Games (2)", "Corvane Games (3)",
                                            "Corvane Games (4)", "Corvane Games (3)", "Corvane Games (2)",
                                            "Corvane Games (1)", "Corvane Games"};
    EXPECT_EQ(captions, expected);
    EXPECT_EQ(deleted, 4);
}

TEST_F(GamesPageTest, FullListsTakeNoNewServerButKeepRefreshingTheirRows) {
    const TStatusReply reply{"S", "", "M", 1, 9, 0};
    for (int i = 0; i < MaxListedServers; ++i) ASSERT_NE(page->ApplyStatusReply(reply, "127.0.0.1", i), nullptr);
    EXPECT_EQ(page->ApplyStatusReply(reply, "127.0.0.1", MaxListedServers), nullptr);
    EXPECT_EQ(page->lvFSGames().Count(), MaxListedServers);
    TStatusReply renamed = reply;
    renamed.ServerName = "renamed";
    TGameRow* row = page->ApplyStatusReply(renamed, "127.0.0.1", 5);
    ASSERT_NE(row, nullptr);
    EXPECT_EQ(row->Server, "renamed");
    EXPECT_EQ(page->Caption(), "Corvane Games (" + std::to_string(MaxListedServers) + ")");
}
