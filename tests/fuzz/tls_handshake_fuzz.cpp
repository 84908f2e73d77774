// SPDX-License-Identifier: GPL-3.0-or-later
// A TLS server's bytes, cut into receipts: the client never takes them for a verified session,
// and what it holds stays within what arrived.
#include "FuzzSupport.h"
#include "net/TlsSession.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    auto tls = TTlsSession::Create("irc.example", "");
    FUZZ_CHECK(tls->Handshake() == TTlsSession::TStep::WantMore);
    FUZZ_CHECK(!tls->TakeCiphertext().empty());  // the client's hello
    std::size_t fed = 0;
    for (std::string_view piece : fuzz::Receipts(fuzz::Bytes(data, size))) {
        tls->PutCiphertext(piece.data(), piece.size());
        fed += piece.size();
        const auto step = tls->Handshake();
        // No certificate a fuzzer can make verifies against the trust store for this name.
        FUZZ_CHECK(step != TTlsSession::TStep::Done);
        FUZZ_CHECK(tls->Buffered() <= fed);
        tls->TakeCiphertext();
        char plain[512];
        FUZZ_CHECK(tls->Read(plain, sizeof plain) == -1);
        if (step == TTlsSession::TStep::Failed) {
            FUZZ_CHECK(tls->Failure().Failed && !tls->Failure().Reason.empty());
            break;
        }
    }
    return 0;
}
