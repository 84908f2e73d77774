// SPDX-License-Identifier: GPL-3.0-or-later
// Where the game tracker is: the per-game-type port and the --tracker option's value.
#include "tracker/TrackerAddress.h"

#include <charconv>

std::string TrackerPortText(const TTrackerAddress& tracker, const std::string& gameTypeCode) {
    int offset = 0;
    if (gameTypeCode == "1") offset = 1;
    else if (gameTypeCode == "2") offset = 2;
    else if (gameTypeCode == "3") offset = 3;
    return std::to_string(tracker.BasePort + offset);
}

bool ParseTrackerAddress(const std::string& text, TTrackerAddress& tracker, std::string& error) {
    TTrackerAddress parsed{text, DefaultTrackerBasePort};
    const auto colon = text.rfind(':');
    if (colon != std::string::npos) {
        parsed.Addr = text.substr(0, colon);
        const std::string port = text.substr(colon + 1);
        int value = 0;
        auto [end, ec] = std::from_chars(port.data(), port.data() + port.size(), value);
        if (port.empty() || ec != std::errc() || end != port.data() + port.size() || value < 1 || value > 65532) {
            error = "the tracker's base port must be a number from 1 to 65532, not \"" + port + "\"";
            return false;
        }
        parsed.BasePort = value;
    }
    if (!IsHostOrIPv4(parsed.Addr)) {
        error = "the tracker needs an address, as in 127.0.0.1:12000, not \"" + text + "\"";
        return false;
    }
    tracker = parsed;
    return true;
}

bool IsHostOrIPv4(const std::string& text) {
    if (text.empty() || text.size() > 253) return false;
    std::size_t label = 0;
    char previous = '.';
    for (char c : text) {
        const bool alnum = (c >= '0' && c <= '9') || (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z');
        if (c == '.') {
            if (label == 0 || previous == '-') return false;
            label = 0;
        } else if (alnum || (c == '-' && label > 0)) {
            if (++label > 63) return false;
        } else {
            return false;
        }
        previous = c;
    }
    // A trailing dot (the root) is allowed; a trailing hyphen is not.
    return previous != '-';
}
