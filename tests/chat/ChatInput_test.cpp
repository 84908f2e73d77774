// SPDX-License-Identifier: GPL-3.0-or-later
// The input line without a server: word deletion, recall, and what happens offline.
#include "chat/ChatInput.h"
#include "chat/FakeChatPage.h"
#include "net/PollEventLoop.h"

#include <gtest/gtest.h>

namespace {

// The fake page with a caret, kept as a byte position like the real input line's.
class TCaretPage : public TFakeChatPage {
public:
    void SetInputText(const std::string& text) override {
        Input = text;
        Caret = text.size();
    }
    std::size_t InputCaret() const override { return Caret; }
    void SetInputCaret(std::size_t caret) override { Caret = caret; }
    std::size_t Caret = 0;
};

class ChatInputTest : public ::testing::Test {
protected:
    void Type(const std::string& text, std::size_t caret) {
        page.Input = text;
        page.Caret = caret;
    }
    bool Key(int key, TShiftState shift = 0) { return input.Edit1KeyDown(key, shift); }

    TPollEventLoop loop;
    TIRCCli client{loop};
    TCaretPage page;
    TConversations conversations{page};
    TSettings settings;
    TPingValues ping;
    TChatInput input{client, conversations, settings, ping};
};

}  // namespace

TEST_F(ChatInputTest, ControlBackspaceDeletesTheWordLeftOfTheCaretWithItsBlanks) {
    Type("hello big world", 15);
    EXPECT_TRUE(Key(ChatKey::Back, ssCtrl));
    EXPECT_EQ(page.Input, "hello big ");
    EXPECT_EQ(page.Caret, 10u);

    Type("hello world again", 11);
    EXPECT_TRUE(Key(ChatKey::Back, ssCtrl));
    EXPECT_EQ(page.Input, "hello again");
    EXPECT_EQ(page.Caret, 5u);

    // Blanks between the word and the caret go with it; with nothing to the left, nothing changes.
    Type("one two   ", 10);
    EXPECT_TRUE(Key(ChatKey::Back, ssCtrl));
    EXPECT_EQ(page.Input, "one ");
    Type("   hello", 3);
    EXPECT_TRUE(Key(ChatKey::Back, ssCtrl));
    EXPECT_EQ(page.Input, "hello");
    EXPECT_EQ(page.Caret, 0u);
    Type(" x", 0);
    EXPECT_TRUE(Key(ChatKey::Back, ssCtrl));
    EXPECT_EQ(page.Input, " x");
    EXPECT_EQ(page.Caret, 0u);

    // A word of several-byte characters goes whole; the caret counts bytes.
    Type("gr\xC3\xBC\xC3\x9F" "e dich", 7);
    EXPECT_TRUE(Key(ChatKey::Back, ssCtrl));
    EXPECT_EQ(page.Input, " dich");

    // With Shift or Alt held as well it is the input line's own editing.
    Type("hello world", 11);
    EXPECT_FALSE(Key(ChatKey::Back, ssCtrl | ssShift));
    EXPECT_FALSE(Key(ChatKey::Back));
    EXPECT_EQ(page.Input, "hello world");
}

TEST_F(ChatInputTest, DownEmptiesOnlyARecalledLine) {
    Type("draft", 5);
    EXPECT_TRUE(Key(ChatKey::Down));
    EXPECT_EQ(page.Input, "draft");
    EXPECT_FALSE(input.LineRecalled);

    // Offline, a text line is still remembered for Up.
    EXPECT_TRUE(Key(ChatKey::Return));
    EXPECT_EQ(page.Input, "");
    EXPECT_EQ(input.LastSentLine, "draft");
    Type("other", 2);
    EXPECT_TRUE(Key(ChatKey::Up));
    EXPECT_EQ(page.Input, "draft");
    EXPECT_EQ(page.Caret, 5u);
    EXPECT_TRUE(input.LineRecalled);
    EXPECT_TRUE(Key(ChatKey::Down, ssShift));
    EXPECT_EQ(page.Input, "");
    EXPECT_FALSE(input.LineRecalled);

    // Control with an arrow is not the recall.
    Type("x", 1);
    EXPECT_FALSE(Key(ChatKey::Up, ssCtrl));
    EXPECT_EQ(page.Input, "x");
}

TEST_F(ChatInputTest, UpAndDownWalkTheLastHundredLines) {
    for (int i = 1; i <= 105; ++i) {
        Type("line " + std::to_string(i), 0);
        Key(ChatKey::Return);
    }
    // Commands that are not remembered, and a repeat of the last line, add no step.
    Type("/join #x", 8);
    Key(ChatKey::Return);
    Type("line 105", 8);
    Key(ChatKey::Return);
    EXPECT_EQ(input.History().size(), TChatInput::MaxHistory);

    Key(ChatKey::Up);
    EXPECT_EQ(page.Input, "line 105");
    Key(ChatKey::Up);
    Key(ChatKey::Up);
    EXPECT_EQ(page.Input, "line 103");
    EXPECT_EQ(page.Caret, 8u);
    Key(ChatKey::Down);
    EXPECT_EQ(page.Input, "line 104");
    for (int i = 0; i < 200; ++i) Key(ChatKey::Up);
    EXPECT_EQ(page.Input, "line 6");  // the oldest kept; Up stays there

    // Down past the newest line empties the input and ends the walk; the next Up starts anew.
    for (int i = 0; i < 99; ++i) Key(ChatKey::Down);
    EXPECT_EQ(page.Input, "line 105");
    Key(ChatKey::Down);
    EXPECT_EQ(page.Input, "");
    EXPECT_FALSE(input.LineRecalled);
    Key(ChatKey::Down);
    EXPECT_EQ(page.Input, "");
    Key(ChatKey::Up);
    EXPECT_EQ(page.Input, "line 105");

    // Sending a recalled line makes it the newest again.
    Key(ChatKey::Up);
    Key(ChatKey::Return);
    Key(ChatKey::Up);
    EXPECT_EQ(page.Input, "line 104");
}

TEST_F(ChatInputTest, TabCompletesNicknamesOfTheSelectedChannel) {
    conversations.OpenConversation("#Lobby_20");
    conversations.Row(0).UserList->Fill({{"Maverick", "o"}, {"mallory"}, {"Marge", "v"}, {"Ann"}, {"bob"}, {"Mann"}});
    settings.Nickname = "Mann";

    // At the start of the line: ": " after the name; repeated Tab cycles in list order.
    Type("ma", 2);
    EXPECT_TRUE(Key(ChatKey::Tab));
    EXPECT_EQ(page.Input, "mallory: ");
    EXPECT_EQ(page.Caret, 9u);
    Key(ChatKey::Tab);
    EXPECT_EQ(page.Input, "Marge: ");
    Key(ChatKey::Tab);
    EXPECT_EQ(page.Input, "Maverick: ");
    Key(ChatKey::Tab);
    EXPECT_EQ(page.Input, "mallory: ");  // round again; the own nickname is never offered

    // Inside the line: a blank after it, the text behind the caret kept.
    Type("hi bo there", 5);
    Key(ChatKey::Tab);
    EXPECT_EQ(page.Input, "hi bob there");
    EXPECT_EQ(page.Caret, 6u);

    // Typing in between starts a new completion from the word at the caret.
    Type("mallory: and a", 14);
    Key(ChatKey::Tab);
    EXPECT_EQ(page.Input, "mallory: and Ann ");

    // Nothing matches, nothing typed, or the server tab: the text stays and Tab is still taken.
    for (const auto& [text, tab] : {std::pair<std::string, int>{"zed", 1}, {"hi ", 1}, {"ma", 0}}) {
        conversations.SelectChatTab(tab);
        Type(text, text.size());
        EXPECT_TRUE(Key(ChatKey::Tab));
        EXPECT_EQ(page.Input, text);
    }
    // Alt+Tab belongs to the desktop.
    EXPECT_FALSE(Key(ChatKey::Tab, ssAlt));

    // A private conversation offers its partner.
    conversations.OpenConversation("Maverick");
    Type("/msg mav", 8);
    Key(ChatKey::Tab);
    EXPECT_EQ(page.Input, "/msg Maverick ");
}

TEST_F(ChatInputTest, OfflineLinesAreDroppedButThePingEchoAndItsValuesStay) {
    Type("/ping  bob", 10);
    EXPECT_TRUE(Key(ChatKey::Return, ssCtrl));
    EXPECT_EQ(page.Server.Lines, (std::vector<TFakeLine>{{"-> [ bob] PING", TFontStyle::Regular, {255, 0, 0}}}));
    EXPECT_EQ(ping.PingTarget, " bob");
    EXPECT_EQ(ping.PingFrequency, PerformanceFrequency());
    EXPECT_NE(ping.PingStart, 0);
    EXPECT_EQ(page.Input, "");

    // Commands do not touch the recall; an empty shortcut leaves the typed text alone.
    input.LastSentLine = "earlier";
    Type("/join #test", 11);
    EXPECT_TRUE(Key(ChatKey::Return));
    EXPECT_EQ(page.Input, "");
    EXPECT_EQ(input.LastSentLine, "earlier");
    Type("typed", 5);
    EXPECT_TRUE(Key('3', ssCtrl));
    EXPECT_EQ(page.Input, "typed");
    settings.Shortcut0 = "/msg bob hi";
    EXPECT_TRUE(Key('0', ssCtrl));
    EXPECT_EQ(page.Input, "");
    EXPECT_EQ(input.LastSentLine, "/msg bob hi");
    EXPECT_EQ(page.Server.Lines.size(), 1u);
}

TEST(CutUtf8, NeverEndsInsideACharacter) {
    EXPECT_EQ(CutUtf8("abc", 5), "abc");
    EXPECT_EQ(CutUtf8("a\xC3\xA9", 2), "a");
    EXPECT_EQ(CutUtf8("a\xE2\x82\xAC" "b", 3), "a");
    EXPECT_EQ(CutUtf8("a\xE2\x82\xAC" "b", 4), "a\xE2\x82\xAC");
    EXPECT_EQ(CutUtf8("\xF0\x9F\x98\x80", 3), "");
}

TEST(SplitMessage, PartsEndAtWordsStayWithinTheLimitAndNeverCutACharacter) {
    EXPECT_EQ(SplitMessage("one two three four", 9), (std::vector<std::string>{"one two", "three", "four"}));
    EXPECT_EQ(SplitMessage("abcdefghij", 4), (std::vector<std::string>{"abcd", "efgh", "ij"}));
    EXPECT_EQ(SplitMessage("", 4), std::vector<std::string>{});
    // "é" is two bytes: a part ends before it rather than in its middle.
    const std::string e = "\xC3\xA9";
    EXPECT_EQ(SplitMessage("ab" + e + e, 3), (std::vector<std::string>{"ab", e, e}));
    std::string text;
    for (int i = 0; i < 300; ++i) text += (i % 7 ? "w" + e + " " : "long" + e + e + e + "word ");
    text.pop_back();
    std::string joined;
    for (const std::string& part : SplitMessage(text, 100)) {
        EXPECT_LE(part.size(), 100u);
        EXPECT_EQ(CutUtf8(part, part.size()), part);
        joined += (joined.empty() ? "" : " ") + part;
    }
    EXPECT_EQ(joined, text);
}
