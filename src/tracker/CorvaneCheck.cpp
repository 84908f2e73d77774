// SPDX-License-Identifier: GPL-3.0-or-later
// TCorvaneCheck: the tracker client; walks the enabled game types, one TCP query each.
#include "tracker/CorvaneCheck.h"

#include <algorithm>
#include <chrono>
#include <utility>

namespace {

// How long one turn of the connect wait may sleep when nothing happens.
constexpr std::chrono::milliseconds ConnectWaitTurn{100};

}  // namespace

TCorvaneCheck::TCorvaneCheck(TEventLoop& loop, TTrackerAddress tracker, TEnabledFlags enabled,
                             TResultSink checkGamesFromPXO, TMessageBoxes& boxes)
    : HostLookup(WSocketPlatformHostLookup),
      loop_(loop),
      tracker_(std::move(tracker)),
      enabled_(std::move(enabled)),
      sink_(std::move(checkGamesFromPXO)),
      boxes_(boxes),
      alive_(std::make_shared<bool>(true)) {}

TCorvaneCheck::~TCorvaneCheck() {
    StopQueryTimer();
    alive_.reset();
    // A connect wait below us may still hold a connection: it must not call back into us.
    auto unhook = [](TWSocket& s) {
        s.OnDataAvailable = nullptr;
        s.OnSessionClosed = nullptr;
    };
    if (connection_) unhook(*connection_);
    for (const auto& c : finished_) unhook(*c);
}

void TCorvaneCheck::StartCheck() {
    if (!idle_) return;
    const int first = NextEnabled(0);
    if (first < 0) return FinishWalk();
    current_ = first;
    currentCode_ = std::to_string(first);
    idle_ = false;
    walk_ = {};
    QueryCurrentType();
}

int TCorvaneCheck::NextEnabled(int from) const {
    for (int i = std::max(from, 0); i < 4; ++i)
        if (enabled_ && enabled_(i)) return i;
    return -1;
}

void TCorvaneCheck::QueryCurrentType() {
    reply_.Clear();
    reply_.SetMaxBytes(MaxReplyBytes);
    ++walk_.Asked;
    StartQueryTimer();
    OpenTrackerConnection(TrackerRequest());
}

void TCorvaneCheck::StartQueryTimer() {
    StopQueryTimer();
    queryTimer_ = loop_.StartTimer(QueryIdleLimit, [this] { QueryTimedOut(); });
}

void TCorvaneCheck::StopQueryTimer() {
    if (queryTimer_) loop_.StopTimer(queryTimer_);
    queryTimer_ = 0;
}

void TCorvaneCheck::QueryTimedOut() {
    StopQueryTimer();
    if (!connection_) return;
    // Closing raises the session-closed event, which moves the walk on; a connect wait
    // below us sees the closed state and returns.
    auto connection = connection_;
    bool failed = false;
    try {
        connection->Close();
    } catch (const ESocketException&) {
        failed = true;
    }
    if (failed || connection == connection_) FailQuery(connection);
}

void TCorvaneCheck::OpenTrackerConnection(const std::string& request) {
    auto connection = std::make_shared<TWSocket>(loop_);
    connection_ = connection;
    connection->HostLookup = HostLookup;
    connection->OnDataAvailable = [this](TWSocket& s, std::uint16_t e) { TrackerDataAvailable(s, e); };
    connection->OnSessionClosed = [this](TWSocket& s, std::uint16_t e) { TrackerSessionClosed(s, e); };

    bool failed = false;
    try {
        ConnectTracker(*connection);
    } catch (const ESocketException&) {
        failed = true;
    }
    if (failed) return FailQuery(connection);

    // Other handlers run here, the next query of this walk included when this one is refused.
    const std::weak_ptr<bool> alive = alive_;
    while (connection->State() == wsConnecting) {
        loop_.ProcessMessagesWaiting(ConnectWaitTurn);
        if (alive.expired()) return;
        if (loop_.Terminated()) break;
    }
    PostSweep();
    if (loop_.Terminated()) return;
    // The local connection, not connection_: a refused attempt may already have started the
    // next query, which sends its own request.
    if (connection->State() != wsConnected) return;
    failed = false;
    try {
        connection->SendText(request);
    } catch (const ESocketException&) {
        failed = true;
    }
    if (failed) FailQuery(connection);
}

void TCorvaneCheck::ConnectTracker(TWSocket& connection) {
    connection.SetProto("6");
    connection.SetPort(TrackerPortText(tracker_, currentCode_));
    connection.SetAddr(tracker_.Addr);
    connection.Connect();
}

void TCorvaneCheck::TrackerDataAvailable(TWSocket& sender, std::uint16_t) {
    if (&sender != connection_.get() || reply_.State() != TTrackerReply::rpMore) {
        // Bytes after the end of the reply: read so that they are not offered again.
        sender.ReceiveText();
        return;
    }
    switch (reply_.Add(sender.ReceiveText())) {
    case TTrackerReply::rpMore:
        StartQueryTimer();  // the limit counts from the last byte
        return;
    case TTrackerReply::rpOverflow:
        sender.Close();  // a failed query: its close event moves the walk on
        return;
    case TTrackerReply::rpComplete:
        break;
    }
    auto table = ParseTrackerRecords(reply_.Bytes(), currentCode_, boxes_);
    ++walk_.Answered;
    walk_.Servers += table ? table->RowCount() : 0;
    const std::weak_ptr<bool> alive = alive_;
    if (sink_) sink_(std::move(table));
    if (alive.expired()) return;
    // Raises OnSessionClosed, which starts the next query before this returns.
    sender.Close();
}

void TCorvaneCheck::TrackerSessionClosed(TWSocket& sender, std::uint16_t) {
    if (&sender != connection_.get()) return;
    sender.OnDataAvailable = nullptr;
    sender.OnSessionClosed = nullptr;
    Retire(connection_);
    AdvanceWalk();
}

void TCorvaneCheck::FailQuery(const std::shared_ptr<TWSocket>& connection) {
    // Its close event has moved the walk on already.
    if (connection != connection_) return;
    connection->OnDataAvailable = nullptr;
    connection->OnSessionClosed = nullptr;
    try {
        connection->Abort();
    } catch (...) {
    }
    Retire(connection);
    AdvanceWalk();
}

void TCorvaneCheck::AdvanceWalk() {
    const int next = NextEnabled(current_ + 1);
    if (next < 0) return FinishWalk();
    current_ = next;
    currentCode_ = std::to_string(next);
    QueryCurrentType();
}

void TCorvaneCheck::FinishWalk() {
    StopQueryTimer();
    idle_ = true;
    reply_.Clear();
    lastWalk_ = walk_;
    walk_ = {};
    PostSweep();
    if (OnWalkFinished) {
        auto handler = OnWalkFinished;
        handler(*this);
    }
}

void TCorvaneCheck::Retire(std::shared_ptr<TWSocket> connection) {
    if (connection_ == connection) connection_.reset();
    finished_.push_back(std::move(connection));
    PostSweep();
}

void TCorvaneCheck::PostSweep() {
    if (sweepPosted_) return;
    sweepPosted_ = true;
    loop_.Post([this, alive = std::weak_ptr<bool>(alive_)] {
        if (!alive.expired()) Sweep();
    });
}

void TCorvaneCheck::Sweep() {
    sweepPosted_ = false;
    // A connection still held elsewhere belongs to a connect wait that has not yet returned;
    // that wait posts the next sweep.
    std::erase_if(finished_, [](const std::shared_ptr<TWSocket>& c) { return !c->InEvent() && c.use_count() == 1; });
}
