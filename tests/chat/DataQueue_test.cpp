// SPDX-License-Identifier: GPL-3.0-or-later
// The line queue: where lines end, what stays inside them, and the bound on line length.
#include "chat/DataQueue.h"
#include "support/TestSupport.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

using testing_support::Escaped;

namespace {

std::vector<std::string> Lines(TDataQueue& q) {
    std::vector<std::string> out;
    std::string line;
    while (q.ReadLine(line)) out.push_back(line);
    return out;
}

std::vector<std::string> Cut(const std::vector<std::string>& pieces) {
    TDataQueue q;
    for (const auto& p : pieces) q.Write(p);
    return Lines(q);
}

}  // namespace

TEST(DataQueue, LineEndsAreLfCrLfOrLfCrAndALoneCrStaysInTheLine) {
    struct Case {
        std::vector<std::string> pieces;
        std::vector<std::string> lines;
    } cases[] = {
        {{"a\r\nb\r\n"}, {"a", "b"}},
        {{"a\n\rb\n\r"}, {"a", "b"}},
        {{"a\nb\n"}, {"a", "b"}},  // bare LF, as some servers and bouncers end lines
        {{"a\nb\rc\r\n"}, {"a", "b\rc"}},
        {{"x\r\r\n"}, {"x\r"}},
        {{"P", "I", "NG\r", "\n"}, {"PING"}},  // CR LF split over two reads is one line end
        {{"a\r", "\nb\n", "\r", "c\n"}, {"a", "b", "c"}},
        {{std::string("z\0y\xff\r\n", 6)}, {std::string("z\0y\xff", 4)}},
    };
    for (const auto& c : cases) {
        std::string all;
        for (const auto& p : c.pieces) all += p;
        EXPECT_EQ(Cut(c.pieces), c.lines) << Escaped(all);
    }
}

TEST(DataQueue, UnfinishedLineStaysUntilItsEndArrives) {
    TDataQueue q;
    q.Write("one\r\ntw");
    std::string line;
    ASSERT_TRUE(q.ReadLine(line));
    EXPECT_EQ(line, "one");
    EXPECT_FALSE(q.ReadLine(line));
    EXPECT_EQ(q.Size(), 2u);
    q.Write("o\r\n");
    ASSERT_TRUE(q.ReadLine(line));
    EXPECT_EQ(line, "two");
    EXPECT_EQ(q.Size(), 0u);
}

TEST(DataQueue, LongestLineIsKeptAndOneByteMoreIsDroppedWhole) {
    const std::string longest(TDataQueue::MaxLine, 'a');
    EXPECT_EQ(Cut({longest + "\r\nnext\r\n"}), (std::vector<std::string>{longest, "next"}));
    EXPECT_EQ(Cut({longest + "b\r\nnext\r\n"}), (std::vector<std::string>{"next"}));
    // The same when the line comes in small pieces and its end is split.
    TDataQueue q;
    for (std::size_t i = 0; i <= TDataQueue::MaxLine; i += 1000) q.Write(std::string(1000, 'c'));
    q.Write("\r");
    q.Write("\nnext\n\r");
    EXPECT_EQ(Lines(q), (std::vector<std::string>{"next"}));
}

TEST(DataQueue, MemoryStaysBoundedWhileAPeerNeverEndsItsLine) {
    TDataQueue q;
    q.Write("before\r\n");
    const std::string chunk(8193, 'x');
    std::size_t most = 0;
    for (int i = 0; i < 2000; ++i) {  // about 16 MB
        q.Write(chunk + "\r");  // a lone CR does not end it
        most = std::max(most, q.Size());
    }
    EXPECT_LE(most, std::string("before").size() + TDataQueue::MaxLine + 2);
    q.Write("x\nafter\r\n");
    EXPECT_EQ(Lines(q), (std::vector<std::string>{"before", "after"}));
}

TEST(DataQueue, ClearDropsAnUnfinishedLineAndItsDiscarding) {
    TDataQueue q;
    q.Write(std::string(TDataQueue::MaxLine + 10, 'x'));
    q.Clear();
    q.Write("fresh\r\n");
    EXPECT_EQ(Lines(q), (std::vector<std::string>{"fresh"}));
}
