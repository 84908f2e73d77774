// SPDX-License-Identifier: GPL-3.0-or-later
// Member modes through the server's PREFIX.
#include "chat/MemberModes.h"

#include <algorithm>

TNamesEntry ParseNamesEntry(std::string_view word, const TIRCSupport& support) {
    TNamesEntry entry;
    std::size_t i = 0;
    while (i < word.size() && support.MarkRank(word[i]) != std::string::npos) {
        entry.Modes = WithMemberMode(entry.Modes, support.PrefixModes[support.MarkRank(word[i])], true, support);
        ++i;
    }
    const std::size_t bang = word.find('!', i);
    entry.Nick = std::string(word.substr(i, bang == std::string_view::npos ? bang : bang - i));
    return entry;
}

std::string WithMemberMode(std::string_view modes, char mode, bool adding, const TIRCSupport& support) {
    std::string out;
    // Rebuilt in PREFIX order: at most a handful of letters.
    for (char m : support.PrefixModes) {
        const bool held = modes.find(m) != std::string_view::npos;
        if (m == mode ? adding : held) out += m;
    }
    return out;
}

char HighestMark(std::string_view modes, const TIRCSupport& support) {
    std::size_t best = std::string::npos;
    for (char m : modes) best = std::min(best, support.ModeRank(m));
    return best == std::string::npos || best >= support.PrefixMarks.size() ? '\0' : support.PrefixMarks[best];
}

std::vector<TMemberModeChange> MemberModeChanges(const std::vector<std::string>& parameters, std::size_t first,
                                                 const TIRCSupport& support, bool* complete) {
    std::vector<TMemberModeChange> out;
    if (complete) *complete = true;
    if (first >= parameters.size()) return out;
    std::size_t next = first + 1;
    bool adding = true;
    for (char c : parameters[first]) {
        if (c == '+' || c == '-') {
            adding = c == '+';
            continue;
        }
        if (!support.ModeTakesParameter(c, adding)) continue;
        if (next >= parameters.size()) {
            if (complete) *complete = false;
            break;
        }
        const std::string& parameter = parameters[next++];
        if (support.ModeRank(c) != std::string::npos) out.push_back({adding, c, parameter});
    }
    return out;
}
