// TChatViewBudget: one limit on the lines that all chat views keep together.
#pragma once

#include <QObject>
#include <QPointer>

#include <cstdint>
#include <vector>

class TChatView;

// Each view keeps its newest TChatView::kMaxLines lines; with a thousand channels open that
// alone would allow gigabytes. Over the budget, the oldest lines of the largest views go first
// (of two alike, the one shown longest ago), and the view the user looks at goes last.
class TChatViewBudget : public QObject {
    Q_OBJECT
public:
    // A full view of 10,000 lines costs some 11 MB of text and layout; 40,000 lines keep all
    // views together near 45 MB however many channels are open, and are still four busy
    // channels' whole evenings. (Lines, not bytes: the server cuts a line at 512 bytes.)
    static constexpr int kTotalLines = 40000;

    explicit TChatViewBudget(int totalLines = kTotalLines, QObject* parent = nullptr);
    // The view's lines count from now on, until the view is destroyed.
    void Add(TChatView& view);
    int Limit() const { return limit_; }

private:
    struct TEntry {
        const QObject* Key = nullptr;  // still there when the view's destroyed() runs
        QPointer<TChatView> View;
        int Lines = 0;
        std::uint64_t Shown = 0;  // when last shown; 0 for never
    };
    bool eventFilter(QObject* watched, QEvent* event) override;
    TEntry* Find(const QObject* view);
    void Counted(const QObject* view, int lines);
    void Trim();

    std::vector<TEntry> entries_;
    int limit_;
    int total_ = 0;
    bool trimPosted_ = false;
    std::uint64_t shows_ = 0;
};
