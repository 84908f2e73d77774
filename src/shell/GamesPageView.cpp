// TGamesPageView: builds the games page's controls at their designed places.
#include "shell/GamesPageView.h"

#include "tracker/GamesPage.h"
#include "tracker/GameTypes.h"

#include <QEvent>
#include <QHeaderView>
#include <QMouseEvent>
#include <QTimer>

#include <algorithm>

namespace {

QString Latin1(std::string_view s) { return QString::fromLatin1(s.data(), static_cast<qsizetype>(s.size())); }

QTreeView* MakeList(QWidget* parent, TGameListModel* model) {
    auto* v = new QTreeView(parent);
    v->setModel(model);
    v->setRootIsDecorated(false);
    v->setItemsExpandable(false);
    v->setUniformRowHeights(true);
    v->setSelectionBehavior(QAbstractItemView::SelectRows);
    v->setSelectionMode(QAbstractItemView::SingleSelection);
    v->setEditTriggers(QAbstractItemView::NoEditTriggers);
    v->setIconSize(QSize(16, 16));
    v->setAllColumnsShowFocus(true);
    v->setSortingEnabled(false);
    v->setTextElideMode(Qt::ElideRight);
    auto* header = v->header();
    header->setStretchLastSection(false);
    header->setSectionsMovable(false);
    header->setSectionsClickable(false);
    return v;
}

// The designed widths fit the designed font; where this system's font needs more for a
// caption or for the longest status with its icon, the column grows so that nothing is cut,
// and "Server" and "Mission" give the room back so that the designed list still shows all.
void SizeColumns(QTreeView* v) {
    const QFontMetrics header(v->header()->font());
    const QFontMetrics rows(v->font());
    constexpr int padding = 10;
    std::array<int, GameColumns.size()> width{};
    int total = 0;
    for (std::size_t c = 0; c < GameColumns.size(); ++c) {
        int need = header.horizontalAdvance(Latin1(GameColumns[c].Caption)) + padding;
        // The icon and the text each get the item's margins on both sides.
        if (c == 0) need = std::max(need, 16 + rows.horizontalAdvance("Debriefing") + 2 * padding);
        width[c] = std::max(GameColumns[c].Width, need);
        total += width[c];
    }
    constexpr int designedViewport = 785 - 4;
    const int over = total - designedViewport;
    if (over > 0) {
        width[2] = std::max(120, width[2] - (over + 1) / 2);
        width[3] = std::max(120, width[3] - over / 2);
    }
    for (std::size_t c = 0; c < GameColumns.size(); ++c) v->header()->resizeSection(static_cast<int>(c), width[c]);
}

// Buttons of the designed 14-pixel height: a smaller font and thin padding keep the caption
// readable in that height.
void MakeSmall(QPushButton* b) {
    QFont f = b->font();
    f.setPixelSize(10);
    b->setFont(f);
    b->setStyleSheet("QPushButton { padding: 0px 2px; }");
}

}  // namespace

TGamesPageView::TGamesPageView(TGamesPage& page, std::array<QIcon, 3> modeIcons, QWidget* parent)
    : QWidget(parent), anchors_(new TAnchors(this, QSize(GamesPageDesignedWidth, GamesPageDesignedHeight))) {
    for (int i = 0; i < 4; ++i) {
        const auto& type = GameTypes[static_cast<std::size_t>(i)];
        auto* heading = new QLabel(Latin1(type.LabelCaption), this);
        heading->setObjectName(Latin1(type.Label));
        heading->adjustSize();
        heading->move(8, 4);
        heading->setVisible(false);
        headings_[static_cast<std::size_t>(i)] = heading;

        auto* model = new TGameListModel(page.List(i), modeIcons, this);
        auto* list = MakeList(this, model);
        SizeColumns(list);
        list->setObjectName(Latin1(type.List));
        list->setVisible(false);
        anchors_->Add(list, QRect(4, 20, 785, 67), akLeft | akTop | akRight);
        // Anywhere in the list, not only on a row: the selected row is the one joined.
        list->viewport()->installEventFilter(this);
        models_[static_cast<std::size_t>(i)] = model;
        lists_[static_cast<std::size_t>(i)] = list;
    }

    refresh_ = new QPushButton("Refresh", this);
    refresh_->setObjectName("Button1");
    MakeSmall(refresh_);
    anchors_->Add(refresh_, QRect(0, 345, 75, 14), akLeft | akBottom);

    refreshing_ = new QLabel("Refreshing servers...", this);
    refreshing_->setObjectName("Label1");
    refreshing_->adjustSize();
    anchors_->Add(refreshing_, QRect(QPoint(88, 344), refreshing_->size()), akLeft | akBottom);
    refreshing_->setVisible(false);

    udpCheck_ = new QPushButton("UDPCheck", this);
    udpCheck_->setObjectName("Button2");
    MakeSmall(udpCheck_);
    anchors_->Add(udpCheck_, QRect(200, 345, 75, 14), akLeft | akBottom);
    udpCheck_->setVisible(false);
}

int TGamesPageView::SelectedRow(int gameType) const {
    const QModelIndexList rows = List(gameType)->selectionModel()->selectedRows();
    return rows.isEmpty() ? -1 : rows.first().row();
}

bool TGamesPageView::eventFilter(QObject* watched, QEvent* event) {
    if (event->type() == QEvent::MouseButtonDblClick &&
        static_cast<QMouseEvent*>(event)->button() == Qt::LeftButton) {
        for (int i = 0; i < 4; ++i) {
            if (watched != lists_[static_cast<std::size_t>(i)]->viewport()) continue;
            // Once the view has handled the click: a double click whose first press did not
            // select the row (the view takes it as a press then) joins the row it selects.
            QTimer::singleShot(0, this, [this, i] {
                if (OnListDoubleClick) OnListDoubleClick(i, SelectedRow(i));
            });
        }
    }
    return QWidget::eventFilter(watched, event);
}

void TGamesPageView::changeEvent(QEvent* event) {
    QWidget::changeEvent(event);
    if (event->type() != QEvent::FontChange) return;
    for (auto* list : lists_) SizeColumns(list);
    for (auto* heading : headings_) heading->adjustSize();
    refreshing_->adjustSize();
}

void TGamesPageView::ApplyLayout(const std::array<bool, 4>& enabled) {
    for (std::size_t i = 0; i < 4; ++i) slots_[i].Enabled = enabled[i];
    if (!ApplyLayoutRule(height(), slots_)) return;
    for (std::size_t i = 0; i < 4; ++i) {
        if (!slots_[i].Enabled) continue;
        headings_[i]->move(8, slots_[i].HeadingTop);
        anchors_->SetDesignedVertical(lists_[i], slots_[i].ListTop, std::max(0, slots_[i].ListHeight));
    }
}
