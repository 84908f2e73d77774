// SPDX-License-Identifier: GPL-3.0-or-later
// The program's command line: the developer switch and the options that point it elsewhere.
#pragma once

#include "tracker/TrackerAddress.h"

#include <string>
#include <string_view>
#include <vector>

// The chat server built into the program: a public IRC network, reached over TLS.
inline constexpr const char* DefaultChatServerHost = "irc.libera.chat";
inline constexpr const char* DefaultChatServerPort = "6697";
inline constexpr bool DefaultChatServerTls = true;
// The ports a chat server address without one means.
inline constexpr const char* PlainChatPort = "6667";
inline constexpr const char* TlsChatPort = "6697";
inline constexpr const char* ProgramVersion = "1.01";

// The 1-based position of the last argument that equals sw ignoring letter case (whole
// argument, locale-aware case folding); -1 if none. args[0], the program, is never compared.
int FindSwitch(const std::vector<std::string>& args, std::string_view sw);

struct TCommandLine {
    bool Developer = false;
    bool Help = false;
    bool Version = false;
    TTrackerAddress Tracker = DefaultTrackerAddress();
    std::string ChatHost = DefaultChatServerHost;
    std::string ChatPort = DefaultChatServerPort;
    bool ChatTls = DefaultChatServerTls;
    std::string ConfigDir;  // empty: the user's configuration folder
    // Given on the command line: each then holds for this run over the settings', and a chat
    // server given means a test world or a script, which needs no welcome.
    bool TrackerGiven = false;
    bool ChatServerGiven = false;
};

extern const char* const CommandLineUsage;

// The usage followed by the files the program uses here: the settings file (empty: none, as
// no configuration folder is known) and the message sound it found (empty: none found).
std::string HelpText(const std::string& settingsFile, const std::string& soundFile);

// A chat server address: ircs://HOST[:PORT] (TLS, port 6697 unless given), irc://HOST[:PORT]
// or HOST[:PORT] (plain text, 6667). False with a message for anything else.
bool ParseChatServer(const std::string& text, std::string& host, std::string& port, bool& tls, std::string& error);

// Reads the options from args (args[0] is the program). Unknown arguments are ignored, as
// the program always did; a known option with a bad value gives false and a message.
bool ParseCommandLine(const std::vector<std::string>& args, TCommandLine& line, std::string& error);
