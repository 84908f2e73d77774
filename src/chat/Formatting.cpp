// SPDX-License-Identifier: GPL-3.0-or-later
// Formatting codes: parsing into styled runs, the colour palette and readable contrast.
#include "chat/Formatting.h"

#include <array>
#include <cmath>

namespace {

// The usual 99-colour palette: 16 named colours, then 72 shades in 6 rows, then 11 greys.
constexpr std::array<std::uint32_t, 99> kPalette = {
    0xffffff, 0x000000, 0x00007f, 0x009300, 0xff0000, 0x7f0000, 0x9c009c, 0xfc7f00, 0xffff00, 0x00fc00,
    0x009393, 0x00ffff, 0x0000fc, 0xff00ff, 0x7f7f7f, 0xd2d2d2, 0x470000, 0x472100, 0x474700, 0x324700,
    0x004700, 0x00472c, 0x004747, 0x002747, 0x000047, 0x2e0047, 0x470047, 0x47002a, 0x740000, 0x743a00,
    0x747400, 0x517400, 0x007400, 0x007449, 0x007474, 0x004074, 0x000074, 0x4b0074, 0x740074, 0x740045,
    0xb50000, 0xb56300, 0xb5b500, 0x7db500, 0x00b500, 0x00b571, 0x00b5b5, 0x0063b5, 0x0000b5, 0x7500b5,
    0xb500b5, 0xb5006b, 0xff0000, 0xff8c00, 0xffff00, 0xb2ff00, 0x00ff00, 0x00ffa0, 0x00ffff, 0x008cff,
    0x0000ff, 0xa500ff, 0xff00ff, 0xff0098, 0xff5959, 0xffb459, 0xffff71, 0xcfff60, 0x6fff6f, 0x65ffc9,
    0x6dffff, 0x59b4ff, 0x5959ff, 0xc459ff, 0xff66ff, 0xff59bc, 0xff9c9c, 0xffd39c, 0xffff9c, 0xe2ff9c,
    0x9cff9c, 0x9cffdb, 0x9cffff, 0x9cd3ff, 0x9c9cff, 0xdc9cff, 0xff9cff, 0xff94d3, 0x000000, 0x131313,
    0x282828, 0x363636, 0x4d4d4d, 0x656565, 0x818181, 0x9f9f9f, 0xbcbcbc, 0xe2e2e2, 0xffffff,
};

bool Digit(char c) { return c >= '0' && c <= '9'; }

int HexDigit(char c) {
    if (c >= '0' && c <= '9') return c - '0';
    if (c >= 'a' && c <= 'f') return c - 'a' + 10;
    if (c >= 'A' && c <= 'F') return c - 'A' + 10;
    return -1;
}

// Up to two decimal digits at i; -1 when there are none. 99 (and nothing above 98) is the default.
int ReadNumber(std::string_view s, std::size_t& i) {
    if (i >= s.size() || !Digit(s[i])) return -2;
    int n = s[i++] - '0';
    if (i < s.size() && Digit(s[i])) n = n * 10 + (s[i++] - '0');
    return n <= 98 ? n : -1;
}

// Six hex digits at i as a palette index; -2 (nothing read) unless all six are there.
int ReadHex(std::string_view s, std::size_t& i) {
    if (i + 6 > s.size()) return -2;
    std::uint32_t v = 0;
    for (std::size_t k = 0; k < 6; ++k) {
        const int d = HexDigit(s[i + k]);
        if (d < 0) return -2;
        v = v * 16 + static_cast<std::uint32_t>(d);
    }
    i += 6;
    return NearestPaletteColour({static_cast<std::uint8_t>(v >> 16), static_cast<std::uint8_t>(v >> 8),
                                 static_cast<std::uint8_t>(v)});
}

double Luminance(TColour c) {
    auto channel = [](std::uint8_t v) {
        const double x = v / 255.0;
        return x <= 0.03928 ? x / 12.92 : std::pow((x + 0.055) / 1.055, 2.4);
    };
    return 0.2126 * channel(c.R) + 0.7152 * channel(c.G) + 0.0722 * channel(c.B);
}

double Contrast(TColour a, TColour b) {
    double la = Luminance(a), lb = Luminance(b);
    if (la < lb) std::swap(la, lb);
    return (la + 0.05) / (lb + 0.05);
}

}  // namespace

std::uint32_t TTextStyle::Key() const {
    return static_cast<std::uint32_t>(Bold) | Italic << 1 | Underline << 2 | Strike << 3 | Monospace << 4 |
           Reverse << 5 | static_cast<std::uint32_t>(Fg + 1) << 6 | static_cast<std::uint32_t>(Bg + 1) << 16;
}

std::vector<TStyledRun> ParseFormatting(std::string_view text) {
    std::vector<TStyledRun> runs;
    TTextStyle style;
    auto add = [&](std::string_view piece) {
        if (piece.empty()) return;
        if (!runs.empty() && runs.back().Style == style) runs.back().Text += piece;
        else runs.push_back({std::string(piece), style});
    };
    std::size_t start = 0, i = 0;
    while (i < text.size()) {
        const char c = text[i];
        if (c != 0x02 && c != 0x03 && c != 0x04 && c != 0x0F && c != 0x11 && c != 0x16 && c != 0x1D &&
            c != 0x1E && c != 0x1F) {
            ++i;
            continue;
        }
        add(text.substr(start, i - start));
        ++i;
        switch (c) {
        case 0x02: style.Bold = !style.Bold; break;
        case 0x1D: style.Italic = !style.Italic; break;
        case 0x1E: style.Strike = !style.Strike; break;
        case 0x1F: style.Underline = !style.Underline; break;
        case 0x11: style.Monospace = !style.Monospace; break;
        case 0x16: style.Reverse = !style.Reverse; break;
        case 0x0F: style = {}; break;
        case 0x03:
        case 0x04: {
            auto read = c == 0x03 ? ReadNumber : ReadHex;
            const int fg = read(text, i);
            if (fg == -2) {
                style.Fg = style.Bg = -1;
                break;
            }
            style.Fg = fg;
            // The comma belongs to the code only when a background follows it.
            if (i < text.size() && text[i] == ',') {
                std::size_t j = i + 1;
                const int bg = read(text, j);
                if (bg != -2) {
                    style.Bg = bg;
                    i = j;
                }
            }
            break;
        }
        }
        start = i;
    }
    add(text.substr(start));
    return runs;
}

std::string StripFormatting(std::string_view text) {
    std::string out;
    for (const TStyledRun& run : ParseFormatting(text)) out += run.Text;
    return out;
}

TColour PaletteColour(int index) {
    if (index < 0 || index >= static_cast<int>(kPalette.size())) return {};
    const std::uint32_t v = kPalette[static_cast<std::size_t>(index)];
    return {static_cast<std::uint8_t>(v >> 16), static_cast<std::uint8_t>(v >> 8), static_cast<std::uint8_t>(v)};
}

int NearestPaletteColour(TColour c) {
    int best = 0;
    long bestDistance = -1;
    for (int i = 0; i < static_cast<int>(kPalette.size()); ++i) {
        const TColour p = PaletteColour(i);
        const long dr = p.R - c.R, dg = p.G - c.G, db = p.B - c.B;
        const long d = dr * dr + dg * dg + db * db;
        if (bestDistance < 0 || d < bestDistance) {
            best = i;
            bestDistance = d;
        }
    }
    return best;
}

TColour ReadableOn(TColour text, TColour background) {
    if (Contrast(text, background) >= 3.0) return text;
    // Toward black on a light background, toward white on a dark one, in small steps.
    const double target = Luminance(background) > 0.18 ? 0.0 : 255.0;
    TColour c = text;
    for (int step = 1; step <= 10 && Contrast(c, background) < 3.0; ++step) {
        auto mix = [&](std::uint8_t v) {
            return static_cast<std::uint8_t>(std::lround(v + (target - v) * step / 10.0));
        };
        c = {mix(text.R), mix(text.G), mix(text.B)};
    }
    return c;
}
