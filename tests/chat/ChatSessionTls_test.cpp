// SPDX-License-Identifier: GPL-3.0-or-later
// A TLS chat whose server changes its certificate: the refusal in the server view, no retry,
// and the trusted fingerprint that brings the session back.
#include "FakeChatPage.h"
#include "chat/ChatSession.h"
#include "chat/NgircdServer.h"
#include "chat/ServerMessage.h"
#include "chat/TestCertificates.h"
#include "support/TestLoop.h"
#include "support/TestSupport.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cstdlib>
#include <filesystem>

using testing_support::WaitFor;

namespace {

using Texts = std::vector<std::string>;
namespace fs = std::filesystem;

struct TServerFiles {
    // The server reads its certificate from these on every start; the test swaps them.
    TServerFiles(const testing_support::TTempDir& dir, const TTestCertificates::TPair& first)
        : cert((dir.Path() / "server.pem").string()), key((dir.Path() / "server.key").string()) {
        Use(first);
    }
    void Use(const TTestCertificates::TPair& pair) const {
        fs::copy_file(pair.Cert, cert, fs::copy_options::overwrite_existing);
        fs::copy_file(pair.Key, key, fs::copy_options::overwrite_existing);
        fs::permissions(key, fs::perms::owner_read | fs::perms::owner_write | fs::perms::others_read |
                                 fs::perms::group_read);
    }
    TNgircdServer::TOptions Options() const {
        TNgircdServer::TOptions o;
        o.tlsCertFile = cert;
        o.tlsKeyFile = key;
        return o;
    }
    std::string cert, key;
};

}  // namespace

TEST(ChatSessionTls, ARefusedCertificateStopsTheReconnectsUntilTheUserTrustsIt) {
    TTestCertificates certs;
    ::setenv("SSL_CERT_FILE", certs.CaFile().c_str(), 1);
    testing_support::TTempDir dir;
    fs::permissions(dir.Path(), fs::perms::all);
    TServerFiles files(dir, certs.Trusted());
    TNgircdServer server(files.Options());

    testing_support::TTestLoop loop;
    TIRCCli ann{loop};
    TFakeChatPage page;
    TConversations chat{page};
    TSettings settings;
    settings.Nickname = "Ann";
    TRandomGenerator random;
    TPingValues ping;
    TChatSession session{ann, chat, settings, random, "", ""};
    TServerMessages messages{ann, chat, settings, ping};
    session.SetServer("localhost", server.TlsPortText(), true);
    session.Policy.First = std::chrono::milliseconds(50);
    session.Policy.Max = std::chrono::milliseconds(100);
    ann.OnSessionConnected = [&](TIRCCli& s, std::uint16_t e) { session.IRCCli1SessionConnected(s, e); };
    ann.OnSessionClosed = [&](TIRCCli& s, std::uint16_t e) { session.IRCCli1SessionClosed(s, e); };
    ann.OnServerMessage = [&](TIRCCli& s, const std::string& p, const std::string& c, const Texts& params) {
        messages.IRCCli1ServerMessage(s, p, c, params);
    };
    messages.OnWelcome = [&] { session.Welcomed(); };
    const auto serverText = [&] {
        std::string all;
        for (const auto& l : page.Server.Texts()) all += l + "\n";
        return all;
    };
    const auto count = [&](const std::string& start) {
        const Texts lines = page.Server.Texts();
        return std::count_if(lines.begin(), lines.end(), [&](const std::string& l) { return l.starts_with(start); });
    };

    session.btnChatConnectionClick();
    ASSERT_TRUE(WaitFor(loop, [&] { return page.View("#Lobby_20") != nullptr; })) << serverText();
    EXPECT_EQ(count("Connecting to localhost:" + server.TlsPortText() + " (TLS)"), 1) << serverText();

    // The server comes back with a certificate nobody vouches for.
    files.Use(certs.SelfSigned());
    server.Restart();
    const std::string fingerprint = TTestCertificates::Fingerprint(certs.SelfSigned().Cert);
    ASSERT_TRUE(WaitFor(loop, [&] { return count("The certificate of localhost was refused") == 1; })) << serverText();
    EXPECT_EQ(count("The certificate of localhost was refused (self-signed certificate). SHA-256 fingerprint " +
                    fingerprint),
              1)
        << serverText();
    EXPECT_EQ(session.RefusedFingerprint(), fingerprint);
    const auto attempts = count("Connecting to ");
    testing_support::Drain(loop, 400);
    EXPECT_EQ(count("Connecting to "), attempts) << serverText();
    EXPECT_FALSE(session.Reconnecting());
    EXPECT_EQ(page.Caption, "Connect");
    EXPECT_TRUE(page.Enabled);

    // Trusted as the dialog does it: the next connect accepts that certificate and only that.
    settings.ChatCertificatePins = WithCertificatePin(settings.ChatCertificatePins, "localhost", fingerprint);
    const auto welcomes = count("Connected to ");
    session.btnChatConnectionClick();
    ASSERT_TRUE(WaitFor(loop, [&] { return count("Connected to ") > welcomes; })) << serverText();

    files.Use(certs.Renewed());
    server.Restart();
    ASSERT_TRUE(WaitFor(loop, [&] { return count("The certificate of localhost has changed") == 1; })) << serverText();
    EXPECT_EQ(count("The certificate of localhost has changed: refused. Trusted SHA-256 " + fingerprint +
                    ", offered SHA-256 " + TTestCertificates::Fingerprint(certs.Renewed().Cert)),
              1)
        << serverText();
    EXPECT_FALSE(session.Reconnecting());

    ann.OnSessionClosed = nullptr;
    session.Disconnect();
    ::unsetenv("SSL_CERT_FILE");
    EXPECT_EQ(loop.WatchCount(), 0u);
    EXPECT_EQ(loop.TimerCount(), 0u);
}
