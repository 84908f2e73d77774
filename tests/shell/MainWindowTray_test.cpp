// SPDX-License-Identifier: GPL-3.0-or-later
// The tray, the message notification and the about box as the main window wires them.
#include "MainWindowFixture.h"

#include <QAction>

#include <string>
#include <vector>

namespace {

class TRecordingSound final : public TSoundPlayer {
public:
    void Play(const std::string& path) override { played.push_back(path); }
    std::vector<std::string> played;
};

class MainWindowTrayTest : public MainWindowTest {
protected:
    // Settings as stored; the window reads them at start-up.
    TCorvaneGVMF& MakeWith(bool minimizeToTray, bool trayIconVisible) {
        SetFlag("MinimizeToTray", minimizeToTray);
        SetFlag("TrayIconVisible", trayIconVisible);
        Make();
        auto s = std::make_unique<TRecordingSound>();
        sound = s.get();
        w->Sound = std::move(s);
        w->CoolTrayIcon1->TrayAvailable = [] { return true; };
        return *w;
    }
    TRecordingSound* sound = nullptr;
};

}  // namespace

TEST_F(MainWindowTrayTest, StartupGivesTheTrayItsSettings) {
    MakeWith(false, true);
    EXPECT_FALSE(w->CoolTrayIcon1->MinimizeToTray);
    EXPECT_TRUE(w->CoolTrayIcon1->IconVisible());
    EXPECT_EQ(w->CoolTrayIcon1->IconIndex(), 0);
}

TEST_F(MainWindowTrayTest, FreshSettingsShowTheIconAndMinimizeToTheTray) {
    Make();
    EXPECT_TRUE(w->CoolTrayIcon1->MinimizeToTray);
    EXPECT_TRUE(w->CoolTrayIcon1->IconVisible());
}

TEST_F(MainWindowTrayTest, MessageInTheTrayThenBackByAPressOnTheIcon) {
    MakeWith(true, false);
    EXPECT_FALSE(w->CoolTrayIcon1->IconVisible());
    w->show();
    ASSERT_TRUE(Pump([&] { return w->isVisible(); }));
    w->setWindowState(w->windowState() | Qt::WindowMinimized);  // as joining a game does
    ASSERT_TRUE(Pump([&] { return !w->isVisible(); }));
    EXPECT_TRUE(w->CoolTrayIcon1->IconVisible());

    // A lobby message notifies (fresh settings: notification and sound on, sound only when in
    // the tray); a join announcement after it does not.
    w->IRCCli1().DataArrived(":bob!b@h PRIVMSG #Lobby_20 :hi\r\n:bob!b@h PRIVMSG #Lobby_20 :\x01\x02\x03\x04" "A\r\n");
    EXPECT_EQ(w->CoolTrayIcon1->IconIndex(), 1);
    EXPECT_EQ(sound->played, (std::vector<std::string>{"new_msg.wav"}));

    w->CoolTrayIcon1->Activated(QSystemTrayIcon::Trigger);
    EXPECT_TRUE(w->isVisible());
    EXPECT_FALSE(w->CoolTrayIcon1->IconVisible());  // TrayIconVisible off: the icon goes again
    ASSERT_TRUE(Pump([&] { return !w->isMinimized(); }));
    EXPECT_TRUE(ServerViewLines().empty() || ServerViewLines().back().rfind(ExceptionLinePrefix, 0) != 0);
}

TEST_F(MainWindowTrayTest, AboutOpensOneBoxAtATime) {
    Make();
    w->mmAbout->trigger();
    w->mmAbout->trigger();
    ASSERT_FALSE(w->frmAbout.isNull());
    EXPECT_EQ(w->findChildren<TfrmAbout*>().size(), 1);
    EXPECT_EQ(w->frmAbout->lbTitle->text(), "Corvane Games Viewer v1.01");
    w->frmAbout->close();
    ASSERT_TRUE(Pump([&] { return w->frmAbout.isNull(); }));
    w->mmAbout->trigger();
    EXPECT_FALSE(w->frmAbout.isNull());
}
