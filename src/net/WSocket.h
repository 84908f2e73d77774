// SPDX-License-Identifier: GPL-3.0-or-later
// TWSocket: the non-blocking TCP client connection, driven by the event loop, reporting through events.
#pragma once

#include "net/EventLoop.h"
#include "net/TlsSession.h"
#include "net/WSockbuf.h"

#include <chrono>
#include <cstdint>
#include <deque>
#include <exception>
#include <functional>
#include <memory>
#include <set>
#include <stdexcept>
#include <string>
#include <utility>

class ESocketException : public std::runtime_error {
public:
    using std::runtime_error::runtime_error;
};

enum TSocketState {
    wsInvalidState = 0,
    wsOpened = 1,
    wsBound = 2,
    wsConnecting = 3,
    wsConnected = 4,
    wsAccepting = 5,
    wsListening = 6,
    wsClosed = 7,
};

enum TSocketLingerOnOff { wsLingerOff = 0, wsLingerOn = 1, wsLingerNoSet = 2 };

enum TWSocketOption { wsoNoReceiveLoop };
using TWSocketOptions = std::set<TWSocketOption>;

// Host-name lookup: fills the IPv4 address (network byte order) and returns 0, or returns
// the lookup error (11001..11004, or a 100xx number).
using THostLookup = std::function<int(const std::string& name, std::uint32_t& address)>;

// The text for a socket error number (Windows Sockets numbering), "Not a WinSock error" if unknown.
std::string ErrorText(int error);

// Resolution helpers used by Connect; each throws ESocketException with its message.
// Protocol number ("6", "tcp", ...).
int WSocketResolveProto(const std::string& proto);
// Port number in network byte order ("6667", "irc", ...); proto names the service's protocol.
std::uint16_t WSocketResolvePort(const std::string& port, const std::string& proto);
// IPv4 address in network byte order; names that are not in dotted form go to lookup.
std::uint32_t WSocketResolveHost(const std::string& addr, const THostLookup& lookup);
// The dotted-form test: "1.2.3.4" with optional surrounding blanks, no part above 255.
bool WSocketIsDottedIP(const std::string& text);
// The platform's blocking IPv4 name lookup; the default of TWSocket::HostLookup.
int WSocketPlatformHostLookup(const std::string& name, std::uint32_t& address);
// The text without leading and trailing blanks and control characters.
std::string WSocketTrim(const std::string& text);

class TWSocket {
public:
    using TSessionEvent = std::function<void(TWSocket& sender, std::uint16_t error)>;
    using TChangeStateEvent = std::function<void(TWSocket& sender, TSocketState oldState, TSocketState newState)>;
    using TNotifyEvent = std::function<void(TWSocket& sender)>;
    using TBgExceptionEvent = std::function<void(TWSocket& sender, const std::exception& e, bool& canClose)>;

    explicit TWSocket(TEventLoop& loop);
    // Closes an open connection without raising any event, and drops every queued notification.
    ~TWSocket();
    TWSocket(const TWSocket&) = delete;
    TWSocket& operator=(const TWSocket&) = delete;

    // Properties. A changed text is only taken while State() is wsClosed; otherwise the setter
    // raises "Cannot change <name> if not closed". The same text again does nothing.
    const std::string& Addr() const { return addr_; }
    void SetAddr(const std::string& value);
    const std::string& Port() const { return port_; }
    void SetPort(const std::string& value);
    const std::string& Proto() const { return proto_; }
    void SetProto(const std::string& value);
    const std::string& LocalAddr() const { return localAddr_; }
    void SetLocalAddr(const std::string& value);
    const std::string& LocalPort() const { return localPort_; }
    void SetLocalPort(const std::string& value);

    TSocketLingerOnOff LingerOnOff() const { return lingerOnOff_; }
    void SetLingerOnOff(TSocketLingerOnOff value) { lingerOnOff_ = value; }
    int LingerTimeout() const { return lingerTimeout_; }
    void SetLingerTimeout(int seconds) { lingerTimeout_ = seconds; }
    TWSocketOptions ComponentOptions;

    // TLS on this connection (WSocketTls.cpp), taken at Connect. The handshake runs between the
    // TCP connect and OnSessionConnected, which then reports TlsFailedError when it failed
    // (TlsFailure() says why); Send and Receive carry plain bytes either way.
    struct TTlsOptions {
        bool Enabled = false;
        std::string ServerName;  // empty: Addr
        std::string PinnedFingerprint;
        std::chrono::milliseconds HandshakeLimit{20000};
    } Tls;
    static constexpr std::uint16_t TlsFailedError = 10053;
    // The last TLS failure of this connection; cleared by Connect.
    const TTlsFailure& TlsFailure() const { return tlsFailure_; }
    bool TlsUp() const { return tlsUp_; }

    TSocketState State() const { return state_; }
    int LastError() const { return lastError_; }
    std::int64_t ReadCount() const { return readCount_; }
    bool AllSent() const { return allSent_; }
    // Bytes waiting on the socket; raises "... in function ioctlSocket" when the query fails
    // (result -1 when OnError is assigned).
    int RcvdCount();

    // Resolves Addr/Port/Proto, creates the socket and starts connecting. Returns with State()
    // wsConnecting; the outcome arrives as OnSessionConnected. Host names are looked up here,
    // blocking.
    void Connect();
    // Graceful close; OnSessionClosed(0) before returning unless already raised.
    void Close();
    // Drops what is queued and closes without shutting down; OnSessionClosed(0) as Close.
    void Abort();

    // Queues count bytes and sends what the platform takes now. Returns count (0 for count <= 0),
    // or -1 when not connected and OnError is assigned; otherwise not connected raises.
    int Send(const void* data, int count);
    int SendText(const std::string& text);
    // One platform receive: bytes read, 0 when the peer closed, -1 on failure (LastError()
    // set, 10035 when nothing is waiting).
    int Receive(void* buffer, int size);
    // All bytes waiting now, unchanged; empty when none.
    std::string ReceiveText();

    TSessionEvent OnSessionConnected;
    // Called again at once while bytes wait, until ReadBudget bytes have been read in this
    // readiness report; then again on the loop's next turn. A call that makes no Receive (or
    // throws before one) stops further calls until the owner's next Receive, instead of
    // looping forever.
    TSessionEvent OnDataAvailable;
    // A single call may read past it; the check comes between calls.
    std::int64_t ReadBudget = 64 * 1024;
    TSessionEvent OnSessionClosed;
    TSessionEvent OnDataSent;
    TChangeStateEvent OnChangeState;
    // When assigned, raised instead of every ESocketException (the text is dropped).
    TNotifyEvent OnError;
    TBgExceptionEvent OnBgException;

    // The blocking name lookup used by Connect; replaceable so tests never query a real resolver.
    THostLookup HostLookup;

    // Test hook: when set, called before each platform send with the byte count offered; the
    // platform is then offered at most the returned count. 0 means "would block"; a negative
    // result fails the send with that error number negated (-10054 acts as a reset).
    std::function<int(int offered)> SendLimiter;

    // True while one of this connection's events runs, including any loop pumping done inside
    // it. A posted deletion that finds it true must be posted again: the connection's own code
    // is still on the stack below the handler.
    bool InEvent() const { return eventDepth_ > 0; }

    // Send queue inspection, for tests and diagnostics.
    std::size_t BufferCount() const { return buffers_.size(); }
    std::size_t BufferedBytes() const;

private:
    // Events are called through a copy: a handler may reassign its own event.
    template <class F, class... A>
    void Fire(const F& event, A&&... args) {
        if (!event) return;
        F copy = event;
        struct TDepth {
            int& depth;
            explicit TDepth(int& d) : depth(d) { ++depth; }
            ~TDepth() { --depth; }
        } inEvent(eventDepth_);
        copy(std::forward<A>(args)...);
    }

    void ResetDefaults();
    void ChangeState(TSocketState newState);
    void RaiseSocketError(const std::string& text);
    void ReportSocketError(const std::string& function, int error);
    void SetTextProperty(std::string& stored, bool* assigned, bool* resolved, const std::string& value,
                         const char* name);

    bool PrepareStreamSocket();
    void CloseSocketHandle(bool shutdownFirst, std::uint16_t error);
    void CloseHandleNow();
    void StopWatching();
    void DiscardBuffers();
    void TryToSend();

    // Notifications, derived from readiness or posted.
    void OnReady(unsigned ready);
    void DispatchConnect(std::uint16_t error);
    void DispatchWrite(std::uint16_t error);
    void DispatchClose(std::uint16_t error);
    void ReceiveLoop(std::uint16_t error, bool drain);
    void HandleEventException(const std::exception& e);
    void Guarded(const std::function<void()>& work);
    void PauseReadsIfWaiting();
    void PostNotification(std::function<void(TWSocket&)> notification);
    void UpdateWatch();
    // TLS (WSocketTls.cpp).
    void StartTls();
    void TlsReady(unsigned ready);
    void TlsHandshakeStep();
    void TlsFail(const TTlsFailure& failure);
    void TlsFlush();
    void DropTls();
    int TlsReceive(void* buffer, int size);
    int WaitingBytes(int& error);
    void QueueBytes(const char* data, int count);
    bool HandleCurrent(std::uint64_t generation) const { return handle_ >= 0 && generation == generation_; }

    TEventLoop& loop_;
    std::shared_ptr<bool> alive_;

    std::string addr_, port_, proto_, localAddr_, localPort_;
    bool addrAssigned_ = false, portAssigned_ = false, protoAssigned_ = false;
    bool addrResolved_ = false, portResolved_ = false, protoResolved_ = false, localPortResolved_ = false;
    std::uint32_t sinAddr_ = 0;  // network byte order
    std::uint16_t sinPort_ = 0;  // network byte order
    int protoNumber_ = 6;
    bool datagram_ = false;  // protocol 17 gives a datagram socket
    std::uint16_t localPortNumber_ = 0;  // network byte order

    TSocketState state_ = wsClosed;
    int lastError_ = 0;
    std::int64_t readCount_ = 0;
    TSocketLingerOnOff lingerOnOff_ = wsLingerOn;
    int lingerTimeout_ = 0;

    int handle_ = -1;
    std::uint64_t generation_ = 0;  // tells the current handle from a closed one with the same fd
    bool watched_ = false;
    bool readPaused_ = false;       // reads wait for the owner's next Receive
    bool connectPosted_ = false;    // the connect outcome is already queued
    std::uint64_t receiveCalls_ = 0;

    std::deque<TBuffer> buffers_;
    int bufSize_ = 1514;
    bool allSent_ = true;
    bool closeReported_ = false;
    bool destroying_ = false;
    int eventDepth_ = 0;

    std::unique_ptr<TTlsSession> tls_;
    bool tlsHandshaking_ = false;
    bool tlsUp_ = false;
    bool tlsEnded_ = false;  // close_notify or a broken record seen
    TEventLoop::TimerId tlsTimer_ = 0;
    TTlsFailure tlsFailure_;
};
