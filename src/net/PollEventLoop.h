// SPDX-License-Identifier: GPL-3.0-or-later
// TEventLoop on the platform's poll call: serves the tests and the command-line tools.
#pragma once

#include "net/EventLoop.h"

#include <chrono>
#include <deque>
#include <map>
#include <unordered_map>

class TPollEventLoop final : public TEventLoop {
public:
    void Watch(int fd, unsigned mask, IoHandler handler) override;
    void SetWatchMask(int fd, unsigned mask) override;
    void Unwatch(int fd) override;
    void Post(Handler handler) override;
    TimerId StartTimer(std::chrono::milliseconds interval, Handler handler) override;
    void StopTimer(TimerId id) override;
    void ProcessMessages() override;
    void ProcessMessagesWaiting(std::chrono::milliseconds maxWait) override { RunOnce(maxWait); }
    std::size_t WatchCount() const override { return watches_.size(); }
    std::size_t TimerCount() const override { return timers_.size(); }

    // One turn: waits up to timeout for something to do, then does what is ready.
    void RunOnce(std::chrono::milliseconds timeout);
    // Turns until pred() holds or timeout passes; returns pred().
    bool RunUntil(const std::function<bool()>& pred, std::chrono::milliseconds timeout);
    // Turns until Quit() is called.
    void Run();
    void Quit() { quit_ = true; }

private:
    using Clock = std::chrono::steady_clock;
    struct TWatch {
        unsigned mask;
        IoHandler handler;
        std::uint64_t generation;  // tells a re-watched fd from the one poll reported on
    };
    struct TTimerEntry {
        std::chrono::milliseconds interval;
        Clock::time_point due;
        Handler handler;
    };

    int TimeoutUntilNextTimer(std::chrono::milliseconds cap) const;
    void RunPosted();
    void RunDueTimers();

    std::unordered_map<int, TWatch> watches_;
    std::deque<Handler> posted_;
    std::map<TimerId, TTimerEntry> timers_;
    TimerId nextTimer_ = 1;
    std::uint64_t nextGeneration_ = 1;
    bool quit_ = false;
};
