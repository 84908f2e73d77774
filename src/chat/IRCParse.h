// SPDX-License-Identifier: GPL-3.0-or-later
// Pure functions over the bytes of one IRC line: token cut, line parse, prefix split.
#pragma once

#include <string>
#include <string_view>
#include <vector>

// The prefix of a line split in three: nick!user@host.
struct TIRCPrefixInfo {
    std::string Nick;
    std::string User;
    std::string Host;
};

// One parsed server line. Prefix keeps its colon; empty when the line has none. Tags are the
// IRCv3 message tags without their "@", as sent (escapes still in).
struct TIRCLine {
    std::string Tags;
    std::string Prefix;
    std::string Command;
    std::vector<std::string> Parameters;
};

// Cuts the token before the first byte of delims off text, then skips the delimiters that
// follow it directly; text keeps what is left. A text that begins with a delimiter gives "".
std::string NextToken(std::string_view& text, std::string_view delims);

// Parses one line as cut by the line queue: leading bytes of value 32 or less are dropped
// first. Returns false for a line that yields nothing (no command token).
bool ParseIRCLine(std::string_view line, TIRCLine& out);

// The unescaped value of key in a line's tags; empty when it is not there.
std::string TagValue(std::string_view tags, std::string_view key);

// Splits a prefix (with its colon) at the first "!" and then at the first at sign. A prefix
// without "!" keeps all of its text as the nick.
TIRCPrefixInfo SplitPrefix(std::string_view prefix);

// Three decimal digits: a numeric reply.
bool IsNumericCommand(std::string_view command);

// Equality ignoring ASCII letter case only; every other byte compares exactly.
bool SameTextAscii(std::string_view a, std::string_view b);

// ASCII lower case of every byte, for case-blind keys.
std::string LowerAscii(std::string_view text);
