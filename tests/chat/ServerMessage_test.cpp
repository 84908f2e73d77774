// Server lines on the chat page: the welcome joins the lobby, JOIN and names fill the lobby tab,
// everything else is shown by the generic rule.
#include "FakeChatPage.h"
#include "chat/ServerMessage.h"
#include "net/PollEventLoop.h"

#include <gtest/gtest.h>

namespace {

using Texts = std::vector<std::string>;

class ServerMessageTest : public ::testing::Test {
protected:
    ServerMessageTest() {
        client.OfflineWire = [this](const std::string& bytes) { sent += bytes; };
        client.OnServerMessage = [this](TIRCCli& s, const std::string& p, const std::string& c,
                                        const std::vector<std::string>& params) {
            messages.IRCCli1ServerMessage(s, p, c, params);
        };
        messages.TimeText = [] { return std::string("14:05:09"); };
    }

    TPollEventLoop loop;
    TIRCCli client{loop};
    TFakeChatPage page;
    TConversations chat{page};
    TServerMessages messages{client, chat};
    std::string sent;
};

}  // namespace

TEST_F(ServerMessageTest, WelcomeJoinsTheLobbyAndJoinAndNamesFillItsTab) {
    page.Input = "hello";
    client.DataArrived(":irc.test 001 alice :Welcome to the net alice\r\n");
    EXPECT_EQ(sent, "JOIN #Lobby_20\r\n");
    EXPECT_EQ(page.Server.Lines, (std::vector<TFakeLine>{{"alice", TFontStyle::Regular, {64, 64, 64}}}));

    client.DataArrived(":alice!~a@host JOIN :#Lobby_20\r\n");
    EXPECT_EQ(page.Tabs, (Texts{"<Server>", "#Lobby_20"}));
    EXPECT_EQ(chat.SelectedTab(), 1);
    EXPECT_EQ(chat.ServerInputText, "hello");
    EXPECT_EQ(page.View("#Lobby_20")->Lines,
              (std::vector<TFakeLine>{{"alice has joined at 14:05:09", TFontStyle::Regular, {0, 147, 0}}}));
    EXPECT_EQ(page.List("#Lobby_20")->Items, (Texts{"alice"}));

    client.DataArrived(":irc.test 353 alice = #Lobby_20 :@op alice  bob \r\n");
    EXPECT_EQ(page.List("#Lobby_20")->Items, (Texts{"@op", "alice", "bob"}));
    client.DataArrived(":irc.test 366 alice #Lobby_20 :End of NAMES list\r\nPING :irc.test\r\n");
    client.DataArrived(":bob!~b@h JOIN #LOBBY_20\r\n:Bob!~b@h JOIN #Lobby_20\r\n:carl!~c@h JOIN #Lobby_20\r\n");
    EXPECT_EQ(page.List("#Lobby_20")->Items, (Texts{"@op", "alice", "bob", "carl"}));
    EXPECT_EQ(page.View("#Lobby_20")->Texts().back(), "carl has joined at 14:05:09");
    EXPECT_EQ(page.Server.Texts(), (Texts{"alice"}));

    // Names for a channel without a tab, or for a private conversation, change nothing.
    chat.AddLineToRichEdit("bob", "x", LineClass::Talk);
    client.DataArrived(":irc.test 353 alice = #elsewhere :x y\r\n:irc.test 353 alice = bob :x y\r\n");
    EXPECT_EQ(page.Lists.size(), 1u);
    EXPECT_EQ(page.Server.Texts(), (Texts{"alice"}));
}

TEST_F(ServerMessageTest, EveryOtherLineIsShownByTheGenericRule) {
    client.DataArrived(":irc.test 372 alice :- Be nice\r\n"
                       ":irc.test NOTICE AUTH :*** Looking up your hostname\r\n"
                       "ERROR :Closing link\r\n"
                       ":op!o@h KICK #Lobby_20 bob :flooding\r\n"
                       ":irc.test 005 alice NICKLEN=9 :are supported\r\n"
                       ":irc.test 422 alice\r\n");
    EXPECT_EQ(page.Server.Texts(), (Texts{"- Be nice", "*** Looking up your hostname", "ERROR:   ",
                                          "KICK:   bob flooding", "NICKLEN=9 are supported"}));
    EXPECT_EQ(page.Server.Lines[0].Colour, (TColour{64, 64, 64}));
    EXPECT_TRUE(sent.empty());
}

TEST_F(ServerMessageTest, ALineMissingAParameterIsDroppedAlone) {
    client.DataArrived(":irc.test 353 alice =\r\nJOIN\r\n:irc.test 001\r\n:irc.test 372 alice :- next\r\n");
    EXPECT_EQ(page.Server.Texts(), (Texts{"- next"}));
    EXPECT_EQ(chat.RowCount(), 0);
    EXPECT_EQ(sent, "JOIN #Lobby_20\r\n");  // the welcome joins before it reads its parameter
}

TEST(ServerMessageSender, PrefixGivesTheNickOrTheServerName) {
    EXPECT_EQ(SenderOf(":bob!~b@host"), "bob");
    EXPECT_EQ(SenderOf(":irc.test"), "irc.test");
    EXPECT_EQ(SenderOf(":"), "");
    EXPECT_EQ(SenderOf(""), "");
}
