// SPDX-License-Identifier: GPL-3.0-or-later
// TChatServerPage: the settings dialog's page for the chat server, its TLS, the SASL login and
// the trusted certificate.
#pragma once

#include "settings/SecretStore.h"
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
    // changed runs on every edit (the dialog enables Apply). secrets keeps the login's
    // password (null: no login can be set); unavailable, when it gives a text, says why it is
    // kept for this session only. Both are asked only once the page is shown or a password
    // is wanted: the store may be slow to answer, or ask the user to unlock it.
    explicit TChatServerPage(std::function<void()> changed, TSecretStore* secrets = nullptr,
                             std::function<std::string()> unavailable = {});

    // refusedHost and refusedFingerprint: the certificate the chat last refused, offered for
    // trust (also when the command line named that host rather than the host field).
    void Fill(const TSettings& settings, const std::string& refusedHost, const std::string& refusedFingerprint);
    // Writes host, port, TLS and the pins (stored pins with this host's entry from the field).
    void Store(TSettings& values, const std::string& storedPins) const;
    // Puts an edited password into the secret store under the account and host the fields
    // name (an empty one is erased). False, with the store's reason shown on the page, when
    // the store refuses.
    bool SavePassword();

    void btnTrustRefusedClick();

    QLineEdit* lbeChatHost = nullptr;
    QLineEdit* lbeChatPort = nullptr;
    QCheckBox* cbUseTls = nullptr;
    QLineEdit* lbeTrustedFingerprint = nullptr;
    QLabel* lbRefused = nullptr;
    QPushButton* btnTrustRefused = nullptr;
    QLineEdit* lbeChatAccount = nullptr;
    QLineEdit* lbeChatPassword = nullptr;
    QLabel* lbSecretStore = nullptr;

protected:
    void showEvent(QShowEvent* event) override;

private:
    void UpdateRefused();
    void FillPassword();
    void SayWhereKept();

    std::function<void()> changed_;
    std::string refusedHost_, refusedFingerprint_, pins_;
    bool trustRefused_ = false;
    TSecretStore* secrets_;
    std::function<std::string()> unavailable_;
    bool toldWhereKept_ = false;
    bool passwordEdited_ = false;
};
