// SPDX-License-Identifier: GPL-3.0-or-later
// The tray icon component: registration, images, mouse events and the main window watch.
#include "shell/CoolTrayIcon.h"

#include <QCursor>
#include <QEvent>
#include <QGuiApplication>
#include <QShowEvent>
#include <QTimer>
#include <QWindowStateChangeEvent>

TCoolTrayIcon::TCoolTrayIcon(QWidget* mainWindow, std::vector<QIcon> iconList, QObject* parent)
    : QObject(parent), mainWindow_(mainWindow), iconList_(std::move(iconList)) {
    if (!iconList_.empty()) icon_.setIcon(iconList_.front());
    QObject::connect(&icon_, &QSystemTrayIcon::activated, this,
                     [this](QSystemTrayIcon::ActivationReason reason) { Activated(reason); });
    QObject::connect(&icon_, &QSystemTrayIcon::messageClicked, this, [this] {
        if (OnMessageClick) OnMessageClick(this);
    });
    if (mainWindow_) mainWindow_->installEventFilter(this);
}

TCoolTrayIcon::~TCoolTrayIcon() {
    if (mainWindow_) mainWindow_->removeEventFilter(this);
    icon_.hide();
}

void TCoolTrayIcon::SetIconVisible(bool visible) {
    iconVisible_ = visible;
    icon_.setVisible(visible);
}

void TCoolTrayIcon::SetIconIndex(int index) {
    if (iconList_.empty()) return;
    const int last = static_cast<int>(iconList_.size()) - 1;
    iconIndex_ = index > last ? last : (index < 0 ? 0 : index);
    icon_.setIcon(iconList_[static_cast<std::size_t>(iconIndex_)]);
}

void TCoolTrayIcon::ShowMessage(const QString& title, const QString& text) {
    LastMessageTitle = title;
    LastMessageText = text;
    if (!iconVisible_) return;
    icon_.showMessage(title, text, iconList_.empty() ? QIcon() : iconList_.front(), 10000);
}

void TCoolTrayIcon::Activated(QSystemTrayIcon::ActivationReason reason) {
    if (reason == QSystemTrayIcon::DoubleClick) {
        if (OnDblClick) OnDblClick(this);
        return;
    }
    TTrayButton button;
    switch (reason) {
        case QSystemTrayIcon::Trigger: button = TTrayButton::Left; break;
        case QSystemTrayIcon::Context: button = TTrayButton::Right; break;
        case QSystemTrayIcon::MiddleClick: button = TTrayButton::Middle; break;
        default: return;
    }
    const Qt::KeyboardModifiers shift =
        QGuiApplication::queryKeyboardModifiers() & (Qt::ShiftModifier | Qt::AltModifier | Qt::ControlModifier);
    if (OnMouseDown) OnMouseDown(this, button, shift, QCursor::pos());
}

bool TCoolTrayIcon::eventFilter(QObject* watched, QEvent* event) {
    if (watched == mainWindow_) {
        if (event->type() == QEvent::WindowStateChange) {
            const auto* change = static_cast<QWindowStateChangeEvent*>(event);
            if ((mainWindow_->windowState() & Qt::WindowMinimized) && !(change->oldState() & Qt::WindowMinimized))
                MainWindowMinimized();
        } else if (event->type() == QEvent::Show && !event->spontaneous()) {
            // Shown by the program (back from the tray): un-minimize and bring it forward now;
            // done later it could undo a minimize that came in between.
            BringToFront(*mainWindow_);
        }
    }
    return QObject::eventFilter(watched, event);
}

void TCoolTrayIcon::MainWindowMinimized() {
    if (!MinimizeGoesToTray(MinimizeToTray, TrayAvailable && TrayAvailable())) return;
    SetIconVisible(true);
    // Hide once the minimize has run its course; a restore in between cancels it.
    QWidget* w = mainWindow_;
    QTimer::singleShot(0, w, [w] {
        if (w->windowState() & Qt::WindowMinimized) w->hide();
    });
}

void BringToFront(QWidget& window) {
    if (window.windowState() & Qt::WindowMinimized) window.setWindowState(window.windowState() & ~Qt::WindowMinimized);
    window.raise();
    window.activateWindow();
}
