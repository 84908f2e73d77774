// SPDX-License-Identifier: GPL-3.0-or-later
// TFriendMarkDelegate: the friend badge in a game list's "Server" cell and its hit test.
#include "shell/FriendMarkDelegate.h"

#include "shell/GameListModel.h"

#include <QAbstractItemView>
#include <QApplication>
#include <QPainter>

#include <algorithm>

namespace {

QFont BadgeFont(QFont f) {
    f.setBold(true);
    return f;
}

}  // namespace

QRect TFriendMarkDelegate::MarkRect(const QRect& cell, const QFontMetrics& metrics, const QString& nicks) {
    constexpr int padding = 4;
    // Half the cell at most: the server's own name stays readable beside it.
    const int width = std::min(metrics.horizontalAdvance(nicks) + 2 * padding + 2, std::max(0, cell.width() / 2));
    return QRect(cell.right() - width - 1, cell.top() + 1, width, std::max(0, cell.height() - 2));
}

bool TFriendMarkDelegate::HitsMark(const QAbstractItemView& view, const QPoint& viewportPos) {
    const QModelIndex index = view.indexAt(viewportPos);
    if (!index.isValid() || index.column() != 2) return false;
    const QString nicks = index.data(FriendMarkRole).toString();
    if (nicks.isEmpty()) return false;
    const QFontMetrics metrics(BadgeFont(view.font()));
    return MarkRect(view.visualRect(index), metrics, nicks).contains(viewportPos);
}

void TFriendMarkDelegate::paint(QPainter* painter, const QStyleOptionViewItem& option, const QModelIndex& index) const {
    const QString nicks = index.data(FriendMarkRole).toString();
    if (nicks.isEmpty()) return QStyledItemDelegate::paint(painter, option, index);
    const QFont font = BadgeFont(option.font);
    const QRect badge = MarkRect(option.rect, QFontMetrics(font), nicks);
    // The server's name elides before the badge instead of running under it.
    QStyleOptionViewItem text = option;
    initStyleOption(&text, index);
    const QStyle* style = option.widget ? option.widget->style() : QApplication::style();
    style->drawPrimitive(QStyle::PE_PanelItemViewItem, &text, painter, option.widget);
    text.rect.setRight(badge.left() - 2);
    style->drawControl(QStyle::CE_ItemViewItem, &text, painter, option.widget);

    painter->save();
    painter->setRenderHint(QPainter::Antialiasing);
    painter->setPen(Qt::NoPen);
    painter->setBrush(QColor(0x1B, 0x6E, 0xC2));
    painter->drawRoundedRect(badge, 4, 4);
    painter->setPen(Qt::white);
    painter->setFont(font);
    const QString shown = QFontMetrics(font).elidedText(nicks, Qt::ElideRight, badge.width() - 6);
    painter->drawText(badge, Qt::AlignCenter, shown);
    painter->restore();
}
