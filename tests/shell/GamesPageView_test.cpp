// SPDX-License-Identifier: GPL-3.0-or-later
// The games page as a user works it: heading clicks, Enter, the right-click menu, favourites,
// the filter bar and its settings values, on the offscreen platform.
#include "MainWindowFixture.h"

#include "shell/Unit2.h"
#include "tracker/JoinGame.h"

#include <QAction>
#include <QClipboard>
#include <QGuiApplication>
#include <QHeaderView>
#include <QKeyEvent>
#include <QMenu>
#include <QPointer>
#include <QSpinBox>

namespace {

class GamesPageViewTest : public MainWindowTest {
protected:
    // A reply from a server as the socket would hand it over.
    void Reply(const std::string& port, const std::string& name, int players, std::uint8_t state) {
        TStatusReply r;
        r.ServerName = name;
        r.MissionName = "M";
        r.Players = static_cast<std::uint8_t>(players);
        r.State = state;
        w->Games().ApplyStatusReply(r, "127.0.0.1", std::stoi(port));
    }
    QTreeView* List() { return w->tsGames->List(0); }
    QString Line(int line, int column = 2) { return List()->model()->index(line, column).data().toString(); }
    QString Selected() {
        const auto rows = List()->selectionModel()->selectedRows(2);
        return rows.isEmpty() ? QString() : rows.first().data().toString();
    }
    void Open() {
        EnableGames(true, false, false, false);
        Make();
        w->show();
        w->PageControl1->setCurrentIndex(1);
        Reply("7001", "bravo", 9, 129);    // Playing
        Reply("7002", "alpha", 10, 9);     // Forming
        Reply("7003", "charlie", 2, 129);  // Playing
        qtLoop.ProcessMessages();
    }
    QStringList Actions(QMenu& menu) {
        QStringList texts;
        for (QAction* a : menu.actions()) texts << a->text();
        return texts;
    }
    QAction* Action(QMenu& menu, const QString& text) {
        for (QAction* a : menu.actions())
            if (a->text() == text) return a;
        return nullptr;
    }
    QPoint LinePos(int line) { return List()->visualRect(List()->model()->index(line, 2)).center(); }
};

TEST_F(GamesPageViewTest, HeadingClicksSortKeepTheSelectionAndEnterJoinsTheSelectedServer) {
    Open();
    EXPECT_TRUE(List()->isColumnHidden(PingColumn));  // eight columns until the user asks for "Ping"
    EXPECT_EQ(Line(0), "bravo");
    List()->selectionModel()->setCurrentIndex(List()->model()->index(0, 0),
                                              QItemSelectionModel::ClearAndSelect | QItemSelectionModel::Rows);
    List()->header()->sectionClicked(1);  // Players, as numbers: 2, 9, 10
    qtLoop.ProcessMessages();
    EXPECT_EQ(Line(0) + "," + Line(1) + "," + Line(2), "charlie,bravo,alpha");
    EXPECT_EQ(Selected(), "bravo");

    // A refresh that reorders follows the selected server too.
    Reply("7001", "bravo", 1, 129);
    ASSERT_TRUE(Pump([&] { return Line(0) == "bravo"; }));
    EXPECT_EQ(Selected(), "bravo");

    // Enter joins the selected server (a Playing one: the question comes first).
    boxes.Answer = TMsgResult::No;
    QKeyEvent enter(QEvent::KeyPress, Qt::Key_Return, Qt::NoModifier);
    QCoreApplication::sendEvent(List(), &enter);
    ASSERT_EQ(boxes.Shown.size(), 1u);
    EXPECT_EQ(boxes.Shown[0].Text, NotFormingQuestion);

    // Third and fourth clicks: descending, then arrival order again.
    List()->header()->sectionClicked(1);
    EXPECT_EQ(Line(0), "alpha");
    List()->header()->sectionClicked(1);
    EXPECT_EQ(Line(0) + "," + Line(1) + "," + Line(2), "bravo,alpha,charlie");
    EXPECT_EQ(Selected(), "bravo");
    EXPECT_EQ(LoadGamesView(key).SortColumn, -1);
}

TEST_F(GamesPageViewTest, TheContextMenuCopiesJoinsAndKeepsAFavouriteOnTopAndOfflineWhenItGoes) {
    Open();
    std::unique_ptr<QMenu> menu(w->tsGames->ContextMenu(0, QPoint(5, List()->viewport()->height() - 2)));
    ASSERT_TRUE(menu);
    EXPECT_EQ(Actions(*menu), (QStringList{"Add server...", "Export favourites...", "Import favourites..."}));

    menu.reset(w->tsGames->ContextMenu(0, LinePos(2)));
    ASSERT_TRUE(menu);
    EXPECT_EQ(Actions(*menu), (QStringList{"Join", "Copy address", "Add to favourites", "", "Add server...",
                                           "Export favourites...", "Import favourites..."}));
    EXPECT_EQ(Selected(), "charlie");
    Action(*menu, "Copy address")->trigger();
    EXPECT_EQ(QGuiApplication::clipboard()->text(), "127.0.0.1:7003");
    Action(*menu, "Add to favourites")->trigger();
    // On top, with its mark, and remembered in the settings.
    EXPECT_EQ(Line(0), QString::fromUtf8("\u2605 charlie"));
    EXPECT_EQ(Selected(), QString::fromUtf8("\u2605 charlie"));
    w->tsGames->SaveViewSettingsNow();
    EXPECT_EQ(LoadGamesView(key).Favourites, "0,127.0.0.1,7003,charlie");

    // Three silent sweeps: the others go, the favourite stays as "Offline", greyed.
    for (int i = 0; i < 3; ++i) w->Games().tmRefreshUDPTimer();
    ASSERT_TRUE(Pump([&] { return w->Games().lvFSGames().Count() == 0; }));
    ASSERT_EQ(List()->model()->rowCount(), 1);
    EXPECT_EQ(Line(0, 0), "Offline");
    EXPECT_EQ(Line(0), QString::fromUtf8("\u2605 charlie"));
    menu.reset(w->tsGames->ContextMenu(0, LinePos(0)));
    EXPECT_FALSE(Action(*menu, "Join")->isEnabled());
    EXPECT_EQ(w->tsGames->SelectedRow(0), -1);

    // It answers again: back to life in its place; "Remove from favourites" ends it all.
    Reply("7003", "charlie", 3, 9);
    ASSERT_TRUE(Pump([&] { return Line(0, 0) == "Forming"; }));
    EXPECT_EQ(List()->model()->rowCount(), 1);
    menu.reset(w->tsGames->ContextMenu(0, LinePos(0)));
    Action(*menu, "Remove from favourites")->trigger();
    EXPECT_EQ(Line(0), "charlie");
    w->tsGames->SaveViewSettingsNow();
    EXPECT_EQ(LoadGamesView(key).Favourites, "");
}

TEST_F(GamesPageViewTest, AFavouriteAnsweringWhileThePointerIsOverTheListTakesBackItsOwnLine) {
    Open();
    List()->header()->sectionClicked(1);  // sorted: every refresh would move lines
    std::unique_ptr<QMenu> menu(w->tsGames->ContextMenu(0, LinePos(0)));
    Action(*menu, "Add to favourites")->trigger();
    for (int i = 0; i < 3; ++i) w->Games().tmRefreshUDPTimer();
    ASSERT_TRUE(Pump([&] { return List()->model()->rowCount() == 1; }));
    ASSERT_EQ(Line(0, 0), "Offline");

    QEvent enter(QEvent::Enter);
    QCoreApplication::sendEvent(List()->viewport(), &enter);
    ASSERT_TRUE(w->tsGames->Model(0)->Held());
    Reply("7003", "charlie", 3, 9);
    Reply("7002", "alpha", 4, 9);
    qtLoop.ProcessMessages();
    // Alive in its own place at once; the stranger waits at the bottom for the pointer to leave.
    ASSERT_EQ(List()->model()->rowCount(), 2);
    EXPECT_EQ(Line(0, 0), "Forming");
    EXPECT_EQ(Line(0), QString::fromUtf8("\u2605 charlie"));
    EXPECT_EQ(Line(1), "alpha");
    QEvent leave(QEvent::Leave);
    QCoreApplication::sendEvent(List()->viewport(), &leave);
    EXPECT_EQ(List()->model()->rowCount(), 2);
    EXPECT_EQ(Line(0, 0), "Forming");
}

TEST_F(GamesPageViewTest, TheFilterBarHidesRowsSaysHowManyAndTheCaptionStillCountsTheLists) {
    Open();
    w->tsGames->FormingOnly()->setChecked(true);
    EXPECT_EQ(List()->model()->rowCount(), 1);
    EXPECT_EQ(Line(0), "alpha");
    EXPECT_EQ(w->tsGames->HiddenLabel()->text(), "2 hidden by the filter");
    EXPECT_EQ(w->Games().Caption(), "Corvane Games (3)");
    w->tsGames->FormingOnly()->setChecked(false);
    // Typed key by key: one write of the settings file once the user pauses, not one per key.
    int writes = 0;
    const auto save = w->tsGames->OnViewSettingsChange;
    w->tsGames->OnViewSettingsChange = [&] {
        ++writes;
        save();
    };
    for (const char* typed : {"C", "CH", "CHA", "CHAR"}) w->tsGames->FilterText()->setText(typed);
    EXPECT_EQ(Line(0), "charlie");
    w->tsGames->ShowPing()->setChecked(true);
    EXPECT_FALSE(List()->isColumnHidden(PingColumn));
    EXPECT_EQ(writes, 0);
    ASSERT_TRUE(Pump([&] { return writes > 0; }));
    qtLoop.ProcessMessages();
    EXPECT_EQ(writes, 1);
    const TGamesViewSettings saved = LoadGamesView(key);
    EXPECT_EQ(saved.Filter.Text, "CHAR");
    EXPECT_TRUE(saved.ShowPing);
    // A change still waiting when the window goes is written as it goes.
    w->tsGames->HideEmpty()->setChecked(true);
    w->close();
    EXPECT_EQ(writes, 2);

    // The next start finds the arrangement as it was left.
    w.reset();
    Open();
    EXPECT_EQ(w->tsGames->FilterText()->text(), "CHAR");
    EXPECT_EQ(List()->model()->rowCount(), 1);
    EXPECT_FALSE(List()->isColumnHidden(PingColumn));
}

TEST_F(GamesPageViewTest, JoiningAFriendShowsTheGamesPageSelectsTheServerAndAsksAsADoubleClickWould) {
    Open();
    w->PageControl1->setCurrentIndex(0);
    List()->header()->sectionClicked(2);  // sorted by name: the line is not the list index
    boxes.Answer = TMsgResult::No;
    EXPECT_TRUE(w->JoinFriendGame("charlie"));
    EXPECT_EQ(w->PageControl1->currentIndex(), 1);
    EXPECT_EQ(Selected(), "charlie");
    ASSERT_EQ(boxes.Shown.size(), 1u);
    EXPECT_EQ(boxes.Shown[0].Text, NotFormingQuestion);  // charlie is playing
    EXPECT_FALSE(w->JoinFriendGame("nobody"));
    EXPECT_EQ(boxes.Shown.size(), 1u);
}

TEST_F(GamesPageViewTest, TheFormingAlertRuleIsSetInTheSettingsDialogAndKeptAcrossStarts) {
    Open();
    QPointer<TfrmOptions> mark;
    TfrmOptions* dialog = ShowOptionsDialog(mark, *w);
    EXPECT_FALSE(dialog->cbFormingAlert[2]->isChecked());
    dialog->cbFormingAlert[2]->setChecked(true);
    dialog->seFormingAlert[2]->setValue(6);
    EXPECT_TRUE(dialog->btnApply->isEnabled());
    dialog->btnApplyClick();
    EXPECT_EQ(w->Games().FormingAlert.MinPlayers, (std::array<int, 4>{0, 0, 6, 0}));
    EXPECT_EQ(LoadGamesView(key).AlertPlayers, (std::array<int, 4>{0, 0, 6, 0}));
    dialog->close();

    w.reset();
    Open();
    EXPECT_EQ(w->Games().FormingAlert.MinPlayers, (std::array<int, 4>{0, 0, 6, 0}));
    dialog = ShowOptionsDialog(mark, *w);
    EXPECT_TRUE(dialog->cbFormingAlert[2]->isChecked());
    EXPECT_EQ(dialog->seFormingAlert[2]->value(), 6);
    dialog->close();
}

}  // namespace
