// SPDX-License-Identifier: GPL-3.0-or-later
// TStatusQueries: status queries sent paced, a bounded number in flight, and the retries of a
// new server's first query.
#pragma once

#include "net/EventLoop.h"
#include "net/Timer.h"

#include <chrono>
#include <cstddef>
#include <deque>
#include <functional>
#include <memory>
#include <string>
#include <unordered_set>

// How long a query counts as in flight when no reply comes: silent servers must not hold the
// window for long, and a reply later than this is still read (only the pacing forgets it).
inline constexpr int StatusQuerySlotMs = 50;
// A new server that has not answered is asked again this often, this far apart, so that one
// lost datagram does not keep it off the list until the next walk.
inline constexpr int FirstQueryRetries = 4;
inline constexpr int FirstQueryRetryMs = 300;
// How often the window and the retries are looked at while anything is pending.
inline constexpr int StatusQueryTickMs = 10;
// Servers waiting for a retry at one time; a tracker can name many more than real lists hold.
inline constexpr std::size_t MaxPendingRetries = 65536;

// One queued status query: where it goes and what it is for.
struct TQueuedQuery {
    std::string Address;
    std::string Port;
    int List = -1;    // the list a sweep visited the row in; -1 for a tracker-named server
    int Retries = 0;  // further tries if the server still has not answered after this one
};

// Queries leave in the order they were queued. At most InFlight() may wait for their replies;
// each datagram read frees one slot, and while nothing waits unread a slot also frees itself
// after StatusQuerySlotMs. So the replies of a burst never outnumber what the socket's receive
// buffer holds, even when the loop reads slower than replies come, and reading them interleaves
// with sending on the same loop.
class TStatusQueries {
public:
    // Sends one query; false when no datagram went out (it then takes no slot).
    using TSend = std::function<bool(const TQueuedQuery& query)>;
    // Whether a server is listed, i.e. has answered since it was named.
    using TAnswered = std::function<bool(const std::string& address, const std::string& port)>;
    // Whether replies wait unread in the socket.
    using TUnread = std::function<bool()>;

    TStatusQueries(TEventLoop& loop, int inFlight, TSend send, TAnswered answered, TUnread unread);
    ~TStatusQueries();
    TStatusQueries(const TStatusQueries&) = delete;
    TStatusQueries& operator=(const TStatusQueries&) = delete;

    // Queues a query and sends what the window allows at once.
    void Queue(TQueuedQuery query);
    // A datagram has been read from the socket: one slot fewer is taken.
    void Received();

    int InFlight() const { return inFlight_; }
    std::size_t Queued() const { return queue_.size(); }
    std::size_t PendingRetries() const { return retries_.size(); }

private:
    using Clock = std::chrono::steady_clock;
    struct TRetry {
        Clock::time_point Due;
        TQueuedQuery Query;
    };

    void Drain();
    void PostDrain();
    void Tick();
    void UpdateTimer();
    void ScheduleRetry(const TQueuedQuery& sent);

    TEventLoop& loop_;
    int inFlight_;
    TSend send_;
    TAnswered answered_;
    TUnread unread_;
    std::deque<TQueuedQuery> queue_;
    std::deque<Clock::time_point> slots_;  // send times of the queries in flight, oldest first
    std::deque<TRetry> retries_;           // due times grow, since every delay is the same
    std::unordered_set<std::string> retrying_;  // servers in retries_
    TTimer tick_;
    bool draining_ = false;
    bool drainPosted_ = false;
    // Expires with this object, so that a posted drain never runs on a destroyed one.
    std::shared_ptr<bool> alive_ = std::make_shared<bool>(true);
};
