// SPDX-License-Identifier: GPL-3.0-or-later
// The event loop the core runs on: descriptor readiness, posted callbacks, timers.
#pragma once

#include <chrono>
#include <cstddef>
#include <cstdint>
#include <functional>

// Everything runs on one thread. Readiness is level-triggered: a watched descriptor is
// reported again on every turn of the loop while it stays ready.
class TEventLoop {
public:
    enum : unsigned { Readable = 1u, Writable = 2u };

    using Handler = std::function<void()>;
    using IoHandler = std::function<void(unsigned ready)>;
    using TimerId = std::uint64_t;

    virtual ~TEventLoop() = default;

    // Watches fd for the kinds in mask; replaces an earlier watch of the same fd.
    virtual void Watch(int fd, unsigned mask, IoHandler handler) = 0;
    // Changes the kinds watched for an fd already watched; a mask of 0 pauses it.
    virtual void SetWatchMask(int fd, unsigned mask) = 0;
    virtual void Unwatch(int fd) = 0;

    // Runs handler on a later turn of the loop, after everything posted before it.
    virtual void Post(Handler handler) = 0;

    // A repeating timer; the first run comes one interval from now.
    virtual TimerId StartTimer(std::chrono::milliseconds interval, Handler handler) = 0;
    virtual void StopTimer(TimerId id) = 0;

    // Runs what is pending now (posted callbacks, ready descriptors, due timers) without
    // blocking. Handlers may call it again from inside; the re-entrant waits rely on that.
    virtual void ProcessMessages() = 0;
    // Like ProcessMessages, but first waits up to maxWait for something to become ready.
    // Waits that pump the loop use it so that they do not spin the processor.
    virtual void ProcessMessagesWaiting(std::chrono::milliseconds maxWait) = 0;

    // Registrations still alive; tests require both to be zero after a component is gone.
    virtual std::size_t WatchCount() const = 0;
    virtual std::size_t TimerCount() const = 0;

    // The application's "terminating" flag: set when the program is shutting down, so that
    // waits inside handlers give up instead of pumping forever.
    bool Terminated() const { return terminated_; }
    void Terminate() { terminated_ = true; }

private:
    bool terminated_ = false;
};
