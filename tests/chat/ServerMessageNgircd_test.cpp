// SPDX-License-Identifier: GPL-3.0-or-later
// The chat page's server lines against a real IRC server (ngircd), with a second client as the
// other player: talk, private talk, actions, a game announcement, operator modes, a ping reply,
// an invitation, a nick change, leaving and quitting; the lobby mark of a player gone to a game.
#include "FakeChatPage.h"
#include "chat/NgircdServer.h"
#include "chat/ServerMessage.h"
#include "support/TestLoop.h"
#include "support/TestSupport.h"

#include <gtest/gtest.h>

#include <regex>

using testing_support::WaitFor;

namespace {

using Texts = std::vector<std::string>;

class ServerMessageNgircd : public ::testing::Test {
protected:
    ServerMessageNgircd() {
        settings.Nickname = "Ann";
        messages.Clock = [this] { return now; };
        messages.OnNotifyUserMessage = [this](const TUserMessage& m) {
            ++notified;
            lastNotice = m;
        };
        Login(ann, "Ann");
        ann.OnServerMessage = [this](TIRCCli& s, const std::string& p, const std::string& c,
                                     const std::vector<std::string>& params) {
            messages.IRCCli1ServerMessage(s, p, c, params);
        };
        ann.OnInvite = [this](TIRCCli& s, const std::string& n, const std::string& u, const std::string& h,
                              const std::string& c, bool& accept) { messages.IRCCli1Invite(s, n, u, h, c, accept); };
        Login(bob, "bob");
        bob.OnServerMessage = [this](TIRCCli&, const std::string&, const std::string& c,
                                     const std::vector<std::string>&) { bobHeard.push_back(c); };
    }

    void Login(TIRCCli& cli, const std::string& nick) {
        cli.SetHost("127.0.0.1");
        cli.SetPort(server.PortText());
        cli.SetNick(nick);
        cli.SetUser("u" + nick);
        cli.SetRealName("Corvane test");
    }

    bool BobHeard(const std::string& command) {
        return WaitFor(loop, [&] { return std::find(bobHeard.begin(), bobHeard.end(), command) != bobHeard.end(); });
    }
    Texts Lines(const std::string& tab) {
        TFakeView* view = tab.empty() ? &page.Server : page.View(tab);
        return view ? view->Texts() : Texts{};
    }
    std::string Last(const std::string& tab) {
        const Texts lines = Lines(tab);
        return lines.empty() ? std::string() : lines.back();
    }
    // Waits for the last line of a tab; on failure the tab's lines show what came instead.
    void ExpectLast(const std::string& tab, const std::string& pattern) {
        const std::regex re(pattern);
        const bool ok = WaitFor(loop, [&] { return std::regex_match(Last(tab), re); });
        std::string seen;
        for (const auto& l : Lines(tab)) seen += testing_support::Escaped(l) + "\n";
        EXPECT_TRUE(ok) << "tab '" << tab << "' never ended with " << pattern << "; it holds:\n" << seen;
    }
    Texts Users() {
        TFakeList* list = page.List("#Lobby_20");
        return list ? list->Items : Texts{};
    }
    bool WaitUsers(const Texts& expected) {
        const bool ok = WaitFor(loop, [&] { return Users() == expected; });
        std::string seen;
        for (const auto& u : Users()) seen += u + " ";
        EXPECT_TRUE(ok) << "user list: " << seen;
        return ok;
    }

    TNgircdServer server;
    testing_support::TTestLoop loop;
    TIRCCli ann{loop};
    TIRCCli bob{loop};
    std::vector<std::string> bobHeard;
    TFakeChatPage page;
    TConversations chat{page};
    TSettings settings;
    TPingValues ping;
    TServerMessages messages{ann, chat, settings, ping};
    int notified = 0;
    TUserMessage lastNotice;
    std::chrono::steady_clock::time_point now = std::chrono::steady_clock::now();
};

const std::string kTime = "[0-9]{2}:[0-9]{2}:[0-9]{2}";

}  // namespace

TEST_F(ServerMessageNgircd, ALobbyEveningWithAnotherPlayer) {
    // bob opened the lobby, so he is its operator; the welcome makes Ann join it.
    bob.Connect();
    ASSERT_TRUE(BobHeard("001"));
    bob.SendLine("JOIN #Lobby_20");
    ASSERT_TRUE(BobHeard("366"));
    ann.Connect();
    ASSERT_TRUE(WaitUsers({"@bob", "Ann"}));
    EXPECT_EQ(page.Tabs, (Texts{"<Server>", "#Lobby_20"}));
    EXPECT_TRUE(std::regex_match(Lines("#Lobby_20").front(), std::regex("Ann has joined at " + kTime)));
    EXPECT_EQ(page.Server.Lines.front().Text, "Ann");

    bob.SendLine("PRIVMSG #Lobby_20 :hi");
    ExpectLast("#Lobby_20", "\\[bob\\]   hi");
    EXPECT_EQ(page.View("#Lobby_20")->Lines.back().Colour, (TColour{0, 0, 0}));
    EXPECT_EQ(notified, 1);

    bob.SendLine("PRIVMSG Ann :psst");
    ExpectLast("bob", "\\[bob\\]   psst");
    EXPECT_EQ(page.Tabs, (Texts{"<Server>", "#Lobby_20", "bob"}));
    EXPECT_EQ(chat.SelectedTab(), 2);
    EXPECT_EQ(notified, 2);

    bob.SendLine("PRIVMSG #Lobby_20 :\x01" "ACTION waves\x01");
    ExpectLast("#Lobby_20", " \\* bob waves");
    EXPECT_EQ(page.View("#Lobby_20")->Lines.back().Style, TFontStyle::Bold);
    EXPECT_EQ(notified, 3);

    // A join announcement is no user message: no notification.
    bob.SendLine("PRIVMSG #Lobby_20 :\x01\x02\x03\x04" "Alpha Wing \"Dogfight\"");
    ExpectLast("#Lobby_20", "bob went play to \"Alpha Wing \"Dogfight\"\" at " + kTime);
    EXPECT_EQ(page.View("#Lobby_20")->Lines.back().Colour, (TColour{0, 0, 127}));
    EXPECT_EQ(page.View("#Lobby_20")->Lines.back().Game, "Alpha Wing \"Dogfight\"");
    EXPECT_EQ(notified, 3);
    EXPECT_EQ(page.List("#Lobby_20")->Marked(), (Texts{"@bob"}));
    EXPECT_EQ(messages.Announcements.Find("BOB", now)->Server, "Alpha Wing \"Dogfight\"");

    bob.SendLine("MODE #Lobby_20 +o Ann");
    ASSERT_TRUE(WaitUsers({"@Ann", "@bob"}));
    EXPECT_EQ(Last("#Lobby_20"), "bob set mode: +o Ann");
    bob.SendLine("MODE #Lobby_20 -o Ann");
    ASSERT_TRUE(WaitUsers({"@bob", "Ann"}));
    EXPECT_EQ(Last("#Lobby_20"), "bob set mode: -o Ann");
    bob.SendLine("MODE #Lobby_20 -o bob");
    ASSERT_TRUE(WaitUsers({"Ann", "bob"}));
    EXPECT_EQ(page.List("#Lobby_20")->Marked(), (Texts{"bob"}));  // the mark moves with the entry

    // The input line's /PING: its values, then the bare line to the server.
    chat.SelectChatTab(1);
    ping = {"bob", PerformanceCounter(), PerformanceFrequency()};
    ann.SendLine("PING bob");
    ExpectLast("#Lobby_20", "\\[bob PING reply\\]: [0-9]+\\.[0-9] sec");
    EXPECT_EQ(page.View("#Lobby_20")->Lines.back().Colour, (TColour{255, 0, 0}));

    bob.SendLine("JOIN #side");
    ASSERT_TRUE(BobHeard("366"));
    bob.SendLine("INVITE Ann #side");
    ExpectLast("", "INVITE:   #side");
    const Texts server = Lines("");
    ASSERT_GE(server.size(), 7u);
    EXPECT_EQ(Texts(server.end() - 7, server.end()),
              (Texts{"==Invite==================================================", "FromNick: bob", "FromUser: ~ubob",
                     "FromHost: 127.0.0.1", "Channel: #side",
                     "=========================================================", "INVITE:   #side"}));
    EXPECT_EQ(chat.FindRow("#side"), -1);

    bob.SendLine("NICK robert");
    ASSERT_TRUE(WaitUsers({"Ann", "robert"}));
    EXPECT_EQ(Last("#Lobby_20"), "bob changed nick to robert");
    EXPECT_EQ(page.Tabs, (Texts{"<Server>", "#Lobby_20", "robert"}));
    EXPECT_EQ(Lines("bob"), (Texts{"[bob]   psst"}));  // the renamed tab gets no line
    EXPECT_EQ(page.List("#Lobby_20")->Marked(), (Texts{"robert"}));
    // The mark lasts an hour from the announcement.
    now += std::chrono::minutes(59);
    messages.ExpireAnnouncements();
    EXPECT_EQ(page.List("#Lobby_20")->Marked(), (Texts{"robert"}));
    now += std::chrono::minutes(1);
    messages.ExpireAnnouncements();
    EXPECT_EQ(page.List("#Lobby_20")->Marked(), Texts{});
    // Announced again, then gone from the lobby: a new join comes back unmarked.
    bob.SendLine("PRIVMSG #Lobby_20 :\x01\x02\x03\x04" "Beta");
    ASSERT_TRUE(WaitFor(loop, [&] { return page.List("#Lobby_20")->Marked() == Texts{"robert"}; }));

    bob.SendLine("PART #Lobby_20 :later");
    ASSERT_TRUE(WaitUsers({"Ann"}));
    EXPECT_TRUE(std::regex_match(Last("#Lobby_20"), std::regex("robert has left the channel at " + kTime)));
    bob.SendLine("JOIN #Lobby_20");
    ASSERT_TRUE(WaitUsers({"Ann", "robert"}));
    EXPECT_EQ(page.List("#Lobby_20")->Marked(), Texts{});
    bob.SendLine("QUIT :Leaving");
    ASSERT_TRUE(WaitUsers({"Ann"}));
    // ngircd quotes the reason it passes on.
    const std::string quit = "robert has quit at " + kTime + "   \\(\"Leaving\"\\)";
    EXPECT_TRUE(std::regex_match(Last("#Lobby_20"), std::regex(quit))) << Last("#Lobby_20");
    EXPECT_TRUE(std::regex_match(Last("bob"), std::regex(quit))) << Last("bob");  // the view opened as bob
    EXPECT_EQ(notified, 3);
    EXPECT_EQ(settings.Nickname, "Ann");

    // The user's own nick change is kept in memory and renames the own entry.
    ann.SendLine("NICK Anna");
    ASSERT_TRUE(WaitUsers({"Anna"}));
    EXPECT_EQ(settings.Nickname, "Anna");
    ann.Disconnect();
    bob.Disconnect();
}
