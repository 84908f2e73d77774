// SPDX-License-Identifier: GPL-3.0-or-later
// A new player's first hour: the welcome before the chat sends any name, the games page's line
// about a tracker that answers nothing and the tracker set in the dialog, servers added by
// address with no tracker at all, and the shared list of favourites.
#include "MainWindowFixture.h"
#include "chat/NgircdServer.h"
#include "shell/ChatPage.h"
#include "shell/TrackerPage.h"
#include "shell/WelcomeDialog.h"
#include "tools/GameSimProcess.h"
#include "tools/TrackerSimProcess.h"

#include <QComboBox>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QPushButton>
#include <QSpinBox>
#include <QTabWidget>

#include <fstream>
#include <sstream>

using testing_support::ReadFile;

namespace {

namespace fs = std::filesystem;
using namespace testing_support;

class FirstStartTest : public MainWindowTest {
protected:
    TMainWindowOptions Options(int trackerPort, const std::string& chatPort = {}) {
        TMainWindowOptions o;
        o.Tracker = {"127.0.0.1", trackerPort};
        o.ChatHost = "127.0.0.1";
        o.ChatPort = chatPort.empty() ? std::to_string(UnusedTcpPort()) : chatPort;
        o.StatusPort = 0;
        o.Boxes = &boxes;
        return o;
    }
    TCorvaneGVMF& Open(TMainWindowOptions o) {
        w = std::make_unique<TCorvaneGVMF>(loop, key, std::move(o));
        return *w;
    }
    void Activate() {
        QEvent activate(QEvent::WindowActivate);
        QCoreApplication::sendEvent(w.get(), &activate);
    }
    const TRegValue* Stored(const std::string& name) { return key.StoredValue(name); }
};

TEST_F(FirstStartTest, TheWelcomeShowsWhatTheChatWouldSendAndConnectsOnlyOnOk) {
    TNgircdServer ngircd;
    TMainWindowOptions o = Options(UnusedTcpPort(), ngircd.PortText());
    o.Welcome = true;

    // Declined: nothing connects, and the server view says how to later.
    Open(o);
    Activate();
    ASSERT_TRUE(Pump([&] { return !w->frmWelcome.isNull(); }));
    EXPECT_EQ(w->frmWelcome->lbNetwork->text().toStdString(), "127.0.0.1:" + ngircd.PortText());
    EXPECT_EQ(w->frmWelcome->lbeNickname->text().toStdString(), w->Settings.Nickname);
    EXPECT_EQ(w->frmWelcome->lbeFullName->text().toStdString(), w->Settings.FullName);
    w->frmWelcome->btnCancel->click();
    Drain(qtLoop, 500);
    EXPECT_FALSE(w->IRCCli1().Connected());
    EXPECT_TRUE(w->RichEdit1->toPlainText().contains(WelcomeCancelledLine));
    // A second activation asks nothing again.
    Activate();
    qtLoop.ProcessMessages();
    EXPECT_TRUE(w->frmWelcome.isNull());

    // Accepted with other names: those are saved and are what the server hears.
    w.reset();
    key.Stored.clear();
    Open(o);
    Activate();
    ASSERT_TRUE(Pump([&] { return !w->frmWelcome.isNull(); }));
    w->frmWelcome->lbeNickname->setText("New Pilot");  // the blank is no nickname character
    w->frmWelcome->lbeFullName->setText("Someone");
    EXPECT_FALSE(w->IRCCli1().Connected());
    w->frmWelcome->btnOK->click();
    ASSERT_TRUE(Pump([&] {
        QListWidget* users = w->Chat().UserListWidget("#Lobby_20");
        return users && !users->findItems("NewPilot", Qt::MatchContains).isEmpty();
    }, 10000)) << ngircd.Log();
    EXPECT_EQ(w->Settings.Nickname, "NewPilot");
    EXPECT_EQ(Stored("FullName")->Text, "Someone");
    w->btnChatConnection->click();
    Pump([&] { return !w->IRCCli1().Connected(); });

    // Developer mode keeps its rule: no question, no connect.
    w.reset();
    o.Args = {"corvanegv", "-developer"};
    Open(o);
    Activate();
    qtLoop.ProcessMessages();
    EXPECT_TRUE(w->frmWelcome.isNull());
    Drain(qtLoop, 300);
    EXPECT_FALSE(w->IRCCli1().Connected());
}

TEST_F(FirstStartTest, ATrackerThatAnswersNothingIsNamedOnTheGamesPageUntilTheDialogPointsAtOneThatDoes) {
    TGameSimProcess sim({R"(name="Alpha Squadron" mission="Ravana" players=3 state=9 flags=0x34)"});
    TTrackerSimProcess tracker({"game=0", "server=127.0.0.1:" + std::to_string(sim.Ports()[0])});
    EnableGames(true, false, false, false);
    const int nowhere = UnusedTcpPort();
    key.Stored.push_back({"Tracker", TRegDataType::String, "127.0.0.1:" + std::to_string(nowhere), 0});
    TMainWindowOptions o = Options(UnusedTcpPort());
    o.TrackerFromCommandLine = false;  // the settings' tracker, not the one given
    Open(o);
    w->show();
    w->PageControl1->setCurrentIndex(1);
    ASSERT_TRUE(Pump([&] { return WalkDone(); }));
    QLabel* notice = w->tsGames->lbTrackerNotice();
    EXPECT_TRUE(notice->isVisible());
    EXPECT_EQ(notice->text().toStdString(), "No answer from the game tracker at 127.0.0.1:" + std::to_string(nowhere) +
                                                ": set the tracker under Settings");

    w->mmSettingsClick();
    TTrackerPage* page = w->frmOptions->tsTracker;
    EXPECT_EQ(page->lbeTrackerAddress->text(), "127.0.0.1");
    EXPECT_EQ(page->seTrackerPort->value(), nowhere);
    EXPECT_TRUE(page->lbTrackerInUse->text().isEmpty());

    // No address: refused with its reason, nothing saved.
    page->lbeTrackerAddress->setText("my tracker; rm");
    w->frmOptions->btnApply->click();
    ASSERT_EQ(boxes.Shown.size(), 1u);
    EXPECT_TRUE(boxes.Shown[0].Text.starts_with("The game tracker needs an IPv4 address")) << boxes.Shown[0].Text;
    EXPECT_EQ(Stored("Tracker")->Text, "127.0.0.1:" + std::to_string(nowhere));

    // The world's tracker: stored, asked at once, the lists fill and the line goes.
    page->lbeTrackerAddress->setText("127.0.0.1");
    page->seTrackerPort->setValue(tracker.BasePort());
    w->frmOptions->btnApply->click();
    EXPECT_EQ(Stored("Tracker")->Text, "127.0.0.1:" + std::to_string(tracker.BasePort()));
    ASSERT_TRUE(Pump([&] { return w->Games().lvFSGames().Count() == 1 && WalkDone(); }, 10000));
    EXPECT_FALSE(notice->isVisible());
    EXPECT_EQ(w->TrackerInUse().BasePort, tracker.BasePort());
    w->frmOptions->close();

    // A tracker given for the run holds over the settings' one, and the dialog says so.
    w.reset();
    Open(Options(nowhere));
    EXPECT_EQ(w->TrackerInUse().BasePort, nowhere);
    w->mmSettingsClick();
    EXPECT_TRUE(w->frmOptions->tsTracker->lbTrackerInUse->text().contains(
        QString::fromStdString("127.0.0.1:" + std::to_string(nowhere))));
    w->frmOptions->close();
}

TEST_F(FirstStartTest, AServerAddedByAddressIsSweptWithoutATrackerKeptAcrossARestartAndShared) {
    TGameSimProcess sim({R"(name="Home Base" mission="Duel" players=1 state=9 flags=0x00)",
                         R"(name="Second Base" mission="Duel" players=2 state=9 flags=0x00)"});
    const std::string port0 = std::to_string(sim.Ports()[0]), port1 = std::to_string(sim.Ports()[1]);
    EnableGames(true, true, false, false);
    Open(Options(UnusedTcpPort()));
    // The real resolver for localhost (the hosts file); a name that must never be asked of a
    // network is answered here.
    w->tsGames->LookUpHost = [](QObject* context, const std::string& host,
                                std::function<void(const std::string&, const std::string&)> done) {
        if (host == "nowhere.test") return done({}, "Host not found");
        LookUpHostAsync(context, host, std::move(done));
    };
    TfrmAddServer* dialog = w->tsGames->AddServerClick(1);
    EXPECT_EQ(dialog->cbGameType->currentIndex(), 1);

    // Refused in the dialog, nothing kept.
    for (const auto& [host, reason] : {std::pair{"", "Enter the server's host name or IPv4 address."},
                                       std::pair{"bad host!", "\"bad host!\" is neither an IPv4 address nor a host name."}}) {
        dialog->lbeHost->setText(host);
        dialog->btnAddClick();
        EXPECT_EQ(dialog->lbError->text().toStdString(), reason);
    }
    dialog->lbeHost->setText("nowhere.test");
    dialog->btnAddClick();
    ASSERT_TRUE(Pump([&] { return dialog->lbError->text().startsWith("Can't find"); }));
    EXPECT_EQ(dialog->lbError->text().toStdString(), "Can't find nowhere.test: Host not found.");
    EXPECT_TRUE(w->tsGames->Favourites().All().empty());

    // By name, looked up while the window goes on: kept, asked at once, listed in its game's list.
    dialog->lbeHost->setText("localhost");
    dialog->sePort->setValue(sim.Ports()[0]);
    dialog->btnAddClick();
    ASSERT_TRUE(Pump([&] { return w->Games().lvBtRLGames().Count() == 1; }));
    EXPECT_TRUE(w->tsGames->frmAddServer.isNull() || !w->tsGames->frmAddServer->isVisible());
    EXPECT_EQ(w->Games().lvBtRLGames().Row(0).Server, "Home Base");
    EXPECT_EQ(w->tsGames->Favourites().All().at(0), (TFavourite{1, "127.0.0.1", port0, "Home Base"}));
    // The same again is refused in the dialog.
    dialog = w->tsGames->AddServerClick(1);
    dialog->lbeHost->setText("127.0.0.1");
    dialog->sePort->setValue(sim.Ports()[0]);
    dialog->btnAddClick();
    EXPECT_EQ(dialog->lbError->text().toStdString(), "127.0.0.1:" + port0 + " is a favourite already.");
    dialog->close();

    // After a restart it is still kept, and swept with no tracker to name it.
    w.reset();
    Open(Options(UnusedTcpPort()));
    ASSERT_EQ(w->tsGames->Favourites().All().size(), 1u);
    w->Games().tmRefreshUDPTimer();
    ASSERT_TRUE(Pump([&] { return w->Games().lvBtRLGames().Count() == 1; }));

    // Exported as a shared list, and a list with garbage read in: good lines kept, bad named.
    TTempDir dir;
    bool error = true;
    const std::string exported = w->tsGames->ExportFavourites(QString::fromStdString((dir.Path() / "out.txt").string()), error);
    EXPECT_FALSE(error) << exported;
    EXPECT_EQ(ReadFile(dir.Path() / "out.txt"), "127.0.0.1:" + port0 + " 1\n");
    std::ofstream(dir.Path() / "in.txt") << "# from a friend\n127.0.0.1:" << port0 << " 1\n\x01\x02garbage\n"
                                         << "127.0.0.1:" << port1 << " 0\nfs2.example.org:7808 0\n";
    const std::string report = w->tsGames->ImportFavourites(QString::fromStdString((dir.Path() / "in.txt").string()), error);
    EXPECT_TRUE(error);
    EXPECT_EQ(report, "1 servers added from " + (dir.Path() / "in.txt").string() +
                          ", 1 kept already.\n2 lines are not \"address:port game\" and were skipped:\n"
                          "line 3: not an IPv4 address:port\nline 5: not an IPv4 address:port");
    ASSERT_TRUE(Pump([&] { return w->Games().lvFSGames().Count() == 1; }));
    EXPECT_EQ(w->tsGames->Favourites().All().size(), 2u);
    // Kept in the settings at once (the names they answer with follow with the next save).
    EXPECT_EQ(FavouritesListText(TFavourites::FromText(LoadGamesView(key).Favourites)),
              FavouritesListText(w->tsGames->Favourites()));
    // A file that is not there changes nothing.
    EXPECT_TRUE(w->tsGames->ImportFavourites(QString::fromStdString((dir.Path() / "none").string()), error)
                    .starts_with("Couldn't read "));
    EXPECT_EQ(w->tsGames->Favourites().All().size(), 2u);
}

}  // namespace
