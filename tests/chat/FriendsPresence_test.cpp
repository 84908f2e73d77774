// SPDX-License-Identifier: GPL-3.0-or-later
// Friends' presence against real servers: InspIRCd's MONITOR (friends coming and going within a
// second, and again after a reconnect) and ngircd's ISON rounds, paced, with the lobby's lines.
#include "ChatRig.h"
#include "NgircdServer.h"
#include "chat/FriendsPresence.h"
#include "support/InspircdServer.h"

#include <gtest/gtest.h>

#include <algorithm>

using testing_support::WaitFor;

namespace {

using Texts = std::vector<std::string>;
using TClock = std::chrono::steady_clock;
using namespace std::chrono_literals;

// Ann's chat as the page binds it, with the friends' presence first in line.
struct TAnnsChat : TChatRig {
    explicit TAnnsChat(const std::string& port) {
        session.SetServer("127.0.0.1", port, false);
        ann.OnSessionClosed = [this](TIRCCli& s, std::uint16_t e) {
            session.IRCCli1SessionClosed(s, e);
            presence.SessionClosed();
        };
        ann.OnServerMessage = [this](TIRCCli& s, const std::string& p, const std::string& c, const Texts& params) {
            if (c == "303") isonAnswers.push_back(TClock::now());
            const bool own = presence.ServerLine(p, c, params);
            session.ServerLine(c, params);
            if (!own) messages.IRCCli1ServerMessage(s, p, c, params);
        };
        presence.OnNews = [this](const TFriend& f) { news.push_back(f.Nick + " " + std::to_string(int(f.State))); };
    }
    TFriendState State(const std::string& nick) const {
        const TFriend* f = presence.Friends().Find(nick);
        return f ? f->State : TFriendState::Unknown;
    }
    bool InLobby(const std::string& nick) {
        const Texts u = Users();
        return std::find(u.begin(), u.end(), nick) != u.end();
    }

    TFriendsPresence presence{ann, chat};
    std::vector<TClock::time_point> isonAnswers;
    Texts news;
};

constexpr int Online = static_cast<int>(TFriendState::Online);
constexpr int Playing = static_cast<int>(TFriendState::Playing);

class PresenceOnInspircd : public ::testing::Test {
protected:
    bool Wait(const std::function<bool()>& pred, int ms = 10000) { return WaitFor(rig.loop, pred, ms); }
    // How long until pred holds, in milliseconds; -1 when it never does within 5 s.
    long long MsUntil(const std::function<bool()>& pred) {
        const auto start = TClock::now();
        if (!Wait(pred, 5000)) return -1;
        return std::chrono::duration_cast<std::chrono::milliseconds>(TClock::now() - start).count();
    }
    void AnnConnects() {
        rig.session.btnChatConnectionClick();
        ASSERT_TRUE(Wait([&] { return rig.InLobby("@Ann") || rig.InLobby("Ann"); })) << rig.ServerText() << ircd.Log();
    }

    TInspircdServer ircd;
    TAnnsChat rig{ircd.PortText()};
};

TEST_F(PresenceOnInspircd, FriendsComingAndGoingShowWithinASecondAndAgainAfterAReconnect) {
    TIrcCrowd wingman(ircd.Port(), 1, "#elsewhere", "Wingman");
    rig.presence.SetList("wingman0 Maverick0 Ghost0");
    AnnConnects();
    ASSERT_TRUE(rig.ann.Support().Tokens.count("MONITOR"));
    // Already on when Ann came: known, but no news.
    ASSERT_TRUE(Wait([&] { return rig.State("Wingman0") == TFriendState::Online; })) << rig.ServerText();
    EXPECT_TRUE(Wait([&] { return rig.State("Ghost0") == TFriendState::Offline; }));
    EXPECT_TRUE(rig.news.empty());

    {
        auto maverick = std::make_unique<TIrcCrowd>(ircd.Port(), 1, "#elsewhere", "Maverick");
        const long long on = MsUntil([&] { return rig.State("Maverick0") == TFriendState::Online; });
        EXPECT_GE(on, 0);
        EXPECT_LT(on, 1000);
        EXPECT_EQ(rig.news, (Texts{"Maverick0 " + std::to_string(Online)}));
        EXPECT_EQ(rig.page.View("#Lobby_20")->Texts().back(), "Your friend Maverick0 is online");
        maverick->Send(0, "QUIT :off to bed");
        const long long off = MsUntil([&] { return rig.State("Maverick0") == TFriendState::Offline; });
        EXPECT_GE(off, 0);
        EXPECT_LT(off, 1000);
    }
    // A friend added during the session is watched from then on.
    TIrcCrowd late(ircd.Port(), 1, "#elsewhere", "Late");
    rig.presence.Add("Late0");
    EXPECT_TRUE(Wait([&] { return rig.State("Late0") == TFriendState::Online; }, 1000)) << rig.ServerText();
    // MONITOR's answers are not shown as server lines.
    EXPECT_FALSE(rig.ServerViewNames("Maverick0!")) << rig.ServerText();
    EXPECT_FALSE(rig.ServerViewNames("Ghost0")) << rig.ServerText();

    // A new session asks again: states come back from unknown.
    rig.session.Disconnect();
    ASSERT_TRUE(Wait([&] { return !rig.ann.Connected(); }));
    EXPECT_EQ(rig.State("Wingman0"), TFriendState::Unknown);
    AnnConnects();
    EXPECT_TRUE(Wait([&] { return rig.State("Wingman0") == TFriendState::Online && rig.State("Late0") == TFriendState::Online; },
                     2000))
        << rig.ServerText();
    EXPECT_EQ(rig.news.size(), 1u) << rig.news.back();
}

class PresenceOnNgircd : public ::testing::Test {
protected:
    bool Wait(const std::function<bool()>& pred, int ms = 10000) { return WaitFor(rig.loop, pred, ms); }

    TNgircdServer ngircd;
    TAnnsChat rig{ngircd.PortText()};
};

TEST_F(PresenceOnNgircd, IsonRoundsArePacedAndTheLobbysLinesGiveTheSameStates) {
    // Enough friends for several ISON lines a round, which the pacing spreads out.
    std::string friends = "Wingman0 Maverick0";
    for (int i = 0; i < 98; ++i) friends += " pilot_number_" + std::to_string(i);
    rig.presence.SetList(friends);
    rig.presence.IsonPeriod = 400ms;
    rig.ann.SendBurst = 1;
    rig.ann.SendInterval = 150ms;
    TIrcCrowd wingman(ngircd.Port(), 1, "#elsewhere", "Wingman");
    rig.session.btnChatConnectionClick();
    ASSERT_TRUE(Wait([&] { return rig.InLobby("@Ann"); })) << rig.ServerText() << ngircd.Log();
    ASSERT_FALSE(rig.ann.Support().Tokens.count("MONITOR"));

    ASSERT_TRUE(Wait([&] { return rig.State("Wingman0") == TFriendState::Online; })) << rig.ServerText();
    EXPECT_EQ(rig.State("Maverick0"), TFriendState::Offline);
    // A second round and more: answers keep coming, each line of a round a pacing step apart.
    ASSERT_TRUE(Wait([&] { return rig.isonAnswers.size() >= 10; }, 5000)) << rig.isonAnswers.size();
    const std::size_t perRound = (100 * 16 + TFriends::MaxCommandLength - 1) / TFriends::MaxCommandLength;
    ASSERT_GE(perRound, 4u);
    long long closest = 1000000;
    for (std::size_t i = 1; i < rig.isonAnswers.size(); ++i)
        closest = std::min<long long>(
            closest, std::chrono::duration_cast<std::chrono::milliseconds>(rig.isonAnswers[i] - rig.isonAnswers[i - 1]).count());
    EXPECT_GE(closest, 100) << "ISON lines were not paced";
    EXPECT_FALSE(rig.ServerViewNames("Wingman0")) << "ISON answers shown: " << rig.ServerText();

    // A friend added while he sits in the lobby is in the lobby at once.
    TIrcCrowd early(ngircd.Port(), 1, "#Lobby_20", "Early");
    ASSERT_TRUE(Wait([&] { return rig.InLobby("Early0"); }));
    rig.presence.Remove("pilot_number_0");
    rig.presence.Add("Early0");
    EXPECT_EQ(rig.State("Early0"), TFriendState::InLobby);

    // Maverick comes on: the next round finds him.
    TIrcCrowd maverick(ngircd.Port(), 1, "#elsewhere", "Maverick");
    ASSERT_TRUE(Wait([&] { return rig.State("Maverick0") == TFriendState::Online; }, 5000)) << rig.ServerText();
    EXPECT_EQ(rig.news, (Texts{"Maverick0 " + std::to_string(Online)}));

    // The lobby's lines say more, at once, and the rounds do not take it back.
    wingman.Send(0, "JOIN #Lobby_20");
    ASSERT_TRUE(Wait([&] { return rig.State("Wingman0") == TFriendState::InLobby; }, 1000));
    wingman.Send(0, "PRIVMSG #Lobby_20 :\x01\x02\x03\x04Vasudan Outpost");
    ASSERT_TRUE(Wait([&] { return rig.State("Wingman0") == TFriendState::Playing; }, 1000));
    EXPECT_EQ(rig.presence.Friends().Find("Wingman0")->Server, "Vasudan Outpost");
    EXPECT_EQ(rig.news.back(), "Wingman0 " + std::to_string(Playing));
    const std::size_t answers = rig.isonAnswers.size();
    ASSERT_TRUE(Wait([&] { return rig.isonAnswers.size() >= answers + 2 * perRound; }, 5000));
    EXPECT_EQ(rig.State("Wingman0"), TFriendState::Playing);
    wingman.Send(0, "PART #Lobby_20");
    ASSERT_TRUE(Wait([&] { return rig.State("Wingman0") == TFriendState::Online; }, 1000));
    wingman.Send(0, "JOIN #Lobby_20");
    ASSERT_TRUE(Wait([&] { return rig.State("Wingman0") == TFriendState::InLobby; }, 1000));
    wingman.Send(0, "QUIT :gone");
    ASSERT_TRUE(Wait([&] { return rig.State("Wingman0") == TFriendState::Offline; }, 1000));
}

}  // namespace
