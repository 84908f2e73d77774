// SPDX-License-Identifier: GPL-3.0-or-later
// Friends: the list as the player edits it, presence walked through its changes, and the
// MONITOR and ISON lines with their answers.
#include "chat/Friends.h"

#include <gtest/gtest.h>

#include <algorithm>

namespace {

using namespace std::chrono_literals;
using TState = TFriendState;

std::string Rfc1459Lower(std::string_view s) {
    std::string out(s);
    for (char& c : out) {
        if (c >= 'A' && c <= ']') c = static_cast<char>(c + 32);
        else if (c == '~') c = '^';
    }
    return out;
}

struct FriendsTest : ::testing::Test {
    TFriends friends{Rfc1459Lower};
    TFriends::TClock::time_point t0 = TFriends::TClock::now();
    std::vector<std::string> notified;
    void SetUp() override {
        friends.OnNotify = [this](const TFriend& f) { notified.push_back(f.Nick + ":" + std::to_string(int(f.State))); };
    }
    TState State(std::string_view nick) const { return friends.Find(nick)->State; }
};

TEST_F(FriendsTest, TheListTakesValidNamesOnceUpToTheLimitAndFoldsByTheNetworksCaseMapping) {
    // Repeats under rfc1459 ("[a]" is "{A}"), channel names, masks and commas are left out.
    EXPECT_EQ(friends.SetText("  Maverick  [a] {A} #Lobby_20 a,b x!y@z 9lives  Wingman\t"), 5u);
    EXPECT_EQ(friends.Text(), "Maverick [a] Wingman");
    EXPECT_TRUE(friends.Contains("MAVERICK"));
    EXPECT_TRUE(friends.Contains("{a}"));
    EXPECT_EQ(friends.Add("wingMAN"), TFriends::TAddResult::Already);

    std::string many;
    for (int i = 0; i < 120; ++i) many += "pilot" + std::to_string(i) + " ";
    EXPECT_EQ(friends.SetText(many), 20u);
    EXPECT_EQ(friends.Count(), TFriends::MaxFriends);
    EXPECT_EQ(friends.Add("onemore"), TFriends::TAddResult::Full);
    EXPECT_TRUE(friends.Remove("PILOT0"));
    EXPECT_EQ(friends.Add("onemore"), TFriends::TAddResult::Added);
}

TEST_F(FriendsTest, PresenceWalksFromUnknownThroughTheLobbyToAGameAndNotifiesAtMostOncePerMinute) {
    friends.SetText("Maverick Wingman");
    // The first answer after a connect is no news: no notification.
    friends.MonitorOnlineReply("maverick!m@host,stranger!s@h", t0);
    EXPECT_EQ(State("Maverick"), TState::Online);
    EXPECT_EQ(friends.Find("Maverick")->Nick, "maverick");  // as the network shows it
    EXPECT_TRUE(notified.empty());

    friends.MonitorOfflineReply("maverick", t0 + 1s);
    friends.MonitorOnlineReply("Maverick!m@host", t0 + 2s);
    ASSERT_EQ(notified.size(), 1u);
    friends.JoinedLobby("Maverick", t0 + 3s);
    EXPECT_EQ(State("Maverick"), TState::InLobby);
    // Within the minute the announcement changes the state but does not notify again.
    friends.AnnouncedGame("Maverick", "Vasudan Outpost", t0 + 10s);
    EXPECT_EQ(State("Maverick"), TState::Playing);
    EXPECT_EQ(friends.Find("Maverick")->Server, "Vasudan Outpost");
    EXPECT_EQ(notified.size(), 1u);
    friends.AnnouncedGame("Maverick", "Vasudan Outpost", t0 + 70s);
    EXPECT_EQ(notified.size(), 2u);
    // A MONITOR answer does not demote a player in the lobby.
    friends.MonitorOnlineReply("Maverick!m@host", t0 + 71s);
    EXPECT_EQ(State("Maverick"), TState::Playing);

    friends.Expire(t0 + 70s + 59min);
    EXPECT_EQ(State("Maverick"), TState::Playing);
    friends.Expire(t0 + 70s + 60min);
    EXPECT_EQ(State("Maverick"), TState::InLobby);

    friends.Renamed("Maverick", "Mav_away", t0 + 2h);
    EXPECT_EQ(State("Maverick"), TState::Offline);
    friends.Renamed("someone", "wingman", t0 + 2h + 1s);
    EXPECT_EQ(State("Wingman"), TState::Online);
    friends.LeftLobby("Wingman", t0 + 2h);
    EXPECT_EQ(friends.NewestFirst().front()->Nick, "wingman");

    // Maverick is offline: going to unknown with the connection is no coming online.
    const std::size_t before = notified.size();
    friends.ConnectionLost(t0 + 3h);
    EXPECT_EQ(State("Wingman"), TState::Unknown);
    EXPECT_EQ(notified.size(), before);
}

TEST_F(FriendsTest, MonitorLinesStayWithinTheLimitAndTheRestAreAskedByIsonInOrder) {
    std::string many;
    for (int i = 0; i < 100; ++i) many += "pilot_number_" + std::to_string(i) + " ";
    friends.SetText(many);

    const auto monitor = friends.MonitorLines(60);
    ASSERT_GE(monitor.size(), 3u);
    EXPECT_EQ(monitor[0], "MONITOR C");
    std::size_t watched = 0;
    for (std::size_t i = 1; i < monitor.size(); ++i) {
        EXPECT_LE(monitor[i].size(), TFriends::MaxCommandLength);
        EXPECT_EQ(monitor[i].rfind("MONITOR + ", 0), 0u);
        watched += static_cast<std::size_t>(std::count(monitor[i].begin(), monitor[i].end(), ',')) + 1;
    }
    EXPECT_EQ(watched, 60u);
    // The server refused two more for a full list: they join the 40 asked by ISON.
    friends.MonitorListFull("pilot_number_58,pilot_number_59");
    const auto ison = friends.IsonLines();
    ASSERT_EQ(ison.size(), 2u);
    for (const auto& line : ison) EXPECT_LE(line.size(), TFriends::MaxCommandLength);
    EXPECT_NE(ison[0].find("pilot_number_58 "), std::string::npos);

    // Each answer speaks for its own line: those asked and not named are offline.
    friends.IsonReply("PILOT_NUMBER_58", t0);
    EXPECT_EQ(State("pilot_number_58"), TState::Online);
    EXPECT_EQ(State("pilot_number_59"), TState::Offline);
    EXPECT_EQ(State("pilot_number_99"), TState::Unknown);
    friends.IsonReply("", t0);
    EXPECT_EQ(State("pilot_number_99"), TState::Offline);
    EXPECT_EQ(State("pilot_number_0"), TState::Unknown);  // watched by MONITOR, not by ISON
    // An answer nobody asked for changes nothing.
    friends.IsonReply("pilot_number_99", t0);
    EXPECT_EQ(State("pilot_number_99"), TState::Offline);
}

}  // namespace
