// SPDX-License-Identifier: GPL-3.0-or-later
// TChatView: appending styled plain-text lines with links, staying at the newest line, link clicks.
#include "shell/ChatView.h"

#include "chat/Links.h"

#include <QApplication>
#include <QClipboard>
#include <QContextMenuEvent>
#include <QMouseEvent>
#include <QPushButton>
#include <QScrollBar>
#include <QStringDecoder>
#include <QTextBlock>
#include <QTextCursor>
#include <QTextDocument>

namespace {

// A document keeps every distinct format it was ever given, also after the cap drops the
// lines that used it; so formats never hold what differs from line to line. A link's format
// carries only its parity within the line (two links side by side stay two fragments), and
// the fragment's text is the link.
constexpr int kLinkProperty = QTextFormat::UserProperty + 1;
// Marks a game link; the server name itself rides in the line's block data.
constexpr int kGameProperty = QTextFormat::UserProperty + 2;

// A game link's server name, as the bytes that came (what is shown may differ from them).
// Block data is deleted with its line.
struct TGameLineData : QTextBlockUserData {
    explicit TGameLineData(std::string server) : Server(std::move(server)) {}
    std::string Server;
};

QTextCharFormat LineFormat(TFontStyle style, TColour colour) {
    QTextCharFormat f;
    f.setForeground(QColor(colour.R, colour.G, colour.B));
    f.setFontWeight(style == TFontStyle::Bold ? QFont::Bold : QFont::Normal);
    return f;
}

const bool* showFormattingSetting = nullptr;
bool ShowFormatting() { return !showFormattingSetting || *showFormattingSetting; }
int stylesInUse = 0;  // over all views

QColor Colour(TColour c) { return QColor(c.R, c.G, c.B); }
TColour Colour(const QColor& c) {
    return {static_cast<std::uint8_t>(c.red()), static_cast<std::uint8_t>(c.green()), static_cast<std::uint8_t>(c.blue())};
}

// The link colour, kept readable on a coloured background.
QTextCharFormat LinkFormat(QTextCharFormat f, int parity, TColour background) {
    f.setForeground(Colour(ReadableOn({0, 0, 255}, background)));
    f.setFontUnderline(true);
    f.setProperty(kLinkProperty, parity & 1);
    return f;
}

QTextCharFormat GameFormat(QTextCharFormat f) {
    f.setFontUnderline(true);
    f.setProperty(kGameProperty, true);
    return f;
}

QString Visible(QString s) {
    for (QChar& c : s)
        if (c.unicode() < 0x20 && c != u'\t') c = QChar(0x2400 + c.unicode());
        else if (c.unicode() == 0x7F) c = QChar(0x2421);
    return s;
}

// The abbreviation of a bidirectional control (see BidiControlLength), null for other characters.
const char* BidiName(char16_t c) {
    switch (c) {
    case 0x061C: return "ALM";
    case 0x200E: return "LRM";
    case 0x200F: return "RLM";
    case 0x202A: return "LRE";
    case 0x202B: return "RLE";
    case 0x202C: return "PDF";
    case 0x202D: return "LRO";
    case 0x202E: return "RLO";
    case 0x2066: return "LRI";
    case 0x2067: return "RLI";
    case 0x2068: return "FSI";
    case 0x2069: return "PDI";
    default: return nullptr;
    }
}

// Bidirectional controls as visible marks, so that a stranger's text cannot reorder itself
// to disguise a link or pass for another name.
QString ShowBidiControls(const QString& s) {
    QString out;
    for (QChar c : s) {
        if (const char* name = BidiName(c.unicode())) {
            if (out.isEmpty() && !s.isEmpty()) out.reserve(s.size() + 8);
            out += QChar(0x2039);
            out += QLatin1String(name);
            out += QChar(0x203A);
        } else {
            out += c;
        }
    }
    return out;
}

// Splits text at CR LF, lone CR and lone LF.
std::vector<std::string_view> SplitLines(std::string_view text) {
    std::vector<std::string_view> lines;
    std::size_t start = 0;
    for (std::size_t i = 0; i < text.size(); ++i) {
        if (text[i] != '\r' && text[i] != '\n') continue;
        lines.push_back(text.substr(start, i - start));
        if (text[i] == '\r' && i + 1 < text.size() && text[i + 1] == '\n') ++i;
        start = i + 1;
    }
    lines.push_back(text.substr(start));
    return lines;
}

// Inserts a piece of a line, its addresses marked as links.
// links counts the line's links so far.
void InsertWithLinks(QTextCursor& cursor, std::string_view text, const QTextCharFormat& format, int& links,
                     TColour background) {
    // Links end before an ASCII delimiter, so cutting there never splits a UTF-8 sequence.
    // They hold no control or bidirectional control: what is shown is what was sent.
    std::size_t done = 0;
    for (const TLinkSpan& link : FindLinks(text)) {
        if (link.Start > done) cursor.insertText(Visible(ChatText(std::string(text.substr(done, link.Start - done)))), format);
        cursor.insertText(ChatText(std::string(text.substr(link.Start, link.Length))), LinkFormat(format, links++, background));
        done = link.Start + link.Length;
    }
    if (done < text.size()) cursor.insertText(Visible(ChatText(std::string(text.substr(done)))), format);
}

}  // namespace

QString DecodeChatBytes(const std::string& bytes) {
    QStringDecoder utf8(QStringDecoder::Utf8, QStringDecoder::Flag::Stateless);
    QString text = utf8.decode(QByteArrayView(bytes.data(), static_cast<qsizetype>(bytes.size())));
    if (utf8.hasError()) text = QString::fromLatin1(bytes.data(), static_cast<qsizetype>(bytes.size()));
    return text;
}

QString ChatText(const std::string& bytes) { return ShowBidiControls(DecodeChatBytes(bytes)); }

void TChatView::SetShowFormatting(const bool* setting) { showFormattingSetting = setting; }

TChatView::TChatView(QWidget* parent) : QPlainTextEdit(parent) {
    setReadOnly(true);
    // Undo history would keep a second copy of everything ever shown.
    setUndoRedoEnabled(false);
    // The oldest lines go first; cursors (the user's selection among them) move with the text.
    setMaximumBlockCount(kMaxLines);
    setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOn);
    setTextInteractionFlags(Qt::TextSelectableByMouse | Qt::TextSelectableByKeyboard);
    setMouseTracking(true);
    viewport()->setMouseTracking(true);
    mark_ = new QPushButton("new lines below", this);
    mark_->setObjectName("newLinesMark");
    mark_->setCursor(Qt::PointingHandCursor);
    mark_->hide();
    connect(mark_, &QPushButton::clicked, this, [this] {
        verticalScrollBar()->setValue(verticalScrollBar()->maximum());
        mark_->hide();
    });
    connect(verticalScrollBar(), &QScrollBar::valueChanged, this, [this](int value) {
        if (value >= verticalScrollBar()->maximum()) mark_->hide();
    });
}

TChatView::~TChatView() { stylesInUse -= static_cast<int>(styles_.size()); }

void TChatView::PlaceMark() {
    const QRect vp = viewport()->geometry();
    const QSize size = mark_->sizeHint();
    mark_->setGeometry(vp.left() + (vp.width() - size.width()) / 2, vp.bottom() - size.height() - 4, size.width(),
                       size.height());
}

void TChatView::resizeEvent(QResizeEvent* event) {
    QPlainTextEdit::resizeEvent(event);
    PlaceMark();
}

void TChatView::AppendLine(const std::string& text, TFontStyle style, TColour colour) {
    Append(text, style, colour, false);
}

void TChatView::AppendMarkedLine(const std::string& text, TFontStyle style, TColour colour) {
    Append(text, style, colour, true);
}

void TChatView::AppendGameLine(const std::string& text, std::size_t nameStart, std::size_t nameLength,
                               TFontStyle style, TColour colour) {
    Append(text, style, colour, false, {nameStart, nameLength});
}

void TChatView::Append(const std::string& text, TFontStyle style, TColour colour, bool marked, TSpan game) {
    lines_ += static_cast<int>(SplitLines(text).size());
    if (turnLines_++ == 0) QMetaObject::invokeMethod(this, &TChatView::TurnEnded, Qt::QueuedConnection);
    pending_.push_back({text, style, colour, marked, game});
    // A hidden view waits for the turn's end whatever the count: a single new line would be
    // laid out at once even there, and a thousand channels get one line each in a turn.
    if (turnLines_ <= kImmediateLines && !isHidden()) {
        Flush();
    } else if (pending_.size() >= kBatchLines) {
        // A loop that does not turn must not let lines pile up here or Qt's calls behind them.
        Flush();
        QCoreApplication::sendPostedEvents(this, QEvent::MetaCall);
    }
}

void TChatView::TurnEnded() {
    Flush();
    turnLines_ = 0;
}

void TChatView::Flush() {
    if (pending_.empty()) return;
    std::vector<TPending> batch;
    batch.swap(pending_);
    QScrollBar* bar = verticalScrollBar();
    // A view scrolled back stays on the lines the user reads, also while the cap drops the
    // oldest ones above them (the scroll bar counts lines).
    const bool follow = bar->value() >= bar->maximum();
    const int value = bar->value(), blocksBefore = document()->blockCount();
    const bool wasStarted = started_;
    QTextCursor cursor(document());
    cursor.beginEditBlock();
    cursor.movePosition(QTextCursor::End);
    int added = 0;
    for (const TPending& line : batch) {
        Insert(cursor, line.Text, line.Style, line.Colour, line.Marked, line.Game);
        added += static_cast<int>(SplitLines(line.Text).size());
    }
    cursor.endEditBlock();
    if (follow) {
        bar->setValue(bar->maximum());
        return;
    }
    if (!wasStarted) --added;  // the first line took the empty first block
    const int dropped = blocksBefore + added - document()->blockCount();
    bar->setValue(std::max(0, value - dropped));
    PlaceMark();
    mark_->show();
    mark_->raise();
}

void TChatView::Insert(QTextCursor& cursor, const std::string& text, TFontStyle style, TColour colour, bool marked,
                       TSpan game) {
    const QTextCharFormat format = LineFormat(style, colour);
    // Every line reads left to right, whatever script its first letters are in: a line that
    // begins with a right-to-left name must not turn the rest of it around.
    QTextBlockFormat blockFormat;
    blockFormat.setLayoutDirection(Qt::LeftToRight);
    if (marked) blockFormat.setBackground(MarkedLineBackground);
    for (std::string_view line : SplitLines(text)) {
        if (started_) {
            cursor.insertBlock(blockFormat, format);
        } else {
            cursor.setBlockFormat(blockFormat);
            cursor.setBlockCharFormat(format);
            started_ = true;
        }
        // A name that spans lines (a break inside it) is no link: the line shows plain.
        int links = 0;
        if (game.Length > 0 && line.size() == text.size() && game.Start + game.Length <= line.size()) {
            const std::string server(line.substr(game.Start, game.Length));
            InsertFormatted(cursor, line.substr(0, game.Start), format, colour, marked, links);
            cursor.insertText(Visible(ChatText(server)), GameFormat(format));
            cursor.block().setUserData(new TGameLineData(server));
            InsertFormatted(cursor, line.substr(game.Start + game.Length), format, colour, marked, links);
        } else {
            InsertFormatted(cursor, line, format, colour, marked, links);
        }
    }
}

void TChatView::InsertFormatted(QTextCursor& cursor, std::string_view text, const QTextCharFormat& line,
                                TColour colour, bool marked, int& links) {
    const TColour viewBackground = marked ? Colour(MarkedLineBackground) : Colour(palette().base().color());
    // Links are found in each run: a code ends a link as any control byte does.
    const bool show = ShowFormatting();
    for (const TStyledRun& run : ParseFormatting(text)) {
        const QTextCharFormat f = show ? RunFormat(line, colour, marked, run.Style) : line;
        const TColour background = f.background().style() == Qt::NoBrush ? viewBackground : Colour(f.background().color());
        InsertWithLinks(cursor, run.Text, f, links, background);
    }
}

QTextCharFormat TChatView::RunFormat(const QTextCharFormat& line, TColour colour, bool marked, const TTextStyle& s) {
    if (s == TTextStyle{}) return line;
    const std::uint64_t key = s.Key() | std::uint64_t{colour.R} << 26 | std::uint64_t{colour.G} << 34 |
                              std::uint64_t{colour.B} << 42 | std::uint64_t{line.fontWeight() == QFont::Bold} << 50 |
                              std::uint64_t{marked} << 51;
    if (!styles_.contains(key)) {
        if (stylesInUse >= kMaxStyles) return line;
        styles_.insert(key);
        ++stylesInUse;
    }
    QTextCharFormat f = line;
    if (s.Bold) f.setFontWeight(QFont::Bold);
    if (s.Italic) f.setFontItalic(true);
    if (s.Underline) f.setFontUnderline(true);
    if (s.Strike) f.setFontStrikeOut(true);
    if (s.Monospace) {
        f.setFontFamilies({QStringLiteral("monospace")});
        f.setFontFixedPitch(true);
    }
    const TColour viewBackground = marked ? Colour(MarkedLineBackground) : Colour(palette().base().color());
    TColour fg = s.Fg >= 0 ? PaletteColour(s.Fg) : colour;
    bool hasBackground = s.Bg >= 0;
    TColour bg = hasBackground ? PaletteColour(s.Bg) : viewBackground;
    if (s.Reverse) {
        std::swap(fg, bg);
        hasBackground = true;
    }
    f.setForeground(Colour(ReadableOn(fg, bg)));
    if (hasBackground) f.setBackground(Colour(bg));
    return f;
}

TChatView::TLinkHit TChatView::LinkAt(const QPoint& viewportPos) const {
    QTextBlock block = cursorForPosition(viewportPos).block();
    const QRectF blockRect = blockBoundingGeometry(block).translated(contentOffset());
    if (!block.isValid() || !blockRect.contains(viewportPos) || !block.layout()) return {};
    const QPointF local = QPointF(viewportPos) - blockRect.topLeft();
    const QTextLayout* layout = block.layout();
    for (int i = 0; i < layout->lineCount(); ++i) {
        QTextLine line = layout->lineAt(i);
        if (local.y() < line.y() || local.y() >= line.y() + line.height()) continue;
        // Beside the end of a line is not on its last character.
        if (local.x() >= line.naturalTextRect().right()) return {};
        const int pos = block.position() + line.xToCursor(local.x(), QTextLine::CursorOnCharacter);
        for (auto it = block.begin(); !it.atEnd(); ++it) {
            QTextFragment frag = it.fragment();
            if (pos < frag.position() || pos >= frag.position() + frag.length()) continue;
            const QTextCharFormat f = frag.charFormat();
            if (f.hasProperty(kGameProperty)) {
                const auto* data = static_cast<const TGameLineData*>(block.userData());
                if (!data) return {};
                return {frag.position(), frag.position() + frag.length(), frag.text(), true, data->Server};
            }
            if (!f.hasProperty(kLinkProperty)) return {};
            return {frag.position(), frag.position() + frag.length(), frag.text()};
        }
    }
    return {};
}

void TChatView::CopyLink(const TLinkHit& link) {
    if (!link.Valid()) return;
    const int skip = link.Game ? 0 : static_cast<int>(LinkCopyOffset(link.Text.toStdString()));
    QTextCursor c(document());
    c.setPosition(link.Start + std::min(skip, link.End - link.Start));
    c.setPosition(link.End, QTextCursor::KeepAnchor);
    setTextCursor(c);
    copy();
}

void TChatView::mousePressEvent(QMouseEvent* event) {
    pressedLink_ = -1;
    if (event->button() == Qt::LeftButton) {
        TLinkHit hit = LinkAt(event->position().toPoint());
        if (hit.Valid()) pressedLink_ = hit.Start;
    }
    QPlainTextEdit::mousePressEvent(event);
}

void TChatView::mouseReleaseEvent(QMouseEvent* event) {
    QPlainTextEdit::mouseReleaseEvent(event);
    TLinkHit hit = LinkAt(event->position().toPoint());
    if (!hit.Valid()) return;
    if (event->button() == Qt::LeftButton) {
        // A drag that began elsewhere to select text is not a click on the link.
        if (hit.Start != pressedLink_) return;
        pressedLink_ = -1;
        if (hit.Game) {
            if (OnGameLinkClick) OnGameLinkClick(*this, hit.Server);
        } else if (OnLinkClick) {
            OnLinkClick(*this, hit.Text.toStdString());
        }
    } else if (event->button() == Qt::RightButton) {
        CopyLink(hit);
    }
}

void TChatView::mouseMoveEvent(QMouseEvent* event) {
    QPlainTextEdit::mouseMoveEvent(event);
    viewport()->setCursor(LinkAt(event->position().toPoint()).Valid() ? Qt::PointingHandCursor : Qt::IBeamCursor);
}

void TChatView::showEvent(QShowEvent* event) {
    // A hidden view's waiting lines are there the moment it appears.
    Flush();
    QPlainTextEdit::showEvent(event);
}

void TChatView::contextMenuEvent(QContextMenuEvent* event) {
    // A right-click on a link copies it; the menu would cover what was just selected.
    if (LinkAt(event->pos()).Valid()) return;
    QPlainTextEdit::contextMenuEvent(event);
}
