// SPDX-License-Identifier: GPL-3.0-or-later
// TTimer: an interval timer with an enabled flag and a handler, on the event loop.
#pragma once

#include "net/EventLoop.h"

#include <functional>

class TTimer {
public:
    explicit TTimer(TEventLoop& loop, int intervalMs = 1000) : loop_(loop), interval_(intervalMs) {}
    ~TTimer() { Stop(); }
    TTimer(const TTimer&) = delete;
    TTimer& operator=(const TTimer&) = delete;

    std::function<void()> OnTimer;

    bool Enabled() const { return enabled_; }
    void SetEnabled(bool on) {
        if (on == enabled_) return;
        enabled_ = on;
        on ? Start() : Stop();
    }
    int Interval() const { return interval_; }
    // Setting the interval restarts a running timer, so the next run is a whole interval away.
    void SetInterval(int ms) {
        interval_ = ms;
        if (enabled_) { Stop(); Start(); }
    }

private:
    void Start() {
        id_ = loop_.StartTimer(std::chrono::milliseconds(interval_), [this] {
            if (OnTimer) OnTimer();
        });
    }
    void Stop() {
        if (id_) loop_.StopTimer(id_);
        id_ = 0;
    }

    TEventLoop& loop_;
    int interval_;
    bool enabled_ = false;
    TEventLoop::TimerId id_ = 0;
};
