// The program's command line: FindSwitch and the options.
#include "shell/CommandLine.h"

#include <QString>

#include <charconv>

const char* const CommandLineUsage =
    "usage: corvanegv [-developer] [--tracker ADDR[:BASEPORT]] [--chat-server HOST[:PORT]]\n"
    "                 [--config-dir DIR] [--help] [--version]\n"
    "  -developer               show the UDPCheck button, no automatic chat connect, no quit\n"
    "                           question, every chat server message in the server view\n"
    "  --tracker ADDR[:BASEPORT]  game tracker (IPv4 address or host name) for this run over\n"
    "                           the one set under Settings; game type N is asked on\n"
    "                           BASEPORT + N (default BASEPORT 12000)\n"
    "  --chat-server HOST[:PORT]  chat server (default port 6667)\n"
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
            int port = 6667;
            bool hasPort = false;
            if (!SplitHostPort(value, line.ChatHost, port, hasPort)) {
                error = "--chat-server: expected HOST[:PORT], got '" + value + "'";
                return false;
            }
            line.ChatPort = std::to_string(port);
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
