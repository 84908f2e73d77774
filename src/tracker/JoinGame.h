// SPDX-License-Identifier: GPL-3.0-or-later
// TJoinGame: lvGamesDblClick, joining the selected server of a game list, and the texts it builds.
#pragma once

#include "settings/Settings.h"
#include "tracker/GamesPage.h"
#include "tracker/MessageBox.h"
#include "tracker/ProgramStarter.h"

#include <functional>
#include <string>
#include <string_view>
#include <vector>

inline constexpr const char* NotFormingQuestion =
    "Trying to join while game is not forming is not a good idea...\r\nAre you sure do you want to do it?";
inline constexpr const char* MissingExecutableError =
    "Coulnd't find executable file! Please go to the settings and set it.";
inline constexpr const char* NoWineReason =
    "it is a Windows program and wine was not found; install wine or set a native executable under Settings";
// The error box of a start that failed, naming the file and the reason.
std::string StartFailedError(const std::string& program, const std::string& reason);

// The chat side of joining, bound by the main window; unset parts count as not connected.
struct TJoinChat {
    std::function<bool()> Connected;
    // Sends one raw command line; the client adds CR LF.
    std::function<void(const std::string& line)> SendLine;
};

// Extra parameters as a user types them on a command line: blanks separate arguments, double
// or single quotes group words (and are dropped), everything else is literal, backslashes
// included, since game paths in them are often Windows paths. No shell ever sees them.
std::vector<std::string> SplitParameters(const std::string& text);

// The folder of a program path, without a trailing separator except for the root; empty for
// a bare file name.
std::string WorkingDirectoryOf(const std::string& path);

// Four decimal numbers 0 to 255 without leading zeros, joined by dots.
bool IsDottedIPv4(const std::string& text);
// A decimal number 1 to 65535 without leading zeros.
bool IsPortNumber(const std::string& text);

// "-connect", address:port, then the extra parameters split into arguments.
std::vector<std::string> GameArguments(const std::string& address, const std::string& port,
                                       const std::string& extraParameters);

class TJoinGame {
public:
    static constexpr std::string_view Channel = "#Lobby_20";
    static constexpr std::string_view Marker = "\x01\x02\x03\x04";

    // Everything passed in must outlive the object; settings are read at each double-click.
    TJoinGame(TGamesPage& page, const TSettings& settings, TMessageBoxes& boxes, TProgramStarter& starter,
              TJoinChat chat, std::function<void()> minimizeApplication);

    // The double-click on one of the four lists; selectedRow is its selected row, -1 for none.
    void lvGamesDblClick(TGameList& Sender, int selectedRow);

    // "PRIVMSG #Lobby_20 :", the marker, and the server name without CR, LF and NUL, which
    // would otherwise end the line and let a server's name send commands as the user.
    static std::string Announcement(const std::string& serverName);

private:
    TGamesPage& page_;
    const TSettings& settings_;
    TMessageBoxes& boxes_;
    TProgramStarter& starter_;
    TJoinChat chat_;
    std::function<void()> minimize_;
};
