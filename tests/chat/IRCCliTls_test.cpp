// SPDX-License-Identifier: GPL-3.0-or-later
// The client over TLS against ngircd's TLS port: trusted, refused and pinned certificates.
#include "chat/IRCCli.h"
#include "chat/NgircdServer.h"
#include "chat/TestCertificates.h"
#include "support/TestLoop.h"
#include "support/TestSupport.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <memory>
#include <string>

using testing_support::WaitFor;

namespace {

class IRCCliTls : public ::testing::Test {
protected:
    static void SetUpTestSuite() { certs = new TTestCertificates(); }
    static void TearDownTestSuite() {
        delete certs;
        certs = nullptr;
    }
    void SetUp() override { ::setenv("SSL_CERT_FILE", certs->CaFile().c_str(), 1); }
    void TearDown() override {
        ::unsetenv("SSL_CERT_FILE");
        EXPECT_EQ(loop.WatchCount(), 0u);
        EXPECT_EQ(loop.TimerCount(), 0u);
    }

    std::unique_ptr<TNgircdServer> Server(const TTestCertificates::TPair& pair) {
        TNgircdServer::TOptions o;
        o.tlsCertFile = pair.Cert;
        o.tlsKeyFile = pair.Key;
        return std::make_unique<TNgircdServer>(o);
    }
    // A TLS client for host on the server's TLS port, counting what it reports.
    std::unique_ptr<TIRCCli> Client(const TNgircdServer& server, const std::string& nick,
                                    const std::string& host = "localhost") {
        auto c = std::make_unique<TIRCCli>(loop);
        c->SetHost(host);
        c->SetPort(server.TlsPortText());
        c->SetUseTls(true);
        c->SetNick(nick);
        c->SetUser("u" + nick);
        c->SetRealName("tls test");
        c->OnSessionConnected = [this](TIRCCli&, std::uint16_t) { ++connected; };
        c->OnSessionClosed = [this](TIRCCli&, std::uint16_t) { ++closed; };
        c->OnServerMessage = [this](TIRCCli&, const std::string&, const std::string& command,
                                    const std::vector<std::string>&) {
            if (command == "001") ++welcomed;
        };
        return c;
    }

    static TTestCertificates* certs;
    testing_support::TTestLoop loop;
    int connected = 0, closed = 0, welcomed = 0;
};

TTestCertificates* IRCCliTls::certs = nullptr;

}  // namespace

TEST_F(IRCCliTls, TrustedCertificateCarriesALoginAndAFloodOfLines) {
    auto server = Server(certs->Trusted());
    auto ann = Client(*server, "ann");
    ann->Connect();
    ASSERT_TRUE(WaitFor(loop, [&] { return welcomed == 1; })) << ann->Socket().TlsFailure().Reason;
    EXPECT_EQ(connected, 1);
    EXPECT_TRUE(ann->Socket().TlsUp());
    EXPECT_FALSE(ann->Socket().TlsFailure().Failed);

    // A plain-text client floods the TLS one; the smallest read budget makes every turn stop
    // with bytes still inside TLS, which must come out whole and in order.
    ann->Socket().ReadBudget = 1;
    TIRCCli bob(loop);
    bob.SetHost("127.0.0.1");
    bob.SetPort(server->PortText());
    bob.SetNick("bob");
    bob.SetUser("ubob");
    bob.SetRealName("plain");
    int bobWelcomed = 0;
    bob.OnServerMessage = [&](TIRCCli&, const std::string&, const std::string& command,
                              const std::vector<std::string>&) { bobWelcomed += command == "001"; };
    bob.Connect();
    ASSERT_TRUE(WaitFor(loop, [&] { return bobWelcomed == 1; }));
    int heard = 0;
    std::string last;
    ann->OnMessage = [&](TIRCCli&, const std::string&, const std::string&, const std::string&, const std::string&,
                         const std::string& text, bool) {
        ++heard;
        last = text;
    };
    const std::string filler(380, 'x');
    constexpr int kLines = 1500;
    for (int i = 1; i <= kLines; ++i) bob.SendLine("PRIVMSG ann :" + std::to_string(i) + filler);
    ASSERT_TRUE(WaitFor(loop, [&] { return heard == kLines; }, 20000)) << heard;
    EXPECT_EQ(last, std::to_string(kLines) + filler);

    ann->SendLine("QUIT :done");
    ASSERT_TRUE(WaitFor(loop, [&] { return closed == 1; }));
    bob.Disconnect();
}

TEST_F(IRCCliTls, RefusedCertificatesNameTheReasonAndTheFingerprint) {
    struct TCase {
        const TTestCertificates::TPair* pair;
        const char* reason;
    } cases[] = {
        {&certs->SelfSigned(), "self-signed"},
        {&certs->Expired(), "expired"},
        {&certs->OtherName(), "mismatch"},
    };
    for (const TCase& c : cases) {
        SCOPED_TRACE(c.reason);
        connected = closed = welcomed = 0;
        auto server = Server(*c.pair);
        auto cli = Client(*server, "ann");
        cli->Connect();
        ASSERT_TRUE(WaitFor(loop, [&] { return closed == 1; }));
        const TTlsFailure& f = cli->Socket().TlsFailure();
        EXPECT_TRUE(f.Failed);
        EXPECT_TRUE(f.CertificateRejected);
        EXPECT_NE(f.Reason.find(c.reason), std::string::npos) << f.Reason;
        EXPECT_EQ(f.Fingerprint, TTestCertificates::Fingerprint(c.pair->Cert));
        EXPECT_EQ(connected, 0);
        EXPECT_EQ(welcomed, 0);
        EXPECT_FALSE(cli->Active());
        // Nothing tries again behind the owner's back.
        testing_support::Drain(loop, 200);
        EXPECT_EQ(closed, 1);
    }
}

TEST_F(IRCCliTls, APinnedCertificateIsTheOnlyOneAccepted) {
    auto selfSigned = Server(certs->SelfSigned());
    const std::string pin = TTestCertificates::Fingerprint(certs->SelfSigned().Cert);
    auto cli = Client(*selfSigned, "ann", "127.0.0.1");
    cli->SetTlsPin(pin);
    cli->Connect();
    ASSERT_TRUE(WaitFor(loop, [&] { return welcomed == 1; })) << cli->Socket().TlsFailure().Reason;
    cli->Disconnect();
    ASSERT_EQ(closed, 1);

    // The host now shows another certificate, even one the CA vouches for: refused.
    auto renewed = Server(certs->Renewed());
    cli->SetPort(renewed->TlsPortText());
    cli->Connect();
    ASSERT_TRUE(WaitFor(loop, [&] { return closed == 2; }));
    const TTlsFailure& f = cli->Socket().TlsFailure();
    EXPECT_TRUE(f.CertificateRejected);
    EXPECT_EQ(f.PinnedFingerprint, pin);
    EXPECT_EQ(f.Fingerprint, TTestCertificates::Fingerprint(certs->Renewed().Cert));
    EXPECT_EQ(welcomed, 1);
}
