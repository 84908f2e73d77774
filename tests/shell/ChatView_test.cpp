// SPDX-License-Identifier: GPL-3.0-or-later
// The chat view as a widget: line formats, literal text, links, clicks and the right-click copy.
#include "shell/ChatView.h"

#include <QApplication>
#include <QClipboard>
#include <QElapsedTimer>
#include <QMouseEvent>
#include <QPushButton>
#include <QScrollBar>
#include <QTextBlock>
#include <gtest/gtest.h>

#include <vector>

namespace {

struct TFragment {
    QString Text;
    QColor Colour;
    bool Bold;
    bool Link;
};

std::vector<TFragment> Fragments(const TChatView& view, int blockNumber) {
    std::vector<TFragment> out;
    QTextBlock block = view.document()->findBlockByNumber(blockNumber);
    for (auto it = block.begin(); !it.atEnd(); ++it) {
        QTextCharFormat f = it.fragment().charFormat();
        out.push_back({it.fragment().text(), f.foreground().color(), f.fontWeight() == QFont::Bold,
                       f.fontUnderline()});
    }
    return out;
}

class ChatViewTest : public ::testing::Test {
protected:
    int argc = 1;
    char arg0[8] = "test";
    char* argv[2] = {arg0, nullptr};
    QApplication app{argc, argv};
    TChatView view;

    void SetUp() override {
        view.resize(600, 300);
        view.show();
    }

    // The viewport point over the character at a document position.
    QPoint PointAt(int position) {
        QTextCursor c(view.document());
        c.setPosition(position);
        QRect r = view.cursorRect(c);
        return QPoint(r.left() + 2, r.center().y());
    }

    void Click(Qt::MouseButton button, QPoint at) {
        QWidget* vp = view.viewport();
        QPointF global = vp->mapToGlobal(QPointF(at));
        QMouseEvent press(QEvent::MouseButtonPress, QPointF(at), global, button, button, Qt::NoModifier);
        QApplication::sendEvent(vp, &press);
        QMouseEvent release(QEvent::MouseButtonRelease, QPointF(at), global, button, Qt::NoButton, Qt::NoModifier);
        QApplication::sendEvent(vp, &release);
    }
};

}  // namespace

TEST_F(ChatViewTest, EachLineKeepsItsOwnStyleAndColour) {
    view.AppendLine("!!!EXCEPTION!!!: boom", LineClass::Error.Style, LineClass::Error.Colour);
    view.AppendLine("Connected to h:6667", LineClass::Status.Style, LineClass::Status.Colour);
    // A selection the user made does not leak its place or format into the next line.
    QTextCursor sel(view.document());
    sel.setPosition(0);
    sel.setPosition(5, QTextCursor::KeepAnchor);
    view.setTextCursor(sel);
    view.AppendLine("bob has joined", LineClass::Event.Style, LineClass::Event.Colour);

    ASSERT_EQ(view.document()->blockCount(), 3);
    auto l0 = Fragments(view, 0), l1 = Fragments(view, 1), l2 = Fragments(view, 2);
    ASSERT_EQ(l0.size(), 1u);
    EXPECT_EQ(l0[0].Colour, QColor(64, 64, 64));
    EXPECT_TRUE(l0[0].Bold);
    ASSERT_EQ(l1.size(), 1u);
    EXPECT_EQ(l1[0].Colour, QColor(0, 0, 127));
    EXPECT_FALSE(l1[0].Bold);
    ASSERT_EQ(l2.size(), 1u);
    EXPECT_EQ(l2[0].Text, "bob has joined");
    EXPECT_EQ(l2[0].Colour, QColor(0, 147, 0));
    EXPECT_EQ(view.toPlainText(), "!!!EXCEPTION!!!: boom\nConnected to h:6667\nbob has joined");
}

TEST_F(ChatViewTest, MarkupAndControlBytesAreShownLiterally) {
    view.AppendLine("<b>bold?</b> &amp; <a href=\"x\">y</a>", TFontStyle::Regular, {0, 0, 0});
    view.AppendLine(std::string("\x01hi\x07" "4 \x7f") + '\0' + "end", TFontStyle::Regular, {0, 0, 0});
    view.AppendLine("caf\xe9", TFontStyle::Regular, {0, 0, 0});                // Latin-1
    view.AppendLine("caf\xc3\xa9 \xe2\x82\xac", TFontStyle::Regular, {0, 0, 0});  // UTF-8
    EXPECT_EQ(view.document()->findBlockByNumber(0).text(), "<b>bold?</b> &amp; <a href=\"x\">y</a>");
    EXPECT_FALSE(Fragments(view, 0)[0].Bold);
    EXPECT_EQ(view.document()->findBlockByNumber(1).text(),
              QString::fromUtf8("\xe2\x90\x81hi\xe2\x90\x87" "4 \xe2\x90\xa1\xe2\x90\x80" "end"));
    EXPECT_EQ(view.document()->findBlockByNumber(2).text(), QString::fromUtf8("caf\xc3\xa9"));
    EXPECT_EQ(view.document()->findBlockByNumber(3).text(), QString::fromUtf8("caf\xc3\xa9 \xe2\x82\xac"));
}

TEST_F(ChatViewTest, BidirectionalControlsShowAsMarksInLinesLinksAndNames) {
    const std::string rlo = "\xE2\x80\xAE", lri = "\xE2\x81\xA6", rlm = "\xE2\x80\x8F";
    // A link that would read "http://x.org/exe.jpg", and a name that would pass for another.
    view.AppendLine("[" + rlo + "evil] see http://x.org/" + rlo + "gpj.exe" + lri + rlm, TFontStyle::Regular, {0, 0, 0});
    view.AppendLine("\xD7\xA9\xD7\x9C\xD7\x95\xD7\x9D [bob] hi", TFontStyle::Regular, {0, 0, 0});  // Hebrew first
    EXPECT_EQ(view.document()->findBlockByNumber(0).text(),
              QString::fromUtf8("[\u2039RLO\u203Aevil] see http://x.org/\u2039RLO\u203Agpj.exe\u2039LRI\u203A\u2039RLM\u203A"));
    std::vector<QString> links;
    for (const auto& f : Fragments(view, 0))
        if (f.Link) links.push_back(f.Text);
    EXPECT_EQ(links, (std::vector<QString>{"http://x.org/"}));
    for (int b = 0; b < 2; ++b)
        EXPECT_EQ(view.document()->findBlockByNumber(b).blockFormat().layoutDirection(), Qt::LeftToRight) << b;

    // Names and tab labels take the same conversion; the input line keeps what the user typed.
    EXPECT_EQ(ChatText("@ab" + rlo + "cd"), QString::fromUtf8("@ab\u2039RLO\u203Acd"));
    EXPECT_EQ(ChatText("#caf\xe9"), QString::fromUtf8("#caf\xc3\xa9"));
    EXPECT_EQ(DecodeChatBytes("x" + rlo + "y"), QString::fromUtf8("x\u202Ey"));
}

TEST_F(ChatViewTest, LineBreaksInsideOneCallBecomeLinesOfTheSameClass) {
    view.AppendLine("==Server Message==\r\nPrefix: :x\r\nCommand: 001\rlast\n", TFontStyle::Regular, {64, 64, 64});
    view.AppendLine("next", TFontStyle::Bold, {0, 0, 0});
    EXPECT_EQ(view.toPlainText(), "==Server Message==\nPrefix: :x\nCommand: 001\nlast\n\nnext");
    EXPECT_EQ(view.LineCount(), 6);
    EXPECT_EQ(Fragments(view, 2)[0].Colour, QColor(64, 64, 64));
}

TEST_F(ChatViewTest, LinksAreMarkedInTheLinesColourSet) {
    view.AppendLine("go http://a.example/x?y=1, or (www.b.example). mail mailto:bob@c.example", TFontStyle::Bold,
                    {0, 0, 0});
    std::vector<QString> links;
    for (const auto& f : Fragments(view, 0))
        if (f.Link) {
            links.push_back(f.Text);
            EXPECT_TRUE(f.Bold);
        }
    EXPECT_EQ(links, (std::vector<QString>{"http://a.example/x?y=1", "www.b.example", "mailto:bob@c.example"}));
    EXPECT_EQ(view.toPlainText(), "go http://a.example/x?y=1, or (www.b.example). mail mailto:bob@c.example");
}

TEST_F(ChatViewTest, LeftClickReportsTheLinkRightClickCopiesIt) {
    view.AppendLine("x www.a.example y mailto:bob@c.example z http://d.example/p", TFontStyle::Regular, {0, 0, 0});
    std::vector<std::string> clicked;
    view.OnLinkClick = [&](TChatView& sender, const std::string& link) {
        EXPECT_EQ(&sender, &view);
        clicked.push_back(link);
    };
    Click(Qt::LeftButton, PointAt(4));  // inside www.a.example
    Click(Qt::LeftButton, PointAt(0));  // plain text
    EXPECT_EQ(clicked, (std::vector<std::string>{"www.a.example"}));

    QApplication::clipboard()->clear();
    Click(Qt::RightButton, PointAt(20));  // inside the mailto: link
    EXPECT_EQ(QApplication::clipboard()->text(), "bob@c.example");
    EXPECT_EQ(view.textCursor().selectedText(), "bob@c.example");
    Click(Qt::RightButton, PointAt(45));
    EXPECT_EQ(QApplication::clipboard()->text(), "http://d.example/p");
    EXPECT_EQ(clicked.size(), 1u);
}

TEST_F(ChatViewTest, KeepsTheNewestLinesUpToItsCapAndTheUsersSelection) {
    for (int i = 0; i < TChatView::kMaxLines; ++i)
        view.AppendLine("line " + std::to_string(i), TFontStyle::Regular, {0, 0, 0});
    view.Flush();  // as the loop's next turn would
    // The user selects a line in the middle to copy it.
    QTextCursor selection(view.document()->findBlockByNumber(3000));
    selection.movePosition(QTextCursor::EndOfBlock, QTextCursor::KeepAnchor);
    view.setTextCursor(selection);
    ASSERT_EQ(view.textCursor().selectedText(), "line 3000");

    for (int i = 0; i < 2500; ++i) view.AppendLine("more " + std::to_string(i), TFontStyle::Bold, {0, 0, 0});
    view.Flush();
    EXPECT_EQ(view.LineCount(), TChatView::kMaxLines + 2500);
    EXPECT_EQ(view.document()->blockCount(), TChatView::kMaxLines);
    EXPECT_EQ(view.document()->firstBlock().text(), "line 2500");
    EXPECT_EQ(view.document()->lastBlock().text(), "more 2499");
    EXPECT_TRUE(Fragments(view, TChatView::kMaxLines - 1)[0].Bold) << "the newest line keeps its format";
    EXPECT_EQ(view.textCursor().selectedText(), "line 3000") << "the selection moves with its text";
    // Selecting scrolled the view back to that line: it stays there as the oldest lines go.
    EXPECT_EQ(view.verticalScrollBar()->value(), 500);

    // Once its line is dropped the selection goes with it, and nothing else is selected.
    for (int i = 0; i < 1000; ++i) view.AppendLine("last", TFontStyle::Regular, {0, 0, 0});
    view.Flush();
    EXPECT_EQ(view.document()->firstBlock().text(), "line 3500");
    EXPECT_EQ(view.textCursor().selectedText(), "");
}

TEST_F(ChatViewTest, AFloodThatKeepsTheLoopFromRunningLeavesNoWorkPiledUp) {
    // Lines read from the socket in one go are appended without the loop turning in between;
    // what each leaves for the loop to do must not grow with their number.
    struct TCounter : QObject {
        int Calls = 0;
        bool eventFilter(QObject*, QEvent* e) override {
            if (e->type() == QEvent::MetaCall) ++Calls;
            return false;
        }
    } counter;
    view.installEventFilter(&counter);
    for (int i = 0; i < 5000; ++i) view.AppendLine("flood " + std::to_string(i), TFontStyle::Regular, {0, 0, 0});
    counter.Calls = 0;
    QCoreApplication::sendPostedEvents(&view, QEvent::MetaCall);
    EXPECT_LT(counter.Calls, 300) << "about one per line would be 5000";
    EXPECT_EQ(view.verticalScrollBar()->value(), view.verticalScrollBar()->maximum());
}

TEST_F(ChatViewTest, StaysAtTheNewestLineThroughAHundredThousandLines) {
    QElapsedTimer timer;
    timer.start();
    qint64 firstBatch = 0;
    for (int i = 0; i < 100000; ++i) {
        view.AppendLine("[bob]   line " + std::to_string(i) + " see www.example.org", TFontStyle::Regular, {0, 0, 0});
        if (i == 9999) firstBatch = timer.elapsed();
    }
    qint64 lastBatchStart = timer.elapsed();
    for (int i = 0; i < 10000; ++i) view.AppendLine("more", TFontStyle::Regular, {0, 0, 0});
    view.Flush();
    qint64 lastBatch = timer.elapsed() - lastBatchStart;
    EXPECT_EQ(view.LineCount(), 110000);
    EXPECT_EQ(view.verticalScrollBar()->value(), view.verticalScrollBar()->maximum());
    QTextCursor end(view.document());
    end.movePosition(QTextCursor::End);
    EXPECT_TRUE(view.viewport()->rect().contains(view.cursorRect(end).center()));
    // Appending must not slow down with the length of the view.
    EXPECT_LT(lastBatch, firstBatch * 4 + 200) << "first 10,000: " << firstBatch << " ms, after 100,000: " << lastBatch
                                              << " ms";
}

TEST_F(ChatViewTest, WhatALineKeepsLeavesWithItEvenWhenEveryLineCarriesNewLinks) {
    // A lobby with link spam: each line's links differ from every other's. Once the cap drops a
    // line, nothing made for it may stay in the document.
    view.setMaximumBlockCount(300);
    auto flood = [&](int from, int count) {
        for (int i = from; i < from + count; ++i)
            view.AppendLine("[bob]   see http://spam.example/" + std::to_string(i) + " and www.s" + std::to_string(i) +
                                ".example",
                            TFontStyle::Regular, {0, 0, 0});
        view.Flush();
    };
    flood(0, 1000);
    const auto formats = view.document()->allFormats().size();
    flood(1000, 4000);
    EXPECT_LE(view.document()->allFormats().size(), formats) << "formats grew with the lines the cap dropped";
    EXPECT_EQ(view.document()->blockCount(), 300);
    // The links still hold their own text, and a game name its bytes.
    view.AppendGameLine("bob went play to 'Caf\xe9 \x01' http://x.example/a", 18, 6, TFontStyle::Regular, {0, 0, 0});
    view.Flush();
    const int last = view.document()->lastBlock().position();
    EXPECT_EQ(view.LinkAt(PointAt(last + 19)).Server, "Caf\xe9 \x01");
    EXPECT_EQ(view.LinkAt(PointAt(last + 28)).Text, "http://x.example/a");
    const int before = view.document()->lastBlock().previous().position();
    EXPECT_EQ(view.LinkAt(PointAt(before + 13)).Text, "http://spam.example/4999");
}

TEST_F(ChatViewTest, FormattingCodesBecomeReadableStylesOrAreTakenOut) {
    // Bold, then red on white with a link inside, then white on white (made readable), then
    // reverse: the line's colour as background.
    view.AppendLine("[bob]   \x02" "big\x02 \x03" "4,0red http://a.example/\x03 \x03" "0white\x0f \x16rev\x16\x1d" "it",
                    TFontStyle::Regular, {0, 0, 127});
    EXPECT_EQ(view.document()->findBlockByNumber(0).text().toStdString(), "[bob]   big red http://a.example/ white revit");
    std::vector<TFragment> f = Fragments(view, 0);
    auto find = [&](const QString& text) {
        for (const auto& fr : f)
            if (fr.Text == text) return fr;
        ADD_FAILURE() << text.toStdString();
        return TFragment{};
    };
    EXPECT_TRUE(find("big").Bold);
    EXPECT_EQ(find("red ").Colour, QColor(255, 0, 0));
    EXPECT_TRUE(find("http://a.example/").Link);
    const QColor white = find("white").Colour;
    EXPECT_LT(white.lightness(), 160) << "no white on white";
    QTextBlock block = view.document()->findBlockByNumber(0);
    for (auto it = block.begin(); !it.atEnd(); ++it) {
        const QTextCharFormat cf = it.fragment().charFormat();
        if (it.fragment().text() == "rev") {
            EXPECT_EQ(cf.background().color(), QColor(0, 0, 127));
            EXPECT_EQ(cf.foreground().color(), QColor(255, 255, 255));
        }
        if (it.fragment().text() == "it") {
            EXPECT_TRUE(cf.fontItalic());
        }
    }
    EXPECT_EQ(view.LinkAt(PointAt(block.position() + 20)).Text, "http://a.example/");

    // Off: the codes are only taken out.
    const bool off = false;
    TChatView::SetShowFormatting(&off);
    view.AppendLine("\x02" "b\x03" "4r", TFontStyle::Regular, {0, 0, 0});
    TChatView::SetShowFormatting(nullptr);
    f = Fragments(view, 1);
    ASSERT_EQ(f.size(), 1u);
    EXPECT_EQ(f[0].Text, "br");
    EXPECT_FALSE(f[0].Bold);
}

TEST_F(ChatViewTest, AFloodOfEveryColourAndStyleMakesABoundedSetOfFormats) {
    view.setMaximumBlockCount(200);
    for (int i = 0; i < 6000; ++i) {
        const std::string fg = std::to_string(i % 99), bg = std::to_string(i / 99 % 99);
        const char toggle = "\x02\x1d\x1e\x1f\x11\x16"[i % 6];
        view.AppendLine("\x03" + fg + "," + bg + toggle + "x http://a.example/" + std::to_string(i), TFontStyle::Regular,
                        {0, 0, 0});
    }
    view.Flush();
    EXPECT_LE(view.StylesUsed(), TChatView::kMaxStyles);
    EXPECT_LE(view.document()->allFormats().size(), 3 * TChatView::kMaxStyles + 20);
    // Past the limit a line still shows, plainly, with its link.
    EXPECT_EQ(view.document()->lastBlock().text(), "x http://a.example/5999");
}

TEST_F(ChatViewTest, ScrolledBackTheViewStaysAndAMarkLeadsBackToTheEnd) {
    for (int i = 0; i < 300; ++i) view.AppendLine("old " + std::to_string(i), TFontStyle::Regular, {0, 0, 0});
    view.Flush();
    QScrollBar* bar = view.verticalScrollBar();
    ASSERT_EQ(bar->value(), bar->maximum());
    EXPECT_FALSE(view.NewLinesMark()->isVisible()) << "at the end the view follows";
    bar->setValue(100);  // the user scrolls back to read
    for (int i = 0; i < 2000; ++i) view.AppendLine("flood " + std::to_string(i), TFontStyle::Regular, {0, 0, 0});
    view.Flush();
    EXPECT_EQ(bar->value(), 100);
    EXPECT_EQ(view.cursorForPosition(QPoint(5, 5)).block().text(), "old 100");
    ASSERT_TRUE(view.NewLinesMark()->isVisible());
    EXPECT_EQ(view.NewLinesMark()->text(), "new lines below");
    view.NewLinesMark()->click();
    EXPECT_EQ(bar->value(), bar->maximum());
    EXPECT_FALSE(view.NewLinesMark()->isVisible());
    view.AppendLine("newest", TFontStyle::Regular, {0, 0, 0});
    view.Flush();
    EXPECT_EQ(bar->value(), bar->maximum()) << "following again";
}
