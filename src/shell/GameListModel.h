// TGameListModel: a Qt table model over one game list, following its row events live.
#pragma once

#include "tracker/GameList.h"

#include <QAbstractTableModel>
#include <QIcon>

#include <array>

class TGameListModel : public QAbstractTableModel {
    Q_OBJECT
public:
    // Takes the list's row events for itself; the list must outlive the model.
    TGameListModel(TGameList& list, std::array<QIcon, 3> modeIcons, QObject* parent = nullptr);
    ~TGameListModel() override;

    int rowCount(const QModelIndex& parent = {}) const override;
    int columnCount(const QModelIndex& parent = {}) const override;
    QVariant data(const QModelIndex& index, int role) const override;
    QVariant headerData(int section, Qt::Orientation orientation, int role) const override;
    Qt::ItemFlags flags(const QModelIndex& index) const override;

    TGameList& List() { return list_; }

private:
    TGameList& list_;
    std::array<QIcon, 3> icons_;
};
