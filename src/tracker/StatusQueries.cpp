// SPDX-License-Identifier: GPL-3.0-or-later
// TStatusQueries: status queries sent paced, a bounded number in flight, and the retries of a
// new server's first query.
#include "tracker/StatusQueries.h"

#include "tracker/GameList.h"

#include <algorithm>

TStatusQueries::TStatusQueries(TEventLoop& loop, int inFlight, TSend send, TAnswered answered,
                               TUnread unread)
    : loop_(loop),
      inFlight_(std::max(inFlight, 1)),
      send_(std::move(send)),
      answered_(std::move(answered)),
      unread_(std::move(unread)),
      tick_(loop, StatusQueryTickMs) {
    tick_.OnTimer = [this] { Tick(); };
}

TStatusQueries::~TStatusQueries() = default;

void TStatusQueries::Queue(TQueuedQuery query) {
    queue_.push_back(std::move(query));
    Drain();
    UpdateTimer();
}

void TStatusQueries::Received() {
    if (!slots_.empty()) slots_.pop_front();
    if (!queue_.empty()) PostDrain();
}

void TStatusQueries::PostDrain() {
    // Sending waits for the next turn: the reads of this turn come first, and a send never
    // runs inside the socket's receipt handler.
    if (drainPosted_) return;
    drainPosted_ = true;
    loop_.Post([this, alive = std::weak_ptr<bool>(alive_)] {
        if (alive.expired()) return;
        drainPosted_ = false;
        Drain();
        UpdateTimer();
    });
}

void TStatusQueries::Drain() {
    // A host name lookup inside a send runs other handlers; they may queue, but the outer
    // drain sends it.
    if (draining_) return;
    // A program that is ending sends nothing more.
    if (loop_.Terminated()) return;
    draining_ = true;
    struct TReset {
        bool& flag;
        ~TReset() { flag = false; }
    } reset{draining_};
    while (!queue_.empty() && static_cast<int>(slots_.size()) < inFlight_) {
        TQueuedQuery query = std::move(queue_.front());
        queue_.pop_front();
        // A query that could not go out (no address, no row any more) takes no slot, and is
        // not retried: it would fail the same way.
        if (!send_(query)) continue;
        slots_.push_back(Clock::now());
        ScheduleRetry(query);
    }
}

void TStatusQueries::ScheduleRetry(const TQueuedQuery& sent) {
    if (sent.Retries <= 0 || retries_.size() >= MaxPendingRetries) return;
    // A server named twice in one result is retried once.
    if (!retrying_.insert(ServerKey(sent.Address, sent.Port)).second) return;
    TQueuedQuery next = sent;
    --next.Retries;
    retries_.push_back({Clock::now() + std::chrono::milliseconds(FirstQueryRetryMs), std::move(next)});
}

void TStatusQueries::Tick() {
    const auto now = Clock::now();
    const auto slot = std::chrono::milliseconds(StatusQuerySlotMs);
    // Unread replies mean the reader lags, not that queries were lost: their slots stay taken.
    if (!slots_.empty() && slots_.front() + slot <= now && !(unread_ && unread_()))
        while (!slots_.empty() && slots_.front() + slot <= now) slots_.pop_front();
    while (!retries_.empty() && retries_.front().Due <= now) {
        TQueuedQuery query = std::move(retries_.front().Query);
        retries_.pop_front();
        retrying_.erase(ServerKey(query.Address, query.Port));
        if (!answered_(query.Address, query.Port)) queue_.push_back(std::move(query));
    }
    Drain();
    UpdateTimer();
}

void TStatusQueries::UpdateTimer() {
    tick_.SetEnabled(!loop_.Terminated() && (!queue_.empty() || !slots_.empty() || !retries_.empty()));
}
