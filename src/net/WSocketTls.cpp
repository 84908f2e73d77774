// SPDX-License-Identifier: GPL-3.0-or-later
// TWSocket: the TLS layer between the TCP connect and the session, and its encrypted reads.
#include "net/WSocket.h"

#include "net/WSocketApi.h"
#include "net/WSocketErrors.h"

namespace {

// One TLS record with its header and some room; reads from the descriptor go in such steps.
constexpr std::size_t kRecordRead = 17 * 1024;
// Ciphertext taken per receive call without a plain byte coming out of it: a peer that sends
// endless empty or unreadable records cannot hold the loop.
constexpr std::size_t kCiphertextPerReceive = 64 * 1024;

}  // namespace

void TWSocket::StartTls() {
    const std::string name = Tls.ServerName.empty() ? addr_ : Tls.ServerName;
    tls_ = TTlsSession::Create(name, Tls.PinnedFingerprint);
    tlsHandshaking_ = true;
    tlsUp_ = false;
    const std::uint64_t generation = generation_;
    tlsTimer_ = loop_.StartTimer(Tls.HandshakeLimit, [this, generation] {
        if (!HandleCurrent(generation) || !tlsHandshaking_) return;
        TTlsFailure f;
        f.Failed = true;
        f.Reason = "the TLS handshake did not finish within " +
                   std::to_string(Tls.HandshakeLimit.count() / 1000) + " s";
        Guarded([&] { TlsFail(f); });
    });
    TlsHandshakeStep();
}

void TWSocket::TlsReady(unsigned ready) {
    const std::uint64_t generation = generation_;
    if (ready & TEventLoop::Writable) TryToSend();
    if (!HandleCurrent(generation) || !tlsHandshaking_) return;
    if (ready & TEventLoop::Readable) {
        char buffer[kRecordRead];
        int err = 0;
        const long n = wsapi::Receive(handle_, buffer, sizeof buffer, false, err);
        if (n == 0 || (n < 0 && err != WSAEWOULDBLOCK)) {
            TTlsFailure f = tls_->Failure();
            f.Failed = true;
            f.Reason = n == 0 ? "the server closed the connection during the TLS handshake"
                              : "the connection failed during the TLS handshake: " + ErrorText(err);
            return TlsFail(f);
        }
        if (n > 0) tls_->PutCiphertext(buffer, static_cast<std::size_t>(n));
    }
    TlsHandshakeStep();
}

void TWSocket::TlsHandshakeStep() {
    const TTlsSession::TStep step = tls_->Handshake();
    // The alert that tells the peer why goes out before the connection is closed.
    TlsFlush();
    TryToSend();
    if (step == TTlsSession::TStep::Failed) return TlsFail(tls_->Failure());
    if (step == TTlsSession::TStep::WantMore) return UpdateWatch();
    tlsHandshaking_ = false;
    tlsUp_ = true;
    if (tlsTimer_ != 0) loop_.StopTimer(tlsTimer_);
    tlsTimer_ = 0;
    DispatchConnect(0);
    // The server may have sent its first lines together with the end of the handshake.
    if (state_ == wsConnected && tls_ && tls_->Buffered() > 0)
        PostNotification([](TWSocket& s) {
            if (s.state_ == wsConnected && !s.readPaused_) s.ReceiveLoop(0, false);
        });
}

void TWSocket::TlsFail(const TTlsFailure& failure) {
    tlsFailure_ = failure;
    tlsFailure_.Failed = true;
    const std::uint64_t generation = generation_;
    DropTls();
    UpdateWatch();
    // Reported as the connect's outcome, never as a session that came up.
    Fire(OnSessionConnected, *this, TlsFailedError);
    if (HandleCurrent(generation) && state_ != wsClosed) CloseSocketHandle(false, TlsFailedError);
}

void TWSocket::TlsFlush() {
    if (!tls_) return;
    const std::string out = tls_->TakeCiphertext();
    QueueBytes(out.data(), static_cast<int>(out.size()));
}

void TWSocket::DropTls() {
    if (tlsTimer_ != 0) loop_.StopTimer(tlsTimer_);
    tlsTimer_ = 0;
    tls_.reset();
    tlsHandshaking_ = false;
    tlsUp_ = false;
    tlsEnded_ = false;
}

int TWSocket::TlsReceive(void* buffer, int size) {
    if (size <= 0) return 0;
    std::size_t fed = 0;
    while (true) {
        const long n = tls_->Read(buffer, static_cast<std::size_t>(size));
        // Reading may have produced bytes for the peer (key updates).
        TlsFlush();
        if (n > 0) {
            TryToSend();
            readCount_ += n;
            return static_cast<int>(n);
        }
        if (n < 0) {
            // The peer's close_notify ends the stream as a zero-byte receive does; a broken
            // record is a reset. Whatever follows on the descriptor means nothing, and left
            // there it would keep the descriptor readable: the connection is closed next turn.
            const bool broken = tls_->Failure().Failed;
            if (!tlsEnded_) {
                tlsEnded_ = true;
                if (broken) tlsFailure_ = tls_->Failure();
                const std::uint16_t error = broken ? WSAECONNRESET : 0;
                PostNotification([error](TWSocket& s) { s.DispatchClose(error); });
            }
            if (!broken) return 0;
            lastError_ = WSAECONNRESET;
            return -1;
        }
        if (fed >= kCiphertextPerReceive) {
            lastError_ = WSAEWOULDBLOCK;
            return -1;
        }
        char cipher[kRecordRead];
        int err = 0;
        const long got = wsapi::Receive(handle_, cipher, sizeof cipher, false, err);
        if (got == 0) return 0;
        if (got < 0) {
            lastError_ = err;
            return -1;
        }
        tls_->PutCiphertext(cipher, static_cast<std::size_t>(got));
        fed += static_cast<std::size_t>(got);
    }
}

int TWSocket::WaitingBytes(int& error) {
    const int n = wsapi::PendingBytes(handle_, error);
    if (n < 0 || !tls_) return n;
    if (tlsEnded_) return 0;
    return n + static_cast<int>(tls_->Buffered());
}
