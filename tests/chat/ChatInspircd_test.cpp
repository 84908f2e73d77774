// SPDX-License-Identifier: GPL-3.0-or-later
// The chat page against a real InspIRCd speaking a big network's dialect: a crowded lobby with
// split names replies, members with several modes, rfc1459 case, a K-line, a restart.
#include "ChatRig.h"
#include "chat/ChatInput.h"
#include "support/InspircdServer.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cstdio>

namespace {

using Texts = std::vector<std::string>;

class ChatOnInspircd : public ::testing::Test, protected TChatRig {
protected:
    ChatOnInspircd() {
        session.SetServer("127.0.0.1", ircd.PortText(), false);
        session.Policy.First = std::chrono::milliseconds(100);
        session.Policy.Max = std::chrono::milliseconds(400);
    }

    bool Has(const std::string& caption, const std::string& channel = "#Lobby_20") {
        const Texts u = Users(channel);
        return std::find(u.begin(), u.end(), caption) != u.end();
    }
    // Entries naming nick, whatever its mark.
    int Entries(const std::string& nick) {
        const Texts u = Users();
        return static_cast<int>(std::count_if(u.begin(), u.end(), [&](const std::string& c) {
            return c == nick || (c.size() == nick.size() + 1 && c.substr(1) == nick);
        }));
    }
    std::string ServerText() const { return TChatRig::ServerText() + ircd.Log(); }
    std::string Dump() {
        std::string all = "users:";
        for (const auto& u : Users()) all += " " + u;
        all += "\nlobby:\n";
        for (const auto& l : page.View("#Lobby_20")->Texts()) all += testing_support::Escaped(l) + "\n";
        return all + ServerText();
    }
    void AnnConnects() {
        session.btnChatConnectionClick();
        ASSERT_TRUE(Wait([&] { return Entries("Ann") == 1; })) << ServerText();
    }

    TInspircdServer ircd;
    TChatInput input{ann, chat, settings, ping};
};

}  // namespace

TEST_F(ChatOnInspircd, SixHundredUsersInTheLobbyAreAllListed) {
    TIrcCrowd crowd(ircd.Port(), 600, "#Lobby_20");
    const auto start = std::chrono::steady_clock::now();
    AnnConnects();
    ASSERT_TRUE(Wait([&] { return Users().size() == 601; })) << Users().size();
    const auto ms = std::chrono::duration_cast<std::chrono::milliseconds>(std::chrono::steady_clock::now() - start);
    std::printf("601 users listed %lld ms after the connect click\n", static_cast<long long>(ms.count()));
    EXPECT_EQ(Users().front(), "@bot0");
    for (int i : {1, 300, 599}) EXPECT_EQ(Entries(crowd.Nick(i)), 1) << i;
}

TEST_F(ChatOnInspircd, AVoicedUserIsFollowedThroughModesNickKickPartAndQuit) {
    TIrcCrowd crowd(ircd.Port(), 2, "#Lobby_20");
    AnnConnects();
    ASSERT_TRUE(Wait([&] { return Has("bot1"); }));
    crowd.Send(0, "MODE #Lobby_20 +vh bot1 bot1");
    ASSERT_TRUE(Wait([&] { return Has("%bot1"); })) << Dump();
    crowd.Send(0, "MODE #Lobby_20 -h bot1");
    ASSERT_TRUE(Wait([&] { return Has("+bot1"); }));
    crowd.Send(1, "NICK robin");
    ASSERT_TRUE(Wait([&] { return Has("+robin"); }));
    EXPECT_EQ(Entries("bot1"), 0);
    crowd.Send(0, "KICK #Lobby_20 robin :out");
    ASSERT_TRUE(Wait([&] { return Entries("robin") == 0; }));
    EXPECT_EQ(page.View("#Lobby_20")->Texts().back(), "robin was kicked by bot0 (out)");

    crowd.Send(1, "JOIN #Lobby_20");
    ASSERT_TRUE(Wait([&] { return Has("robin"); }));
    crowd.Send(0, "MODE #Lobby_20 +v robin");
    ASSERT_TRUE(Wait([&] { return Has("+robin"); }));
    crowd.Send(1, "PART #Lobby_20");
    ASSERT_TRUE(Wait([&] { return Entries("robin") == 0; }));
    crowd.Send(1, "JOIN #Lobby_20");
    ASSERT_TRUE(Wait([&] { return Has("robin"); }));
    crowd.Send(0, "MODE #Lobby_20 +v robin");
    ASSERT_TRUE(Wait([&] { return Has("+robin"); }));
    crowd.Send(1, "QUIT :gone home");
    ASSERT_TRUE(Wait([&] { return Entries("robin") == 0; }));
    EXPECT_TRUE(page.View("#Lobby_20")->Texts().back().starts_with("robin has quit at ")) << ServerText();
    EXPECT_EQ(Users(), (Texts{"@bot0", "Ann"}));
}

TEST_F(ChatOnInspircd, WithCapabilitiesOnAnAwayUserIsGreyedAndANamesReplyKeepsEveryPrefix) {
    TIrcCrowd crowd(ircd.Port(), 2, "#Lobby_20");
    AnnConnects();
    ASSERT_TRUE(Wait([&] { return Has("bot1"); }));
    EXPECT_TRUE(ann.Caps().Enabled("away-notify") && ann.Caps().Enabled("multi-prefix")) << ServerText();
    crowd.Send(1, "AWAY :lunch");
    ASSERT_TRUE(Wait([&] { return page.List("#Lobby_20")->Away("bot1"); })) << ServerText();
    crowd.Send(1, "AWAY");
    ASSERT_TRUE(Wait([&] { return !page.List("#Lobby_20")->Away("bot1"); }));

    // Without multi-prefix the names reply would give @bot1 only, and -o would leave no voice.
    crowd.Send(0, "MODE #Lobby_20 +ov bot1 bot1");
    ASSERT_TRUE(Wait([&] { return Has("@bot1"); }));
    ann.SendLine("PART #Lobby_20");
    ASSERT_TRUE(Wait([&] { return Users().empty(); }));
    ann.SendLine("JOIN #Lobby_20");
    ASSERT_TRUE(Wait([&] { return Has("@bot1") && Entries("Ann") == 1; }));
    crowd.Send(0, "MODE #Lobby_20 -o bot1");
    ASSERT_TRUE(Wait([&] { return Has("+bot1"); })) << Dump();
}

TEST_F(ChatOnInspircd, BracketsAndBracesAreOneNickUnderRfc1459) {
    TIrcCrowd crowd(ircd.Port(), 1, "#Lobby_20");
    TIRCCli other{loop};
    other.SetHost("127.0.0.1");
    other.SetPort(ircd.PortText());
    other.SetNick("[a]");
    other.SetUser("other");
    other.SetRealName("Other");
    bool welcomed = false;
    other.OnServerMessage = [&](TIRCCli& s, const std::string&, const std::string& c, const Texts&) {
        if (c == "001") {
            welcomed = true;
            s.SendLine("JOIN #Lobby_20");
        }
    };
    AnnConnects();
    other.Connect();
    ASSERT_TRUE(Wait([&] { return Has("[a]"); })) << Dump();
    // The operator names the user the other way round; the server and the list agree it is one.
    crowd.Send(0, "MODE #Lobby_20 +v {A}");
    ASSERT_TRUE(Wait([&] { return Has("+[a]"); })) << ServerText();
    other.SendLine("NICK {A}");
    ASSERT_TRUE(Wait([&] { return Has("+{A}"); })) << ServerText();
    EXPECT_EQ(Entries("[a]"), 0);
    other.SendLine("PRIVMSG Ann :hello");
    ASSERT_TRUE(Wait([&] { return page.View("{A}") != nullptr; }));
    crowd.Send(0, "KICK #Lobby_20 [a] :bye");
    ASSERT_TRUE(Wait([&] { return Entries("{A}") == 0; })) << ServerText();
    EXPECT_EQ(Users(), (Texts{"@bot0", "Ann"}));
    other.Disconnect();
}

TEST_F(ChatOnInspircd, AKLineGivesOneConnectionAndALineSayingWhyAndNoSecondAttempt) {
    TIrcCrowd crowd(ircd.Port(), 1, "#Lobby_20");
    AnnConnects();
    crowd.Send(0, std::string("OPER ") + TInspircdServer::OperName + " " + TInspircdServer::OperPassword);
    crowd.Send(0, "KLINE *GV*@127.0.0.1 1h :Spamming the lobby");
    ExpectNoReconnectAfterTheBan("Spamming the lobby");
}

TEST_F(ChatOnInspircd, ARestartRejoinsOnlyTheChannelsJoinedAtTheDropAndQuitEndsItAll) {
    AnnConnects();
    ann.SendLine("JOIN #stay");
    ann.SendLine("JOIN #left");
    ASSERT_TRUE(Wait([&] { return Has("@Ann", "#stay") && Has("@Ann", "#left"); })) << Dump() << Users("#stay").size();
    chat.SelectChatTab(chat.FindChatTab("#left"));
    input.HandleText("/part");
    ASSERT_TRUE(Wait([&] { return !chat.Row(chat.FindRow("#left")).Joined; })) << ServerText();

    ircd.Stop();
    ASSERT_TRUE(Wait([&] { return ServerLinesStarting("Reconnecting in ") >= 2; })) << ServerText();
    ircd.Restart();
    ASSERT_TRUE(Wait([&] { return Has("@Ann", "#stay") && Entries("Ann") == 1; }, 20000)) << ServerText();
    testing_support::Drain(loop, 300);
    EXPECT_TRUE(Users("#left").empty());
    EXPECT_FALSE(chat.Row(chat.FindRow("#left")).Joined);
    // Typing in the channel left says so and sends nothing.
    input.HandleText("anyone?");
    EXPECT_EQ(page.View("#left")->Texts().back(), "* You are not in #left (/join #left to go back in)");

    const int attempts = ServerLinesStarting("Connecting to ");
    input.HandleText("/quit");
    ASSERT_TRUE(Wait([&] { return !ann.Active(); })) << ServerText();
    testing_support::Drain(loop, 800);
    EXPECT_EQ(ServerLinesStarting("Connecting to "), attempts);
    EXPECT_FALSE(session.Reconnecting());
    EXPECT_EQ(page.Caption, "Connect");
}
