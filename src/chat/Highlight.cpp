// SPDX-License-Identifier: GPL-3.0-or-later
// Finding the own nickname in a message.
#include "chat/Highlight.h"

namespace {

// The characters a nickname may hold; anything else (blank, punctuation, UTF-8) ends a word.
bool NickChar(char c) {
    return (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || (c >= '0' && c <= '9') || c == '-' || c == '_' ||
           c == '[' || c == ']' || c == '\\' || c == '`' || c == '^' || c == '{' || c == '}' || c == '|';
}

}  // namespace

bool NamesNickname(std::string_view text, std::string_view nick, TCaseMapping mapping) {
    if (nick.empty() || text.size() < nick.size()) return false;
    for (std::size_t at = 0; at + nick.size() <= text.size(); ++at) {
        if (at > 0 && NickChar(text[at - 1])) continue;
        const std::size_t end = at + nick.size();
        if (end < text.size() && NickChar(text[end])) continue;
        bool same = true;
        for (std::size_t i = 0; i < nick.size() && same; ++i) same = IrcFold(text[at + i], mapping) == IrcFold(nick[i], mapping);
        if (same) return true;
    }
    return false;
}
