// SPDX-License-Identifier: GPL-3.0-or-later
// TChatViewBudget: one limit on the lines that all chat views keep together.
#pragma once

#include <QObject>
#include <QPointer>

#include <unordered_map>

class TChatView;

// Each view keeps its newest TChatView::kMaxLines lines; with a thousand channels open that
// alone would allow gigabytes. Over the budget, the hidden views share what the shown ones
// leave: each is cut to the same cap, so the largest lose their oldest lines first and small
// ones keep theirs. A view keeps its full cap while it is shown.
class TChatViewBudget : public QObject {
    Q_OBJECT
public:
    // Measured with the program against a peer filling a thousand channels: some 0.9 KB a line
    // of text, formats and layout. 20,000 lines keep all views together near 18 MB however
    // many channels are open, and the shown view can always hold its full 10,000 with as
    // many again among the others. (Lines, not bytes: the server cuts a line at 512 bytes.)
    static constexpr int kTotalLines = 20000;

    explicit TChatViewBudget(int totalLines = kTotalLines, QObject* parent = nullptr);
    // The view's lines count from now on, until the view is destroyed.
    void Add(TChatView& view);
    int Limit() const { return limit_; }

private:
    struct TEntry {
        QPointer<TChatView> View;
        int Lines = 0;
    };
    bool eventFilter(QObject* watched, QEvent* event) override;
    void Counted(const QObject* view, int lines);
    void Trim();

    std::unordered_map<const QObject*, TEntry> entries_;
    int limit_;
    int total_ = 0;
    bool trimPosted_ = false;
};
