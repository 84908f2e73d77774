// SPDX-License-Identifier: GPL-3.0-or-later
// The Qt event loop adapter: the same contract as the poll loop, on a Qt application.
#include "shell/QtEventLoop.h"
#include "net/Timer.h"
#include "support/TestSupport.h"

#include <QCoreApplication>
#include <QElapsedTimer>
#include <gtest/gtest.h>
#include <unistd.h>

#include <vector>

namespace {

bool Pump(TQtEventLoop& loop, const std::function<bool()>& pred, int ms = 3000) {
    return testing_support::WaitFor(loop, pred, ms);
}

class QtEventLoopTest : public ::testing::Test {
protected:
    int argc = 1;
    char arg0[8] = "test";
    char* argv[2] = {arg0, nullptr};
    QCoreApplication app{argc, argv};
    TQtEventLoop loop;
};

}  // namespace

TEST_F(QtEventLoopTest, PostsRunInOrderOnLaterTurns) {
    std::vector<int> seen;
    loop.Post([&] { seen.push_back(1); });
    loop.Post([&] { seen.push_back(2); });
    EXPECT_TRUE(seen.empty());
    EXPECT_TRUE(Pump(loop, [&] { return seen.size() == 2; }));
    EXPECT_EQ(seen, (std::vector<int>{1, 2}));
}

TEST_F(QtEventLoopTest, ReadinessReachesHandlerAndStopsWhenHandlerUnwatchesItself) {
    int p[2];
    ASSERT_EQ(::pipe(p), 0);
    int calls = 0;
    loop.Watch(p[0], TEventLoop::Readable, [&](unsigned ready) {
        EXPECT_EQ(ready, TEventLoop::Readable);
        ++calls;
        loop.Unwatch(p[0]);
    });
    ASSERT_EQ(::write(p[1], "x", 1), 1);
    EXPECT_TRUE(Pump(loop, [&] { return calls == 1; }));
    for (int i = 0; i < 5; ++i) loop.ProcessMessagesWaiting(std::chrono::milliseconds(5));
    EXPECT_EQ(calls, 1);
    EXPECT_EQ(loop.WatchCount(), 0u);
    ::close(p[0]);
    ::close(p[1]);
}

TEST_F(QtEventLoopTest, WritableOnlyWhileAskedFor) {
    int p[2];
    ASSERT_EQ(::pipe(p), 0);
    int writable = 0;
    loop.Watch(p[1], 0, [&](unsigned ready) {
        if (ready & TEventLoop::Writable) ++writable;
        loop.SetWatchMask(p[1], 0);
    });
    for (int i = 0; i < 5; ++i) loop.ProcessMessagesWaiting(std::chrono::milliseconds(2));
    EXPECT_EQ(writable, 0);
    loop.SetWatchMask(p[1], TEventLoop::Writable);
    EXPECT_TRUE(Pump(loop, [&] { return writable == 1; }));
    loop.Unwatch(p[1]);
    ::close(p[0]);
    ::close(p[1]);
}

TEST_F(QtEventLoopTest, TimerRunsUntilDisabledAndWaitingIsBounded) {
    TTimer timer(loop, 5);
    int runs = 0;
    timer.OnTimer = [&] {
        if (++runs == 3) timer.SetEnabled(false);
    };
    timer.SetEnabled(true);
    EXPECT_TRUE(Pump(loop, [&] { return runs == 3; }));
    EXPECT_EQ(loop.TimerCount(), 0u);

    QElapsedTimer t;
    t.start();
    loop.ProcessMessagesWaiting(std::chrono::milliseconds(30));
    EXPECT_LT(t.elapsed(), 1000);
}

TEST_F(QtEventLoopTest, TimerNeverRunsBeforeItsInterval) {
    // Qt's coarse timers run early about every other time; ten runs catch that.
    QElapsedTimer clock;
    clock.start();  // before the timer, so that no run can look earlier than it is
    std::vector<qint64> late;  // how long after its due time each run came, in microseconds
    TEventLoop::TimerId id = 0;
    id = loop.StartTimer(std::chrono::milliseconds(50), [&] {
        late.push_back(clock.nsecsElapsed() / 1000 - 50000 * static_cast<qint64>(late.size() + 1));
        if (late.size() == 10) loop.StopTimer(id);
    });
    EXPECT_TRUE(Pump(loop, [&] { return late.size() == 10; }));
    for (std::size_t i = 0; i < late.size(); ++i) EXPECT_GE(late[i], 0) << "run " << i + 1 << " came early";
    EXPECT_EQ(loop.TimerCount(), 0u);
}
