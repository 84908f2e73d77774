// SPDX-License-Identifier: GPL-3.0-or-later
// The connect button and the session events over a real loopback connection: status lines in
// every view in row order, the registration line, user lists emptied, a failed start.
#include "FakeChatPage.h"
#include "chat/ChatSession.h"
#include "chat/ServerMessage.h"
#include "support/TestSupport.h"

#include <fcntl.h>
#include <gtest/gtest.h>
#include <sys/socket.h>
#include <unistd.h>

using testing_support::Escaped;
using testing_support::TTcpListener;
using testing_support::WaitFor;

namespace {

using Texts = std::vector<std::string>;

class ChatSessionTest : public ::testing::Test {
protected:
    ChatSessionTest() {
        settings.Nickname = "Ann";
        settings.FullName = "Ann Example";
        client.OnSessionConnected = [this](TIRCCli& s, std::uint16_t e) { session.IRCCli1SessionConnected(s, e); };
        client.OnSessionClosed = [this](TIRCCli& s, std::uint16_t e) {
            ++closedEvents;
            session.IRCCli1SessionClosed(s, e);
        };
    }
    ~ChatSessionTest() override {
        client.OnSessionClosed = nullptr;
        client.Disconnect();
        if (peer >= 0) ::close(peer);
        EXPECT_EQ(loop.WatchCount(), 0u);
        EXPECT_EQ(loop.TimerCount(), 0u);
    }

    // Clicks "Connect", accepts the connection and waits for the session to be up.
    void ConnectAndAccept() {
        session.btnChatConnectionClick();
        EXPECT_EQ(page.Caption, "Connect");
        EXPECT_FALSE(page.Enabled);
        peer = listener.Accept();
        ASSERT_GE(peer, 0);
        ::fcntl(peer, F_SETFL, ::fcntl(peer, F_GETFL) | O_NONBLOCK);
        ASSERT_TRUE(WaitFor(loop, [&] { return page.Caption == "Disconnect"; }));
    }

    // Everything the server end received until it holds at least n CR LF lines.
    std::string ReceiveLines(int n) {
        WaitFor(loop, [&] {
            char buf[4096];
            ssize_t got;
            while ((got = ::recv(peer, buf, sizeof buf, 0)) > 0) received.append(buf, static_cast<std::size_t>(got));
            int lines = 0;
            for (std::size_t p = received.find("\r\n"); p != std::string::npos; p = received.find("\r\n", p + 2)) ++lines;
            return lines >= n;
        });
        return received;
    }

    TPollEventLoop loop;
    TTcpListener listener;
    TIRCCli client{loop};
    TFakeChatPage page;
    TConversations chat{page};
    TSettings settings;
    TRandomGenerator random;
    TChatSession session{client, chat, settings, random, "127.0.0.1", std::to_string(listener.Port())};
    int peer = -1;
    int closedEvents = 0;
    std::string received;
};

}  // namespace

TEST_F(ChatSessionTest, ConnectLogsInRegistersAndWritesConnectedEverywhereInRowOrder) {
    chat.AddLineToRichEdit("bob", "[bob]   earlier", LineClass::Talk);
    chat.AddLineToRichEdit("#Lobby_20", "earlier", LineClass::Info);
    chat.AddLineToRichEdit("carl", "[carl]   earlier", LineClass::Talk);
    const std::string where = "127.0.0.1:" + std::to_string(listener.Port());

    ConnectAndAccept();
    EXPECT_TRUE(page.Enabled);
    EXPECT_EQ(page.Tabs[0], "127.0.0.1");
    EXPECT_EQ(client.Nick(), "Ann");
    EXPECT_EQ(client.RealName(), "CorvaneGV v1.01 - Ann Example");
    EXPECT_EQ(page.Server.Lines, (std::vector<TFakeLine>{{"Connecting to " + where, TFontStyle::Regular, {0, 0, 127}},
                                                         {"Connected to " + where, TFontStyle::Regular, {0, 0, 127}}}));
    for (auto name : {"bob", "#Lobby_20", "carl"})
        EXPECT_EQ(page.View(name)->Lines.back(), (TFakeLine{"Connected to " + where, TFontStyle::Regular, {0, 0, 127}}));

    // The capability request, the client's login lines, then the window's own registration
    // with the run's first numbers.
    const std::string expected = "CAP LS 302\r\nnick Ann\r\nuser  - - :CorvaneGV v1.01 - Ann Example\r\n"
                                 "USER GV10000 \"GV12824.GV87493\" \"127.0.0.1\" :CorvaneGV v1.01 - Ann Example\r\n";
    EXPECT_EQ(ReceiveLines(4), expected) << Escaped(received);
}

TEST_F(ChatSessionTest, ClosedSessionWritesDisconnectedEmptiesUserListsAndKeepsEverythingElse) {
    chat.AddLineToRichEdit("#Lobby_20", "topic", LineClass::Info);
    chat.AddLineToRichEdit("bob", "[bob]   hi", LineClass::Talk);
    chat.Row(0).UserList->Fill({{"op", "o"}, {"alice"}, {"bob"}});
    // A closed private tab stays closed through the session's lines.
    ASSERT_TRUE(chat.PopupMenu1Popup(2));
    chat.ppCloseTabClick();
    ConnectAndAccept();

    ::shutdown(peer, SHUT_RDWR);
    ASSERT_TRUE(WaitFor(loop, [&] { return closedEvents == 1; }));
    // The user did not ask for it: a reconnect is planned, and the button offers to stop it.
    EXPECT_TRUE(session.Reconnecting());
    EXPECT_EQ(page.Caption, "Disconnect");
    EXPECT_TRUE(page.Enabled);
    const std::string where = "Disconnected from 127.0.0.1:" + std::to_string(listener.Port());
    const Texts server = page.Server.Texts();
    ASSERT_GE(server.size(), 2u);
    EXPECT_EQ(server[server.size() - 2], where);
    EXPECT_EQ(server.back().substr(0, 16), "Reconnecting in ");
    EXPECT_EQ(page.View("#Lobby_20")->Texts(), (Texts{"topic", "Connected to " + where.substr(18), where}));
    EXPECT_EQ(page.View("bob")->Texts().back(), where);
    EXPECT_EQ(page.List("#Lobby_20")->Items, Texts{});
    EXPECT_EQ(chat.Row(0).UserList->Count(), 0);
    EXPECT_EQ(page.Tabs, (Texts{"127.0.0.1", "#Lobby_20"}));
    EXPECT_EQ(page.Server.Lines.back().Colour, (TColour{0, 0, 127}));
    session.btnChatConnectionClick();
    EXPECT_EQ(page.Caption, "Connect");
    EXPECT_FALSE(session.Reconnecting());
}

TEST_F(ChatSessionTest, ClickWhileConnectedSendsQuitAndTheClosedEventEndsInIdle) {
    ConnectAndAccept();
    ReceiveLines(3);
    received.clear();
    session.btnChatConnectionClick();
    EXPECT_EQ(ReceiveLines(1), "Quit\r\n");
    EXPECT_TRUE(WaitFor(loop, [&] { return closedEvents == 1; }));
    EXPECT_EQ(page.Caption, "Connect");
    EXPECT_TRUE(page.Enabled);
    EXPECT_FALSE(client.Active());

    // The next Connect reuses the table and the first tab's label.
    session.btnChatConnectionClick();
    ::close(peer);
    peer = -1;
    ConnectAndAccept();
    EXPECT_EQ(page.Tabs, (Texts{"127.0.0.1"}));
}

TEST_F(ChatSessionTest, AClickWhileConnectingChangesNothing) {
    session.btnChatConnectionClick();
    ASSERT_TRUE(client.Active());
    session.btnChatConnectionClick();
    EXPECT_EQ(page.Server.Texts().size(), 1u);
    EXPECT_TRUE(client.Active());
    peer = listener.Accept();
    ASSERT_GE(peer, 0);
    EXPECT_TRUE(WaitFor(loop, [&] { return page.Caption == "Disconnect"; }));
}

TEST_F(ChatSessionTest, AStartThatFailsAtOnceIsBackInIdleSoTheUserCanTryAgain) {
    TChatSession broken{client, chat, settings, random, "127.0.0.1", ""};
    EXPECT_THROW(broken.btnChatConnectionClick(), ESocketException);
    EXPECT_EQ(page.Caption, "Connect");
    EXPECT_TRUE(page.Enabled);
    EXPECT_FALSE(client.Active());
    EXPECT_EQ(page.Server.Texts(), (Texts{"Connecting to 127.0.0.1:"}));
    EXPECT_EQ(closedEvents, 0);

    ConnectAndAccept();
    EXPECT_EQ(page.Server.Texts().back(), "Connected to 127.0.0.1:" + std::to_string(listener.Port()));
}

TEST_F(ChatSessionTest, ARefusedConnectionShowsConnectingThenDisconnected) {
    const int port = testing_support::UnusedTcpPort();
    TChatSession refused{client, chat, settings, random, "127.0.0.1", std::to_string(port)};
    client.OnSessionClosed = [&](TIRCCli& s, std::uint16_t e) {
        ++closedEvents;
        refused.IRCCli1SessionClosed(s, e);
    };
    refused.btnChatConnectionClick();
    ASSERT_TRUE(WaitFor(loop, [&] { return closedEvents == 1; }));
    const std::string where = "127.0.0.1:" + std::to_string(port);
    EXPECT_EQ(page.Server.Texts(), (Texts{"Connecting to " + where, "Disconnected from " + where}));
    EXPECT_EQ(page.Caption, "Connect");
    EXPECT_TRUE(page.Enabled);
}

// A scripted peer: no real server ends lines with LF alone or bans on demand, but bouncers do
// the one and public networks the other.
class ChatSessionPeerTest : public ChatSessionTest {
protected:
    ChatSessionPeerTest() {
        client.OnServerMessage = [this](TIRCCli& s, const std::string& p, const std::string& c, const Texts& params) {
            session.ServerLine(c, params);
            messages.IRCCli1ServerMessage(s, p, c, params);
        };
        messages.OnWelcome = [this] { session.Welcomed(); };
        session.Policy.First = std::chrono::milliseconds(50);
    }
    ~ChatSessionPeerTest() override { client.OnServerMessage = nullptr; }
    void PeerSends(const std::string& bytes) { ASSERT_EQ(::send(peer, bytes.data(), bytes.size(), 0), ssize_t(bytes.size())); }

    TPingValues ping;
    TServerMessages messages{client, chat, settings, ping};
};

TEST_F(ChatSessionPeerTest, AServerEndingItsLinesWithLfAloneIsReadAndTheLobbyJoined) {
    ConnectAndAccept();
    ReceiveLines(3);
    received.clear();
    PeerSends(":bnc 001 Ann :Welcome\n:bnc 005 Ann PREFIX=(ov)@+ :are supported\n");
    EXPECT_EQ(ReceiveLines(1), "JOIN #Lobby_20\r\n");
    PeerSends(":Ann!a@h JOIN #Lobby_20\n:bnc 353 Ann = #Lobby_20 :Ann @op\n:bnc 366 Ann #Lobby_20 :End\n");
    ASSERT_TRUE(WaitFor(loop, [&] { return page.List("#Lobby_20") && page.List("#Lobby_20")->Items.size() == 2; }));
    EXPECT_EQ(page.List("#Lobby_20")->Items, (Texts{"@op", "Ann"}));
}

TEST_F(ChatSessionPeerTest, ABanGivesOneConnectionAndALineSayingWhyAndNoSecondAttempt) {
    ConnectAndAccept();
    ReceiveLines(3);
    PeerSends(":irc 465 Ann :You are banned from this server- Spam\r\n"
              "ERROR :Closing Link: 127.0.0.1 (K-Lined)\r\n");
    ::shutdown(peer, SHUT_RDWR);
    ASSERT_TRUE(WaitFor(loop, [&] { return closedEvents == 1; }));
    EXPECT_EQ(page.Server.Texts().back(),
              "Not reconnecting: the server refuses this connection (Closing Link: 127.0.0.1 (K-Lined))");
    EXPECT_FALSE(session.Reconnecting());
    EXPECT_EQ(page.Caption, "Connect");
    // Many times the first pause, and nobody knocks again.
    testing_support::Drain(loop, 500);
    ::close(peer);
    peer = listener.Accept(200);
    EXPECT_LT(peer, 0);
}

TEST(ChatSessionText, EmptyFullNameAndLineBreaksInIt) {
    TPollEventLoop loop;
    TIRCCli client(loop);
    TFakeChatPage page;
    TConversations chat(page);
    TSettings settings;
    TRandomGenerator random;
    TChatSession session(client, chat, settings, random, "irc.example", "6667");
    EXPECT_EQ(session.RealNameText(), "CorvaneGV v1.01 - ");
    EXPECT_EQ(session.RegistrationLine("1", "2", "3"), "USER GV1 \"GV2.GV3\" \"irc.example\" :CorvaneGV v1.01 - ");
    settings.FullName = "Eve\r\nJOIN #evil";
    EXPECT_EQ(session.RealNameText(), "CorvaneGV v1.01 - EveJOIN #evil");
}
