// SPDX-License-Identifier: GPL-3.0-or-later
// TTlsSession: a TLS client over memory buffers; the TCP connection moves its ciphertext.
#pragma once

#include <cstddef>
#include <memory>
#include <string>

// Why a TLS connection did not come up, for the owner to show; Failed is false while none did.
struct TTlsFailure {
    bool Failed = false;
    // The certificate was refused (chain, dates, name or pin); the other failures are the
    // handshake's own (garbage, a close half-way, no common version, the time limit).
    bool CertificateRejected = false;
    std::string Reason;
    // SHA-256 of the server's certificate as colon-separated hex pairs; empty when none came.
    std::string Fingerprint;
    // The fingerprint pinned for the host when the certificate did not match it.
    std::string PinnedFingerprint;
};

class TTlsSession {
public:
    enum class TStep { Done, WantMore, Failed };

    // serverName is sent as SNI (unless it is an address) and checked against the
    // certificate. A non-empty pin (see TTlsFailure::Fingerprint) replaces the chain check:
    // that certificate and no other is accepted.
    static std::unique_ptr<TTlsSession> Create(const std::string& serverName, const std::string& pin);
    // False in a build without TLS; Create then gives a session whose handshake fails.
    static bool Available();

    virtual ~TTlsSession() = default;

    // Bytes that arrived from the peer.
    virtual void PutCiphertext(const char* data, std::size_t size) = 0;
    // Bytes for the peer, produced by the calls before; empties the outgoing side.
    virtual std::string TakeCiphertext() = 0;
    // Advances the handshake with what has arrived; Done only with a verified certificate.
    virtual TStep Handshake() = 0;
    // Plain bytes: > 0 read, 0 nothing decodable yet, -1 the peer ended TLS or broke it
    // (Failure() says which when broken).
    virtual long Read(void* buffer, std::size_t size) = 0;
    // Encrypts all of size bytes for TakeCiphertext; false when the session is broken.
    virtual bool Write(const void* data, std::size_t size) = 0;
    // Bytes held inside that a Read may return without more ciphertext (decoded plain bytes
    // and undecoded ciphertext).
    virtual std::size_t Buffered() const = 0;
    virtual const TTlsFailure& Failure() const = 0;
};
