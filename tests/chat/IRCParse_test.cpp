// SPDX-License-Identifier: GPL-3.0-or-later
// Token cut, line parse and prefix split.
#include "chat/IRCParse.h"
#include "support/TestSupport.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

using testing_support::Escaped;

TEST(IRCParse, NextTokenSkipsTheRunOfDelimitersAfterTheToken) {
    std::string_view text = "ab  cd ";
    EXPECT_EQ(NextToken(text, " "), "ab");
    EXPECT_EQ(text, "cd ");
    EXPECT_EQ(NextToken(text, " "), "cd");
    EXPECT_EQ(text, "");
    text = " lead";
    EXPECT_EQ(NextToken(text, " "), "");
    EXPECT_EQ(text, "lead");
    text = "a!!b";
    EXPECT_EQ(NextToken(text, "!"), "a");
    EXPECT_EQ(text, "b");
}

TEST(IRCParse, LinesSplitIntoPrefixCommandAndParameters) {
    struct Case {
        std::string line, prefix, command;
        std::vector<std::string> params;
    } cases[] = {
        {":srv 001 ann :Welcome  there", ":srv", "001", {"ann", "Welcome  there"}},
        {"PING :x", "", "PING", {"x"}},
        {"PING x", "", "PING", {"x"}},
        {"privmsg #c :", "", "privmsg", {"#c", ""}},
        {":a!b@c   MODE  #c  +o   bob   ", ":a!b@c", "MODE", {"#c", "+o", "bob"}},
        {":s 432  #m :bad: nick ", ":s", "432", {"#m", "bad: nick "}},
        {"foo bar ::x", "", "foo", {"bar", ":x"}},
        {" \t\r\x01:s NOTICE a :b", ":s", "NOTICE", {"a", "b"}},  // leading bytes <= 32 go
        {":cool\tguy foo", ":cool\tguy", "foo", {}},             // a tab is not a blank
        {":onlyprefix", ":onlyprefix", "", {}},
        {std::string("PRIVMSG #c :\x80\0\xff", 15), "", "PRIVMSG", {"#c", std::string("\x80\0\xff", 3)}},
    };
    for (const auto& c : cases) {
        TIRCLine line;
        ASSERT_TRUE(ParseIRCLine(c.line, line)) << Escaped(c.line);
        EXPECT_EQ(line.Prefix, c.prefix) << Escaped(c.line);
        EXPECT_EQ(line.Command, c.command) << Escaped(c.line);
        EXPECT_EQ(line.Parameters, c.params) << Escaped(c.line);
    }
    TIRCLine line;
    EXPECT_FALSE(ParseIRCLine("", line));
    EXPECT_FALSE(ParseIRCLine("  \t ", line));
}

TEST(IRCParse, PrefixSplitsAtTheFirstBangAndThenAtTheAtSign) {
    struct Case {
        std::string prefix, nick, user, host;
    } cases[] = {
        {":n!u@h", "n", "u", "h"},
        {":n!~u@h.x@y", "n", "~u", "h.x@y"},
        {":irc.example.org", "irc.example.org", "", ""},
        {":n@h", "n@h", "", ""},  // without "!" the whole text is the nick
        {":n!u", "n", "u", ""},
        {":!u@h", "", "u", "h"},
        {"", "", "", ""},
    };
    for (const auto& c : cases) {
        TIRCPrefixInfo p = SplitPrefix(c.prefix);
        EXPECT_EQ(p.Nick, c.nick) << c.prefix;
        EXPECT_EQ(p.User, c.user) << c.prefix;
        EXPECT_EQ(p.Host, c.host) << c.prefix;
    }
}

TEST(IRCParse, OnlyThreeDigitsMakeANumericAndCaseIsBlindForLettersOnly) {
    EXPECT_TRUE(IsNumericCommand("353"));
    EXPECT_FALSE(IsNumericCommand("35a"));
    EXPECT_FALSE(IsNumericCommand("3533"));
    EXPECT_FALSE(IsNumericCommand("WHO"));
    EXPECT_TRUE(SameTextAscii("PrivMsg", "PRIVMSG"));
    EXPECT_FALSE(SameTextAscii("a[", "A{"));  // no RFC 1459 case mapping
    EXPECT_FALSE(SameTextAscii("\xe4", "\xc4"));
}

TEST(IRCParse, MessageTagsAreCutOffAndTheirValuesUnescaped) {
    TIRCLine line;
    ASSERT_TRUE(ParseIRCLine("@time=2026-12-09T05:30:00.000Z;msgid=a\\sb\\:c\\\\ :n!u@h PRIVMSG #c :hi", line));
    EXPECT_EQ(line.Prefix, ":n!u@h");
    EXPECT_EQ(line.Command, "PRIVMSG");
    EXPECT_EQ(TagValue(line.Tags, "time"), "2026-12-09T05:30:00.000Z");
    EXPECT_EQ(TagValue(line.Tags, "msgid"), "a b;c\\");
    EXPECT_EQ(TagValue(line.Tags, "ms"), "");
    EXPECT_FALSE(ParseIRCLine("@only=tags", line));
}
