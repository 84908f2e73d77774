// SPDX-License-Identifier: GPL-3.0-or-later
// The client's parse and dispatch, driven without a socket: events, their order, the registry.
#include "chat/IRCCli.h"
#include "support/TestSupport.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace {

// Every event of the client as one line of text, in the order raised.
struct TRecorder {
    explicit TRecorder(TIRCCli& c) : cli(c) {
        cli.OfflineWire = [this](const std::string& bytes) { log.push_back("send " + testing_support::Escaped(bytes)); };
        cli.OnServerMessage = [this](TIRCCli&, const std::string& p, const std::string& c, const std::vector<std::string>& ps) {
            std::string s = "server " + p + " " + c;
            for (const auto& x : ps) s += " [" + x + "]";
            log.push_back(s);
        };
        cli.OnChannelCreation = Channel("chan+");
        cli.OnChannelDeletion = Channel("chan-");
        cli.OnChannelChanging = Channel("chan~");
        cli.OnChannelChanged = Channel("chan=");
        cli.OnUserCreation = User("user+");
        cli.OnUserDeletion = User("user-");
        cli.OnUserChanging = User("user~");
        cli.OnUserChanged = User("user=");
        cli.OnMessage = [this](TIRCCli&, const std::string& n, const std::string& u, const std::string& h,
                               const std::string& ch, const std::string& m, bool notice) {
            log.push_back((notice ? "notice " : "message ") + n + "!" + u + "@" + h + " " + ch + " " + m);
        };
        cli.OnInvite = [this](TIRCCli&, const std::string& n, const std::string& u, const std::string& h,
                              const std::string& ch, bool& accept) {
            log.push_back("invite " + n + "!" + u + "@" + h + " " + ch + (accept ? " true" : " false"));
            accept = acceptInvites;
        };
    }
    TIRCCli::TIRCChannelEvent Channel(std::string tag) {
        return [this, tag](TIRCCli&, TIRCChannel& c) { log.push_back(tag + " " + c.Name()); };
    }
    TIRCCli::TIRCUserEvent User(std::string tag) {
        return [this, tag](TIRCCli&, TIRCChannel& c, TIRCUser& u) {
            log.push_back(tag + " " + c.Name() + " " + u.Nick() + (u.Privileged() ? " @" : ""));
        };
    }
    std::vector<std::string> Take() { return std::exchange(log, {}); }

    TIRCCli& cli;
    std::vector<std::string> log;
    bool acceptInvites = false;
};

std::vector<std::string> Nicks(TIRCChannel& c) {
    std::vector<std::string> out;
    for (std::size_t i = 0; i < c.Users().Count(); ++i)
        out.push_back(c.Users()[i].Nick() + (c.Users()[i].Privileged() ? "+" : ""));
    return out;
}

class IRCCliDispatch : public ::testing::Test {
protected:
    IRCCliDispatch() { cli.SetNick("Ann"); }
    // The client raises deletion events when it goes; the recorder must still be there.
    ~IRCCliDispatch() override { cli.Channels().Clear(); }
    TPollEventLoop loop;
    TIRCCli cli{loop};
    TRecorder rec{cli};
};

using V = std::vector<std::string>;

}  // namespace

TEST_F(IRCCliDispatch, OwnReactionsComeBeforeOnServerMessage) {
    cli.DataArrived(":bob!b@h.x PRIVMSG #Lobby_20 :hi  there\r\nnotice Ann :psst\r\nPING :tok\r\nping tok2\r\n");
    EXPECT_EQ(rec.Take(), (V{"message bob!b@h.x #Lobby_20 hi  there", "server :bob!b@h.x PRIVMSG [#Lobby_20] [hi  there]",
                             "notice !@ Ann psst", "server  notice [Ann] [psst]",
                             "send pong tok\\r\\n", "server  PING [tok]",
                             "send pong tok2\\r\\n", "server  ping [tok2]"}));
    EXPECT_EQ(cli.PrefixInfo().Nick, "");
}

TEST_F(IRCCliDispatch, OnlyThreeDigitNumericsAreNumericAndOnly353IsActedOn) {
    cli.DataArrived(":s 366 Ann #c :End\r\n:s JOI #c\r\n:s 0001 x\r\n");
    EXPECT_EQ(rec.Take(), (V{"server :s 366 [Ann] [#c] [End]", "server :s JOI [#c]", "server :s 0001 [x]"}));
    EXPECT_EQ(cli.PrefixInfo().Nick, "s");
}

TEST_F(IRCCliDispatch, LinesAreHandledOnlyOnceComplete) {
    cli.DataArrived("PI");
    cli.DataArrived("NG :t\r");
    EXPECT_TRUE(rec.Take().empty());
    cli.DataArrived("\n:s NOTICE a :b\n\r:s NOTICE a :c\n");
    // CR LF split over two arrivals is one line end; a bare LF ends a line too.
    EXPECT_EQ(rec.Take(), (V{"send pong t\\r\\n", "server  PING [t]", "notice s!@ a b", "server :s NOTICE [a] [b]",
                             "notice s!@ a c", "server :s NOTICE [a] [c]"}));
}

TEST_F(IRCCliDispatch, FailedLineIsSkippedAndTheLinesBehindItGoOn) {
    cli.OnUserCreation = [](TIRCCli&, TIRCChannel&, TIRCUser& u) {
        if (u.Nick() == "boom") throw std::runtime_error("handler failed");
    };
    cli.DataArrived("PING\r\n:x JOIN\r\n:x KICK #c\r\n:boom JOIN #c\r\n:s 353 Ann = #c\r\n:s NOTICE a :after\r\n");
    EXPECT_EQ(rec.Take(), (V{"chan+ #c", "chan~ #c", "notice s!@ a after", "server :s NOTICE [a] [after]"}));
    EXPECT_EQ(cli.LineQueue().Size(), 0u);
    EXPECT_EQ(cli.HandleLine("PING"), false);
    EXPECT_EQ(cli.HandleLine("   "), false);
    EXPECT_EQ(cli.HandleLine("FOO"), true);
}

TEST_F(IRCCliDispatch, JoinPartKickAndQuitKeepTheRegistryWithEventsInOrder) {
    cli.DataArrived(":bob!b@h JOIN #Lobby_20\r\n");
    EXPECT_EQ(rec.Take(), (V{"chan+ #Lobby_20", "chan~ #Lobby_20", "user+ #Lobby_20 bob", "chan= #Lobby_20",
                             "server :bob!b@h JOIN [#Lobby_20]"}));
    cli.DataArrived(":ann!a@h JOIN :#LOBBY_20\r\n:BOB!b@h JOIN #lobby_20\r\n:cid JOIN #other\r\n:cid JOIN #lobby_20\r\n");
    rec.Take();
    ASSERT_EQ(cli.Channels().Count(), 2u);
    EXPECT_EQ(cli.Channels()[0].Name(), "#Lobby_20");
    EXPECT_EQ(Nicks(cli.Channels()[0]), (V{"bob", "ann", "cid"}));

    cli.DataArrived(":cid QUIT :bye\r\n");
    EXPECT_EQ(rec.Take(), (V{"chan~ #Lobby_20", "user- #Lobby_20 cid", "chan= #Lobby_20", "chan~ #other",
                             "user- #other cid", "chan= #other", "server :cid QUIT [bye]"}));
    cli.DataArrived(":op KICK #lobby_20 BOB :out\r\n:nobody PART #Lobby_20\r\n:x PART #unknown\r\n");
    EXPECT_EQ(rec.Take(), (V{"chan~ #Lobby_20", "user- #Lobby_20 bob", "chan= #Lobby_20",
                             "server :op KICK [#lobby_20] [BOB] [out]", "server :nobody PART [#Lobby_20]",
                             "server :x PART [#unknown]"}));
    cli.DataArrived(":ann PART #Lobby_20\r\n");  // our own nick, any case: the channel goes
    EXPECT_EQ(rec.Take(), (V{"chan~ #Lobby_20", "user- #Lobby_20 ann", "chan= #Lobby_20", "chan- #Lobby_20",
                             "server :ann PART [#Lobby_20]"}));
    EXPECT_EQ(cli.Channels().Count(), 1u);
}

TEST_F(IRCCliDispatch, KickOfTheOwnNickRemovesTheChannelWithItsUsers) {
    cli.DataArrived(":Ann JOIN #c\r\n:bob JOIN #c\r\n");
    rec.Take();
    cli.DataArrived(":op!o@h KICK #c ann :bye\r\n");
    EXPECT_EQ(rec.Take(), (V{"chan~ #c", "user- #c Ann", "chan= #c", "user- #c bob", "chan- #c",
                             "server :op!o@h KICK [#c] [ann] [bye]"}));
    EXPECT_EQ(cli.Channels().Count(), 0u);
    EXPECT_EQ(cli.PrefixInfo().Nick, "ann");  // the kicked nick replaces the sender
    EXPECT_EQ(cli.PrefixInfo().User, "o");
}

TEST_F(IRCCliDispatch, NamesReplyAddsMarksAndChangesOnlyTheFlagThatDiffers) {
    cli.DataArrived(":s 353 Ann = #none :a b\r\n");
    EXPECT_EQ(rec.Take(), (V{"server :s 353 [Ann] [=] [#none] [a b]"}));
    EXPECT_EQ(cli.Channels().Count(), 0u);
    cli.DataArrived(":Ann JOIN #c\r\n");
    rec.Take();
    cli.DataArrived(":s 353 Ann = #C :+Ann @Bob  Cid \r\n");
    EXPECT_EQ(rec.Take(), (V{"chan~ #c", "user~ #c Ann", "user= #c Ann @", "user+ #c Bob @", "user+ #c Cid",
                             "chan= #c", "server :s 353 [Ann] [=] [#C] [+Ann @Bob  Cid ]"}));
    cli.DataArrived(":s 353 Ann = #c :Ann\r\n:s 353 Ann = #c : Dan\r\n");
    EXPECT_EQ(rec.Take(), (V{"chan~ #c", "user~ #c Ann @", "user= #c Ann", "chan= #c",
                             "server :s 353 [Ann] [=] [#c] [Ann]", "chan~ #c", "chan= #c",
                             "server :s 353 [Ann] [=] [#c] [ Dan]"}));
    EXPECT_EQ(Nicks(cli.Channels()[0]), (V{"Ann", "Bob+", "Cid"}));
}

TEST_F(IRCCliDispatch, NickRenamesInEveryChannelAndTakesTheOwnNickSilently) {
    cli.DataArrived(":ann JOIN #a\r\n:bob JOIN #a\r\n:ann JOIN #b\r\n");
    rec.Take();
    cli.DataArrived(":ANN!u@h NICK :Anna\r\n");
    EXPECT_EQ(rec.Take(), (V{"chan~ #a", "user~ #a ann", "user= #a Anna", "chan= #a", "chan~ #b", "user~ #b ann",
                             "user= #b Anna", "chan= #b", "server :ANN!u@h NICK [Anna]"}));
    EXPECT_EQ(cli.Nick(), "Anna");
    EXPECT_EQ(Nicks(cli.Channels()[0]), (V{"Anna", "bob"}));
    EXPECT_NE(cli.Channels()[0].Users().Find("ANNA"), nullptr);
    EXPECT_EQ(cli.Channels()[0].Users().Find("ann"), nullptr);
    cli.DataArrived(":bob NICK robert\r\n");
    EXPECT_EQ(cli.Nick(), "Anna");
}

TEST_F(IRCCliDispatch, InviteOnlyForTheOwnNickAndAJoinOnlyWhenAccepted) {
    cli.DataArrived(":bob!b@h INVITE someone #x\r\n:bob!b@h INVITE ann #x\r\n");
    EXPECT_EQ(rec.Take(), (V{"server :bob!b@h INVITE [someone] [#x]", "invite bob!b@h #x false",
                             "server :bob!b@h INVITE [ann] [#x]"}));
    rec.acceptInvites = true;
    cli.DataArrived(":bob!b@h INVITE Ann :#y\r\n");
    EXPECT_EQ(rec.Take(), (V{"invite bob!b@h #y false", "send JOIN #y\\r\\n", "server :bob!b@h INVITE [Ann] [#y]"}));
}

TEST_F(IRCCliDispatch, TopicOnlyForAKnownChannel) {
    cli.DataArrived(":a TOPIC #c :t\r\n:Ann JOIN #c\r\n");
    rec.Take();
    cli.DataArrived(":a TOPIC #C :new  topic\r\n");
    EXPECT_EQ(rec.Take(), (V{"chan~ #c", "chan= #c", "server :a TOPIC [#C] [new  topic]"}));
    EXPECT_EQ(cli.Channels()[0].Topic(), "new  topic");
}

TEST_F(IRCCliDispatch, HandlerThatEmptiesTheRegistryMidwayLeavesNothingDangling) {
    cli.DataArrived(":Ann JOIN #a\r\n:bob JOIN #a\r\n:bob JOIN #b\r\n");
    cli.OnChannelChanging = [](TIRCCli& c, TIRCChannel&) { c.Channels().Clear(); };
    rec.Take();
    cli.DataArrived(":bob NICK rob\r\n:bob QUIT\r\n:s 353 Ann = #a :x\r\n:Ann PART #a\r\n:x JOIN #n\r\n");
    EXPECT_EQ(cli.Channels().Count(), 0u);
    EXPECT_EQ(rec.Take().size(), 12u);  // deletions of the first clear, then each server line
}

TEST_F(IRCCliDispatch, SendCommandTrimsTheWholeLine) {
    cli.SendCommand("  PRIVMSG", {"#c", ":hi \x01", ""});
    EXPECT_EQ(rec.Take(), (V{"send PRIVMSG #c :hi\\r\\n"}));
}

TEST_F(IRCCliDispatch, DestructionEmptiesTheRegistryLastToFirst) {
    {
        TIRCCli other(loop);
        TRecorder r(other);
        other.DataArrived(":a JOIN #x\r\n:b JOIN #x\r\n:a JOIN #y\r\n");
        r.Take();
        std::vector<std::string>* log = &rec.log;
        other.OnChannelDeletion = [log](TIRCCli&, TIRCChannel& c) { log->push_back("chan- " + c.Name()); };
        other.OnUserDeletion = [log](TIRCCli&, TIRCChannel& c, TIRCUser& u) { log->push_back("user- " + c.Name() + " " + u.Nick()); };
    }
    EXPECT_EQ(rec.Take(), (V{"user- #y a", "chan- #y", "user- #x b", "user- #x a", "chan- #x"}));
    EXPECT_EQ(loop.WatchCount(), 0u);
}

TEST_F(IRCCliDispatch, ALineBreakInsideWhatIsSentCannotStartALineOfItsOwn) {
    // A lone CR stays inside a received line; echoed back it would end the line early at the
    // server, and what follows it would run as a command of its own.
    cli.DataArrived(std::string("PING :a\rQUIT :x\rb\0c\r\n", 22));
    EXPECT_EQ(rec.Take().front(), "send pong a QUIT :x b\\x00c\\r\\n");
    cli.SendLine("hi\r\nJOIN #elsewhere");
    EXPECT_EQ(rec.Take(), (V{"send hi  JOIN #elsewhere\\r\\n"}));
}
