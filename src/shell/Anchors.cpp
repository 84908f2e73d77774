// SPDX-License-Identifier: GPL-3.0-or-later
// TAnchors: designed positions kept relative to the followed edges.
#include "shell/Anchors.h"

#include <QEvent>

#include <algorithm>

TAnchors::TAnchors(QWidget* parent, QSize designed) : QObject(parent), parent_(parent), designed_(designed) {
    parent->installEventFilter(this);
}

void TAnchors::Add(QWidget* child, QRect designed, unsigned anchors) {
    items_.push_back({child, designed, anchors});
    child->setGeometry(Place(items_.back(), parent_->size()));
}

void TAnchors::SetDesignedVertical(QWidget* child, int top, int height) {
    for (auto& it : items_) {
        if (it.Child != child) continue;
        it.Designed.setTop(top);
        it.Designed.setHeight(height);
        child->setGeometry(Place(it, parent_->size()));
    }
}

QRect TAnchors::Place(const TItem& it, QSize now) const {
    auto axis = [](int pos, int len, int designedParent, int parent, bool nearEdge, bool farEdge) {
        const int farGap = designedParent - (pos + len);
        if (nearEdge && farEdge) return std::pair{pos, std::max(0, parent - pos - farGap)};
        if (farEdge) return std::pair{parent - farGap - len, len};
        return std::pair{pos, len};
    };
    const QRect& d = it.Designed;
    auto [x, w] = axis(d.x(), d.width(), designed_.width(), now.width(), it.Anchors & akLeft, it.Anchors & akRight);
    auto [y, h] = axis(d.y(), d.height(), designed_.height(), now.height(), it.Anchors & akTop,
                       it.Anchors & akBottom);
    return {x, y, w, h};
}

void TAnchors::Apply() {
    for (const auto& it : items_)
        if (it.Child) it.Child->setGeometry(Place(it, parent_->size()));
}

bool TAnchors::eventFilter(QObject* watched, QEvent* event) {
    if (watched == parent_ && event->type() == QEvent::Resize) Apply();
    return QObject::eventFilter(watched, event);
}
