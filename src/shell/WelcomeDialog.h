// SPDX-License-Identifier: GPL-3.0-or-later
// TfrmWelcome: the first start's question before the chat sends the user's names anywhere.
#pragma once

#include <QDialog>

#include <functional>
#include <string>

class QLabel;
class QLineEdit;
class QPushButton;

// The server view's line after the welcome was declined.
inline constexpr const char* WelcomeCancelledLine =
    "Not connected to the chat. Press \"Connect\" to connect; the nickname and full name are under Settings.";

class TfrmWelcome final : public QDialog {
public:
    // network is where the chat connects ("HOST:PORT"); the names are what it would send.
    TfrmWelcome(QWidget* owner, const std::string& network, const std::string& nickname, const std::string& fullName);

    // OK (connect, with the names as edited; the nickname already filtered) or Cancel and the
    // close box (no connect). Raised once, then the dialog goes.
    std::function<void(bool connect, const std::string& nickname, const std::string& fullName)> OnAnswer;

    QLabel* lbNetwork = nullptr;
    QLineEdit* lbeNickname = nullptr;
    QLineEdit* lbeFullName = nullptr;
    QPushButton* btnOK = nullptr;
    QPushButton* btnCancel = nullptr;

private:
    void Answer(bool connect);
    bool answered_ = false;
};
