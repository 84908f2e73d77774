// SPDX-License-Identifier: GPL-3.0-or-later
// TCoolTrayIcon: the notification-area icon on QSystemTrayIcon, its two images and minimize-to-tray.
#pragma once

#include "shell/TrayRules.h"

#include <QIcon>
#include <QObject>
#include <QPoint>
#include <QPointer>
#include <QSystemTrayIcon>
#include <QWidget>

#include <functional>
#include <vector>

class TCoolTrayIcon final : public QObject {
public:
    // Watches mainWindow: minimizing it sends it to the tray while MinimizeToTray is set, and
    // showing it again restores and raises it. The icon starts unregistered with image 0.
    TCoolTrayIcon(QWidget* mainWindow, std::vector<QIcon> iconList, QObject* parent = nullptr);
    ~TCoolTrayIcon() override;  // removes the icon

    // Registers (true) or removes (false) the icon. Without a tray nothing shows.
    void SetIconVisible(bool visible);
    bool IconVisible() const { return iconVisible_; }

    // An index past the list takes the last image, a negative one the first. The image is
    // kept while the icon is unregistered and is the one a later registration shows.
    void SetIconIndex(int index);
    int IconIndex() const { return iconIndex_; }
    QIcon CurrentIcon() const { return icon_.icon(); }

    // A message beside the icon (the desktop's notification service where there is one), with
    // the program's picture. Shows only while the icon is registered.
    void ShowMessage(const QString& title, const QString& text);
    // The last message asked for, for tests.
    QString LastMessageTitle, LastMessageText;

    bool MinimizeToTray = true;

    // Whether the desktop offers a tray now; replaceable so tests can play either desktop.
    std::function<bool()> TrayAvailable = [] { return QSystemTrayIcon::isSystemTrayAvailable(); };

    // Shift holds Shift, Alt and Control as read at the press; pos is in screen coordinates.
    std::function<void(TCoolTrayIcon* sender, TTrayButton button, Qt::KeyboardModifiers shift, QPoint pos)>
        OnMouseDown;
    std::function<void(TCoolTrayIcon* sender)> OnDblClick;
    // The user clicked the message last shown (where the desktop tells).
    std::function<void(TCoolTrayIcon* sender)> OnMessageClick;

    // Turns an activation of the icon into the events above.
    void Activated(QSystemTrayIcon::ActivationReason reason);

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    void MainWindowMinimized();

    QPointer<QWidget> mainWindow_;
    std::vector<QIcon> iconList_;
    QSystemTrayIcon icon_;
    bool iconVisible_ = false;
    int iconIndex_ = 0;
};

// Un-minimizes the window, raises it and gives it the focus; it must already be shown.
void BringToFront(QWidget& window);
