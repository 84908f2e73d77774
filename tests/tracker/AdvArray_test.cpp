// SPDX-License-Identifier: GPL-3.0-or-later
// TAdvancedArray: growing rows, checked cell access reported by message box, case-blind search.
#include "tracker/AdvArray.h"

#include "TrackerTestSupport.h"

#include <gtest/gtest.h>

TEST(AdvancedArray, RowsGrowWithEmptyCellsAndKeepTheirTexts) {
    TRecordingBoxes boxes;
    TAdvancedArray a(3, boxes);
    EXPECT_EQ(a.RowCount(), 0);
    EXPECT_EQ(a.AddRow(), 0);
    a.SetCell(0, 2, "x");
    EXPECT_EQ(a.AddRow(), 1);
    EXPECT_EQ(a.RowCount(), 2);
    EXPECT_EQ(a.GetCell(0, 2), "x");
    EXPECT_EQ(a.GetCell(1, 0), "");
    EXPECT_EQ(a.GetCell(1, 2), "");
    EXPECT_TRUE(boxes.Shown.empty());
}

TEST(AdvancedArray, OutOfRangeAccessShowsOneErrorBoxAndChangesNothing) {
    TRecordingBoxes boxes;
    TAdvancedArray a(3, boxes);
    a.AddRow();
    a.SetCell(0, 0, "kept");

    EXPECT_EQ(a.GetCell(1, 0), "");
    EXPECT_EQ(a.GetCell(-1, 0), "");
    EXPECT_EQ(a.GetCell(0, 3), "");
    a.SetCell(0, -2, "lost");
    a.SetCell(7, 0, "lost");
    a.SetCell(5, 9, "lost");  // both wrong: the row is reported

    ASSERT_EQ(boxes.Shown.size(), 6u);
    const char* texts[] = {"Array index out of bounds (1)",   "Array index out of bounds (-1)",
                           "Column index out of bounds (3)",  "Column index out of bounds (-2)",
                           "Array index out of bounds (7)",   "Array index out of bounds (5)"};
    for (std::size_t i = 0; i < boxes.Shown.size(); ++i) {
        EXPECT_EQ(boxes.Shown[i].Text, texts[i]);
        EXPECT_EQ(boxes.Shown[i].Caption, "Corvane Games Viewer");
        EXPECT_EQ(boxes.Shown[i].Icon, TMsgIcon::Error);
        EXPECT_EQ(boxes.Shown[i].Buttons, TMsgButtons::Ok);
    }
    EXPECT_EQ(a.RowCount(), 1);
    EXPECT_EQ(a.GetCell(0, 0), "kept");
    EXPECT_EQ(a.GetCell(0, 1), "");
}

TEST(AdvancedArray, FindInColumnIgnoresCaseAndReturnsTheFirstMatch) {
    TRecordingBoxes boxes;
    TAdvancedArray a(4, boxes);
    for (const char* name : {"#Lobby_20", "Alice", "alice", "ALICE["}) a.SetCell(a.AddRow(), 1, name);
    a.SetCell(0, 0, "Status");

    EXPECT_EQ(a.FindInColumn(1, "ALICE"), 1);
    EXPECT_EQ(a.FindInColumn(1, "#lobby_20"), 0);
    EXPECT_EQ(a.FindInColumn(1, "alice["), 3);
    EXPECT_EQ(a.FindInColumn(1, "alic"), -1);  // whole cell, not a prefix
    EXPECT_EQ(a.FindInColumn(1, ""), -1);
    EXPECT_EQ(a.FindInColumn(2, ""), 0);  // empty cells match an empty text
    EXPECT_EQ(a.FindRow("STATUS"), 0);
    EXPECT_EQ(a.FindRow("Alice"), -1);
    // A column that does not exist finds nothing and reads nothing.
    EXPECT_EQ(a.FindInColumn(4, ""), -1);
    EXPECT_EQ(a.FindInColumn(-1, ""), -1);
    EXPECT_TRUE(boxes.Shown.empty());
}
