// The command line of corvanegv-query.
#include "QueryOptions.h"

#include <charconv>
#include <cmath>
#include <cstdlib>

const char* const QueryUsage =
    "Usage: corvanegv-query --server HOST:PORT [--server HOST:PORT ...] [--timeout SECONDS]\n"
    "                       [--json] [--local-port N]\n"
    "\n"
    "Asks game servers for their status over UDP, the way the games page of Corvane Games\n"
    "Viewer does, and prints the rows the page would list.\n"
    "\n"
    "  --server HOST:PORT  a server to ask (IPv4 address or host name); may be repeated\n"
    "  --timeout SECONDS   how long to wait for answers (default 3); ends earlier once every\n"
    "                      server has answered\n"
    "  --json              print one JSON array of objects instead of a table\n"
    "  --local-port N      local UDP port to send from and receive on (default: any free one)\n"
    "  --help              show this text\n"
    "\n"
    "Exit status: 0 when the query ran (silent servers are named on standard error),\n"
    "2 for wrong arguments, 1 when a host cannot be resolved or the local port cannot be bound.\n";

namespace {

bool ParseInt(const std::string& text, int low, int high, int& value) {
    int v = 0;
    auto [end, ec] = std::from_chars(text.data(), text.data() + text.size(), v);
    if (text.empty() || ec != std::errc() || end != text.data() + text.size() || v < low || v > high) return false;
    value = v;
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
        } else if (a == "--json") {
            options.Json = true;
        } else if (a == "--server") {
            if (!value(v)) return false;
            TServerArg s;
            if (!ParseServer(v, s)) {
                error = "--server wants HOST:PORT with a port from 1 to 65535, not \"" + v + "\"";
                return false;
            }
            options.Servers.push_back(s);
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
    if (!options.Help && options.Servers.empty()) {
        error = "name at least one --server HOST:PORT";
        return false;
    }
    return true;
}
