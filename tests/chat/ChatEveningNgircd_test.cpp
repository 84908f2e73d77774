// A chat that holds up all evening, against a real ngircd: a taken nickname, a server that
// goes away and comes back, a user who sends faster than the server allows.
#include "FakeChatPage.h"
#include "chat/ChatSession.h"
#include "chat/NgircdServer.h"
#include "chat/ServerMessage.h"
#include "support/TestLoop.h"
#include "support/TestSupport.h"

#include <gtest/gtest.h>

using testing_support::WaitFor;

namespace {

using Texts = std::vector<std::string>;

// The chat page's logic wired as the window wires it, with a second client as another player.
class ChatEvening : public ::testing::Test {
protected:
    explicit ChatEvening(TNgircdServer::TOptions options = {}) : server(options) {
        settings.Nickname = "Ann";
        settings.FullName = "Tester";
        ann.OnSessionConnected = [this](TIRCCli& s, std::uint16_t e) { session.IRCCli1SessionConnected(s, e); };
        ann.OnSessionClosed = [this](TIRCCli& s, std::uint16_t e) { session.IRCCli1SessionClosed(s, e); };
        ann.OnServerMessage = [this](TIRCCli& s, const std::string& p, const std::string& c, const Texts& params) {
            messages.IRCCli1ServerMessage(s, p, c, params);
        };
        bob.SetHost("127.0.0.1");
        bob.SetPort(server.PortText());
        bob.SetNick("bob");
        bob.SetUser("ubob");
        bob.OnServerMessage = [this](TIRCCli&, const std::string&, const std::string& c, const Texts&) {
            bobHeard.push_back(c);
        };
    }
    ~ChatEvening() override {
        ann.OnSessionClosed = nullptr;
        session.Disconnect();
        bob.Disconnect();
    }

    bool Wait(const std::function<bool()>& pred, int ms = 5000) { return WaitFor(loop, pred, ms); }
    Texts Users(const std::string& channel) {
        TFakeList* list = page.List(channel);
        return list ? list->Items : Texts{};
    }
    // Listed with or without the operator's "@".
    bool Listed(const std::string& channel, const std::string& nick) {
        const Texts users = Users(channel);
        return std::find(users.begin(), users.end(), nick) != users.end() ||
               std::find(users.begin(), users.end(), "@" + nick) != users.end();
    }
    std::string ServerText() {
        std::string all;
        for (const auto& l : page.Server.Texts()) all += testing_support::Escaped(l) + "\n";
        return all;
    }
    void BobConnects() {
        bob.Connect();
        ASSERT_TRUE(Wait([&] { return std::count(bobHeard.begin(), bobHeard.end(), "001") > 0; }));
    }

    TNgircdServer server;
    testing_support::TTestLoop loop;
    TIRCCli ann{loop};
    TIRCCli bob{loop};
    Texts bobHeard;
    TFakeChatPage page;
    TConversations chat{page};
    TSettings settings;
    TRandomGenerator random;
    TPingValues ping;
    TChatSession session{ann, chat, settings, random, "127.0.0.1", server.PortText()};
    TServerMessages messages{ann, chat, settings, ping};
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

    // The next login asks for the wanted nickname again; now it is free.
    bob.Disconnect();
    session.btnChatConnectionClick();
    ASSERT_TRUE(Wait([&] { return page.Caption == "Connect"; }));
    session.btnChatConnectionClick();
    ASSERT_TRUE(Wait([&] { return Listed("#Lobby_20", "Ann") && settings.Nickname == "Ann"; })) << ServerText();
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
