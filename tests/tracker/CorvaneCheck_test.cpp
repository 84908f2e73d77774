// SPDX-License-Identifier: GPL-3.0-or-later
// Tracker walks over real loopback connections to the tracker simulator.
#include "TrackerWalkFixture.h"

using testing_support::Drain;
using testing_support::WaitFor;
using TRows = std::vector<std::vector<std::string>>;

TEST_F(TrackerWalkTest, OnlyStarfoxEnabledMakesOneConnectionToItsPort) {
    Start({"game=3", "server=10.0.0.3:7808"});
    enabled = {false, false, false, true};
    Walk();
    ASSERT_EQ(results.size(), 1u);
    EXPECT_EQ(results[0].Rows, (TRows{{"10.0.0.3", "7808", "3"}}));
    EXPECT_EQ(check->CurrentGameType(), "3");
    EXPECT_EQ(Connections(), (std::vector<int>{0, 0, 0, 1}));
    EXPECT_EQ(Requests(), (std::vector<int>{0, 0, 0, 1}));
}

TEST_F(TrackerWalkTest, NoGameTypeEnabledFinishesAtOnceWithoutConnecting) {
    Start({});
    enabled = {false, false, false, false};
    check->StartCheck();
    EXPECT_EQ(finished, 1) << "the end comes inside StartCheck";
    EXPECT_TRUE(check->Idle());
    EXPECT_EQ(loop.WatchCount(), 0u);
    Drain(loop, 50);
    EXPECT_TRUE(results.empty());
    EXPECT_EQ(Connections(), (std::vector<int>{0, 0, 0, 0}));
}

TEST_F(TrackerWalkTest, AllFourInCodeOrderWithPortsAsUnsignedText) {
    Start({"game=0", "server=10.0.0.1:12000", "server=10.0.0.2:65535", "server=10.0.0.3:1",  //
           "game=1", "server=10.1.0.1:0",                                                     //
           "game=3", "server=10.3.0.1:7808"});
    enabled = {true, true, true, true};
    Walk();
    EXPECT_EQ(Codes(), (std::vector<std::string>{"0", "1", "", "3"}));
    ASSERT_EQ(results.size(), 4u);
    EXPECT_EQ(results[0].Rows, (TRows{{"10.0.0.1", "12000", "0"}, {"10.0.0.2", "65535", "0"}, {"10.0.0.3", "1", "0"}}));
    EXPECT_EQ(results[1].Rows, (TRows{{"10.1.0.1", "0", "1"}}));
    EXPECT_TRUE(results[2].Rows.empty()) << "a marker-only reply still hands on its (empty) table";
    EXPECT_EQ(results[3].Rows, (TRows{{"10.3.0.1", "7808", "3"}}));
    EXPECT_EQ(Requests(), (std::vector<int>{1, 1, 1, 1}));

    // The next walk asks again and finds what the tracker says now.
    sim->Set(1, "clear=1 server=10.1.0.2:2");
    results.clear();
    Walk();
    ASSERT_EQ(results.size(), 4u);
    EXPECT_EQ(results[1].Rows, (TRows{{"10.1.0.2", "2", "1"}}));
    EXPECT_EQ(Connections(), (std::vector<int>{2, 2, 2, 2}));
}

TEST_F(TrackerWalkTest, ReplyPiecesAndBytesAroundTheMarker) {
    const int twoRecords = 2 * 228;
    Start({// The marker in the middle of a chunk, with bytes after it.
           "game=0", "server=10.0.0.1:1", "server=10.0.0.2:2", "trailing=\\x02\\x00\\x00\\x00TERMjunk",
           // The marker split across two receipts; records split inside themselves.
           "game=1", "server=10.1.0.1:1", "server=10.1.0.2:2", "split=1,100,228,300," + std::to_string(twoRecords + 3),
           // A fragment shorter than a record before the marker.
           "game=2", "server=10.2.0.1:1", "fragment=\\x01\\x02\\x03",
           // Only a marker, in two pieces.
           "game=3", "split=4"});
    enabled = {true, true, true, true};
    Walk();
    ASSERT_EQ(results.size(), 4u);
    EXPECT_EQ(results[0].Rows, (TRows{{"10.0.0.1", "1", "0"}, {"10.0.0.2", "2", "0"}}));
    EXPECT_EQ(results[1].Rows, (TRows{{"10.1.0.1", "1", "1"}, {"10.1.0.2", "2", "1"}}));
    EXPECT_EQ(results[2].Rows, (TRows{{"10.2.0.1", "1", "2"}}));
    EXPECT_TRUE(results[3].Rows.empty());
}

TEST_F(TrackerWalkTest, FailedQueriesHandNothingOnAndTheWalkGoesOn) {
    Start({"game=0", "server=10.0.0.1:1", "mode=refuse",                       // connection refused
           "game=1", "server=10.1.0.1:1", "server=10.1.0.2:2", "mode=noterm",  // closed before the marker
           "game=2", "server=10.2.0.1:1", "mode=flood",                        // never ends its reply
           "game=3", "server=10.3.0.1:1"});
    enabled = {true, true, true, true};
    Walk(30000);
    EXPECT_EQ(Codes(), (std::vector<std::string>{"3"}));
    EXPECT_EQ(Connections(), (std::vector<int>{0, 1, 1, 1}));
    // Started from inside the refused attempt's wait, the next query still sends one request.
    EXPECT_EQ(Requests(), (std::vector<int>{0, 1, 1, 1}));

    // A refused first and last game type: the walk still ends, with the middle one's result.
    sim->Set(1, "mode=normal");
    sim->Set(2, "mode=normal");
    sim->Set(3, "mode=refuse");
    results.clear();
    Walk();
    EXPECT_EQ(Codes(), (std::vector<std::string>{"1", "2"}));
}

TEST_F(TrackerWalkTest, ASmallerCapCutsALongReply) {
    std::vector<std::string> args{"game=0"};
    for (int i = 0; i < 10; ++i) args.push_back("server=10.0.0." + std::to_string(i) + ":1");
    args.push_back("game=1");
    args.push_back("server=10.1.0.1:1");
    Start(args);
    enabled = {true, true, false, false};
    check->MaxReplyBytes = 9 * 228;
    Walk();
    EXPECT_EQ(Codes(), (std::vector<std::string>{"1"}));
    check->MaxReplyBytes = 10 * 228;
    results.clear();
    Walk();
    EXPECT_EQ(Codes(), (std::vector<std::string>{"0", "1"}));
}

TEST_F(TrackerWalkTest, AGameTypeDisabledDuringTheWalkIsSkipped) {
    Start({"game=0", "server=10.0.0.1:1", "game=1", "server=10.1.0.1:1", "game=2", "server=10.2.0.1:1", "game=3",
           "server=10.3.0.1:1"});
    enabled = {true, true, true, true};
    // While the walk is at FreeSpace 2, the settings switch Wing Commander Saga off and Starfox
    // off and on again.
    OnResult = [this](TCorvaneCheck& sender) {
        if (sender.CurrentGameType() != "0") return;
        enabled[2] = false;
        enabled[3] = false;
    };
    Walk();
    EXPECT_EQ(Codes(), (std::vector<std::string>{"0", "1"}));
    EXPECT_EQ(Connections(), (std::vector<int>{1, 1, 0, 0}));

    enabled = {false, true, false, true};
    OnResult = [this](TCorvaneCheck& sender) {
        if (sender.CurrentGameType() == "1") enabled[1] = false;  // already asked: no effect
    };
    results.clear();
    Walk();
    EXPECT_EQ(Codes(), (std::vector<std::string>{"1", "3"}));
}

TEST_F(TrackerWalkTest, AConnectThatRaisesAtOnceIsAFailedQueryAndTheWalkEnds) {
    // The name lookup fails inside Connect, which therefore raises for every game type.
    MakeCheck({"tracker.invalid", 20000});
    enabled = {true, true, true, true};
    check->StartCheck();
    EXPECT_EQ(finished, 1) << "four failed attempts, then the end of the walk, all inside StartCheck";
    EXPECT_EQ(lookups, 4);
    EXPECT_TRUE(check->Idle());
    EXPECT_EQ(check->CurrentGameType(), "3");
    EXPECT_TRUE(results.empty());
    EXPECT_EQ(loop.WatchCount(), 0u);

    // The next walk starts afresh.
    check->StartCheck();
    EXPECT_EQ(finished, 2);
    EXPECT_EQ(lookups, 8);
}

TEST_F(TrackerWalkTest, ASecondStartDuringAWalkIsRefused) {
    Start({"game=0", "server=10.0.0.1:1", "delay=200", "game=1", "server=10.1.0.1:1"});
    enabled = {true, true, false, false};
    check->StartCheck();
    EXPECT_FALSE(check->Idle());
    check->StartCheck();
    ASSERT_TRUE(WaitFor(loop, [&] { return finished == 1; }));
    EXPECT_EQ(Codes(), (std::vector<std::string>{"0", "1"}));
    EXPECT_EQ(Connections(), (std::vector<int>{1, 1, 0, 0}));
}

TEST_F(TrackerWalkTest, TerminatingDuringTheConnectWaitSendsNothing) {
    Start({"game=0", "server=10.0.0.1:1"});
    // Runs inside the wait's first turn of the loop.
    loop.Post([this] { loop.Terminate(); });
    check->StartCheck();
    EXPECT_FALSE(check->Idle());
    ASSERT_TRUE(WaitFor(loop, [&] { return sim->Stats(0).Connections == 1; }));
    Drain(loop, 200);
    EXPECT_EQ(sim->Stats(0).Requests, 0);
    EXPECT_TRUE(results.empty());
    EXPECT_EQ(finished, 0);
}

TEST_F(TrackerWalkTest, DestroyingTheClientMidWalkClosesItsConnectionQuietly) {
    Start({"game=0", "server=10.0.0.1:1", "mode=hang"});
    check->StartCheck();
    ASSERT_TRUE(WaitFor(loop, [&] { return sim->Stats(0).Requests == 1; }));
    Drain(loop, 50);
    EXPECT_FALSE(check->Idle());
    check.reset();
    Drain(loop, 50);
    EXPECT_EQ(finished, 0);
}

TEST_F(TrackerWalkTest, AStalledQueryTimesOutAndTheWalkGoesOn) {
    // A tracker that accepts and then says nothing, and one that never finishes its reply.
    Start({"game=0", "server=10.0.0.1:1", "mode=hang", "delay=100000",  //
           "game=1", "server=10.1.0.1:1", "mode=hang",                  //
           "game=2", "server=10.2.0.1:1"});
    enabled = {true, true, true, false};
    check->QueryIdleLimit = std::chrono::milliseconds(300);
    Walk(10000);
    EXPECT_EQ(Codes(), (std::vector<std::string>{"2"}));
    EXPECT_EQ(Requests(), (std::vector<int>{1, 1, 1, 0}));
    EXPECT_TRUE(check->Idle());

    // The timer belongs to one query: a quick walk leaves none behind to cut the next one.
    sim->Set(0, "mode=normal delay=0");
    sim->Set(1, "mode=normal");
    results.clear();
    Walk();
    EXPECT_EQ(Codes(), (std::vector<std::string>{"0", "1", "2"}));
    Drain(loop, 400);
    EXPECT_EQ(results.size(), 3u);
}

TEST_F(TrackerWalkTest, ASlowTrackerThatKeepsSendingIsWaitedForWellPastTheIdleLimit) {
    // One record and the marker, a byte every 5 ms: about 1.2 s in all, four idle limits.
    Start({"game=0", "server=10.0.0.1:7808", "trickle=5"});
    check->QueryIdleLimit = std::chrono::milliseconds(300);
    Walk(10000);
    ASSERT_EQ(results.size(), 1u);
    EXPECT_EQ(results[0].Rows, (TRows{{"10.0.0.1", "7808", "0"}}));
}
