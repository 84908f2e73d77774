// SPDX-License-Identifier: GPL-3.0-or-later
// The status reply parse: well-formed replies, and every malformed or cut shape ignored whole.
#include "tracker/StatusReply.h"

#include "TrackerTestSupport.h"
#include "support/TestSupport.h"

#include <gtest/gtest.h>

using testing_support::Escaped;
using testing_support::Hex;

TEST(StatusReply, ParsesEveryFieldAtItsOffset) {
    // A recorded reply: "Alpha", "m1.fs2", "Mission One", 3 players, state 129, flags 0x34.
    const std::string bytes = Hex(
        "00 E1 2E 2E  05 00 00 00 41 6C 70 68 61  06 00 00 00 6D 31 2E 66 73 32"
        "  0B 00 00 00 4D 69 73 73 69 6F 6E 20 4F 6E 65  03 81 34");
    auto r = ParseStatusReply(bytes);
    ASSERT_TRUE(r) << Escaped(bytes);
    EXPECT_EQ(r->ServerName, "Alpha");
    EXPECT_EQ(r->MissionFile, "m1.fs2");
    EXPECT_EQ(r->MissionName, "Mission One");
    EXPECT_EQ(r->Players, 3);
    EXPECT_EQ(r->State, 129);
    EXPECT_EQ(r->Flags, 0x34);
    EXPECT_EQ(MissionText(*r), "Mission One / m1.fs2");
}

TEST(StatusReply, AcceptsEmptyTextsRawBytesAndTrailingBytes) {
    auto r = ParseStatusReply(StatusReplyBytes("", "", "", 0, 0, 0));
    ASSERT_TRUE(r);
    EXPECT_EQ(r->ServerName, "");
    EXPECT_EQ(MissionText(*r), "");

    // Texts are raw bytes: NUL, high bytes and control characters come through untouched.
    const std::string raw("a\0\xE9\x1B[2J", 7);
    auto r2 = ParseStatusReply(StatusReplyBytes(raw, "", "Only name", 255, 255, 255) + "extra bytes");
    ASSERT_TRUE(r2);
    EXPECT_EQ(r2->ServerName, raw);
    EXPECT_EQ(MissionText(*r2), "Only name");  // no file name, no " / "
    EXPECT_EQ(r2->Players, 255);
    EXPECT_EQ(r2->State, 255);
    EXPECT_EQ(r2->Flags, 255);

    EXPECT_EQ(StatusQuery, std::string_view("\x00\xE2", 2));
}

TEST(StatusReply, IgnoresWrongMagicAndShortDatagrams) {
    const std::string good = StatusReplyBytes("S", "f", "m", 1, 9, 0);
    for (const std::string& bad : {std::string(), Hex("00"), Hex("00 E1 2E"), Hex("00 E2"),
                                   Hex("00 E1 2E 2F") + good.substr(4), Hex("01 E1 2E 2E") + good.substr(4),
                                   Hex("00 E1 2E 2E")})
        EXPECT_FALSE(ParseStatusReply(bad)) << Escaped(bad);
}

TEST(StatusReply, EveryCutOfAReplyIsIgnoredWhole) {
    const std::string good = StatusReplyBytes("Server", "file.fs2", "Name", 4, 17, 0x21);
    ASSERT_TRUE(ParseStatusReply(good));
    for (std::size_t n = 0; n < good.size(); ++n) {
        // A copy of exactly n bytes, so that the sanitizers catch a read past its end.
        const std::string cut = good.substr(0, n);
        EXPECT_FALSE(ParseStatusReply(cut)) << "cut at " << n << ": " << Escaped(cut);
    }
}

TEST(StatusReply, LengthsPointingPastTheEndAreIgnoredWithoutWrapping) {
    const std::string magic = Hex("00 E1 2E 2E");
    const std::string tail = Le32(0) + Le32(0) + Hex("01 09 00");
    for (std::uint32_t a : {0xFFFFFFFFu, 0xFFFFFFFCu, 0xFFFFFFF4u, 0x80000000u, 0x7FFFFFFFu, 12u}) {
        // With 32-bit offsets these would wrap back into the datagram.
        const std::string bytes = magic + Le32(a) + tail;
        EXPECT_FALSE(ParseStatusReply(bytes)) << "A = " << a;
    }
    // A later length too long by one, and each length near 4 GiB in turn.
    EXPECT_FALSE(ParseStatusReply(magic + Le32(1) + "x" + Le32(4) + "abc" + Le32(0) + Hex("01 09 00")));
    EXPECT_FALSE(ParseStatusReply(magic + Le32(0) + Le32(0xFFFFFFFF) + Le32(0) + Hex("01 09 00")));
    EXPECT_FALSE(ParseStatusReply(magic + Le32(0) + Le32(0) + Le32(0xFFFFFFFD) + Hex("01 09 00")));
    // The mission name eats the three trailing bytes.
    EXPECT_FALSE(ParseStatusReply(magic + Le32(0) + Le32(0) + Le32(3) + Hex("01 09 00")));
    EXPECT_TRUE(ParseStatusReply(magic + Le32(0) + Le32(0) + Le32(3) + Hex("01 09 00 01 09 00")));
}
