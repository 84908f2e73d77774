// SPDX-License-Identifier: GPL-3.0-or-later
// Whether a chat text names the user, the marks of tabs with lines unread, and the message notified.
#pragma once

#include "chat/IRCCaseMapping.h"

#include <string>
#include <string_view>

// True when text holds nick as a word of its own: letter case folded as the server folds it,
// and no nickname character right before or after it, so "ann:" and "@Ann," name Ann but
// "anne" and "joanna" do not.
bool NamesNickname(std::string_view text, std::string_view nick, TCaseMapping mapping = TCaseMapping::Rfc1459);

// What a tab shows about the lines that arrived while it was not looked at.
enum class TTabMark { None, Unread, Highlight };

// Another user's message, as the notification is told about it.
struct TUserMessage {
    std::string Sender;
    std::string Tab;   // the conversation it was written to
    std::string Text;  // what was said (an action without its CTCP frame)
    bool Private = false;
    bool Highlight = false;  // it names the own nickname
};
