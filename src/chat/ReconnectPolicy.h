// SPDX-License-Identifier: GPL-3.0-or-later
// TReconnectPolicy: whether and when the chat connects again after its link dropped.
#pragma once

#include <chrono>
#include <string>
#include <string_view>
#include <vector>

// Pure: it is told what happened, with the time, and answers with a decision. A public
// network bans an address that hammers it, so a ban or the user's own ending of the session
// stops the attempts for good (until the user connects again), and other drops back off.
class TReconnectPolicy {
public:
    using TClock = std::chrono::steady_clock;

    std::chrono::milliseconds First{2000};
    std::chrono::milliseconds Max{std::chrono::minutes(5)};
    // A session up this long was healthy: the next drop starts the pauses again from First.
    std::chrono::milliseconds StableAfter{std::chrono::seconds(60)};
    // Each pause is drawn up to this share above or below its value.
    double Jitter = 0.2;

    struct TDecision {
        bool Reconnect = false;
        std::chrono::milliseconds Pause{0};
        // Why not, for a line the user reads; empty when there is nothing to explain.
        std::string Reason;
    };

    // The user asked for a session (the Connect button): every earlier verdict is over.
    void Started();
    // The user ended the session (Disconnect, a typed /quit): no attempt follows the drop.
    void UserEnded() { userEnded_ = true; }
    void Connected(TClock::time_point now);
    // Every server line of the session, to see a ban coming: 465 or 466, or an ERROR that
    // follows one or names a K-line, G-line or ban.
    void ServerLine(std::string_view command, const std::vector<std::string>& parameters);
    // The link is gone (or an attempt failed); random01 is drawn from [0, 1) for the jitter.
    TDecision Dropped(TClock::time_point now, double random01);

    bool Banned() const { return !banReason_.empty(); }
    int Attempt() const { return attempt_; }

private:
    bool userEnded_ = false;
    bool up_ = false;
    bool banNumeric_ = false;
    std::string banReason_;
    TClock::time_point upSince_{};
    int attempt_ = 0;
};
