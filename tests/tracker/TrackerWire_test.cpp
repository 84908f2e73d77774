// SPDX-License-Identifier: GPL-3.0-or-later
// The tracker's wire format: request bytes, records, the reply up to its end marker, the address option.
#include "TrackerTestSupport.h"
#include "support/TestSupport.h"
#include "tracker/TrackerAddress.h"
#include "tracker/TrackerReply.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

using testing_support::Escaped;
using testing_support::Hex;

namespace {

// A record written out from the wire table: 208 bytes of filler, the 16-byte address field,
// the port's two bytes, two more bytes.
std::string RecordBytes(const std::string& addressField, const std::string& portBytes) {
    std::string r(208, '\xAB');
    std::string field = addressField;
    field.resize(16, '\0');
    return r + field + portBytes + Hex("CD CD");
}

const std::string kMarker = Hex("02 00 00 00 54 45 52 4D");

std::vector<std::vector<std::string>> Rows(const TAdvancedArray& t) {
    std::vector<std::vector<std::string>> rows;
    for (int r = 0; r < t.RowCount(); ++r) rows.push_back({t.GetCell(r, 0), t.GetCell(r, 1), t.GetCell(r, 2)});
    return rows;
}

using TRows = std::vector<std::vector<std::string>>;

}  // namespace

TEST(TrackerWire, RequestAndMarkerAreTheBytesOfTheTable) {
    EXPECT_EQ(TrackerRequest(), Hex("01 00 00 00 FF FF FF FF FF FF FF FF")) << Escaped(TrackerRequest());
    EXPECT_EQ(TrackerEndMarker(), kMarker);
}

TEST(TrackerWire, RecordsGiveAddressUnsignedPortAndTheGameTypeCode) {
    TRecordingBoxes boxes;
    const std::string reply = RecordBytes("10.0.0.1", Hex("E0 2E")) + RecordBytes("255.255.255.255", Hex("FF FF")) +
                              RecordBytes("", Hex("00 00")) +
                              // Bytes after the address's zero inside the field are not part of it.
                              RecordBytes(std::string("1.2.3.4\0junk", 12), Hex("01 00"));
    auto table = ParseTrackerRecords(reply, "2", boxes);
    ASSERT_EQ(table->ColumnCount(), 3);
    EXPECT_EQ(Rows(*table), (TRows{{"10.0.0.1", "12000", "2"},
                                   {"255.255.255.255", "65535", "2"},
                                   {"", "0", "2"},
                                   {"1.2.3.4", "1", "2"}}));
    EXPECT_TRUE(boxes.Shown.empty());
}

TEST(TrackerWire, MalformedRecordsStayInsideTheirBytes) {
    TRecordingBoxes boxes;
    // No zero byte in the address field: empty, even though zeros follow later in the reply.
    auto table = ParseTrackerRecords(RecordBytes("1234567890123456", Hex("E0 2E")) + RecordBytes("9.9.9.9", Hex("01 00")),
                                     "0", boxes);
    EXPECT_EQ(Rows(*table), (TRows{{"", "12000", "0"}, {"9.9.9.9", "1", "0"}}));

    // The last record's address field has no zero and nothing follows it at all.
    std::string noZero = std::string(208, 'x') + std::string(20, '7');
    EXPECT_EQ(Rows(*ParseTrackerRecords(noZero, "0", boxes)), (TRows{{"", "14135", "0"}}));

    // A fragment shorter than a record is dropped, however long it is.
    const std::string one = RecordBytes("1.1.1.1", Hex("02 00"));
    for (std::size_t extra : {1u, 208u, 227u})
        EXPECT_EQ(Rows(*ParseTrackerRecords(one + std::string(extra, '\x01'), "3", boxes)), (TRows{{"1.1.1.1", "2", "3"}}))
            << extra;
    EXPECT_EQ(ParseTrackerRecords("", "1", boxes)->RowCount(), 0);
    EXPECT_EQ(ParseTrackerRecords(std::string(227, '\0'), "1", boxes)->RowCount(), 0);
    EXPECT_TRUE(boxes.Shown.empty());
}

TEST(TrackerWire, TheMarkerEndsTheReplyWhereverItFalls) {
    const std::string records = RecordBytes("1.1.1.1", Hex("02 00")) + RecordBytes("2.2.2.2", Hex("03 00"));

    // In the middle of a chunk: what follows it is dropped.
    TTrackerReply mid;
    EXPECT_EQ(mid.Add(records.substr(0, 100)), TTrackerReply::rpMore);
    EXPECT_EQ(mid.Add(records.substr(100) + kMarker + "trailing" + kMarker), TTrackerReply::rpComplete);
    EXPECT_EQ(mid.Bytes(), records);

    // Split across two receipts at every position inside it, also with nothing before it.
    for (const std::string& before : {records, std::string()}) {
        for (std::size_t cut = 1; cut < kMarker.size(); ++cut) {
            TTrackerReply split;
            EXPECT_EQ(split.Add(before + kMarker.substr(0, cut)), TTrackerReply::rpMore) << cut;
            EXPECT_EQ(split.Add(kMarker.substr(cut) + "x"), TTrackerReply::rpComplete) << cut;
            EXPECT_EQ(split.Bytes(), before) << cut;
        }
    }

    // One byte per receipt.
    TTrackerReply bytewise;
    const std::string all = records + kMarker;
    for (std::size_t i = 0; i + 1 < all.size(); ++i) ASSERT_EQ(bytewise.Add(all.substr(i, 1)), TTrackerReply::rpMore) << i;
    EXPECT_EQ(bytewise.Add(all.substr(all.size() - 1)), TTrackerReply::rpComplete);
    EXPECT_EQ(bytewise.Bytes(), records);

    // A near miss is data; later receipts do not change a complete reply.
    TTrackerReply near;
    EXPECT_EQ(near.Add(Hex("02 00 00 00 54 45 52")), TTrackerReply::rpMore);
    EXPECT_EQ(near.Add("X" + kMarker), TTrackerReply::rpComplete);
    EXPECT_EQ(near.Bytes(), Hex("02 00 00 00 54 45 52") + "X");
    EXPECT_EQ(near.Add(records), TTrackerReply::rpComplete);
    EXPECT_EQ(near.Bytes(), Hex("02 00 00 00 54 45 52") + "X");
    near.Clear();
    EXPECT_EQ(near.Add(kMarker), TTrackerReply::rpComplete);
    EXPECT_EQ(near.Bytes(), "");
}

TEST(TrackerWire, AReplyLongerThanTheCapOverflowsAndDropsItsBytes) {
    TTrackerReply exact(10);
    EXPECT_EQ(exact.Add(std::string(10, 'a')), TTrackerReply::rpMore);
    EXPECT_EQ(exact.Add(kMarker), TTrackerReply::rpComplete) << "the cap itself is allowed";
    EXPECT_EQ(exact.Bytes().size(), 10u);

    // The cap's last bytes may still be the start of a marker...
    TTrackerReply maybe(10);
    EXPECT_EQ(maybe.Add(std::string(10, 'a') + kMarker.substr(0, 7)), TTrackerReply::rpMore);
    EXPECT_EQ(maybe.Add(kMarker.substr(7)), TTrackerReply::rpComplete);
    // ...but one byte more can no longer be.
    TTrackerReply over(10);
    EXPECT_EQ(over.Add(std::string(11, 'a') + kMarker.substr(0, 7)), TTrackerReply::rpOverflow);
    EXPECT_EQ(over.Bytes(), "");
    EXPECT_EQ(over.Add(kMarker), TTrackerReply::rpOverflow);

    TTrackerReply late(10);
    EXPECT_EQ(late.Add(std::string(11, 'a') + kMarker), TTrackerReply::rpOverflow);

    TTrackerReply real;
    const std::string chunk(1 << 20, '\x7F');
    TTrackerReply::TProgress p = TTrackerReply::rpMore;
    int chunks = 0;
    while (p == TTrackerReply::rpMore && chunks < 100) {
        p = real.Add(chunk);
        ++chunks;
    }
    EXPECT_EQ(p, TTrackerReply::rpOverflow);
    EXPECT_EQ(chunks, 17) << "the cap is 16 MiB";
}

TEST(TrackerWire, TrackerAddressOptionAndPortsByGameType) {
    TTrackerAddress t;
    std::string error;
    ASSERT_TRUE(ParseTrackerAddress("127.0.0.1:20000", t, error)) << error;
    EXPECT_EQ(t.Addr, "127.0.0.1");
    EXPECT_EQ(t.BasePort, 20000);
    EXPECT_EQ(TrackerPortText(t, "0"), "20000");
    EXPECT_EQ(TrackerPortText(t, "3"), "20003");
    EXPECT_EQ(TrackerPortText(t, "4"), "20000");
    EXPECT_EQ(TrackerPortText(t, ""), "20000");

    ASSERT_TRUE(ParseTrackerAddress("127.0.0.1", t, error)) << error;
    EXPECT_EQ(t.BasePort, 12000);
    EXPECT_EQ(TrackerPortText(t, "1"), "12001");
    EXPECT_EQ(TrackerPortText(DefaultTrackerAddress(), "2"), "12002");
    ASSERT_TRUE(ParseTrackerAddress("tracker.example:65532", t, error)) << error;

    for (const std::string& bad : std::vector<std::string>{"", ":12000", "127.0.0.1:", "127.0.0.1:0", "127.0.0.1:65533", "127.0.0.1:12x",
                                  "127.0.0.1:-1", "a b:1", "-x.org", "x-.org:1", "a..b", ".", "$(id)", "a;b",
                                  "host\n", std::string(64, 'a') + ".org", "a\xC3\xA9.org"}) {
        TTrackerAddress kept{"keep", 1};
        error.clear();
        EXPECT_FALSE(ParseTrackerAddress(bad, kept, error)) << bad;
        EXPECT_FALSE(error.empty()) << bad;
        EXPECT_EQ(kept.Addr, "keep") << bad;
    }
    // Names as the resolver takes them: labels of up to 63, 253 in all, a root dot allowed.
    EXPECT_TRUE(IsHostOrIPv4(std::string(63, 'a') + ".example-1.org."));
    EXPECT_TRUE(IsHostOrIPv4("203.0.113.7"));
    EXPECT_FALSE(IsHostOrIPv4(std::string(254, 'a')));
}
