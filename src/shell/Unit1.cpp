// SPDX-License-Identifier: GPL-3.0-or-later
// TCorvaneGVMF: builds the controls, runs the start-up steps and binds the handlers.
#include "shell/Unit1.h"

#include "chat/ChatLine.h"
#include "shell/Anchors.h"
#include "shell/ChatPage.h"
#include "shell/ChatTabBar.h"
#include "shell/ChatView.h"
#include "shell/CorvaneApplication.h"
#include "shell/FriendsBinding.h"
#include "shell/GamesPageView.h"
#include "shell/Icons.h"
#include "shell/TrayActions.h"
#include "tracker/FriendGame.h"
#include "tracker/GameTypes.h"

#include <QCloseEvent>
#include <QCursor>
#include <QGuiApplication>
#include <QLineEdit>
#include <QMenuBar>
#include <QPushButton>
#include <QScreen>
#include <QTabBar>
#include <QTabWidget>

namespace {

QString Local(const std::string& s) { return QString::fromLocal8Bit(s.data(), static_cast<qsizetype>(s.size())); }

std::string MessageOf(std::exception_ptr error) {
    try {
        std::rethrow_exception(error);
    } catch (const std::exception& e) {
        return e.what();
    } catch (...) {
        return "Unknown error";
    }
}

}  // namespace

TCorvaneGVMF::TCorvaneGVMF(TGuardedEventLoop& loop, TRegistryKey& settingsKey, TMainWindowOptions options,
                           QWidget* parent)
    : QMainWindow(parent), loop_(loop), settingsKey_(settingsKey), options_(std::move(options)), ownBoxes_(this),
      boxes_(options_.Boxes ? options_.Boxes : &ownBoxes_) {
    // What exists before the start-up steps: the status socket bound, tmRefreshUDP running
    // (the games page starts it), the chat client inactive, the lists hidden.
    udp_ = std::make_unique<TNMUDP>(loop_);
    TChatView::SetShowFormatting(&Settings.ShowFormatting);
    try {
        udp_->SetLocalPort(options_.StatusPort);
    } catch (const std::exception& e) {
        // Said once the error handler is in place: without the port no reply can arrive.
        bindError_ = std::string("Status port ") + std::to_string(options_.StatusPort) + ": " + e.what();
    }
    games_ = std::make_unique<TGamesPage>(loop_, *udp_, *boxes_);
    irc_ = std::make_unique<TIRCCli>(loop_);
    secrets_ = std::make_unique<TLazyDesktopSecrets>(
        options_.MakeSecrets ? options_.MakeSecrets : [] { return MakeDesktopSecretStore(); });
    CoolTrayIcon1 = new TCoolTrayIcon(this, TrayImages(), this);
    CoolTrayIcon1->OnMouseDown = [this](TCoolTrayIcon* sender, TTrayButton button, Qt::KeyboardModifiers shift,
                                        QPoint pos) {
        Guarded([&] { CoolTrayIcon1MouseDown(sender, button, shift, pos); });
    };
    CoolTrayIcon1->OnDblClick = [this](TCoolTrayIcon* sender) { Guarded([&] { CoolTrayIcon1DblClick(sender); }); };

    // The designed font is 8 point; where its family is missing the system's sans stands in.
    QFont designed = font();
    designed.setFamilies({"MS Sans Serif", "Microsoft Sans Serif", "Arial", "Liberation Sans"});
    designed.setPointSize(8);
    setFont(designed);
    setWindowTitle(ApplicationTitle);
    setWindowIcon(WindowIcon());
    BuildControls();
    BindChatPage();
    friends_ = std::make_unique<TFriendsBinding>(*this);
    BuildMenu();
    RunStartupSteps();
}

TCorvaneGVMF::~TCorvaneGVMF() {
    TChatView::SetShowFormatting(nullptr);
    loop_.OnException = nullptr;
    if (auto* app = qobject_cast<TCorvaneApplication*>(QCoreApplication::instance())) app->OnException = nullptr;
    // A window that goes without being closed still keeps a change the user made just before.
    if (tsGames && !closed_) Guarded([this] { tsGames->SaveViewSettingsNow(); });
    // The views go before the lists they show, and no handler sees the half-gone window.
    QObject::disconnect(PageControl1, nullptr, this, nullptr);
    delete tsGames;
    tsGames = nullptr;
    refresh_.reset();
    tracker_.reset();
}

void TCorvaneGVMF::BuildControls() {
    auto* client = new QWidget(this);
    client->setObjectName("client");
    client->resize(ClientDesignedWidth, ClientDesignedHeight);
    setCentralWidget(client);
    clientAnchors_ = new TAnchors(client, QSize(ClientDesignedWidth, ClientDesignedHeight));

    PageControl1 = new QTabWidget(client);
    PageControl1->setObjectName("PageControl1");
    clientAnchors_->Add(PageControl1, QRect(0, 0, ClientDesignedWidth, ClientDesignedHeight),
                        akLeft | akTop | akRight | akBottom);

    tsChat = new QWidget;
    tsChat->setObjectName("tsChat");
    PageControl1->addTab(tsChat, "Chat");
    tsGames = new TGamesPageView(*games_, {ModeIcon(0), ModeIcon(1), ModeIcon(2)});
    tsGames->setObjectName("tsGames");
    PageControl1->addTab(tsGames, Local(games_->Caption()));
    tsGames->installEventFilter(this);

    chatAnchors_ = new TAnchors(tsChat, QSize(GamesPageDesignedWidth, GamesPageDesignedHeight));
    Edit1 = new QLineEdit(tsChat);
    Edit1->setObjectName("Edit1");
    chatAnchors_->Add(Edit1, QRect(4, 328, 642, 25), akLeft | akRight | akBottom);
    btnChatConnection = new QPushButton("Connect", tsChat);
    btnChatConnection->setObjectName("btnChatConnection");
    chatAnchors_->Add(btnChatConnection, QRect(653, 328, 136, 25), akRight | akBottom);

    // The tab strip and the server view lie over the Chat page without belonging to it; the
    // page switch shows and hides them.
    TabControl1 = new TChatTabBar(client);
    TabControl1->setObjectName("TabControl1");
    TabControl1->setShape(QTabBar::RoundedNorth);
    TabControl1->setExpanding(false);
    TabControl1->setDrawBase(true);
    TabControl1->addTab("<Server>");
    TabControl1->setAttribute(Qt::WA_Hover);
    clientAnchors_->Add(TabControl1, QRect(7, 32, 785, TabControl1->sizeHint().height()), akLeft | akTop | akRight);

    RichEdit1 = new TChatView(client);
    RichEdit1->setObjectName("RichEdit1");
    clientAnchors_->Add(RichEdit1, QRect(8, 56, 785, 281), akLeft | akTop | akRight | akBottom);
    TabControl1->raise();
    RichEdit1->raise();

    games_->OnCaptionChange = [this](TGamesPage&, const std::string& caption) {
        PageControl1->setTabText(1, Local(caption));
    };
    connect(PageControl1, &QTabWidget::currentChanged, this, [this] { Guarded([this] { PageControl1Change(); }); });
    connect(tsGames->Button1(), &QPushButton::clicked, this, [this] {
        Guarded([this] {
            if (refresh_) refresh_->Button1Click();
        });
    });
    connect(tsGames->Button2(), &QPushButton::clicked, this, [this] { Guarded([this] { games_->Button2Click(); }); });

    // Minimizing is the window's; the tray icon watches it and decides about the tray.
    join_ = std::make_unique<TJoinGame>(
        *games_, Settings, *boxes_, options_.Starter ? *options_.Starter : ownStarter_,
        TJoinChat{[this] { return irc_->Connected(); }, [this](const std::string& line) { irc_->SendLine(line); }},
        [this] { setWindowState(windowState() | Qt::WindowMinimized); });
    tsGames->OnListDoubleClick = [this](int gameType, int selectedRow) {
        Guarded([&] { join_->lvGamesDblClick(games_->List(gameType), selectedRow); });
    };
    games_->OnFormingAlert = [this](TGamesPage&, int, const TGameRow&) { NotifyUserMessage(); };
    tsGames->OnReport = [this](const std::string& text, bool error) {
        boxes_->Show(text, ApplicationTitle, error ? TMsgIcon::Warning : TMsgIcon::Information, TMsgButtons::Ok);
    };
    tsGames->OnViewSettingsChange = [this] {
        Guarded([this] { SaveGamesView(settingsKey_, tsGames->ViewSettings()); });
    };
}

void TCorvaneGVMF::BindChatPage() {
    chat_ = std::make_unique<TChatPage>(
        TChatControls{centralWidget(), QSize(ClientDesignedWidth, ClientDesignedHeight), TabControl1, RichEdit1, Edit1,
                      btnChatConnection, [this] { return PageControl1->currentIndex() == 0; },
                      [this](const std::function<void()>& handler) { Guarded(handler); }},
        *irc_, Settings, Random, options_.ChatHost, options_.ChatPort);
    chat_->Session().SetServer(options_.ChatHost, options_.ChatPort, options_.ChatTls);
    chat_->Session().Secrets = secrets_.get();
    // Only the changed value is written: the in-memory nickname must not reach the store.
    chat_->Session().OnSettingsChanged = [this](const std::string& name) {
        Guarded([&] { SaveSettingsValue(settingsKey_, Settings, name); });
    };
    chat_->Messages().OnNotifyUserMessage = [this](const TUserMessage& message) { NotifyUserMessage(message); };
    chat_->Messages().DeveloperMode = [this] { return developerMode_; };
    chat_->OnJoinFriendGame = [this](const std::string& server) { return JoinFriendGame(server); };
    chat_->GameStatusText = [this](const std::string& server) {
        return FriendGameStatus(*games_, server, EnabledGames());
    };
    // The selected tab is the chat's own; the strip's label may have lost bytes on the way.
    ShowConversation = [this](const std::string&, bool show) {
        TConversations& c = chat_->Conversations();
        c.ShowConversation(c.TabLabel(c.SelectedTab()), show);
        if (show) c.SelectedTabSeen();
    };
}

void TCorvaneGVMF::ApplyChatServer() {
    // A settings file that failed to load leaves the built-in server of the options.
    if (options_.ChatFromSettings && !Settings.ChatServerHost.empty())
        chat_->Session().SetServer(Settings.ChatServerHost, Settings.ChatServerPort, Settings.ChatServerTls);
    else
        chat_->Session().SetServer(options_.ChatHost, options_.ChatPort, options_.ChatTls);
    chat_->Session().Secrets = secrets_.get();
    // Only the changed value is written: the in-memory nickname must not reach the store.
    chat_->Session().OnSettingsChanged = [this](const std::string& name) {
        Guarded([&] { SaveSettingsValue(settingsKey_, Settings, name); });
    };
}

void TCorvaneGVMF::BuildMenu() {
    mmFile = menuBar()->addMenu("File");
    mmExit = mmFile->addAction("Exit");
    mmSettings = menuBar()->addAction("Settings");
    mmAbout = menuBar()->addAction("About...");
    connect(mmExit, &QAction::triggered, this, [this] { close(); });
    connect(mmSettings, &QAction::triggered, this, [this] { Guarded([this] { mmSettingsClick(); }); });
    connect(mmAbout, &QAction::triggered, this, [this] { Guarded([this] { mmAboutClick(); }); });
}

void TCorvaneGVMF::Guarded(const std::function<void()>& handler) {
    try {
        handler();
    } catch (...) {
        ApplicationException(std::current_exception());
    }
}

void TCorvaneGVMF::ApplicationException(std::exception_ptr error) { ApplicationException(MessageOf(error)); }

void TCorvaneGVMF::ApplicationException(const std::string& message) {
    if (!RichEdit1) return;
    // Writing a line never raises: a failing view must not loop back into this handler.
    try {
        RichEdit1->AppendLine(ExceptionLinePrefix + message, LineClass::Error.Style, LineClass::Error.Colour);
    } catch (...) {
    }
}

void TCorvaneGVMF::RunStartupSteps() {
    try {
        // 1. Everything that escapes a handler from here on ends in the server view.
        loop_.OnException = [this](std::exception_ptr e) { ApplicationException(e); };
        if (auto* app = qobject_cast<TCorvaneApplication*>(QCoreApplication::instance()))
            app->OnException = [this](std::exception_ptr e) { ApplicationException(e); };
        if (!bindError_.empty()) ApplicationException(bindError_);

        // 2. arModTypes is the games page's (created with it above).
        // 3. The tracker client.
        tracker_ = std::make_unique<TCorvaneCheck>(
            loop_, options_.Tracker, [this](int gameType) { return EnabledGames()[static_cast<std::size_t>(gameType)]; },
            [this](std::unique_ptr<TAdvancedArray> table) { games_->CheckGamesFromPXO(std::move(table)); }, *boxes_);
        refresh_ = std::make_unique<TGamesRefresh>(loop_, *tracker_);
        refresh_->OnChange = [this](TGamesRefresh&) { ShowRefreshState(); };
        ShowRefreshState();

        // 4. The Chat page, with the input line ready for typing.
        PageControl1->setCurrentIndex(0);
        Edit1->setFocus();

        // 5. The server view marks links by itself (TChatView).

        // 6. Outer height and minimum size.
        setMinimumSize(MinOuterWidth - FrameWidth, MinOuterHeight - FrameHeight);
        resize(ClientDesignedWidth, OuterHeight - FrameHeight);

        // 7. Names for the settings' defaults.
        Names = CollectSystemNames();

        // 8. The settings; headings (and the tray) follow each value as it arrives.
        TSettingsEvents events;
        events.OnValueLoaded = [this](const std::string& name) { ValueLoaded(name); };
        events.OnProblem = [this](const std::string& problem) { ApplicationException(problem); };
        LoadSettings(settingsKey_, Settings, Names, Random, events);
        // The games page's arrangement lives beside the settings, as values of its own.
        tsGames->ApplyViewSettings(LoadGamesView(settingsKey_));
        ApplyChatServer();

        // The tracker as the user set it, unless this run was given one.
        trackerOverridden_ = options_.TrackerFromCommandLine;
        if (!trackerOverridden_) UseSettingsTracker();

        // 9. Developer mode.
        if (FindSwitch(options_.Args, "-developer") != -1) {
            developerMode_ = true;
            tsGames->Button2()->setVisible(true);
        }

        // 10. The first tracker walk; its timer repeats it from then on.
        tmRefreshGamesTimer();
    } catch (...) {
        ApplicationException(std::current_exception());
    }
}

void TCorvaneGVMF::ValueLoaded(const std::string& valueName) {
    for (std::size_t i = 0; i < GameTypes.size(); ++i) {
        if (valueName != GameTypes[i].EnabledSetting) continue;
        games_->FSEnabled = Settings.FSEnabled;
        games_->BtRLEnabled = Settings.BtRLEnabled;
        games_->WCSEnabled = Settings.WCSEnabled;
        games_->StarfoxEnabled = Settings.StarfoxEnabled;
        tsGames->Heading(static_cast<int>(i))->setVisible(EnabledGames()[i]);
    }
    if (valueName == "Friends" && friends_) friends_->SettingsChanged();
    if (valueName == "MinimizeToTray") CoolTrayIcon1->MinimizeToTray = Settings.MinimizeToTray;
    if (valueName == "TrayIconVisible") CoolTrayIcon1->SetIconVisible(Settings.TrayIconVisible);
}

void TCorvaneGVMF::CoolTrayIcon1MouseDown(TCoolTrayIcon*, TTrayButton button, Qt::KeyboardModifiers, QPoint) {
    RestoreOrHide(button, Settings, *this, *CoolTrayIcon1);
}

void TCorvaneGVMF::CoolTrayIcon1DblClick(TCoolTrayIcon* sender) {
    CoolTrayIcon1MouseDown(sender, TTrayButton::Left, Qt::NoModifier, QCursor::pos());
}

void TCorvaneGVMF::NotifyUserMessage(const TUserMessage& message) {
    ::NotifyUserMessage(Settings, *this, *CoolTrayIcon1, *Sound, message.Highlight);
    const TDesktopNote note = DecideDesktopNotification(Settings, MainWindowState(*this), message);
    if (note.Show)
        CoolTrayIcon1->ShowMessage(ChatText(StripFormatting(note.Title)), ChatText(StripFormatting(note.Text)));
}

void TCorvaneGVMF::mmSettingsClick() { ShowOptionsDialog(frmOptions, *this); }

void TCorvaneGVMF::mmAboutClick() { ShowAboutBox(frmAbout, this); }

std::array<bool, 4> TCorvaneGVMF::EnabledGames() const {
    return {Settings.FSEnabled, Settings.BtRLEnabled, Settings.WCSEnabled, Settings.StarfoxEnabled};
}

void TCorvaneGVMF::ShowRefreshState() {
    tsGames->Label1()->setVisible(refresh_->LabelVisible());
    tsGames->Button1()->setEnabled(refresh_->ButtonEnabled());
    tsGames->ShowTrackerNotice(Local(refresh_->TrackerNotice()));
}

void TCorvaneGVMF::UseSettingsTracker() {
    TTrackerAddress tracker;
    std::string error;
    if (!ParseTrackerAddress(Settings.Tracker, tracker, error)) {
        ApplicationException("Tracker setting: " + error);
        tracker = DefaultTrackerAddress();
    }
    tracker_->SetTracker(tracker);
}

void TCorvaneGVMF::TrackerSettingChanged() {
    if (!tracker_ || !refresh_) return;
    trackerOverridden_ = false;
    UseSettingsTracker();
    refresh_->TrackerChanged();
}

bool TCorvaneGVMF::JoinFriendGame(const std::string& serverName) {
    const TFoundServer found = FindServerByName(*games_, serverName, EnabledGames());
    // Nothing to show there: the chat stays in front and says so.
    if (found.GameType < 0) return false;
    PageControl1->setCurrentIndex(1);
    tsGames->SelectRow(found.GameType, found.Row);
    Guarded([&] { join_->lvGamesDblClick(games_->List(found.GameType), found.Row); });
    return true;
}

void TCorvaneGVMF::ShowEnabledGames() {
    const auto enabled = EnabledGames();
    const bool gamesPage = PageControl1->currentIndex() == 1;
    for (int i = 0; i < 4; ++i) {
        tsGames->Heading(i)->setVisible(enabled[static_cast<std::size_t>(i)]);
        tsGames->List(i)->setVisible(gamesPage && enabled[static_cast<std::size_t>(i)]);
    }
}

bool TCorvaneGVMF::event(QEvent* e) {
    if (e->type() == QEvent::WindowActivate && !activated_) {
        activated_ = true;
        Guarded([this] { FormActivate(); });
    }
    return QMainWindow::event(e);
}

void TCorvaneGVMF::FormActivate() {
    if (developerMode_) return;
    loop_.ProcessMessages();
    // Nothing leaves the machine with the user's names before the user has seen them.
    if (options_.Welcome) return ShowWelcome();
    // Exactly what a click on "Connect" does.
    btnChatConnection->click();
}

void TCorvaneGVMF::ShowWelcome() {
    auto* welcome = new TfrmWelcome(this, options_.ChatHost + ":" + options_.ChatPort, Settings.Nickname,
                                    Settings.FullName);
    frmWelcome = welcome;
    welcome->OnAnswer = [this](bool connect, const std::string& nickname, const std::string& fullName) {
        Guarded([&] {
            if (!connect) {
                RichEdit1->AppendLine(WelcomeCancelledLine, LineClass::Info.Style, LineClass::Info.Colour);
                return;
            }
            TSettings chosen = Settings;
            chosen.Nickname = nickname;
            chosen.FullName = fullName;
            TSettingsEvents events;
            events.OnProblem = [this](const std::string& problem) { ApplicationException(problem); };
            if (chosen != Settings) SaveSettings(settingsKey_, Settings, chosen, events);
            btnChatConnection->click();
        });
    };
    welcome->show();
}

void TCorvaneGVMF::resizeEvent(QResizeEvent* e) {
    QMainWindow::resizeEvent(e);
    Guarded([this] { FormResize(); });
}

bool TCorvaneGVMF::eventFilter(QObject* watched, QEvent* e) {
    // The games page follows the window's size a step later than the window itself.
    if (watched == tsGames && e->type() == QEvent::Resize) Guarded([this] { FormResize(); });
    return QMainWindow::eventFilter(watched, e);
}

void TCorvaneGVMF::FormResize() {
    if (tsGames) tsGames->ApplyLayout(EnabledGames());
}

void TCorvaneGVMF::PageControl1Change() {
    const bool serverTab = TabControl1->currentIndex() <= 0;
    const std::string label = TabControl1->currentIndex() > 0
                                  ? TabControl1->tabText(TabControl1->currentIndex()).toLocal8Bit().toStdString()
                                  : std::string();
    if (PageControl1->currentIndex() == 0) {
        TabControl1->setVisible(true);
        if (serverTab)
            RichEdit1->setVisible(true);
        else if (ShowConversation)
            ShowConversation(label, true);
        for (int i = 0; i < 4; ++i) tsGames->List(i)->setVisible(false);
        Edit1->setFocus();
    } else {
        if (serverTab)
            RichEdit1->setVisible(false);
        else if (ShowConversation)
            ShowConversation(label, false);
        const auto enabled = EnabledGames();
        const bool gamesPage = PageControl1->currentIndex() == 1;
        for (int i = 0; i < 4; ++i) tsGames->List(i)->setVisible(gamesPage && enabled[static_cast<std::size_t>(i)]);
        TabControl1->setVisible(false);
    }
}

bool TCorvaneGVMF::FormCloseQuery() {
    if (stopping_ || Settings.DontAskQuitQuestion || developerMode_) return true;
    return boxes_->Show(QuitQuestion, ApplicationTitle, TMsgIcon::Question, TMsgButtons::YesNo) == TMsgResult::Yes;
}

void TCorvaneGVMF::FormClose() {
    if (closed_) return;
    closed_ = true;
    if (tsGames) Guarded([this] { tsGames->SaveViewSettingsNow(); });
    // Through the session, so that no reconnect is planned for a window that goes.
    if (chat_)
        chat_->Session().Disconnect();
    else
        irc_->Disconnect();
}

void TCorvaneGVMF::closeEvent(QCloseEvent* e) {
    bool mayClose = true;
    Guarded([&] { mayClose = FormCloseQuery(); });
    // A stop signal that came while the question was open has closed the window already.
    if (stopping_) {
        e->accept();
        return;
    }
    if (!mayClose) {
        e->ignore();
        return;
    }
    Guarded([this] { FormClose(); });
    e->accept();
    if (OnClosed) OnClosed();
}

void TCorvaneGVMF::StopBySignal() {
    if (stopping_) return;
    stopping_ = true;
    loop_.Terminate();
    // Not through close(): Qt ignores it while a close (and its question) is under way.
    Guarded([this] { FormClose(); });
    hide();
    if (OnClosed) OnClosed();
}
