// SPDX-License-Identifier: GPL-3.0-or-later
// The settings dialog: its pages as designed, filling them, and the handlers of its controls.
#include "shell/Unit2.h"

#include "settings/OptionsApply.h"
#include "shell/GamesPageView.h"
#include "shell/ChatPage.h"
#include "shell/FriendsBinding.h"
#include "shell/OptionsChatServer.h"
#include "shell/OptionsFriends.h"
#include "shell/QtMessageBoxes.h"
#include "shell/TrackerPage.h"
#include "shell/Unit1.h"
#include "tracker/GameTypes.h"
#include "tracker/GamesRefresh.h"
#include "tracker/GamesViewSettings.h"

#include <QCheckBox>
#include <QCoreApplication>
#include <QFileDialog>
#include <QFileSystemModel>
#include <QGroupBox>
#include <QGuiApplication>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QPushButton>
#include <QRadioButton>
#include <QScreen>
#include <QSpinBox>
#include <QSortFilterProxyModel>
#include <QTabBar>
#include <QTabWidget>

#include <algorithm>
#include <memory>
#include <vector>

namespace {

QString Local(const std::string& s) { return QString::fromLocal8Bit(s.data(), static_cast<qsizetype>(s.size())); }
std::string ToStd(const QString& s) { return s.toLocal8Bit().toStdString(); }

struct TGameDef {
    const char* Caption;
    QPoint At;
    int Width;
    int BrowseX;
    int CmdWidth;
};
constexpr std::array<TGameDef, 4> kGames = {{
    {"FreeSpace 2", {0, 8}, 193, 160, 177},
    {"Beyond the Red Line Demo", {200, 8}, 193, 160, 177},
    {"Wing Commander Saga", {0, 168}, 193, 160, 177},
    {"Starfox", {200, 168}, 185, 152, 169},
}};

// A caption's control at its designed place, widened when the font here needs more room than
// the designed one did, so that no caption is cut off.
template <class T>
T* Place(T* w, int x, int y, int width, int height) {
    w->setGeometry(x, y, std::max(width, w->sizeHint().width()), height);
    return w;
}

// An edit with its caption above it, as a labelled edit draws it.
QLineEdit* LabelledEdit(QWidget* parent, const QString& caption, int x, int y, int width) {
    auto* edit = new QLineEdit(parent);
    edit->setGeometry(x, y, width, 21);
    auto* label = new QLabel(caption, parent);
    label->adjustSize();
    label->move(x, y - label->height() - 3);
    label->setBuddy(edit);
    return edit;
}

// Enabled edits have the window colour, disabled ones the button face.
void ShowEnabled(QLineEdit* edit, bool enabled) {
    edit->setEnabled(enabled);
    QPalette p = edit->palette();
    const QPalette app = QGuiApplication::palette();
    p.setColor(QPalette::Base, enabled ? app.color(QPalette::Active, QPalette::Base)
                                       : app.color(QPalette::Active, QPalette::Button));
    edit->setPalette(p);
}

// Keeps folders, programs and .exe files while its first name filter is the selected one.
class TExecutableFilter final : public QSortFilterProxyModel {
public:
    bool Active = true;

protected:
    bool filterAcceptsRow(int row, const QModelIndex& parent) const override {
        const auto* files = qobject_cast<const QFileSystemModel*>(sourceModel());
        if (!Active || !files) return true;
        const QFileInfo info = files->fileInfo(files->index(row, 0, parent));
        return info.isDir() || info.isExecutable() || info.suffix().compare("exe", Qt::CaseInsensitive) == 0;
    }
};

class TDialogTargets final : public TOptionsApplyTargets {
public:
    TDialogTargets(TfrmOptions& dialog, TCorvaneGVMF& window, TMessageBoxes& boxes)
        : dialog_(dialog), window_(window), boxes_(boxes) {}

    void SetNicknameText(const std::string& nickname) override {
        // An unchanged text is left alone, so it raises no change.
        if (ToStd(dialog_.lbeNickname->text()) != nickname) dialog_.lbeNickname->setText(Local(nickname));
    }
    void SetApplyEnabled(bool enabled) override { dialog_.btnApply->setEnabled(enabled); }
    bool ApplyEnabled() override { return dialog_.btnApply->isEnabled(); }
    bool Connected() override { return window_.IRCCli1().Connected(); }
    void SendLine(const std::string& line) override { window_.IRCCli1().SendLine(line); }
    void ShowWarning(const std::string& text, const std::string& caption) override {
        boxes_.Show(text, caption, TMsgIcon::Warning, TMsgButtons::Ok);
    }
    void ShowInformation(const std::string& text, const std::string& caption) override {
        boxes_.Show(text, caption, TMsgIcon::Information, TMsgButtons::Ok);
    }
    void ApplyTray(bool minimizeToTray, bool iconVisible) override {
        window_.CoolTrayIcon1->MinimizeToTray = minimizeToTray;
        window_.CoolTrayIcon1->SetIconVisible(iconVisible);
    }
    void ShowEnabledGames() override {
        window_.ShowEnabledGames();
        window_.FormResize();
    }

private:
    TfrmOptions& dialog_;
    TCorvaneGVMF& window_;
    TMessageBoxes& boxes_;
};

}  // namespace

TfrmOptions::TfrmOptions(TCorvaneGVMF& owner)
    : QDialog(&owner, Qt::Dialog | Qt::MSWindowsFixedSizeDialogHint | Qt::WindowTitleHint |
                          Qt::WindowCloseButtonHint | Qt::WindowStaysOnTopHint),
      owner_(owner) {
    setAttribute(Qt::WA_DeleteOnClose);
    setModal(false);
    setWindowTitle("Settings");
    // A window does not take its owner's font; the designed one is asked for by name here too.
    QFont designed = font();
    designed.setFamilies({"MS Sans Serif", "Microsoft Sans Serif", "Arial", "Liberation Sans"});
    designed.setPointSize(8);
    setFont(designed);
    setFixedSize(kClientWidth, kClientHeight);
    // Frame captions sit on the frame's top line, as designed, instead of above it, where they
    // would push the line down onto the first row of controls.
    setStyleSheet("QGroupBox { border: 1px solid palette(mid); border-radius: 2px; margin-top: 6px; }"
                  "QGroupBox::title { subcontrol-origin: margin; left: 6px; padding: 0 2px; }");
    // Escape and the close box end in reject(); every way out destroys the dialog.
    connect(this, &QDialog::finished, this, [this] {
        closed_ = true;
        deleteLater();
    });
    BuildControls();
    if (const QScreen* screen = QGuiApplication::primaryScreen())
        move(screen->availableGeometry().center() - QPoint(width() / 2, height() / 2));
    FormCreate();
}

void TfrmOptions::Guarded(const std::function<void()>& handler) { owner_.Guarded(handler); }

void TfrmOptions::BuildControls() {
    const auto onChange = [this] { Guarded([this] { EnableApplyButton(); }); };

    const int pagesLeft = kPageListWidth + 4;
    btnOK = new QPushButton("OK", this);
    btnOK->setGeometry(pagesLeft + 16, 363, 75, 25);
    btnOK->setDefault(true);
    btnCancel = new QPushButton("Cancel", this);
    btnCancel->setGeometry(pagesLeft + 112, 363, 75, 25);
    btnApply = new QPushButton("Apply", this);
    btnApply->setGeometry(pagesLeft + 312, 363, 75, 25);
    connect(btnOK, &QPushButton::clicked, this, [this] { Guarded([this] { btnOKClick(); }); });
    connect(btnCancel, &QPushButton::clicked, this, [this] { Guarded([this] { btnCancelClick(); }); });
    connect(btnApply, &QPushButton::clicked, this, [this] { Guarded([this] { btnApplyClick(); }); });

    PageControl1 = new QTabWidget(this);
    PageControl1->setGeometry(pagesLeft + 1, 0, 401, 356);

    auto* general = new QWidget;
    PageControl1->addTab(general, "General");
    cbDontAskQuitQuestion = Place(new QCheckBox("Don't ask quit question", general), 8, 8, 137, 17);
    cbMinimizeToTray = Place(new QCheckBox("Minimize to tray", general), 8, 24, 97, 17);
    cbTrayIconVisible = Place(new QCheckBox("Tray icon always visible", general), 8, 40, 145, 17);
    lbeNickname = LabelledEdit(general, "Nickname:", 8, 88, 145);
    lbeFullName = LabelledEdit(general, "Full Name:", 8, 136, 145);
    cbChatLogs = Place(new QCheckBox("Write chat logs", general), 8, 176, 145, 17);
    cbShowFormatting = Place(new QCheckBox("Show colours and styles", general), 8, 194, 145, 17);
    for (QCheckBox* cb : {cbDontAskQuitQuestion, cbMinimizeToTray, cbTrayIconVisible, cbChatLogs, cbShowFormatting})
        connect(cb, &QCheckBox::toggled, this, onChange);

    auto* games = new QWidget;
    PageControl1->addTab(games, "Games");
    for (std::size_t i = 0; i < kGames.size(); ++i) {
        const TGameDef& d = kGames[i];
        TGameControls& g = Games[i];
        g.Box = new QGroupBox(d.Caption, games);
        g.Box->setGeometry(d.At.x(), d.At.y(), d.Width, 137);
        g.cbEnabled = Place(new QCheckBox("Enabled", g.Box), 8, 16, 97, 17);
        g.cbEnabled->setChecked(true);
        g.lbePath = LabelledEdit(g.Box, "Path:", 8, 56, 153);
        g.btnBrowse = new QPushButton("...", g.Box);
        g.btnBrowse->setGeometry(d.BrowseX, 56, 27, 21);
        g.lbeCmd = LabelledEdit(g.Box, "Command-Line parameters:", 8, 104, d.CmdWidth);
        QCheckBox* enabled = g.cbEnabled;
        QPushButton* browse = g.btnBrowse;
        connect(enabled, &QCheckBox::toggled, this, [this, enabled] { Guarded([=, this] { cbEnableGameClick(enabled); }); });
        connect(browse, &QPushButton::clicked, this, [this, browse] { Guarded([=, this] { btnBrowseClick(browse); }); });
    }

    auto* notifications = new QWidget;
    PageControl1->addTab(notifications, "Notifications");
    auto* soundPlaying = new QGroupBox("Sound playing", notifications);
    soundPlaying->setGeometry(0, 8, 393, 41);
    // The frame only surrounds the two; they belong to the page and form their own group.
    rbAlways = Place(new QRadioButton("Always", notifications), 8, 24, 113, 17);
    rbOnlyMinimized = Place(new QRadioButton("Only when minimized", notifications), 176, 24, 185, 17);
    auto* userMessage = new QGroupBox("User message", notifications);
    userMessage->setGeometry(0, 72, 393, 105);
    cbNotificationUserMessage = Place(new QCheckBox("Flash taskbar / change tray icon", userMessage), 8, 16, 369, 17);
    cbSoundUserMessage = Place(new QCheckBox("Play sound", userMessage), 8, 40, 97, 17);
    cbSoundUserMessage->setChecked(true);
    edSoundPathUserMessage = new QLineEdit(userMessage);
    edSoundPathUserMessage->setGeometry(8, 64, 345, 21);
    edSoundPathUserMessage->setReadOnly(true);
    btnSelectSound = new QPushButton("...", userMessage);
    btnSelectSound->setGeometry(360, 64, 27, 21);
    cbDesktopNotification = Place(
        new QCheckBox("Desktop notification of private messages and highlights", notifications), 8, 186, 369, 17);
    for (QRadioButton* rb : {rbAlways, rbOnlyMinimized}) connect(rb, &QRadioButton::toggled, this, onChange);
    connect(cbNotificationUserMessage, &QCheckBox::toggled, this, onChange);
    connect(cbDesktopNotification, &QCheckBox::toggled, this, onChange);
    connect(cbSoundUserMessage, &QCheckBox::toggled, this, [this] { Guarded([this] { PlaySoundClick(); }); });
    connect(btnSelectSound, &QPushButton::clicked, this, [this] { Guarded([this] { SelectSoundClick(); }); });

    auto* forming = new QGroupBox("Tell me when a game is forming with at least N players", notifications);
    forming->setGeometry(0, 208, 393, 112);
    for (std::size_t i = 0; i < 4; ++i) {
        // One row a game: the full names do not fit two to a row.
        const int x = 8, y = 20 + static_cast<int>(i) * 22;
        cbFormingAlert[i] = Place(new QCheckBox(QString::fromLatin1(GameTypes[i].Game.data(),
                                                                     static_cast<qsizetype>(GameTypes[i].Game.size())),
                                                forming),
                                  x, y, 280, 17);
        cbFormingAlert[i]->setToolTip(cbFormingAlert[i]->text());
        seFormingAlert[i] = new QSpinBox(forming);
        seFormingAlert[i]->setGeometry(328, y - 2, 52, 21);
        seFormingAlert[i]->setRange(1, MaxAlertPlayers);
        seFormingAlert[i]->setValue(4);
        connect(cbFormingAlert[i], &QCheckBox::toggled, this, onChange);
        connect(seFormingAlert[i], &QSpinBox::valueChanged, this, onChange);
    }

    auto* shortcuts = new QWidget;
    PageControl1->addTab(shortcuts, "Shortcuts");
    for (int i = 0; i < 10; ++i) {
        const int digit = (i + 1) % 10;
        const int y = 8 + 32 * i;
        auto* label = new QLabel(QString("Control+%1:").arg(digit), shortcuts);
        label->adjustSize();
        // A wider font than the designed one pushes the edit right; its right edge stays.
        const int left = std::max(56, label->width() + 3);
        label->move(left - 3 - label->width(), y + (21 - label->height()) / 2);
        auto* edit = new QLineEdit(shortcuts);
        edit->setGeometry(left, y, 56 + 329 - left, 21);
        label->setBuddy(edit);
        lbeShortcut[static_cast<std::size_t>(i)] = edit;
    }

    tsTracker = new TTrackerPage;
    PageControl1->addTab(tsTracker, "Tracker");
    connect(tsTracker->seTrackerPort, &QSpinBox::valueChanged, this, onChange);

    ChatServer = new TChatServerPage(onChange, &owner_.Secrets(), [this] { return owner_.Secrets().Unavailable(); });
    PageControl1->addTab(ChatServer, "Chat server");
    PageControl1->addTab(tsFriends = new TFriendsOptionsPage(onChange), "Friends");

    BuildPageList();

    std::vector<QLineEdit*> edits{lbeNickname, lbeFullName, edSoundPathUserMessage, tsTracker->lbeTrackerAddress};
    for (const TGameControls& g : Games) edits.insert(edits.end(), {g.lbePath, g.lbeCmd});
    edits.insert(edits.end(), lbeShortcut.begin(), lbeShortcut.end());
    for (QLineEdit* e : edits) connect(e, &QLineEdit::textChanged, this, onChange);
}

void TfrmOptions::BuildPageList() {
    // The tab strip stays the pages' owner; the list is only its face, as a strip of seven or
    // more tabs scrolls and hides some of them.
    PageControl1->tabBar()->hide();
    lbPages = new QListWidget(this);
    lbPages->setGeometry(4, 2, kPageListWidth, 354);
    lbPages->setStyleSheet("QListWidget::item { padding: 3px 4px; }");
    for (int i = 0; i < PageControl1->count(); ++i) lbPages->addItem(PageControl1->tabText(i));
    lbPages->setCurrentRow(PageControl1->currentIndex());
    connect(lbPages, &QListWidget::currentRowChanged, PageControl1, [this](int row) {
        if (row >= 0) PageControl1->setCurrentIndex(row);
    });
    connect(PageControl1, &QTabWidget::currentChanged, lbPages, [this](int index) { lbPages->setCurrentRow(index); });
}

void TfrmOptions::FormCreate() {
    // The existence mark is the owner's pointer, set as soon as the dialog is made.
    const TSettings& s = owner_.Settings;
    const std::array<std::array<const std::string*, 2>, 4> texts = {{
        {&s.FSPath, &s.FSCmd}, {&s.BtRLPath, &s.BtRLCmd}, {&s.WCSPath, &s.WCSCmd}, {&s.StarfoxPath, &s.StarfoxCmd}}};
    const std::array<bool, 4> enabled = {s.FSEnabled, s.BtRLEnabled, s.WCSEnabled, s.StarfoxEnabled};
    for (std::size_t i = 0; i < 4; ++i) {
        Games[i].cbEnabled->setChecked(enabled[i]);
        Games[i].lbePath->setText(Local(*texts[i][0]));
        Games[i].lbeCmd->setText(Local(*texts[i][1]));
    }
    lbeNickname->setText(Local(s.Nickname));
    lbeFullName->setText(Local(s.FullName));
    cbDontAskQuitQuestion->setChecked(s.DontAskQuitQuestion);
    cbMinimizeToTray->setChecked(s.MinimizeToTray);
    cbTrayIconVisible->setChecked(s.TrayIconVisible);
    cbNotificationUserMessage->setChecked(s.NotificationUserMessage);
    cbSoundUserMessage->setChecked(s.SoundUserMessage);
    cbDesktopNotification->setChecked(s.DesktopNotification);
    cbChatLogs->setChecked(s.ChatLogs);
    cbShowFormatting->setChecked(s.ShowFormatting);
    (s.AlwaysPlaySound ? rbAlways : rbOnlyMinimized)->setChecked(true);
    const std::array<const std::string*, 10> shortcutTexts = {&s.Shortcut1, &s.Shortcut2, &s.Shortcut3, &s.Shortcut4,
                                                              &s.Shortcut5, &s.Shortcut6, &s.Shortcut7, &s.Shortcut8,
                                                              &s.Shortcut9, &s.Shortcut0};
    for (std::size_t i = 0; i < 10; ++i) lbeShortcut[i]->setText(Local(*shortcutTexts[i]));
    edSoundPathUserMessage->setText(Local(s.SoundPathUserMessage));
    const TChatSession& session = owner_.Chat().Session();
    ChatServer->Fill(s, session.Host(), session.RefusedFingerprint());
    tsFriends->Fill(s);
    if (owner_.tsGames) {
        const auto alerts = owner_.tsGames->ViewSettings().AlertPlayers;
        for (std::size_t i = 0; i < 4; ++i) {
            cbFormingAlert[i]->setChecked(alerts[i] > 0);
            if (alerts[i] > 0) seFormingAlert[i]->setValue(alerts[i]);
        }
    }
    tsTracker->Fill(s.Tracker, owner_.TrackerOverridden() ? TrackerText(owner_.TrackerInUse()) : std::string());
    btnApply->setEnabled(false);
}

TSettings TfrmOptions::Values() const {
    TSettings v;
    const auto text = [](const QLineEdit* e) { return ToStd(e->text()); };
    v.FSEnabled = Games[0].cbEnabled->isChecked();
    v.FSPath = text(Games[0].lbePath);
    v.FSCmd = text(Games[0].lbeCmd);
    v.BtRLEnabled = Games[1].cbEnabled->isChecked();
    v.BtRLPath = text(Games[1].lbePath);
    v.BtRLCmd = text(Games[1].lbeCmd);
    v.WCSEnabled = Games[2].cbEnabled->isChecked();
    v.WCSPath = text(Games[2].lbePath);
    v.WCSCmd = text(Games[2].lbeCmd);
    v.StarfoxEnabled = Games[3].cbEnabled->isChecked();
    v.StarfoxPath = text(Games[3].lbePath);
    v.StarfoxCmd = text(Games[3].lbeCmd);
    v.Nickname = text(lbeNickname);
    v.FullName = text(lbeFullName);
    v.DontAskQuitQuestion = cbDontAskQuitQuestion->isChecked();
    v.MinimizeToTray = cbMinimizeToTray->isChecked();
    v.TrayIconVisible = cbTrayIconVisible->isChecked();
    v.AlwaysPlaySound = rbAlways->isChecked();
    v.NotificationUserMessage = cbNotificationUserMessage->isChecked();
    v.SoundUserMessage = cbSoundUserMessage->isChecked();
    v.SoundPathUserMessage = text(edSoundPathUserMessage);
    v.DesktopNotification = cbDesktopNotification->isChecked();
    v.ChatLogs = cbChatLogs->isChecked();
    v.ShowFormatting = cbShowFormatting->isChecked();
    std::string* shortcuts[] = {&v.Shortcut1, &v.Shortcut2, &v.Shortcut3, &v.Shortcut4, &v.Shortcut5,
                                &v.Shortcut6, &v.Shortcut7, &v.Shortcut8, &v.Shortcut9, &v.Shortcut0};
    for (std::size_t i = 0; i < 10; ++i) *shortcuts[i] = text(lbeShortcut[i]);
    v.Tracker = tsTracker->Text();
    ChatServer->Store(v, owner_.Settings.ChatCertificatePins);
    v.ChatStsPolicies = owner_.Settings.ChatStsPolicies;  // the servers' to set, not the dialog's
    tsFriends->Store(v, owner_.Settings.Friends);
    return v;
}

void TfrmOptions::EnableApplyButton() { btnApply->setEnabled(true); }

void TfrmOptions::cbEnableGameClick(QCheckBox* sender) {
    EnableApplyButton();
    for (TGameControls& g : Games) {
        if (g.cbEnabled != sender) continue;
        const bool on = sender->isChecked();
        ShowEnabled(g.lbePath, on);
        ShowEnabled(g.lbeCmd, on);
        g.btnBrowse->setEnabled(on);
    }
}

void TfrmOptions::PlaySoundClick() {
    const bool on = cbSoundUserMessage->isChecked();
    ShowEnabled(edSoundPathUserMessage, on);
    btnSelectSound->setEnabled(on);
    EnableApplyButton();
}

void TfrmOptions::btnBrowseClick(QPushButton* sender) {
    for (TGameControls& g : Games) {
        if (g.btnBrowse != sender) continue;
        const std::filesystem::path start = BrowseStartFolder(
            ToStd(g.lbePath->text()), ToStd(QCoreApplication::applicationDirPath()));
        if (auto chosen = Choose({TFileChoice::Executable, "Please select FreeSpace Open executable",
                                  QString::fromStdString(start.string())}))
            g.lbePath->setText(*chosen);
    }
}

void TfrmOptions::SelectSoundClick() {
    if (auto chosen = Choose({TFileChoice::Sound, QString(), QString()})) edSoundPathUserMessage->setText(*chosen);
}

std::optional<QString> TfrmOptions::Choose(const TFileChoice& choice) {
    TFileChoice asked = choice;
    if (asked.StartFolder.isEmpty()) asked.StartFolder = lastFolder_;
    std::optional<QString> chosen;
    if (ChooseFile) {
        chosen = ChooseFile(this, asked);
    } else {
        QFileDialog chooser(this, asked.Title, asked.StartFolder);
        chooser.setFileMode(QFileDialog::ExistingFile);
        TExecutableFilter* filter = nullptr;
        if (asked.Kind == TFileChoice::Sound) {
            chooser.setNameFilters({"WAV file (*.wav)", "Any file (*)"});
        } else {
#ifdef _WIN32
            chooser.setNameFilters({"EXE file (*.exe)"});
#else
            // Games here are programs without a suffix, or Windows builds run through wine. A
            // desktop's own chooser can only match names, so Qt's chooser filters on the mode.
            chooser.setOption(QFileDialog::DontUseNativeDialog);
            chooser.setNameFilters({"Programs and EXE files (*)", "Any file (*)"});
            filter = new TExecutableFilter;
            chooser.setProxyModel(filter);
            connect(&chooser, &QFileDialog::filterSelected, &chooser, [&chooser, filter](const QString& name) {
                filter->Active = name == chooser.nameFilters().first();
                filter->invalidate();
            });
#endif
        }
        if (chooser.exec() == QDialog::Accepted && !chooser.selectedFiles().isEmpty())
            chosen = chooser.selectedFiles().first();
    }
    if (chosen) lastFolder_ = QFileInfo(*chosen).absolutePath();
    return chosen;
}

void TfrmOptions::RunRules(const std::function<void(TOptionsApplyTargets&, const TSettingsEvents&)>& rules) {
    std::unique_ptr<TQtMessageBoxes> own;
    TMessageBoxes* boxes = owner_.Options().Boxes;
    // The boxes belong to this dialog, which stays on top and would hide the main window's.
    if (!boxes) boxes = (own = std::make_unique<TQtMessageBoxes>(this)).get();
    // A tracker that is no address is refused before anything is saved.
    std::string trackerError;
    if (!tsTracker->Check(trackerError)) {
        PageControl1->setCurrentWidget(tsTracker);
        boxes->Show(trackerError, ApplicationTitle, TMsgIcon::Warning, TMsgButtons::Ok);
        return;
    }
    TDialogTargets targets(*this, owner_, *boxes);
    TSettingsEvents events;
    events.OnProblem = [this](const std::string& problem) { owner_.ApplicationException(problem); };
    const std::string tracker = owner_.Settings.Tracker;
    rules(targets, events);
    if (owner_.Settings.Tracker != tracker) owner_.TrackerSettingChanged();
}

void TfrmOptions::SaveFormingAlerts() {
    if (!owner_.tsGames) return;
    TGamesViewSettings view = owner_.tsGames->ViewSettings();
    for (std::size_t i = 0; i < 4; ++i)
        view.AlertPlayers[i] = cbFormingAlert[i]->isChecked() ? seFormingAlert[i]->value() : 0;
    if (view == owner_.tsGames->ViewSettings()) return;
    owner_.tsGames->ApplyViewSettings(view);
    Guarded([&] { SaveGamesView(owner_.SettingsKey(), view); });
}

void TfrmOptions::btnApplyClick() {
    RunRules([this](TOptionsApplyTargets& targets, const TSettingsEvents& events) {
        ApplyOptions(owner_.Settings, owner_.SettingsKey(), Values(), targets, events);
    });
    SaveFormingAlerts();
    ChatServer->SavePassword();
    owner_.ApplyChatServer();
    owner_.Friends().SettingsChanged();
    tsFriends->Saved(owner_.Settings.Friends);
}

void TfrmOptions::btnOKClick() {
    bool mayClose = false;
    RunRules([&](TOptionsApplyTargets& targets, const TSettingsEvents& events) {
        mayClose = ConfirmOptions(owner_.Settings, owner_.SettingsKey(), Values(), targets, events);
    });
    if (!mayClose) return;
    SaveFormingAlerts();
    // A password the store refused stays on the page, saying why, for another try.
    if (!ChatServer->SavePassword()) {
        PageControl1->setCurrentWidget(ChatServer);
        owner_.ApplyChatServer();
        return;
    }
    owner_.ApplyChatServer();
    owner_.Friends().SettingsChanged();
    close();
}

void TfrmOptions::btnCancelClick() { close(); }

TfrmOptions* ShowOptionsDialog(QPointer<TfrmOptions>& mark, TCorvaneGVMF& owner) {
    if (!mark || mark->Closed()) mark = new TfrmOptions(owner);
    mark->show();
    mark->raise();
    mark->activateWindow();
    return mark;
}
