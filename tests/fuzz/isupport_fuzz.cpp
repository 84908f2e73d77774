// SPDX-License-Identifier: GPL-3.0-or-later
// A hostile server's ISUPPORT tokens, names entries and MODE lines: whatever they hold, the
// PREFIX pair stays matched and bounded, the token table bounded, and every mode read back
// is one the server's PREFIX names.
#include "FuzzSupport.h"
#include "chat/MemberModes.h"

#include <string>
#include <vector>

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const std::string_view input = fuzz::Bytes(data, size);
    std::vector<std::string> words;
    std::size_t start = 0;
    for (std::size_t i = 0; i <= input.size(); ++i) {
        if (i == input.size() || input[i] == ' ') {
            words.emplace_back(input.substr(start, i - start));
            start = i + 1;
        }
    }
    TIRCSupport support;
    support.Apply(words);
    FUZZ_CHECK(support.PrefixModes.size() == support.PrefixMarks.size());
    FUZZ_CHECK(support.PrefixModes.size() <= TIRCSupport::MaxPrefixModes);
    FUZZ_CHECK(support.Tokens.size() <= TIRCSupport::MaxTokens);
    for (const std::string& word : words) {
        const TNamesEntry entry = ParseNamesEntry(word, support);
        FUZZ_CHECK(entry.Nick.size() <= word.size());
        for (char m : entry.Modes) FUZZ_CHECK(support.ModeRank(m) != std::string::npos);
        const char mark = HighestMark(entry.Modes, support);
        FUZZ_CHECK(mark == '\0' || support.MarkRank(mark) != std::string::npos);
        FUZZ_CHECK(IrcLower(word, support.CaseMapping).size() == word.size());
    }
    bool complete = true;
    for (const TMemberModeChange& change : MemberModeChanges(words, 0, support, &complete))
        FUZZ_CHECK(support.ModeRank(change.Mode) != std::string::npos);
    return 0;
}
