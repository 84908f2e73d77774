// SPDX-License-Identifier: GPL-3.0-or-later
// The layout rule of the game lists, as numbers.
#include "shell/LayoutRule.h"

#include <gtest/gtest.h>

namespace {

std::array<TGameSlot, 4> Slots(bool fs, bool btrl, bool wcs, bool starfox) {
    std::array<TGameSlot, 4> s{};
    s[0].Enabled = fs;
    s[1].Enabled = btrl;
    s[2].Enabled = wcs;
    s[3].Enabled = starfox;
    return s;
}

TEST(LayoutRule, AllFourShareTheHeightInCodeOrder) {
    auto s = Slots(true, true, true, true);
    ASSERT_TRUE(ApplyLayoutRule(360, s));
    const int headings[] = {4, 89, 174, 259};
    const int lists[] = {20, 105, 190, 275};
    for (int i = 0; i < 4; ++i) {
        EXPECT_EQ(s[i].HeadingTop, headings[i]) << i;
        EXPECT_EQ(s[i].ListTop, lists[i]) << i;
        EXPECT_EQ(s[i].ListHeight, 67) << i;
    }
}

TEST(LayoutRule, DisabledGamesTakeNoRoom) {
    auto fs = Slots(true, false, false, false);
    ASSERT_TRUE(ApplyLayoutRule(360, fs));
    EXPECT_EQ(fs[0].HeadingTop, 4);
    EXPECT_EQ(fs[0].ListTop, 20);
    EXPECT_EQ(fs[0].ListHeight, 318);

    auto starfox = Slots(false, false, false, true);
    ASSERT_TRUE(ApplyLayoutRule(360, starfox));
    EXPECT_EQ(starfox[3].HeadingTop, 4);
    EXPECT_EQ(starfox[3].ListTop, 20);
    EXPECT_EQ(starfox[3].ListHeight, 318);

    // Two of four: the second enabled one starts right below the first.
    auto two = Slots(false, true, false, true);
    ASSERT_TRUE(ApplyLayoutRule(361, two));  // slot = 335 / 2 = 167
    EXPECT_EQ(two[1].ListTop, 20);
    EXPECT_EQ(two[1].ListHeight, 151);
    EXPECT_EQ(two[3].HeadingTop, 4 + 16 + 151 + 2);
}

TEST(LayoutRule, NoneEnabledChangesNothing) {
    auto s = Slots(false, false, false, false);
    s[2].HeadingTop = 7;
    s[2].ListTop = 8;
    s[2].ListHeight = 9;
    EXPECT_FALSE(ApplyLayoutRule(360, s));
    EXPECT_EQ(s[2].HeadingTop, 7);
    EXPECT_EQ(s[2].ListTop, 8);
    EXPECT_EQ(s[2].ListHeight, 9);
}

TEST(LayoutRule, TinyPagesTruncateTowardsZero) {
    auto s = Slots(true, true, true, false);
    ASSERT_TRUE(ApplyLayoutRule(20, s));  // (20 - 26) / 3 = -2, not -3
    EXPECT_EQ(s[0].ListHeight, -18);
}

}  // namespace
