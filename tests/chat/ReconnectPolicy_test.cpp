// SPDX-License-Identifier: GPL-3.0-or-later
// When a dropped chat connects again: the pauses, a ban, the user's own ending.
#include "chat/ReconnectPolicy.h"

#include <gtest/gtest.h>

using namespace std::chrono;

namespace {

const TReconnectPolicy::TClock::time_point t0{};

}  // namespace

TEST(ReconnectPolicy, PausesDoubleWithJitterUpToFiveMinutesAndStartOverAfterAMinuteUp) {
    TReconnectPolicy p;
    p.Started();
    p.Connected(t0);
    std::vector<long long> pauses;
    auto now = t0 + seconds(5);
    for (int i = 0; i < 10; ++i) {
        const auto d = p.Dropped(now, 0.5);  // the middle of the jitter: no change
        ASSERT_TRUE(d.Reconnect);
        pauses.push_back(d.Pause.count());
        now += d.Pause;
    }
    EXPECT_EQ(pauses, (std::vector<long long>{2000, 4000, 8000, 16000, 32000, 64000, 128000, 256000, 300000, 300000}));
    EXPECT_EQ(p.Dropped(now, 0.0).Pause, milliseconds(240000));  // 20% under the most
    EXPECT_EQ(p.Dropped(now, 0.999).Pause, milliseconds(300000));

    // Up for a minute: healthy, the next drop starts from 2 s again; up for less, it does not.
    p.Connected(now);
    EXPECT_EQ(p.Dropped(now + seconds(59), 0.5).Pause, milliseconds(300000));
    p.Connected(now);
    EXPECT_EQ(p.Dropped(now + seconds(60), 0.0).Pause, milliseconds(1600));
}

TEST(ReconnectPolicy, ABanOrTheUsersOwnEndGivesNoAttemptUntilTheUserConnects) {
    TReconnectPolicy p;
    p.Started();
    p.Connected(t0);
    p.ServerLine("465", {"ann", "You are banned from this server- spam"});
    p.ServerLine("ERROR", {"Closing Link: 127.0.0.1 (K-Lined)"});
    auto d = p.Dropped(t0 + seconds(1), 0.5);
    EXPECT_FALSE(d.Reconnect);
    EXPECT_EQ(d.Reason, "Not reconnecting: the server refuses this connection (Closing Link: 127.0.0.1 (K-Lined))");
    EXPECT_FALSE(p.Dropped(t0 + minutes(10), 0.5).Reconnect);  // a failed attempt after it too

    // An ERROR alone that names a G-line or a ban is one as well; a plain one is not.
    for (const char* text : {"Closing Link: x (G-Lined)", "You are banned", "Closing Link: (Z-lined: kline)"}) {
        p.Started();
        p.ServerLine("ERROR", {text});
        EXPECT_FALSE(p.Dropped(t0, 0.5).Reconnect) << text;
    }
    p.Started();
    p.ServerLine("ERROR", {"Closing Link: 127.0.0.1 (Server shutting down)"});
    EXPECT_TRUE(p.Dropped(t0, 0.5).Reconnect);

    p.Started();
    p.UserEnded();
    d = p.Dropped(t0, 0.5);
    EXPECT_FALSE(d.Reconnect);
    EXPECT_EQ(d.Reason, "");
    p.Started();  // the user's Connect: all over
    EXPECT_TRUE(p.Dropped(t0, 0.5).Reconnect);
}
