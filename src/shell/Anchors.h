// SPDX-License-Identifier: GPL-3.0-or-later
// TAnchors: keeps child widgets at their designed distances to the edges they follow.
#pragma once

#include <QObject>
#include <QPointer>
#include <QRect>
#include <QSize>
#include <QWidget>

#include <vector>

enum TAnchor : unsigned { akLeft = 1, akTop = 2, akRight = 4, akBottom = 8 };

// Positions are given for a parent of the designed size; each resize of the parent moves and
// stretches the children so that the followed edges keep their designed distances. An edge
// pair not followed on an axis keeps the size and the distance to the near edge (left, top).
class TAnchors : public QObject {
    Q_OBJECT
public:
    TAnchors(QWidget* parent, QSize designed);

    void Add(QWidget* child, QRect designed, unsigned anchors);
    // Replaces the designed vertical position and height of a child (the layout rule moves
    // lists whose top is not anchored to anything but the rule).
    void SetDesignedVertical(QWidget* child, int top, int height);
    void Apply();

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    struct TItem {
        QPointer<QWidget> Child;
        QRect Designed;
        unsigned Anchors;
    };
    QRect Place(const TItem& item, QSize now) const;

    QWidget* parent_;
    QSize designed_;
    std::vector<TItem> items_;
};
