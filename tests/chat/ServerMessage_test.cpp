// SPDX-License-Identifier: GPL-3.0-or-later
// Server lines on the chat page that a real server will not send on demand: topics, the join
// marker alone, kicks, notices, errors, invitations, the developer dump and lines too short.
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
        client.OnInvite = [this](TIRCCli& s, const std::string& n, const std::string& u, const std::string& h,
                                 const std::string& c, bool& accept) { messages.IRCCli1Invite(s, n, u, h, c, accept); };
        messages.TimeText = [] { return std::string("14:05:09"); };
        messages.OnNotifyUserMessage = [this](const TUserMessage& m) {
            ++notified;
            lastNotice = m;
        };
        settings.Nickname = "alice";
        client.SetNick("alice");
    }

    TPollEventLoop loop;
    TIRCCli client{loop};
    TFakeChatPage page;
    TConversations chat{page};
    TSettings settings;
    TPingValues ping;
    TServerMessages messages{client, chat, settings, ping};
    std::string sent;
    int notified = 0;
    TUserMessage lastNotice;
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
    client.DataArrived(":irc.test 366 alice #Lobby_20 :End of NAMES list\r\nPING :irc.test\r\n");
    EXPECT_EQ(page.List("#Lobby_20")->Items, (Texts{"@op", "alice", "bob"}));
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
    chat.AddLineToRichEdit("#Lobby_20", "x", LineClass::Info);
    chat.Row(0).UserList->Fill({{"op", "o"}, {"bob"}});
    client.DataArrived(":irc.test 372 alice :- Be nice\r\n"
                       ":irc.test NOTICE AUTH :*** Looking up your hostname\r\n"
                       "ERROR :Closing link\r\n"
                       ":op!o@h KICK #Lobby_20 bob :flooding\r\n"
                       ":irc.test 005 alice NICKLEN=9 :are supported\r\n"
                       ":irc.test 422 alice\r\n");
    EXPECT_EQ(page.Server.Texts(), (Texts{"- Be nice", "-irc.test-   *** Looking up your hostname",
                                          "Server closes the link: Closing link", "NICKLEN=9 are supported"}));
    EXPECT_EQ(page.Server.Lines[0].Colour, (TColour{64, 64, 64}));
    EXPECT_TRUE(sent.empty());
    // A kick is shown in its channel, and the kicked user leaves the list.
    EXPECT_EQ(page.List("#Lobby_20")->Items, (Texts{"@op"}));
    EXPECT_EQ(page.View("#Lobby_20")->Texts(), (Texts{"x", "bob was kicked by op (flooding)"}));
}

TEST_F(ServerMessageTest, TopicRowsWriteToTheChannelWithTheTimeAsSent) {
    client.DataArrived(":irc.test 332 alice #Lobby_20 :Welcome  pilots\r\n"
                       ":irc.test 333 alice #Lobby_20 op!o@h 1700000000\r\n");
    EXPECT_EQ(page.Tabs, (Texts{"<Server>", "#Lobby_20"}));
    EXPECT_EQ(page.View("#Lobby_20")->Lines,
              (std::vector<TFakeLine>{{"Topic is:   Welcome  pilots", TFontStyle::Regular, {64, 64, 64}},
                                      {"-", TFontStyle::Regular, {64, 64, 64}},
                                      {"Set at 1700000000 by op!o@h", TFontStyle::Regular, {64, 64, 64}}}));
    EXPECT_TRUE(page.Server.Lines.empty());
}

TEST_F(ServerMessageTest, TheJoinMarkerAloneSaysTheSenderLaunchedTheGame) {
    client.DataArrived(":bob!b@h PRIVMSG #Lobby_20 :\x01\x02\x03\x04\r\n");
    EXPECT_EQ(page.Server.Lines,
              (std::vector<TFakeLine>{{"bob has launched FreeSpace at 14:05:09", TFontStyle::Regular, {0, 0, 127}}}));
    EXPECT_EQ(chat.RowCount(), 0);
    // Three of its bytes are an ordinary message; a request other than ACTION shows nothing.
    client.DataArrived(":bob!b@h PRIVMSG #Lobby_20 :\x01\x02\x03\r\n:bob!b@h PRIVMSG alice :\x01VERSION\x01\r\n");
    EXPECT_EQ(page.View("#Lobby_20")->Texts(), (Texts{"[bob]   \x01\x02\x03"}));
    EXPECT_EQ(chat.RowCount(), 1);
    EXPECT_EQ(notified, 1);
}

TEST_F(ServerMessageTest, AnInvitationIsShownAndNeverJoined) {
    client.DataArrived(":bob!~b@host.x INVITE alice :#side\r\n:bob!~b@host.x INVITE carl #side\r\n");
    EXPECT_EQ(page.Server.Texts(),
              (Texts{"==Invite==================================================", "FromNick: bob", "FromUser: ~b",
                     "FromHost: host.x", "Channel: #side", "=========================================================",
                     "INVITE:   #side", "INVITE:   #side"}));
    EXPECT_TRUE(sent.empty());
}

TEST_F(ServerMessageTest, DeveloperModeDumpsEachLineWholeBeforeItsRow) {
    bool developer = true;
    messages.DeveloperMode = [&] { return developer; };
    client.DataArrived(":irc.test 366 alice #Lobby_20 :End of NAMES list\r\n");
    ASSERT_EQ(page.Server.Lines.size(), 1u);
    EXPECT_EQ(page.Server.Lines[0],
              (TFakeLine{"==Server Message==========================================\r\nPrefix: :irc.test\r\n"
                         "Command: 366\r\nParameters:\r\nalice\r\n#Lobby_20\r\nEnd of NAMES list\r\n"
                         "=========================================================",
                         TFontStyle::Regular,
                         {64, 64, 64}}));
    client.DataArrived("PING :x\r\n:irc.test 372 alice :- hi\r\n");
    EXPECT_EQ(page.Server.Texts().back(), "- hi");
    EXPECT_EQ(page.Server.Lines.size(), 4u);
    developer = false;
    client.DataArrived("PING :x\r\n");
    EXPECT_EQ(page.Server.Lines.size(), 4u);
}

TEST_F(ServerMessageTest, APongIsMeasuredFromTheLastPingIntoTheSelectedTab) {
    client.DataArrived(":irc.test PONG irc.test :bob\r\n");  // no /PING yet: nothing to measure
    EXPECT_TRUE(page.Server.Lines.empty());
    ping = {"bob", PerformanceCounter() - 2'500'000'000, PerformanceFrequency()};
    chat.AddLineToRichEdit("#Lobby_20", "x", LineClass::Info);
    client.DataArrived(":irc.test PONG irc.test :bob\r\n");
    EXPECT_EQ(page.View("#Lobby_20")->Lines.back(),
              (TFakeLine{"[bob PING reply]: 2.5 sec", TFontStyle::Regular, {255, 0, 0}}));
    chat.SelectChatTab(0);
    client.DataArrived(":irc.test PONG irc.test :bob\r\n");
    EXPECT_EQ(page.Server.Texts(), (Texts{"[bob PING reply]: 2.5 sec"}));
    EXPECT_EQ(ElapsedSecondsText(0, 120'049, 10'000), "12.0");
}

TEST_F(ServerMessageTest, ANickOntoAnOpenTalkLeavesBothTalksApart) {
    client.DataArrived(":bob!~b@h PRIVMSG alice :psst\r\n:carl!~c@h PRIVMSG alice :hey\r\n");
    client.DataArrived(":bob!~b@h NICK :Carl\r\n");
    ASSERT_EQ(chat.RowCount(), 2);
    EXPECT_EQ(chat.Row(0).Name, "bob");
    EXPECT_EQ(chat.Row(1).Name, "carl");
    EXPECT_EQ(page.Tabs, (Texts{"<Server>", "bob", "carl"}));

    // A change of letter case alone still renames.
    client.DataArrived(":carl!~c@h NICK :Carl\r\n");
    EXPECT_EQ(chat.Row(1).Name, "Carl");
    EXPECT_EQ(page.Tabs, (Texts{"<Server>", "bob", "Carl"}));
}

TEST_F(ServerMessageTest, ALineMissingAParameterIsDroppedAlone) {
    client.DataArrived(":irc.test 353 alice =\r\nJOIN\r\n:irc.test 001\r\n:irc.test 372 alice :- next\r\n");
    EXPECT_EQ(page.Server.Texts(), (Texts{"- next"}));
    EXPECT_EQ(chat.RowCount(), 0);
    EXPECT_EQ(sent, "JOIN #Lobby_20\r\n");  // the welcome joins before it reads its parameter

    // Each short line leaves every view as it was; the line after it is still handled.
    chat.AddLineToRichEdit("#Lobby_20", "x", LineClass::Info);
    chat.Row(0).UserList->Fill({{"bob"}});
    client.DataArrived(":irc.test 333 alice #Lobby_20 op\r\n:op!o@h MODE #Lobby_20 +o\r\n:op!o@h MODE #Lobby_20\r\n"
                       ":bob!b@h PRIVMSG #Lobby_20\r\n:bob!b@h QUIT\r\n:bob!b@h NICK\r\n:bob!b@h PART\r\n"
                       ":irc.test 332 alice #Lobby_20\r\n:irc.test 372 alice :- last\r\n");
    EXPECT_EQ(page.View("#Lobby_20")->Texts(), (Texts{"x"}));
    EXPECT_EQ(page.List("#Lobby_20")->Items, (Texts{"bob"}));
    EXPECT_EQ(page.Server.Texts(), (Texts{"- next", "- last"}));
    EXPECT_EQ(notified, 0);
}

TEST_F(ServerMessageTest, AMessageNamingTheUserIsMarkedNotifiesAndMarksItsTabMoreThanOtherLines) {
    client.DataArrived(":alice!~a@h JOIN #Lobby_20\r\n:alice!~a@h JOIN #test\r\n");
    ASSERT_EQ(chat.SelectedTab(), 2);
    const auto last = [this](const std::string& tab) { return page.View(tab)->Lines.back(); };
    const TColour black{0, 0, 0};

    client.DataArrived(":bob!~b@h PRIVMSG #Lobby_20 :malice and alicea are not her\r\n");
    EXPECT_FALSE(last("#Lobby_20").Marked);
    EXPECT_EQ(chat.TabMark(1), TTabMark::Unread);
    EXPECT_EQ(page.Marks[1], TTabMark::Unread);
    EXPECT_FALSE(lastNotice.Highlight);

    client.DataArrived(":bob!~b@h PRIVMSG #Lobby_20 :ALICE: coming?\r\n");
    EXPECT_EQ(last("#Lobby_20"), (TFakeLine{"[bob]   ALICE: coming?", TFontStyle::Regular, black, true}));
    EXPECT_EQ(chat.TabMark(1), TTabMark::Highlight);
    EXPECT_EQ((std::vector<std::string>{lastNotice.Sender, lastNotice.Tab, lastNotice.Text}),
              (std::vector<std::string>{"bob", "#Lobby_20", "ALICE: coming?"}));
    EXPECT_TRUE(lastNotice.Highlight);
    EXPECT_FALSE(lastNotice.Private);
    // A later plain line does not lower the mark.
    client.DataArrived(":bob!~b@h PRIVMSG #Lobby_20 :anyone?\r\n");
    EXPECT_EQ(chat.TabMark(1), TTabMark::Highlight);

    // In the tab looked at the line is marked, the tab is not; the user's own lines never are.
    client.DataArrived(":bob!~b@h PRIVMSG #test :(alice) here\r\n:alice!~a@h PRIVMSG #test :alice here\r\n");
    EXPECT_TRUE(page.View("#test")->Lines.end()[-2].Marked);
    EXPECT_FALSE(last("#test").Marked);
    EXPECT_EQ(chat.TabMark(2), TTabMark::None);

    // A private action is shown without a notification unless it names the user.
    const int before = notified;
    client.DataArrived(":bob!~b@h PRIVMSG alice :\x01" "ACTION waves\x01\r\n");
    EXPECT_EQ(notified, before);
    client.DataArrived(":bob!~b@h PRIVMSG alice :\x01" "ACTION pokes alice\x01\r\n");
    EXPECT_EQ(notified, before + 1);
    EXPECT_TRUE(lastNotice.Highlight);
    EXPECT_TRUE(last("bob").Marked);  // in the sender's talk, like a private message

    // Looking at a tab clears its mark; a private message in a tab not looked at is a highlight.
    chat.SelectChatTab(1);
    EXPECT_EQ(chat.TabMark(1), TTabMark::None);
    EXPECT_EQ(page.Marks[1], TTabMark::None);
    client.DataArrived(":carl!~c@h PRIVMSG alice :psst\r\n");
    EXPECT_EQ(chat.TabLabel(chat.SelectedTab()), "carl");  // a first private message opens its tab selected
    EXPECT_TRUE(lastNotice.Private);
    chat.SelectChatTab(1);
    client.DataArrived(":carl!~c@h PRIVMSG alice :still there?\r\n");
    EXPECT_EQ(chat.TabMark(chat.FindChatTab("carl")), TTabMark::Highlight);
    EXPECT_FALSE(last("carl").Marked);
}

TEST(NamesNickname, AWordOfItsOwnInAnyLetterCase) {
    struct TCase {
        const char* Text;
        const char* Nick;
        bool Named;
    };
    for (const TCase& c : std::vector<TCase>{
             {"ann", "Ann", true},           {"hi ANN!", "Ann", true},          {"@ann,", "Ann", true},
             {"ann's", "Ann", true},         {"\xC3\xA9" "ann" "\xC3\xA9", "Ann", true},
             {"anne", "Ann", false},         {"joann", "Ann", false},           {"ann_", "Ann", false},
             {"an", "Ann", false},           {"", "Ann", false},                {"anything", "", false},
             {"{pilot}: go", "[Pilot]", true}, {"x|y~", "X\\Y^", true},       {"ann-2", "Ann", false},
             {"not ann yet ann", "Ann", true}, {"annann ann", "Ann", true}})
        EXPECT_EQ(NamesNickname(c.Text, c.Nick), c.Named) << c.Text << " / " << c.Nick;
}

TEST(ServerMessageSender, PrefixGivesTheNickOrTheServerName) {
    EXPECT_EQ(SenderOf(":bob!~b@host"), "bob");
    EXPECT_EQ(SenderOf(":irc.test"), "irc.test");
    EXPECT_EQ(SenderOf(":"), "");
    EXPECT_EQ(SenderOf(""), "");
}

// Real networks: split names replies, member modes from PREFIX, case mapping, kicks and topics.
namespace {

class NetworkLinesTest : public ServerMessageTest {
protected:
    NetworkLinesTest() {
        client.DataArrived(":irc.test 001 alice :Welcome\r\n"
                           ":irc.test 005 alice PREFIX=(qaohv)~&@%+ CHANTYPES=#& CASEMAPPING=rfc1459 :are supported\r\n"
                           ":alice!a@h JOIN #Lobby_20\r\n");
        sent.clear();
    }
    Texts Users() { return page.List("#Lobby_20")->Items; }
    Texts Lobby() { return page.View("#Lobby_20")->Texts(); }
};

}  // namespace

TEST_F(NetworkLinesTest, SplitNamesRepliesAccumulateUntilTheirEndReplacesTheList) {
    client.DataArrived(":irc.test 353 alice = #Lobby_20 :alice u1 u2\r\n"
                       ":irc.test 353 alice = #Lobby_20 :u3 @u4\r\n");
    EXPECT_EQ(Users(), (Texts{"alice"}));  // the list stands until the end of the reply
    client.DataArrived(":irc.test 366 alice #Lobby_20 :End of /NAMES list.\r\n");
    EXPECT_EQ(Users(), (Texts{"@u4", "alice", "u1", "u2", "u3"}));
    // A later NAMES replaces the list: who left meanwhile is gone.
    client.DataArrived(":irc.test 353 alice = #Lobby_20 :alice u1\r\n:irc.test 366 alice #Lobby_20 :End\r\n");
    EXPECT_EQ(Users(), (Texts{"alice", "u1"}));
}

TEST_F(NetworkLinesTest, AMarkedUserIsFoundWhateverMarksItCarriesThroughModesNickKickPartAndQuit) {
    client.DataArrived(":irc.test 353 alice = #Lobby_20 :alice +bob @%carl ~&@%+dave erin\r\n"
                       ":irc.test 366 alice #Lobby_20 :End\r\n");
    EXPECT_EQ(Users(), (Texts{"~dave", "@carl", "+bob", "alice", "erin"}));
    client.DataArrived(":op!o@h MODE #Lobby_20 -o+v-q carl erin dave\r\n");
    EXPECT_EQ(Users(), (Texts{"&dave", "%carl", "+bob", "+erin", "alice"}));

    client.DataArrived(":bob!b@h NICK robert\r\n");
    EXPECT_EQ(Users(), (Texts{"&dave", "%carl", "+erin", "+robert", "alice"}));
    EXPECT_EQ(Lobby().back(), "bob changed nick to robert");
    client.DataArrived(":op!o@h KICK #Lobby_20 robert :behave\r\n");
    EXPECT_EQ(Lobby().back(), "robert was kicked by op (behave)");
    client.DataArrived(":carl!c@h PART #Lobby_20\r\n:dave!d@h QUIT :gone\r\n");
    EXPECT_EQ(Users(), (Texts{"+erin", "alice"}));
    EXPECT_EQ(Lobby().back(), "dave has quit at 14:05:09   (gone)");
    // Back in, one entry each.
    client.DataArrived(":dave!d@h JOIN #Lobby_20\r\n:erin!e@h JOIN #Lobby_20\r\n");
    EXPECT_EQ(Users(), (Texts{"+erin", "alice", "dave"}));
}

TEST_F(NetworkLinesTest, NamesFoldAsTheServerSaysAndItsChannelTypesOpenChannels) {
    client.DataArrived(":irc.test 353 alice = #Lobby_20 :alice [a]\r\n:irc.test 366 alice #Lobby_20 :End\r\n");
    client.DataArrived(":{A}!x@h PRIVMSG alice :hi\r\n:[a]!x@h PRIVMSG alice :again\r\n");
    EXPECT_EQ(page.View("{A}")->Texts(), (Texts{"[{A}]   hi", "[[a]]   again"}));
    EXPECT_EQ(chat.RowCount(), 2);
    client.DataArrived(":{A}!x@h QUIT :bye\r\n");
    EXPECT_EQ(Users(), (Texts{"alice"}));
    EXPECT_EQ(page.View("{A}")->Texts().back(), "{A} has quit at 14:05:09   (bye)");

    client.DataArrived(":alice!a@h JOIN &local\r\n");
    EXPECT_EQ(page.Created.back(), "&local channel");
    // ascii: the brackets are other characters.
    client.DataArrived(":irc.test 005 alice CASEMAPPING=ascii :are supported\r\n"
                       ":[b]!x@h JOIN #Lobby_20\r\n:{B}!x@h JOIN #Lobby_20\r\n");
    EXPECT_EQ(Users(), (Texts{"[b]", "alice", "{B}"}));
}

TEST_F(NetworkLinesTest, KicksTopicsNoticesAndErrorsAreShownWhereTheyBelong) {
    client.DataArrived(":irc.test NOTICE alice :*** You are connected\r\n"
                       ":op!o@h TOPIC #Lobby_20 :New  topic\r\n"
                       ":NickServ!s@services NOTICE alice :Please identify\r\n"
                       ":op!o@h NOTICE #Lobby_20 :to all\r\n");
    EXPECT_EQ(page.Server.Texts().back(), "-irc.test-   *** You are connected");
    EXPECT_EQ(Lobby(), (Texts{"alice has joined at 14:05:09", "op changed the topic to:   New  topic",
                              "-NickServ-   Please identify", "-op-   to all"}));
    client.DataArrived("ERROR :Closing Link: 127.0.0.1 (Bye)\r\n");
    EXPECT_EQ(page.Server.Lines.back(),
              (TFakeLine{"Server closes the link: Closing Link: 127.0.0.1 (Bye)", TFontStyle::Bold, {64, 64, 64}}));
}

TEST_F(NetworkLinesTest, AfterTheOwnKickTheTabStaysMarkedNotJoinedUntilTheNextJoin) {
    client.DataArrived(":irc.test 353 alice = #Lobby_20 :alice bob\r\n:irc.test 366 alice #Lobby_20 :End\r\n");
    ASSERT_TRUE(chat.Row(0).Joined);
    client.DataArrived(":op!o@h KICK #Lobby_20 alice :out\r\n");
    EXPECT_EQ(Lobby().back(), "You were kicked by op (out)");
    EXPECT_FALSE(chat.Row(0).Joined);
    EXPECT_EQ(page.Tabs, (Texts{"<Server>", "#Lobby_20"}));
    EXPECT_EQ(Users(), Texts{});
    EXPECT_FALSE(client.Channels().Find("#Lobby_20"));
    client.DataArrived(":alice!a@h JOIN #Lobby_20\r\n");
    EXPECT_TRUE(chat.Row(0).Joined);
}

TEST_F(NetworkLinesTest, AClosedTalkStaysClosedWhenItsUserQuitsAndComesBackWithTheirNextMessage) {
    client.DataArrived(":bob!b@h PRIVMSG alice :hi\r\n");
    ASSERT_TRUE(chat.PopupMenu1Popup(chat.FindChatTab("bob")));
    chat.ppCloseTabClick();
    client.DataArrived(":bob!b@h QUIT :bye\r\n");
    EXPECT_EQ(chat.FindChatTab("bob"), -1);
    client.DataArrived(":bob!b@h PRIVMSG alice :back\r\n");
    EXPECT_GT(chat.FindChatTab("bob"), 0);
}
