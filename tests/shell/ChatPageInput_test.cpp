// SPDX-License-Identifier: GPL-3.0-or-later
// The input line typed into, against a real ngircd with a second client listening in the lobby.
#include "ChatPageFixture.h"

#include "chat/NgircdServer.h"
#include "shell/ChatView.h"
#include "shell/QtEventLoop.h"
#include "support/TestSupport.h"

#include <QApplication>
#include <QClipboard>
#include <QLineEdit>
#include <QListWidget>
#include <QPushButton>
#include <QTabBar>
#include <QTest>
#include <QTextBlock>
#include <gtest/gtest.h>

namespace {

struct TReceived {
    std::string From, Target, Text;
    bool operator==(const TReceived&) const = default;
};

std::ostream& operator<<(std::ostream& out, const TReceived& r) {
    return out << testing::PrintToString(r.From + " -> " + r.Target + ": " + r.Text);
}

class ChatPageInputTest : public TChatPageFixture {
protected:
    ChatPageInputTest() { settings.Shortcut3 = "/me is away"; }
    ~ChatPageInputTest() override { page.reset(); }

    void Say(const QString& text) {
        QTest::keyClicks(edit, text);
        QTest::keyClick(edit, Qt::Key_Return);
    }
    QString LastLine(TChatView* view) { return view->document()->lastBlock().text(); }
    bool LastLineBold(TChatView* view) {
        QTextCursor c(view->document()->lastBlock());
        c.movePosition(QTextCursor::EndOfBlock);
        return c.charFormat().fontWeight() == QFont::Bold;
    }

    TNgircdServer ngircd;
    TIRCCli bob{loop};
};

}  // namespace

TEST_F(ChatPageInputTest, TypedLinesAndCommandsReachTheLobbyAndTheViews) {
    page = std::make_unique<TChatPage>(
        TChatControls{&client, QSize(803, 388), strip, server, edit, button, [] { return true; }, {}}, irc, settings,
        random, "127.0.0.1", ngircd.PortText());
    // The lines below come faster than the user's pace; the test needs no pause between them.
    irc.SendInterval = std::chrono::milliseconds(20);
    std::vector<std::string> annHeard;
    auto pageHandler = irc.OnServerMessage;
    irc.OnServerMessage = [&, pageHandler](TIRCCli& sender, const std::string& prefix, const std::string& command,
                                           const std::vector<std::string>& parameters) {
        annHeard.push_back(command + (parameters.empty() ? "" : " " + parameters.back()));
        pageHandler(sender, prefix, command, parameters);
    };
    std::vector<TReceived> got;
    bob.OnMessage = [&](TIRCCli&, const std::string& nick, const std::string&, const std::string&,
                        const std::string& target, const std::string& text, bool) { got.push_back({nick, target, text}); };
    bob.SetHost("127.0.0.1");
    bob.SetPort(ngircd.PortText());
    bob.SetNick("bob");
    bob.SetUser("ubob");

    button->click();
    ASSERT_TRUE(Pump([&] { return page->UserListWidget("#Lobby_20") != nullptr; })) << server->toPlainText().toStdString();
    bob.Connect();
    ASSERT_TRUE(Pump([&] { return bob.Connected(); }));
    bob.Join("#Lobby_20");
    QListWidget* users = page->UserListWidget("#Lobby_20");
    ASSERT_TRUE(Pump([&] { return users->count() == 2; }));
    TChatView* lobby = page->ConversationView("#Lobby_20");
    edit->setFocus();

    Say("hello");
    EXPECT_EQ(edit->text(), "");
    EXPECT_EQ(LastLine(lobby), "[Ann]   hello");
    // Up brings the line back with the caret at its end; Enter sends it again.
    QTest::keyClick(edit, Qt::Key_Up);
    EXPECT_EQ(edit->text(), "hello");
    EXPECT_EQ(edit->cursorPosition(), 5);
    QTest::keyClick(edit, Qt::Key_Return);
    // Tab completes bob from the lobby's user list; the focus stays in the input line.
    QTest::keyClicks(edit, "Bo");
    QTest::keyClick(edit, Qt::Key_Tab);
    EXPECT_EQ(edit->text(), "bob: ");
    EXPECT_EQ(client.focusWidget(), edit);
    Say("hi");

    Say("/me waves");
    EXPECT_EQ(LastLine(lobby), " * Ann waves");
    EXPECT_TRUE(LastLineBold(lobby));
    Say("/msg bob see you");
    EXPECT_EQ(LastLine(lobby), "-> <bob>   see you");
    EXPECT_EQ(page->ConversationView("bob"), nullptr);

    // A shortcut replaces what was typed.
    QTest::keyClicks(edit, "draft");
    QTest::keyClick(edit, Qt::Key_3, Qt::ControlModifier);
    EXPECT_EQ(edit->text(), "");
    EXPECT_EQ(LastLine(lobby), " * Ann is away");

    Say("/ping bob");
    EXPECT_EQ(LastLine(lobby), "-> [bob] PING");
    EXPECT_EQ(page->Ping.PingTarget, "bob");
    EXPECT_NE(page->Ping.PingStart, 0);
    ASSERT_TRUE(Pump([&] { return std::count(annHeard.begin(), annHeard.end(), "PONG bob") == 1; }));

    // On the server tab ordinary text goes nowhere but to the notice.
    strip->setCurrentIndex(0);
    Say("not for anyone");
    EXPECT_EQ(LastLine(server), "* You're not on a channel!");
    strip->setCurrentIndex(1);

    // A pasted block is handled line by line: its lines never reach the server as commands.
    QGuiApplication::clipboard()->setText("one\r\nQUIT :gone\n\n/me pasted");
    edit->paste();
    QTest::keyClick(edit, Qt::Key_Return);
    EXPECT_EQ(edit->text(), "");
    // An over-long line is cut between characters so that the server keeps the session.
    edit->insert(QString(400, QChar(0xE9)));
    QTest::keyClick(edit, Qt::Key_Return);

    Say("/join #test");
    ASSERT_TRUE(Pump([&] { return page->Conversations().FindChatTab("#test") > 0; }))
        << server->toPlainText().toStdString();
    EXPECT_EQ(LastLine(page->ConversationView("#test")).left(15), "Ann has joined ");

    const std::string act = "\x01" "ACTION ";
    const std::vector<TReceived> expected{
        {"Ann", "#Lobby_20", "hello"},
        {"Ann", "#Lobby_20", "hello"},
        {"Ann", "#Lobby_20", "bob: hi"},
        {"Ann", "#Lobby_20", act + "waves\x01"},
        {"Ann", "bob", "see you"},
        {"Ann", "#Lobby_20", act + "is away\x01"},
        {"Ann", "#Lobby_20", "one"},
        {"Ann", "#Lobby_20", "QUIT :gone"},
        {"Ann", "#Lobby_20", act + "pasted\x01"},
    };
    ASSERT_TRUE(Pump([&] { return got.size() >= expected.size() + 1; }));
    EXPECT_EQ(std::vector<TReceived>(got.begin(), got.begin() + static_cast<long>(expected.size())), expected);
    const std::string longText = got.back().Text;
    EXPECT_GT(longText.size(), 300u);
    EXPECT_EQ(QString::fromUtf8(longText.data(), static_cast<qsizetype>(longText.size())),
              QString(static_cast<qsizetype>(longText.size() / 2), QChar(0xE9)));
    EXPECT_EQ(LastLine(lobby).toUtf8().toStdString(), "[Ann]   " + longText);
    EXPECT_TRUE(irc.Connected());

    bob.Disconnect();
    button->click();
    ASSERT_TRUE(Pump([&] { return button->text() == "Connect"; }));
}
