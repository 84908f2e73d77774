// SPDX-License-Identifier: GPL-3.0-or-later
// The refresh cycle: label, "Refresh" button and tmRefreshGames around tracker walks.
#include "TrackerWalkFixture.h"
#include "tracker/GamesRefresh.h"

using testing_support::Drain;
using testing_support::WaitFor;

class GamesRefreshTest : public TrackerWalkTest {
protected:
    void TearDown() override {
        refresh.reset();
        TrackerWalkTest::TearDown();
    }

    void MakeRefresh() {
        refresh = std::make_unique<TGamesRefresh>(loop, *check);
        refresh->OnChange = [this](TGamesRefresh& sender) {
            EXPECT_EQ(&sender, refresh.get());
            changes.push_back(State());
        };
    }

    // "L" label shown, "B" button enabled, "T" timer running; "-" for each that is not.
    std::string State() const {
        std::string s;
        s += refresh->LabelVisible() ? 'L' : '-';
        s += refresh->ButtonEnabled() ? 'B' : '-';
        s += refresh->tmRefreshGames().Enabled() ? 'T' : '-';
        return s;
    }

    std::unique_ptr<TGamesRefresh> refresh;
    std::vector<std::string> changes;
};

TEST_F(GamesRefreshTest, AWalkRunsWithTheLabelShownAndButtonAndTimerOff) {
    Start({"game=0", "server=10.0.0.1:1", "delay=100"});
    MakeRefresh();
    EXPECT_EQ(State(), "-B-") << "before the first walk";
    EXPECT_EQ(refresh->tmRefreshGames().Interval(), 30000);

    refresh->tmRefreshGamesTimer();  // start-up's call
    EXPECT_EQ(changes, (std::vector<std::string>{"---", "L--"}));
    EXPECT_FALSE(check->Idle());

    // The button is off during the walk: a click does nothing.
    refresh->Button1Click();
    ASSERT_TRUE(WaitFor(loop, [&] { return check->Idle(); }));
    EXPECT_EQ(changes, (std::vector<std::string>{"---", "L--", "---", "-B-", "-BT"}));
    EXPECT_EQ(results.size(), 1u);
    EXPECT_EQ(sim->Stats(0).Connections, 1);

    // Between walks the button starts one at once.
    changes.clear();
    refresh->Button1Click();
    EXPECT_EQ(changes, (std::vector<std::string>{"-B-", "---", "L--"}));
    ASSERT_TRUE(WaitFor(loop, [&] { return check->Idle(); }));
    EXPECT_EQ(State(), "-BT");
    EXPECT_EQ(sim->Stats(0).Connections, 2);
}

TEST_F(GamesRefreshTest, WithNothingEnabledEachTriggerEndsAtOnceAndTheTimerKeepsRunning) {
    Start({});
    enabled = {false, false, false, false};
    MakeRefresh();
    refresh->tmRefreshGamesTimer();
    EXPECT_EQ(changes, (std::vector<std::string>{"---", "L--", "---", "-B-", "-BT"}));
    EXPECT_EQ(State(), "-BT");
    EXPECT_TRUE(check->Idle());
    EXPECT_EQ(loop.WatchCount(), 0u);
    EXPECT_EQ(Connections(), (std::vector<int>{0, 0, 0, 0}));
}

TEST_F(GamesRefreshTest, TheTimerAsksTheTrackerAgainOneIntervalAfterEachWalk) {
    Start({"game=1", "server=10.1.0.1:1"});
    enabled = {false, true, false, false};
    MakeRefresh();
    refresh->tmRefreshGames().SetInterval(100);
    const auto start = std::chrono::steady_clock::now();
    refresh->tmRefreshGamesTimer();
    ASSERT_TRUE(WaitFor(loop, [&] { return results.size() == 3; }));
    // Two waits of a whole interval, each after a walk had ended.
    EXPECT_GE(std::chrono::steady_clock::now() - start, std::chrono::milliseconds(200));
    ASSERT_TRUE(WaitFor(loop, [&] { return check->Idle(); }));
    EXPECT_EQ(sim->Stats(1).Connections, 3);
    // Each timer run turned the timer off, and the end of its walk on again.
    const std::vector<std::string> first{"---", "L--", "---", "-B-", "-BT"};
    const std::vector<std::string> cycle{"-B-", "---", "L--", "---", "-B-", "-BT"};
    ASSERT_GE(changes.size(), 17u);
    EXPECT_EQ(std::vector<std::string>(changes.begin(), changes.begin() + 5), first);
    EXPECT_EQ(std::vector<std::string>(changes.begin() + 5, changes.begin() + 11), cycle);
    EXPECT_EQ(std::vector<std::string>(changes.begin() + 11, changes.begin() + 17), cycle);

    refresh->tmRefreshGames().SetEnabled(false);
}

// The one line the games page shows about the tracker: a walk that learns of no server says
// so, naming the tracker; a walk that names one clears it. A tracker changed by the user is
// asked at once, or right after the walk that is running.
TEST_F(GamesRefreshTest, AWalkThatLearnsOfNoServerSaysSoUntilOneDoesAndAChangedTrackerIsAskedAtOnce) {
    Start({"game=0", "server=10.0.0.1:1", "delay=100"});
    MakeRefresh();
    const TTrackerAddress world{"127.0.0.1", sim->BasePort()};
    const TTrackerAddress nowhere{"127.0.0.1", testing_support::UnusedTcpPort()};
    check->SetTracker(nowhere);
    refresh->tmRefreshGamesTimer();
    ASSERT_TRUE(WaitFor(loop, [&] { return check->Idle(); }));
    EXPECT_EQ(refresh->TrackerNotice(), "No answer from the game tracker at 127.0.0.1:" +
                                            std::to_string(nowhere.BasePort) + ": set the tracker under Settings");
    EXPECT_EQ(changes.back(), "-BT");

    // Pointed at the world while idle: a walk at once, which names a server.
    check->SetTracker(world);
    refresh->TrackerChanged();
    EXPECT_EQ(State(), "L--");
    ASSERT_TRUE(WaitFor(loop, [&] { return check->Idle(); }));
    EXPECT_EQ(refresh->TrackerNotice(), "");
    EXPECT_EQ(results.size(), 1u);

    // A tracker that answers and lists nothing is said as such.
    enabled = {false, true, false, false};
    refresh->Button1Click();
    ASSERT_TRUE(WaitFor(loop, [&] { return check->Idle(); }));
    EXPECT_EQ(results.size(), 2u);
    EXPECT_EQ(refresh->TrackerNotice(), "The game tracker at 127.0.0.1:" + std::to_string(world.BasePort) +
                                            " lists no servers: set the tracker under Settings");

    // Changed during a walk: the next walk follows at once, without the timer's 30 s.
    enabled = {true, false, false, false};
    refresh->Button1Click();
    refresh->TrackerChanged();
    ASSERT_TRUE(WaitFor(loop, [&] { return sim->Stats(0).Connections == 3 && check->Idle() && State() == "-BT"; }));
    EXPECT_EQ(refresh->TrackerNotice(), "");

    // Nothing enabled asks nothing and says nothing.
    enabled = {false, false, false, false};
    check->SetTracker(nowhere);
    refresh->Button1Click();
    EXPECT_EQ(refresh->TrackerNotice(), "");
}
