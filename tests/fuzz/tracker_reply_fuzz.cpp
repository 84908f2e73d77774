// SPDX-License-Identifier: GPL-3.0-or-later
// The tracker's reply stream: however it is cut into receipts, the collector finds the same
// reply, stays within its cap, and the records give sane rows.
#include "FuzzSupport.h"
#include "tracker/TrackerReply.h"

#include <string>

namespace {

class TNoBoxes : public TMessageBoxes {
public:
    TMsgResult Show(const std::string&, const std::string&, TMsgIcon, TMsgButtons, TMsgDefault) override { return TMsgResult::Ok; }
};

// Small, so that the overflow path is reached too.
constexpr std::size_t kCap = 4096;

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const std::string_view input = fuzz::Bytes(data, size);
    TTrackerReply whole(kCap), pieces(kCap);
    const std::string_view stream = input.empty() ? input : input.substr(1);
    whole.Add(stream);
    for (std::string_view r : fuzz::Receipts(input)) pieces.Add(r);

    FUZZ_CHECK(whole.State() == pieces.State());
    FUZZ_CHECK(whole.Bytes() == pieces.Bytes());
    FUZZ_CHECK(pieces.Bytes().size() <= kCap + TrackerEndMarker().size());
    if (pieces.State() != TTrackerReply::rpComplete) return 0;
    FUZZ_CHECK(stream.find(TrackerEndMarker()) == pieces.Bytes().size());

    TNoBoxes boxes;
    auto table = ParseTrackerRecords(pieces.Bytes(), "2", boxes);
    FUZZ_CHECK(table && table->ColumnCount() == 3);
    FUZZ_CHECK(static_cast<std::size_t>(table->RowCount()) == pieces.Bytes().size() / TrackerRecordSize);
    for (int row = 0; row < table->RowCount(); ++row) {
        FUZZ_CHECK(table->GetCell(row, 0).size() < TrackerAddressSize);
        FUZZ_CHECK(table->GetCell(row, 0).find('\0') == std::string::npos);
        const std::string port = table->GetCell(row, 1);
        FUZZ_CHECK(!port.empty() && port.size() <= 5 && std::stol(port) <= 65535);
        FUZZ_CHECK(table->GetCell(row, 2) == "2");
    }
    return 0;
}
