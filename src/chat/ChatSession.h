// SPDX-License-Identifier: GPL-3.0-or-later
// TChatSession: the connect button and the chat client's session events.
#pragma once

#include "chat/Conversations.h"
#include "chat/IRCCli.h"
#include "chat/ReconnectPolicy.h"
#include "settings/Names.h"
#include "settings/SecretStore.h"
#include "settings/Settings.h"

#include <chrono>
#include <cstdint>
#include <functional>
#include <memory>
#include <random>
#include <string>
#include <vector>

inline constexpr const char* ChatVersionText = "1.01";

class TChatSession {
public:
    // All references must outlive the session. Host and port are where every Connect goes.
    TChatSession(TIRCCli& client, TConversations& conversations, TSettings& settings, TRandomGenerator& random,
                 std::string host, std::string port);
    ~TChatSession();
    TChatSession(const TChatSession&) = delete;
    TChatSession& operator=(const TChatSession&) = delete;

    // Whether and when a dropped session is tried again; its pauses are the tests' to shorten.
    TReconnectPolicy Policy;
    // The policy's clock; tests put their own here.
    std::function<TReconnectPolicy::TClock::time_point()> Clock;

    // Connects when idle, disconnects when connected or stops the reconnect attempts. A start
    // that fails at once is back in the idle state before its error is passed on.
    void btnChatConnectionClick();
    // The server's welcome: after a reconnect the channels joined when the link dropped are
    // joined again.
    void Welcomed();
    // Every server line, before the page handles it: a ban stops the reconnects.
    void ServerLine(const std::string& command, const std::vector<std::string>& parameters);
    // A channel tab was closed: a joined channel is parted.
    void ChannelClosed(const std::string& channel);
    // Waiting for or making a reconnect attempt.
    bool Reconnecting() const { return reconnecting_; }
    // The user ends the session (the button, closing the window); no reconnect follows.
    void Disconnect();
    void IRCCli1SessionConnected(TIRCCli& sender, std::uint16_t error);
    void IRCCli1SessionClosed(TIRCCli& sender, std::uint16_t error);

    // "CorvaneGV v1.01 - " and the full name.
    std::string RealNameText() const;
    // The window's own registration line, sent after the client's login lines.
    std::string RegistrationLine(const std::string& r1, const std::string& r2, const std::string& r3) const;

    // The nickname a login asks for: the own nickname, or the wanted one when the own one is
    // only the changed nickname the server gave us because the wanted one was taken.
    std::string LoginNick() const;

    const std::string& Host() const { return host_; }
    const std::string& Port() const { return port_; }
    bool UseTls() const { return tls_; }
    // Where the next Connect goes; a session under way keeps its server.
    void SetServer(const std::string& host, const std::string& port, bool tls);
    // The certificate last refused for Host (empty when none): what the user may choose to trust.
    const std::string& RefusedFingerprint() const { return refusedFingerprint_; }

    // Where the SASL password of settings.ChatAccount is read at each connect; null: no login.
    TSecretStore* Secrets = nullptr;
    // A value of the settings changed in memory (the strict transport policies) and is to be
    // written to the store.
    std::function<void(const std::string& valueName)> OnSettingsChanged;
    // Seconds since 1970, for the policies' expiry; tests put their own here.
    std::function<std::int64_t()> UnixClock;
    // The client's strict transport events: a plain connection offered TLS on port; a TLS
    // connection stated its policy's duration.
    void StsUpgrade(TIRCCli& sender, int port);
    void StsDuration(TIRCCli& sender, std::int64_t seconds);
    // Where the current (or last) attempt went: under a strict transport policy that is TLS on
    // the policy's port, whatever Port and UseTls say.
    const std::string& AttemptPort() const { return attemptPort_; }

private:
    // Sets the client up for host and port and calls Connect; raises what Connect raises.
    void StartAttempt();
    void Dropped();
    void ScheduleReconnect(std::chrono::milliseconds pause);
    TReconnectPolicy::TClock::time_point Now() const { return Clock ? Clock() : TReconnectPolicy::TClock::now(); }
    void ReconnectTimer();
    void StopReconnectTimer();
    void Rejoin();
    // The line to every conversation, after the server view, in the order they were opened.
    void WriteEverywhere(const std::string& text);
    // The server view's account of a TLS connect that failed; true when the certificate was
    // refused, which no automatic attempt can mend.
    bool ReportTlsFailure();
    void Upgrade();
    std::string SaslPassword();
    std::int64_t UnixNow() const;

    TIRCCli& client_;
    TConversations& conversations_;
    TSettings& settings_;
    TRandomGenerator& random_;
    std::string host_, port_;
    bool tls_ = false;
    std::string refusedFingerprint_;
    std::string attemptPort_;
    // The port a plain connection to host_ was sent to by strict transport, this run.
    int stsPort_ = 0;
    bool upgrading_ = false;
    // Posted callbacks look here before they touch a session that may be gone.
    std::shared_ptr<bool> alive_ = std::make_shared<bool>(true);

    // The user asked for a session and has not ended it.
    bool wanted_ = false;
    // The current connection came up (its session-connected event was raised).
    bool up_ = false;
    bool reconnecting_ = false;
    bool rejoin_ = false;
    // The channels joined when the link last dropped, for the rejoin after the reconnect.
    std::vector<std::string> rejoinChannels_;
    // The nickname the server gave us at the last welcome instead of the wanted one.
    std::string changedNick_, wantedNick_;
    TEventLoop::TimerId timer_ = 0;
    // Not the settings' generator: that one starts alike in every run, and clients that all
    // lost the same server must not all come back at the same moment.
    std::minstd_rand jitter_{std::random_device{}()};
};
