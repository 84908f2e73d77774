// SPDX-License-Identifier: GPL-3.0-or-later
// TIRCCli: the IRC client component: login, line cutting, parse, dispatch, channel registry.
#pragma once

#include "chat/CapNegotiation.h"
#include "chat/DataQueue.h"
#include "chat/IRCParse.h"
#include "chat/IRCRegistry.h"
#include "chat/IRCSupport.h"
#include "net/WSocket.h"

#include <chrono>
#include <cstdint>
#include <deque>
#include <functional>
#include <stdexcept>
#include <string>
#include <string_view>
#include <vector>

class EIRCCli : public std::runtime_error {
public:
    using std::runtime_error::runtime_error;
};

// The attempt-th changed nickname for base (attempt 1: base + "_", then base + "1", "2" ...),
// cut from the base's end so that it is at most maxLength long.
std::string ChangedNick(const std::string& base, int attempt, std::size_t maxLength);

class TIRCCli {
public:
    using TSessionEvent = std::function<void(TIRCCli& sender, std::uint16_t error)>;
    using TIRCServerMessage = std::function<void(TIRCCli& sender, const std::string& APrefix,
                                                 const std::string& ACommand,
                                                 const std::vector<std::string>& Parameters)>;
    using TIRCChannelEvent = std::function<void(TIRCCli& sender, TIRCChannel& AChannel)>;
    using TIRCUserEvent = std::function<void(TIRCCli& sender, TIRCChannel& AChannel, TIRCUser& AUser)>;
    using TIRCMessageEvent = std::function<void(TIRCCli& sender, const std::string& AFromNick,
                                                const std::string& AFromUser, const std::string& AFromHost,
                                                const std::string& AChannel, const std::string& AMsg,
                                                bool ANotice)>;
    using TIRCInviteMessage = std::function<void(TIRCCli& sender, const std::string& AFromNick,
                                                 const std::string& AFromUser, const std::string& AFromHost,
                                                 const std::string& AChannel, bool& Accept)>;

    explicit TIRCCli(TEventLoop& loop);
    TEventLoop& Loop() { return loop_; }
    // Stops a running session as Disconnect does, but without OnSessionClosed; then empties
    // the registry with its deletion events.
    ~TIRCCli();
    TIRCCli(const TIRCCli&) = delete;
    TIRCCli& operator=(const TIRCCli&) = delete;

    bool Active() const { return active_; }
    void SetActive(bool value);
    const std::string& Nick() const { return nick_; }
    void SetNick(const std::string& value);
    // The nickname the owner asked for (or the server confirmed through NICK); Nick() differs
    // from it while the client goes by a changed one because the wanted one was taken.
    const std::string& WantedNick() const { return wantedNick_; }
    // The server's welcome has come for this session.
    bool Registered() const { return registered_; }
    const std::string& User() const { return user_; }
    void SetUser(const std::string& value);
    const std::string& RealName() const { return realName_; }
    void SetRealName(const std::string& value);
    const std::string& Pass() const { return pass_; }
    void SetPass(const std::string& value);
    const std::string& Host() const { return host_; }
    void SetHost(const std::string& value);
    const std::string& Port() const { return port_; }
    void SetPort(const std::string& value);
    // TLS for the next connection, checked against Host (or, when set, only that certificate:
    // the fingerprint as TTlsFailure gives it). Socket().TlsFailure() says why it failed.
    bool UseTls() const { return useTls_; }
    void SetUseTls(bool value);
    const std::string& TlsPin() const { return tlsPin_; }
    void SetTlsPin(const std::string& value) { tlsPin_ = value; }
    bool AutoLogin() const { return autoLogin_; }
    void SetAutoLogin(bool value) { autoLogin_ = value; }
    // IRCv3 capabilities (and with them SASL and strict transport) asked for at login, before
    // NICK and USER. Off, the login is the plain one of old.
    bool Capabilities() const { return capabilities_; }
    void SetCapabilities(bool value) { capabilities_ = value; }
    // The SASL PLAIN login of the next sessions; sent over TLS only.
    void SetSaslLogin(const std::string& account, const std::string& password) {
        saslAccount_ = account;
        saslPassword_ = password;
    }
    const TCapNegotiation& Caps() const { return caps_; }
    // The login's first step (CAP LS 302 and the silence timer); the connection's up event
    // runs it, and so do tests and the fuzz target that feed lines without a socket.
    void StartNegotiation();
    // A capability negotiation that hears nothing for this long is ended, so that
    // registration never waits on a server that ignores CAP.
    std::chrono::milliseconds CapSilence{std::chrono::seconds(4)};
    // The server's time tag (server-time) of the line being handled; empty when it has none.
    const std::string& ServerTime() const { return serverTime_; }

    void Connect() { SetActive(true); }
    void Disconnect() { SetActive(false); }
    // Follows the connection, not Active: false while still connecting.
    bool Connected() const { return socket_.State() == wsConnected; }
    // Sends text + CR LF, with any CR or LF inside text made a blank; raises the connection's
    // errors.
    void SendLine(const std::string& text);
    void SendCommand(const std::string& word, const std::vector<std::string>& parameters);
    // A line the user sends: at once while the burst allows, else queued and sent one per
    // SendInterval, so that the server's flood limit never throws the user off. SendLine
    // (answers to PING, the client's own protocol lines) never waits behind these.
    void SendPaced(const std::string& text);
    std::size_t PacedWaiting() const { return paced_.size(); }
    std::size_t SendBurst = 4;
    std::chrono::milliseconds SendInterval{2000};
    void Join(const std::string& channel) { SendCommand("JOIN", {channel}); }

    TIRCChannels& Channels() { return channels_; }
    // What the server announced about itself this session (005); defaults until it does.
    const TIRCSupport& Support() const { return support_; }
    // A QUIT went out in this session: the user's own /quit, or Disconnect.
    bool QuitSent() const { return quitSent_; }
    // Lines still waiting in the send pacing when the session ended; they were not sent.
    std::function<void(TIRCCli& sender, const std::vector<std::string>& lines)> OnUnsent;
    // The prefix of the line being handled (or last handled), split in three.
    const TIRCPrefixInfo& PrefixInfo() const { return prefixInfo_; }
    TWSocket& Socket() { return socket_; }
    const TDataQueue& LineQueue() const { return queue_; }

    // The way in without a socket: bytes as if they had arrived on the connection. Complete
    // lines are handled at once, in order.
    void DataArrived(std::string_view bytes);
    // Handles one line already cut from the stream. False when it raised no OnServerMessage:
    // nothing to parse, or its handling failed (a missing parameter, a handler that threw).
    bool HandleLine(std::string_view line);
    // The way out without a socket: when set, SendLine hands its bytes here instead.
    std::function<void(const std::string& bytes)> OfflineWire;

    TSessionEvent OnSessionConnected;
    TSessionEvent OnSessionClosed;
    TIRCServerMessage OnServerMessage;
    TIRCChannelEvent OnChannelCreation;
    TIRCChannelEvent OnChannelDeletion;
    TIRCChannelEvent OnChannelChanging;
    TIRCChannelEvent OnChannelChanged;
    TIRCUserEvent OnUserCreation;
    TIRCUserEvent OnUserDeletion;
    TIRCUserEvent OnUserChanging;
    TIRCUserEvent OnUserChanged;
    TIRCMessageEvent OnMessage;
    TIRCInviteMessage OnInvite;
    // What the negotiation has to say (capabilities on, logged in, a refused login).
    std::function<void(TIRCCli& sender, const std::string& text, bool error)> OnNegotiationNote;
    // A plain connection was offered strict transport on port: the owner reconnects with TLS
    // there. Raised inside the line's handling; the owner must not reconnect from inside it.
    std::function<void(TIRCCli& sender, int port)> OnStsUpgrade;
    // A TLS connection stated how long its strict transport policy holds, in seconds.
    std::function<void(TIRCCli& sender, std::int64_t seconds)> OnStsDuration;

    // Bytes read into the line queue per notification before its lines are handled; the
    // connection calls again while more is waiting, so a flood never piles up unhandled. Well
    // under the connection's read budget, so that one turn of the loop handles some hundred
    // lines, not thousands.
    static constexpr std::size_t ReceiveHighWater = 16 * 1024;
    // A connection on which the server said nothing for IdleBeforePing gets a PING of our own;
    // when nothing at all comes within PingAnswerWait after it, the client drops the
    // connection and reports OnSessionClosed with the time-out error.
    std::chrono::milliseconds IdleBeforePing{std::chrono::minutes(4)};
    std::chrono::milliseconds PingAnswerWait{std::chrono::minutes(1)};
    static constexpr std::uint16_t NoAnswerError = 10060;
    // The token of our own PING; the server's PONG to it is the client's business alone.
    static constexpr const char* KeepAliveToken = "CorvaneGV-keepalive";

    // Changed nicknames tried at login before the client gives up and waits unregistered.
    static constexpr int MaxNickAttempts = 10;

private:
    void Start();
    void Stop();
    void CheckInactive() const;
    void HandleQueuedLines();

    void SocketSessionConnected(std::uint16_t error);
    void SocketSessionClosed(std::uint16_t error);
    void SocketDataAvailable();
    void FlushPaced();
    void StopPacing();
    void DoSupport(const TIRCLine& line);
    void StartWatchdog();
    void StopWatchdog();
    void WatchdogTick();
    void StopCapTimer();
    void CapTick();

    // Dispatch of a parsed line (IRCDispatch.cpp).
    void Dispatch(const TIRCLine& line);
    void DoInvite(const TIRCLine& line);
    void DoJoin(const TIRCLine& line);
    void DoPart(const TIRCLine& line);
    void DoKick(const TIRCLine& line);
    void DoNick(const TIRCLine& line);
    void DoNotice(const TIRCLine& line);
    void DoPrivmsg(const TIRCLine& line);
    void DoPing(const TIRCLine& line);
    void DoQuit(const TIRCLine& line);
    void DoTopic(const TIRCLine& line);
    void DoWelcome(const TIRCLine& line);
    void DoNickRejected(const TIRCLine& line);
    void NamesUpdate(const std::string& channelName, const std::string& names);
    void PartHandling(const std::string& nick, const std::string& channelName);
    void RaiseChannel(const TIRCChannelEvent& event, TIRCChannel& channel);

    std::string nick_, user_, realName_, pass_;
    std::string host_ = "localhost";
    std::string port_ = "6667";
    std::string wantedNick_;
    bool registered_ = false;
    bool quitSent_ = false;
    bool ownQuit_ = false;
    TIRCSupport support_;
    int nickAttempt_ = 0;
    std::size_t nickMaxLength_ = std::string::npos;
    bool active_ = false;
    bool autoLogin_ = true;
    bool useTls_ = false;
    std::string tlsPin_;
    bool capabilities_ = false;
    std::string saslAccount_, saslPassword_;
    TCapNegotiation caps_;
    TEventLoop::TimerId capTimer_ = 0;
    std::chrono::steady_clock::time_point capHeard_;
    std::string serverTime_;
    // Session-closed events of the connection that the client must not pass on: the quiet
    // clean-up of a failed start, and destruction.
    bool quietClose_ = false;

    TEventLoop& loop_;
    TEventLoop::TimerId watchdog_ = 0;
    TEventLoop::TimerId pacer_ = 0;
    std::deque<std::string> paced_;
    // Up to when the lines already sent have used the allowance; the burst is the room
    // between now and this point.
    std::chrono::steady_clock::time_point pacedUntil_;
    std::chrono::steady_clock::time_point lastHeard_, keepAliveSent_;
    bool keepAlivePending_ = false;
    bool timedOut_ = false;
    TDataQueue queue_;
    TIRCChannels channels_{*this};
    TIRCPrefixInfo prefixInfo_;
    TWSocket socket_;
};
