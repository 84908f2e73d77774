// SPDX-License-Identifier: GPL-3.0-or-later
// The client against a real IRC server (ngircd): login, lobby, messages, nick changes, leaving.
#include "chat/IRCCli.h"
#include "chat/NgircdServer.h"
#include "support/TestLoop.h"
#include "support/TestSupport.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <memory>
#include <string>
#include <vector>

using testing_support::WaitFor;

namespace {

struct TLine {
    std::string prefix, command;
    std::vector<std::string> params;
};

struct TMessage {
    std::string nick, user, host, target, text;
    bool notice;
};

// One logged-in client and everything it heard.
class TChatter {
public:
    TChatter(TEventLoop& loop, int port, const std::string& nick) : cli(loop), loop_(loop) {
        cli.SetHost("127.0.0.1");
        cli.SetPort(std::to_string(port));
        cli.SetNick(nick);
        cli.SetUser("u" + nick);
        cli.SetRealName("Corvane test");
        cli.OnSessionClosed = [this](TIRCCli&, std::uint16_t) { ++closed; };
        cli.OnServerMessage = [this](TIRCCli&, const std::string& p, const std::string& c,
                                     const std::vector<std::string>& ps) { lines.push_back({p, c, ps}); };
        cli.OnMessage = [this](TIRCCli&, const std::string& n, const std::string& u, const std::string& h,
                               const std::string& t, const std::string& m, bool notice) {
            messages.push_back({n, u, h, t, m, notice});
        };
    }
    ~TChatter() { cli.OnSessionClosed = nullptr; }

    bool Heard(const std::string& command, const std::string& lastParam = {}) const {
        return std::any_of(lines.begin(), lines.end(), [&](const TLine& l) {
            return l.command == command && (lastParam.empty() || (!l.params.empty() && l.params.back() == lastParam));
        });
    }
    bool WaitHeard(const std::string& command, const std::string& lastParam = {}) {
        bool ok = WaitFor(loop_, [&] { return Heard(command, lastParam); });
        std::string seen;
        for (const auto& l : lines) seen += l.command + (l.params.empty() ? "" : " " + l.params.back()) + "\n";
        EXPECT_TRUE(ok) << cli.Nick() << " never got " << command << " " << lastParam << "; got:\n" << seen;
        return ok;
    }
    TIRCUser* Member(const std::string& channel, const std::string& nick) {
        TIRCChannel* c = cli.Channels().Find(channel);
        return c ? c->Users().Find(nick) : nullptr;
    }

    TIRCCli cli;
    std::vector<TLine> lines;
    std::vector<TMessage> messages;
    int closed = 0;

private:
    TEventLoop& loop_;
};

class IRCCliNgircd : public ::testing::Test {
protected:
    std::unique_ptr<TChatter> LoggedIn(const std::string& nick) {
        auto c = std::make_unique<TChatter>(loop, server->Port(), nick);
        c->cli.Connect();
        EXPECT_TRUE(c->WaitHeard("001"));
        EXPECT_EQ(c->lines.front().prefix, std::string(":") + TNgircdServer::Name);
        return c;
    }
    // Every client of a test is gone by now.
    void TearDown() override { ExpectCleanLoop(); }
    void ExpectCleanLoop() {
        EXPECT_EQ(loop.WatchCount(), 0u);
        EXPECT_EQ(loop.TimerCount(), 0u);
    }

    testing_support::TTestLoop loop;
    std::unique_ptr<TNgircdServer> server = std::make_unique<TNgircdServer>();
};

}  // namespace

TEST_F(IRCCliNgircd, TwoClientsMeetTalkRenameAndLeaveTheLobby) {
    auto ann = LoggedIn("ann");
    auto bob = LoggedIn("bob");
    EXPECT_EQ(ann->lines.front().params, (std::vector<std::string>{"ann", "Welcome to the Internet Relay Network ann!~uann@127.0.0.1"}));

    ann->cli.Join("#Lobby_20");
    ASSERT_TRUE(ann->WaitHeard("366"));
    ASSERT_NE(ann->Member("#lobby_20", "ann"), nullptr);
    EXPECT_TRUE(ann->Member("#Lobby_20", "ann")->Privileged());  // the founder is operator

    bob->cli.Join("#Lobby_20");
    ASSERT_TRUE(bob->WaitHeard("366"));
    ASSERT_TRUE(WaitFor(loop, [&] { return ann->Member("#Lobby_20", "bob") != nullptr; }));
    ASSERT_NE(bob->Member("#Lobby_20", "ann"), nullptr);
    EXPECT_TRUE(bob->Member("#Lobby_20", "ann")->Privileged());
    EXPECT_FALSE(bob->Member("#Lobby_20", "bob")->Privileged());
    EXPECT_FALSE(ann->Member("#Lobby_20", "bob")->Privileged());

    ann->cli.SendLine("PRIVMSG #Lobby_20 :hello  there \x01\x02\x03\x04" "FS2 server");
    ASSERT_TRUE(WaitFor(loop, [&] { return !bob->messages.empty(); }));
    ASSERT_EQ(bob->messages.size(), 1u);
    const TMessage& m = bob->messages[0];
    EXPECT_EQ(m.nick, "ann");
    EXPECT_EQ(m.user, "~uann");
    EXPECT_EQ(m.host, "127.0.0.1");
    EXPECT_EQ(m.target, "#Lobby_20");
    EXPECT_EQ(m.text, "hello  there \x01\x02\x03\x04" "FS2 server");
    EXPECT_FALSE(m.notice);
    EXPECT_TRUE(ann->messages.empty());  // the server does not echo our own message

    bob->cli.SetNick("robert");
    ASSERT_TRUE(WaitFor(loop, [&] { return ann->Member("#Lobby_20", "robert") != nullptr; }));
    EXPECT_EQ(ann->Member("#Lobby_20", "bob"), nullptr);
    ASSERT_TRUE(bob->WaitHeard("NICK", "robert"));
    EXPECT_EQ(bob->cli.Nick(), "robert");
    EXPECT_NE(bob->Member("#Lobby_20", "robert"), nullptr);

    bob->cli.SendLine("PART #Lobby_20");
    ASSERT_TRUE(WaitFor(loop, [&] { return ann->Member("#Lobby_20", "robert") == nullptr; }));
    ASSERT_TRUE(bob->WaitHeard("PART"));
    EXPECT_EQ(bob->cli.Channels().Find("#Lobby_20"), nullptr);  // our own part drops the channel

    bob->cli.Join("#Lobby_20");
    ASSERT_TRUE(WaitFor(loop, [&] { return ann->Member("#Lobby_20", "robert") != nullptr; }));
    bob->cli.SendLine("QUIT :gone");
    ASSERT_TRUE(WaitFor(loop, [&] { return bob->closed == 1; }));
    ASSERT_TRUE(ann->WaitHeard("QUIT", "\"gone\""));  // ngircd quotes a given reason
    EXPECT_EQ(ann->Member("#Lobby_20", "robert"), nullptr);
    EXPECT_FALSE(bob->cli.Active());
    EXPECT_EQ(bob->cli.Channels().Count(), 0u);

    // Disconnect says "Quit": the server then names the nick as the reason, not a lost link.
    auto cid = LoggedIn("cid");
    cid->cli.Join("#Lobby_20");
    ASSERT_TRUE(WaitFor(loop, [&] { return ann->Member("#Lobby_20", "cid") != nullptr; }));
    cid->cli.Disconnect();
    EXPECT_EQ(cid->closed, 1);
    ASSERT_TRUE(ann->WaitHeard("QUIT", "cid"));
    EXPECT_EQ(ann->Member("#Lobby_20", "cid"), nullptr);
    EXPECT_EQ(ann->cli.Channels()[0].Users().Count(), 1u);

    ann->cli.Disconnect();
    bob.reset();
    cid.reset();
    ann.reset();
    ExpectCleanLoop();
}

TEST_F(IRCCliNgircd, TheServersPingIsAnswered) {
    server.reset();
    TNgircdServer::TOptions options;
    options.pingTimeout = 5;
    server = std::make_unique<TNgircdServer>(options);
    auto ann = LoggedIn("ann");
    // When the server's PING arrives, our answer is already on its way; a probe sent now
    // comes back only after the server has read that answer.
    ann->cli.OnServerMessage = [&](TIRCCli& c, const std::string& p, const std::string& cmd,
                                  const std::vector<std::string>& ps) {
        ann->lines.push_back({p, cmd, ps});
        if (cmd == "PING") c.SendLine("PING :probe");
    };
    const std::size_t before = ann->lines.size();
    ASSERT_TRUE(WaitFor(loop, [&] { return ann->Heard("PONG", "probe"); }, 20000));
    std::vector<std::string> after;
    for (std::size_t i = before; i < ann->lines.size(); ++i) after.push_back(ann->lines[i].command);
    EXPECT_EQ(after, (std::vector<std::string>{"PING", "PONG"}));  // no error reply to our pong
    EXPECT_TRUE(ann->cli.Connected());
    EXPECT_EQ(ann->closed, 0);
}

TEST_F(IRCCliNgircd, AFloodOfLinesIsReadPromptlyAndHandledInOrder) {
    auto ann = LoggedIn("ann");
    auto bob = LoggedIn("bob");
    // ngircd drops a client whose unread output passes 32 KiB; about 600 KiB go to bob here.
    const int count = 3000;
    for (int i = 0; i < count; ++i) {
        ann->cli.SendLine("PRIVMSG bob :line " + std::to_string(i) + std::string(180, '.'));
        if (i % 50 == 0) loop.ProcessMessages();
    }
    ASSERT_TRUE(WaitFor(loop, [&] { return bob->messages.size() == static_cast<std::size_t>(count); }, 30000))
        << bob->messages.size();
    for (int i = 0; i < count; ++i)
        ASSERT_EQ(bob->messages[i].text.substr(0, bob->messages[i].text.find('.')), "line " + std::to_string(i));
    EXPECT_EQ(bob->closed, 0);
    EXPECT_EQ(ann->closed, 0);
}
