// SPDX-License-Identifier: GPL-3.0-or-later
// TIRCSupport: what a server announces about itself in its 005 (ISUPPORT) replies.
#pragma once

#include "chat/IRCCaseMapping.h"

#include <cstddef>
#include <map>
#include <string>
#include <string_view>
#include <vector>

// Values in force for one session, starting from what a server that announces nothing means.
struct TIRCSupport {
    // The member modes and their marks, highest first: "(ov)@+" by default.
    std::string PrefixModes = "ov";
    std::string PrefixMarks = "@+";
    TCaseMapping CaseMapping = TCaseMapping::Rfc1459;
    std::string ChanTypes = "#&";
    // CHANMODES in its four groups: list modes, always with a parameter, with one only when
    // set, never with one.
    std::string ListModes = "beI", ParamModes = "k", SetParamModes = "l", FlagModes = "imnpst";
    // Every token as announced, upper-case name to value ("" for a token without one), so
    // that later features (MONITOR, NICKLEN ...) can read theirs. Bounded: see MaxTokens.
    std::map<std::string, std::string> Tokens;
    static constexpr std::size_t MaxTokens = 200;
    static constexpr std::size_t MaxPrefixModes = 16;

    // Takes the tokens of one 005 line: its parameters after the target nickname, without
    // the trailing text. "-NAME" takes a token back (and its value to the default).
    void Apply(const std::vector<std::string>& tokens);

    bool IsChannel(std::string_view name) const {
        return !name.empty() && ChanTypes.find(name[0]) != std::string::npos;
    }
    // The rank of a member mark or mode letter, 0 the highest; npos for none.
    std::size_t MarkRank(char mark) const { return PrefixMarks.find(mark); }
    std::size_t ModeRank(char mode) const { return PrefixModes.find(mode); }
    // Whether a channel mode letter takes a parameter when set (adding) or unset.
    bool ModeTakesParameter(char mode, bool adding) const;
};

// PREFIX's value "(modes)marks" split in two of the same length; false, leaving both as they
// were, when it is malformed.
bool ParsePrefixToken(std::string_view value, std::string& modes, std::string& marks);
