// SPDX-License-Identifier: GPL-3.0-or-later
// The server-time tag's parse, without timegm (missing on Windows).
#include "chat/ServerTime.h"

#include <ctime>

namespace {

bool Digits(std::string_view text, std::size_t at, std::size_t count, int& out) {
    if (at + count > text.size()) return false;
    int v = 0;
    for (std::size_t i = at; i < at + count; ++i) {
        if (text[i] < '0' || text[i] > '9') return false;
        v = v * 10 + (text[i] - '0');
    }
    out = v;
    return true;
}

// Days from 1970-01-01 to the date (proleptic Gregorian calendar).
std::int64_t DaysFromCivil(int y, int m, int d) {
    y -= m <= 2;
    const int era = (y >= 0 ? y : y - 399) / 400;
    const int yoe = y - era * 400;
    const int doy = (153 * (m + (m > 2 ? -3 : 9)) + 2) / 5 + d - 1;
    const int doe = yoe * 365 + yoe / 4 - yoe / 100 + doy;
    return static_cast<std::int64_t>(era) * 146097 + doe - 719468;
}

}  // namespace

bool ParseServerTime(std::string_view t, std::int64_t& seconds) {
    int y, mo, d, h, mi, s;
    if (!Digits(t, 0, 4, y) || t.size() < 20 || t[4] != '-' || !Digits(t, 5, 2, mo) || t[7] != '-' ||
        !Digits(t, 8, 2, d) || t[10] != 'T' || !Digits(t, 11, 2, h) || t[13] != ':' || !Digits(t, 14, 2, mi) ||
        t[16] != ':' || !Digits(t, 17, 2, s))
        return false;
    std::size_t at = 19;
    if (t[at] == '.') {
        ++at;
        const std::size_t start = at;
        while (at < t.size() && t[at] >= '0' && t[at] <= '9' && at - start < 9) ++at;
        if (at == start) return false;
    }
    if (at + 1 != t.size() || t[at] != 'Z') return false;
    if (mo < 1 || mo > 12 || d < 1 || d > 31 || h > 23 || mi > 59 || s > 60) return false;
    seconds = DaysFromCivil(y, mo, d) * 86400 + h * 3600 + mi * 60 + s;
    return true;
}

std::string LocalTimeOfDay(std::int64_t seconds) {
    const std::time_t t = static_cast<std::time_t>(seconds);
    // std::localtime, not localtime_r: Windows lacks the latter, and only this thread asks.
    const std::tm* local = std::localtime(&t);
    char text[16] = {};
    if (local) std::strftime(text, sizeof text, "%H:%M:%S", local);
    return text;
}
