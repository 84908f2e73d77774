// TGameListModel: rows, columns and mode icons of one game list for a Qt view.
#include "shell/GameListModel.h"

#include "tracker/GameTypes.h"

TGameListModel::TGameListModel(TGameList& list, std::array<QIcon, 3> modeIcons, QObject* parent)
    : QAbstractTableModel(parent), list_(list), icons_(std::move(modeIcons)) {
    // Exact begin/end pairs let the views keep their selection and scroll position while
    // replies add, refresh and drop rows under the user's eyes.
    list_.OnRowInserting = [this](TGameList&, int i) { beginInsertRows({}, i, i); };
    list_.OnRowInserted = [this](TGameList&, int) { endInsertRows(); };
    list_.OnRowDeleting = [this](TGameList&, int i) { beginRemoveRows({}, i, i); };
    list_.OnRowDeleted = [this](TGameList&, int) { endRemoveRows(); };
    list_.OnRowChanged = [this](TGameList&, int i) {
        emit dataChanged(index(i, 0), index(i, static_cast<int>(GameColumns.size()) - 1));
    };
}

TGameListModel::~TGameListModel() {
    list_.OnRowInserting = nullptr;
    list_.OnRowInserted = nullptr;
    list_.OnRowDeleting = nullptr;
    list_.OnRowDeleted = nullptr;
    list_.OnRowChanged = nullptr;
}

int TGameListModel::rowCount(const QModelIndex& parent) const { return parent.isValid() ? 0 : list_.Count(); }

int TGameListModel::columnCount(const QModelIndex& parent) const {
    return parent.isValid() ? 0 : static_cast<int>(GameColumns.size());
}

namespace {

// Texts from the network are single-byte; Latin-1 shows every byte as some character.
QString Text(const std::string& s) { return QString::fromLatin1(s.data(), static_cast<qsizetype>(s.size())); }

}  // namespace

QVariant TGameListModel::data(const QModelIndex& index, int role) const {
    if (!index.isValid() || index.row() >= list_.Count() || index.column() >= columnCount()) return {};
    const TGameRow& row = list_.Row(index.row());
    const int column = index.column();
    switch (role) {
    case Qt::DisplayRole:
        switch (column) {
        case 0: return Text(row.Status);
        case 1: return Text(row.Players);
        case 2: return Text(row.Server);
        case 3: return Text(row.Mission);
        case 4: return Text(row.Speed);
        case 5: return Text(row.Password);
        case 6: return Text(row.Dedicated);
        case 7: return Text(row.Campaign);
        }
        return {};
    case Qt::DecorationRole:
        if (column == 0 && row.Icon >= 0 && row.Icon < static_cast<int>(icons_.size()))
            return icons_[static_cast<std::size_t>(row.Icon)];
        return {};
    case Qt::TextAlignmentRole: {
        const auto align = GameColumns[static_cast<std::size_t>(column)].Alignment == TAlign::Right
                               ? Qt::AlignRight
                               : Qt::AlignLeft;
        return QVariant::fromValue(Qt::Alignment(align | Qt::AlignVCenter));
    }
    }
    return {};
}

QVariant TGameListModel::headerData(int section, Qt::Orientation orientation, int role) const {
    if (orientation != Qt::Horizontal || section < 0 || section >= columnCount()) return {};
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
