// SPDX-License-Identifier: GPL-3.0-or-later
// TEventLoop on the platform's poll call (poll(2), WSAPoll).
#include "net/PollEventLoop.h"

#include "net/WSocketApi.h"

#include <algorithm>
#include <vector>

void TPollEventLoop::Watch(int fd, unsigned mask, IoHandler handler) {
    watches_[fd] = TWatch{mask, std::move(handler), nextGeneration_++};
}

void TPollEventLoop::SetWatchMask(int fd, unsigned mask) {
    auto it = watches_.find(fd);
    if (it != watches_.end()) it->second.mask = mask;
}

void TPollEventLoop::Unwatch(int fd) { watches_.erase(fd); }

void TPollEventLoop::Post(Handler handler) { posted_.push_back(std::move(handler)); }

TEventLoop::TimerId TPollEventLoop::StartTimer(std::chrono::milliseconds interval, Handler handler) {
    const TimerId id = nextTimer_++;
    timers_[id] = TTimerEntry{interval, Clock::now() + interval, std::move(handler)};
    return id;
}

void TPollEventLoop::StopTimer(TimerId id) { timers_.erase(id); }

void TPollEventLoop::ProcessMessages() { RunOnce(std::chrono::milliseconds(0)); }

int TPollEventLoop::TimeoutUntilNextTimer(std::chrono::milliseconds cap) const {
    auto timeout = cap;
    const auto now = Clock::now();
    for (const auto& [id, t] : timers_) {
        auto left = std::chrono::duration_cast<std::chrono::milliseconds>(t.due - now);
        if (left < std::chrono::milliseconds(0)) left = std::chrono::milliseconds(0);
        // Round up so that we do not wake a millisecond early and spin.
        if (t.due > now + left) left += std::chrono::milliseconds(1);
        timeout = std::min(timeout, left);
    }
    return static_cast<int>(timeout.count());
}

void TPollEventLoop::RunPosted() {
    // Only what was posted before this turn: a callback that posts again must not starve
    // descriptors and timers.
    std::size_t n = posted_.size();
    while (n-- > 0 && !posted_.empty()) {
        Handler h = std::move(posted_.front());
        posted_.pop_front();
        if (h) h();
    }
}

void TPollEventLoop::RunDueTimers() {
    const auto now = Clock::now();
    std::vector<TimerId> due;
    for (const auto& [id, t] : timers_)
        if (t.due <= now) due.push_back(id);
    for (TimerId id : due) {
        auto it = timers_.find(id);
        if (it == timers_.end()) continue;  // stopped by an earlier handler of this turn
        it->second.due = Clock::now() + it->second.interval;
        Handler h = it->second.handler;  // the handler may stop its own timer
        h();
    }
}

void TPollEventLoop::RunOnce(std::chrono::milliseconds timeout) {
    RunPosted();

    std::vector<wsapi::TPollFd> fds;
    std::vector<std::uint64_t> generations;
    fds.reserve(watches_.size());
    for (const auto& [fd, w] : watches_) {
        if (w.mask == 0) continue;
        unsigned events = 0;
        if (w.mask & Readable) events |= wsapi::PollIn;
        if (w.mask & Writable) events |= wsapi::PollOut;
        fds.push_back(wsapi::TPollFd{fd, events, 0});
        generations.push_back(w.generation);
    }
    const int wait = posted_.empty() ? TimeoutUntilNextTimer(timeout) : 0;
    const int n = wsapi::Poll(fds.data(), fds.size(), wait);
    if (n > 0) {
        for (std::size_t i = 0; i < fds.size(); ++i) {
            if (fds[i].revents == 0) continue;
            auto it = watches_.find(fds[i].fd);
            // Unwatched or replaced by an earlier handler of this turn: the readiness is stale.
            if (it == watches_.end() || it->second.generation != generations[i]) continue;
            unsigned ready = 0;
            // Errors and hang-ups show as readiness so that the owner's read or write finds them.
            if (fds[i].revents & (wsapi::PollIn | wsapi::PollHup | wsapi::PollErr)) ready |= Readable;
            if (fds[i].revents & (wsapi::PollOut | wsapi::PollErr)) ready |= Writable;
            ready &= it->second.mask;
            if (ready == 0) continue;
            IoHandler h = it->second.handler;  // the handler may unwatch its own fd
            h(ready);
        }
    }
    RunDueTimers();
}

bool TPollEventLoop::RunUntil(const std::function<bool()>& pred, std::chrono::milliseconds timeout) {
    const auto deadline = Clock::now() + timeout;
    while (!pred()) {
        const auto now = Clock::now();
        if (now >= deadline) return false;
        auto left = std::chrono::duration_cast<std::chrono::milliseconds>(deadline - now);
        RunOnce(std::min(left, std::chrono::milliseconds(10)));
    }
    return true;
}

void TPollEventLoop::Run() {
    quit_ = false;
    while (!quit_) RunOnce(std::chrono::milliseconds(1000));
}
