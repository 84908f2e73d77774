// SPDX-License-Identifier: GPL-3.0-or-later
// TCorvaneGVMF: the main window: pages, menu, start-up order, layout rule, close and error handler.
#pragma once

#include "chat/IRCCli.h"
#include "chat/ServerMessage.h"
#include "net/NMUDP.h"
#include "settings/Names.h"
#include "settings/RegistryKey.h"
#include "settings/Settings.h"
#include "shell/CommandLine.h"
#include "shell/CoolTrayIcon.h"
#include "shell/GuardedEventLoop.h"
#include "shell/QtMessageBoxes.h"
#include "shell/QtProgramStarter.h"
#include "shell/SecretServiceStore.h"
#include "shell/SoundPlayer.h"
#include "shell/Unit2.h"
#include "shell/Unit3.h"
#include "shell/WelcomeDialog.h"
#include "tracker/CorvaneCheck.h"
#include "tracker/GamesPage.h"
#include "tracker/GamesRefresh.h"
#include "tracker/JoinGame.h"

#include <QMainWindow>
#include <QPointer>

#include <exception>
#include <functional>
#include <memory>
#include <string>
#include <vector>

class QAction;
class QLineEdit;
class QMenu;
class QPushButton;
class QTabBar;
class QTabWidget;
class TAnchors;
class TChatPage;
class TChatView;
class TFriendsBinding;
class TGamesPageView;

// The client area as designed; the window's controls are placed in it.
inline constexpr int ClientDesignedWidth = 803;
inline constexpr int ClientDesignedHeight = 388;
// Outer sizes count the title bar and borders, which the window manager adds around what Qt
// sizes; this is their designed share (the menu bar lies inside the Qt window).
inline constexpr int OuterHeight = 435;
inline constexpr int MinOuterWidth = 390;
inline constexpr int MinOuterHeight = 270;
inline constexpr int FrameWidth = 8;
inline constexpr int FrameHeight = 27;

inline constexpr const char* QuitQuestion = "Do you want to quit Corvane Games Viewer?";
inline constexpr const char* ExceptionLinePrefix = "!!!EXCEPTION!!!: ";

struct TMainWindowOptions {
    // The command line; "-developer" is looked for here, args[0] is the program.
    std::vector<std::string> Args{"corvanegv"};
    TTrackerAddress Tracker = DefaultTrackerAddress();
    std::string ChatHost = DefaultChatServerHost;
    std::string ChatPort = DefaultChatServerPort;
    bool ChatTls = false;
    // The chat server comes from the settings rather than from ChatHost, ChatPort and ChatTls
    // (the program without --chat-server).
    bool ChatFromSettings = false;
    // Local port of the status socket; tests take 0, an ephemeral port.
    int StatusPort = StatusLocalPort;
    // Null: real message boxes owned by the window. Tests answer through their own.
    TMessageBoxes* Boxes = nullptr;
    // Null: games start as detached processes. Tests may record instead.
    TProgramStarter* Starter = nullptr;
    // Tracker given for this run (--tracker, tests): it holds over the settings' "Tracker".
    bool TrackerFromCommandLine = true;
    // A first start that nobody pointed at a chat server: the welcome dialog asks before the
    // chat sends the user's names.
    bool Welcome = false;
    // Makes the store of the chat's passwords when one is first wanted; null: the desktop's.
    std::function<TDesktopSecrets()> MakeSecrets;
};

class TCorvaneGVMF : public QMainWindow {
    Q_OBJECT
public:
    // Runs the start-up steps. The loop and the settings key must outlive the window.
    TCorvaneGVMF(TGuardedEventLoop& loop, TRegistryKey& settingsKey, TMainWindowOptions options,
                 QWidget* parent = nullptr);
    ~TCorvaneGVMF() override;

    // The application-wide error handler: one bold grey line in the server view, no box.
    void ApplicationException(std::exception_ptr error);
    void ApplicationException(const std::string& message);

    void FormActivate();
    // The layout rule of the game lists; the settings dialog's Apply calls it too.
    void FormResize();
    void PageControl1Change();
    // True when the window may close.
    bool FormCloseQuery();
    void FormClose();
    void tmRefreshGamesTimer() { refresh_->tmRefreshGamesTimer(); }
    // Shows and hides the headings (and, on the games page, the lists) to match the settings.
    void ShowEnabledGames();
    // "Join my friend": shows the games page, selects the row of the server named so (in the
    // enabled lists) and joins it as a double-click would. False, and nothing else done, when
    // no row has that name.
    bool JoinFriendGame(const std::string& serverName);
    // The settings' "Tracker" changed: the check asks it from now on (a --tracker given for
    // this run gives way), and a walk starts at once.
    void TrackerSettingChanged();
    // The tracker the check asks, and whether the command line chose it.
    const TTrackerAddress& TrackerInUse() const { return tracker_->Tracker(); }
    bool TrackerOverridden() const { return trackerOverridden_; }

    // SIGTERM and SIGINT: leave at once, without the question: chat disconnected, nothing
    // written, the run loop ended.
    void StopBySignal();
    // Raised once the window has closed for good (the program entry ends the run loop).
    std::function<void()> OnClosed;

    bool DeveloperMode() const { return developerMode_; }
    TSettings Settings;
    TSystemNames Names;
    TRandomGenerator Random;
    const TMainWindowOptions& Options() const { return options_; }

    TEventLoop& Loop() { return loop_; }
    TMessageBoxes& Boxes() { return *boxes_; }
    TRegistryKey& SettingsKey() { return settingsKey_; }
    TNMUDP& NMUDP1() { return *udp_; }
    TGamesPage& Games() { return *games_; }
    TIRCCli& IRCCli1() { return *irc_; }
    // The chat page: conversations, session control and server lines.
    TChatPage& Chat() { return *chat_; }
    // Points the chat's next connect at the server the options or the settings name.
    void ApplyChatServer();
    // Where the chat's login password is kept.
    TLazyDesktopSecrets& Secrets() { return *secrets_; }
    TCorvaneCheck* Tracker() { return tracker_.get(); }
    TGamesRefresh* Refresh() { return refresh_.get(); }
    TJoinGame& Join() { return *join_; }
    // The friends' page, marks and notifications.
    TFriendsBinding& Friends() { return *friends_; }

    // Controls, named as the program knows them.
    QTabWidget* PageControl1 = nullptr;
    QWidget* tsChat = nullptr;
    TGamesPageView* tsGames = nullptr;
    QLineEdit* Edit1 = nullptr;
    QPushButton* btnChatConnection = nullptr;
    QTabBar* TabControl1 = nullptr;
    TChatView* RichEdit1 = nullptr;
    QMenu* mmFile = nullptr;
    QAction* mmExit = nullptr;
    QAction* mmSettings = nullptr;
    QAction* mmAbout = nullptr;

    // The page switch shows or hides the conversation of a selected tab other than the
    // server tab (label, show); the chat page logic provides it.
    std::function<void(const std::string& label, bool show)> ShowConversation;

    // Runs a handler of a control; what it throws goes to the error handler.
    void Guarded(const std::function<void()>& handler);

    // The tray icon: made before the start-up steps, not shown, MinimizeToTray on.
    TCoolTrayIcon* CoolTrayIcon1 = nullptr;
    void CoolTrayIcon1MouseDown(TCoolTrayIcon* sender, TTrayButton button, Qt::KeyboardModifiers shift, QPoint pos);
    void CoolTrayIcon1DblClick(TCoolTrayIcon* sender);
    // Raised by the chat right after an incoming user message was written into a view.
    void NotifyUserMessage(const TUserMessage& message = {});
    // Plays the message sound; tests put in their own.
    std::unique_ptr<TSoundPlayer> Sound = std::make_unique<TQtSoundPlayer>();

    // "About...": the box exists at most once; this mark clears itself when it closes.
    void mmAboutClick();
    QPointer<TfrmAbout> frmAbout;
    // "Settings": the dialog exists at most once, like the about box.
    void mmSettingsClick();
    QPointer<TfrmOptions> frmOptions;
    // The first start's welcome, while it is open.
    QPointer<TfrmWelcome> frmWelcome;

protected:
    bool event(QEvent* event) override;
    void closeEvent(QCloseEvent* event) override;
    void resizeEvent(QResizeEvent* event) override;
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    void BuildControls();
    void BuildMenu();
    void BindChatPage();
    void RunStartupSteps();
    void ValueLoaded(const std::string& valueName);
    std::array<bool, 4> EnabledGames() const;
    void ShowRefreshState();
    void UseSettingsTracker();
    void ShowWelcome();

    TGuardedEventLoop& loop_;
    TRegistryKey& settingsKey_;
    TMainWindowOptions options_;
    TQtMessageBoxes ownBoxes_;
    TMessageBoxes* boxes_;

    std::unique_ptr<TNMUDP> udp_;
    std::string bindError_;
    std::unique_ptr<TGamesPage> games_;
    std::unique_ptr<TIRCCli> irc_;
    std::unique_ptr<TLazyDesktopSecrets> secrets_;
    // After the client: it lets go of the client's events when it goes.
    std::unique_ptr<TChatPage> chat_;
    std::unique_ptr<TCorvaneCheck> tracker_;
    std::unique_ptr<TGamesRefresh> refresh_;
    TQtProgramStarter ownStarter_;
    std::unique_ptr<TJoinGame> join_;
    // After the chat page, whose events it takes and gives back.
    std::unique_ptr<TFriendsBinding> friends_;

    TAnchors* clientAnchors_ = nullptr;
    TAnchors* chatAnchors_ = nullptr;
    bool developerMode_ = false;
    bool trackerOverridden_ = false;
    bool activated_ = false;
    bool stopping_ = false;
    bool closed_ = false;
};
