// SPDX-License-Identifier: GPL-3.0-or-later
// TGuardedEventLoop: handlers wrapped in a catch that reports to OnException.
#include "shell/GuardedEventLoop.h"

void TGuardedEventLoop::Report(std::exception_ptr error) {
    if (!OnException) std::rethrow_exception(error);
    OnException(error);
}

void TGuardedEventLoop::Watch(int fd, unsigned mask, IoHandler handler) {
    inner_.Watch(fd, mask, [this, h = std::move(handler)](unsigned ready) {
        try {
            h(ready);
        } catch (...) {
            Report(std::current_exception());
        }
    });
}

void TGuardedEventLoop::Post(Handler handler) {
    inner_.Post([this, h = std::move(handler)] {
        try {
            if (h) h();
        } catch (...) {
            Report(std::current_exception());
        }
    });
}

TEventLoop::TimerId TGuardedEventLoop::StartTimer(std::chrono::milliseconds interval, Handler handler) {
    return inner_.StartTimer(interval, [this, h = std::move(handler)] {
        try {
            h();
        } catch (...) {
            Report(std::current_exception());
        }
    });
}
