// SPDX-License-Identifier: GPL-3.0-or-later
// Case folding of IRC names.
#include "chat/IRCCaseMapping.h"

#include <algorithm>

TCaseMapping CaseMappingNamed(std::string_view value) {
    if (value == "ascii") return TCaseMapping::Ascii;
    if (value == "strict-rfc1459") return TCaseMapping::StrictRfc1459;
    return TCaseMapping::Rfc1459;
}

char IrcFold(char c, TCaseMapping mapping) {
    if (c >= 'A' && c <= 'Z') return static_cast<char>(c - 'A' + 'a');
    if (mapping == TCaseMapping::Ascii) return c;
    switch (c) {
    case '[': return '{';
    case ']': return '}';
    case '\\': return '|';
    case '~': return mapping == TCaseMapping::Rfc1459 ? '^' : c;
    default: return c;
    }
}

bool SameIrcText(std::string_view a, std::string_view b, TCaseMapping mapping) {
    if (a.size() != b.size()) return false;
    for (std::size_t i = 0; i < a.size(); ++i)
        if (IrcFold(a[i], mapping) != IrcFold(b[i], mapping)) return false;
    return true;
}

std::string IrcLower(std::string_view text, TCaseMapping mapping) {
    std::string out(text);
    for (char& c : out) c = IrcFold(c, mapping);
    return out;
}

bool IrcBefore(std::string_view a, std::string_view b, TCaseMapping mapping) {
    const std::size_t n = std::min(a.size(), b.size());
    for (std::size_t i = 0; i < n; ++i) {
        const auto x = static_cast<unsigned char>(IrcFold(a[i], mapping));
        const auto y = static_cast<unsigned char>(IrcFold(b[i], mapping));
        if (x != y) return x < y;
    }
    if (a.size() != b.size()) return a.size() < b.size();
    return a < b;
}
