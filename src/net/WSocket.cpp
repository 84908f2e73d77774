// SPDX-License-Identifier: GPL-3.0-or-later
// TWSocket: properties, connecting, closing and error reporting.
#include "net/WSocket.h"

#include "net/WSocketApi.h"
#include "net/WSocketErrors.h"

namespace {

// Failures that Windows reports through the connect notification rather than at once; a
// POSIX connect may return them directly, so they are delivered the same way.
bool IsAsyncConnectError(int error) {
    return error == 10051 || error == 10054 || error == 10060 || error == 10061 || error == 10065;
}

}  // namespace

TWSocket::TWSocket(TEventLoop& loop)
    : HostLookup(WSocketPlatformHostLookup), loop_(loop), alive_(std::make_shared<bool>(true)) {
    ResetDefaults();
}

TWSocket::~TWSocket() {
    destroying_ = true;
    alive_.reset();
    // The owner may be half destroyed already: nothing is reported from here on.
    OnSessionConnected = nullptr;
    OnDataAvailable = nullptr;
    OnSessionClosed = nullptr;
    OnDataSent = nullptr;
    OnChangeState = nullptr;
    OnError = nullptr;
    OnBgException = nullptr;
    DropTls();
    if (handle_ >= 0) {
        const int fd = handle_;
        StopWatching();
        handle_ = -1;
        int err = 0;
        wsapi::ShutdownSend(fd, err);
        wsapi::Close(fd, err);
    }
}

void TWSocket::ResetDefaults() {
    proto_ = "tcp";
    protoAssigned_ = true;
    protoNumber_ = 6;
    datagram_ = false;
    addrAssigned_ = portAssigned_ = false;
    addrResolved_ = portResolved_ = protoResolved_ = localPortResolved_ = false;
    sinAddr_ = 0;
    sinPort_ = 0;
    localPortNumber_ = 0;
    localPort_ = "0";
    localAddr_ = "0.0.0.0";
    lingerOnOff_ = wsLingerOn;
    lingerTimeout_ = 0;
    handle_ = -1;
    state_ = wsClosed;
    allSent_ = true;
    closeReported_ = false;
    readCount_ = 0;
    readPaused_ = false;
    connectPosted_ = false;
}

void TWSocket::ChangeState(TSocketState newState) {
    const TSocketState old = state_;
    state_ = newState;
    if (old != newState) Fire(OnChangeState, *this, old, newState);
}

void TWSocket::RaiseSocketError(const std::string& text) {
    if (OnError) {
        Fire(OnError, *this);
        return;
    }
    throw ESocketException(text);
}

void TWSocket::ReportSocketError(const std::string& function, int error) {
    const std::string text =
        "Error " + std::to_string(error) + " in function " + function + "\r\n" + ErrorText(error);
    if (error == WSAECONNRESET || error == WSAENOTCONN) CloseHandleNow();
    lastError_ = error;
    RaiseSocketError(text);
}

void TWSocket::SetTextProperty(std::string& stored, bool* assigned, bool* resolved, const std::string& value,
                               const char* name) {
    if ((!assigned || *assigned) && value == stored) return;
    if (state_ != wsClosed) {
        RaiseSocketError(std::string("Cannot change ") + name + " if not closed");
        return;
    }
    stored = WSocketTrim(value);
    if (assigned) *assigned = !stored.empty();
    if (resolved) *resolved = false;
}

void TWSocket::SetAddr(const std::string& value) { SetTextProperty(addr_, &addrAssigned_, &addrResolved_, value, "Addr"); }
void TWSocket::SetPort(const std::string& value) { SetTextProperty(port_, &portAssigned_, &portResolved_, value, "Port"); }
void TWSocket::SetProto(const std::string& value) {
    SetTextProperty(proto_, &protoAssigned_, &protoResolved_, value, "Proto");
}
void TWSocket::SetLocalAddr(const std::string& value) { SetTextProperty(localAddr_, nullptr, nullptr, value, "LocalAddr"); }
void TWSocket::SetLocalPort(const std::string& value) {
    SetTextProperty(localPort_, nullptr, &localPortResolved_, value, "LocalPort");
}

void TWSocket::Connect() {
    if (handle_ >= 0 && state_ != wsClosed) return RaiseSocketError("Connect: Socket already in use");
    if (!portAssigned_) return RaiseSocketError("Connect: No Port Specified");
    if (!addrAssigned_) return RaiseSocketError("Connect: No IP Address Specified");
    if (!protoAssigned_) return RaiseSocketError("Connect: No Protocol Specified");

    std::string failure;
    try {
        if (!protoResolved_) {
            protoNumber_ = WSocketResolveProto(proto_);
            datagram_ = protoNumber_ == 17;
            protoResolved_ = true;
        }
        if (!portResolved_) {
            sinPort_ = WSocketResolvePort(port_, proto_);
            portResolved_ = true;
        }
        if (!localPortResolved_) {
            localPortNumber_ = WSocketResolvePort(localPort_, proto_);
            localPortResolved_ = true;
        }
        if (!addrResolved_) {
            sinAddr_ = WSocketResolveHost(addr_, HostLookup);
            addrResolved_ = true;
        }
    } catch (const ESocketException& e) {
        failure = e.what();
    }
    if (!failure.empty()) return RaiseSocketError("connect: " + failure);

    DiscardBuffers();
    DropTls();
    tlsFailure_ = {};
    int err = 0;
    const int fd = wsapi::CreateSocket(datagram_, protoNumber_, err);
    if (fd < 0) return ReportSocketError("Connect (socket)", err);
    handle_ = fd;
    ++generation_;
    readPaused_ = false;
    connectPosted_ = false;
    allSent_ = true;
    closeReported_ = false;  // a new connection reports its own close
    ChangeState(wsOpened);

    if (!datagram_ && !PrepareStreamSocket()) return;

    // Watched with nothing asked until the connect is issued: an unconnected socket reads as
    // writable, and a level-triggered loop would spin on it.
    const std::uint64_t generation = generation_;
    loop_.Watch(fd, 0, [this, generation](unsigned ready) {
        if (HandleCurrent(generation)) Guarded([&] { OnReady(ready); });
    });
    watched_ = true;

    if (wsapi::Connect(fd, sinAddr_, sinPort_, err) == 0 || err == WSAEWOULDBLOCK || err == 10036) {
        ChangeState(wsConnecting);
        UpdateWatch();
        return;
    }
    if (IsAsyncConnectError(err)) {
        ChangeState(wsConnecting);
        connectPosted_ = true;
        UpdateWatch();
        const auto error = static_cast<std::uint16_t>(err);
        PostNotification([error](TWSocket& s) { s.DispatchConnect(error); });
        return;
    }
    lastError_ = err;
    ReportSocketError("Connect", err);
}

bool TWSocket::PrepareStreamSocket() {
    int err = 0;
    if (localPortNumber_ != 0 || localAddr_ != "0.0.0.0") {
        std::uint32_t local = 0;
        std::string failure;
        try {
            local = WSocketResolveHost(localAddr_, HostLookup);
        } catch (const ESocketException& e) {
            failure = e.what();
        }
        if (!failure.empty()) {
            RaiseSocketError("connect: " + failure);
            return false;
        }
        if (wsapi::Bind(handle_, local, localPortNumber_, err) < 0) {
            ReportSocketError("bind", err);
            return false;
        }
    }
    if (lingerOnOff_ != wsLingerNoSet && wsapi::SetLinger(handle_, lingerOnOff_ == wsLingerOn, lingerTimeout_, err) < 0) {
        ReportSocketError("setsockopt(SO_LINGER)", err);
        return false;
    }
    if (wsapi::SetKeepAlive(handle_, err) < 0) {
        ReportSocketError("setsockopt(SO_KEEPALIVE)", err);
        return false;
    }
    if (wsapi::SetReuseAddr(handle_, err) < 0) {
        ReportSocketError("setsockopt(SO_REUSEADDR)", err);
        return false;
    }
    return true;
}

void TWSocket::Close() { CloseSocketHandle(true, 0); }

void TWSocket::Abort() {
    DiscardBuffers();
    if (state_ == wsConnected && protoNumber_ == 6) {
        lingerOnOff_ = wsLingerOff;
        int err = 0;
        if (handle_ >= 0) wsapi::SetLinger(handle_, false, lingerTimeout_, err);
    }
    CloseSocketHandle(false, 0);
}

void TWSocket::CloseSocketHandle(bool shutdownFirst, std::uint16_t error) {
    if (handle_ < 0) {
        if (state_ != wsClosed) {
            ChangeState(wsClosed);
            ResetDefaults();
        }
        return;
    }
    if (state_ == wsClosed) return;

    int err = 0;
    DropTls();
    if (shutdownFirst) wsapi::ShutdownSend(handle_, err);
    const int fd = handle_;
    StopWatching();
    handle_ = -1;
    if (wsapi::Close(fd, err) < 0) {
        lastError_ = err;
        if (err != WSANOTINITIALISED) return ReportSocketError("Disconnect (closesocket)", err);
    }
    ChangeState(wsClosed);
    const std::uint64_t generation = generation_;
    if (!destroying_ && !closeReported_) {
        closeReported_ = true;
        Fire(OnSessionClosed, *this, error);
    }
    // An owner that connected again from inside OnSessionClosed keeps its new connection.
    if (generation != generation_) return;
    try {
        ResetDefaults();
    } catch (...) {
    }
}

void TWSocket::CloseHandleNow() {
    if (handle_ < 0) return;
    DropTls();
    const int fd = handle_;
    StopWatching();
    handle_ = -1;
    int err = 0;
    wsapi::Close(fd, err);
    // The next connection must be able to report its own close.
    closeReported_ = false;
    ChangeState(wsClosed);
}

void TWSocket::StopWatching() {
    if (watched_) loop_.Unwatch(handle_);
    watched_ = false;
}

void TWSocket::DiscardBuffers() { buffers_.clear(); }

std::size_t TWSocket::BufferedBytes() const {
    std::size_t n = 0;
    for (const auto& b : buffers_) n += static_cast<std::size_t>(b.Unread());
    return n;
}
