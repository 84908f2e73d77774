// TGamesPageView: the widgets of the games page: headings, the four game lists and buttons.
#pragma once

#include "shell/Anchors.h"
#include "shell/GameListModel.h"
#include "shell/LayoutRule.h"

#include <QLabel>
#include <QPushButton>
#include <QTreeView>
#include <QWidget>

#include <array>
#include <functional>

class TGamesPage;

// The games page's client area as designed; the control positions are given in it.
inline constexpr int GamesPageDesignedWidth = 795;
inline constexpr int GamesPageDesignedHeight = 360;

class TGamesPageView : public QWidget {
    Q_OBJECT
public:
    // The page must outlive the view: the models take its lists' row events.
    TGamesPageView(TGamesPage& page, std::array<QIcon, 3> modeIcons, QWidget* parent = nullptr);

    // Indexed in code order: FreeSpace 2, Beyond the Red Line Demo, Wing Commander Saga, Starfox.
    QLabel* Heading(int gameType) const { return headings_[static_cast<std::size_t>(gameType)]; }
    QTreeView* List(int gameType) const { return lists_[static_cast<std::size_t>(gameType)]; }
    QPushButton* Button1() const { return refresh_; }   // "Refresh"
    QLabel* Label1() const { return refreshing_; }       // "Refreshing servers..."
    QPushButton* Button2() const { return udpCheck_; }  // "UDPCheck"

    // The layout rule over the page's current height for the given enabled games.
    void ApplyLayout(const std::array<bool, 4>& enabled);

    // The index of the list's selected row; -1 for none.
    int SelectedRow(int gameType) const;

    // A double click anywhere in one of the lists, with its selected row (-1 for none).
    std::function<void(int gameType, int selectedRow)> OnListDoubleClick;

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;
    void changeEvent(QEvent* event) override;

private:
    TAnchors* anchors_;
    std::array<QLabel*, 4> headings_{};
    std::array<QTreeView*, 4> lists_{};
    std::array<TGameListModel*, 4> models_{};
    std::array<TGameSlot, 4> slots_{};
    QPushButton* refresh_;
    QLabel* refreshing_;
    QPushButton* udpCheck_;
};
