// SPDX-License-Identifier: GPL-3.0-or-later
// TFriendMarkDelegate: draws the name of a friend playing on a server at the right end of its
// "Server" cell, as a badge the user can click to join him.
#pragma once

#include <QStyledItemDelegate>

class TFriendMarkDelegate final : public QStyledItemDelegate {
public:
    using QStyledItemDelegate::QStyledItemDelegate;

    void paint(QPainter* painter, const QStyleOptionViewItem& option, const QModelIndex& index) const override;

    // Where the badge of nicks lies in a cell: at its right end, never wider than most of it.
    static QRect MarkRect(const QRect& cell, const QFontMetrics& metrics, const QString& nicks);
    // The badge under a point of a view's viewport; false over anything else.
    static bool HitsMark(const class QAbstractItemView& view, const QPoint& viewportPos);
};
