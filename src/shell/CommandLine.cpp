// SPDX-License-Identifier: GPL-3.0-or-later
// The program's command line: FindSwitch and the options.
#include "shell/CommandLine.h"

#include <QString>

#include <charconv>

const char* const CommandLineUsage =
    "usage: corvanegv [-developer] [--tracker ADDR[:BASEPORT]] [--chat-server SERVER]\n"
    "                 [--config-dir DIR] [--help] [--version]\n"
    "  -developer               show the UDPCheck button, no automatic chat connect, no quit\n"
    "                           question, every chat server message in the server view\n"
    "  --tracker ADDR[:BASEPORT]  game tracker (IPv4 address or host name) for this run over\n"
    "                           the one set under Settings; game type N is asked on\n"
    "                           BASEPORT + N (default BASEPORT 12000)\n"
    "  --chat-server SERVER     chat server for this run, instead of the one in the settings:\n"
    "                           ircs://HOST[:PORT]  TLS (default port 6697)\n"
    "                           irc://HOST[:PORT] or HOST[:PORT]  plain text (default 6667)\n"
    "                           (built in: ircs://irc.libera.chat:6697)\n"
    "  --config-dir DIR         keep the settings in DIR/settings.reg\n"
    "  --help                   this text\n"
    "  --version                the program's version\n";

std::string HelpText(const std::string& settingsFile, const std::string& soundFile) {
    std::string text = CommandLineUsage;
    text += "\nfiles:\n  settings       ";
    text += settingsFile.empty() ? "none (set HOME or XDG_CONFIG_HOME, or give --config-dir)" : settingsFile;
    text += "\n                 a Windows registry export (regedit .reg file) of the key\n"
            "                 HKEY_LOCAL_MACHINE\\Software\\Volition\\FreeSpace2\\CorvaneGV\n"
            "  message sound  ";
    text += soundFile.empty() ? "new_msg.wav not found" : soundFile;
    text += "\n";
    return text;
}

int FindSwitch(const std::vector<std::string>& args, std::string_view sw) {
    const QString wanted = QString::fromLocal8Bit(sw.data(), static_cast<qsizetype>(sw.size())).toCaseFolded();
    for (std::size_t i = args.size(); i-- > 1;) {
        if (QString::fromLocal8Bit(args[i].data(), static_cast<qsizetype>(args[i].size())).toCaseFolded() == wanted)
            return static_cast<int>(i);
    }
    return -1;
}

namespace {

bool ParsePort(std::string_view text, int& port) {
    int value = 0;
    auto [end, ec] = std::from_chars(text.data(), text.data() + text.size(), value);
    if (ec != std::errc() || end != text.data() + text.size() || value < 1 || value > 65535) return false;
    port = value;
    return true;
}

// HOST[:PORT]; the port part is optional.
bool SplitHostPort(const std::string& text, std::string& host, int& port, bool& hasPort) {
    const auto colon = text.rfind(':');
    hasPort = colon != std::string::npos;
    host = hasPort ? text.substr(0, colon) : text;
    if (host.empty()) return false;
    return !hasPort || ParsePort(std::string_view(text).substr(colon + 1), port);
}

}  // namespace

bool ParseChatServer(const std::string& text, std::string& host, std::string& port, bool& tls, std::string& error) {
    std::string rest = text;
    bool secure = false;
    const auto scheme = rest.find("://");
    if (scheme != std::string::npos) {
        const QString name = QString::fromStdString(rest.substr(0, scheme)).toLower();
        if (name == "ircs") secure = true;
        else if (name != "irc") {
            error = "unknown scheme '" + rest.substr(0, scheme) + "' (ircs:// or irc://)";
            return false;
        }
        rest = rest.substr(scheme + 3);
        // A trailing slash (and a channel after it, as in irc://host/channel) names no server.
        if (const auto slash = rest.find('/'); slash != std::string::npos) rest.resize(slash);
    }
    std::string h;
    int number = 0;
    bool hasPort = false;
    if (!SplitHostPort(rest, h, number, hasPort) || h.find_first_of(" /@") != std::string::npos) {
        error = "expected ircs://HOST[:PORT], irc://HOST[:PORT] or HOST[:PORT], got '" + text + "'";
        return false;
    }
    host = h;
    port = hasPort ? std::to_string(number) : (secure ? TlsChatPort : PlainChatPort);
    tls = secure;
    return true;
}

bool ParseCommandLine(const std::vector<std::string>& args, TCommandLine& line, std::string& error) {
    line.Developer = FindSwitch(args, "-developer") != -1;
    for (std::size_t i = 1; i < args.size(); ++i) {
        std::string a = args[i];
        std::string value;
        bool hasValue = false;
        if (a.rfind("--", 0) == 0) {
            if (auto eq = a.find('='); eq != std::string::npos) {
                value = a.substr(eq + 1);
                a.resize(eq);
                hasValue = true;
            }
        }
        auto take = [&]() -> bool {
            if (hasValue) return true;
            if (i + 1 >= args.size()) {
                error = a + " needs a value";
                return false;
            }
            value = args[++i];
            return true;
        };
        if (a == "--help" || a == "-h") {
            line.Help = true;
        } else if (a == "--version") {
            line.Version = true;
        } else if (a == "--tracker") {
            if (!take()) return false;
            if (!ParseTrackerAddress(value, line.Tracker, error)) {
                error = "--tracker: " + error;
                return false;
            }
            line.TrackerGiven = true;
        } else if (a == "--chat-server") {
            if (!take()) return false;
            if (!ParseChatServer(value, line.ChatHost, line.ChatPort, line.ChatTls, error)) {
                error = "--chat-server: " + error;
                return false;
            }
            line.ChatServerGiven = true;
        } else if (a == "--config-dir") {
            if (!take()) return false;
            if (value.empty()) {
                error = "--config-dir needs a folder";
                return false;
            }
            line.ConfigDir = value;
        }
    }
    return true;
}
