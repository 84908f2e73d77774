// SPDX-License-Identifier: GPL-3.0-or-later
// A chat that holds up all evening, against a real ngircd: a taken nickname, a server that
// goes away and comes back, a user who sends faster than the server allows.
#include "ChatRig.h"
#include "chat/ChatInput.h"
#include "chat/NgircdServer.h"

#include <gtest/gtest.h>
#include <sys/socket.h>
#include <unistd.h>

using testing_support::WaitFor;

namespace {

using Texts = std::vector<std::string>;

// Ann's chat with a second client as another player.
class ChatEvening : public ::testing::Test, protected TChatRig {
protected:
    explicit ChatEvening(TNgircdServer::TOptions options = {}) : server(options) {
        session.SetServer("127.0.0.1", server.PortText(), false);
        bob.SetHost("127.0.0.1");
        bob.SetPort(server.PortText());
        bob.SetNick("bob");
        bob.SetUser("ubob");
        bob.OnServerMessage = [this](TIRCCli&, const std::string&, const std::string& c, const Texts&) {
            bobHeard.push_back(c);
        };
    }
    ~ChatEvening() override { bob.Disconnect(); }

    void BobConnects() {
        bob.Connect();
        ASSERT_TRUE(Wait([&] { return std::count(bobHeard.begin(), bobHeard.end(), "001") > 0; }));
    }

    TNgircdServer server;
    TIRCCli bob{loop};
    Texts bobHeard;
    TChatInput input{ann, chat, settings, ping};
};

}  // namespace

TEST_F(ChatEvening, ATakenNicknameGivesAChangedOneThatTheWholePageFollows) {
    bob.SetNick("Ann");
    BobConnects();
    session.btnChatConnectionClick();
    ASSERT_TRUE(Wait([&] { return Listed("#Lobby_20", "Ann_"); })) << ServerText();
    const Texts lines = page.Server.Texts();
    EXPECT_EQ(std::count(lines.begin(), lines.end(), "Nickname Ann is in use, trying Ann_"), 1) << ServerText();
    EXPECT_EQ(settings.Nickname, "Ann_");
    EXPECT_EQ(ann.Nick(), "Ann_");
    // Talk to the changed nickname is private talk, in the sender's tab.
    bob.SendLine("PRIVMSG Ann_ :are you the real Ann?");
    ASSERT_TRUE(Wait([&] { return page.View("Ann") && !page.View("Ann")->Lines.empty(); })) << ServerText();
    EXPECT_EQ(page.View("Ann")->Texts().back(), "[Ann]   are you the real Ann?");

    // After the server is back the logins ask for the wanted nickname again, also after
    // attempts that failed; the other player is gone, so it is free.
    session.Policy.First = std::chrono::milliseconds(100);
    session.Policy.Max = std::chrono::milliseconds(200);
    server.Stop();
    ASSERT_TRUE(Wait([&] { return ServerLinesStarting("Reconnecting in ") >= 3; })) << ServerText();
    server.Restart();
    ASSERT_TRUE(Wait([&] { return Listed("#Lobby_20", "Ann") && settings.Nickname == "Ann"; })) << ServerText();
    EXPECT_EQ(ann.Nick(), "Ann");
}

TEST_F(ChatEvening, ANicknameTooLongWithTheUnderscoreIsCutToFit) {
    // ngircd takes nicknames of 9 characters at most.
    settings.Nickname = "Annabelle";
    bob.SetNick("Annabelle");
    BobConnects();
    session.btnChatConnectionClick();
    ASSERT_TRUE(Wait([&] { return Listed("#Lobby_20", "Annabell1"); })) << ServerText();
    EXPECT_EQ(settings.Nickname, "Annabell1");
}

TEST_F(ChatEvening, AServerThatGoesAndComesBackIsRejoinedInTheChannelsJoinedUntilTheUserStops) {
    using std::chrono::milliseconds;
    session.Policy.First = milliseconds(100);
    session.Policy.Max = milliseconds(400);
    session.btnChatConnectionClick();
    ASSERT_TRUE(Wait([&] { return Listed("#Lobby_20", "Ann"); })) << ServerText();
    ann.SendLine("JOIN #second");
    ann.SendLine("JOIN #parted");
    ASSERT_TRUE(Wait([&] { return Listed("#second", "Ann") && Listed("#parted", "Ann"); })) << ServerText();
    // Parted with its tab kept: not one to go back into.
    ann.SendLine("PART #parted");
    ASSERT_TRUE(Wait([&] { return !chat.Row(chat.FindRow("#parted")).Joined; })) << ServerText();

    server.Stop();
    ASSERT_TRUE(Wait([&] { return session.Reconnecting(); }));
    // While it tries, the button offers to stop trying.
    EXPECT_EQ(page.Caption, "Disconnect");
    EXPECT_TRUE(page.Enabled);
    EXPECT_TRUE(Users("#Lobby_20").empty());
    ASSERT_TRUE(Wait([&] { return ServerLinesStarting("Reconnecting in ") >= 3; })) << ServerText();
    server.Restart();
    ASSERT_TRUE(Wait([&] { return Listed("#Lobby_20", "Ann") && Listed("#second", "Ann"); })) << ServerText();
    testing_support::Drain(loop, 200);
    EXPECT_TRUE(Users("#parted").empty());
    EXPECT_EQ(chat.FindChatTab("#parted"), 3);
    EXPECT_EQ(page.Caption, "Disconnect");
    EXPECT_FALSE(session.Reconnecting());
    // The failed attempts wrote only into the server view.
    const Texts second = page.View("#second")->Texts();
    EXPECT_EQ(std::count(second.begin(), second.end(), "Disconnected from 127.0.0.1:" + server.PortText()), 1);
    EXPECT_EQ(ServerLinesStarting("Reconnecting in ") + 1, ServerLinesStarting("Connecting to "));

    // Gone again; this time the user gives up, and no attempt follows.
    server.Stop();
    ASSERT_TRUE(Wait([&] { return session.Reconnecting(); }));
    session.btnChatConnectionClick();
    EXPECT_EQ(page.Caption, "Connect");
    EXPECT_TRUE(page.Enabled);
    EXPECT_EQ(page.Server.Texts().back(), "Reconnecting stopped");
    const int attempts = ServerLinesStarting("Connecting to ");
    server.Restart();
    testing_support::Drain(loop, 500);
    EXPECT_EQ(ServerLinesStarting("Connecting to "), attempts);
    EXPECT_FALSE(ann.Active());
}

TEST_F(ChatEvening, AKLineGivesOneConnectionAndALineSayingWhyAndNoSecondAttempt) {
    session.Policy.First = std::chrono::milliseconds(100);
    session.btnChatConnectionClick();
    ASSERT_TRUE(Wait([&] { return Listed("#Lobby_20", "Ann"); })) << ServerText();
    BobConnects();
    bob.SendLine(std::string("OPER ") + TNgircdServer::OperName + " " + TNgircdServer::OperPassword);
    bob.SendLine("KLINE Ann!*@* 3600 :Spamming the lobby");
    ExpectNoReconnectAfterTheBan("Spamming the lobby");
}

// The lobby's operator keeps Ann out, by a ban and then by its modes: each refusal is an error
// line with the server's reason (ngircd gives 471 for all but the ban), and where she can do
// something, a line saying what.
TEST_F(ChatEvening, ALobbyThatKeepsAnnOutSaysWhyAndWhatToDo) {
    BobConnects();
    bob.SendLine("JOIN #Lobby_20");
    ASSERT_TRUE(Wait([&] { return std::count(bobHeard.begin(), bobHeard.end(), "366") > 0; }));
    // Ann asks only once the server has taken the modes, which come on another connection.
    const auto bobSets = [&](const std::string& modes) {
        const auto heard = std::count(bobHeard.begin(), bobHeard.end(), "MODE");
        bob.SendLine("MODE #Lobby_20 " + modes);
        ASSERT_TRUE(Wait([&] { return std::count(bobHeard.begin(), bobHeard.end(), "MODE") > heard; }));
    };
    bobSets("+b Ann!*@*");
    session.btnChatConnectionClick();
    const auto saidAfter = [&](const std::string& error, const std::string& next) {
        return Wait([&] {
            const auto& l = page.Server.Lines;
            for (std::size_t i = 0; i < l.size(); ++i)
                if (l[i].Text == "Cannot join #Lobby_20: " + error && l[i].Style == LineClass::Error.Style)
                    return next.empty() || (i + 1 < l.size() && l[i + 1].Text == next);
            return false;
        });
    };
    EXPECT_TRUE(saidAfter("Cannot join channel (+b) -- You are banned", "")) << ServerText();
    bobSets("-b+R Ann!*@*");
    ann.SendLine("JOIN #Lobby_20");
    EXPECT_TRUE(saidAfter("Cannot join channel (+R) -- Registered users only",
                          "To log in, give your account under Settings, Chat server"))
        << ServerText();
    bobSets("-R+z");
    ann.SendLine("JOIN #Lobby_20");
    EXPECT_TRUE(saidAfter("Cannot join channel (+z) -- SSL connections only",
                          "For a secure connection, choose TLS under Settings, Chat server"))
        << ServerText();
    EXPECT_FALSE(Listed("#Lobby_20", "Ann"));
}

TEST_F(ChatEvening, APastedBlockOfManyLinesIsSentOnlyWhenTheUserSaysYes) {
    BobConnects();
    bob.SendLine("JOIN #Lobby_20");
    Texts got;
    bob.OnMessage = [&](TIRCCli&, const std::string& nick, const std::string&, const std::string&, const std::string&,
                        const std::string& text, bool) {
        if (nick == "Ann") got.push_back(text);
    };
    session.btnChatConnectionClick();
    ASSERT_TRUE(Wait([&] { return Listed("#Lobby_20", "Ann") && Listed("#Lobby_20", "bob"); })) << ServerText();
    ann.SendInterval = std::chrono::milliseconds(100);
    TChatInput input{ann, chat, settings, ping};
    Texts asked;
    bool answer = false;
    input.ConfirmPaste = [&](const std::string& question) {
        asked.push_back(question);
        return answer;
    };
    chat.SelectChatTab(chat.FindChatTab("#Lobby_20"));
    const std::string block = "one\r\ntwo\n\nthree\nfour\nQUIT :five";
    page.Input = block;
    input.HandleText(block);
    EXPECT_EQ(asked, Texts{"Send 5 lines to #Lobby_20?"});
    EXPECT_EQ(page.Input, block);
    answer = true;
    input.HandleText(block);
    ASSERT_TRUE(Wait([&] { return got.size() == 5; })) << got.size();
    EXPECT_EQ(got, (Texts{"one", "two", "three", "four", "QUIT :five"}));
    EXPECT_EQ(page.Input, "");
    // A few lines go without a question.
    input.HandleText("six\nseven\neight");
    EXPECT_EQ(asked.size(), 2u);
    ASSERT_TRUE(Wait([&] { return got.size() == 8; }));
    EXPECT_TRUE(ann.Connected());
}

class ChatEveningFlood : public ChatEvening {
protected:
    ChatEveningFlood() : ChatEvening(FloodProtected()) {}
    static TNgircdServer::TOptions FloodProtected() {
        TNgircdServer::TOptions options;
        options.floodProtection = true;
        return options;
    }
};

TEST_F(ChatEveningFlood, TwentyQuickLinesArrivePacedAndTheUserStaysOn) {
    using namespace std::chrono;
    BobConnects();
    bob.SendLine("JOIN #Lobby_20");
    std::vector<std::pair<steady_clock::time_point, std::string>> arrived;
    bob.OnMessage = [&](TIRCCli&, const std::string& nick, const std::string&, const std::string&,
                        const std::string&, const std::string& text, bool) {
        if (nick == "Ann") arrived.emplace_back(steady_clock::now(), text);
    };
    session.btnChatConnectionClick();
    ASSERT_TRUE(Wait([&] { return Listed("#Lobby_20", "Ann"); })) << ServerText();
    // Shorter than the program's pace, still slower than ngircd's one second per line.
    ann.SendInterval = milliseconds(1100);
    TChatInput input{ann, chat, settings, ping};
    chat.SelectChatTab(chat.FindChatTab("#Lobby_20"));
    const std::string filler(300, 'x');
    for (int i = 0; i < 20; ++i) input.HandleText("line " + std::to_string(i) + " " + filler);
    // Every line is in the view at once; most wait for their turn to go out.
    EXPECT_EQ(page.View("#Lobby_20")->Texts().back(), "[Ann]   line 19 " + filler);
    EXPECT_EQ(ann.PacedWaiting(), 20 - ann.SendBurst);
    ASSERT_TRUE(Wait([&] { return arrived.size() == 20; }, 30000)) << arrived.size() << "\n" << ServerText();
    for (int i = 0; i < 20; ++i) EXPECT_EQ(arrived[static_cast<std::size_t>(i)].second, "line " + std::to_string(i) + " " + filler);
    // The last one went out 16 intervals after the first.
    EXPECT_GE(arrived.back().first - arrived.front().first, (20 - static_cast<int>(ann.SendBurst)) * milliseconds(1000));
    EXPECT_TRUE(ann.Connected());
    EXPECT_EQ(page.Caption, "Disconnect");
}

// A server that stays silent gets a PING of ours; one that does not answer it is dropped.
TEST(ChatKeepAlive, ASilentServerIsPingedAndDroppedWhenItDoesNotAnswer) {
    testing_support::TTestLoop loop;
    testing_support::TTcpListener listener;
    TIRCCli cli{loop};
    cli.IdleBeforePing = std::chrono::milliseconds(150);
    cli.PingAnswerWait = std::chrono::milliseconds(300);
    cli.SetHost("127.0.0.1");
    cli.SetPort(std::to_string(listener.Port()));
    cli.SetNick("Ann");
    Texts heard;
    cli.OnServerMessage = [&](TIRCCli&, const std::string&, const std::string& c, const Texts&) { heard.push_back(c); };
    std::vector<std::uint16_t> closed;
    cli.OnSessionClosed = [&](TIRCCli&, std::uint16_t e) { closed.push_back(e); };
    cli.Connect();
    const int peer = listener.Accept();
    ASSERT_GE(peer, 0);
    std::string got;
    const auto pinged = [&](int times) {
        return WaitFor(loop, [&] {
            char buf[512];
            const ssize_t n = ::recv(peer, buf, sizeof buf, MSG_DONTWAIT);
            if (n > 0) got.append(buf, static_cast<std::size_t>(n));
            std::size_t count = 0;
            for (std::size_t p = got.find("PING :CorvaneGV-keepalive\r\n"); p != std::string::npos;
                 p = got.find("PING :CorvaneGV-keepalive\r\n", p + 1))
                ++count;
            return count >= static_cast<std::size_t>(times);
        });
    };
    ASSERT_TRUE(pinged(1)) << testing_support::Escaped(got);
    // The answer keeps the session and is nobody else's business.
    const std::string pong = ":srv PONG srv :CorvaneGV-keepalive\r\n";
    ASSERT_EQ(::send(peer, pong.data(), pong.size(), 0), static_cast<ssize_t>(pong.size()));
    ASSERT_TRUE(pinged(2)) << testing_support::Escaped(got);
    EXPECT_TRUE(cli.Connected());
    EXPECT_TRUE(heard.empty());
    ASSERT_TRUE(WaitFor(loop, [&] { return !closed.empty(); }));
    EXPECT_EQ(closed, (std::vector<std::uint16_t>{TIRCCli::NoAnswerError}));
    EXPECT_FALSE(cli.Active());
    ::close(peer);
    EXPECT_EQ(loop.TimerCount(), 0u);
}

TEST_F(ChatEvening, ALongLineGoesOutInPartsEachEchoedAndAClosedChannelTabIsParted) {
    BobConnects();
    bob.SendLine("JOIN #Lobby_20");
    std::vector<std::string> bobGot;
    bob.OnMessage = [&](TIRCCli&, const std::string&, const std::string&, const std::string&, const std::string&,
                        const std::string& text, bool) { bobGot.push_back(text); };
    session.btnChatConnectionClick();
    ASSERT_TRUE(Wait([&] { return Listed("#Lobby_20", "Ann") && Listed("#Lobby_20", "bob"); })) << ServerText();
    std::string text;
    for (int i = 0; i < 120; ++i) text += "word" + std::to_string(i) + " ";
    text.pop_back();
    chat.SelectChatTab(chat.FindChatTab("#Lobby_20"));
    input.HandleText(text);
    ASSERT_TRUE(Wait([&] { return bobGot.size() >= 2; })) << ServerText();
    testing_support::Drain(loop, 200);
    std::string joined;
    for (const std::string& part : bobGot) joined += (joined.empty() ? "" : " ") + part;
    EXPECT_EQ(joined, text);
    const Texts lobby = page.View("#Lobby_20")->Texts();
    EXPECT_EQ(lobby.back(), "[Ann]   " + bobGot.back());
    EXPECT_EQ(lobby.end()[-2], "[Ann]   " + bobGot.end()[-2]);

    // Closing the lobby's tab leaves the channel: bob sees Ann part, the tab does not come back.
    session.ChannelClosed("#nowhere");  // no such conversation: nothing to send
    bobHeard.clear();
    ASSERT_TRUE(chat.PopupMenu1Popup(chat.FindChatTab("#Lobby_20")));
    chat.OnChannelTabClosed = [this](const std::string& c) { session.ChannelClosed(c); };
    chat.ppCloseTabClick();
    ASSERT_TRUE(Wait([&] { return std::count(bobHeard.begin(), bobHeard.end(), "PART") == 1; })) << ServerText();
    EXPECT_EQ(chat.FindChatTab("#Lobby_20"), -1);
    EXPECT_FALSE(chat.Row(chat.FindRow("#Lobby_20")).Joined);
}
