// SPDX-License-Identifier: GPL-3.0-or-later
// TChatTabBar: the chat's tab strip, drawing the label of a tab with unread lines in bold.
#pragma once

#include "chat/Highlight.h"

#include <QHash>
#include <QString>
#include <QTabBar>

class TChatTabBar final : public QTabBar {
public:
    explicit TChatTabBar(QWidget* parent = nullptr) : QTabBar(parent) {}

    // Bold for unread lines, bold in the highlight colour for an unread highlight.
    void SetTabMark(int index, TTabMark mark);
    TTabMark TabMark(int index) const;

protected:
    QSize tabSizeHint(int index) const override;
    void paintEvent(QPaintEvent* event) override;
    void changeEvent(QEvent* event) override;

private:
    QFont BoldFont() const;
    // How much wider each label is in bold: every change of one tab measures all of them again,
    // and shaping a thousand labels for each would make joining many channels quadratic.
    mutable QHash<QString, int> boldExtra_;
};

// The mark on any tab strip: a plain QTabBar shows the colour only.
void SetTabMark(QTabBar& strip, int index, TTabMark mark);
