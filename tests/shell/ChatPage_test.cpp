// SPDX-License-Identifier: GPL-3.0-or-later
// The chat page's widgets bound to the chat logic: the connect button through a real ngircd
// session, tab clicks, the user-list double-click, the strip's "Close" and link clicks.
#include "ChatPageFixture.h"

#include "chat/NgircdServer.h"
#include "shell/ChatView.h"
#include "shell/QtEventLoop.h"

#include <QApplication>
#include "support/TestSupport.h"
#include <QLineEdit>
#include <QListWidget>
#include <QPushButton>
#include <QTabBar>
#include <QTest>
#include <gtest/gtest.h>

namespace {

class TRecordingOpener : public TLinkOpener {
public:
    void OpenLink(const std::string& address) override { Opened.push_back(address); }
    std::vector<std::string> Opened;
};

QStringList Items(QListWidget* list) {
    QStringList out;
    for (int i = 0; list && i < list->count(); ++i) out << list->item(i)->text();
    return out;
}

class ChatPageTest : public TChatPageFixture {
protected:
    void MakePage(const std::string& port) {
        page = std::make_unique<TChatPage>(
            TChatControls{&client, QSize(803, 388), strip, server, edit, button, [this] { return chatActive; }, {}},
            irc, settings, random, "127.0.0.1", port, &opener);
    }

    TRecordingOpener opener;
    bool chatActive = true;
};

}  // namespace

TEST_F(ChatPageTest, ButtonFollowsARealSessionAndTheLobbyTabFills) {
    TNgircdServer ngircd;
    MakePage(ngircd.PortText());
    button->click();
    EXPECT_EQ(button->text(), "Connect");
    EXPECT_FALSE(button->isEnabled());
    EXPECT_EQ(strip->tabText(0), "127.0.0.1");

    ASSERT_TRUE(Pump([&] { return button->text() == "Disconnect"; })) << server->toPlainText().toStdString();
    EXPECT_TRUE(button->isEnabled());
    // The welcome joins the lobby; the server's JOIN opens its tab and its names fill the list.
    ASSERT_TRUE(Pump([&] { return Items(page->UserListWidget("#Lobby_20")) == QStringList{"@Ann"}; }))
        << server->toPlainText().toStdString();
    EXPECT_EQ(strip->count(), 2);
    EXPECT_EQ(strip->tabText(1), "#Lobby_20");
    EXPECT_EQ(strip->currentIndex(), 1);
    EXPECT_TRUE(page->ConversationView("#Lobby_20")->isVisible());
    EXPECT_TRUE(page->UserListWidget("#Lobby_20")->isVisible());
    EXPECT_FALSE(server->isVisible());
    EXPECT_TRUE(page->ConversationView("#Lobby_20")->toPlainText().startsWith("Ann has joined at "));

    button->click();
    ASSERT_TRUE(Pump([&] { return button->text() == "Connect"; }));
    EXPECT_TRUE(button->isEnabled());
    EXPECT_FALSE(irc.Active());
    EXPECT_EQ(page->UserListWidget("#Lobby_20")->count(), 0);
    const QString where = "127.0.0.1:" + QString::fromStdString(ngircd.PortText());
    EXPECT_TRUE(page->ConversationView("#Lobby_20")->toPlainText().endsWith("Disconnected from " + where));
    // A hidden view shows its lines once the loop turns.
    EXPECT_TRUE(Pump([&] { return server->toPlainText().endsWith("Disconnected from " + where); }));
    EXPECT_EQ(strip->tabText(0), "127.0.0.1");
    EXPECT_EQ(loop.WatchCount(), 0u);
}

TEST_F(ChatPageTest, AFailedStartShowsTheErrorAndLeavesTheButtonReady) {
    MakePage("");
    button->click();
    EXPECT_EQ(button->text(), "Connect");
    EXPECT_TRUE(button->isEnabled());
    EXPECT_FALSE(irc.Active());
    EXPECT_EQ(server->toPlainText().toStdString(), "Connecting to 127.0.0.1:\n!!!EXCEPTION!!!: Connect: No Port Specified");
}

TEST_F(ChatPageTest, ClickingTabsMovesViewsAndInputTextAndChannelsStandBesideTheirList) {
    MakePage("6667");
    TConversations& chat = page->Conversations();
    edit->setText("to the server");
    chat.AddLineToRichEdit("#a", "in a", LineClass::Info);
    chat.AddLineToRichEdit("bob", "from bob", LineClass::Talk);
    EXPECT_EQ(strip->currentIndex(), 2);
    edit->setText("to bob");

    strip->setCurrentIndex(0);  // as the user's click does
    EXPECT_EQ(chat.SelectedTab(), 0);
    EXPECT_EQ(edit->text(), "to the server");
    EXPECT_TRUE(server->isVisible());
    EXPECT_FALSE(page->ConversationView("bob")->isVisible());
    strip->setCurrentIndex(2);
    EXPECT_EQ(edit->text(), "to bob");
    strip->setCurrentIndex(1);
    EXPECT_EQ(edit->text(), "");
    EXPECT_TRUE(page->ConversationView("#a")->isVisible());

    const QRect channelView = page->ConversationView("#a")->geometry();
    const QRect list = page->UserListWidget("#a")->geometry();
    EXPECT_EQ(channelView, QRect(8, 56, 642, 281));
    EXPECT_EQ(list, QRect(657, 56, 136, 281));
    EXPECT_EQ(page->ConversationView("bob")->geometry(), QRect(8, 56, 785, 281));
    EXPECT_EQ(page->UserListWidget("bob"), nullptr);
    client.resize(903, 488);
    EXPECT_EQ(page->ConversationView("#a")->geometry(), QRect(8, 56, 742, 381));
    EXPECT_EQ(page->UserListWidget("#a")->geometry(), QRect(757, 56, 136, 381));
}

TEST_F(ChatPageTest, DoubleClickOnAUserOpensAPrivateTabThenSelectsIt) {
    MakePage("6667");
    TConversations& chat = page->Conversations();
    chat.AddLineToRichEdit("#Lobby_20", "x", LineClass::Info);
    chat.Row(0).UserList->Fill({{"bob"}, {"op", "o"}, {"alice"}});
    QListWidget* list = page->UserListWidget("#Lobby_20");
    ASSERT_EQ(Items(list), (QStringList{"@op", "alice", "bob"}));

    const QRect opRect = list->visualItemRect(list->item(0));
    QTest::mouseClick(list->viewport(), Qt::LeftButton, {}, opRect.center());
    QTest::mouseDClick(list->viewport(), Qt::LeftButton, {}, opRect.center());
    ASSERT_EQ(strip->count(), 3);
    EXPECT_EQ(strip->tabText(2), "op");
    EXPECT_EQ(strip->currentIndex(), 2);
    ASSERT_NE(page->ConversationView("op"), nullptr);
    EXPECT_TRUE(page->ConversationView("op")->isVisible());
    EXPECT_FALSE(list->isVisible());
    EXPECT_EQ(client.focusWidget(), edit);

    strip->setCurrentIndex(1);
    QTest::mouseDClick(list->viewport(), Qt::LeftButton, {}, opRect.center());
    EXPECT_EQ(strip->count(), 3);
    EXPECT_EQ(strip->currentIndex(), 2);
}

TEST_F(ChatPageTest, CloseIsOfferedOnEveryTabButTheServersAndAMiddleClickCloses) {
    MakePage("6667");
    TConversations& chat = page->Conversations();
    chat.AddLineToRichEdit("#Lobby_20", "x", LineClass::Info);
    chat.AddLineToRichEdit("bob", "x", LineClass::Talk);
    chat.AddLineToRichEdit("carl", "x", LineClass::Talk);
    auto at = [&](int tab) { return strip->tabRect(tab).center(); };
    EXPECT_FALSE(page->PrepareTabMenu(at(0)));
    EXPECT_FALSE(page->CloseAction()->isVisible());
    EXPECT_TRUE(page->PrepareTabMenu(at(1)));
    EXPECT_FALSE(page->PrepareTabMenu(QPoint(strip->tabRect(3).right() + 30, 5)));
    ASSERT_TRUE(page->PrepareTabMenu(QPoint(at(3).x(), 2)));
    EXPECT_TRUE(page->CloseAction()->isVisible());
    page->CloseAction()->trigger();
    EXPECT_EQ(strip->count(), 3);
    EXPECT_EQ(strip->currentIndex(), 2);
    EXPECT_EQ(chat.SelectedTab(), 2);
    EXPECT_TRUE(page->ConversationView("bob")->isVisible());
    EXPECT_FALSE(page->ConversationView("carl")->isVisible());

    // The channel goes with a middle click; a channel not joined shows so in its label.
    chat.SetJoined(chat.FindRow("#Lobby_20"), true);
    chat.SetJoined(chat.FindRow("#Lobby_20"), false);
    EXPECT_EQ(strip->tabText(1), "(#Lobby_20)");
    EXPECT_EQ(strip->tabToolTip(1), "Not joined");
    QTest::mouseClick(strip, Qt::MiddleButton, {}, at(1));
    EXPECT_EQ(strip->count(), 2);
    EXPECT_EQ(chat.FindChatTab("#Lobby_20"), -1);
    QTest::mouseClick(strip, Qt::MiddleButton, {}, at(0));
    EXPECT_EQ(strip->count(), 2);
}

TEST_F(ChatPageTest, AnAmpersandInANameShowsAndMakesNoKeyboardAccelerator) {
    MakePage("6667");
    TConversations& chat = page->Conversations();
    chat.AddLineToRichEdit("&x", "x", LineClass::Talk);
    chat.AddLineToRichEdit("&&y", "y", LineClass::Talk);
    chat.SelectChatTab(0);
    client.activateWindow();
    ASSERT_TRUE(QTest::qWaitForWindowActive(&client));
    QTest::keyClick(&client, Qt::Key_X, Qt::AltModifier);
    QTest::keyClick(&client, Qt::Key_Y, Qt::AltModifier);
    chat.SetTabLabel(1, "&z");  // as a nick change relabels a tab
    QTest::keyClick(&client, Qt::Key_Z, Qt::AltModifier);
    EXPECT_EQ(strip->currentIndex(), 0);
    EXPECT_EQ(chat.SelectedTab(), 0);
}

TEST_F(ChatPageTest, LinkClicksFocusTheInputLineAndOpenOnlySafeLinks) {
    MakePage("6667");
    page->Conversations().AddLineToRichEdit("#a", "see www.x.org or file:///bin/sh", LineClass::Talk);
    TChatView* view = page->ConversationView("#a");
    view->setFocus();
    auto clickAt = [&](int position) {
        QTextCursor c(view->document());
        c.setPosition(position);
        QTest::mouseClick(view->viewport(), Qt::LeftButton, {}, view->cursorRect(c).center() + QPoint(2, 0));
    };
    clickAt(5);
    EXPECT_EQ(client.focusWidget(), edit);
    clickAt(22);
    EXPECT_EQ(opener.Opened, std::vector<std::string>{"http://www.x.org"});

    server->AppendLine("mailto:bob@x.org", TFontStyle::Regular, {0, 0, 0});
    page->Conversations().SelectChatTab(0);
    QTextCursor c(server->document());
    c.setPosition(3);
    QTest::mouseClick(server->viewport(), Qt::LeftButton, {}, server->cursorRect(c).center() + QPoint(2, 0));
    EXPECT_EQ(opener.Opened.back(), "mailto:bob@x.org");
}
