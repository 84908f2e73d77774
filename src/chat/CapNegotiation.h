// SPDX-License-Identifier: GPL-3.0-or-later
// TCapNegotiation: IRCv3 capability negotiation and SASL PLAIN as a state machine fed by
// parsed lines; what it sends and says goes out through its callbacks.
#pragma once

#include "chat/IRCParse.h"
#include "chat/StsPolicy.h"

#include <cstdint>
#include <functional>
#include <set>
#include <string>

class TCapNegotiation {
public:
    enum class TSasl { None, Running, LoggedIn, Failed };

    // A line for the server (without CR LF).
    std::function<void(const std::string& line)> Send;
    // A line for the server view; error for what the user must know went wrong.
    std::function<void(const std::string& text, bool error)> Note;
    // A plain connection was offered strict transport on this port: the owner leaves the
    // connection and comes back over TLS. Nothing more is sent on this one.
    std::function<void(int port)> OnStsUpgrade;
    // A TLS connection stated its policy's duration in seconds (0 ends the policy).
    std::function<void(std::int64_t duration)> OnStsDuration;

    // Starts on a connection that is up, before NICK and USER: sends CAP LS 302. SASL is
    // asked for when account and password are both given.
    void Begin(bool tls, const std::string& account, const std::string& password);
    // The connection ended.
    void Reset();
    // True when the line was the negotiation's own (CAP, AUTHENTICATE, the SASL replies while
    // logging in, a 421 for CAP) and goes no further.
    bool Handle(const TIRCLine& line);
    // The owner's timer: nothing came for the negotiation in SilenceWait. Ends it.
    void Silence();

    // CAP END has not gone out yet (nor the welcome come).
    bool Negotiating() const { return state_ != TState::Off && state_ != TState::Done; }
    bool Enabled(const std::string& cap) const { return enabled_.count(cap) != 0; }
    TSasl Sasl() const { return sasl_; }
    const std::string& LoggedInAs() const { return account_; }

    // Continuation lines of one CAP LS taken before the list counts as ended.
    static constexpr int MaxListLines = 64;
    // A capability value longer than this is dropped (sts and sasl values are a few dozen bytes).
    static constexpr std::size_t MaxValue = 512;

private:
    enum class TState { Off, Listing, Requesting, SaslStart, SaslSent, SaslAborting, Done };

    void TakeOffers(const std::string& list);
    // The sts offer of the lines taken: true when it ends this plain connection for TLS.
    bool TakeStsOffer();
    void Offered();
    void Request(const std::string& caps);
    void Acknowledged(const std::string& caps);
    void StartSasl();
    void SaslReply(const std::string& numeric, const TIRCLine& line);
    void Authenticate(const TIRCLine& line);
    void End();
    void Say(const std::string& text, bool error) const;
    void Out(const std::string& line) const;
    // Says text once per connection: a hostile server repeating itself gets one line.
    void Once(const std::string& text);

    TState state_ = TState::Off;
    bool tls_ = false;
    std::string account_, password_;
    TSasl sasl_ = TSasl::None;
    int listLines_ = 0;
    bool stsSeen_ = false;
    // Capabilities wanted and offered (with their values), asked for, and on.
    std::string offeredSts_, offeredSasl_;
    std::set<std::string> offered_, requested_, enabled_;
    std::set<std::string> said_;
};
