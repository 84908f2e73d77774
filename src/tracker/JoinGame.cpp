// SPDX-License-Identifier: GPL-3.0-or-later
// TJoinGame: the ten steps of a double-click on a game row, and their pure helpers.
#include "tracker/JoinGame.h"

#include <exception>

namespace {

bool IsBlank(char c) { return c == ' ' || c == '\t' || c == '\r' || c == '\n' || c == '\v' || c == '\f'; }
bool IsDigit(char c) { return c >= '0' && c <= '9'; }

// Digits only, no leading zero, value at most max.
bool IsDecimal(std::string_view s, std::size_t maxDigits, long max) {
    if (s.empty() || s.size() > maxDigits || (s.size() > 1 && s[0] == '0')) return false;
    long v = 0;
    for (char c : s) {
        if (!IsDigit(c)) return false;
        v = v * 10 + (c - '0');
    }
    return v <= max;
}

struct TGameCommand {
    std::string Path, Extra;
};

TGameCommand CommandOf(const TSettings& s, int gameType) {
    switch (gameType) {
        case gtFS: return {s.FSPath, s.FSCmd};
        case gtBtRL: return {s.BtRLPath, s.BtRLCmd};
        case gtWCS: return {s.WCSPath, s.WCSCmd};
        default: return {s.StarfoxPath, s.StarfoxCmd};
    }
}

}  // namespace

std::vector<std::string> SplitParameters(const std::string& text) {
    std::vector<std::string> args;
    std::string word;
    bool inWord = false;  // a quoted empty stretch still makes an argument
    char quote = 0;
    for (char c : text) {
        // An argument cannot carry NUL to the program.
        if (c == '\0') continue;
        if (quote) {
            if (c == quote)
                quote = 0;
            else
                word += c;
        } else if (c == '"' || c == '\'') {
            quote = c;
            inWord = true;
        } else if (IsBlank(c)) {
            if (inWord) args.push_back(std::move(word));
            word.clear();
            inWord = false;
        } else {
            word += c;
            inWord = true;
        }
    }
    if (inWord) args.push_back(std::move(word));
    return args;
}

std::string WorkingDirectoryOf(const std::string& path) {
#ifdef _WIN32
    constexpr std::string_view separators = "\\/";
#else
    constexpr std::string_view separators = "/";
#endif
    const auto last = path.find_last_of(separators);
    if (last == std::string::npos) {
#ifdef _WIN32
        // "C:game.exe" lies in the drive's current folder.
        if (path.size() >= 2 && path[1] == ':') return path.substr(0, 2);
#endif
        return {};
    }
    const auto end = path.find_last_not_of(separators, last);
    if (end == std::string::npos) return path.substr(0, 1);
#ifdef _WIN32
    if (path[end] == ':') return path.substr(0, end + 2);  // a drive root keeps its separator
#endif
    return path.substr(0, end + 1);
}

bool IsDottedIPv4(const std::string& text) {
    std::string_view rest = text;
    for (int part = 0; part < 4; ++part) {
        const auto dot = rest.find('.');
        const bool last = part == 3;
        if (last != (dot == std::string_view::npos)) return false;
        if (!IsDecimal(rest.substr(0, dot), 3, 255)) return false;
        if (!last) rest.remove_prefix(dot + 1);
    }
    return true;
}

bool IsPortNumber(const std::string& text) { return IsDecimal(text, 5, 65535) && text != "0"; }

std::vector<std::string> GameArguments(const std::string& address, const std::string& port,
                                       const std::string& extraParameters) {
    std::vector<std::string> args{"-connect", address + ":" + port};
    for (std::string& a : SplitParameters(extraParameters)) args.push_back(std::move(a));
    return args;
}

std::string StartFailedError(const std::string& program, const std::string& reason) {
    return "Couldn't start " + program + ":\r\n" + reason + ".";
}

std::string TJoinGame::Announcement(const std::string& serverName) {
    std::string line = "PRIVMSG " + std::string(Channel) + " :" + std::string(Marker);
    for (char c : serverName)
        if (c != '\r' && c != '\n' && c != '\0') line += c;
    return line;
}

TJoinGame::TJoinGame(TGamesPage& page, const TSettings& settings, TMessageBoxes& boxes, TProgramStarter& starter,
                     TJoinChat chat, std::function<void()> minimizeApplication)
    : page_(page), settings_(settings), boxes_(boxes), starter_(starter), chat_(std::move(chat)),
      minimize_(std::move(minimizeApplication)) {}

void TJoinGame::lvGamesDblClick(TGameList& Sender, int selectedRow) {
    // 1. The game type of the list; a list that is none of the first three is Starfox's.
    const int type = page_.GameTypeOf(Sender);
    const TGameCommand command = CommandOf(settings_, type < 0 ? gtStarfox : type);

    // 2.
    if (selectedRow < 0 || selectedRow >= Sender.Count()) return;
    // Copies: the question's modal loop goes on handling status replies and sweeps, which may
    // change the row or delete it.
    const TGameRow& row = Sender.Row(selectedRow);
    const std::string status = row.Status, serverName = row.Server, address = row.Address(), port = row.Port();
    // The address and port are a datagram's sender; anything else is never handed to a game.
    if (!IsDottedIPv4(address) || !IsPortNumber(port)) return;

    // 3.
    if (status != "Forming" && boxes_.Show(NotFormingQuestion, ApplicationTitle, TMsgIcon::Warning,
                                           TMsgButtons::YesNo, TMsgDefault::Second) != TMsgResult::Yes)
        return;

    // 4. A Windows program with nothing to run it is as good as missing: say so before the
    // window goes away and the lobby hears of a game that never starts.
    switch (command.Path.empty() ? TStartable::Missing : starter_.CanStart(command.Path)) {
        case TStartable::Missing:
            boxes_.Show(MissingExecutableError, ApplicationTitle, TMsgIcon::Error, TMsgButtons::Ok);
            return;
        case TStartable::NeedsWine:
            boxes_.Show(StartFailedError(command.Path, NoWineReason), ApplicationTitle, TMsgIcon::Error,
                        TMsgButtons::Ok);
            return;
        case TStartable::Yes: break;
    }

    // 8 to 10 come first: only a game that did start hides the window and is announced.
    const TStartResult started =
        starter_.TryStart(command.Path, GameArguments(address, port, command.Extra), WorkingDirectoryOf(command.Path));
    if (!started.Started) {
        boxes_.Show(StartFailedError(command.Path, started.Reason), ApplicationTitle, TMsgIcon::Error, TMsgButtons::Ok);
        return;
    }

    // 5.
    if (minimize_) minimize_();

    // 6 and 9: the parameter tail is the split extra parameters (GameArguments).
    // 7. A failed announcement must not cost the user the game: it is reported after the start.
    std::exception_ptr announceError;
    if (chat_.Connected && chat_.SendLine && chat_.Connected()) {
        try {
            chat_.SendLine(Announcement(serverName));
        } catch (...) {
            announceError = std::current_exception();
        }
    }

    if (announceError) std::rethrow_exception(announceError);
}
