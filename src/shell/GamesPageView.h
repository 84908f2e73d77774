// SPDX-License-Identifier: GPL-3.0-or-later
// TGamesPageView: the widgets of the games page: headings, the four game lists and buttons.
#pragma once

#include "shell/AddServerDialog.h"
#include "shell/Anchors.h"
#include "shell/GameListModel.h"
#include "shell/LayoutRule.h"

#include "tracker/Favourites.h"
#include "tracker/GamesViewSettings.h"

#include <QCheckBox>
#include <QLabel>
#include <QLineEdit>
#include <QMenu>
#include <QPointer>
#include <QPushButton>
#include <QTimer>
#include <QTreeView>
#include <QWidget>

#include <array>
#include <functional>

class TGamesPage;

// The games page's client area as designed; the control positions are given in it.
inline constexpr int GamesPageDesignedWidth = 795;
inline constexpr int GamesPageDesignedHeight = 360;
// The filter bar above the lists takes this much of the page's height.
inline constexpr int FilterBarHeight = 24;

class TGamesPageView : public QWidget {
    Q_OBJECT
public:
    // The page must outlive the view: the models take its lists' row events.
    TGamesPageView(TGamesPage& page, std::array<QIcon, 3> modeIcons, QWidget* parent = nullptr);
    ~TGamesPageView() override;

    // Indexed in code order: FreeSpace 2, Beyond the Red Line Demo, Wing Commander Saga, Starfox.
    QLabel* Heading(int gameType) const { return headings_[static_cast<std::size_t>(gameType)]; }
    QTreeView* List(int gameType) const { return lists_[static_cast<std::size_t>(gameType)]; }
    QPushButton* Button1() const { return refresh_; }   // "Refresh"
    QLabel* Label1() const { return refreshing_; }       // "Refreshing servers..."
    QPushButton* Button2() const { return udpCheck_; }  // "UDPCheck"
    QPushButton* btnAddServer() const { return addServer_; }  // "Add server..."
    // The line about the tracker's last walk; hidden while it is empty.
    QLabel* lbTrackerNotice() const { return notice_; }
    void ShowTrackerNotice(const QString& text);

    // "Add server...": the dialog, made for the given game type's list (-1: FreeSpace 2).
    TfrmAddServer* AddServerClick(int gameType = -1);
    QPointer<TfrmAddServer> frmAddServer;
    // How the dialog looks host names up; tests answer for names that must not leave here.
    TLookUpHost LookUpHost = LookUpHostAsync;
    // Keeps a server as a favourite and asks it at once; empty, or why it was not kept.
    std::string AddFavourite(int gameType, const std::string& address, const std::string& port,
                             const std::string& name);
    // The favourites as a shared list in a file, and a list read into them (nothing already
    // kept is lost). Both return what to tell the user; error says whether it is a failure.
    std::string ExportFavourites(const QString& path, bool& error);
    std::string ImportFavourites(const QString& path, bool& error);
    // Tells the user the outcome of an export or import (a message box in the window).
    std::function<void(const std::string& text, bool error)> OnReport;

    // The layout rule over the page's current height for the given enabled games.
    void ApplyLayout(const std::array<bool, 4>& enabled);

    // The list index of the selected row (not its line, which sorting moves); -1 for none or
    // for an offline favourite.
    int SelectedRow(int gameType) const;
    // Selects the line of a list row and brings it into sight.
    void SelectRow(int gameType, int listIndex);
    TGameListModel* Model(int gameType) const { return models_[static_cast<std::size_t>(gameType)]; }

    // A double click anywhere in one of the lists, Enter on it or "Join" from its menu, with
    // its selected row (-1 for none).
    std::function<void(int gameType, int selectedRow)> OnListDoubleClick;

    // The filter bar.
    QLineEdit* FilterText() const { return filterText_; }
    QCheckBox* FormingOnly() const { return formingOnly_; }
    QCheckBox* HideEmpty() const { return hideEmpty_; }
    QCheckBox* HidePassworded() const { return hidePassworded_; }
    QCheckBox* ShowPing() const { return showPing_; }
    QLabel* HiddenLabel() const { return hidden_; }

    // The right-click menu of a list for the line at a position of its viewport; null over
    // no line. The caller owns it (exec() it or inspect it).
    QMenu* ContextMenu(int gameType, QPoint viewportPos);
    // "Copy address" of the menu puts ADDRESS:PORT here as well as on the clipboard.
    const TFavourites& Favourites() const { return favourites_; }

    // The arrangement as the settings keep it, and applying one read from them.
    TGamesViewSettings ViewSettings() const;
    void ApplyViewSettings(const TGamesViewSettings& view);
    // The user changed the arrangement or the favourites and then paused for kSaveDelayMs:
    // time to save. A filter typed key by key is saved once, not with a file write per key.
    std::function<void()> OnViewSettingsChange;
    static constexpr int kSaveDelayMs = 1000;
    // A change still waiting for the pause is saved now (the window closes).
    void SaveViewSettingsNow();

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;
    void changeEvent(QEvent* event) override;

private:
    void HeadingClicked(int column);
    // A click on a friend's badge in a "Server" cell joins that row; true when it was one.
    bool FriendMarkClicked(QObject* watched, QEvent* event);
    void FilterChanged();
    void ShowHidden();
    void ExportFavouritesClick();
    void ImportFavouritesClick();
    void AddGeneralActions(QMenu* menu, int gameType);
    void ToggleFavourite(int gameType, const std::string& address, const std::string& port, const std::string& name);
    void ApplySortToViews();
    void Changed();

    TGamesPage& page_;
    TFavourites favourites_;
    int sortColumn_ = -1;
    TSortOrder sortOrder_ = TSortOrder::Arrival;
    bool applying_ = false;
    bool skipMarkRelease_ = false;
    QTimer saveDelay_;
    QLineEdit* filterText_;
    QCheckBox* formingOnly_;
    QCheckBox* hideEmpty_;
    QCheckBox* hidePassworded_;
    QCheckBox* showPing_;
    QLabel* hidden_;
    TAnchors* anchors_;
    std::array<QLabel*, 4> headings_{};
    std::array<QTreeView*, 4> lists_{};
    std::array<TGameListModel*, 4> models_{};
    std::array<TGameSlot, 4> slots_{};
    QPushButton* refresh_;
    QLabel* refreshing_;
    QPushButton* udpCheck_;
    QPushButton* addServer_;
    QLabel* notice_;
};
