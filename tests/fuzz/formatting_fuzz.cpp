// SPDX-License-Identifier: GPL-3.0-or-later
// Formatting codes in a stranger's line: runs never empty, adjacent runs differ, no code left
// in them, and every byte that is not a code kept in order.
#include "FuzzSupport.h"
#include "chat/Formatting.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const std::string_view text = fuzz::Bytes(data, size);
    const std::vector<TStyledRun> runs = ParseFormatting(text);
    std::string joined;
    for (std::size_t i = 0; i < runs.size(); ++i) {
        FUZZ_CHECK(!runs[i].Text.empty());
        FUZZ_CHECK(i == 0 || !(runs[i].Style == runs[i - 1].Style));
        FUZZ_CHECK(runs[i].Style.Fg >= -1 && runs[i].Style.Fg <= 98 && runs[i].Style.Bg >= -1 && runs[i].Style.Bg <= 98);
        for (char c : runs[i].Text) FUZZ_CHECK(c != 0x02 && c != 0x03 && c != 0x04 && c != 0x0F && c != 0x16);
        joined += runs[i].Text;
    }
    FUZZ_CHECK(joined == StripFormatting(text));
    FUZZ_CHECK(joined.size() <= text.size());
    // The bytes outside the codes appear in order: the join is a subsequence of the text.
    std::size_t at = 0;
    for (char c : joined) {
        at = text.find(c, at);
        FUZZ_CHECK(at != std::string_view::npos);
        ++at;
    }
    return 0;
}
