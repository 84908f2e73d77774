// SPDX-License-Identifier: GPL-3.0-or-later
// TfrmOptions: the settings dialog with its four pages, bound to the Apply rules.
#pragma once

#include "settings/Settings.h"

#include <QDialog>
#include <QPointer>

#include <array>
#include <functional>
#include <optional>
#include <string>

class QCheckBox;
class QGroupBox;
class QLineEdit;
class QPushButton;
class QRadioButton;
class QSpinBox;
class QListWidget;
class QTabWidget;
class TChatServerPage;
class TFriendsOptionsPage;
class TCorvaneGVMF;
class TOptionsApplyTargets;
class TTrackerPage;
struct TSettingsEvents;

// What a file chooser is asked for; the dialog's own QFileDialog by default, tests answer
// themselves.
struct TFileChoice {
    enum TKind { Executable, Sound } Kind = Executable;
    QString Title;
    QString StartFolder;  // empty: where the dialog's last chooser was
};
using TChooseFile = std::function<std::optional<QString>(QWidget* parent, const TFileChoice& choice)>;

class TfrmOptions final : public QDialog {
public:
    // The page list's column beside the designed dialog.
    static constexpr int kPageListWidth = 118;
    static constexpr int kClientWidth = 402 + kPageListWidth + 4;
    static constexpr int kClientHeight = 395;

    // Filled from the main window's settings; modeless, on top, destroyed when closed.
    explicit TfrmOptions(TCorvaneGVMF& owner);

    void EnableApplyButton();
    void cbEnableGameClick(QCheckBox* sender);
    void PlaySoundClick();
    void btnBrowseClick(QPushButton* sender);
    void SelectSoundClick();
    void btnApplyClick();
    void btnOKClick();
    void btnCancelClick();

    // The controls' values as a settings record (the nickname as typed).
    TSettings Values() const;
    // True from closing on, while the dialog waits to be destroyed.
    bool Closed() const { return closed_; }

    TChooseFile ChooseFile;

    QTabWidget* PageControl1 = nullptr;
    // The pages by name, one a row: more pages than a tab strip shows at once.
    QListWidget* lbPages = nullptr;
    QPushButton* btnOK = nullptr;
    QPushButton* btnCancel = nullptr;
    QPushButton* btnApply = nullptr;
    // General
    QCheckBox* cbDontAskQuitQuestion = nullptr;
    QCheckBox* cbMinimizeToTray = nullptr;
    QCheckBox* cbTrayIconVisible = nullptr;
    QLineEdit* lbeNickname = nullptr;
    QLineEdit* lbeFullName = nullptr;
    QCheckBox* cbChatLogs = nullptr;
    QCheckBox* cbShowFormatting = nullptr;
    // Games, in code order: FreeSpace 2, Beyond the Red Line Demo, Wing Commander Saga, Starfox.
    struct TGameControls {
        QGroupBox* Box = nullptr;
        QCheckBox* cbEnabled = nullptr;
        QLineEdit* lbePath = nullptr;
        QPushButton* btnBrowse = nullptr;
        QLineEdit* lbeCmd = nullptr;
    };
    std::array<TGameControls, 4> Games{};
    // Notifications
    QRadioButton* rbAlways = nullptr;
    QRadioButton* rbOnlyMinimized = nullptr;
    QCheckBox* cbNotificationUserMessage = nullptr;
    QCheckBox* cbSoundUserMessage = nullptr;
    QLineEdit* edSoundPathUserMessage = nullptr;
    QPushButton* btnSelectSound = nullptr;
    QCheckBox* cbDesktopNotification = nullptr;
    // "Tell me when a game is forming with at least N players", per game type in code order.
    std::array<QCheckBox*, 4> cbFormingAlert{};
    std::array<QSpinBox*, 4> seFormingAlert{};
    // Shortcuts: Control+1 ... Control+9, Control+0 in this order.
    std::array<QLineEdit*, 10> lbeShortcut{};
    // Tracker
    TTrackerPage* tsTracker = nullptr;
    // Chat server (its own file).
    TChatServerPage* ChatServer = nullptr;
    // Friends (its own file).
    TFriendsOptionsPage* tsFriends = nullptr;

private:
    void BuildControls();
    void BuildPageList();
    void FormCreate();
    void Guarded(const std::function<void()>& handler);
    // Runs Apply's or OK's rules with this dialog, the main window and the user as targets.
    void RunRules(const std::function<void(TOptionsApplyTargets&, const TSettingsEvents&)>& rules);
    std::optional<QString> Choose(const TFileChoice& choice);
    // The forming alert rule is kept with the games page's own values.
    void SaveFormingAlerts();

    TCorvaneGVMF& owner_;
    QString lastFolder_;
    bool closed_ = false;
};

// Shows the dialog, creating it first when the mark holds none (or one already closing), so a
// second "Settings" click only brings it forward.
TfrmOptions* ShowOptionsDialog(QPointer<TfrmOptions>& mark, TCorvaneGVMF& owner);
