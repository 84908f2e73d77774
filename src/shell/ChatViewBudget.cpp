// TChatViewBudget: counting every view's lines and trimming the oldest ones over the limit.
#include "shell/ChatViewBudget.h"

#include "shell/ChatView.h"

#include <QEvent>
#include <QTextCursor>
#include <QTextDocument>

#include <algorithm>

TChatViewBudget::TChatViewBudget(int totalLines, QObject* parent) : QObject(parent), limit_(totalLines) {}

void TChatViewBudget::Add(TChatView& view) {
    if (Find(&view)) return;
    QTextDocument* doc = view.document();
    entries_.push_back({&view, &view, doc->blockCount(), view.isHidden() ? 0 : ++shows_});
    total_ += doc->blockCount();
    view.installEventFilter(this);
    const QObject* key = &view;
    connect(doc, &QTextDocument::blockCountChanged, this, [this, key](int lines) { Counted(key, lines); });
    connect(&view, &QObject::destroyed, this, [this, key] {
        auto it = std::find_if(entries_.begin(), entries_.end(), [key](const TEntry& e) { return e.Key == key; });
        if (it == entries_.end()) return;
        total_ -= it->Lines;
        entries_.erase(it);
    });
}

TChatViewBudget::TEntry* TChatViewBudget::Find(const QObject* view) {
    for (TEntry& e : entries_)
        if (e.Key == view) return &e;
    return nullptr;
}

bool TChatViewBudget::eventFilter(QObject* watched, QEvent* event) {
    if (event->type() == QEvent::Show)
        if (TEntry* e = Find(watched)) e->Shown = ++shows_;
    return false;
}

void TChatViewBudget::Counted(const QObject* view, int lines) {
    TEntry* e = Find(view);
    if (!e) return;
    total_ += lines - e->Lines;
    e->Lines = lines;
    // Trimmed once the loop turns: not inside the document's own change, and once per batch.
    if (total_ > limit_ && !trimPosted_) {
        trimPosted_ = true;
        QMetaObject::invokeMethod(this, &TChatViewBudget::Trim, Qt::QueuedConnection);
    }
}

void TChatViewBudget::Trim() {
    total_ = 0;
    for (TEntry& e : entries_) {
        e.Lines = e.View ? e.View->document()->blockCount() : 0;
        total_ += e.Lines;
    }
    // A tenth below the limit, so that a busy evening trims now and then, not on every line.
    const int target = limit_ - limit_ / 10;
    while (total_ > target) {
        // Hidden views before the shown ones; within them the largest, then the one shown longest ago.
        auto before = [](const TEntry& a, const TEntry& b) {
            const bool aHidden = a.View->isHidden(), bHidden = b.View->isHidden();
            if (aHidden != bHidden) return aHidden;
            if (a.Lines != b.Lines) return a.Lines > b.Lines;
            return a.Shown < b.Shown;
        };
        TEntry* victim = nullptr;
        TEntry* next = nullptr;
        for (TEntry& e : entries_) {
            if (!e.View || e.Lines <= 1) continue;
            if (!victim || before(e, *victim)) {
                next = victim;
                victim = &e;
            } else if (!next || before(e, *next)) {
                next = &e;
            }
        }
        if (!victim) break;
        // Down to the next largest view, or a quarter of its lines at least, so that views
        // of equal size are trimmed in a few steps rather than one line at a time.
        const int nextLines = next && next->View->isHidden() == victim->View->isHidden() ? next->Lines : 0;
        const int drop = std::min({total_ - target, victim->Lines - 1,
                                   std::max(victim->Lines - nextLines, (victim->Lines + 3) / 4)});
        QTextCursor cursor(victim->View->document());
        cursor.movePosition(QTextCursor::Start);
        cursor.movePosition(QTextCursor::NextBlock, QTextCursor::KeepAnchor, drop);
        cursor.removeSelectedText();
        const int now = victim->View->document()->blockCount();
        total_ += now - victim->Lines;
        victim->Lines = now;
    }
    trimPosted_ = false;
}
