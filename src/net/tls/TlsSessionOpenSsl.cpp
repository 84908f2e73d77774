// SPDX-License-Identifier: GPL-3.0-or-later
// TTlsSession with OpenSSL 3 over two memory BIOs: OpenSSL never touches the descriptor.
#include "net/TlsSession.h"

#include "net/WSocketApi.h"

#include <openssl/err.h>
#include <openssl/ssl.h>
#include <openssl/x509v3.h>

#include <cstdio>
#include <cstdlib>

namespace {

bool IsAddress(const std::string& name) { return wsapi::IsAddressLiteral(name); }

std::string Fingerprint(X509* cert) {
    unsigned char md[EVP_MAX_MD_SIZE];
    unsigned int len = 0;
    if (!cert || X509_digest(cert, EVP_sha256(), md, &len) != 1) return {};
    std::string out;
    char pair[4];
    for (unsigned int i = 0; i < len; ++i) {
        std::snprintf(pair, sizeof pair, i ? ":%02X" : "%02X", md[i]);
        out += pair;
    }
    return out;
}

// The first queued OpenSSL error as text, and the queue emptied so it cannot leak into the
// next session on this thread.
std::string TakeErrorText(const char* fallback) {
    const unsigned long code = ERR_get_error();
    ERR_clear_error();
    if (code == 0) return fallback;
    char text[256];
    ERR_error_string_n(code, text, sizeof text);
    return text;
}

std::string Env(const char* name) {
    const char* v = std::getenv(name);
    return v ? v : "";
}

// Loading the trust store costs far more than a handshake, so the context is made once and
// kept while SSL_CERT_FILE and SSL_CERT_DIR stay as they were. Returns a reference of its own.
SSL_CTX* SharedContext() {
    static SSL_CTX* shared = nullptr;
    static std::string file, dir;
    const std::string nowFile = Env("SSL_CERT_FILE"), nowDir = Env("SSL_CERT_DIR");
    if (!shared || nowFile != file || nowDir != dir) {
        SSL_CTX* ctx = SSL_CTX_new(TLS_client_method());
        if (!ctx) return nullptr;
        SSL_CTX_set_min_proto_version(ctx, TLS1_2_VERSION);
        // The default paths honour SSL_CERT_FILE and SSL_CERT_DIR like every OpenSSL program.
        SSL_CTX_set_default_verify_paths(ctx);
        ERR_clear_error();  // a missing default folder is no failure
        SSL_CTX_free(shared);
        shared = ctx;
        file = nowFile;
        dir = nowDir;
    }
    SSL_CTX_up_ref(shared);
    return shared;
}

class TOpenSslSession final : public TTlsSession {
public:
    TOpenSslSession(const std::string& serverName, const std::string& pin) : pin_(pin) {
        ERR_clear_error();
        ctx_ = SharedContext();
        if (!ctx_) {
            Fail("cannot set up TLS: " + TakeErrorText("no context"));
            return;
        }
        ssl_ = SSL_new(ctx_);
        BIO* in = BIO_new(BIO_s_mem());
        BIO* out = BIO_new(BIO_s_mem());
        if (!ssl_ || !in || !out) {
            BIO_free(in);
            BIO_free(out);
            Fail("cannot set up TLS: " + TakeErrorText("out of memory"));
            return;
        }
        // An empty memory BIO reports "retry" rather than end of file.
        BIO_set_mem_eof_return(in, -1);
        BIO_set_mem_eof_return(out, -1);
        in_ = in;
        out_ = out;
        SSL_set_bio(ssl_, in, out);
        SSL_set_connect_state(ssl_);
        // Verified after the handshake, so that a refused certificate can still be named by
        // its fingerprint; no application byte is exchanged before that check.
        SSL_set_verify(ssl_, SSL_VERIFY_NONE, nullptr);
        if (IsAddress(serverName)) {
            X509_VERIFY_PARAM_set1_ip_asc(SSL_get0_param(ssl_), serverName.c_str());
        } else if (!serverName.empty()) {
            SSL_set_tlsext_host_name(ssl_, serverName.c_str());
            SSL_set1_host(ssl_, serverName.c_str());
        }
    }

    ~TOpenSslSession() override {
        SSL_free(ssl_);  // frees both BIOs
        SSL_CTX_free(ctx_);
    }

    void PutCiphertext(const char* data, std::size_t size) override {
        if (in_ && size > 0) BIO_write(in_, data, static_cast<int>(size));
    }

    std::string TakeCiphertext() override {
        std::string out;
        if (!out_) return out;
        char buf[16384];
        int n;
        while ((n = BIO_read(out_, buf, sizeof buf)) > 0) out.append(buf, static_cast<std::size_t>(n));
        return out;
    }

    TStep Handshake() override {
        if (failure_.Failed) return TStep::Failed;
        if (done_) return TStep::Done;
        ERR_clear_error();
        const int r = SSL_do_handshake(ssl_);
        if (r != 1) {
            const int e = SSL_get_error(ssl_, r);
            if (e == SSL_ERROR_WANT_READ || e == SSL_ERROR_WANT_WRITE) return TStep::WantMore;
            Fail("TLS handshake failed: " + TakeErrorText("the peer broke off"));
            return TStep::Failed;
        }
        X509* cert = SSL_get0_peer_certificate(ssl_);
        failure_.Fingerprint = Fingerprint(cert);
        if (!cert) {
            Reject("the server sent no certificate");
        } else if (!pin_.empty()) {
            if (failure_.Fingerprint != pin_) {
                failure_.PinnedFingerprint = pin_;
                Reject("the certificate is not the one trusted for this host");
            }
        } else if (const long v = SSL_get_verify_result(ssl_); v != X509_V_OK) {
            Reject(X509_verify_cert_error_string(v));
        }
        if (failure_.Failed) return TStep::Failed;
        done_ = true;
        return TStep::Done;
    }

    long Read(void* buffer, std::size_t size) override {
        if (!done_ || failure_.Failed) return -1;
        ERR_clear_error();
        const int n = SSL_read(ssl_, buffer, static_cast<int>(size));
        if (n > 0) return n;
        const int e = SSL_get_error(ssl_, n);
        if (e == SSL_ERROR_WANT_READ || e == SSL_ERROR_WANT_WRITE) return 0;
        if (e != SSL_ERROR_ZERO_RETURN) Fail("TLS failed: " + TakeErrorText("broken record"));
        ERR_clear_error();
        return -1;
    }

    bool Write(const void* data, std::size_t size) override {
        if (!done_ || failure_.Failed) return false;
        if (size == 0) return true;
        ERR_clear_error();
        // A memory BIO takes everything, so a write is never partial.
        if (SSL_write(ssl_, data, static_cast<int>(size)) > 0) return true;
        Fail("TLS failed: " + TakeErrorText("write refused"));
        return false;
    }

    std::size_t Buffered() const override {
        if (!ssl_) return 0;
        return static_cast<std::size_t>(SSL_pending(ssl_)) + (in_ ? BIO_ctrl_pending(in_) : 0);
    }

    const TTlsFailure& Failure() const override { return failure_; }

private:
    void Fail(const std::string& reason) {
        if (failure_.Failed) return;
        failure_.Failed = true;
        failure_.Reason = reason;
    }
    void Reject(const std::string& reason) {
        Fail(reason);
        failure_.CertificateRejected = true;
    }

    SSL_CTX* ctx_ = nullptr;
    SSL* ssl_ = nullptr;
    BIO* in_ = nullptr;
    BIO* out_ = nullptr;
    std::string pin_;
    bool done_ = false;
    TTlsFailure failure_;
};

}  // namespace

std::unique_ptr<TTlsSession> TTlsSession::Create(const std::string& serverName, const std::string& pin) {
    return std::make_unique<TOpenSslSession>(serverName, pin);
}

bool TTlsSession::Available() { return true; }
