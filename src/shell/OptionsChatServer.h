// SPDX-License-Identifier: GPL-3.0-or-later
// TChatServerPage: the settings dialog's page for the chat server, its TLS and trusted certificate.
#pragma once

#include "settings/Settings.h"

#include <QWidget>

#include <functional>
#include <string>

class QCheckBox;
class QLabel;
class QLineEdit;
class QPushButton;

class TChatServerPage final : public QWidget {
public:
    // changed runs on every edit (the dialog enables Apply).
    explicit TChatServerPage(std::function<void()> changed);

    // refusedHost and refusedFingerprint: the certificate the chat last refused, offered for
    // trust (also when the command line named that host rather than the host field).
    void Fill(const TSettings& settings, const std::string& refusedHost, const std::string& refusedFingerprint);
    // Writes host, port, TLS and the pins (stored pins with this host's entry from the field).
    void Store(TSettings& values, const std::string& storedPins) const;

    void btnTrustRefusedClick();

    QLineEdit* lbeChatHost = nullptr;
    QLineEdit* lbeChatPort = nullptr;
    QCheckBox* cbUseTls = nullptr;
    QLineEdit* lbeTrustedFingerprint = nullptr;
    QLabel* lbRefused = nullptr;
    QPushButton* btnTrustRefused = nullptr;

private:
    void UpdateRefused();

    std::function<void()> changed_;
    std::string refusedHost_, refusedFingerprint_, pins_;
    bool trustRefused_ = false;
};
