// SPDX-License-Identifier: GPL-3.0-or-later
// Formatting codes: what each does to the runs, the edge cases of colour codes, and readable colours.
#include "chat/Formatting.h"

#include <gtest/gtest.h>

namespace {

TTextStyle Colours(int fg, int bg = -1) {
    TTextStyle s;
    s.Fg = fg;
    s.Bg = bg;
    return s;
}

}  // namespace

TEST(Formatting, TogglesAndResetMakeRunsOfTheTextBetweenCodes) {
    TTextStyle bold, boldItalic, all;
    bold.Bold = true;
    boldItalic = bold;
    boldItalic.Italic = true;
    all.Underline = all.Strike = all.Monospace = all.Reverse = true;
    EXPECT_EQ(ParseFormatting("a\x02" "b\x1d" "c\x02\x1d" "d\x1f\x1e\x11\x16" "e\x0f" "f"),
              (std::vector<TStyledRun>{{"a", {}}, {"b", bold}, {"c", boldItalic}, {"d", {}}, {"e", all}, {"f", {}}}));
    // Codes with nothing between them leave no empty runs, and equal styles join.
    EXPECT_EQ(ParseFormatting("\x02\x02x\x02\x02y"), (std::vector<TStyledRun>{{"xy", {}}}));
    // Other control bytes are text, for the view to show as pictures.
    EXPECT_EQ(StripFormatting("\x01" "ACTION\x07\x02" "x\x03" "4,5y\x0f"), "\x01" "ACTION\x07xy");
    EXPECT_EQ(StripFormatting("caf\xc3\xa9\x02!"), "caf\xc3\xa9!");
}

TEST(Formatting, ColourCodesTakeAtMostTwoDigitsAndACommaOnlyBeforeABackground) {
    const std::vector<std::pair<std::string, std::vector<TStyledRun>>> cases = {
        {"\x03" "4red", {{"red", Colours(4)}}},
        {"\x03" "04,12x", {{"x", Colours(4, 12)}}},
        {"\x03" "123", {{"3", Colours(12)}}},                           // a third digit is text
        {"\x03" "4,x", {{",x", Colours(4)}}},                           // a comma without digits is text
        {"\x03" "4,5a\x03" "7b", {{"a", Colours(4, 5)}, {"b", Colours(7, 5)}}},  // the background stays
        {"\x03" "4,5a\x03" "b", {{"a", Colours(4, 5)}, {"b", {}}}},   // 03 alone ends both
        {"\x03" "99,99x", {{"x", {}}}},                               // 99: the default
        {"\x03", {}},
        {"\x04" "FF0000red\x04" "00000g,FFFFFF", {{"red", Colours(4)}, {"00000g,FFFFFF", {}}}},
        {"\x04" "ff0000,0000ffx", {{"x", Colours(4, 60)}}},
    };
    for (const auto& [text, runs] : cases) EXPECT_EQ(ParseFormatting(text), runs) << text;
}

TEST(Formatting, ColoursStayReadableOnTheirBackground) {
    const TColour white{255, 255, 255}, black{0, 0, 0};
    EXPECT_EQ(ReadableOn({0, 0, 127}, white), (TColour{0, 0, 127})) << "readable colours are kept";
    for (int i = 0; i < 99; ++i) {
        for (TColour bg : {white, black, PaletteColour(i)}) {
            const TColour fg = ReadableOn(PaletteColour(i), bg);
            const TColour again = ReadableOn(fg, bg);
            EXPECT_EQ(fg, again) << "readable after one pass: " << i;
        }
    }
    EXPECT_NE(ReadableOn(white, white), white);
    EXPECT_NE(ReadableOn(PaletteColour(8), white), PaletteColour(8)) << "yellow on white";
    EXPECT_EQ(NearestPaletteColour({250, 2, 3}), 4);
}
