// SPDX-License-Identifier: GPL-3.0-or-later
// TGameListModel: a Qt table model over one game list as arranged by its TGameListView.
#pragma once

#include "tracker/FriendMarks.h"
#include "tracker/GameList.h"
#include "tracker/GameListView.h"

#include <QAbstractTableModel>
#include <QIcon>
#include <QTimer>

#include <array>

// The friends playing on a line's server, for the mark drawn in its "Server" cell.
inline constexpr int FriendMarkRole = Qt::UserRole + 1;

class TGameListModel : public QAbstractTableModel {
    Q_OBJECT
public:
    // Takes the list's row events for itself; the list (and the favourites) must outlive the model.
    TGameListModel(TGameList& list, std::array<QIcon, 3> modeIcons, QObject* parent = nullptr);
    TGameListModel(TGameList& list, int gameType, const TFavourites& favourites, std::array<QIcon, 3> modeIcons,
                   QObject* parent = nullptr);
    ~TGameListModel() override;

    int rowCount(const QModelIndex& parent = {}) const override;
    int columnCount(const QModelIndex& parent = {}) const override;
    QVariant data(const QModelIndex& index, int role) const override;
    QVariant headerData(int section, Qt::Orientation orientation, int role) const override;
    Qt::ItemFlags flags(const QModelIndex& index) const override;

    TGameList& List() { return list_; }
    TGameListView& View() { return view_; }
    // The row of the list shown on a line; null for an offline favourite or a bad line.
    TGameRow* RowAt(int line) const;

    // Sort and filter take effect at once; the selection follows its server.
    void SetSort(int column, TSortOrder order);
    void SetFilter(const TGameFilter& filter);
    // Favourites changed: arrange again.
    void Rearrange();
    // Where the friend marks come from (null: none); it must outlive the model.
    void SetFriendMarks(const TFriendMarks* marks) { friendMarks_ = marks; }
    // The marks changed: the "Server" cells are drawn again.
    void FriendMarksChanged();
    // While held, refreshes change texts but never move lines; the arrangement waits for the
    // release. The view holds the list while the pointer is over it.
    void SetHeld(bool held);
    bool Held() const { return held_; }

signals:
    // After the lines were arranged anew (the view keeps its selection in sight).
    void Arranged();

private:
    // Sorting, filtering or a favourite of this list: lines then differ from the list's rows.
    bool Arranging() const;
    void ScheduleArrange();
    void Arrange();
    void Bind();

    TGameList& list_;
    TFavourites ownFavourites_;  // the empty set for a model made without any
    TGameListView view_;
    std::array<QIcon, 3> icons_;
    const TFriendMarks* friendMarks_ = nullptr;
    QIcon blank_;
    bool held_ = false;
    bool pending_ = false;
    QTimer ageing_;  // repaints the ageing marks and tooltips as time passes
};
