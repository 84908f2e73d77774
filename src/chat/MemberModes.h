// SPDX-License-Identifier: GPL-3.0-or-later
// The member modes of channel users (op, voice ...): names reply entries, MODE changes and
// the one mark a list shows, all read through the server's PREFIX.
#pragma once

#include "chat/IRCSupport.h"

#include <string>
#include <string_view>
#include <vector>

// One entry of a names reply: the nickname and the mode letters its marks stand for, highest
// first. With multi-prefix an entry carries every mark ("@+bob"); with userhost-in-names the
// nickname is followed by "!user@host", which is dropped.
struct TNamesEntry {
    std::string Nick;
    std::string Modes;
};
TNamesEntry ParseNamesEntry(std::string_view word, const TIRCSupport& support);

// modes with mode added or taken away, kept highest first; letters that are no member mode
// of this server are left out.
std::string WithMemberMode(std::string_view modes, char mode, bool adding, const TIRCSupport& support);

// The mark of the highest mode, or 0 for none.
char HighestMark(std::string_view modes, const TIRCSupport& support);

// The member mode changes in a channel MODE line (parameters after the channel): "+ov-v a b c"
// gives o a, v b, -v c. Other modes are stepped over with their parameters. complete, when
// given, is false for a line whose modes name more parameters than it has.
struct TMemberModeChange {
    bool Adding;
    char Mode;
    std::string Nick;
};
std::vector<TMemberModeChange> MemberModeChanges(const std::vector<std::string>& parameters, std::size_t first,
                                                 const TIRCSupport& support, bool* complete = nullptr);
