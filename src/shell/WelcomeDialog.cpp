// SPDX-License-Identifier: GPL-3.0-or-later
// TfrmWelcome: shows the network and the names the chat will send, and lets the user change them.
#include "shell/WelcomeDialog.h"

#include "settings/Names.h"

#include <QFormLayout>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QVBoxLayout>

namespace {

QString Local(const std::string& s) { return QString::fromLocal8Bit(s.data(), static_cast<qsizetype>(s.size())); }
std::string ToStd(const QString& s) { return s.toLocal8Bit().toStdString(); }

}  // namespace

TfrmWelcome::TfrmWelcome(QWidget* owner, const std::string& network, const std::string& nickname,
                         const std::string& fullName)
    : QDialog(owner, Qt::Dialog | Qt::WindowTitleHint | Qt::WindowCloseButtonHint) {
    setAttribute(Qt::WA_DeleteOnClose);
    setWindowTitle("Welcome to Corvane Games Viewer");
    setWindowModality(Qt::WindowModal);

    auto* intro = new QLabel(
        "The Chat page connects to the players' lobby on this network. The nickname is how the "
        "others see you; the full name goes with it and anyone there can read it.",
        this);
    intro->setWordWrap(true);
    lbNetwork = new QLabel(Local(network), this);
    lbNetwork->setObjectName("lbNetwork");
    lbNetwork->setTextInteractionFlags(Qt::TextSelectableByMouse);
    lbeNickname = new QLineEdit(Local(nickname), this);
    lbeNickname->setObjectName("lbeNickname");
    lbeFullName = new QLineEdit(Local(fullName), this);
    lbeFullName->setObjectName("lbeFullName");

    auto* form = new QFormLayout;
    form->addRow("Network:", lbNetwork);
    form->addRow("Nickname:", lbeNickname);
    form->addRow("Full name:", lbeFullName);

    btnOK = new QPushButton("Connect", this);
    btnOK->setDefault(true);
    btnCancel = new QPushButton("Not now", this);
    auto* buttons = new QHBoxLayout;
    buttons->addStretch();
    buttons->addWidget(btnOK);
    buttons->addWidget(btnCancel);

    auto* layout = new QVBoxLayout(this);
    layout->addWidget(intro);
    layout->addLayout(form);
    layout->addWidget(new QLabel("Both can be changed later under Settings.", this));
    layout->addLayout(buttons);
    setMinimumWidth(420);

    // Only the characters a nickname may hold count: with none left there is nothing to send.
    connect(lbeNickname, &QLineEdit::textChanged, this,
            [this] { btnOK->setEnabled(!ValidateNick(ToStd(lbeNickname->text())).empty()); });
    connect(btnOK, &QPushButton::clicked, this, [this] { Answer(true); });
    connect(btnCancel, &QPushButton::clicked, this, [this] { Answer(false); });
    // Escape and the close box are a Cancel.
    connect(this, &QDialog::rejected, this, [this] { Answer(false); });
}

void TfrmWelcome::Answer(bool connect) {
    if (answered_) return;
    answered_ = true;
    const std::string nickname = ValidateNick(ToStd(lbeNickname->text()));
    const std::string fullName = ToStd(lbeFullName->text());
    auto handler = OnAnswer;
    close();
    if (handler) handler(connect, nickname, fullName);
}
