// SPDX-License-Identifier: GPL-3.0-or-later
// ircparse: cuts raw IRC bytes from standard input into lines as the client does and prints
// each line's parse as one JSON object per line.
#include "chat/DataQueue.h"
#include "chat/IRCCli.h"
#include "net/PollEventLoop.h"

#include <cstdio>
#include <iostream>
#include <iterator>
#include <string>
#include <vector>

namespace {

// A JSON string of raw bytes: bytes from 0x80 up become \u00XX, as do control bytes.
std::string Json(const std::string& bytes) {
    std::string out = "\"";
    for (unsigned char c : bytes) {
        if (c == '"' || c == '\\') {
            out += '\\';
            out += static_cast<char>(c);
        } else if (c < 0x20 || c >= 0x80) {
            char buf[8];
            std::snprintf(buf, sizeof buf, "\\u%04x", c);
            out += buf;
        } else {
            out += static_cast<char>(c);
        }
    }
    return out + "\"";
}

}  // namespace

int main(int argc, char** argv) {
    if (argc > 1) {
        std::fprintf(stderr, "usage: %s < raw-irc-bytes\n", argv[0]);
        return 2;
    }
    std::string input(std::istreambuf_iterator<char>(std::cin), {});

    // The client itself handles each line, so "ignored" means exactly what yields no event
    // there; what it would send (a PING's answer) goes nowhere.
    TPollEventLoop loop;
    TIRCCli client(loop);
    client.OfflineWire = [](const std::string&) {};
    std::string json;
    client.OnServerMessage = [&json](TIRCCli& c, const std::string& prefix, const std::string& command,
                                     const std::vector<std::string>& params) {
        json = "{\"prefix\": " + Json(prefix) + ", \"command\": " + Json(command) + ", \"params\": [";
        for (std::size_t i = 0; i < params.size(); ++i) json += (i ? ", " : "") + Json(params[i]);
        const TIRCPrefixInfo& p = c.PrefixInfo();
        json += "], \"nick\": " + Json(p.Nick) + ", \"user\": " + Json(p.User) + ", \"host\": " + Json(p.Host) + "}";
    };

    TDataQueue queue;
    queue.Write(input);
    std::string line;
    while (queue.ReadLine(line)) {
        json.clear();
        const bool handled = client.HandleLine(line);
        std::cout << (handled ? json : "{\"ignored\": true}") << '\n';
    }
    return 0;
}
