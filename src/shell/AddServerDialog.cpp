// SPDX-License-Identifier: GPL-3.0-or-later
// TfrmAddServer: checks the entry, resolves a name off the loop, and hands the server on.
#include "shell/AddServerDialog.h"

#include "tracker/GameTypes.h"
#include "tracker/JoinGame.h"
#include "tracker/TrackerAddress.h"

#include <QComboBox>
#include <QFormLayout>
#include <QHBoxLayout>
#include <QHostAddress>
#include <QHostInfo>
#include <QLabel>
#include <QLineEdit>
#include <QPointer>
#include <QPushButton>
#include <QSpinBox>
#include <QVBoxLayout>

namespace {

QString Local(const std::string& s) { return QString::fromLocal8Bit(s.data(), static_cast<qsizetype>(s.size())); }

}  // namespace

void LookUpHostAsync(QObject* context, const std::string& host,
                     std::function<void(const std::string& address, const std::string& error)> done) {
    QHostInfo::lookupHost(Local(host), context, [done = std::move(done)](const QHostInfo& info) {
        for (const QHostAddress& a : info.addresses())
            if (a.protocol() == QHostAddress::IPv4Protocol) return done(a.toString().toStdString(), {});
        done({}, info.error() == QHostInfo::NoError ? "it has no IPv4 address"
                                                    : info.errorString().toLocal8Bit().toStdString());
    });
}

TfrmAddServer::TfrmAddServer(QWidget* owner, int gameType, TAdd add, TLookUpHost lookUp)
    : QDialog(owner, Qt::Dialog | Qt::WindowTitleHint | Qt::WindowCloseButtonHint),
      add_(std::move(add)),
      lookUp_(std::move(lookUp)) {
    setAttribute(Qt::WA_DeleteOnClose);
    setWindowTitle("Add server");

    lbeHost = new QLineEdit(this);
    lbeHost->setObjectName("lbeHost");
    lbeHost->setPlaceholderText("host name or IPv4 address");
    sePort = new QSpinBox(this);
    sePort->setObjectName("sePort");
    sePort->setRange(1, 65535);
    sePort->setValue(7808);
    cbGameType = new QComboBox(this);
    cbGameType->setObjectName("cbGameType");
    for (const auto& type : GameTypes)
        cbGameType->addItem(QString::fromLatin1(type.Game.data(), static_cast<qsizetype>(type.Game.size())));
    cbGameType->setCurrentIndex(gameType >= 0 && gameType < 4 ? gameType : 0);
    lbError = new QLabel(this);
    lbError->setObjectName("lbError");
    lbError->setWordWrap(true);
    // Whatever was typed is shown as typed.
    lbError->setTextFormat(Qt::PlainText);

    auto* form = new QFormLayout;
    form->addRow("Server:", lbeHost);
    form->addRow("Port:", sePort);
    form->addRow("Game:", cbGameType);

    btnAdd = new QPushButton("Add", this);
    btnAdd->setDefault(true);
    btnCancel = new QPushButton("Cancel", this);
    auto* buttons = new QHBoxLayout;
    buttons->addStretch();
    buttons->addWidget(btnAdd);
    buttons->addWidget(btnCancel);

    auto* layout = new QVBoxLayout(this);
    layout->addWidget(new QLabel("The server is kept as a favourite and asked for its status with every sweep, "
                                 "whether or not the tracker lists it.",
                                 this));
    layout->itemAt(0)->widget()->setProperty("wordWrap", true);
    layout->addLayout(form);
    layout->addWidget(lbError);
    layout->addLayout(buttons);
    setMinimumWidth(380);

    connect(btnAdd, &QPushButton::clicked, this, [this] { btnAddClick(); });
    connect(btnCancel, &QPushButton::clicked, this, &QDialog::reject);
}

void TfrmAddServer::btnAddClick() {
    const std::string host = lbeHost->text().trimmed().toLocal8Bit().toStdString();
    if (!IsHostOrIPv4(host))
        return Refuse(host.empty() ? "Enter the server's host name or IPv4 address."
                                   : "\"" + host + "\" is neither an IPv4 address nor a host name.");
    if (IsDottedIPv4(host)) return Store(host, {});
    lbError->setPalette(QPalette());
    lbError->setText("Looking up " + Local(host) + "...");
    btnAdd->setEnabled(false);
    const int lookup = ++lookups_;
    QPointer<TfrmAddServer> self(this);
    lookUp_(this, host, [self, lookup, host](const std::string& address, const std::string& error) {
        if (!self || lookup != self->lookups_) return;
        self->btnAdd->setEnabled(true);
        if (address.empty() || !IsDottedIPv4(address)) return self->Refuse("Can't find " + host + ": " + error + ".");
        self->Store(address, host);
    });
}

void TfrmAddServer::Store(const std::string& address, const std::string& name) {
    const std::string refused =
        add_ ? add_(cbGameType->currentIndex(), address, std::to_string(sePort->value()), name) : std::string();
    if (!refused.empty()) return Refuse(refused);
    accept();
}

void TfrmAddServer::Refuse(const std::string& reason) {
    QPalette p = lbError->palette();
    p.setColor(QPalette::WindowText, Qt::darkRed);
    lbError->setPalette(p);
    lbError->setText(Local(reason));
}
