// SPDX-License-Identifier: GPL-3.0-or-later
// The server-time tag: "2026-12-09T05:30:00.123Z" to seconds since 1970, and back to a time of day.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>

// False for anything but a UTC time in that form (fractions optional).
bool ParseServerTime(std::string_view text, std::int64_t& seconds);

// The local time of day of seconds since 1970, "14:05:09".
std::string LocalTimeOfDay(std::int64_t seconds);
