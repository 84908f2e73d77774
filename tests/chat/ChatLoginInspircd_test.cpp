// SPDX-License-Identifier: GPL-3.0-or-later
// The secure lobby against a real InspIRCd with Atheme: a plain connect upgrades itself by
// strict transport and the stored policy keeps the next run off plain text; SASL PLAIN logs
// in, a wrong password fails cleanly and the session goes on; no password reaches the file.
#include "ChatRig.h"
#include "chat/TestCertificates.h"
#include "settings/RegFileKey.h"
#include "support/InspircdServer.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cstdlib>
#include <fstream>
#include <sstream>

using testing_support::ReadFile;
using testing_support::WaitFor;

namespace {

using Texts = std::vector<std::string>;

// One run of the chat: its settings from the file, the secure login's wiring.
struct TChatRun : TChatRig {
    TChatRun(const std::filesystem::path& settingsFile, TSecretStore& secrets) : key(settingsFile) {
        LoadSettings(key, settings, TSystemNames{"ann", "box"}, random);
        settings.Nickname = "Ann";
        ann.OnNegotiationNote = [this](TIRCCli&, const std::string& text, bool error) {
            chat.AddLineToRichEdit("", text, error ? LineClass::Error : LineClass::Info);
        };
        ann.OnStsUpgrade = [this](TIRCCli& s, int port) { session.StsUpgrade(s, port); };
        ann.OnStsDuration = [this](TIRCCli& s, std::int64_t seconds) { session.StsDuration(s, seconds); };
        session.Secrets = &secrets;
        session.OnSettingsChanged = [this](const std::string& name) { SaveSettingsValue(key, settings, name); };
    }
    // The first in the channel is its operator: "@Ann".
    bool InLobby() { return Listed("#Lobby_20", "Ann"); }
    bool Said(const std::string& start) const { return ServerLinesStarting(start) > 0; }
    bool SaidExactly(const std::string& line) const {
        const Texts lines = page.Server.Texts();
        return std::find(lines.begin(), lines.end(), line) != lines.end();
    }

    TRegFileKey key;
};

class ChatLoginOnInspircd : public ::testing::Test {
protected:
    ChatLoginOnInspircd() { ::setenv("SSL_CERT_FILE", certs.CaFile().c_str(), 1); }

    TTestCertificates certs;
    TInspircdServer ircd{{.CertFile = certs.Trusted().Cert, .KeyFile = certs.Trusted().Key, .Sts = true,
                          .StsDuration = 3600, .Services = true}};
    testing_support::TTempDir dir;
    std::filesystem::path file = dir.Path() / "settings.reg";
    TMemorySecretStore secrets;
};

}  // namespace

TEST_F(ChatLoginOnInspircd, APlainConnectUpgradesByStrictTransportAndTheNextRunNeverTriesPlainText) {
    const std::string tls = std::to_string(ircd.TlsPort());
    {
        TChatRun run(file, secrets);
        run.session.SetServer("localhost", ircd.PortText(), false);
        run.session.btnChatConnectionClick();
        ASSERT_TRUE(WaitFor(run.loop, [&] { return run.InLobby(); }, 15000)) << run.ServerText() << ircd.Log();
        EXPECT_TRUE(run.ann.UseTls());
        EXPECT_TRUE(run.Said("localhost asks for TLS (strict transport): reconnecting with TLS on port " + tls))
            << run.ServerText();
        EXPECT_TRUE(run.Said("Connecting to localhost:" + tls + " (TLS)"));
        const TStsPolicy policy = FindStsPolicy(run.settings.ChatStsPolicies, "localhost", std::time(nullptr));
        EXPECT_TRUE(policy.Holds) << run.settings.ChatStsPolicies;
        EXPECT_EQ(policy.Port, ircd.TlsPort());
        EXPECT_NEAR(static_cast<double>(policy.Expiry), static_cast<double>(std::time(nullptr) + 3600), 60);
    }
    EXPECT_NE(ReadFile(file).find("\"ChatStsPolicies\"=\"localhost " + tls + " "), std::string::npos);

    // A new run reads the policy and goes to the TLS port at once, though told the plain one.
    {
        TChatRun run(file, secrets);
        run.session.SetServer("localhost", ircd.PortText(), false);
        run.session.btnChatConnectionClick();
        ASSERT_TRUE(WaitFor(run.loop, [&] { return run.InLobby(); }, 15000)) << run.ServerText();
        EXPECT_FALSE(run.SaidExactly("Connecting to localhost:" + ircd.PortText())) << run.ServerText();
        EXPECT_TRUE(run.Said("localhost asked for TLS only (strict transport"));
    }
    // Under the policy a certificate that fails stays a failure: no plain text to fall back to.
    ::setenv("SSL_CERT_FILE", certs.Expired().Cert.c_str(), 1);
    {
        TChatRun run(file, secrets);
        run.session.SetServer("localhost", ircd.PortText(), false);
        run.session.btnChatConnectionClick();
        ASSERT_TRUE(WaitFor(run.loop, [&] { return run.Said("The certificate of localhost was refused"); }, 15000))
            << run.ServerText();
        EXPECT_TRUE(WaitFor(run.loop, [&] { return !run.ann.Active(); }));
        EXPECT_FALSE(run.SaidExactly("Connecting to localhost:" + ircd.PortText())) << run.ServerText();
    }
}

TEST_F(ChatLoginOnInspircd, SaslPlainLogsInAWrongPasswordFailsCleanlyAndNoPasswordReachesTheSettingsFile) {
    TAthemeServer services(ircd);
    services.RegisterAccount("ann", "secretpw");
    TChatRun run(file, secrets);
    run.settings.ChatAccount = "ann";
    ASSERT_TRUE(secrets.Write(SecretKey("ann", "localhost"), "secretpw").Ok);
    run.session.SetServer("localhost", std::to_string(ircd.TlsPort()), true);
    run.session.btnChatConnectionClick();
    ASSERT_TRUE(WaitFor(run.loop, [&] { return run.InLobby(); }, 15000)) << run.ServerText() << services.Log();
    EXPECT_TRUE(run.Said("Logged in as ann (SASL)")) << run.ServerText();
    EXPECT_EQ(run.ann.Caps().Sasl(), TCapNegotiation::TSasl::LoggedIn);
    EXPECT_TRUE(run.ann.Caps().Enabled("multi-prefix"));

    run.session.Disconnect();
    ASSERT_TRUE(WaitFor(run.loop, [&] { return !run.ann.Active(); }));
    secrets.Write(SecretKey("ann", "localhost"), "wrongpw");
    run.page.Server.Lines.clear();
    run.session.btnChatConnectionClick();
    ASSERT_TRUE(WaitFor(run.loop, [&] { return run.InLobby(); }, 15000)) << run.ServerText();
    EXPECT_TRUE(run.Said("The SASL login as ann failed: the account name or password is wrong")) << run.ServerText();
    EXPECT_FALSE(run.Said("Logged in as"));
    EXPECT_EQ(run.ann.Caps().Sasl(), TCapNegotiation::TSasl::Failed);

    SaveSettings(run.key, run.settings, run.settings);
    const std::string stored = ReadFile(file);
    EXPECT_NE(stored.find("\"ChatAccount\"=\"ann\""), std::string::npos);
    EXPECT_EQ(stored.find("secretpw"), std::string::npos);
    EXPECT_EQ(stored.find("wrongpw"), std::string::npos);
}
