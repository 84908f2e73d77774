// SPDX-License-Identifier: GPL-3.0-or-later
// Formatting codes in chat text (bold, colours, italics and the rest): runs of text with a style.
#pragma once

#include "chat/ChatLine.h"

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

struct TTextStyle {
    bool Bold = false, Italic = false, Underline = false, Strike = false, Monospace = false, Reverse = false;
    // An index into the 99-colour palette, or -1 for the line's own colour (the view's
    // background for Bg). Hex colours are taken to their nearest palette entry, so a line can
    // only ever name one of a fixed set of colours.
    int Fg = -1, Bg = -1;
    bool operator==(const TTextStyle&) const = default;
    // The style packed in 26 bits, for callers that count the distinct styles they show.
    std::uint32_t Key() const;
};

struct TStyledRun {
    std::string Text;  // the bytes as they came, the codes taken out
    TTextStyle Style;
    bool operator==(const TStyledRun&) const = default;
};

// The codes: 02 bold, 03 colour (up to two digits, then optionally a comma and up to two digits
// of background; 03 alone ends the colours; 99 is the default colour), 04 hex colour (six hex
// digits, optionally ",RRGGBB"; 04 alone ends the colours), 0F resets everything, 11 monospace,
// 16 reverse, 1D italic, 1E strike, 1F underline; each toggle code switches its style. Every
// other byte, other control bytes too, is text. Runs are never empty, and adjacent runs differ
// in style. The codes are ASCII, so a UTF-8 sequence is never cut.
std::vector<TStyledRun> ParseFormatting(std::string_view text);

// The text without its codes: what logs, notifications, tab labels and completion show.
std::string StripFormatting(std::string_view text);

// Palette entry 0 (white) to 98; black for anything else.
TColour PaletteColour(int index);
// The palette entry nearest to an RGB colour.
int NearestPaletteColour(TColour colour);
// The colour, darkened or lightened as little as needed to read on the background (a contrast
// ratio of at least 3): white text on a white view is not a way to hide a line.
TColour ReadableOn(TColour text, TColour background);
