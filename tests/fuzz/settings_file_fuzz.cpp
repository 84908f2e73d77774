// SPDX-License-Identifier: GPL-3.0-or-later
// The settings file: whatever parses is written back in a form that parses to the same content.
#include "FuzzSupport.h"
#include "settings/RegFile.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const auto first = ParseRegFile(fuzz::Bytes(data, size));
    if (!first.Ok) {
        FUZZ_CHECK(first.ErrorLine >= 0 && !first.Error.empty());
        return 0;
    }
    const std::string written = FormatRegFile(first.Content);
    const auto second = ParseRegFile(written);
    FUZZ_CHECK(second.Ok);
    FUZZ_CHECK(second.Content.Values == first.Content.Values);
    FUZZ_CHECK(second.Content.OtherLines == first.Content.OtherLines);
    FUZZ_CHECK(second.Content.Regedit4 == first.Content.Regedit4);
    // Written once more, the text is stable.
    FUZZ_CHECK(FormatRegFile(second.Content) == written);
    return 0;
}
