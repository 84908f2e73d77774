// SPDX-License-Identifier: GPL-3.0-or-later
// TGamesPageView: builds the games page's controls at their designed places.
#include "shell/GamesPageView.h"

#include "shell/FriendMarkDelegate.h"
#include "tracker/GamesPage.h"
#include "tracker/GameTypes.h"

#include <QClipboard>
#include <QFile>
#include <QFileDialog>
#include <QEvent>
#include <QGuiApplication>
#include <QHeaderView>
#include <QKeyEvent>
#include <QMouseEvent>
#include <QTimer>

#include <algorithm>
#include <memory>

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
    // A click on a heading sorts; the page decides the order, the view only shows it.
    header->setSectionsClickable(true);
    header->setSortIndicatorShown(false);
    v->setColumnHidden(PingColumn, true);
    v->setContextMenuPolicy(Qt::CustomContextMenu);
    return v;
}

// The designed widths fit the designed font; where this system's font needs more for a
// caption or for the longest status with its icon, the column grows so that nothing is cut,
// and "Server" and "Mission" give the room back so that the designed list still shows all.
void SizeColumns(QTreeView* v) {
    const QFontMetrics header(v->header()->font());
    const QFontMetrics rows(v->font());
    constexpr int padding = 10;
    constexpr int sortArrow = 14;
    std::array<int, GameColumns.size()> width{};
    int total = 0;
    for (std::size_t c = 0; c < GameColumns.size(); ++c) {
        // Room for the sort arrow too, so that sorting never cuts a caption.
        int need = header.horizontalAdvance(Latin1(GameColumns[c].Caption)) + padding + sortArrow;
        // The icon and the text each get the item's margins on both sides.
        if (c == 0) need = std::max(need, 16 + rows.horizontalAdvance("Debriefing") + 2 * padding);
        width[c] = std::max(GameColumns[c].Width, need);
        total += width[c];
    }
    constexpr int pingWidth = 44;
    v->header()->resizeSection(PingColumn, pingWidth);
    if (!v->isColumnHidden(PingColumn)) total += pingWidth;
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
    : QWidget(parent), page_(page), anchors_(new TAnchors(this, QSize(GamesPageDesignedWidth, GamesPageDesignedHeight))) {
    page_.Favourites = &favourites_;
    saveDelay_.setSingleShot(true);
    saveDelay_.setInterval(kSaveDelayMs);
    connect(&saveDelay_, &QTimer::timeout, this, [this] {
        if (OnViewSettingsChange) OnViewSettingsChange();
    });

    // The filter bar, above the lists.
    filterText_ = new QLineEdit(this);
    filterText_->setObjectName("edFilter");
    filterText_->setPlaceholderText("Filter servers and missions");
    filterText_->setClearButtonEnabled(true);
    anchors_->Add(filterText_, QRect(4, 2, 200, 20), akLeft | akTop);
    int x = 212;
    auto check = [&](QCheckBox*& box, const char* name, const char* caption) {
        box = new QCheckBox(caption, this);
        box->setObjectName(name);
        box->adjustSize();
        anchors_->Add(box, QRect(x, 2, box->width(), 20), akLeft | akTop);
        x += box->width() + 10;
        connect(box, &QCheckBox::toggled, this, [this] { FilterChanged(); });
    };
    check(formingOnly_, "cbFormingOnly", "Forming only");
    check(hideEmpty_, "cbHideEmpty", "Hide empty");
    check(hidePassworded_, "cbHidePassworded", "Hide passworded");
    check(showPing_, "cbShowPing", "Ping");
    hidden_ = new QLabel(this);
    hidden_->setObjectName("lbHidden");
    hidden_->setAlignment(Qt::AlignRight | Qt::AlignVCenter);
    anchors_->Add(hidden_, QRect(GamesPageDesignedWidth - 164, 2, 156, 20), akRight | akTop);
    connect(filterText_, &QLineEdit::textChanged, this, [this] { FilterChanged(); });

    page_.FriendMarks.OnChange = [this] {
        for (auto* model : models_)
            if (model) model->FriendMarksChanged();
    };
    for (int i = 0; i < 4; ++i) {
        const auto& type = GameTypes[static_cast<std::size_t>(i)];
        auto* heading = new QLabel(Latin1(type.LabelCaption), this);
        heading->setObjectName(Latin1(type.Label));
        heading->adjustSize();
        heading->move(8, 4 + FilterBarHeight);
        heading->setVisible(false);
        headings_[static_cast<std::size_t>(i)] = heading;

        auto* model = new TGameListModel(page.List(i), i, favourites_, modeIcons, this);
        auto* list = MakeList(this, model);
        model->SetFriendMarks(&page.FriendMarks);
        list->setItemDelegateForColumn(2, new TFriendMarkDelegate(list));
        SizeColumns(list);
        list->setObjectName(Latin1(type.List));
        list->setVisible(false);
        anchors_->Add(list, QRect(4, 20 + FilterBarHeight, 785, 67), akLeft | akTop | akRight);
        // Anywhere in the list, not only on a row: the selected row is the one joined. The
        // viewport also tells when the pointer is over the lines.
        list->viewport()->installEventFilter(this);
        list->installEventFilter(this);
        connect(list->header(), &QHeaderView::sectionClicked, this, [this](int column) { HeadingClicked(column); });
        connect(list, &QWidget::customContextMenuRequested, this, [this, i, list](QPoint pos) {
            std::unique_ptr<QMenu> menu(ContextMenu(i, pos));
            if (menu) menu->exec(list->viewport()->mapToGlobal(pos));
        });
        connect(model, &TGameListModel::Arranged, this, [this, list] {
            // The selected server stays in sight wherever the arrangement put it.
            const QModelIndexList rows = list->selectionModel()->selectedRows();
            if (!rows.isEmpty()) list->scrollTo(rows.first(), QAbstractItemView::EnsureVisible);
            ShowHidden();
        });
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

    notice_ = new QLabel(this);
    notice_->setObjectName("lbTrackerNotice");
    notice_->setTextFormat(Qt::PlainText);
    QPalette red = notice_->palette();
    red.setColor(QPalette::WindowText, Qt::darkRed);
    notice_->setPalette(red);
    // Where "Refreshing servers..." stands, and after it while a walk runs.
    anchors_->Add(notice_, QRect(88, 343, GamesPageDesignedWidth - 91 - 88, 17), akLeft | akRight | akBottom);
    notice_->setVisible(false);

    addServer_ = new QPushButton("Add server...", this);
    addServer_->setObjectName("btnAddServer");
    MakeSmall(addServer_);
    anchors_->Add(addServer_, QRect(GamesPageDesignedWidth - 83, 345, 75, 14), akRight | akBottom);
    connect(addServer_, &QPushButton::clicked, this, [this] { AddServerClick(); });
}

void TGamesPageView::ShowTrackerNotice(const QString& text) {
    notice_->setText(text);
    notice_->setToolTip(text);
    notice_->setIndent(refreshing_->isVisibleTo(this) ? refreshing_->width() + 12 : 0);
    notice_->setVisible(!text.isEmpty());
}

TfrmAddServer* TGamesPageView::AddServerClick(int gameType) {
    // A hidden one has closed and is on its way out.
    if (!frmAddServer || !frmAddServer->isVisible()) {
        frmAddServer = new TfrmAddServer(
            this, gameType,
            [this](int type, const std::string& address, const std::string& port, const std::string& name) {
                return AddFavourite(type, address, port, name);
            },
            LookUpHost);
    }
    frmAddServer->show();
    frmAddServer->raise();
    frmAddServer->activateWindow();
    return frmAddServer;
}

std::string TGamesPageView::AddFavourite(int gameType, const std::string& address, const std::string& port,
                                         const std::string& name) {
    if (favourites_.Contains(gameType, address, port)) return address + ":" + port + " is a favourite already.";
    if (!favourites_.Add({gameType, address, port, name}))
        return "The favourites are full (" + std::to_string(MaxFavourites) + "): remove some first.";
    for (auto* model : models_) model->Rearrange();
    page_.QueryServer(address, port);
    // A server the user named is kept at once, not after the pause a view change waits for.
    Changed();
    SaveViewSettingsNow();
    return {};
}

std::string TGamesPageView::ExportFavourites(const QString& path, bool& error) {
    const std::string text = FavouritesListText(favourites_);
    QFile file(path);
    error = !file.open(QIODevice::WriteOnly | QIODevice::Truncate) ||
            file.write(text.data(), static_cast<qint64>(text.size())) != static_cast<qint64>(text.size()) ||
            !file.flush();
    if (error) return "Couldn't write " + path.toLocal8Bit().toStdString() + ": " + file.errorString().toStdString();
    return std::to_string(favourites_.All().size()) + " favourites written to " + path.toLocal8Bit().toStdString() +
           ".";
}

std::string TGamesPageView::ImportFavourites(const QString& path, bool& error) {
    const std::string name = path.toLocal8Bit().toStdString();
    QFile file(path);
    error = true;
    if (!file.open(QIODevice::ReadOnly)) return "Couldn't read " + name + ": " + file.errorString().toStdString();
    const QByteArray bytes = file.read(static_cast<qint64>(MaxListBytes) + 1);
    if (static_cast<std::size_t>(bytes.size()) > MaxListBytes) return name + " is too large for a list of servers.";
    const TFavouritesList list = ReadFavouritesList(std::string_view(bytes.constData(), static_cast<std::size_t>(bytes.size())));
    int added = 0, known = 0, full = 0;
    for (const TFavourite& f : list.Entries) {
        if (favourites_.Contains(f.GameType, f.Address, f.Port))
            ++known;
        else if (favourites_.Add(f) && ++added)
            page_.QueryServer(f.Address, f.Port);
        else
            ++full;
    }
    if (added > 0) {
        for (auto* model : models_) model->Rearrange();
        Changed();
        SaveViewSettingsNow();
    }
    std::string report = std::to_string(added) + " servers added from " + name;
    if (known) report += ", " + std::to_string(known) + " kept already";
    if (full) report += ", " + std::to_string(full) + " left out: the favourites are full";
    report += ".";
    if (list.BadLines > 0) {
        report += "\n" + std::to_string(list.BadLines) + " lines are not \"address:port game\" and were skipped:";
        for (const std::string& p : list.Problems) report += "\n" + p;
        if (static_cast<std::size_t>(list.BadLines) > list.Problems.size()) report += "\n...";
    }
    error = list.BadLines > 0 || full > 0;
    return report;
}

void TGamesPageView::ExportFavouritesClick() {
    const QString path = QFileDialog::getSaveFileName(this, "Export favourites", "favourites.txt",
                                                      "Server lists (*.txt);;Any file (*)");
    if (path.isEmpty()) return;
    bool error = false;
    const std::string report = ExportFavourites(path, error);
    if (OnReport) OnReport(report, error);
}

void TGamesPageView::ImportFavouritesClick() {
    const QString path =
        QFileDialog::getOpenFileName(this, "Import favourites", QString(), "Server lists (*.txt);;Any file (*)");
    if (path.isEmpty()) return;
    bool error = false;
    const std::string report = ImportFavourites(path, error);
    if (OnReport) OnReport(report, error);
}

void TGamesPageView::AddGeneralActions(QMenu* menu, int gameType) {
    connect(menu->addAction("Add server..."), &QAction::triggered, this, [this, gameType] { AddServerClick(gameType); });
    connect(menu->addAction("Export favourites..."), &QAction::triggered, this, [this] { ExportFavouritesClick(); });
    connect(menu->addAction("Import favourites..."), &QAction::triggered, this, [this] { ImportFavouritesClick(); });
}

TGamesPageView::~TGamesPageView() {
    page_.Favourites = nullptr;
    page_.FriendMarks.OnChange = nullptr;
}

int TGamesPageView::SelectedRow(int gameType) const {
    const QModelIndexList rows = List(gameType)->selectionModel()->selectedRows();
    if (rows.isEmpty()) return -1;
    TGameListModel* model = Model(gameType);
    const TGameRow* row = model->RowAt(rows.first().row());
    return row ? model->List().IndexOf(*row) : -1;
}

void TGamesPageView::SelectRow(int gameType, int listIndex) {
    TGameListModel* model = Model(gameType);
    if (listIndex < 0 || listIndex >= model->List().Count()) return;
    const int line = model->View().IndexOfRow(model->List().Row(listIndex));
    if (line < 0) return;  // hidden by the filter
    QTreeView* list = List(gameType);
    const QModelIndex at = model->index(line, 0);
    list->selectionModel()->setCurrentIndex(at, QItemSelectionModel::ClearAndSelect | QItemSelectionModel::Rows);
    list->scrollTo(at, QAbstractItemView::EnsureVisible);
}

void TGamesPageView::Changed() {
    if (!applying_) saveDelay_.start();
}

void TGamesPageView::SaveViewSettingsNow() {
    if (!saveDelay_.isActive()) return;
    saveDelay_.stop();
    if (OnViewSettingsChange) OnViewSettingsChange();
}

void TGamesPageView::HeadingClicked(int column) {
    // One order for all four lists, cycling as a click on the same heading repeats.
    if (sortOrder_ == TSortOrder::Arrival || column != sortColumn_) {
        sortColumn_ = column;
        sortOrder_ = TSortOrder::Ascending;
    } else if (sortOrder_ == TSortOrder::Ascending) {
        sortOrder_ = TSortOrder::Descending;
    } else {
        sortColumn_ = -1;
        sortOrder_ = TSortOrder::Arrival;
    }
    ApplySortToViews();
    Changed();
}

void TGamesPageView::ApplySortToViews() {
    for (std::size_t i = 0; i < 4; ++i) {
        models_[i]->SetSort(sortColumn_, sortOrder_);
        QHeaderView* header = lists_[i]->header();
        header->setSortIndicatorShown(sortOrder_ != TSortOrder::Arrival);
        if (sortOrder_ != TSortOrder::Arrival)
            header->setSortIndicator(sortColumn_, sortOrder_ == TSortOrder::Ascending ? Qt::AscendingOrder
                                                                                      : Qt::DescendingOrder);
    }
}

void TGamesPageView::FilterChanged() {
    const TGameFilter filter{filterText_->text().toLatin1().toStdString(), formingOnly_->isChecked(),
                             hideEmpty_->isChecked(), hidePassworded_->isChecked()};
    for (std::size_t i = 0; i < 4; ++i) {
        models_[i]->SetFilter(filter);
        lists_[i]->setColumnHidden(PingColumn, !showPing_->isChecked());
        SizeColumns(lists_[i]);
    }
    ShowHidden();
    Changed();
}

void TGamesPageView::ShowHidden() {
    int hidden = 0;
    for (auto* model : models_) hidden += model->View().Hidden();
    hidden_->setText(hidden > 0 ? QString("%1 hidden by the filter").arg(hidden) : QString());
}

void TGamesPageView::ToggleFavourite(int gameType, const std::string& address, const std::string& port,
                                     const std::string& name) {
    if (!favourites_.Remove(gameType, address, port)) favourites_.Add({gameType, address, port, name});
    for (auto* model : models_) model->Rearrange();
    Changed();
}

QMenu* TGamesPageView::ContextMenu(int gameType, QPoint viewportPos) {
    QTreeView* list = List(gameType);
    const QModelIndex at = list->indexAt(viewportPos);
    if (!at.isValid()) {
        // Over no line: what concerns the list as a whole.
        auto* menu = new QMenu(list);
        AddGeneralActions(menu, gameType);
        return menu;
    }
    list->selectionModel()->setCurrentIndex(at, QItemSelectionModel::ClearAndSelect | QItemSelectionModel::Rows);
    const TShownRow line = Model(gameType)->View().At(at.row());
    const std::string address = line.Address(), port = line.Port();
    const std::string name = line.Row ? line.Row->Server : line.Saved.Name;
    auto* menu = new QMenu(list);
    QAction* join = menu->addAction("Join");
    join->setEnabled(line.Row != nullptr);
    connect(join, &QAction::triggered, this, [this, gameType] {
        if (OnListDoubleClick) OnListDoubleClick(gameType, SelectedRow(gameType));
    });
    connect(menu->addAction("Copy address"), &QAction::triggered, this, [address, port] {
        QGuiApplication::clipboard()->setText(QString::fromLatin1((address + ":" + port).c_str()));
    });
    const bool favourite = favourites_.Contains(gameType, address, port);
    connect(menu->addAction(favourite ? "Remove from favourites" : "Add to favourites"), &QAction::triggered, this,
            [this, gameType, address, port, name] { ToggleFavourite(gameType, address, port, name); });
    menu->addSeparator();
    AddGeneralActions(menu, gameType);
    return menu;
}

TGamesViewSettings TGamesPageView::ViewSettings() const {
    TGamesViewSettings view;
    view.SortColumn = sortColumn_;
    view.Order = sortOrder_;
    view.Filter = {filterText_->text().toLatin1().toStdString(), formingOnly_->isChecked(), hideEmpty_->isChecked(),
                   hidePassworded_->isChecked()};
    view.ShowPing = showPing_->isChecked();
    view.Favourites = favourites_.Text();
    view.AlertPlayers = page_.FormingAlert.MinPlayers;
    return view;
}

void TGamesPageView::ApplyViewSettings(const TGamesViewSettings& view) {
    applying_ = true;
    favourites_ = TFavourites::FromText(view.Favourites);
    page_.FormingAlert.MinPlayers = view.AlertPlayers;
    sortColumn_ = view.Order == TSortOrder::Arrival ? -1 : view.SortColumn;
    sortOrder_ = sortColumn_ < 0 ? TSortOrder::Arrival : view.Order;
    filterText_->setText(QString::fromLatin1(view.Filter.Text.c_str()));
    formingOnly_->setChecked(view.Filter.FormingOnly);
    hideEmpty_->setChecked(view.Filter.HideEmpty);
    hidePassworded_->setChecked(view.Filter.HidePassworded);
    showPing_->setChecked(view.ShowPing);
    FilterChanged();
    ApplySortToViews();
    applying_ = false;
}

bool TGamesPageView::eventFilter(QObject* watched, QEvent* event) {
    for (int i = 0; i < 4; ++i) {
        QTreeView* list = lists_[static_cast<std::size_t>(i)];
        // Rows never move under the pointer: while it is over the lines, refreshes change
        // texts in place and the new order waits until it leaves.
        if (watched == list->viewport() && event->type() == QEvent::Enter) Model(i)->SetHeld(true);
        if (watched == list->viewport() && event->type() == QEvent::Leave) Model(i)->SetHeld(false);
        if (watched == list && event->type() == QEvent::Hide) Model(i)->SetHeld(false);
        if (watched == list && event->type() == QEvent::KeyPress) {
            const int key = static_cast<QKeyEvent*>(event)->key();
            if (key == Qt::Key_Return || key == Qt::Key_Enter) {
                if (OnListDoubleClick) OnListDoubleClick(i, SelectedRow(i));
                return true;
            }
        }
    }
    if (FriendMarkClicked(watched, event)) return true;
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

bool TGamesPageView::FriendMarkClicked(QObject* watched, QEvent* event) {
    const QEvent::Type type = event->type();
    if (type != QEvent::MouseButtonRelease && type != QEvent::MouseButtonDblClick) return false;
    const auto* mouse = static_cast<QMouseEvent*>(event);
    if (mouse->button() != Qt::LeftButton) return false;
    for (int i = 0; i < 4; ++i) {
        QTreeView* list = lists_[static_cast<std::size_t>(i)];
        if (watched != list->viewport()) continue;
        const QPoint pos = mouse->position().toPoint();
        // A double click on the badge is one join, made by its first click: the double click
        // is taken here and the release after it does nothing.
        if (type == QEvent::MouseButtonRelease && skipMarkRelease_) {
            skipMarkRelease_ = false;
            return false;
        }
        if (!TFriendMarkDelegate::HitsMark(*list, pos)) return false;
        if (type == QEvent::MouseButtonDblClick) {
            skipMarkRelease_ = true;
            return true;
        }
        // Once the view has had its release, as for a double click.
        const QPersistentModelIndex at(list->indexAt(pos));
        QTimer::singleShot(0, this, [this, i, list, at] {
            if (!at.isValid()) return;
            list->selectionModel()->setCurrentIndex(at, QItemSelectionModel::ClearAndSelect | QItemSelectionModel::Rows);
            // Exactly a double click's join, its questions and warnings included.
            if (OnListDoubleClick) OnListDoubleClick(i, SelectedRow(i));
        });
        return false;
    }
    return false;
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
    // The rule lays the lists out below the filter bar.
    if (!ApplyLayoutRule(height() - FilterBarHeight, slots_)) return;
    for (std::size_t i = 0; i < 4; ++i) {
        if (!slots_[i].Enabled) continue;
        headings_[i]->move(8, slots_[i].HeadingTop + FilterBarHeight);
        anchors_->SetDesignedVertical(lists_[i], slots_[i].ListTop + FilterBarHeight,
                                      std::max(0, slots_[i].ListHeight));
    }
}
