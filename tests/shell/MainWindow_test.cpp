// SPDX-License-Identifier: GPL-3.0-or-later
// The main window as the user meets it: start-up, pages, layout, caption, close, errors.
#include "MainWindowFixture.h"

#include "net/Timer.h"

#include <QLabel>
#include <QLineEdit>
#include <QMenu>
#include <QPushButton>
#include <QTabBar>
#include <QTreeView>
#include <unistd.h>

namespace {

std::string Le32(std::uint32_t v) {
    std::string s(4, '\0');
    for (int i = 0; i < 4; ++i) s[static_cast<std::size_t>(i)] = static_cast<char>((v >> (8 * i)) & 0xFF);
    return s;
}

std::string StatusReply(const std::string& name, const std::string& mission, std::uint8_t state) {
    return std::string("\x00\xE1\x2E\x2E", 4) + Le32(static_cast<std::uint32_t>(name.size())) + name + Le32(0) +
           Le32(static_cast<std::uint32_t>(mission.size())) + mission + std::string{'\x03', static_cast<char>(state), '\x34'};
}

TEST_F(MainWindowTest, StartupLoadsTheSettingsShowsTheChatPageAndWalksTheTracker) {
    Make();
    EXPECT_EQ(w->windowTitle(), "Corvane Games Viewer");
    // Defaults were written: FreeSpace 2 on, the others off.
    ASSERT_NE(key.StoredValue("FSEnabled"), nullptr);
    EXPECT_EQ(key.StoredValue("FSEnabled")->Number, 1u);
    EXPECT_TRUE(w->Settings.FSEnabled);
    EXPECT_FALSE(w->tsGames->Heading(0)->isHidden());
    for (int i = 1; i < 4; ++i) EXPECT_TRUE(w->tsGames->Heading(i)->isHidden()) << i;
    for (int i = 0; i < 4; ++i) EXPECT_TRUE(w->tsGames->List(i)->isHidden()) << i;

    EXPECT_EQ(w->PageControl1->currentIndex(), 0);
    EXPECT_EQ(w->PageControl1->tabText(0), "Chat");
    EXPECT_EQ(w->PageControl1->tabText(1), "Corvane Games");
    EXPECT_EQ(w->TabControl1->tabText(0), "<Server>");
    EXPECT_EQ(w->btnChatConnection->text(), "Connect");
    EXPECT_TRUE(w->tsGames->Button2()->isHidden());
    EXPECT_FALSE(w->DeveloperMode());
    EXPECT_EQ(w->mmFile->title(), "File");
    EXPECT_EQ(w->mmExit->text(), "Exit");
    EXPECT_EQ(w->mmSettings->text(), "Settings");
    EXPECT_EQ(w->mmAbout->text(), "About...");

    // The refused tracker ends the first walk: label gone, button and 30-second timer back.
    ASSERT_TRUE(Pump([&] { return WalkDone(); }));
    EXPECT_TRUE(w->tsGames->Label1()->isHidden());
    EXPECT_TRUE(w->tsGames->Button1()->isEnabled());
    EXPECT_EQ(w->Refresh()->tmRefreshGames().Interval(), 30000);
    EXPECT_TRUE(ServerViewLines().empty());
    EXPECT_TRUE(boxes.Shown.empty());
}

TEST_F(MainWindowTest, AnErrorDuringStartupIsWrittenAndLeavesTheLaterStepsUndone) {
    key.Unreadable = true;
    Make({"corvanegv", "-developer"});
    const auto lines = ServerViewLines();
    ASSERT_FALSE(lines.empty());
    EXPECT_EQ(lines.back().rfind("!!!EXCEPTION!!!: ", 0), 0u) << lines.back();
    EXPECT_EQ(LastLineFormat().fontWeight(), QFont::Bold);
    EXPECT_EQ(LastLineFormat().foreground().color(), QColor(64, 64, 64));
    // Step 9 (developer mode) and step 10 (the first walk) never ran; the window still opens.
    EXPECT_FALSE(w->DeveloperMode());
    EXPECT_TRUE(w->tsGames->Button2()->isHidden());
    EXPECT_TRUE(w->Tracker()->Idle());
    EXPECT_FALSE(w->Refresh()->tmRefreshGames().Enabled());
    w->show();
    EXPECT_TRUE(w->isVisible());
}

// Throws from inside Qt's own event delivery, as a widget's event handler would.
class TThrowingObject : public QObject {
public:
    bool event(QEvent* e) override {
        if (e->type() == QEvent::User) throw std::runtime_error("from a widget");
        return QObject::event(e);
    }
};

TEST_F(MainWindowTest, EveryExceptionEscapingAHandlerBecomesOneBoldGreyLineAndTheProgramGoesOn) {
    Make();
    ASSERT_TRUE(Pump([&] { return WalkDone(); }));

    loop.Post([] { throw std::runtime_error("from a posted call"); });

    TTimer timer(loop, 1);
    timer.OnTimer = [&] {
        timer.SetEnabled(false);
        throw std::runtime_error("from a timer");
    };
    timer.SetEnabled(true);

    int p[2];
    ASSERT_EQ(::pipe(p), 0);
    loop.Watch(p[0], TEventLoop::Readable, [&](unsigned) {
        loop.Unwatch(p[0]);
        throw std::runtime_error("from a socket notification");
    });
    ASSERT_EQ(::write(p[1], "x", 1), 1);

    TThrowingObject object;
    QCoreApplication::postEvent(&object, new QEvent(QEvent::User));
    loop.Post([] { throw 42; });

    ASSERT_TRUE(Pump([&] { return ServerViewLines().size() == 5; }));
    auto lines = ServerViewLines();
    std::sort(lines.begin(), lines.end());
    EXPECT_EQ(lines, (std::vector<std::string>{
                         "!!!EXCEPTION!!!: Unknown error",
                         "!!!EXCEPTION!!!: from a posted call",
                         "!!!EXCEPTION!!!: from a socket notification",
                         "!!!EXCEPTION!!!: from a timer",
                         "!!!EXCEPTION!!!: from a widget",
                     }));
    for (QTextBlock b = w->RichEdit1->document()->begin(); b.isValid(); b = b.next()) {
        QTextCursor c(b);
        c.movePosition(QTextCursor::EndOfBlock);
        EXPECT_EQ(c.charFormat().fontWeight(), QFont::Bold) << b.text().toStdString();
        EXPECT_EQ(c.charFormat().foreground().color(), QColor(64, 64, 64)) << b.text().toStdString();
    }
    EXPECT_TRUE(boxes.Shown.empty());

    // Still running: the next post runs as usual.
    bool ran = false;
    loop.Post([&] { ran = true; });
    EXPECT_TRUE(Pump([&] { return ran; }));
    ::close(p[0]);
    ::close(p[1]);
}

TEST_F(MainWindowTest, DeveloperSwitchIsMatchedWholeAndIgnoringCase) {
    struct TCase {
        const char* Arg;
        bool Developer;
    };
    for (const TCase& c : {TCase{"-developer", true}, TCase{"-DEVELOPER", true}, TCase{"-Developer", true},
                           TCase{"--developer", false}, TCase{"/developer", false}, TCase{"developer", false}}) {
        Make({"corvanegv", "--config-dir", "x", c.Arg});
        EXPECT_EQ(w->DeveloperMode(), c.Developer) << c.Arg;
        EXPECT_EQ(!w->tsGames->Button2()->isHidden(), c.Developer) << c.Arg;
        // An end of names shows nothing, except as the developer's dump.
        const auto before = ServerViewLines().size();
        w->IRCCli1().DataArrived(":irc.test 366 Ann #Lobby_20 :End\r\n");
        EXPECT_EQ(ServerViewLines().size() - before, c.Developer ? 8u : 0u) << c.Arg;
        w.reset();
    }
}

TEST_F(MainWindowTest, TheCloseQuestionDecidesUnlessSwitchedOffOrInDeveloperMode) {
    Make();
    int closed = 0;
    w->OnClosed = [&] { ++closed; };
    w->show();
    boxes.Answer = TMsgResult::No;
    w->mmExit->trigger();
    ASSERT_EQ(boxes.Shown.size(), 1u);
    EXPECT_EQ(boxes.Shown[0].Text, "Do you want to quit Corvane Games Viewer?");
    EXPECT_EQ(boxes.Shown[0].Caption, "Corvane Games Viewer");
    EXPECT_EQ(boxes.Shown[0].Icon, TMsgIcon::Question);
    EXPECT_EQ(boxes.Shown[0].Buttons, TMsgButtons::YesNo);
    EXPECT_TRUE(w->isVisible());
    EXPECT_EQ(closed, 0);

    boxes.Answer = TMsgResult::Yes;
    EXPECT_TRUE(w->close());
    EXPECT_EQ(boxes.Shown.size(), 2u);
    EXPECT_FALSE(w->isVisible());
    EXPECT_EQ(closed, 1);

    // Switched off in the settings: no question.
    w.reset();
    SetFlag("DontAskQuitQuestion", true);
    Make();
    w->show();
    EXPECT_TRUE(w->close());
    EXPECT_EQ(boxes.Shown.size(), 2u);

    // Developer mode never asks, whatever the setting says.
    w.reset();
    SetFlag("DontAskQuitQuestion", false);
    boxes.Answer = TMsgResult::No;
    Make({"corvanegv", "-developer"});
    w->show();
    EXPECT_TRUE(w->close());
    EXPECT_EQ(boxes.Shown.size(), 2u);
}

TEST_F(MainWindowTest, AStopSignalClosesWithoutAskingAndWritesNothing) {
    Make();
    ASSERT_TRUE(Pump([&] { return WalkDone(); }));
    const int commits = key.CommitCount;
    int closed = 0;
    w->OnClosed = [&] { ++closed; };
    w->show();
    boxes.Answer = TMsgResult::No;
    w->StopBySignal();
    EXPECT_TRUE(boxes.Shown.empty());
    EXPECT_FALSE(w->isVisible());
    EXPECT_EQ(closed, 1);
    EXPECT_TRUE(loop.Terminated());
    EXPECT_EQ(key.CommitCount, commits);
}

TEST_F(MainWindowTest, AStopSignalWhileTheQuestionIsOpenStillEndsTheProgramOnce) {
    Make();
    int closed = 0;
    w->OnClosed = [&] { ++closed; };
    w->show();
    boxes.Answer = TMsgResult::No;
    boxes.WhileShown = [&] { w->StopBySignal(); };
    w->close();
    EXPECT_EQ(boxes.Shown.size(), 1u);
    EXPECT_EQ(closed, 1);
    EXPECT_FALSE(w->isVisible());
}

TEST_F(MainWindowTest, TheFirstActivationClicksConnectOnceOnly) {
    Make();
    int clicks = 0;
    QObject::connect(w->btnChatConnection, &QPushButton::clicked, [&] { ++clicks; });
    w->show();
    w->activateWindow();
    ASSERT_TRUE(Pump([&] { return clicks == 1; }));
    QEvent again(QEvent::WindowActivate);
    QCoreApplication::sendEvent(w.get(), &again);
    QCoreApplication::sendEvent(w.get(), &again);
    qtLoop.ProcessMessages();
    EXPECT_EQ(clicks, 1);
}

TEST_F(MainWindowTest, TheFirstActivationDoesNotConnectInDeveloperMode) {
    Make({"corvanegv", "-developer"});
    int clicks = 0;
    QObject::connect(w->btnChatConnection, &QPushButton::clicked, [&] { ++clicks; });
    QEvent activate(QEvent::WindowActivate);
    QCoreApplication::sendEvent(w.get(), &activate);
    qtLoop.ProcessMessages();
    EXPECT_EQ(clicks, 0);
}

TEST_F(MainWindowTest, PageSwitchShowsAndHidesTheRightControls) {
    EnableGames(true, false, true, false);
    Make();
    w->show();
    ASSERT_EQ(w->PageControl1->currentIndex(), 0);
    EXPECT_TRUE(w->TabControl1->isVisible());
    EXPECT_TRUE(w->RichEdit1->isVisible());

    w->PageControl1->setCurrentIndex(1);
    EXPECT_FALSE(w->TabControl1->isVisible());
    EXPECT_FALSE(w->RichEdit1->isVisible());
    EXPECT_TRUE(w->tsGames->List(0)->isVisible());
    EXPECT_FALSE(w->tsGames->List(1)->isVisible());
    EXPECT_TRUE(w->tsGames->List(2)->isVisible());
    EXPECT_FALSE(w->tsGames->List(3)->isVisible());
    EXPECT_TRUE(w->tsGames->Heading(0)->isVisible());
    EXPECT_FALSE(w->tsGames->Heading(1)->isVisible());
    EXPECT_TRUE(w->tsGames->Heading(2)->isVisible());
    EXPECT_TRUE(w->tsGames->Button1()->isVisible());
    EXPECT_FALSE(w->tsGames->Button2()->isVisible());

    w->PageControl1->setCurrentIndex(0);
    EXPECT_TRUE(w->TabControl1->isVisible());
    EXPECT_TRUE(w->RichEdit1->isVisible());
    for (int i = 0; i < 4; ++i) EXPECT_TRUE(w->tsGames->List(i)->isHidden()) << i;

    // Another tab selected: the page switch hands its conversation to the chat page logic.
    std::vector<std::pair<std::string, bool>> shown;
    w->ShowConversation = [&](const std::string& label, bool show) { shown.emplace_back(label, show); };
    w->TabControl1->addTab("#Lobby_20");
    w->TabControl1->setCurrentIndex(1);
    w->PageControl1->setCurrentIndex(1);
    w->PageControl1->setCurrentIndex(0);
    EXPECT_EQ(shown, (std::vector<std::pair<std::string, bool>>{{"#Lobby_20", false}, {"#Lobby_20", true}}));
}

TEST_F(MainWindowTest, LayoutRulePlacesHeadingsAndListsInThePage) {
    EnableGames(true, true, true, true);
    Make();
    w->show();
    w->PageControl1->setCurrentIndex(1);
    // The filter bar takes its height above the lists; the rule lays them out below it.
    w->tsGames->resize(w->tsGames->width(), 360 + FilterBarHeight);
    w->FormResize();
    const int headings[] = {4, 89, 174, 259};
    const int lists[] = {20, 105, 190, 275};
    for (int i = 0; i < 4; ++i) {
        EXPECT_EQ(w->tsGames->Heading(i)->y(), headings[i] + FilterBarHeight) << i;
        EXPECT_EQ(w->tsGames->Heading(i)->x(), 8) << i;
        EXPECT_EQ(w->tsGames->List(i)->geometry(), QRect(4, lists[i] + FilterBarHeight, w->tsGames->width() - 10, 67)) << i;
    }

    // A larger window: the rule follows the page's new height, the lists its width.
    w->resize(1000, 600);
    ASSERT_TRUE(Pump([&] { return w->tsGames->height() > 400; }));
    const int h = (w->tsGames->height() - FilterBarHeight - 26) / 4 - 16;
    EXPECT_EQ(w->tsGames->List(3)->geometry(), QRect(4, FilterBarHeight + 4 + 3 * (16 + h + 2) + 16, w->tsGames->width() - 10, h));
}

TEST_F(MainWindowTest, LayoutRuleWithOnlyFreeSpaceOrOnlyStarfox) {
    EnableGames(true, false, false, false);
    Make();
    w->show();
    // The filter bar takes its height above the lists; the rule lays them out below it.
    w->tsGames->resize(w->tsGames->width(), 360 + FilterBarHeight);
    w->FormResize();
    EXPECT_EQ(w->tsGames->Heading(0)->y(), FilterBarHeight + 4);
    EXPECT_EQ(w->tsGames->List(0)->y(), FilterBarHeight + 20);
    EXPECT_EQ(w->tsGames->List(0)->height(), 318);

    w.reset();
    EnableGames(false, false, false, true);
    Make();
    w->show();
    w->PageControl1->setCurrentIndex(1);
    // The filter bar takes its height above the lists; the rule lays them out below it.
    w->tsGames->resize(w->tsGames->width(), 360 + FilterBarHeight);
    w->FormResize();
    EXPECT_EQ(w->tsGames->Heading(3)->y(), FilterBarHeight + 4);
    EXPECT_EQ(w->tsGames->List(3)->y(), FilterBarHeight + 20);
    EXPECT_EQ(w->tsGames->List(3)->height(), 318);
    EXPECT_TRUE(w->tsGames->List(3)->isVisible());
    EXPECT_FALSE(w->tsGames->Heading(0)->isVisible());
}

TEST_F(MainWindowTest, WithNoGameEnabledThePageShowsNothingAndResizingChangesNothing) {
    EnableGames(false, false, false, false);
    Make();
    w->show();
    w->PageControl1->setCurrentIndex(1);
    std::vector<int> tops;
    for (int i = 0; i < 4; ++i) {
        EXPECT_FALSE(w->tsGames->Heading(i)->isVisible()) << i;
        EXPECT_FALSE(w->tsGames->List(i)->isVisible()) << i;
        tops.push_back(w->tsGames->List(i)->y());
        tops.push_back(w->tsGames->List(i)->height());
    }
    w->resize(900, 700);
    ASSERT_TRUE(Pump([&] { return w->tsGames->height() > 500; }));
    w->FormResize();
    for (int i = 0; i < 4; ++i) {
        EXPECT_EQ(w->tsGames->List(i)->y(), tops[static_cast<std::size_t>(2 * i)]) << i;
        EXPECT_EQ(w->tsGames->List(i)->height(), tops[static_cast<std::size_t>(2 * i + 1)]) << i;
    }
    // With nothing to ask, each walk ends at once and leaves "Refresh" usable.
    ASSERT_TRUE(Pump([&] { return WalkDone(); }));
    EXPECT_TRUE(w->tsGames->Label1()->isHidden());
}

TEST_F(MainWindowTest, PageCaptionCountsTheRowsOfAllListsLive) {
    Make();
    testing_support::TUdpPeer alpha, beta;
    const int port = w->NMUDP1().LocalPort();
    ASSERT_GT(port, 0);
    alpha.SendTo(port, StatusReply("Alpha", "Operation X", 129));
    ASSERT_TRUE(Pump([&] { return w->PageControl1->tabText(1) == "Corvane Games (1)"; }));
    beta.SendTo(port, StatusReply("Beta", "Training", 9));
    ASSERT_TRUE(Pump([&] { return w->PageControl1->tabText(1) == "Corvane Games (2)"; }));

    auto* model = w->tsGames->List(0)->model();
    ASSERT_EQ(model->rowCount(), 2);
    EXPECT_EQ(model->index(0, 2).data().toString(), "Alpha");
    EXPECT_EQ(model->index(0, 0).data().toString(), "Playing");
    EXPECT_EQ(model->index(1, 0).data().toString(), "Forming");
    EXPECT_EQ(model->index(1, 4).data().toString(), "Cable");

    // Three sweeps without replies remove both rows; the caption loses its count.
    for (int i = 0; i < 3; ++i) w->Games().tmRefreshUDPTimer();
    EXPECT_EQ(model->rowCount(), 0);
    EXPECT_EQ(w->PageControl1->tabText(1), "Corvane Games");
}

}  // namespace
