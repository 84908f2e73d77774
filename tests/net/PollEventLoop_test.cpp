// SPDX-License-Identifier: GPL-3.0-or-later
// The poll loop: readiness, posting order, timers and re-entrant processing.
#include "net/PollEventLoop.h"
#include "net/Timer.h"
#include "support/TestSupport.h"

#include <gtest/gtest.h>
#include <unistd.h>

#include <string>
#include <vector>

using testing_support::WaitFor;

TEST(PollEventLoop, PostedCallbacksRunInOrderAndPostsFromInsideWaitATurn) {
    TPollEventLoop loop;
    std::vector<int> seen;
    loop.Post([&] {
        seen.push_back(1);
        loop.Post([&] { seen.push_back(3); });
    });
    loop.Post([&] { seen.push_back(2); });
    loop.ProcessMessages();
    EXPECT_EQ(seen, (std::vector<int>{1, 2}));
    loop.ProcessMessages();
    EXPECT_EQ(seen, (std::vector<int>{1, 2, 3}));
}

TEST(PollEventLoop, ReadinessIsLevelTriggeredAndStopsAfterUnwatch) {
    TPollEventLoop loop;
    int p[2];
    ASSERT_EQ(::pipe(p), 0);
    int calls = 0;
    loop.Watch(p[0], TEventLoop::Readable, [&](unsigned ready) {
        EXPECT_EQ(ready, TEventLoop::Readable);
        ++calls;
    });
    loop.ProcessMessages();
    EXPECT_EQ(calls, 0);
    ASSERT_EQ(::write(p[1], "x", 1), 1);
    loop.ProcessMessages();
    loop.ProcessMessages();
    EXPECT_EQ(calls, 2);  // still unread, so reported again
    loop.SetWatchMask(p[0], 0);
    loop.ProcessMessages();
    EXPECT_EQ(calls, 2);
    loop.Unwatch(p[0]);
    EXPECT_EQ(loop.WatchCount(), 0u);
    ::close(p[0]);
    ::close(p[1]);
}

TEST(PollEventLoop, HandlerMayUnwatchAnotherReadyDescriptorOfTheSameTurn) {
    TPollEventLoop loop;
    int a[2], b[2];
    ASSERT_EQ(::pipe(a), 0);
    ASSERT_EQ(::pipe(b), 0);
    int calls = 0;
    auto h = [&](unsigned) {
        ++calls;
        loop.Unwatch(a[0]);
        loop.Unwatch(b[0]);
    };
    loop.Watch(a[0], TEventLoop::Readable, h);
    loop.Watch(b[0], TEventLoop::Readable, h);
    ASSERT_EQ(::write(a[1], "x", 1), 1);
    ASSERT_EQ(::write(b[1], "x", 1), 1);
    loop.ProcessMessages();
    EXPECT_EQ(calls, 1);
    for (int fd : {a[0], a[1], b[0], b[1]}) ::close(fd);
}

TEST(PollEventLoop, TimerRepeatsUntilDisabledAndLeavesNoRegistration) {
    TPollEventLoop loop;
    TTimer timer(loop, 5);
    int runs = 0;
    timer.OnTimer = [&] {
        if (++runs == 3) timer.SetEnabled(false);
    };
    timer.SetEnabled(true);
    EXPECT_TRUE(WaitFor(loop, [&] { return runs == 3; }, 2000));
    testing_support::Drain(loop, 30);
    EXPECT_EQ(runs, 3);
    EXPECT_EQ(loop.TimerCount(), 0u);
}

TEST(PollEventLoop, ProcessMessagesInsideAHandlerRunsOtherWork) {
    TPollEventLoop loop;
    bool inner = false, waited = false;
    loop.Post([&] {
        loop.Post([&] { inner = true; });
        while (!inner) loop.ProcessMessages();
        waited = true;
    });
    EXPECT_TRUE(WaitFor(loop, [&] { return waited; }, 1000));
}
