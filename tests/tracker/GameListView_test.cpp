// SPDX-License-Identifier: GPL-3.0-or-later
// What a game list shows: sorting with a stable selection, filters, favourites through silence,
// ageing steps and ping over real datagrams.
#include "GamesPageFixture.h"
#include "settings/MemoryRegistryKey.h"
#include "tracker/FriendGame.h"
#include "tracker/GameListView.h"
#include "tracker/GamesViewSettings.h"

using namespace std::chrono_literals;
using testing_support::TUdpPeer;

namespace {

TGameRow& AddRow(TGameList& list, const std::string& port, const std::string& name, const std::string& players,
                 const std::string& status = "Playing", const std::string& password = "No") {
    TGameRow& row = list.Add();
    list.SetServer(row, "10.0.0.1", port);
    row.Server = name;
    row.Players = players;
    row.Status = status;
    row.Password = password;
    row.Mission = "Mission of " + name;
    return row;
}

std::string Names(const TGameListView& view) {
    std::string out;
    for (int i = 0; i < view.Count(); ++i) {
        if (!out.empty()) out += ',';
        const TShownRow& s = view.At(i);
        out += s.Row ? s.Row->Server : "[" + s.Saved.Name + "]";
    }
    return out;
}

}  // namespace

TEST(GameListView, HeadingClicksSortNumbersAsNumbersReverseThenReturnToArrivalKeepingTheSelection) {
    TGameList list;
    TFavourites favourites;
    AddRow(list, "1", "bravo", "9");
    AddRow(list, "2", "Alpha", "10");
    AddRow(list, "3", "charlie", "");
    AddRow(list, "4", "delta", "10");
    TGameListView view(list, 0, favourites);
    EXPECT_TRUE(view.Identity());
    EXPECT_EQ(Names(view), "bravo,Alpha,charlie,delta");

    const std::string selected = ServerKey("10.0.0.1", "4");  // delta
    view.ClickHeading(1);
    view.Rebuild();
    EXPECT_FALSE(view.Identity());
    // 9 before 10 (not as texts), equal counts keep arrival order, no number last.
    EXPECT_EQ(Names(view), "bravo,Alpha,delta,charlie");
    EXPECT_EQ(view.IndexOfKey(selected), 2);
    view.ClickHeading(1);
    view.Rebuild();
    EXPECT_EQ(Names(view), "charlie,Alpha,delta,bravo");
    EXPECT_EQ(view.IndexOfKey(selected), 2);
    view.ClickHeading(1);
    view.Rebuild();
    EXPECT_TRUE(view.Identity());
    EXPECT_EQ(Names(view), "bravo,Alpha,charlie,delta");
    EXPECT_EQ(view.IndexOfKey(selected), 3);

    // Texts ignore letter case; another column starts ascending again.
    view.ClickHeading(1);
    view.ClickHeading(2);
    view.Rebuild();
    EXPECT_EQ(Names(view), "Alpha,bravo,charlie,delta");

    // Between rebuilds nothing moves: a new row shows last, a deleted one just goes.
    TGameRow& echo = AddRow(list, "5", "aaa", "1");
    EXPECT_EQ(view.RowAdded(echo), 4);
    bool offline = true;
    EXPECT_EQ(view.RowDeleting(list.Row(0), offline), 1);  // bravo
    EXPECT_FALSE(offline);
    list.Delete(0);
    EXPECT_EQ(Names(view), "Alpha,charlie,delta,aaa");
    view.Rebuild();
    EXPECT_EQ(Names(view), "aaa,Alpha,charlie,delta");
}

TEST(GameListView, FiltersHideRowsAndCountThem) {
    TGameList list;
    TFavourites favourites;
    AddRow(list, "1", "Wolfpack", "3", "Forming", "Yes");
    AddRow(list, "2", "Empty Forming", "0", "Forming");
    AddRow(list, "3", "Busy", "7", "Playing");
    AddRow(list, "4", "Open forming", "2", "Forming");
    TGameListView view(list, 0, favourites);

    view.SetFilter({"", true, false, false});
    view.Rebuild();
    EXPECT_EQ(Names(view), "Wolfpack,Empty Forming,Open forming");
    EXPECT_EQ(view.Hidden(), 1);
    view.SetFilter({"", true, true, true});
    view.Rebuild();
    EXPECT_EQ(Names(view), "Open forming");
    EXPECT_EQ(view.Hidden(), 3);
    // The text looks at mission names too, letter case ignored.
    view.SetFilter({"OF BUS", false, false, false});
    view.Rebuild();
    EXPECT_EQ(Names(view), "Busy");
    view.SetFilter({});
    view.Rebuild();
    EXPECT_EQ(view.Hidden(), 0);
    EXPECT_TRUE(view.Identity());
}

TEST(GameListView, AgeingStepsCountMissedSweepsAfterTheGraceAndSayWhenLastHeard) {
    TGameRow row;
    const auto t0 = std::chrono::steady_clock::now();
    EXPECT_EQ(LastHeardText(row, t0), "");
    row.LastHeard = t0;
    row.Miss = "0";
    EXPECT_EQ(AgeSteps(row, t0 + 1s), 0);
    // The first sweep's query is out: not missed while its reply may still come.
    row.Miss = "1";
    row.LastQuery = t0 + 15s;
    EXPECT_EQ(AgeSteps(row, t0 + 16s), 0);
    EXPECT_EQ(AgeSteps(row, t0 + 18s), 1);
    row.Miss = "2";
    row.LastQuery = t0 + 30s;
    EXPECT_EQ(AgeSteps(row, t0 + 31s), 1);
    EXPECT_EQ(AgeSteps(row, t0 + 33s), 2);
    EXPECT_EQ(LastHeardText(row, t0 + 33s), "last heard 33 s ago");

    EXPECT_EQ(PingBandOf(-1), TPingBand::None);
    EXPECT_EQ(PingBandOf(99), TPingBand::Good);
    EXPECT_EQ(PingBandOf(100), TPingBand::Fair);
    EXPECT_EQ(PingBandOf(250), TPingBand::Poor);
}

TEST(Favourites, SurviveTheSettingsTextWhateverTheNameAndDropBrokenEntries) {
    TFavourites f;
    EXPECT_TRUE(f.Add({2, "10.0.0.1", "7808", "a,b;c%d\r\n\x01"}));
    EXPECT_FALSE(f.Add({2, "10.0.0.1", "7808", "again"}));
    EXPECT_TRUE(f.Add({0, "10.0.0.2", "7809", ""}));
    const TFavourites back = TFavourites::FromText(f.Text() + ";9,1.2.3.4,1,x;0,host,1,x;0,1.2.3.4,0,x;junk");
    EXPECT_EQ(back.All(), f.All());
    EXPECT_TRUE(f.Remove(2, "10.0.0.1", "7808"));
    EXPECT_FALSE(f.Contains(2, "10.0.0.1", "7808"));
}

// The shared list: what is exported reads back; each line that is not an entry is named by
// its number, and the good lines around it are kept.
TEST(Favourites, TheSharedListReadsBackAndNamesEachBadLine) {
    TFavourites f;
    f.Add({0, "10.0.0.1", "7808", "named, not exported"});
    f.Add({3, "192.168.1.20", "65535", ""});
    EXPECT_EQ(FavouritesListText(f), "10.0.0.1:7808 0\n192.168.1.20:65535 3\n");
    const TFavouritesList back = ReadFavouritesList(FavouritesListText(f));
    ASSERT_EQ(back.Entries.size(), 2u);
    EXPECT_EQ(back.Entries[1], (TFavourite{3, "192.168.1.20", "65535", ""}));
    EXPECT_EQ(back.BadLines, 0);

    const TFavouritesList mixed = ReadFavouritesList(
        "# shared by Wingman\r\n\r\n  10.0.0.3:7000\t2  \r\n"
        "fs2.example.org:7808 0\n10.0.0.4:0 1\n10.0.0.5:7808 4\n10.0.0.6:7808\n10.0.0.7 0\n"
        "010.0.0.8:1 0\n\x01\xff\x7fjunk\n10.0.0.9:7808 0 extra\n10.0.0.10:7808 1");
    ASSERT_EQ(mixed.Entries.size(), 2u);
    EXPECT_EQ(mixed.Entries[0], (TFavourite{2, "10.0.0.3", "7000", ""}));
    EXPECT_EQ(mixed.Entries[1], (TFavourite{1, "10.0.0.10", "7808", ""}));
    EXPECT_EQ(mixed.BadLines, 8);
    EXPECT_EQ(mixed.Problems.front(), "line 4: not an IPv4 address:port");
    EXPECT_EQ(mixed.Problems[1], "line 5: no port from 1 to 65535");
    EXPECT_EQ(mixed.Problems[2], "line 6: the game must be 0, 1, 2 or 3");

    // However many bad lines, the report stays short.
    std::string many;
    for (int i = 0; i < 1000; ++i) many += "x\n";
    const TFavouritesList flood = ReadFavouritesList(many);
    EXPECT_EQ(flood.BadLines, 1000);
    EXPECT_EQ(flood.Problems.size(), MaxListProblems);
}

// A favourite on a real socket: it stays at the top, outlives the rows that go, shows as
// offline in place, is still asked by each sweep and comes back in its own list.
TEST_F(GamesPageTest, AFavouriteStaysListedOfflineThroughSilenceAndComesBackWhenItAnswers) {
    TFavourites favourites;
    page->Favourites = &favourites;
    TUdpPeer other;
    Deliver(other, StatusReplyBytes("Other", "", "M", 1, 9, 0));
    Deliver(server, StatusReplyBytes("Mine", "", "M", 2, 9, 0));
    TGameRow& mine = page->lvFSGames().Row(1);
    EXPECT_GE(mine.PingMs, -1);
    ASSERT_TRUE(favourites.Add({gtFS, mine.Address(), mine.Port(), mine.Server}));
    TGameListView view(page->lvFSGames(), gtFS, favourites);
    EXPECT_EQ(Names(view), "Mine,Other");
    EXPECT_TRUE(view.At(0).Favourite);

    for (int sweep = 0; sweep < 3; ++sweep) {
        // The view follows the list's deletions as the model does.
        page->lvFSGames().OnRowDeleting = [&](TGameList& l, int i) {
            bool offline = false;
            view.RowDeleting(l.Row(i), offline);
            EXPECT_EQ(offline, l.Row(i).Server == "Mine");
        };
        page->tmRefreshUDPTimer();
        ExpectQuery(server);
        ExpectQuery(other);
    }
    EXPECT_EQ(page->lvFSGames().Count(), 0);
    EXPECT_EQ(Names(view), "[Mine]");
    view.Rebuild();
    EXPECT_EQ(Names(view), "[Mine]");
    EXPECT_EQ(view.At(0).Row, nullptr);

    // Silent and unlisted, the favourite is still asked; the other server is not.
    page->tmRefreshUDPTimer();
    ExpectQuery(server);
    ExpectNoQuery(other);
    Deliver(server, StatusReplyBytes("Mine again", "", "M", 2, 9, 0));
    // The reply came to a query: its ping is measured.
    ASSERT_EQ(page->lvFSGames().Count(), 1);
    EXPECT_GE(page->lvFSGames().Row(0).PingMs, 0);
    EXPECT_LT(page->lvFSGames().Row(0).PingMs, 2000);
    view.Rebuild();
    EXPECT_EQ(Names(view), "Mine again");
    EXPECT_EQ(favourites.All()[0].Name, "Mine again");
}

TEST(GamesViewSettings, AFreshKeyGivesTodaysDefaultsAndWhatIsSavedComesBack) {
    TMemoryRegistryKey key;
    EXPECT_EQ(LoadGamesView(key), TGamesViewSettings{});
    TGamesViewSettings view;
    view.SortColumn = PingColumn;
    view.Order = TSortOrder::Descending;
    view.Filter = {"wolf", true, false, true};
    view.ShowPing = true;
    view.Favourites = "0,10.0.0.1,7808,Mine";
    view.AlertPlayers = {4, 0, 0, 12};
    SaveGamesView(key, view);
    EXPECT_EQ(LoadGamesView(key), view);
}

// The alert on real replies: once per server and forming phase, only from N players on, only
// for the game types that asked for it.
TEST_F(GamesPageTest, TheFormingAlertTellsOncePerServerAndFormingPhase) {
    std::vector<std::string> told;
    page->OnFormingAlert = [&](TGamesPage&, int gameType, const TGameRow& row) {
        told.push_back(std::to_string(gameType) + ":" + row.Server);
    };
    page->FormingAlert.MinPlayers = {3, 0, 0, 0};
    Deliver(server, StatusReplyBytes("Wolves", "", "M", 2, 9, 0));   // forming, too few
    Deliver(server, StatusReplyBytes("Wolves", "", "M", 3, 10, 0));  // enough: told
    Deliver(server, StatusReplyBytes("Wolves", "", "M", 5, 12, 0));  // same phase: quiet
    Deliver(server, StatusReplyBytes("Wolves", "", "M", 5, 129, 0)); // playing
    Deliver(server, StatusReplyBytes("Wolves", "", "M", 4, 9, 0));   // forming anew: told again
    TUdpPeer other;
    Deliver(other, StatusReplyBytes("Bears", "", "M", 8, 17, 0));    // briefing: never
    EXPECT_EQ(told, (std::vector<std::string>{"0:Wolves", "0:Wolves"}));

    page->FormingAlert.MinPlayers = {0, 0, 0, 0};
    Deliver(other, StatusReplyBytes("Bears", "", "M", 8, 9, 0));
    EXPECT_EQ(told.size(), 2u);
}

TEST_F(GamesPageTest, AFriendsLineNamesAServerFoundOnlyInEnabledLists) {
    EXPECT_EQ(WentPlayServer("maverick went play to \"Say \"hi\" at noon\" at 21:04:05"), "Say \"hi\" at noon");
    EXPECT_EQ(WentPlayServer("maverick went play to \"\" at 21:04:05"), "");
    EXPECT_FALSE(WentPlayServer("<maverick> went play to \"x\" later"));
    EXPECT_FALSE(WentPlayServer(" went play to \"x\" at 1"));

    TUdpPeer other;
    Deliver(server, StatusReplyBytes("Alpha", "", "M", 2, 9, 0));
    Deliver(other, StatusReplyBytes("Bravo", "", "M", 2, 9, 0));
    const TFoundServer found = FindServerByName(*page, "Bravo", {true, false, false, false});
    EXPECT_EQ(found.GameType, gtFS);
    EXPECT_EQ(found.Row, 1);
    EXPECT_EQ(FindServerByName(*page, "Bravo", {false, true, true, true}).GameType, -1);
    EXPECT_EQ(FindServerByName(*page, "bravo", {true, true, true, true}).GameType, -1);
}
