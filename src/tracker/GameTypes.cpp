// SPDX-License-Identifier: GPL-3.0-or-later
// The state and host flag texts of a game row.
#include "tracker/GameTypes.h"

#include "tracker/GameList.h"

#include <string>

void SetGameType(std::uint8_t state, TGameRow* row) {
    if (!row) return;
    const int phase = state & 0xF8;
    const int mode = state & 0x07;
    const char* text = nullptr;
    switch (phase) {
        case 8: text = "Forming"; break;
        case 16: text = "Briefing"; break;
        case 32: text = "Debriefing"; break;
        case 64: text = "Paused"; break;
        case 128: text = "Playing"; break;
    }
    int icon = -1;
    switch (mode) {
        case 1: icon = 0; break;
        case 2: icon = 1; break;
        case 4: icon = 2; break;
    }
    if (!text || icon < 0) {
        row->Status = "#" + std::to_string(state);
        return;
    }
    row->Status = text;
    row->Icon = icon;
}

void SetHostType(std::uint8_t flags, TGameRow* row) {
    if (!row) return;
    static constexpr const char* speeds[] = {"< 56k", "56k", "ISDN", "Cable", "T1/ADSL+"};
    const int high = flags >> 4;
    const int low = flags & 0x0F;
    if (high > 4 || low > 5) {
        const std::string unknown = "#" + std::to_string(flags);
        row->Speed = row->Password = row->Dedicated = row->Campaign = unknown;
        return;
    }
    const bool password = low & 1, dedicated = low & 2, campaign = low & 4;
    row->Speed = speeds[high];
    row->Password = password ? "Yes" : "No";
    row->Dedicated = dedicated ? "Yes" : "No";
    row->Campaign = dedicated ? "-" : (campaign ? "Yes" : "No");
}
