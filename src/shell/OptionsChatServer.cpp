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

// A caption and its edit on one row of a group box.
QLineEdit* EditRow(QWidget* box, const char* caption, const char* name, int y, int labelWidth, int editWidth) {
    auto* label = new QLabel(caption, box);
    label->setGeometry(12, y + 2, labelWidth, 17);
    auto* edit = new QLineEdit(box);
    edit->setObjectName(name);
    edit->setGeometry(76, y, editWidth, 21);
    label->setBuddy(edit);
    return edit;
}

}  // namespace

TChatServerPage::TChatServerPage(std::function<void()> changed, TSecretStore* secrets,
                                 std::function<std::string()> unavailable)
    : changed_(changed), secrets_(secrets), unavailable_(std::move(unavailable)) {
    auto* server = new QGroupBox("Server", this);
    server->setGeometry(8, 4, 377, 76);
    lbeChatHost = EditRow(server, "Host:", "lbeChatHost", 20, 60, 285);
    lbeChatPort = EditRow(server, "Port:", "lbeChatPort", 46, 60, 65);
    lbeChatPort->setValidator(new QIntValidator(1, 65535, lbeChatPort));
    cbUseTls = new QCheckBox("Use TLS", server);
    cbUseTls->setObjectName("cbUseTls");
    cbUseTls->setGeometry(160, 48, 200, 17);
    // The usual port follows the box while the port is still the other usual one.
    connect(cbUseTls, &QCheckBox::toggled, this, [this](bool on) {
        if (lbeChatPort->text() == (on ? "6667" : "6697")) lbeChatPort->setText(on ? "6697" : "6667");
    });

    auto* login = new QGroupBox("Login (SASL, over TLS only)", this);
    login->setGeometry(8, 84, 377, 98);
    lbeChatAccount = EditRow(login, "Account:", "lbeChatAccount", 20, 62, 285);
    lbeChatAccount->setPlaceholderText("none: no login");
    lbeChatPassword = EditRow(login, "Password:", "lbeChatPassword", 46, 62, 285);
    lbeChatPassword->setEchoMode(QLineEdit::Password);
    lbSecretStore = new QLabel(login);
    lbSecretStore->setObjectName("lbSecretStore");
    lbSecretStore->setWordWrap(true);
    lbSecretStore->setTextFormat(Qt::PlainText);
    lbSecretStore->setGeometry(12, 70, 353, 26);
    lbeChatAccount->setEnabled(secrets_ != nullptr);
    lbeChatPassword->setEnabled(secrets_ != nullptr);

    auto* trust = new QGroupBox("Trusted certificate", this);
    trust->setGeometry(8, 186, 377, 140);
    auto* explain = new QLabel(
        "A certificate the system does not vouch for stops the connect. Enter its SHA-256 "
        "fingerprint to trust that one certificate for this host, and no other.",
        trust);
    explain->setWordWrap(true);
    explain->setGeometry(12, 16, 353, 40);
    lbeTrustedFingerprint = new QLineEdit(trust);
    lbeTrustedFingerprint->setObjectName("lbeTrustedFingerprint");
    lbeTrustedFingerprint->setGeometry(12, 58, 353, 21);
    lbeTrustedFingerprint->setPlaceholderText("none: the system's trust store decides");
    lbRefused = new QLabel(trust);
    lbRefused->setObjectName("lbRefused");
    lbRefused->setWordWrap(true);
    lbRefused->setTextFormat(Qt::PlainText);
    lbRefused->setGeometry(12, 80, 353, 30);
    btnTrustRefused = new QPushButton("Trust the refused certificate", trust);
    btnTrustRefused->setObjectName("btnTrustRefused");
    btnTrustRefused->setGeometry(12, 110, 200, 25);
    connect(btnTrustRefused, &QPushButton::clicked, this, [this] { btnTrustRefusedClick(); });

    for (QLineEdit* e : {lbeChatHost, lbeChatPort, lbeTrustedFingerprint, lbeChatAccount})
        connect(e, &QLineEdit::textChanged, this, [changed] { changed(); });
    connect(lbeChatPassword, &QLineEdit::textEdited, this, [this, changed] {
        passwordEdited_ = true;
        changed();
    });
    connect(cbUseTls, &QCheckBox::toggled, this, [changed] { changed(); });
    // The trusted certificate and the password belong to the host (and account) the fields name.
    connect(lbeChatHost, &QLineEdit::textEdited, this, [this] {
        lbeTrustedFingerprint->setText(Local(CertificatePin(pins_, ToStd(lbeChatHost->text()))));
        UpdateRefused();
        if (!passwordEdited_) FillPassword();
    });
    connect(lbeChatAccount, &QLineEdit::textEdited, this, [this] {
        if (!passwordEdited_) FillPassword();
    });
}

void TChatServerPage::showEvent(QShowEvent* event) {
    SayWhereKept();
    QWidget::showEvent(event);
}

void TChatServerPage::SayWhereKept() {
    if (toldWhereKept_) return;
    toldWhereKept_ = true;
    const std::string why = secrets_ && unavailable_ ? unavailable_() : std::string();
    lbSecretStore->setText(Local(!secrets_      ? std::string("No secret store: a login cannot be kept.")
                                 : why.empty() ? std::string("The password is kept in the desktop's secret store.")
                                               : why));
}

void TChatServerPage::FillPassword() {
    lbeChatPassword->clear();
    const std::string account = ToStd(lbeChatAccount->text());
    if (!secrets_ || account.empty()) return;
    SayWhereKept();
    const TSecretResult r = secrets_->Read(SecretKey(account, ToStd(lbeChatHost->text())));
    if (!r.Ok) lbSecretStore->setText(Local("The secret store did not answer: " + r.Error));
    // Read back in the same form it is written in; the field is what the user typed.
    if (r.Ok && r.Found) lbeChatPassword->setText(QString::fromUtf8(r.Secret.data(), static_cast<qsizetype>(r.Secret.size())));
}

bool TChatServerPage::SavePassword() {
    if (!secrets_ || !passwordEdited_) return true;
    const std::string account = ToStd(lbeChatAccount->text());
    if (account.empty()) return true;
    const std::string key = SecretKey(account, ToStd(lbeChatHost->text()));
    // Not trimmed: blanks may be part of a password.
    const std::string password = lbeChatPassword->text().toUtf8().toStdString();
    const TSecretResult r = password.empty() ? secrets_->Erase(key) : secrets_->Write(key, password);
    if (!r.Ok) {
        lbSecretStore->setText(Local("The password was not stored: " + r.Error));
        return false;
    }
    passwordEdited_ = false;
    return true;
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
    lbeChatAccount->setText(Local(s.ChatAccount));
    passwordEdited_ = false;
    FillPassword();
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
    v.ChatAccount = ToStd(lbeChatAccount->text());
    // Fingerprints are compared as OpenSSL prints them: upper-case pairs joined by colons.
    v.ChatCertificatePins =
        WithCertificatePin(storedPins, v.ChatServerHost, ToStd(lbeTrustedFingerprint->text().toUpper()));
    // The refused host may be the command line's, not the field's.
    if (trustRefused_ && !SameHostText(lbeChatHost->text(), refusedHost_))
        v.ChatCertificatePins = WithCertificatePin(v.ChatCertificatePins, refusedHost_, refusedFingerprint_);
}
