// SPDX-License-Identifier: GPL-3.0-or-later
// TChatView: a read-only chat view that appends plain-text lines in a style and colour and marks links.
#pragma once

#include "chat/ChatLine.h"
#include "chat/Formatting.h"

#include <QColor>
#include <QPlainTextEdit>
#include <QTextCursor>

#include <functional>
#include <string>
#include <unordered_set>
#include <vector>

class QPushButton;

class TChatView : public QPlainTextEdit, public TMessageView {
    Q_OBJECT
public:
    explicit TChatView(QWidget* parent = nullptr);
    ~TChatView() override;

    // Text is inserted as plain text with a character format, never read as markup. Bytes are
    // taken as UTF-8 when they are valid UTF-8 and as Latin-1 otherwise; formatting codes
    // become styles and colours (see Formatting.h), other control characters but tab show as
    // their visible pictures, bidirectional controls as marks, and
    // every line reads left to right. The user's own selection is kept.
    void AppendLine(const std::string& text, TFontStyle style, TColour colour) override;
    // The line on a background of its own across the view's width.
    void AppendMarkedLine(const std::string& text, TFontStyle style, TColour colour) override;
    // The server name becomes a game link: shown as the text around it is, never read as an
    // address, and handed back byte for byte when clicked.
    void AppendGameLine(const std::string& text, std::size_t nameStart, std::size_t nameLength, TFontStyle style,
                        TColour colour) override;
    void SetVisible(bool visible) override { setVisible(visible); }
    // Lines appended since the view was made; it keeps only the newest kMaxLines of them.
    int LineCount() const { return lines_; }
    // The first few lines of a turn of the loop are shown at once; the rest, and every line of
    // a hidden view, reach the document together when the loop turns (or every kBatchLines).
    // Laying out and scrolling once per batch instead of once per line is what lets the view
    // keep up with a flood. Flush shows them now.
    void Flush();
    // About 11 MB of text and layout per full view of 45-byte lines: a whole evening of a busy
    // channel, while a flood or a long night cannot grow the program without bound. The views'
    // shared budget (TChatViewBudget) may hold a hidden view lower.
    static constexpr int kMaxLines = 10000;

    // Formatting codes become styles and colours, or are only taken out, as the setting read
    // here says when each line is shown (on when none is given). One setting for every view;
    // lines already shown stay as they are.
    static void SetShowFormatting(const bool* setting);
    // A document keeps every format it was ever given, so the distinct styles all views show
    // are limited together; past the limit a new style shows as its line's plain text.
    // Ordinary chat uses a few dozen; each costs a few KB of formats.
    static constexpr int kMaxStyles = 2048;
    int StylesUsed() const { return static_cast<int>(styles_.size()); }

    // Scrolled back, the view stays where the user is reading and this mark says that newer
    // lines came; a click on it, or scrolling to the end, returns to following the newest.
    QPushButton* NewLinesMark() const { return mark_; }

    struct TLinkHit {
        int Start = -1;  // document position, inclusive
        int End = -1;    // exclusive
        QString Text;
        bool Game = false;  // a game link; Server holds the name as it came
        std::string Server{};
        bool Valid() const { return Start >= 0; }
    };
    // The link under a point of the viewport, if any.
    TLinkHit LinkAt(const QPoint& viewportPos) const;
    // Selects the link's copied part (a mailto: link without its scheme) and copies it.
    void CopyLink(const TLinkHit& link);

    // Left button released on a link: the owner gives the input line the focus and opens it.
    std::function<void(TChatView& sender, const std::string& link)> OnLinkClick;
    // Left button released on a game link, with the server name.
    std::function<void(TChatView& sender, const std::string& server)> OnGameLinkClick;

protected:
    void mousePressEvent(QMouseEvent* event) override;
    void mouseReleaseEvent(QMouseEvent* event) override;
    void mouseMoveEvent(QMouseEvent* event) override;
    void contextMenuEvent(QContextMenuEvent* event) override;
    void showEvent(QShowEvent* event) override;
    void resizeEvent(QResizeEvent* event) override;

private:
    static constexpr int kImmediateLines = 8;
    static constexpr std::size_t kBatchLines = 1000;
    struct TSpan {
        std::size_t Start, Length;
    };
    void TurnEnded();
    void Append(const std::string& text, TFontStyle style, TColour colour, bool marked, TSpan game = {0, 0});
    void Insert(QTextCursor& cursor, const std::string& text, TFontStyle style, TColour colour, bool marked,
                TSpan game);
    void InsertFormatted(QTextCursor& cursor, std::string_view text, const QTextCharFormat& line, TColour colour,
                         bool marked, int& links);
    QTextCharFormat RunFormat(const QTextCharFormat& line, TColour colour, bool marked, const TTextStyle& style);
    void PlaceMark();

    struct TPending {
        std::string Text;
        TFontStyle Style;
        TColour Colour;
        bool Marked;
        TSpan Game;
    };
    std::vector<TPending> pending_;
    int lines_ = 0;
    int turnLines_ = 0;  // lines appended since the loop last turned
    bool started_ = false;  // the first line goes into the document's first block
    int pressedLink_ = -1;  // start of the link the left button went down on
    std::unordered_set<std::uint64_t> styles_;  // the styles this view's formats were made for
    QPushButton* mark_ = nullptr;
};

// The background of a line that names the user, and the label colour of a tab holding one unread.
inline const QColor MarkedLineBackground(255, 234, 150);
inline const QColor HighlightTabColour(192, 0, 0);

// The same conversion AppendLine uses, for callers that show chat bytes elsewhere (names,
// tab labels): bidirectional controls become visible marks such as "\u2039RLO\u203A".
QString ChatText(const std::string& bytes);
// Only the decoding (UTF-8, else Latin-1), for text the user edits and sends back.
QString DecodeChatBytes(const std::string& bytes);
