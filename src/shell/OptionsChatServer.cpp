// SPDX-License-Identifier: GPL-3.0-or-later
// TChatServerPage: the controls, their filling from the settings and the values they give.
#include "shell/OptionsChatServer.h"

#include <QCheckBox>
#include <QGroupBox>
#include <QIntValidator>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>

namespace {

QString Local(const std::string& s) { return QString::fromLocal8Bit(s.data(), static_cast<qsizetype>(s.size())); }
std::string ToStd(const QString& s) { return s.trimmed().toLocal8Bit().toStdString(); }

bool SameHostText(const QString& a, const std::string& b) {
    return !b.empty() && a.trimmed().compare(Local(b), Qt::CaseInsensitive) == 0;
}

}  // namespace

TChatServerPage::TChatServerPage(std::function<void()> changed) : changed_(changed) {
    auto* server = new QGroupBox("Server", this);
    server->setGeometry(8, 8, 377, 105);
    auto* hostLabel = new QLabel("Host:", server);
    hostLabel->setGeometry(12, 24, 60, 17);
    lbeChatHost = new QLineEdit(server);
    lbeChatHost->setObjectName("lbeChatHost");
    lbeChatHost->setGeometry(76, 22, 285, 21);
    hostLabel->setBuddy(lbeChatHost);
    auto* portLabel = new QLabel("Port:", server);
    portLabel->setGeometry(12, 52, 60, 17);
    lbeChatPort = new QLineEdit(server);
    lbeChatPort->setObjectName("lbeChatPort");
    lbeChatPort->setGeometry(76, 50, 65, 21);
    lbeChatPort->setValidator(new QIntValidator(1, 65535, lbeChatPort));
    portLabel->setBuddy(lbeChatPort);
    cbUseTls = new QCheckBox("Use TLS", server);
    cbUseTls->setObjectName("cbUseTls");
    cbUseTls->setGeometry(12, 78, 200, 17);
    // The usual port follows the box while the port is still the other usual one.
    connect(cbUseTls, &QCheckBox::toggled, this, [this](bool on) {
        if (lbeChatPort->text() == (on ? "6667" : "6697")) lbeChatPort->setText(on ? "6697" : "6667");
    });

    auto* trust = new QGroupBox("Trusted certificate", this);
    trust->setGeometry(8, 121, 377, 190);
    auto* explain = new QLabel(
        "A certificate the system does not vouch for (self-signed, expired, or for another name) "
        "stops the connect. Enter its SHA-256 fingerprint here to trust that one certificate "
        "for this host; then no other is accepted for it.",
        trust);
    explain->setWordWrap(true);
    explain->setGeometry(12, 20, 353, 62);
    lbeTrustedFingerprint = new QLineEdit(trust);
    lbeTrustedFingerprint->setObjectName("lbeTrustedFingerprint");
    lbeTrustedFingerprint->setGeometry(12, 86, 353, 21);
    lbeTrustedFingerprint->setPlaceholderText("none: the system's trust store decides");
    lbRefused = new QLabel(trust);
    lbRefused->setObjectName("lbRefused");
    lbRefused->setWordWrap(true);
    lbRefused->setTextFormat(Qt::PlainText);
    lbRefused->setGeometry(12, 112, 353, 44);
    btnTrustRefused = new QPushButton("Trust the refused certificate", trust);
    btnTrustRefused->setObjectName("btnTrustRefused");
    btnTrustRefused->setGeometry(12, 158, 200, 25);
    connect(btnTrustRefused, &QPushButton::clicked, this, [this] { btnTrustRefusedClick(); });

    for (QLineEdit* e : {lbeChatHost, lbeChatPort, lbeTrustedFingerprint})
        connect(e, &QLineEdit::textChanged, this, [changed] { changed(); });
    connect(cbUseTls, &QCheckBox::toggled, this, [changed] { changed(); });
    // The trusted certificate belongs to the host the field names.
    connect(lbeChatHost, &QLineEdit::textEdited, this, [this] {
        lbeTrustedFingerprint->setText(Local(CertificatePin(pins_, ToStd(lbeChatHost->text()))));
        UpdateRefused();
    });
}

void TChatServerPage::Fill(const TSettings& s, const std::string& refusedHost, const std::string& refusedFingerprint) {
    refusedHost_ = refusedHost;
    refusedFingerprint_ = refusedFingerprint;
    trustRefused_ = false;
    pins_ = s.ChatCertificatePins;
    lbeChatHost->setText(Local(s.ChatServerHost));
    lbeChatPort->setText(Local(s.ChatServerPort));
    cbUseTls->setChecked(s.ChatServerTls);
    lbeTrustedFingerprint->setText(Local(CertificatePin(pins_, s.ChatServerHost)));
    UpdateRefused();
}

void TChatServerPage::UpdateRefused() {
    const bool offer = !refusedFingerprint_.empty() && !refusedHost_.empty() && !trustRefused_;
    lbRefused->setText(offer ? Local("Refused for " + refusedHost_ + ": " + refusedFingerprint_) : QString());
    btnTrustRefused->setEnabled(offer);
}

void TChatServerPage::btnTrustRefusedClick() {
    if (refusedFingerprint_.empty() || refusedHost_.empty()) return;
    trustRefused_ = true;
    if (SameHostText(lbeChatHost->text(), refusedHost_)) lbeTrustedFingerprint->setText(Local(refusedFingerprint_));
    UpdateRefused();
    lbRefused->setText(Local("Trusted for " + refusedHost_ + " once applied: " + refusedFingerprint_));
    changed_();
}

void TChatServerPage::Store(TSettings& v, const std::string& storedPins) const {
    v.ChatServerHost = ToStd(lbeChatHost->text());
    v.ChatServerPort = ToStd(lbeChatPort->text());
    v.ChatServerTls = cbUseTls->isChecked();
    // Fingerprints are compared as OpenSSL prints them: upper-case pairs joined by colons.
    v.ChatCertificatePins =
        WithCertificatePin(storedPins, v.ChatServerHost, ToStd(lbeTrustedFingerprint->text().toUpper()));
    // The refused host may be the command line's, not the field's.
    if (trustRefused_ && !SameHostText(lbeChatHost->text(), refusedHost_))
        v.ChatCertificatePins = WithCertificatePin(v.ChatCertificatePins, refusedHost_, refusedFingerprint_);
}
