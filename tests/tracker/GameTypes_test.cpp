// SPDX-License-Identifier: GPL-3.0-or-later
// State and host flags texts of a row, checked against the tables value by value.
#include "tracker/GameTypes.h"

#include "tracker/GameList.h"

#include <gtest/gtest.h>

#include <map>
#include <utility>

TEST(GameType, TheFifteenStatesGiveTextAndIconOthersKeepTheIcon) {
    const std::map<int, std::pair<const char*, int>> known{
        {9, {"Forming", 0}},     {10, {"Forming", 1}},     {12, {"Forming", 2}},
        {17, {"Briefing", 0}},   {18, {"Briefing", 1}},    {20, {"Briefing", 2}},
        {33, {"Debriefing", 0}}, {34, {"Debriefing", 1}},  {36, {"Debriefing", 2}},
        {65, {"Paused", 0}},     {66, {"Paused", 1}},      {68, {"Paused", 2}},
        {129, {"Playing", 0}},   {130, {"Playing", 1}},    {132, {"Playing", 2}}};
    for (int state = 0; state < 256; ++state) {
        TGameRow row;
        row.Icon = 1;
        SetGameType(static_cast<std::uint8_t>(state), &row);
        auto it = known.find(state);
        if (it != known.end()) {
            EXPECT_EQ(row.Status, it->second.first) << state;
            EXPECT_EQ(row.Icon, it->second.second) << state;
        } else {
            EXPECT_EQ(row.Status, "#" + std::to_string(state));
            EXPECT_EQ(row.Icon, 1) << state;
        }
    }
    TGameRow fresh;
    SetGameType(8, &fresh);
    EXPECT_EQ(fresh.Status, "#8");
    EXPECT_EQ(fresh.Icon, -1);
    SetGameType(9, nullptr);  // no row: nothing happens
}

TEST(GameType, HostFlagsDecodeBySpeedNibbleAndFlagNibble) {
    const char* speeds[] = {"< 56k", "56k", "ISDN", "Cable", "T1/ADSL+"};
    const char* flags[][3] = {{"No", "No", "No"},   {"Yes", "No", "No"}, {"No", "Yes", "-"},
                              {"Yes", "Yes", "-"},  {"No", "No", "Yes"}, {"Yes", "No", "Yes"}};
    int recognised = 0;
    for (int value = 0; value < 256; ++value) {
        TGameRow row;
        SetHostType(static_cast<std::uint8_t>(value), &row);
        const int high = value >> 4, low = value & 15;
        if (high <= 4 && low <= 5) {
            ++recognised;
            EXPECT_EQ(row.Speed, speeds[high]) << value;
            EXPECT_EQ(row.Password, flags[low][0]) << value;
            EXPECT_EQ(row.Dedicated, flags[low][1]) << value;
            EXPECT_EQ(row.Campaign, flags[low][2]) << value;
        } else {
            const std::string unknown = "#" + std::to_string(value);
            EXPECT_EQ(row.Speed, unknown);
            EXPECT_EQ(row.Password, unknown);
            EXPECT_EQ(row.Dedicated, unknown);
            EXPECT_EQ(row.Campaign, unknown);
        }
    }
    EXPECT_EQ(recognised, 30);

    TGameRow row;
    SetHostType(0x34, &row);
    EXPECT_EQ(row.Speed + "|" + row.Password + "|" + row.Dedicated + "|" + row.Campaign, "Cable|No|No|Yes");
    SetHostType(0x06, &row);
    EXPECT_EQ(row.Speed + "|" + row.Password + "|" + row.Dedicated + "|" + row.Campaign, "#6|#6|#6|#6");
    SetHostType(0x34, nullptr);
}
