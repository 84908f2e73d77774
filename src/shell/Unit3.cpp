// SPDX-License-Identifier: GPL-3.0-or-later
// The about box: fixed layout, links opened through the given opener.
#include "shell/Unit3.h"

#include "chat/Links.h"
#include "shell/ChatPage.h"

#include <QFont>
#include <QGuiApplication>
#include <QMouseEvent>
#include <QScreen>

namespace {

// A label that looks like a link and reports a left click.
class TLinkLabel final : public QLabel {
public:
    TLinkLabel(const QString& text, QWidget* parent, std::function<void()> onClick)
        : QLabel(text, parent), onClick_(std::move(onClick)) {
        QFont f = font();
        f.setPixelSize(13);
        f.setUnderline(true);
        setFont(f);
        QPalette p = palette();
        p.setColor(QPalette::WindowText, Qt::blue);
        setPalette(p);
        setCursor(Qt::PointingHandCursor);
    }

protected:
    void mouseReleaseEvent(QMouseEvent* e) override {
        if (e->button() == Qt::LeftButton && rect().contains(e->position().toPoint()) && onClick_) onClick_();
        QLabel::mouseReleaseEvent(e);
    }

private:
    std::function<void()> onClick_;
};

QLabel* Text(const QString& text, QWidget* parent, int x, int y, const QFont& font) {
    auto* l = new QLabel(text, parent);
    l->setFont(font);
    l->adjustSize();
    l->move(x, y);
    return l;
}

void OpenOnDesktop(const std::string& link) {
    TDesktopLinkOpener desktop;
    OpenURL(link, desktop);
}

QFont PixelFont(int px, const QString& family = {}) {
    QFont f;
    if (!family.isEmpty()) f.setFamily(family);
    f.setPixelSize(px);
    return f;
}

}  // namespace

TfrmAbout::TfrmAbout(QWidget* owner, TOpenUrl openUrl)
    : QDialog(owner, Qt::Dialog | Qt::MSWindowsFixedSizeDialogHint | Qt::WindowTitleHint | Qt::WindowCloseButtonHint |
                         Qt::WindowStaysOnTopHint),
      openUrl_(openUrl ? std::move(openUrl) : TOpenUrl(OpenOnDesktop)) {
    setAttribute(Qt::WA_DeleteOnClose);
    setModal(false);
    setWindowTitle("About...");
    setFixedSize(314, 240);

    lbTitle = new QLabel(this);
    lbTitle->setFont(PixelFont(19));
    lbTitle->setAlignment(Qt::AlignCenter);
    lbTitle->setGeometry(0, 0, 313, 24);

    Text(QString("Autor: ") + kAuthor, this, 112, 40, PixelFont(13));
    Text("Mail:", this, 8, 80, PixelFont(13));
    lbMail = new TLinkLabel(kMail, this, [this] { MailLinkClick(); });
    lbMail->adjustSize();
    lbMail->move(32, 96);
    QFont eight;
    eight.setPointSize(8);
    Text("WWW:", this, 8, 128, eight);
    lbWeb = new TLinkLabel(kWeb, this, [this] { WebLinkClick(); });
    lbWeb->adjustSize();
    lbWeb->move(32, 144);
    Text(kLicence, this, 8, 216, PixelFont(12, "Arial"));

    if (const QScreen* screen = QGuiApplication::primaryScreen())
        move(screen->availableGeometry().center() - QPoint(width() / 2, height() / 2));
    FormCreate();
}

void TfrmAbout::FormCreate() { lbTitle->setText(kTitle); }

void TfrmAbout::MailLinkClick() { openUrl_(std::string("mailto:") + kMail); }

void TfrmAbout::WebLinkClick() { openUrl_(kWeb); }

TfrmAbout* ShowAboutBox(QPointer<TfrmAbout>& mark, QWidget* owner, TOpenUrl openUrl) {
    if (!mark) mark = new TfrmAbout(owner, std::move(openUrl));
    mark->show();
    mark->raise();
    mark->activateWindow();
    return mark;
}
