// SPDX-License-Identifier: GPL-3.0-or-later
// The game list model as views see it: roles, and rows that come and go under a selection.
#include "shell/GameListModel.h"

#include <QApplication>
#include <QItemSelectionModel>
#include <QPixmap>
#include <QSignalSpy>
#include <gtest/gtest.h>

namespace {

class GameListModelTest : public ::testing::Test {
protected:
    int argc = 1;
    char arg0[8] = "test";
    char* argv[2] = {arg0, nullptr};
    QApplication app{argc, argv};
    TGameList list;

    static std::array<QIcon, 3> Icons() {
        std::array<QIcon, 3> icons;
        for (int i = 0; i < 3; ++i) {
            QPixmap p(16, 16);
            p.fill(QColor(i * 80, 200, 0));
            icons[static_cast<std::size_t>(i)] = QIcon(p);
        }
        return icons;
    }

    TGameRow& AddServer(const std::string& address, const std::string& port, const std::string& name) {
        TGameRow& row = list.Add();
        list.SetServer(row, address, port);
        row.Server = name;
        list.Changed(row);
        return row;
    }
};

TEST_F(GameListModelTest, ShowsTheEightColumnsWithIconAndAlignment) {
    TGameListModel model(list, Icons());
    EXPECT_EQ(model.columnCount(), 9);  // "Ping" last, hidden by the page until switched on
    const char* captions[] = {"Status", "Players", "Server", "Mission", "Speed", "Password", "Dedicated", "Campaign"};
    for (int c = 0; c < 8; ++c)
        EXPECT_EQ(model.headerData(c, Qt::Horizontal, Qt::DisplayRole).toString(), captions[c]);

    TGameRow& row = AddServer("127.0.0.1", "7808", "Alpha \xE9");
    row.Status = "Playing";
    row.Icon = 2;
    row.Players = "12";
    row.Mission = "Op / m.fs2";
    row.Campaign = "-";
    list.Changed(row);
    ASSERT_EQ(model.rowCount(), 1);
    EXPECT_EQ(model.data(model.index(0, 0), Qt::DisplayRole).toString(), "Playing");
    EXPECT_EQ(model.data(model.index(0, 1), Qt::DisplayRole).toString(), "12");
    // Server names are single-byte texts: every byte shows as one character.
    EXPECT_EQ(model.data(model.index(0, 2), Qt::DisplayRole).toString(), QString::fromLatin1("Alpha \xE9"));
    EXPECT_EQ(model.data(model.index(0, 7), Qt::DisplayRole).toString(), "-");

    const QIcon icon = model.data(model.index(0, 0), Qt::DecorationRole).value<QIcon>();
    EXPECT_EQ(icon.pixmap(16, 16).toImage().pixelColor(8, 8), QColor(160, 200, 0));
    EXPECT_FALSE(model.data(model.index(0, 1), Qt::DecorationRole).isValid());

    auto align = [&](int c) { return model.data(model.index(0, c), Qt::TextAlignmentRole).value<Qt::Alignment>(); };
    EXPECT_TRUE(align(1) & Qt::AlignRight);
    for (int c : {0, 2, 3, 4, 5, 6, 7}) EXPECT_TRUE(align(c) & Qt::AlignLeft) << c;

    row.Icon = -1;  // a new row has no icon
    EXPECT_FALSE(model.data(model.index(0, 0), Qt::DecorationRole).isValid());
    EXPECT_FALSE(model.flags(model.index(0, 0)) & Qt::ItemIsEditable);
}

TEST_F(GameListModelTest, SelectionStaysOnItsServerWhileRowsComeAndGo) {
    TGameListModel model(list, Icons());
    QItemSelectionModel selection(&model);
    AddServer("10.0.0.1", "1", "A");
    AddServer("10.0.0.2", "2", "B");
    AddServer("10.0.0.3", "3", "C");
    selection.select(model.index(1, 0), QItemSelectionModel::ClearAndSelect | QItemSelectionModel::Rows);
    selection.setCurrentIndex(model.index(1, 0), QItemSelectionModel::NoUpdate);

    list.Delete(0);  // the row above the selection goes
    ASSERT_EQ(selection.selectedRows().size(), 1);
    EXPECT_EQ(model.data(selection.selectedRows()[0].siblingAtColumn(2), Qt::DisplayRole).toString(), "B");

    AddServer("10.0.0.4", "4", "D");  // appended below
    ASSERT_EQ(selection.selectedRows().size(), 1);
    EXPECT_EQ(selection.selectedRows()[0].row(), 0);
    EXPECT_EQ(selection.currentIndex().row(), 0);

    list.Delete(0);  // the selected row itself goes: nothing stays selected
    EXPECT_TRUE(selection.selectedRows().isEmpty());
    EXPECT_EQ(model.rowCount(), 2);
}

TEST_F(GameListModelTest, ARefreshedRowIsReportedAsChangedInAllColumns) {
    TGameListModel model(list, Icons());
    TGameRow& row = AddServer("10.0.0.1", "1", "A");
    AddServer("10.0.0.2", "2", "B");
    QSignalSpy changed(&model, &QAbstractItemModel::dataChanged);
    QSignalSpy reset(&model, &QAbstractItemModel::modelReset);
    row.Players = "5";
    list.Changed(row);
    ASSERT_EQ(changed.size(), 1);
    EXPECT_EQ(changed[0][0].value<QModelIndex>(), model.index(0, 0));
    EXPECT_EQ(changed[0][1].value<QModelIndex>(), model.index(0, 8));
    EXPECT_EQ(reset.size(), 0);
}

TEST_F(GameListModelTest, AGoneModelLeavesTheListsEventsFree) {
    {
        TGameListModel model(list, Icons());
    }
    EXPECT_FALSE(list.OnRowInserting);
    EXPECT_FALSE(list.OnRowChanged);
    AddServer("10.0.0.1", "1", "A");  // must not call into the gone model
    EXPECT_EQ(list.Count(), 1);
}

}  // namespace
