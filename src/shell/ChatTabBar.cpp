// SPDX-License-Identifier: GPL-3.0-or-later
// TChatTabBar: bold labels for tabs with unread lines, sized so that the bold label fits.
#include "shell/ChatTabBar.h"

#include "shell/ChatView.h"

#include <QEvent>
#include <QStyleOptionTab>
#include <QStylePainter>

void SetTabMark(QTabBar& strip, int index, TTabMark mark) {
    if (index < 0 || index >= strip.count()) return;
    strip.setTabTextColor(index, mark == TTabMark::Highlight ? HighlightTabColour : QColor());
    if (auto* chat = dynamic_cast<TChatTabBar*>(&strip)) chat->SetTabMark(index, mark);
}

void TChatTabBar::SetTabMark(int index, TTabMark mark) {
    if (index < 0 || index >= count() || TabMark(index) == mark) return;
    setTabData(index, static_cast<int>(mark));
    // Setting the text again makes the strip measure its tabs anew for the wider bold label.
    const QString text = tabText(index);
    setTabText(index, text + ' ');
    setTabText(index, text);
    update();
}

TTabMark TChatTabBar::TabMark(int index) const {
    const QVariant data = tabData(index);
    return data.isValid() ? static_cast<TTabMark>(data.toInt()) : TTabMark::None;
}

QFont TChatTabBar::BoldFont() const {
    QFont bold = font();
    bold.setBold(true);
    return bold;
}

QSize TChatTabBar::tabSizeHint(int index) const {
    QSize size = QTabBar::tabSizeHint(index);
    if (TabMark(index) != TTabMark::None) {
        const QString text = tabText(index);
        auto it = boldExtra_.constFind(text);
        if (it == boldExtra_.constEnd()) {
            if (boldExtra_.size() > 4096) boldExtra_.clear();
            it = boldExtra_.insert(text, QFontMetrics(BoldFont()).horizontalAdvance(text) -
                                             fontMetrics().horizontalAdvance(text));
        }
        size.rwidth() += *it;
    }
    return size;
}

void TChatTabBar::changeEvent(QEvent* event) {
    if (event->type() == QEvent::FontChange || event->type() == QEvent::StyleChange) boldExtra_.clear();
    QTabBar::changeEvent(event);
}

void TChatTabBar::paintEvent(QPaintEvent* event) {
    QTabBar::paintEvent(event);
    // The marked tabs are drawn again over themselves with a bold label, then the selected tab,
    // which overlaps its neighbours, once more on top.
    QStylePainter painter(this);
    bool redrawn = false;
    for (int i = 0; i < count(); ++i) {
        if (TabMark(i) == TTabMark::None || i == currentIndex()) continue;
        // Of a thousand channels only the few tabs in the strip's window need drawing.
        if (!event->rect().intersects(tabRect(i))) continue;
        QStyleOptionTab option;
        initStyleOption(&option, i);
        painter.setFont(BoldFont());
        painter.drawControl(QStyle::CE_TabBarTab, option);
        redrawn = true;
    }
    const int current = currentIndex();
    if (current >= 0 && (redrawn || TabMark(current) != TTabMark::None)) {
        QStyleOptionTab option;
        initStyleOption(&option, current);
        painter.setFont(TabMark(current) == TTabMark::None ? font() : BoldFont());
        painter.drawControl(QStyle::CE_TabBarTab, option);
    }
}
