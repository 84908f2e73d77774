// SPDX-License-Identifier: GPL-3.0-or-later
// TCorvaneCheck: the tracker client; walks the enabled game types, one TCP query each.
#pragma once

#include "net/EventLoop.h"
#include "net/WSocket.h"
#include "tracker/AdvArray.h"
#include "tracker/TrackerAddress.h"
#include "tracker/TrackerReply.h"

#include <chrono>
#include <cstddef>
#include <cstdint>
#include <functional>
#include <memory>
#include <string>
#include <vector>

class TCorvaneCheck {
public:
    // Whether a game type (0..3, in code order) is enabled; asked each time the walk chooses
    // its next game type, so a change during a walk counts from its next step.
    using TEnabledFlags = std::function<bool(int gameType)>;
    // The main window's CheckGamesFromPXO: takes the tracker result table.
    using TResultSink = std::function<void(std::unique_ptr<TAdvancedArray> table)>;

    // boxes is handed to the result tables; it and the loop must outlive the client.
    TCorvaneCheck(TEventLoop& loop, TTrackerAddress tracker, TEnabledFlags enabled, TResultSink checkGamesFromPXO,
                  TMessageBoxes& boxes);
    // Closes a query in progress without raising any event. Never call it from inside one of
    // the client's own handlers.
    ~TCorvaneCheck();
    TCorvaneCheck(const TCorvaneCheck&) = delete;
    TCorvaneCheck& operator=(const TCorvaneCheck&) = delete;

    // Begins a walk; does nothing while one runs.
    void StartCheck();
    bool Idle() const { return idle_; }
    // "0".."3": the game type asked last (or being asked).
    const std::string& CurrentGameType() const { return currentCode_; }

    // Where the tracker is; a change counts from the next query.
    const TTrackerAddress& Tracker() const { return tracker_; }
    void SetTracker(TTrackerAddress tracker) { tracker_ = std::move(tracker); }

    // What the last finished walk got: queries made, replies that ended in a result table,
    // and servers named in them. A walk with queries and no server tells the user nothing.
    struct TWalkOutcome {
        int Asked = 0;
        int Answered = 0;
        int Servers = 0;
    };
    const TWalkOutcome& LastWalk() const { return lastWalk_; }

    // The end of a walk: the main window hides its label and enables "Refresh" and the timer.
    std::function<void(TCorvaneCheck& sender)> OnWalkFinished;

    // The name lookup each connection uses for a tracker given by name; tests and tools
    // replace it so that nothing but 127.0.0.1 is ever asked.
    THostLookup HostLookup;
    // A reply longer than this before its end marker is a failed query.
    std::size_t MaxReplyBytes = MaxTrackerReplyBytes;
    // A query that has gone this long without a byte (since it began or since its last
    // receipt) is a failed query: a tracker that stalls must not stop the game lists from ever
    // being refreshed again, while a slow one that keeps sending is waited for.
    std::chrono::milliseconds QueryIdleLimit{60000};

    // Finished connections whose deletion is still pending (for tests).
    std::size_t FinishedConnections() const { return finished_.size(); }

private:
    void QueryCurrentType();
    void OpenTrackerConnection(const std::string& request);
    void ConnectTracker(TWSocket& connection);
    void TrackerDataAvailable(TWSocket& sender, std::uint16_t error);
    void TrackerSessionClosed(TWSocket& sender, std::uint16_t error);
    // A query that ended without a session-closed event to move the walk on.
    void FailQuery(const std::shared_ptr<TWSocket>& connection);
    void AdvanceWalk();
    void FinishWalk();
    // The first enabled game type from index from on; -1 if none.
    int NextEnabled(int from) const;

    // A finished connection's own code may still be on the stack below us: park it, and
    // delete it from a posted callback once none of its events runs.
    void Retire(std::shared_ptr<TWSocket> connection);
    void PostSweep();
    void Sweep();
    void StartQueryTimer();
    void StopQueryTimer();
    void QueryTimedOut();

    TEventLoop& loop_;
    TTrackerAddress tracker_;
    TEnabledFlags enabled_;
    TResultSink sink_;
    TMessageBoxes& boxes_;
    std::shared_ptr<bool> alive_;

    std::shared_ptr<TWSocket> connection_;
    std::vector<std::shared_ptr<TWSocket>> finished_;
    bool sweepPosted_ = false;
    TEventLoop::TimerId queryTimer_ = 0;
    TTrackerReply reply_;
    TWalkOutcome walk_, lastWalk_;
    int current_ = 0;  // game type index; its code is its decimal text
    std::string currentCode_ = "0";
    bool idle_ = true;
};
