// SPDX-License-Identifier: GPL-3.0-or-later
// The values of the user's last /PING, kept for the reply line of the server's PONG.
#pragma once

#include <chrono>
#include <cstdint>
#include <string>

struct TPingValues {
    std::string PingTarget;
    std::int64_t PingStart = 0;      // counter ticks when the last /PING was handled
    std::int64_t PingFrequency = 0;  // counter ticks per second; 0 until the first /PING
};

// A steady clock stands in for the system's high-resolution counter: ticks are nanoseconds.
inline std::int64_t PerformanceFrequency() { return 1'000'000'000; }
inline std::int64_t PerformanceCounter() {
    return std::chrono::duration_cast<std::chrono::nanoseconds>(std::chrono::steady_clock::now().time_since_epoch())
        .count();
}
