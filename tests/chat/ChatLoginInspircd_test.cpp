// SPDX-License-Identifier: GPL-3.0-or-later
// The secure lobby against a real InspIRCd with Atheme: a plain connect upgrades itself by
// strict transport and the stored policy keeps the next run off plain text; SASL PLAIN logs
// in, a wrong password fails cleanly and the session goes on; no password reaches the file.
#include "FakeChatPage.h"
#include "chat/ChatSession.h"
#include "chat/ServerMessage.h"
#include "chat/TestCertificates.h"
#include "settings/RegFileKey.h"
#include "support/InspircdServer.h"
#include "support/TestLoop.h"
#include "support/TestSupport.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cstdlib>
#include <fstream>
#include <sstream>

using testing_support::WaitFor;

namespace {

using Texts = std::vector<std::string>;

// One run of the chat: its settings from the file, the logic, the page's stand-in.
struct TChatRun {
    TChatRun(const std::filesystem::path& settingsFile, TSecretStore& secrets) : key(settingsFile) {
        LoadSettings(key, settings, TSystemNames{"ann", "box"}, random);
        settings.Nickname = "Ann";
        ann.OnSessionConnected = [this](TIRCCli& s, std::uint16_t e) { session.IRCCli1SessionConnected(s, e); };
        ann.OnSessionClosed = [this](TIRCCli& s, std::uint16_t e) { session.IRCCli1SessionClosed(s, e); };
        ann.OnServerMessage = [this](TIRCCli& s, const std::string& p, const std::string& c, const Texts& params) {
            session.ServerLine(c, params);
            messages.IRCCli1ServerMessage(s, p, c, params);
        };
        ann.OnNegotiationNote = [this](TIRCCli&, const std::string& text, bool error) {
            chat.AddLineToRichEdit("", text, error ? LineClass::Error : LineClass::Info);
        };
        ann.OnStsUpgrade = [this](TIRCCli& s, int port) { session.StsUpgrade(s, port); };
        ann.OnStsDuration = [this](TIRCCli& s, std::int64_t seconds) { session.StsDuration(s, seconds); };
        messages.OnWelcome = [this] { session.Welcomed(); };
        session.Secrets = &secrets;
        session.OnSettingsChanged = [this](const std::string& name) { SaveSettingsValue(key, settings, name); };
    }
    ~TChatRun() {
        ann.OnSessionClosed = nullptr;
        session.Disconnect();
    }
    bool InLobby() {
        TFakeList* list = page.List("#Lobby_20");
        // The first in the channel is its operator: "@Ann".
        return list && std::any_of(list->Items.begin(), list->Items.end(),
                                   [](const std::string& c) { return c == "Ann" || c == "@Ann"; });
    }
    bool Said(const std::string& start) {
        const Texts lines = page.Server.Texts();
        return std::any_of(lines.begin(), lines.end(), [&](const std::string& l) { return l.starts_with(start); });
    }
    bool SaidExactly(const std::string& line) {
        const Texts lines = page.Server.Texts();
        return std::find(lines.begin(), lines.end(), line) != lines.end();
    }
    std::string Server() {
        std::string all;
        for (const auto& l : page.Server.Texts()) all += testing_support::Escaped(l) + "\n";
        return all;
    }

    TRegFileKey key;
    testing_support::TTestLoop loop;
    TIRCCli ann{loop};
    TFakeChatPage page;
    TConversations chat{page};
    TSettings settings;
    TRandomGenerator random;
    TPingValues ping;
    TChatSession session{ann, chat, settings, random, "", ""};
    TServerMessages messages{ann, chat, settings, ping};
};

std::string FileText(const std::filesystem::path& path) {
    std::ifstream in(path, std::ios::binary);
    std::stringstream s;
    s << in.rdbuf();
    return s.str();
}

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
        ASSERT_TRUE(WaitFor(run.loop, [&] { return run.InLobby(); }, 15000)) << run.Server() << ircd.Log();
        EXPECT_TRUE(run.ann.UseTls());
        EXPECT_TRUE(run.Said("localhost asks for TLS (strict transport): reconnecting with TLS on port " + tls))
            << run.Server();
        EXPECT_TRUE(run.Said("Connecting to localhost:" + tls + " (TLS)"));
        const TStsPolicy policy = FindStsPolicy(run.settings.ChatStsPolicies, "localhost", std::time(nullptr));
        EXPECT_TRUE(policy.Holds) << run.settings.ChatStsPolicies;
        EXPECT_EQ(policy.Port, ircd.TlsPort());
        EXPECT_NEAR(static_cast<double>(policy.Expiry), static_cast<double>(std::time(nullptr) + 3600), 60);
    }
    EXPECT_NE(FileText(file).find("\"ChatStsPolicies\"=\"localhost " + tls + " "), std::string::npos);

    // A new run reads the policy and goes to the TLS port at once, though told the plain one.
    {
        TChatRun run(file, secrets);
        run.session.SetServer("localhost", ircd.PortText(), false);
        run.session.btnChatConnectionClick();
        ASSERT_TRUE(WaitFor(run.loop, [&] { return run.InLobby(); }, 15000)) << run.Server();
        EXPECT_FALSE(run.SaidExactly("Connecting to localhost:" + ircd.PortText())) << run.Server();
        EXPECT_TRUE(run.Said("localhost asked for TLS only (strict transport"));
    }
    // Under the policy a certificate that fails stays a failure: no plain text to fall back to.
    ::setenv("SSL_CERT_FILE", certs.Expired().Cert.c_str(), 1);
    {
        TChatRun run(file, secrets);
        run.session.SetServer("localhost", ircd.PortText(), false);
        run.session.btnChatConnectionClick();
        ASSERT_TRUE(WaitFor(run.loop, [&] { return run.Said("The certificate of localhost was refused"); }, 15000))
            << run.Server();
        EXPECT_TRUE(WaitFor(run.loop, [&] { return !run.ann.Active(); }));
        EXPECT_FALSE(run.SaidExactly("Connecting to localhost:" + ircd.PortText())) << run.Server();
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
    ASSERT_TRUE(WaitFor(run.loop, [&] { return run.InLobby(); }, 15000)) << run.Server() << services.Log();
    EXPECT_TRUE(run.Said("Logged in as ann (SASL)")) << run.Server();
    EXPECT_EQ(run.ann.Caps().Sasl(), TCapNegotiation::TSasl::LoggedIn);
    EXPECT_TRUE(run.ann.Caps().Enabled("multi-prefix"));

    run.session.Disconnect();
    ASSERT_TRUE(WaitFor(run.loop, [&] { return !run.ann.Active(); }));
    secrets.Write(SecretKey("ann", "localhost"), "wrongpw");
    run.page.Server.Lines.clear();
    run.session.btnChatConnectionClick();
    ASSERT_TRUE(WaitFor(run.loop, [&] { return run.InLobby(); }, 15000)) << run.Server();
    EXPECT_TRUE(run.Said("The SASL login as ann failed: the account name or password is wrong")) << run.Server();
    EXPECT_FALSE(run.Said("Logged in as"));
    EXPECT_EQ(run.ann.Caps().Sasl(), TCapNegotiation::TSasl::Failed);

    SaveSettings(run.key, run.settings, run.settings);
    const std::string stored = FileText(file);
    EXPECT_NE(stored.find("\"ChatAccount\"=\"ann\""), std::string::npos);
    EXPECT_EQ(stored.find("secretpw"), std::string::npos);
    EXPECT_EQ(stored.find("wrongpw"), std::string::npos);
}
