// SPDX-License-Identifier: GPL-3.0-or-later
// TfrmAddServer: "Add server...": a game server by host name or IPv4 address, kept as a favourite.
#pragma once

#include <QDialog>

#include <functional>
#include <string>

class QComboBox;
class QLabel;
class QLineEdit;
class QPushButton;
class QSpinBox;

// Looks a host name up without blocking the loop and calls done on the loop's thread with
// the first IPv4 address in dotted form, or with an empty one and the reason.
using TLookUpHost =
    std::function<void(QObject* context, const std::string& host,
                       std::function<void(const std::string& address, const std::string& error)> done)>;
// The system resolver, through Qt's lookup threads.
void LookUpHostAsync(QObject* context, const std::string& host,
                     std::function<void(const std::string& address, const std::string& error)> done);

class TfrmAddServer final : public QDialog {
public:
    // Stores the server; returns an empty text when it did, otherwise why not.
    using TAdd = std::function<std::string(int gameType, const std::string& address, const std::string& port,
                                           const std::string& name)>;

    TfrmAddServer(QWidget* owner, int gameType, TAdd add, TLookUpHost lookUp = LookUpHostAsync);

    // The "Add" button: checks the entry, looks a name up, then stores it and closes; a bad
    // or unknown entry leaves its reason in lbError and stores nothing.
    void btnAddClick();

    QLineEdit* lbeHost = nullptr;
    QSpinBox* sePort = nullptr;
    QComboBox* cbGameType = nullptr;
    QLabel* lbError = nullptr;
    QPushButton* btnAdd = nullptr;
    QPushButton* btnCancel = nullptr;

private:
    void Store(const std::string& address, const std::string& name);
    void Refuse(const std::string& reason);

    TAdd add_;
    TLookUpHost lookUp_;
    int lookups_ = 0;  // only the newest lookup's answer counts
};
