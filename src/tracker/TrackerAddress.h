// SPDX-License-Identifier: GPL-3.0-or-later
// Where the game tracker is: one IPv4 address, one TCP port per game type from a base port.
#pragma once

#include <string>

struct TTrackerAddress {
    std::string Addr;     // dotted IPv4 text (a host name is looked up when connecting)
    int BasePort = 12000; // game type code "0"; codes "1".."3" add their number
};

// The real tracker's address is not known to us. 192.0.2.1 is a documentation address
// (RFC 5737) that routes nowhere; the program and the tools take --tracker to point elsewhere.
inline constexpr const char* DefaultTrackerAddr = "192.0.2.1";
inline constexpr int DefaultTrackerBasePort = 12000;

inline TTrackerAddress DefaultTrackerAddress() { return {DefaultTrackerAddr, DefaultTrackerBasePort}; }

// The port text for a game type code: base + 1, 2 or 3 for "1", "2", "3"; the base for any
// other code.
std::string TrackerPortText(const TTrackerAddress& tracker, const std::string& gameTypeCode);

// A dotted IPv4 address or a host name: labels of letters, digits and inner hyphens, 1 to 63
// characters each, 253 at most in all. Nothing else is ever handed to a name lookup.
bool IsHostOrIPv4(const std::string& text);

// Reads "ADDR" or "ADDR:BASEPORT" (the --tracker option). The base port leaves room for the
// three ports above it. False with a message in error when the text is not such a value.
bool ParseTrackerAddress(const std::string& text, TTrackerAddress& tracker, std::string& error);
