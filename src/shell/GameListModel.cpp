// SPDX-License-Identifier: GPL-3.0-or-later
// TGameListModel: a Qt table model over one game list as arranged by its TGameListView.
#include "shell/GameListModel.h"

#include "tracker/GameTypes.h"

#include <QBrush>
#include <QColor>
#include <QGuiApplication>
#include <QPalette>
#include <QPixmap>

TGameListModel::TGameListModel(TGameList& list, std::array<QIcon, 3> modeIcons, QObject* parent)
    : TGameListModel(list, 0, ownFavourites_, std::move(modeIcons), parent) {}

TGameListModel::TGameListModel(TGameList& list, int gameType, const TFavourites& favourites,
                               std::array<QIcon, 3> modeIcons, QObject* parent)
    : QAbstractTableModel(parent), list_(list), view_(list, gameType, favourites), icons_(std::move(modeIcons)) {
    Bind();
    QPixmap blank(16, 16);
    blank.fill(Qt::transparent);
    blank_ = QIcon(blank);
    ageing_.setInterval(1000);
    connect(&ageing_, &QTimer::timeout, this, [this] {
        if (view_.Count() > 0)
            emit dataChanged(index(0, 0), index(view_.Count() - 1, columnCount() - 1),
                             {Qt::ForegroundRole, Qt::ToolTipRole});
    });
    ageing_.start();
}

void TGameListModel::Bind() {
    // Exact begin/end pairs let the views keep their selection and scroll position while
    // replies add, refresh and drop rows under the user's eyes. Lines never move here: a new
    // row shows last, and any reordering waits for Arrange.
    list_.OnRowInserting = [this](TGameList&, int) { beginInsertRows({}, view_.Count(), view_.Count()); };
    list_.OnRowInserted = [this](TGameList& l, int i) {
        view_.RowAdded(l.Row(i));
        endInsertRows();
        if (Arranging()) ScheduleArrange();
    };
    list_.OnRowDeleting = [this](TGameList& l, int i) {
        const TGameRow& row = l.Row(i);
        const int line = view_.IndexOfRow(row);
        if (line < 0) {
            ScheduleArrange();  // a hidden row went: the hidden count changes
            return;
        }
        const bool favourite = view_.At(line).Favourite;
        bool offline = false;
        if (!favourite) beginRemoveRows({}, line, line);
        view_.RowDeleting(row, offline);
        if (!favourite) endRemoveRows();
        else emit dataChanged(index(line, 0), index(line, columnCount() - 1));
    };
    list_.OnRowDeleted = nullptr;
    list_.OnRowChanged = [this](TGameList& l, int i) {
        // A favourite answering again while the lines are held would otherwise show twice:
        // offline where it stood and alive at the bottom.
        if (const int own = view_.ReturningLine(l.Row(i)); own >= 0) {
            beginRemoveRows({}, own, own);
            view_.TakeBack(l.Row(i));
            endRemoveRows();
        }
        const int line = view_.IndexOfRow(l.Row(i));
        if (line >= 0) emit dataChanged(index(line, 0), index(line, columnCount() - 1));
        if (Arranging()) ScheduleArrange();
    };
}

TGameListModel::~TGameListModel() {
    list_.OnRowInserting = nullptr;
    list_.OnRowInserted = nullptr;
    list_.OnRowDeleting = nullptr;
    list_.OnRowDeleted = nullptr;
    list_.OnRowChanged = nullptr;
}

bool TGameListModel::Arranging() const {
    return view_.Order() != TSortOrder::Arrival || view_.Filter().Active() || !view_.Identity();
}

void TGameListModel::SetSort(int column, TSortOrder order) {
    view_.SetSort(column, order);
    Arrange();
}

void TGameListModel::SetFilter(const TGameFilter& filter) {
    view_.SetFilter(filter);
    Arrange();
}

void TGameListModel::Rearrange() { Arrange(); }

void TGameListModel::FriendMarksChanged() {
    if (view_.Count() > 0) emit dataChanged(index(0, 2), index(view_.Count() - 1, 2), {FriendMarkRole, Qt::ToolTipRole});
}

void TGameListModel::SetHeld(bool held) {
    held_ = held;
    if (!held_ && pending_) Arrange();
}

void TGameListModel::ScheduleArrange() {
    if (pending_) return;
    pending_ = true;
    // One arrangement per loop turn, however many replies arrived in it.
    QTimer::singleShot(0, this, [this] {
        if (pending_ && !held_) Arrange();
    });
}

void TGameListModel::Arrange() {
    if (held_) {
        pending_ = true;
        return;
    }
    pending_ = false;
    emit layoutAboutToBeChanged();
    // Persistent indexes (selection, current line) follow their server, not their position.
    const QModelIndexList before = persistentIndexList();
    std::vector<std::string> keys;
    keys.reserve(static_cast<std::size_t>(before.size()));
    for (const QModelIndex& i : before) {
        const bool valid = i.isValid() && i.row() < view_.Count();
        keys.push_back(valid ? ServerKey(view_.At(i.row()).Address(), view_.At(i.row()).Port()) : std::string());
    }
    view_.Rebuild();
    QModelIndexList after;
    for (qsizetype n = 0; n < before.size(); ++n) {
        const int line = keys[static_cast<std::size_t>(n)].empty() ? -1 : view_.IndexOfKey(keys[static_cast<std::size_t>(n)]);
        after.push_back(line < 0 ? QModelIndex() : index(line, before[n].column()));
    }
    changePersistentIndexList(before, after);
    emit layoutChanged();
    emit Arranged();
}

TGameRow* TGameListModel::RowAt(int line) const {
    return line >= 0 && line < view_.Count() ? view_.At(line).Row : nullptr;
}

int TGameListModel::rowCount(const QModelIndex& parent) const { return parent.isValid() ? 0 : view_.Count(); }

int TGameListModel::columnCount(const QModelIndex& parent) const {
    return parent.isValid() ? 0 : static_cast<int>(GameColumns.size()) + 1;
}

namespace {

// Texts from the network are single-byte; Latin-1 shows every byte as some character.
QString Text(const std::string& s) { return QString::fromLatin1(s.data(), static_cast<qsizetype>(s.size())); }

// The favourite mark before the server name.
const QString FavouriteMark = QStringLiteral("\u2605 ");

QColor PingColour(TPingBand band) {
    switch (band) {
    case TPingBand::Good: return QColor(0x1B, 0x8A, 0x2E);
    case TPingBand::Fair: return QColor(0xB0, 0x7A, 0x00);
    case TPingBand::Poor: return QColor(0xC0, 0x22, 0x22);
    case TPingBand::None: break;
    }
    return {};
}

}  // namespace

QVariant TGameListModel::data(const QModelIndex& index, int role) const {
    if (!index.isValid() || index.row() >= view_.Count() || index.column() >= columnCount()) return {};
    const TShownRow& line = view_.At(index.row());
    const int column = index.column();
    if (!line.Row) {
        // A favourite that stopped answering: its name, greyed, as "Offline".
        switch (role) {
        case Qt::DisplayRole:
            if (column == 0) return QString::fromLatin1(OfflineStatus);
            if (column == 2) return FavouriteMark + Text(line.Saved.Name);
            return {};
        case Qt::ForegroundRole: return QBrush(QGuiApplication::palette().color(QPalette::Disabled, QPalette::Text));
        case Qt::ToolTipRole: return QString("Offline: not answering");
        case Qt::DecorationRole:
            // An empty place for the mode icon: rows share one height, taken from the first.
            if (column == 0) return blank_;
            return {};
        }
        return {};
    }
    const TGameRow& row = *line.Row;
    const auto now = std::chrono::steady_clock::now();
    const bool marked = column == 2 && friendMarks_ && !friendMarks_->Empty() &&
                        (role == FriendMarkRole || role == Qt::ToolTipRole);
    const std::string friends = marked ? friendMarks_->On(row.Server) : std::string();
    if (role == FriendMarkRole) return friends.empty() ? QVariant() : QVariant(Text(friends));
    if (role == Qt::ToolTipRole && !friends.empty())
        return Text(friends) + QStringLiteral(" announced this game: click the name to join");
    switch (role) {
    case Qt::DisplayRole:
        switch (column) {
        case 0: return Text(row.Status);
        case 1: return Text(row.Players);
        case 2: return line.Favourite ? FavouriteMark + Text(row.Server) : Text(row.Server);
        case 3: return Text(row.Mission);
        case 4: return Text(row.Speed);
        case 5: return Text(row.Password);
        case 6: return Text(row.Dedicated);
        case 7: return Text(row.Campaign);
        case PingColumn: return row.PingMs < 0 ? QString() : QString::number(row.PingMs);
        }
        return {};
    case Qt::DecorationRole:
        if (column == 0 && row.Icon >= 0 && row.Icon < static_cast<int>(icons_.size()))
            return icons_[static_cast<std::size_t>(row.Icon)];
        return {};
    case Qt::ForegroundRole: {
        const int age = AgeSteps(row, now);
        QColor colour = column == PingColumn && row.PingMs >= 0 ? PingColour(PingBandOf(row.PingMs))
                                                                 : QGuiApplication::palette().color(QPalette::Text);
        if (age == 0 && column != PingColumn) return {};
        // Dimmed after one missed sweep, more after two.
        if (age > 0) colour.setAlpha(age == 1 ? 150 : 80);
        return QBrush(colour);
    }
    case Qt::ToolTipRole:
        if (AgeSteps(row, now) > 0) return Text(LastHeardText(row, now));
        return {};
    case Qt::TextAlignmentRole: {
        const bool right = column == PingColumn ||
                           GameColumns[static_cast<std::size_t>(column)].Alignment == TAlign::Right;
        return QVariant::fromValue(Qt::Alignment((right ? Qt::AlignRight : Qt::AlignLeft) | Qt::AlignVCenter));
    }
    }
    return {};
}

QVariant TGameListModel::headerData(int section, Qt::Orientation orientation, int role) const {
    if (orientation != Qt::Horizontal || section < 0 || section >= columnCount()) return {};
    if (section == PingColumn) {
        if (role == Qt::DisplayRole) return QString::fromLatin1(PingCaption);
        if (role == Qt::TextAlignmentRole) return QVariant::fromValue(Qt::Alignment(Qt::AlignRight | Qt::AlignVCenter));
        return {};
    }
    const auto& c = GameColumns[static_cast<std::size_t>(section)];
    if (role == Qt::DisplayRole) return QString::fromLatin1(c.Caption.data(), static_cast<qsizetype>(c.Caption.size()));
    if (role == Qt::TextAlignmentRole)
        return QVariant::fromValue(Qt::Alignment((c.Alignment == TAlign::Right ? Qt::AlignRight : Qt::AlignLeft) |
                                                 Qt::AlignVCenter));
    return {};
}

Qt::ItemFlags TGameListModel::flags(const QModelIndex& index) const {
    if (!index.isValid()) return Qt::NoItemFlags;
    return Qt::ItemIsEnabled | Qt::ItemIsSelectable | Qt::ItemNeverHasChildren;
}
