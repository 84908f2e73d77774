// SPDX-License-Identifier: GPL-3.0-or-later
// The tray icon component and the tray handlers on real widgets (offscreen, where no tray exists).
#include "shell/CoolTrayIcon.h"
#include "shell/Icons.h"
#include "shell/TrayActions.h"
#include "TrayTestSupport.h"

#include <QCursor>
#include <QWidget>
#include <gtest/gtest.h>

#include <string>
#include <vector>

using tray_test::Settle;
using tray_test::WaitUntil;

namespace {

class TRecordingSound final : public TSoundPlayer {
public:
    void Play(const std::string& path) override { played.push_back(path); }
    std::vector<std::string> played;
};

class CoolTrayIconTest : public ::testing::Test {
protected:
    static void SetUpTestSuite() { tray_test::TQtApp::Start(); }
    static void TearDownTestSuite() { tray_test::TQtApp::Stop(); }

    void SetUp() override {
        window = std::make_unique<QWidget>();
        window->resize(300, 200);
        images = TrayImages();
        tray = std::make_unique<TCoolTrayIcon>(window.get(), images);
        tray->TrayAvailable = [this] { return trayAvailable; };
    }
    void TearDown() override {
        tray.reset();
        window.reset();
    }

    bool Shows(int image) const { return tray->CurrentIcon().cacheKey() == images[image].cacheKey(); }

    void ShowActive() {
        window->show();
        window->activateWindow();
        ASSERT_TRUE(WaitUntil([&] { return window->isVisible() && QApplication::activeWindow() == window.get(); }));
    }

    // Minimizes the way the program does it itself (joining a game), and lets the tray react.
    void Minimize() {
        window->setWindowState(window->windowState() | Qt::WindowMinimized);
        Settle();
    }

    bool trayAvailable = true;
    std::unique_ptr<QWidget> window;
    std::vector<QIcon> images;
    std::unique_ptr<TCoolTrayIcon> tray;
    TRecordingSound sound;
};

}  // namespace

TEST_F(CoolTrayIconTest, IconIndexClampsAndTheImageFollowsEvenWhileUnregistered) {
    EXPECT_FALSE(tray->IconVisible());
    EXPECT_EQ(tray->IconIndex(), 0);
    EXPECT_TRUE(Shows(0));
    tray->SetIconIndex(1);
    EXPECT_TRUE(Shows(1));
    EXPECT_FALSE(tray->IconVisible());
    tray->SetIconIndex(2);  // past the list: the last image
    EXPECT_EQ(tray->IconIndex(), 1);
    EXPECT_TRUE(Shows(1));
    tray->SetIconIndex(-5);
    EXPECT_EQ(tray->IconIndex(), 0);
    EXPECT_TRUE(Shows(0));
    tray->SetIconVisible(true);  // offscreen has no tray: the call is made, the result ignored
    EXPECT_TRUE(tray->IconVisible());
    tray->SetIconVisible(false);
    EXPECT_FALSE(tray->IconVisible());
}

TEST_F(CoolTrayIconTest, ActivationsBecomeMouseDownAndDoubleClickEvents) {
    std::vector<TTrayButton> downs;
    int doubles = 0;
    QPoint where;
    tray->OnMouseDown = [&](TCoolTrayIcon* sender, TTrayButton b, Qt::KeyboardModifiers shift, QPoint pos) {
        EXPECT_EQ(sender, tray.get());
        EXPECT_EQ(shift & ~(Qt::ShiftModifier | Qt::AltModifier | Qt::ControlModifier), Qt::NoModifier);
        downs.push_back(b);
        where = pos;
    };
    tray->OnDblClick = [&](TCoolTrayIcon* sender) {
        EXPECT_EQ(sender, tray.get());
        ++doubles;
    };
    tray->Activated(QSystemTrayIcon::Trigger);
    tray->Activated(QSystemTrayIcon::Context);
    tray->Activated(QSystemTrayIcon::MiddleClick);
    tray->Activated(QSystemTrayIcon::DoubleClick);
    tray->Activated(QSystemTrayIcon::Unknown);
    EXPECT_EQ(downs, (std::vector<TTrayButton>{TTrayButton::Left, TTrayButton::Right, TTrayButton::Middle}));
    EXPECT_EQ(doubles, 1);
    EXPECT_EQ(where, QCursor::pos());

    tray->OnMouseDown = nullptr;  // unassigned events are skipped
    tray->OnDblClick = nullptr;
    tray->Activated(QSystemTrayIcon::Trigger);
    tray->Activated(QSystemTrayIcon::DoubleClick);
}

TEST_F(CoolTrayIconTest, MinimizingGoesToTheTrayWhateverTrayIconVisibleSays) {
    ShowActive();
    Minimize();
    EXPECT_FALSE(window->isVisible());
    EXPECT_TRUE(tray->IconVisible());
}

TEST_F(CoolTrayIconTest, MinimizingStaysOnTheTaskbarWithoutMinimizeToTrayOrWithoutATray) {
    tray->MinimizeToTray = false;
    ShowActive();
    Minimize();
    EXPECT_TRUE(window->isVisible());
    EXPECT_TRUE(window->isMinimized());
    EXPECT_FALSE(tray->IconVisible());

    window->setWindowState(Qt::WindowNoState);
    tray->MinimizeToTray = true;
    trayAvailable = false;  // the program must still work where the desktop has no tray
    Minimize();
    EXPECT_TRUE(window->isVisible());
    EXPECT_FALSE(tray->IconVisible());
}

TEST_F(CoolTrayIconTest, PressOnTheIconTogglesBetweenWindowAndTray) {
    TSettings s;
    s.MinimizeToTray = true;
    s.TrayIconVisible = true;
    tray->SetIconVisible(true);
    ShowActive();

    RestoreOrHide(TTrayButton::Left, s, *window, *tray);
    EXPECT_FALSE(window->isVisible());
    EXPECT_TRUE(tray->IconVisible());

    tray->SetIconIndex(1);
    RestoreOrHide(TTrayButton::Right, s, *window, *tray);
    RestoreOrHide(TTrayButton::Middle, s, *window, *tray);
    EXPECT_FALSE(window->isVisible());

    RestoreOrHide(TTrayButton::Left, s, *window, *tray);
    EXPECT_TRUE(window->isVisible());
    EXPECT_TRUE(tray->IconVisible());
    EXPECT_EQ(tray->IconIndex(), 0);
}

TEST_F(CoolTrayIconTest, PressWithoutMinimizeToTrayMinimizesToTheTaskbar) {
    TSettings s;
    s.MinimizeToTray = false;
    tray->MinimizeToTray = false;
    ShowActive();
    RestoreOrHide(TTrayButton::Left, s, *window, *tray);
    Settle();
    EXPECT_TRUE(window->isVisible());
    EXPECT_TRUE(window->isMinimized());
}

TEST_F(CoolTrayIconTest, BackFromTheTrayTheWindowIsNoLongerMinimized) {
    ShowActive();
    Minimize();
    ASSERT_FALSE(window->isVisible());
    ApplyRestoreOrHide({TRestoreOrHideAction::TKind::Restore, true, false}, *window, *tray);
    Settle();
    EXPECT_TRUE(window->isVisible());
    EXPECT_FALSE(window->isMinimized());
}

TEST_F(CoolTrayIconTest, MessageImageOutlivesTheIconWhenTrayIconVisibleIsOff) {
    TSettings s;
    s.MinimizeToTray = true;
    s.TrayIconVisible = false;
    s.NotificationUserMessage = true;
    ShowActive();
    Minimize();  // the icon exists only while the window is in the tray
    ASSERT_TRUE(tray->IconVisible());

    NotifyUserMessage(s, *window, *tray, sound);
    EXPECT_EQ(tray->IconIndex(), 1);

    RestoreOrHide(TTrayButton::Left, s, *window, *tray);
    EXPECT_TRUE(window->isVisible());
    EXPECT_FALSE(tray->IconVisible());
    EXPECT_TRUE(Shows(1));  // removed still showing the message image

    Minimize();
    EXPECT_TRUE(tray->IconVisible());
    EXPECT_TRUE(Shows(1));  // and the next trip to the tray shows it again

    s.TrayIconVisible = true;
    RestoreOrHide(TTrayButton::Left, s, *window, *tray);
    EXPECT_TRUE(tray->IconVisible());
    EXPECT_TRUE(Shows(0));
}

TEST_F(CoolTrayIconTest, NotificationsInTheTrayAndInTheActiveWindow) {
    TSettings s;
    s.NotificationUserMessage = true;
    s.SoundUserMessage = true;
    s.SoundPathUserMessage = "new_msg.wav";
    ShowActive();

    NotifyUserMessage(s, *window, *tray, sound);  // active and visible, sound only when minimized
    EXPECT_EQ(tray->IconIndex(), 0);
    EXPECT_TRUE(sound.played.empty());

    s.AlwaysPlaySound = true;
    NotifyUserMessage(s, *window, *tray, sound);
    EXPECT_EQ(tray->IconIndex(), 0);
    EXPECT_EQ(sound.played, (std::vector<std::string>{"new_msg.wav"}));

    s.AlwaysPlaySound = false;
    window->hide();
    NotifyUserMessage(s, *window, *tray, sound);
    EXPECT_EQ(tray->IconIndex(), 1);
    EXPECT_EQ(sound.played.size(), 2u);
}
