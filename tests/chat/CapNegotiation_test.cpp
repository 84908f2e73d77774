// SPDX-License-Identifier: GPL-3.0-or-later
// The capability negotiation on its own: registration always ends with CAP END, SASL goes
// over TLS only and in 400-byte chunks, an sts offer upgrades a plain connection, and a
// hostile server gets bounded answers.
#include "FakeChatPage.h"
#include "chat/CapNegotiation.h"
#include "chat/Sasl.h"
#include "chat/ServerMessage.h"
#include "chat/ServerTime.h"
#include "chat/StsPolicy.h"
#include "net/PollEventLoop.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace {

using Lines = std::vector<std::string>;

struct TNegotiation {
    TNegotiation() {
        caps.Send = [this](const std::string& line) { sent.push_back(line); };
        caps.Note = [this](const std::string& text, bool error) { notes.push_back((error ? "! " : "") + text); };
        caps.OnStsUpgrade = [this](int port) { upgrade = port; };
        caps.OnStsDuration = [this](std::int64_t seconds) { duration = seconds; };
    }
    // Feeds a server line; returns whether the negotiation took it.
    bool Line(const std::string& text) {
        TIRCLine line;
        EXPECT_TRUE(ParseIRCLine(text, line)) << text;
        return caps.Handle(line);
    }
    Lines Take() { return std::exchange(sent, {}); }
    TCapNegotiation caps;
    Lines sent, notes;
    int upgrade = 0;
    std::int64_t duration = -1;
};

}  // namespace

TEST(CapNegotiation, EveryWayOfTheServerEndsInCapEndSoRegistrationGoesOn) {
    {  // knows no CAP
        TNegotiation n;
        n.caps.Begin(false, "", "");
        EXPECT_EQ(n.Take(), Lines{"CAP LS 302"});
        EXPECT_TRUE(n.Line(":srv 421 * CAP :Unknown command"));
        EXPECT_EQ(n.Take(), Lines{"CAP END"});
        EXPECT_TRUE(n.Line(":srv 421 * CAP :Unknown command"));  // the answer to our END, swallowed
        EXPECT_TRUE(n.Take().empty());
    }
    {  // says nothing
        TNegotiation n;
        n.caps.Begin(false, "", "");
        n.Take();
        n.caps.Silence();
        EXPECT_EQ(n.Take(), Lines{"CAP END"});
        EXPECT_FALSE(n.caps.Negotiating());
    }
    {  // refuses the request
        TNegotiation n;
        n.caps.Begin(false, "", "");
        n.Take();
        n.Line(":srv CAP * LS :multi-prefix");
        EXPECT_EQ(n.Take(), Lines{"CAP REQ :multi-prefix"});
        n.Line(":srv CAP * NAK :multi-prefix");
        EXPECT_EQ(n.Take(), Lines{"CAP END"});
        EXPECT_FALSE(n.caps.Enabled("multi-prefix"));
    }
    {  // offers nothing we want
        TNegotiation n;
        n.caps.Begin(true, "", "");
        n.Take();
        n.Line(":srv CAP * LS :account-tag extended-join");
        EXPECT_EQ(n.Take(), Lines{"CAP END"});
    }
    {  // registers us without waiting for END
        TNegotiation n;
        n.caps.Begin(false, "", "");
        n.Take();
        EXPECT_FALSE(n.Line(":srv 001 ann :Welcome"));
        EXPECT_FALSE(n.caps.Negotiating());
        n.caps.Silence();
        EXPECT_TRUE(n.Take().empty());
    }
}

TEST(CapNegotiation, AListInSeveralLinesIsAskedForOnceWithoutStsAndEndsAfterTheAck) {
    TNegotiation n;
    n.caps.Begin(true, "", "");
    n.Take();
    EXPECT_TRUE(n.Line(":srv CAP * LS * :away-notify sts=duration=300 extended-join"));
    EXPECT_TRUE(n.Take().empty());
    n.Line(":srv CAP * LS :multi-prefix server-time sasl=PLAIN,EXTERNAL cap-notify");
    // sts is only read: asking for it would have the whole request refused.
    EXPECT_EQ(n.Take(), Lines{"CAP REQ :multi-prefix server-time away-notify cap-notify"});
    EXPECT_EQ(n.duration, 300);
    n.Line(":srv CAP ann ACK :multi-prefix server-time away-notify cap-notify");
    EXPECT_EQ(n.Take(), Lines{"CAP END"});
    EXPECT_TRUE(n.caps.Enabled("server-time"));
    // cap-notify after registration: new ones are asked for, taken back ones go.
    n.Line(":srv CAP ann DEL :away-notify");
    EXPECT_FALSE(n.caps.Enabled("away-notify"));
    n.Line(":srv CAP ann NEW :away-notify");
    EXPECT_EQ(n.Take(), Lines{"CAP REQ :away-notify"});
    n.Line(":srv CAP ann ACK :away-notify");
    EXPECT_TRUE(n.caps.Enabled("away-notify"));
    EXPECT_TRUE(n.Take().empty());  // no second END
}

TEST(CapNegotiation, SaslPlainLogsInOverTlsAndIsRefusedOverPlainText) {
    {
        TNegotiation n;
        n.caps.Begin(true, "ann", "secretpw");
        n.Take();
        n.Line(":srv CAP * LS :sasl=PLAIN multi-prefix");
        EXPECT_EQ(n.Take(), Lines{"CAP REQ :multi-prefix sasl"});
        n.Line(":srv CAP * ACK :multi-prefix sasl");
        EXPECT_EQ(n.Take(), Lines{"AUTHENTICATE PLAIN"});
        n.Line("AUTHENTICATE +");
        EXPECT_EQ(n.Take(), Lines{"AUTHENTICATE YW5uAGFubgBzZWNyZXRwdw=="});
        EXPECT_TRUE(n.Line(":srv 900 ann ann!a@h ann :You are now logged in as ann"));
        EXPECT_TRUE(n.Line(":srv 903 ann :SASL authentication successful"));
        EXPECT_EQ(n.Take(), Lines{"CAP END"});
        EXPECT_EQ(n.caps.Sasl(), TCapNegotiation::TSasl::LoggedIn);
    }
    {
        TNegotiation n;
        n.caps.Begin(false, "ann", "secretpw");
        n.Take();
        n.Line(":srv CAP * LS :sasl=PLAIN");
        EXPECT_EQ(n.Take(), Lines{"CAP END"});
        ASSERT_EQ(n.notes.size(), 1u);
        EXPECT_TRUE(n.notes[0].starts_with("! Not logging in as ann with SASL: the connection is not encrypted"));
    }
    {  // a wrong password: one clear line, and registration goes on
        TNegotiation n;
        n.caps.Begin(true, "ann", "wrong");
        n.Line(":srv CAP * LS :sasl");
        n.Line(":srv CAP * ACK :sasl");
        n.Line("AUTHENTICATE +");
        n.Take();
        EXPECT_TRUE(n.Line(":srv 904 ann :SASL authentication failed"));
        EXPECT_EQ(n.Take(), Lines{"CAP END"});
        EXPECT_EQ(n.caps.Sasl(), TCapNegotiation::TSasl::Failed);
        EXPECT_EQ(n.notes.back(), "! The SASL login as ann failed: the account name or password is wrong (SASL "
                                  "authentication failed). Going on without login.");
    }
}

TEST(CapNegotiation, PayloadsGoIn400ByteChunksWithAClosingPlusAfterAFullOne) {
    EXPECT_EQ(AuthenticateLines(std::string(399, 'a')), Lines{"AUTHENTICATE " + std::string(399, 'a')});
    EXPECT_EQ(AuthenticateLines(std::string(400, 'a')), (Lines{"AUTHENTICATE " + std::string(400, 'a'), "AUTHENTICATE +"}));
    EXPECT_EQ(AuthenticateLines(std::string(801, 'a')),
              (Lines{"AUTHENTICATE " + std::string(400, 'a'), "AUTHENTICATE " + std::string(400, 'a'), "AUTHENTICATE a"}));
    EXPECT_EQ(SaslPlainPayload("a", std::string("p\0w", 3)), "");  // a zero byte would move the fields
    // A long password through the machine: every line within the limit, + after 800 bytes.
    TNegotiation n;
    n.caps.Begin(true, "ann", std::string(592, 'x'));  // 600 bytes of PLAIN, 800 of base64
    n.Line(":srv CAP * LS :sasl");
    n.Line(":srv CAP * ACK :sasl");
    n.Take();
    n.Line("AUTHENTICATE +");
    const Lines sent = n.Take();
    ASSERT_EQ(sent.size(), 3u);
    EXPECT_EQ(sent[1].size(), 13u + 400u);
    EXPECT_EQ(sent[2], "AUTHENTICATE +");
}

TEST(CapNegotiation, AHostileServerGetsBoundedAnswersAndOneLinePerKindOfNonsense) {
    {  // AUTHENTICATE out of order: unasked, then a challenge PLAIN never sends
        TNegotiation n;
        n.caps.Begin(true, "ann", "pw");
        EXPECT_TRUE(n.Line("AUTHENTICATE +"));
        EXPECT_TRUE(n.Line("AUTHENTICATE +"));
        n.Line(":srv CAP * LS :sasl");
        n.Line(":srv CAP * ACK :sasl");
        n.Take();
        n.Line("AUTHENTICATE Zm9v");
        EXPECT_EQ(n.Take(), Lines{"AUTHENTICATE *"});
        n.Line(":srv 906 ann :SASL authentication aborted");
        EXPECT_EQ(n.Take(), Lines{"CAP END"});
        EXPECT_EQ(n.notes.size(), 3u);  // the unasked one once, "capabilities on", the out of order one
    }
    {  // 1,000 capabilities and a 10 KB value: nothing of them kept, the request is ours only
        TNegotiation n;
        n.caps.Begin(false, "", "");
        n.Take();
        std::string list;
        for (int i = 0; i < 1000; ++i) list += "cap" + std::to_string(i) + " ";
        n.Line(":srv CAP * LS * :" + list);
        n.Line(":srv CAP * LS :sts=port=" + std::string(10240, '1') + " server-time");
        EXPECT_EQ(n.Take(), Lines{"CAP REQ :server-time"});
        EXPECT_EQ(n.upgrade, 0);
        EXPECT_EQ(n.notes.size(), 1u);
    }
    {  // a list that never ends
        TNegotiation n;
        n.caps.Begin(false, "", "");
        n.Take();
        for (int i = 0; i < TCapNegotiation::MaxListLines; ++i) n.Line(":srv CAP * LS * :multi-prefix");
        EXPECT_EQ(n.Take(), Lines{"CAP REQ :multi-prefix"});
        n.Line(":srv CAP * LS * :multi-prefix");  // after the list: ignored
        EXPECT_TRUE(n.Take().empty());
    }
}

TEST(CapNegotiation, AnStsOfferUpgradesOnlyAPlainConnectionAndThePolicyStoreKeepsTheNewest) {
    TNegotiation plain;
    plain.caps.Begin(false, "ann", "pw");
    plain.Take();
    plain.Line(":srv CAP * LS :sasl sts=port=6697,duration=300");
    EXPECT_EQ(plain.upgrade, 6697);
    EXPECT_EQ(plain.duration, -1);     // a plain connection's duration means nothing
    EXPECT_TRUE(plain.Take().empty());  // nothing more on the connection being left
    TNegotiation tls;
    tls.caps.Begin(true, "", "");
    tls.Line(":srv CAP * LS :sts=port=6697,duration=0");
    EXPECT_EQ(tls.upgrade, 0);
    EXPECT_EQ(tls.duration, 0);

    EXPECT_EQ(ParseStsValue("duration=x,port=70000").Port, 0);
    EXPECT_FALSE(ParseStsValue("duration=12345678901").HasDuration);
    std::string p = WithStsPolicy("", "Irc.Example", 6697, 1300, 1000);
    EXPECT_EQ(p, "Irc.Example 6697 1300;");
    EXPECT_TRUE(FindStsPolicy(p, "irc.example", 1299).Holds);
    EXPECT_FALSE(FindStsPolicy(p, "irc.example", 1300).Holds);  // expired
    EXPECT_EQ(WithStsPolicy(p, "irc.example", 6697, 1000, 1000), "");  // duration 0 ends it
    EXPECT_EQ(WithStsPolicy("bad;x y z;", "a;b", 1, 2000, 1000), "");   // garbage and unstorable hosts go
    for (int i = 0; i < 40; ++i) p = WithStsPolicy(p, "h" + std::to_string(i), 1, 5000, 1000);
    EXPECT_FALSE(FindStsPolicy(p, "h0", 1000).Holds);
    EXPECT_TRUE(FindStsPolicy(p, "h39", 1000).Holds);

    std::int64_t t = 0;
    ASSERT_TRUE(ParseServerTime("2026-12-09T05:30:00.123Z", t));
    EXPECT_EQ(t, 1796794200);
    EXPECT_FALSE(ParseServerTime("2026-12-09T05:30:00", t));
    EXPECT_FALSE(ParseServerTime("2026-13-09T05:30:00Z", t));
}

// A real server does not replay old lines on demand, so a scripted one sends them.
TEST(CapNegotiation, WithServerTimeOnAReplayedLineShowsTheServersTimeAndAnUnaskedTagIsIgnored) {
    for (const bool asked : {true, false}) {
        TPollEventLoop loop;
        TIRCCli client(loop);
        client.OfflineWire = [](const std::string&) {};
        client.SetNick("ann");
        client.SetCapabilities(true);
        TFakeChatPage page;
        TConversations chat(page);
        TSettings settings;
        settings.Nickname = "ann";
        TPingValues ping;
        TServerMessages messages(client, chat, settings, ping);
        messages.TimeText = [] { return std::string("21:00:00"); };
        client.OnServerMessage = [&](TIRCCli& s, const std::string& p, const std::string& c, const Lines& params) {
            messages.IRCCli1ServerMessage(s, p, c, params);
        };
        client.StartNegotiation();
        client.DataArrived(asked ? ":srv CAP * LS :server-time\r\n:srv CAP ann ACK :server-time\r\n"
                                 : ":srv CAP * LS :multi-prefix\r\n:srv CAP ann ACK :multi-prefix\r\n");
        const std::string stamp = "2026-01-02T03:04:05.000Z";
        client.DataArrived(":srv 001 ann :hi\r\n:ann!a@h JOIN #Lobby_20\r\n@time=" + stamp +
                           " :bob!b@h JOIN #Lobby_20\r\n@time=" + stamp + " :bob!b@h PRIVMSG #Lobby_20 :earlier\r\n");
        std::int64_t at = 0;
        ASSERT_TRUE(ParseServerTime(stamp, at));
        const std::string time = asked ? LocalTimeOfDay(at) : "21:00:00";
        const Lines lines = page.View("#Lobby_20")->Texts();
        ASSERT_GE(lines.size(), 2u);
        EXPECT_EQ(lines[lines.size() - 2], "bob has joined at " + time);
        EXPECT_EQ(lines.back(), (asked ? "[" + time + "] " : std::string()) + "[bob]   earlier");
    }
}
