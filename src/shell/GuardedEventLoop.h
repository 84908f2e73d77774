// SPDX-License-Identifier: GPL-3.0-or-later
// TGuardedEventLoop: an event loop that hands every exception escaping a handler to one place.
#pragma once

#include "net/EventLoop.h"

#include <exception>
#include <functional>

// Wraps another loop. Socket notifications, posted callbacks and timers registered through it
// run inside a catch, and what escapes goes to OnException, the application-wide error
// handler; the loop goes on. Without OnException the exception travels on as before.
class TGuardedEventLoop final : public TEventLoop {
public:
    explicit TGuardedEventLoop(TEventLoop& inner) : inner_(inner) {}

    std::function<void(std::exception_ptr error)> OnException;

    void Watch(int fd, unsigned mask, IoHandler handler) override;
    void SetWatchMask(int fd, unsigned mask) override { inner_.SetWatchMask(fd, mask); }
    void Unwatch(int fd) override { inner_.Unwatch(fd); }
    void Post(Handler handler) override;
    TimerId StartTimer(std::chrono::milliseconds interval, Handler handler) override;
    void StopTimer(TimerId id) override { inner_.StopTimer(id); }
    void ProcessMessages() override { inner_.ProcessMessages(); }
    void ProcessMessagesWaiting(std::chrono::milliseconds maxWait) override { inner_.ProcessMessagesWaiting(maxWait); }
    std::size_t WatchCount() const override { return inner_.WatchCount(); }
    std::size_t TimerCount() const override { return inner_.TimerCount(); }

private:
    void Report(std::exception_ptr error);

    TEventLoop& inner_;
};
