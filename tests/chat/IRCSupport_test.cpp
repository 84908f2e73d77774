// SPDX-License-Identifier: GPL-3.0-or-later
// What servers announce (ISUPPORT), how names fold, and member modes read through PREFIX.
#include "chat/IRCCaseMapping.h"
#include "chat/IRCSupport.h"
#include "chat/MemberModes.h"

#include <gtest/gtest.h>

namespace {

TIRCSupport Announced(const std::vector<std::string>& tokens) {
    TIRCSupport s;
    s.Apply(tokens);
    return s;
}

}  // namespace

TEST(IRCSupport, PrefixCaseMappingAndChanTypesAreReadAndEveryTokenKept) {
    const TIRCSupport none;
    EXPECT_EQ(none.PrefixModes + none.PrefixMarks, "ov@+");
    EXPECT_EQ(none.CaseMapping, TCaseMapping::Rfc1459);
    EXPECT_TRUE(none.IsChannel("&local"));

    TIRCSupport s = Announced({"PREFIX=(qaohv)~&@%+", "CASEMAPPING=ascii", "CHANTYPES=#", "MONITOR=100",
                               "NAMESX", "network=Test\\x20Net"});
    EXPECT_EQ(s.PrefixModes, "qaohv");
    EXPECT_EQ(s.PrefixMarks, "~&@%+");
    EXPECT_EQ(s.CaseMapping, TCaseMapping::Ascii);
    EXPECT_FALSE(s.IsChannel("&local"));
    EXPECT_EQ(s.Tokens.at("MONITOR"), "100");
    EXPECT_EQ(s.Tokens.at("NAMESX"), "");
    EXPECT_EQ(s.Tokens.at("NETWORK"), "Test Net");
    s.Apply({"-MONITOR", "-CASEMAPPING", "CASEMAPPING=strict-rfc1459"});
    EXPECT_EQ(s.Tokens.count("MONITOR"), 0u);
    EXPECT_EQ(s.CaseMapping, TCaseMapping::StrictRfc1459);
}

TEST(IRCSupport, MalformedValuesLeaveTheDefaultsAndTheTokensStayBounded) {
    for (const char* bad : {"PREFIX=(ov)@", "PREFIX=ov@+", "PREFIX=(ov@+", "PREFIX=(oa)@a", "PREFIX=(o v)@ +"}) {
        const TIRCSupport s = Announced({bad});
        EXPECT_EQ(s.PrefixModes + s.PrefixMarks, "ov@+") << bad;
    }
    EXPECT_EQ(Announced({"CHANTYPES=# &"}).ChanTypes, "#&");
    EXPECT_EQ(Announced({"CASEMAPPING=rfc7613"}).CaseMapping, TCaseMapping::Rfc1459);
    std::vector<std::string> flood;
    for (int i = 0; i < 1000; ++i) flood.push_back("T" + std::to_string(i) + "=x");
    EXPECT_EQ(Announced(flood).Tokens.size(), TIRCSupport::MaxTokens);
}

TEST(IRCCaseMapping, EachMappingFoldsItsOwnCharacters) {
    EXPECT_TRUE(SameIrcText("[a]\\~", "{A}|^", TCaseMapping::Rfc1459));
    EXPECT_TRUE(SameIrcText("[a]\\", "{A}|", TCaseMapping::StrictRfc1459));
    EXPECT_FALSE(SameIrcText("~", "^", TCaseMapping::StrictRfc1459));
    EXPECT_FALSE(SameIrcText("[a]", "{A}", TCaseMapping::Ascii));
    EXPECT_TRUE(SameIrcText("BoB", "bob", TCaseMapping::Ascii));
    EXPECT_EQ(IrcLower("Nick[X]", TCaseMapping::Rfc1459), "nick{x}");
}

TEST(MemberModes, NamesEntriesCarryEveryMarkAndUserhostIsDropped) {
    const TIRCSupport s = Announced({"PREFIX=(qaohv)~&@%+"});
    const TNamesEntry e = ParseNamesEntry("@~+bob!b@host", s);
    EXPECT_EQ(e.Nick, "bob");
    EXPECT_EQ(e.Modes, "qov");
    EXPECT_EQ(HighestMark(e.Modes, s), '~');
    EXPECT_EQ(ParseNamesEntry("plain", s).Modes, "");
    EXPECT_EQ(HighestMark("", s), '\0');
    // A mark the server does not use is part of the nick.
    EXPECT_EQ(ParseNamesEntry("%x", TIRCSupport{}).Nick, "%x");
    EXPECT_EQ(WithMemberMode("qov", 'o', false, s), "qv");
    EXPECT_EQ(WithMemberMode("v", 'h', true, s), "hv");
    EXPECT_EQ(WithMemberMode("v", 'z', true, s), "v");
}

TEST(MemberModes, ModeLinesNameTheirUsersPastOtherModesParameters) {
    const TIRCSupport s = Announced({"PREFIX=(qaohv)~&@%+", "CHANMODES=beI,k,l,imnpst"});
    bool complete = false;
    const auto changes = MemberModeChanges({"#c", "+ovk-vl+bh", "a", "b", "key", "c", "*!*@x", "d"}, 1, s, &complete);
    ASSERT_EQ(changes.size(), 4u);
    EXPECT_TRUE(complete);
    EXPECT_EQ(std::string(1, changes[0].Mode) + changes[0].Nick, "oa");
    EXPECT_EQ(std::string(1, changes[1].Mode) + changes[1].Nick, "vb");
    EXPECT_FALSE(changes[2].Adding);
    EXPECT_EQ(std::string(1, changes[2].Mode) + changes[2].Nick, "vc");
    EXPECT_EQ(std::string(1, changes[3].Mode) + changes[3].Nick, "hd");
    MemberModeChanges({"#c", "+oo", "a"}, 1, s, &complete);
    EXPECT_FALSE(complete);
}
