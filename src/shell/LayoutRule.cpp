// SPDX-License-Identifier: GPL-3.0-or-later
// The layout rule of the game lists.
#include "shell/LayoutRule.h"

bool ApplyLayoutRule(int pageHeight, std::array<TGameSlot, 4>& slots) {
    int n = 0;
    for (const auto& s : slots) n += s.Enabled ? 1 : 0;
    if (n == 0) return false;
    // C++ division truncates towards zero, as the rule asks, also for a page too small to fit.
    const int slot = (pageHeight - 26) / n;
    const int h = slot - 16;
    int y = 4;
    for (auto& s : slots) {
        if (!s.Enabled) continue;
        s.HeadingTop = y;
        s.ListTop = y + 16;
        s.ListHeight = h;
        y += 16 + h + 2;
    }
    return true;
}
