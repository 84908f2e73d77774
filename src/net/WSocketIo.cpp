// SPDX-License-Identifier: GPL-3.0-or-later
// TWSocket: sending, receiving, and the notifications derived from the loop's readiness reports.
#include "net/WSocket.h"

#include "net/WSocketApi.h"
#include "net/WSocketErrors.h"

#include <algorithm>
#include <optional>

namespace {

// Send failures after which the connection is gone.
bool IsFatalSendError(int error) {
    return error == WSAEINVAL || error == WSAENOTSOCK || error == WSAECONNABORTED || error == WSAECONNRESET ||
           error == WSAENOTCONN;
}

}  // namespace

int TWSocket::RcvdCount() {
    int err = 0;
    const int n = WaitingBytes(err);
    if (n < 0) {
        ReportSocketError("ioctlSocket", err);
        return -1;
    }
    return n;
}

int TWSocket::Send(const void* data, int count) {
    if (state_ != wsConnected) {
        ReportSocketError("Send", WSAENOTCONN);
        return -1;
    }
    allSent_ = false;
    if (count > 0) {
        if (!tls_) {
            QueueBytes(static_cast<const char*>(data), count);
        } else if (tls_->Write(data, static_cast<std::size_t>(count))) {
            TlsFlush();
        } else {
            ReportSocketError("Send", WSAECONNABORTED);
            return -1;
        }
    }
    TryToSend();
    if (allSent_) PostNotification([](TWSocket& s) { s.DispatchWrite(0); });
    UpdateWatch();
    return std::max(count, 0);
}

void TWSocket::QueueBytes(const char* p, int left) {
    if (left <= 0) return;
    if (buffers_.empty()) buffers_.emplace_back(bufSize_);
    while (true) {
        const int n = buffers_.back().Write(p, left);
        p += n;
        left -= n;
        if (left == 0) break;
        buffers_.emplace_back(bufSize_);
    }
}

int TWSocket::SendText(const std::string& text) { return Send(text.data(), static_cast<int>(text.size())); }

void TWSocket::TryToSend() {
    if (handle_ < 0 || buffers_.empty()) return;
    while (true) {
        TBuffer& block = buffers_.front();
        int len = 0;
        const char* bytes = block.Peek(len);
        if (len > 0) {
            int err = 0;
            long sent = -1;
            const int allowed = SendLimiter ? SendLimiter(len) : len;
            if (allowed < 0) err = -allowed;
            else if (allowed == 0) err = WSAEWOULDBLOCK;
            else sent = wsapi::Send(handle_, bytes, static_cast<std::size_t>(std::min(allowed, len)), err);

            if (sent == 0) return;
            if (sent < 0) {
                if (IsFatalSendError(err)) {
                    closeReported_ = true;
                    Close();
                    Fire(OnSessionClosed, *this, static_cast<std::uint16_t>(err));
                    return;
                }
                if (err == WSAEWOULDBLOCK) return;
                return ReportSocketError("TryToSend failed", err);
            }
            block.Remove(static_cast<int>(sent));
            if (sent < len) return;
        }
        if (buffers_.size() > 1) {
            buffers_.pop_front();
            continue;
        }
        allSent_ = true;
        return;
    }
}

int TWSocket::Receive(void* buffer, int size) {
    ++receiveCalls_;
    // Like Windows, a receive call asks for the next read notification again.
    if (readPaused_) {
        readPaused_ = false;
        UpdateWatch();
    }
    if (handle_ < 0) {
        lastError_ = WSAENOTSOCK;
        return -1;
    }
    if (tls_) return TlsReceive(buffer, size);
    int err = 0;
    const long n = wsapi::Receive(handle_, buffer, static_cast<std::size_t>(std::max(size, 0)), false, err);
    if (n < 0) {
        lastError_ = err;
        return -1;
    }
    readCount_ += n;
    return static_cast<int>(n);
}

std::string TWSocket::ReceiveText() {
    const int n = RcvdCount();
    if (n <= 0) return {};
    std::string text(static_cast<std::size_t>(n), '\0');
    const int got = Receive(text.data(), n);
    text.resize(static_cast<std::size_t>(std::max(got, 0)));
    return text;
}

void TWSocket::PostNotification(std::function<void(TWSocket&)> notification) {
    std::weak_ptr<bool> alive = alive_;
    const std::uint64_t generation = generation_;
    loop_.Post([this, alive, generation, notification = std::move(notification)] {
        // Dropped when the socket is gone or the handle it was meant for has been closed.
        if (alive.expired() || !HandleCurrent(generation)) return;
        Guarded([&] { notification(*this); });
    });
}

void TWSocket::UpdateWatch() {
    if (handle_ < 0 || !watched_) return;
    unsigned mask = 0;
    if (state_ == wsConnecting && tlsHandshaking_) {
        mask = TEventLoop::Readable | (BufferedBytes() > 0 ? TEventLoop::Writable : 0u);
    } else if (state_ == wsConnecting) {
        if (!connectPosted_) mask = TEventLoop::Writable;
    } else if (state_ == wsConnected) {
        if (!readPaused_) mask |= TEventLoop::Readable;
        // Writability only matters while bytes wait; asking for it otherwise would spin the loop.
        if (BufferedBytes() > 0) mask |= TEventLoop::Writable;
    }
    loop_.SetWatchMask(handle_, mask);
}

void TWSocket::OnReady(unsigned ready) {
    const std::uint64_t generation = generation_;
    if (state_ == wsConnecting && tlsHandshaking_) return TlsReady(ready);
    if (state_ == wsConnecting) {
        // Connect completion: the socket turns writable, with the outcome in its pending error.
        DispatchConnect(static_cast<std::uint16_t>(wsapi::PendingError(handle_)));
        return;
    }
    if (state_ != wsConnected) return;

    // A peek tells waiting data from the peer's close without consuming anything.
    bool readable = false;
    std::optional<std::uint16_t> closeError;
    if ((ready & TEventLoop::Readable) && !readPaused_) {
        char probe = 0;
        int err = 0;
        const long n = wsapi::Receive(handle_, &probe, 1, true, err);
        if (n > 0) readable = true;
        else if (n == 0) closeError = 0;
        else if (err != WSAEWOULDBLOCK) closeError = static_cast<std::uint16_t>(err);
    }
    if (readable) {
        ReceiveLoop(0, false);
        if (!HandleCurrent(generation)) return;
    }
    if ((ready & TEventLoop::Writable) && BufferedBytes() > 0) {
        DispatchWrite(0);
        if (!HandleCurrent(generation)) return;
    }
    if (closeError) DispatchClose(*closeError);
    else UpdateWatch();
}

void TWSocket::DispatchConnect(std::uint16_t error) {
    if (error == 0 && Tls.Enabled && !tlsUp_) {
        connectPosted_ = false;
        return StartTls();
    }
    const std::uint64_t generation = generation_;
    Guarded([&] {
        connectPosted_ = false;
        ChangeState(wsConnected);
        Fire(OnSessionConnected, *this, error);
        if (error != 0 && state_ != wsClosed && HandleCurrent(generation)) Close();
    });
    if (HandleCurrent(generation)) UpdateWatch();
}

void TWSocket::DispatchWrite(std::uint16_t error) {
    const std::uint64_t generation = generation_;
    Guarded([&] {
        TryToSend();
        if (allSent_ && HandleCurrent(generation)) Fire(OnDataSent, *this, error);
    });
    if (HandleCurrent(generation)) UpdateWatch();
}

void TWSocket::DispatchClose(std::uint16_t error) {
    if (state_ == wsConnecting) return;
    const std::uint64_t generation = generation_;
    Guarded([&] {
        // Everything the peer sent is read before its close is reported.
        ReceiveLoop(0, true);
        // Closed by the owner while reading the last bytes: that close has been reported.
        if (!HandleCurrent(generation)) return;
        if (!closeReported_) {
            closeReported_ = true;
            Fire(OnSessionClosed, *this, error);
        }
        if (state_ != wsClosed && HandleCurrent(generation)) Close();
    });
}

void TWSocket::ReceiveLoop(std::uint16_t error, bool drain) {
    const std::uint64_t generation = generation_;
    const std::int64_t start = readCount_;
    while (true) {
        lastError_ = 0;
        if (OnDataAvailable) {
            const std::uint64_t before = receiveCalls_;
            try {
                Fire(OnDataAvailable, *this, error);
            } catch (...) {
                // Swallowed: the connection stays open, unread bytes wait for the next notification.
                if (HandleCurrent(generation) && receiveCalls_ == before) PauseReadsIfWaiting();
                return;
            }
            if (!HandleCurrent(generation)) return;
            // A handler that read nothing would be called again forever; wait for its next read.
            if (receiveCalls_ == before) return PauseReadsIfWaiting();
        } else {
            char discard[1024];
            if (Receive(discard, sizeof discard) < 0 && lastError_ == WSAEWOULDBLOCK) {
                lastError_ = 0;
                return;
            }
        }
        if (ComponentOptions.count(wsoNoReceiveLoop)) return;
        if (lastError_ != 0) return;
        int err = 0;
        const int waiting = WaitingBytes(err);
        if (waiting < 0) {
            lastError_ = err;
            return;
        }
        if (waiting == 0) return;
        // A flood must not keep the loop from its timers and the window from painting: the
        // rest is read on the next turn, which the level-triggered loop reports at once.
        if (!drain && readCount_ - start >= ReadBudget) {
            // Bytes TLS holds inside raise no readiness: they get a turn of their own.
            if (tls_ && tls_->Buffered() > 0)
                PostNotification([](TWSocket& s) {
                    if (s.state_ == wsConnected && !s.readPaused_) s.ReceiveLoop(0, false);
                });
            return;
        }
    }
}

void TWSocket::PauseReadsIfWaiting() {
    int err = 0;
    if (WaitingBytes(err) > 0) {
        readPaused_ = true;
        UpdateWatch();
    }
}

void TWSocket::Guarded(const std::function<void()>& work) {
    // Nothing may escape into the event loop.
    try {
        work();
    } catch (const std::exception& e) {
        HandleEventException(e);
    } catch (...) {
        HandleEventException(std::runtime_error("Unknown exception"));
    }
}

void TWSocket::HandleEventException(const std::exception& e) {
    bool canClose = true;
    try {
        Fire(OnBgException, *this, e, canClose);
    } catch (...) {
    }
    if (!canClose) return;
    try {
        Abort();
    } catch (...) {
    }
}
