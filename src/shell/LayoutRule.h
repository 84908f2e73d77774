// SPDX-License-Identifier: GPL-3.0-or-later
// The layout rule of the game lists: headings and lists stacked in the games page's height.
#pragma once

#include <array>

struct TGameSlot {
    bool Enabled = false;
    int HeadingTop = 0;
    int ListTop = 0;
    int ListHeight = 0;
};

// Places the enabled games, in code order, in a page whose client area is pageHeight high.
// Disabled games keep their slot's old values and take no room; with none enabled nothing
// changes, so the function returns false and leaves slots as they were.
bool ApplyLayoutRule(int pageHeight, std::array<TGameSlot, 4>& slots);
