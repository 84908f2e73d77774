// SPDX-License-Identifier: GPL-3.0-or-later
// Nickname filter, the run's number sequence and the system-name length rule.
#include "settings/Names.h"

#include <gtest/gtest.h>

TEST(Names, ValidateNickKeepsExactlyDigitsAndCapitalAToClosingBrace) {
    std::string all;
    for (int c = 0; c < 256; ++c) all.push_back(static_cast<char>(c));
    std::string expected = "0123456789";
    for (int c = 'A'; c <= '}'; ++c) expected.push_back(static_cast<char>(c));
    EXPECT_EQ(ValidateNick(all), expected);
    // The edges on both sides of each kept range, and order kept.
    EXPECT_EQ(ValidateNick("/0 9:@A}~"), "09A}");
    EXPECT_EQ(ValidateNick("john.doe-smith"), "johndoesmith");
    EXPECT_EQ(ValidateNick("[a]\\b^_`{|}"), "[a]\\b^_`{|}");
    EXPECT_EQ(ValidateNick(""), "");
}

TEST(Names, RandomNumberTextFollowsTheRunSequenceOfItsOwnGenerator) {
    TRandomGenerator random;
    EXPECT_EQ(RandomNumberText(random), "10000");
    EXPECT_EQ(RandomNumberText(random), "12824");
    EXPECT_EQ(RandomNumberText(random), "87493");
    // Generators are independent: a second one starts the sequence over.
    TRandomGenerator other;
    EXPECT_EQ(RandomNumberText(other), "10000");
}

TEST(Names, SystemNamesThatDoNotFitSixtyFourBytesAreEmpty) {
    EXPECT_EQ(FitSystemName(std::string(63, 'a')), std::string(63, 'a'));
    EXPECT_EQ(FitSystemName(std::string(64, 'a')), "");
    EXPECT_EQ(FitSystemName(std::string("a\0b", 3)), "ab");
    // The real calls give something sensible on this machine (a host name always exists).
    EXPECT_FALSE(CollectSystemNames().ComputerName.empty());
}
