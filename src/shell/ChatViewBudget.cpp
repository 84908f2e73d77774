// SPDX-License-Identifier: GPL-3.0-or-later
// TChatViewBudget: counting every view's lines and capping the hidden ones over the limit.
#include "shell/ChatViewBudget.h"

#include "shell/ChatView.h"

#include <QEvent>
#include <QTextDocument>

#include <algorithm>
#include <vector>

TChatViewBudget::TChatViewBudget(int totalLines, QObject* parent) : QObject(parent), limit_(totalLines) {}

void TChatViewBudget::Add(TChatView& view) {
    // Keyed by the address, which destroyed() still gives when the pointer has gone null.
    const QObject* key = &view;
    if (entries_.count(key)) return;
    QTextDocument* doc = view.document();
    entries_[key] = {&view, doc->blockCount()};
    total_ += doc->blockCount();
    view.installEventFilter(this);
    connect(doc, &QTextDocument::blockCountChanged, this, [this, key](int lines) { Counted(key, lines); });
    connect(&view, &QObject::destroyed, this, [this, key] {
        auto it = entries_.find(key);
        if (it == entries_.end()) return;
        total_ -= it->second.Lines;
        entries_.erase(it);
    });
}

bool TChatViewBudget::eventFilter(QObject* watched, QEvent* event) {
    // The view the user turns to may fill up to its own cap again.
    if (event->type() == QEvent::Show)
        if (auto* view = qobject_cast<TChatView*>(watched)) view->setMaximumBlockCount(TChatView::kMaxLines);
    return false;
}

void TChatViewBudget::Counted(const QObject* view, int lines) {
    auto it = entries_.find(view);
    if (it == entries_.end()) return;
    total_ += lines - it->second.Lines;
    it->second.Lines = lines;
    // Trimmed once the loop turns: not inside the document's own change, and once per batch.
    if (total_ > limit_ && !trimPosted_) {
        trimPosted_ = true;
        QMetaObject::invokeMethod(this, &TChatViewBudget::Trim, Qt::QueuedConnection);
    }
}

void TChatViewBudget::Trim() {
    trimPosted_ = false;
    // A tenth below the limit, so that the caps are worked out now and then, not every turn.
    int room = limit_ - limit_ / 10;
    std::vector<int> hidden;
    for (auto& [key, e] : entries_) {
        if (!e.View) continue;
        e.Lines = e.View->document()->blockCount();
        if (e.View->isHidden()) hidden.push_back(e.Lines);
        else room -= e.Lines;
    }
    // The largest cap under which the hidden views together fit in the room left.
    std::sort(hidden.begin(), hidden.end());
    int cap = TChatView::kMaxLines;
    for (std::size_t i = 0; i < hidden.size(); ++i) {
        const int others = static_cast<int>(hidden.size() - i);
        if (static_cast<long long>(hidden[i]) * others > room) {
            cap = std::max(1, room / others);
            break;
        }
        room -= hidden[i];
    }
    cap = std::min(cap, TChatView::kMaxLines);
    // Each view then drops its oldest lines itself, now and with every later batch.
    for (auto& [key, e] : entries_) {
        if (!e.View) continue;
        const int wanted = e.View->isHidden() ? cap : TChatView::kMaxLines;
        if (e.View->maximumBlockCount() != wanted) e.View->setMaximumBlockCount(wanted);
    }
}
