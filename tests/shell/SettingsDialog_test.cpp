// SPDX-License-Identifier: GPL-3.0-or-later
// The settings dialog on the main window: opening, greying, Apply on the games page, the
// nickname through a real ngircd, OK and Cancel, and existing at most once.
#include "MainWindowFixture.h"

#include "chat/NgircdServer.h"
#include "shell/ChatPage.h"
#include "shell/OptionsChatServer.h"
#include "shell/OptionsFriends.h"
#include "shell/Unit2.h"

#include <QCheckBox>
#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QListWidget>
#include <QTreeView>
#include <QtTest/QTest>

namespace {

class SettingsDialogTest : public MainWindowTest {
protected:
    void SetText(const std::string& name, const std::string& text) {
        for (auto& v : key.Stored)
            if (v.Name == name) {
                v.Text = text;
                return;
            }
        key.Stored.push_back({name, TRegDataType::String, text, 0});
    }
    TfrmOptions& Open() {
        w->mmSettings->trigger();
        EXPECT_FALSE(w->frmOptions.isNull());
        return *w->frmOptions;
    }
    static bool Greyed(const QLineEdit* e) {
        return !e->isEnabled() && e->palette().color(QPalette::Base) == QGuiApplication::palette().color(QPalette::Button);
    }
};

}  // namespace

TEST_F(SettingsDialogTest, OpensAsDesignedWithDisabledGamesGreyedAndApplyDisabled) {
    EnableGames(true, false, true, false);
    SetFlag("Sound-UserMessage", false);
    SetFlag("AlwaysPlaySound", true);
    Make();
    w->show();
    TfrmOptions& d = Open();

    EXPECT_EQ(d.windowTitle(), "Settings");
    EXPECT_EQ(d.size(), QSize(TfrmOptions::kClientWidth, 395));
    EXPECT_EQ(d.minimumSize(), d.maximumSize());
    EXPECT_TRUE(d.windowFlags() & Qt::WindowStaysOnTopHint);
    EXPECT_FALSE(d.isModal());
    ASSERT_EQ(d.PageControl1->count(), 7);
    EXPECT_EQ(d.PageControl1->tabText(0), "General");
    EXPECT_EQ(d.PageControl1->tabText(1), "Games");
    EXPECT_EQ(d.PageControl1->tabText(2), "Notifications");
    EXPECT_EQ(d.PageControl1->tabText(3), "Shortcuts");
    EXPECT_EQ(d.PageControl1->tabText(4), "Tracker");
    EXPECT_EQ(d.PageControl1->tabText(5), "Chat server");
    EXPECT_EQ(d.PageControl1->tabText(6), "Friends");
    // Every page is reachable from the list beside them, none hidden behind scroll arrows.
    ASSERT_EQ(d.lbPages->count(), d.PageControl1->count());
    for (int i = 0; i < d.lbPages->count(); ++i) {
        EXPECT_EQ(d.lbPages->item(i)->text(), d.PageControl1->tabText(i));
        EXPECT_TRUE(d.lbPages->visualItemRect(d.lbPages->item(i)).bottom() < d.lbPages->viewport()->height());
    }
    d.lbPages->setCurrentRow(5);
    EXPECT_EQ(d.PageControl1->currentWidget(), d.ChatServer);
    d.lbPages->setCurrentRow(0);
    EXPECT_TRUE(d.btnOK->isDefault());
    EXPECT_EQ(d.Games[3].Box->title(), "Starfox");
    EXPECT_EQ(d.Games[3].Box->geometry(), QRect(200, 168, 185, 137));

    for (int i : {1, 3}) {
        const auto& g = d.Games[static_cast<std::size_t>(i)];
        EXPECT_FALSE(g.cbEnabled->isChecked()) << i;
        EXPECT_TRUE(Greyed(g.lbePath)) << i;
        EXPECT_TRUE(Greyed(g.lbeCmd)) << i;
        EXPECT_FALSE(g.btnBrowse->isEnabled()) << i;
    }
    EXPECT_TRUE(d.Games[2].lbePath->isEnabled());
    EXPECT_FALSE(Greyed(d.Games[2].lbePath));
    EXPECT_TRUE(Greyed(d.edSoundPathUserMessage));
    EXPECT_FALSE(d.btnSelectSound->isEnabled());
    EXPECT_TRUE(d.rbAlways->isChecked());
    EXPECT_EQ(d.edSoundPathUserMessage->text(), "new_msg.wav");
    EXPECT_FALSE(d.btnApply->isEnabled());

    // Every caption whole: no label or button text wider than the place it was given.
    for (const QLabel* l : d.findChildren<QLabel*>())
        EXPECT_GE(l->width(), l->sizeHint().width()) << l->text().toStdString();
    for (const QAbstractButton* b : d.findChildren<QAbstractButton*>()) {
        if (!b->isVisibleTo(&d)) continue;
        // Push buttons keep their designed width, below the style's wish; their text must fit.
        const int needed = qobject_cast<const QPushButton*>(b) ? b->fontMetrics().horizontalAdvance(b->text()) + 6
                                                               : b->sizeHint().width();
        EXPECT_GE(b->width(), needed) << b->text().toStdString();
        EXPECT_LE(b->geometry().right(), b->parentWidget()->width()) << b->text().toStdString();
    }
}

TEST_F(SettingsDialogTest, UncheckingAGameGreysItAndApplyHidesItsListAndLaysOutTheRest) {
    EnableGames(true, false, true, false);
    Make();
    w->show();
    w->PageControl1->setCurrentIndex(1);
    w->tsGames->resize(w->tsGames->width(), 360 + FilterBarHeight);  // the rule lays out below the filter bar
    w->FormResize();
    ASSERT_TRUE(w->tsGames->List(0)->isVisible());
    ASSERT_EQ(w->tsGames->List(0)->height(), 151);  // two games share the page

    TfrmOptions& d = Open();
    d.Games[2].cbEnabled->click();
    EXPECT_TRUE(Greyed(d.Games[2].lbePath));
    EXPECT_TRUE(Greyed(d.Games[2].lbeCmd));
    EXPECT_FALSE(d.Games[2].btnBrowse->isEnabled());
    EXPECT_TRUE(d.btnApply->isEnabled());
    EXPECT_TRUE(w->tsGames->List(2)->isVisible());  // nothing happens before Apply

    d.btnApply->click();
    EXPECT_FALSE(d.btnApply->isEnabled());
    EXPECT_FALSE(w->Settings.WCSEnabled);
    EXPECT_EQ(key.StoredValue("WCSEnabled")->Number, 0u);
    EXPECT_FALSE(w->tsGames->Heading(2)->isVisible());
    EXPECT_FALSE(w->tsGames->List(2)->isVisible());
    EXPECT_EQ(w->tsGames->List(0)->geometry().top(), FilterBarHeight + 20);
    EXPECT_EQ(w->tsGames->List(0)->height(), 318);  // FreeSpace 2 alone takes the page
    EXPECT_TRUE(d.isVisible());
}

TEST_F(SettingsDialogTest, TheNicknameIsSavedFilteredAndAnEmptyOneWarnsAndSavesNothing) {
    Make();
    TfrmOptions& d = Open();
    d.lbeNickname->setText("Ann Smith~");
    d.btnApply->click();
    EXPECT_EQ(d.lbeNickname->text(), "AnnSmith");
    EXPECT_EQ(w->Settings.Nickname, "AnnSmith");
    EXPECT_EQ(key.StoredValue("Nickname")->Text, "AnnSmith");
    EXPECT_TRUE(boxes.Shown.empty());  // not connected: nothing about the full name either

    const int commits = key.CommitCount;
    d.lbeNickname->setText(" ~ ");
    d.Games[1].cbEnabled->click();
    d.btnOK->click();
    ASSERT_EQ(boxes.Shown.size(), 1u);
    EXPECT_EQ(boxes.Shown[0].Text, "You must enter nickname!");
    EXPECT_EQ(boxes.Shown[0].Caption, "CorvaneGV");
    EXPECT_EQ(boxes.Shown[0].Icon, TMsgIcon::Warning);
    EXPECT_EQ(boxes.Shown[0].Buttons, TMsgButtons::Ok);
    EXPECT_EQ(key.CommitCount, commits);
    EXPECT_EQ(w->Settings.Nickname, "AnnSmith");
    EXPECT_TRUE(d.lbeNickname->text().isEmpty());
    EXPECT_TRUE(d.btnApply->isEnabled());
    EXPECT_FALSE(d.Closed());  // OK stays open
}

TEST_F(SettingsDialogTest, AFailedSaveIsReportedAndTheSettingsKeepWhatTheStoreHolds) {
    Make();
    TfrmOptions& d = Open();
    d.Games[2].cbEnabled->setChecked(true);
    key.FailCommits = true;
    d.btnOK->click();
    EXPECT_EQ(ServerViewLines().back(), "!!!EXCEPTION!!!: Failed to set data for 'FSEnabled'");
    EXPECT_FALSE(w->Settings.WCSEnabled);
    EXPECT_TRUE(w->tsGames->Heading(2)->isHidden());
    EXPECT_TRUE(d.btnApply->isEnabled());  // the edits are still unsaved
    EXPECT_FALSE(d.Closed());

    key.FailCommits = false;
    d.btnOK->click();
    EXPECT_TRUE(w->Settings.WCSEnabled);
    EXPECT_TRUE(d.Closed());
}

TEST_F(SettingsDialogTest, ACaseOnlyNicknameChangeWhileConnectedIsSentAndTheServerTakesIt) {
    TNgircdServer ngircd;
    SetText("Nickname", "Ann");
    SetText("FullName", "Ann Smith");
    TMainWindowOptions o;
    o.Args = {"corvanegv", "-developer"};  // no connect at activation: the test clicks
    o.Tracker = {"127.0.0.1", testing_support::UnusedTcpPort()};
    o.ChatHost = "127.0.0.1";
    o.ChatPort = ngircd.PortText();
    o.StatusPort = 0;
    o.Boxes = &boxes;
    w = std::make_unique<TCorvaneGVMF>(loop, key, o);
    w->btnChatConnection->click();
    ASSERT_TRUE(Pump([&] { return w->TabControl1->count() == 2; })) << ngircd.Log();  // in the lobby
    ASSERT_EQ(w->IRCCli1().Nick(), "Ann");

    TfrmOptions& d = Open();
    d.lbeNickname->setText("ANN");
    d.lbeFullName->setText("Ann B. Smith");
    d.btnApply->click();
    ASSERT_EQ(boxes.Shown.size(), 1u);
    EXPECT_EQ(boxes.Shown[0].Text, "Some of the options will take effect after reconnecting to the chat server.");
    EXPECT_EQ(boxes.Shown[0].Caption, "Corvane Games Viewer");
    EXPECT_EQ(boxes.Shown[0].Icon, TMsgIcon::Information);
    EXPECT_EQ(w->Settings.Nickname, "ANN");
    // The server's NICK echo renames the client.
    ASSERT_TRUE(Pump([&] { return w->IRCCli1().Nick() == "ANN"; })) << ngircd.Log();
}

TEST_F(SettingsDialogTest, OkWithApplyDisabledWritesNothingAndCancelDropsTheEdits) {
    Make();
    const int commits = key.CommitCount;
    QPointer<TfrmOptions> d = &Open();
    d->btnOK->click();
    EXPECT_EQ(key.CommitCount, commits);
    ASSERT_TRUE(Pump([&] { return d.isNull(); }));  // closed and destroyed
    EXPECT_TRUE(w->frmOptions.isNull());

    d = &Open();
    d->lbeShortcut[9]->setText("gg all");
    d->btnCancel->click();
    ASSERT_TRUE(Pump([&] { return d.isNull(); }));
    EXPECT_EQ(key.CommitCount, commits);
    EXPECT_TRUE(w->Settings.Shortcut0.empty());
    EXPECT_TRUE(Open().lbeShortcut[9]->text().isEmpty());  // built afresh from the settings
}

TEST_F(SettingsDialogTest, ASecondSettingsClickBringsTheSameDialogForward) {
    Make();
    w->show();
    TfrmOptions* first = &Open();
    first->lbeShortcut[0]->setText("typed, not applied");
    TfrmOptions* second = &Open();
    EXPECT_EQ(second, first);
    EXPECT_EQ(second->lbeShortcut[0]->text(), "typed, not applied");
    EXPECT_EQ(w->findChildren<TfrmOptions*>().size(), 1);
    EXPECT_TRUE(second->isVisible());
}

TEST_F(SettingsDialogTest, BrowsingStartsInTheProgramsFolderAndTheChoiceEnablesApply) {
    Make();
    TfrmOptions& d = Open();
    std::vector<TFileChoice> asked;
    d.ChooseFile = [&](QWidget*, const TFileChoice& c) -> std::optional<QString> {
        asked.push_back(c);
        return c.Kind == TFileChoice::Executable ? QString("/opt/wcs/wcsaga") : QString("/usr/share/sounds/ding.wav");
    };
    d.Games[0].lbePath->setText("/no/such/folder/fs2_open");
    d.btnApply->setEnabled(false);
    d.Games[0].btnBrowse->click();
    d.btnSelectSound->click();
    ASSERT_EQ(asked.size(), 2u);
    EXPECT_EQ(asked[0].Title, "Please select FreeSpace Open executable");
    EXPECT_EQ(asked[0].StartFolder, QCoreApplication::applicationDirPath());
    EXPECT_TRUE(asked[1].Title.isEmpty());
    EXPECT_EQ(asked[1].StartFolder, "/opt/wcs");  // where the last chooser was
    EXPECT_EQ(d.Games[0].lbePath->text(), "/opt/wcs/wcsaga");
    EXPECT_EQ(d.edSoundPathUserMessage->text(), "/usr/share/sounds/ding.wav");
    EXPECT_TRUE(d.btnApply->isEnabled());
}

TEST_F(SettingsDialogTest, TheChatServerPageStoresHostPortTlsAndTheHostsTrustedCertificate) {
    SetText("ChatServerHost", "chat.example.org");
    SetText("ChatServerPort", "7000");
    SetFlag("ChatServerTls", true);
    SetText("ChatCertificatePins", "other.example 11:22;chat.example.org AA:BB;");
    Make();
    TfrmOptions& d = Open();
    TChatServerPage& p = *d.ChatServer;
    EXPECT_EQ(p.lbeChatHost->text(), "chat.example.org");
    EXPECT_EQ(p.lbeChatPort->text(), "7000");
    EXPECT_TRUE(p.cbUseTls->isChecked());
    EXPECT_EQ(p.lbeTrustedFingerprint->text(), "AA:BB");
    EXPECT_FALSE(p.btnTrustRefused->isEnabled());  // nothing was refused

    p.cbUseTls->click();
    EXPECT_EQ(p.lbeChatPort->text(), "7000");  // only a usual port follows the box
    p.lbeTrustedFingerprint->setText("cc:dd");
    EXPECT_TRUE(d.btnApply->isEnabled());
    d.btnApply->click();
    EXPECT_EQ(key.StoredValue("ChatServerHost")->Text, "chat.example.org");
    EXPECT_EQ(key.StoredValue("ChatServerPort")->Text, "7000");
    EXPECT_EQ(key.StoredValue("ChatServerTls")->Number, 0u);
    EXPECT_EQ(key.StoredValue("ChatCertificatePins")->Text, "other.example 11:22;chat.example.org CC:DD;");
    // The command line named the server for this run: it still goes there.
    EXPECT_EQ(w->Chat().Session().Host(), "127.0.0.1");
    EXPECT_FALSE(w->Chat().Session().UseTls());

    // Another host shows its own trusted certificate, and the usual port follows TLS.
    p.lbeChatHost->clear();
    QTest::keyClicks(p.lbeChatHost, "other.example");
    EXPECT_EQ(p.lbeTrustedFingerprint->text(), "11:22");
    p.lbeChatPort->setText("6667");
    p.cbUseTls->click();
    EXPECT_EQ(p.lbeChatPort->text(), "6697");

    // A certificate refused for the host the command line named is trusted for that host.
    p.Fill(w->Settings, "localhost", "EE:FF");
    EXPECT_TRUE(p.btnTrustRefused->isEnabled());
    EXPECT_NE(p.lbRefused->text().indexOf("EE:FF"), -1);
    p.btnTrustRefused->click();
    EXPECT_FALSE(p.btnTrustRefused->isEnabled());
    EXPECT_EQ(p.lbeTrustedFingerprint->text(), "CC:DD");  // the field's host keeps its own
    d.btnApply->click();
    EXPECT_EQ(CertificatePin(key.StoredValue("ChatCertificatePins")->Text, "localhost"), "EE:FF");
    EXPECT_EQ(CertificatePin(key.StoredValue("ChatCertificatePins")->Text, "chat.example.org"), "CC:DD");
}

TEST_F(SettingsDialogTest, TheLoginsPasswordGoesToTheSecretStoreAndNeverToTheSettingsOrTheirStrictTransport) {
    SetText("ChatServerHost", "chat.example.org");
    SetText("ChatStsPolicies", "chat.example.org 6697 99999999999;");
    Make();
    TfrmOptions& d = Open();
    TChatServerPage& p = *d.ChatServer;
    QTest::keyClicks(p.lbeChatAccount, "ann");
    QTest::keyClicks(p.lbeChatPassword, "s3cret pw");
    EXPECT_EQ(p.lbeChatPassword->echoMode(), QLineEdit::Password);
    EXPECT_EQ(p.lbSecretStore->text().isEmpty(), false);  // where the password goes, or why only for now
    d.btnApply->click();
    EXPECT_EQ(key.StoredValue("ChatAccount")->Text, "ann");
    EXPECT_EQ(key.StoredValue("ChatStsPolicies")->Text, "chat.example.org 6697 99999999999;");
    for (const auto& v : key.Stored) EXPECT_EQ(v.Text.find("s3cret"), std::string::npos) << v.Name;
    const TSecretResult stored = w->Secrets().Read(SecretKey("ann", "chat.example.org"));
    EXPECT_TRUE(stored.Found);
    EXPECT_EQ(stored.Secret, "s3cret pw");

    // A new opening shows it masked; emptied, it is taken out of the store.
    d.close();
    TfrmOptions& again = Open();
    EXPECT_EQ(again.ChatServer->lbeChatPassword->text(), "s3cret pw");
    again.ChatServer->lbeChatPassword->selectAll();
    QTest::keyClick(again.ChatServer->lbeChatPassword, Qt::Key_Delete);
    again.btnOK->click();
    EXPECT_FALSE(w->Secrets().Read(SecretKey("ann", "chat.example.org")).Found);
}

// A start, a connect without an account and the dialog's other pages never ask the desktop's
// store (it may hang, or show its unlock prompt); its page asks it once, to say where
// passwords go.
TEST_F(SettingsDialogTest, TheDesktopsSecretStoreIsAskedOnlyWhenAPasswordIsFirstWanted) {
    int asked = 0;
    makeSecrets = [&] {
        ++asked;
        return TDesktopSecrets{std::make_unique<TMemorySecretStore>(), "Kept for this session only."};
    };
    Make();
    w->btnChatConnection->click();
    Pump([&] { return !w->IRCCli1().Active(); });
    EXPECT_EQ(asked, 0);
    TfrmOptions& d = Open();
    d.lbeNickname->setText("Maverick");
    d.btnApply->click();
    EXPECT_EQ(asked, 0);
    d.PageControl1->setCurrentWidget(d.ChatServer);
    EXPECT_EQ(asked, 1);
    EXPECT_EQ(d.ChatServer->lbSecretStore->text(), "Kept for this session only.");
    d.btnCancel->click();
    Open().PageControl1->setCurrentWidget(w->frmOptions->ChatServer);
    EXPECT_EQ(asked, 1);
}

// The friends typed as text: kept cleaned, the limit said as it is reached, and the running
// chat given the new list at once.
TEST_F(SettingsDialogTest, FriendsAreKeptCleanedAndTheFullListIsSaid) {
    SetText("Friends", "Maverick");
    Make();
    EXPECT_EQ(w->Chat().Friends().Friends().Text(), "Maverick");
    TfrmOptions& d = Open();
    EXPECT_EQ(d.tsFriends->edFriends->toPlainText(), "Maverick");
    EXPECT_TRUE(d.tsFriends->cbFriendNotifications->isChecked());
    d.tsFriends->edFriends->setPlainText("Maverick\n#Lobby_20 maverick  Wingman");
    EXPECT_TRUE(d.btnApply->isEnabled());
    EXPECT_TRUE(d.tsFriends->lbFriendsCount->text().contains("2 left out")) << d.tsFriends->lbFriendsCount->text().toStdString();
    d.btnApply->click();
    EXPECT_EQ(key.StoredValue("Friends")->Text, "Maverick Wingman");
    EXPECT_EQ(w->Chat().Friends().Friends().Text(), "Maverick Wingman");

    QString many;
    for (int i = 0; i < 101; ++i) many += QString("pilot%1 ").arg(i);
    d.tsFriends->edFriends->setPlainText(many);
    EXPECT_TRUE(d.tsFriends->lbFriendsCount->text().startsWith("The list is full: 100 friends"));
    d.tsFriends->cbFriendNotifications->setChecked(false);
    d.btnOK->click();
    EXPECT_EQ(w->Chat().Friends().Friends().Count(), 100u);
    EXPECT_FALSE(w->Settings.FriendNotifications);
}

// The dialog left open while friends are added and removed from a user list: an unedited page
// follows the list, and Apply makes only the page's own edits, on the list as it is then.
TEST_F(SettingsDialogTest, FriendsChangedFromAUserListWhileTheDialogIsOpenStayAfterItsApply) {
    SetText("Friends", "Maverick Iceman");
    Make();
    TfrmOptions& d = Open();
    // What the user list's menu does.
    const auto fromUserList = [&](bool add, const std::string& nick) {
        TFriendsPresence& presence = w->Chat().Friends();
        add ? void(presence.Add(nick)) : void(presence.Remove(nick));
        w->Chat().OnFriendsEdited(presence.Friends().Text());
    };
    const auto page = [&] { return d.tsFriends->edFriends->toPlainText().toStdString(); };
    fromUserList(true, "Goose");
    EXPECT_EQ(page(), "Maverick Iceman Goose");
    EXPECT_FALSE(d.btnApply->isEnabled());
    d.tsFriends->edFriends->setPlainText("Maverick Goose Viper");
    fromUserList(true, "Jester");
    EXPECT_EQ(page(), "Maverick Goose Viper");
    d.btnApply->click();
    EXPECT_EQ(key.StoredValue("Friends")->Text, "Maverick Goose Jester Viper");
    EXPECT_EQ(page(), "Maverick Goose Jester Viper");
    fromUserList(false, "Goose");
    EXPECT_EQ(page(), "Maverick Jester Viper");
    d.btnOK->click();
    EXPECT_EQ(w->Settings.Friends, "Maverick Jester Viper");
}
