// SPDX-License-Identifier: GPL-3.0-or-later
// TTlsSession in a build without TLS: every handshake fails with the reason.
#include "net/TlsSession.h"

namespace {

class TNoTlsSession final : public TTlsSession {
public:
    TNoTlsSession() {
        failure_.Failed = true;
        failure_.Reason = "this build of the program has no TLS";
    }
    void PutCiphertext(const char*, std::size_t) override {}
    std::string TakeCiphertext() override { return {}; }
    TStep Handshake() override { return TStep::Failed; }
    long Read(void*, std::size_t) override { return -1; }
    bool Write(const void*, std::size_t) override { return false; }
    std::size_t Buffered() const override { return 0; }
    const TTlsFailure& Failure() const override { return failure_; }

private:
    TTlsFailure failure_;
};

}  // namespace

std::unique_ptr<TTlsSession> TTlsSession::Create(const std::string&, const std::string&) {
    return std::make_unique<TNoTlsSession>();
}

bool TTlsSession::Available() { return false; }
