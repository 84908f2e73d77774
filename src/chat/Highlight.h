// Whether a chat text names the user, and the marks a conversation tab carries for lines unread.
#pragma once

#include <string_view>

// True when text holds nick as a word of its own: letter case ignored as IRC ignores it
// ("[]\^" are the capitals of "{}|~"), and no nickname character right before or after it, so
// "ann:" and "@Ann," name Ann but "anne" and "joanna" do not.
bool NamesNickname(std::string_view text, std::string_view nick);

// What a tab shows about the lines that arrived while it was not looked at.
enum class TTabMark { None, Unread, Highlight };
