// SPDX-License-Identifier: GPL-3.0-or-later
// One simulated game server: its settings, their text form, and the status reply it sends.
#pragma once

#include <string>

namespace gamesim {

// How a server answers a status query. The malformed kinds exist to test the viewer's parser.
enum class TReplyMode {
    Normal,
    Silent,     // never answers
    Late,       // answers after lateMs
    Short,      // 3 bytes: too short to hold the magic
    BadMagic,   // a whole reply whose first four bytes are wrong
    LenPast,    // the server name length points past the end of the datagram
    Huge,       // the server name length is near 4 GiB (wraps 32-bit offset arithmetic)
    Truncated,  // ends right after the mission name, before players, state and flags
};

struct TServerConfig {
    int port = 0;  // 0: ephemeral
    std::string name = "Game Server";
    std::string file;     // mission file name, may be empty
    std::string mission;  // mission name
    int players = 0;
    int state = 0;
    int flags = 0;
    TReplyMode mode = TReplyMode::Normal;
    int lateMs = 0;
    std::string extra;  // bytes sent after the host flags
};

// Applies words like  name="Alpha Squadron" players=3 flags=0x34 mode=late=250  to config.
// Values may be quoted; inside quotes \" \\ and \xHH are understood. The port may only be
// given when allowPort is set (it cannot change once a server is bound).
// Returns false with a message in error when a word is not understood; config is then unchanged.
bool ApplySettings(const std::string& words, TServerConfig& config, bool allowPort, std::string& error);

std::string ModeText(const TServerConfig& config);

// The datagram a server answers with in its mode; empty for a silent server.
std::string BuildReply(const TServerConfig& config);

// Bytes as printable text (non-printables as \xHH), for output lines.
std::string Printable(const std::string& bytes);

}  // namespace gamesim
