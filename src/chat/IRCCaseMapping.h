// SPDX-License-Identifier: GPL-3.0-or-later
// How a network folds letter case in nicknames and channel names (the CASEMAPPING it announces).
#pragma once

#include <string>
#include <string_view>

// rfc1459, the default of networks that say nothing, also takes "[]\~" for the capitals of
// "{}|^"; strict-rfc1459 leaves "~" and "^" apart; ascii folds the letters only.
enum class TCaseMapping { Rfc1459, StrictRfc1459, Ascii };

// The mapping a CASEMAPPING value names; unknown values (rfc7613 and the like) fold like
// rfc1459, which folds at least what the others fold among ASCII bytes.
TCaseMapping CaseMappingNamed(std::string_view value);

char IrcFold(char c, TCaseMapping mapping);
bool SameIrcText(std::string_view a, std::string_view b, TCaseMapping mapping);
// The folded text, for keys of case-blind lookups.
std::string IrcLower(std::string_view text, TCaseMapping mapping);
// Strict weak order on folded bytes, then on the bytes themselves, so that sorting is stable
// across runs whatever the case of the names.
bool IrcBefore(std::string_view a, std::string_view b, TCaseMapping mapping);
