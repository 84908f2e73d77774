// TChatTabBar: the chat's tab strip, drawing the label of a tab with unread lines in bold.
#pragma once

#include "chat/Highlight.h"

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

private:
    QFont BoldFont() const;
};

// The mark on any tab strip: a plain QTabBar shows the colour only.
void SetTabMark(QTabBar& strip, int index, TTabMark mark);
