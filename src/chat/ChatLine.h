// SPDX-License-Identifier: GPL-3.0-or-later
// The line classes of the chat views and the interface through which chat logic writes to a view.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>

struct TColour {
    std::uint8_t R = 0, G = 0, B = 0;
    bool operator==(const TColour&) const = default;
};

enum class TFontStyle { Regular, Bold };

struct TLineClass {
    TFontStyle Style;
    TColour Colour;
};

// Every writer takes its style and colour from here, so that the whole chat looks alike.
namespace LineClass {
inline constexpr TLineClass Status{TFontStyle::Regular, {0, 0, 127}};
inline constexpr TLineClass Info{TFontStyle::Regular, {64, 64, 64}};
inline constexpr TLineClass Error{TFontStyle::Bold, {64, 64, 64}};
inline constexpr TLineClass Event{TFontStyle::Regular, {0, 147, 0}};
inline constexpr TLineClass Ping{TFontStyle::Regular, {255, 0, 0}};
inline constexpr TLineClass Talk{TFontStyle::Regular, {0, 0, 0}};
inline constexpr TLineClass Action{TFontStyle::Bold, {0, 0, 0}};
}  // namespace LineClass

// A chat view: it only ever grows at its end, and only the selected tab's view is visible.
class TMessageView {
public:
    virtual ~TMessageView() = default;
    // Appends text as a new line in the style and colour and brings the newest line into
    // sight. CR LF (or a lone CR or LF) inside text starts a further line. May throw.
    virtual void AppendLine(const std::string& text, TFontStyle style, TColour colour) = 0;
    // The same for a line that names the user, drawn marked; a view that cannot mark a line
    // shows it plain.
    virtual void AppendMarkedLine(const std::string& text, TFontStyle style, TColour colour) {
        AppendLine(text, style, colour);
    }
    // A line naming a game server at [nameStart, nameStart + nameLength) of text (a friend
    // went to play there): a view may make the name a link that joins the game. A view
    // without such links shows the line plain.
    virtual void AppendGameLine(const std::string& text, std::size_t nameStart, std::size_t nameLength,
                                TFontStyle style, TColour colour) {
        (void)nameStart;
        (void)nameLength;
        AppendLine(text, style, colour);
    }
    virtual void SetVisible(bool visible) = 0;
};
