// SPDX-License-Identifier: GPL-3.0-or-later
// TTestCertificates: a test CA and server certificates made with the openssl command.
#pragma once

#include "support/TestSupport.h"

#include <string>

class TTestCertificates {
public:
    // A certificate and its key, PEM files readable by the unprivileged user a server drops to.
    struct TPair {
        std::string Cert, Key;
    };

    // Makes the CA and every kind below in a temporary folder; throws std::runtime_error with
    // openssl's output when the command is missing or fails.
    TTestCertificates();

    // The CA, for SSL_CERT_FILE.
    std::string CaFile() const;
    // Issued by the CA for localhost and 127.0.0.1, valid now.
    const TPair& Trusted() const { return trusted_; }
    // Signed by itself for localhost and 127.0.0.1.
    const TPair& SelfSigned() const { return selfSigned_; }
    // Issued by the CA for localhost and 127.0.0.1, ended in 2020.
    const TPair& Expired() const { return expired_; }
    // Issued by the CA for another name only.
    const TPair& OtherName() const { return otherName_; }
    // Another certificate from the CA for localhost: what a server shows after a key change.
    const TPair& Renewed() const { return renewed_; }

    // The SHA-256 fingerprint as openssl x509 prints it ("AB:CD:...").
    static std::string Fingerprint(const std::string& certFile);

private:
    void Run(const std::string& command) const;
    TPair Issue(const std::string& name, const std::string& extensions, const std::string& dates);

    testing_support::TTempDir dir_;
    TPair trusted_, selfSigned_, expired_, otherName_, renewed_;
};
