// SPDX-License-Identifier: GPL-3.0-or-later
// The command line of corvanegv-query.
#include "QueryOptions.h"

#include <charconv>
#include <cmath>
#include <cstdlib>

const char* const QueryUsage =
    "Usage: corvanegv-query --server HOST:PORT [--server HOST:PORT ...] [--timeout SECONDS]\n"
    "                       [--json] [--local-port N] [--timing]\n"
    "       corvanegv-query --tracker ADDR[:BASEPORT] [--games 0,1,2,3] [--server HOST:PORT ...]\n"
    "                       [--timeout SECONDS] [--json] [--local-port N] [--timing]\n"
    "       corvanegv-query --help | --version\n"
    "\n"
    "Asks game servers for their status over UDP, the way the games page of Corvane Games\n"
    "Viewer does, and prints the rows the page would list. With --tracker it first walks the\n"
    "game tracker the way the program does and asks every server the tracker names.\n"
    "\n"
    "  --server HOST:PORT  a server to ask (IPv4 address or host name); may be repeated\n"
    "  --tracker ADDR[:BASEPORT]\n"
    "                      the game tracker: game type N is asked over TCP on BASEPORT + N\n"
    "                      (default base port 12000)\n"
    "  --games LIST        game types to walk, comma-separated: 0 FreeSpace 2, 1 Beyond the\n"
    "                      Red Line Demo, 2 Wing Commander Saga, 3 Starfox (default 0)\n"
    "  --timeout SECONDS   how long to wait for the walk and the answers (default 3); ends\n"
    "                      earlier once the walk is over and every server has answered\n"
    "  --json              print one JSON array of objects instead of a table\n"
    "  --local-port N      local UDP port to send from and receive on (default: any free one)\n"
    "  --timing            also print on standard error how long the walk and the answers took:\n"
    "                      \"corvanegv-query: listed N of M servers in MS ms\"\n"
    "  --help              show this text\n"
    "  --version           show the version\n"
    "\n"
    "Files: none. It reads no settings file; corvanegv's settings (settings.reg under\n"
    "$XDG_CONFIG_HOME/CorvaneGV or ~/.config/CorvaneGV) do not change what it asks.\n"
    "\n"
    "Exit status: 0 when the query ran (silent servers and game types the tracker gave no\n"
    "result for are named on standard error),\n"
    "2 for wrong arguments, 1 when a host cannot be resolved or the local port cannot be bound.\n";

namespace {

bool ParseInt(const std::string& text, int low, int high, int& value) {
    int v = 0;
    auto [end, ec] = std::from_chars(text.data(), text.data() + text.size(), v);
    if (text.empty() || ec != std::errc() || end != text.data() + text.size() || v < low || v > high) return false;
    value = v;
    return true;
}

// "0,2,3": each game type once, kept in code order.
bool ParseGames(const std::string& text, std::vector<int>& games) {
    bool seen[4] = {};
    std::size_t start = 0;
    while (true) {
        const auto comma = text.find(',', start);
        int g = 0;
        if (!ParseInt(text.substr(start, comma == std::string::npos ? std::string::npos : comma - start), 0, 3, g))
            return false;
        seen[g] = true;
        if (comma == std::string::npos) break;
        start = comma + 1;
    }
    games.clear();
    for (int g = 0; g < 4; ++g)
        if (seen[g]) games.push_back(g);
    return true;
}

bool ParseServer(const std::string& text, TServerArg& server) {
    const auto colon = text.rfind(':');
    if (colon == std::string::npos || colon == 0) return false;
    server.Host = text.substr(0, colon);
    return ParseInt(text.substr(colon + 1), 1, 65535, server.Port);
}

}  // namespace

bool ParseQueryOptions(const std::vector<std::string>& args, TQueryOptions& options, std::string& error) {
    for (std::size_t i = 0; i < args.size(); ++i) {
        const std::string& a = args[i];
        auto value = [&](std::string& out) {
            if (i + 1 >= args.size()) {
                error = a + " needs a value";
                return false;
            }
            out = args[++i];
            return true;
        };
        std::string v;
        if (a == "--help" || a == "-h") {
            options.Help = true;
        } else if (a == "--version") {
            options.Version = true;
        } else if (a == "--json") {
            options.Json = true;
        } else if (a == "--timing") {
            options.Timing = true;
        } else if (a == "--server") {
            if (!value(v)) return false;
            TServerArg s;
            if (!ParseServer(v, s)) {
                error = "--server wants HOST:PORT with a port from 1 to 65535, not \"" + v + "\"";
                return false;
            }
            options.Servers.push_back(s);
        } else if (a == "--tracker") {
            if (!value(v)) return false;
            std::string why;
            if (!ParseTrackerAddress(v, options.Tracker, why)) {
                error = "--tracker: " + why;
                return false;
            }
            options.UseTracker = true;
        } else if (a == "--games") {
            if (!value(v)) return false;
            if (!ParseGames(v, options.Games)) {
                error = "--games wants game type codes from 0 to 3 separated by commas, not \"" + v + "\"";
                return false;
            }
        } else if (a == "--timeout") {
            if (!value(v)) return false;
            char* end = nullptr;
            const double t = std::strtod(v.c_str(), &end);
            if (v.empty() || *end != '\0' || !std::isfinite(t) || t <= 0 || t > 3600) {
                error = "--timeout wants a number of seconds above 0 and at most 3600, not \"" + v + "\"";
                return false;
            }
            options.TimeoutSeconds = t;
        } else if (a == "--local-port") {
            if (!value(v)) return false;
            if (!ParseInt(v, 0, 65535, options.LocalPort)) {
                error = "--local-port wants a port from 0 to 65535, not \"" + v + "\"";
                return false;
            }
        } else {
            error = "unknown argument \"" + a + "\"";
            return false;
        }
    }
    if (!options.Help && !options.Version && options.Servers.empty() && !options.UseTracker) {
        error = "name at least one --server HOST:PORT or a --tracker";
        return false;
    }
    return true;
}
