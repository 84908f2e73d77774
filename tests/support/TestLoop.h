// SPDX-License-Identifier: GPL-3.0-or-later
// TTestLoop: the event loop a socket or protocol test runs on, chosen by the test program.
#pragma once

#include "net/EventLoop.h"

#include <memory>
#include <utility>

namespace testing_support {

// Defined by the loop library the program links: cgv_testloop_poll (poll(2), no Qt) or
// cgv_testloop_qt (the program's own Qt loop), so one test body runs on either.
std::unique_ptr<TEventLoop> MakeTestLoop();

// Hands everything to the loop MakeTestLoop() made. Its terminating flag is its own, as the
// components under test only ever see this object.
class TTestLoop final : public TEventLoop {
public:
    TTestLoop() : loop_(MakeTestLoop()) {}

    void Watch(int fd, unsigned mask, IoHandler handler) override { loop_->Watch(fd, mask, std::move(handler)); }
    void SetWatchMask(int fd, unsigned mask) override { loop_->SetWatchMask(fd, mask); }
    void Unwatch(int fd) override { loop_->Unwatch(fd); }
    void Post(Handler handler) override { loop_->Post(std::move(handler)); }
    TimerId StartTimer(std::chrono::milliseconds interval, Handler handler) override {
        return loop_->StartTimer(interval, std::move(handler));
    }
    void StopTimer(TimerId id) override { loop_->StopTimer(id); }
    void ProcessMessages() override { loop_->ProcessMessages(); }
    void ProcessMessagesWaiting(std::chrono::milliseconds maxWait) override { loop_->ProcessMessagesWaiting(maxWait); }
    std::size_t WatchCount() const override { return loop_->WatchCount(); }
    std::size_t TimerCount() const override { return loop_->TimerCount(); }

private:
    std::unique_ptr<TEventLoop> loop_;
};

}  // namespace testing_support
