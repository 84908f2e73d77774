// SPDX-License-Identifier: GPL-3.0-or-later
// TGameListView: what one game list shows: sort order, filter, favourites, ping and ageing.
#pragma once

#include "tracker/Favourites.h"
#include "tracker/GameList.h"

#include <chrono>
#include <string>
#include <vector>

// The ninth column, after "Campaign"; shown when the user switches it on.
inline constexpr int PingColumn = 8;
inline constexpr const char* PingCaption = "Ping";
inline constexpr const char* OfflineStatus = "Offline";

// A reply later than this after its query counts that query as missed for the ageing marks.
inline constexpr int ReplyGraceMs = 2000;

enum class TPingBand { None, Good, Fair, Poor };
TPingBand PingBandOf(int pingMs);

// Sweeps a row has missed for its dimming, 0 to 2: queries unanswered, not counting one still
// within ReplyGraceMs of leaving.
int AgeSteps(const TGameRow& row, std::chrono::steady_clock::time_point now);
// "last heard N s ago"; empty for a row never heard.
std::string LastHeardText(const TGameRow& row, std::chrono::steady_clock::time_point now);

struct TGameFilter {
    std::string Text;  // over server and mission names, letter case ignored
    bool FormingOnly = false;
    bool HideEmpty = false;
    bool HidePassworded = false;

    bool Active() const { return !Text.empty() || FormingOnly || HideEmpty || HidePassworded; }
    bool operator==(const TGameFilter&) const = default;
};
bool FilterPasses(const TGameRow& row, const TGameFilter& filter);

enum class TSortOrder { Arrival, Ascending, Descending };

// Orders two rows by a column: "Players" and "Ping" as numbers (unanswered ping last), the
// others as texts. Negative, zero or positive.
int CompareColumn(const TGameRow& a, const TGameRow& b, int column);

// One shown line: a row of the list, or a favourite that is not listed (offline).
struct TShownRow {
    TGameRow* Row = nullptr;  // null for an offline favourite
    bool Favourite = false;
    TFavourite Saved;  // what an offline favourite shows

    const std::string& Address() const { return Row ? Row->Address() : Saved.Address; }
    const std::string& Port() const { return Row ? Row->Port() : Saved.Port; }
};

class TGameListView {
public:
    // The list and the favourites must outlive the view.
    TGameListView(TGameList& list, int gameType, const TFavourites& favourites);

    int GameType() const { return gameType_; }
    TGameList& List() { return list_; }

    // A heading click: a new column sorts ascending, the same column then descending, then
    // arrival order again.
    void ClickHeading(int column);
    void SetSort(int column, TSortOrder order);
    int SortColumn() const { return order_ == TSortOrder::Arrival ? -1 : column_; }
    TSortOrder Order() const { return order_; }

    void SetFilter(const TGameFilter& filter) { filter_ = filter; }
    const TGameFilter& Filter() const { return filter_; }

    // Computes the shown lines afresh from the list, the favourites, filter and order.
    void Rebuild();
    // True when the lines follow the list one to one, in its order: the list's own row
    // events then apply unchanged.
    bool Identity() const { return identity_; }

    int Count() const { return static_cast<int>(shown_.size()); }
    const TShownRow& At(int index) const { return shown_[static_cast<std::size_t>(index)]; }
    // The line of a server; -1 when it is not shown.
    int IndexOfKey(const std::string& key) const;
    int IndexOfRow(const TGameRow& row) const;
    // Rows of the list the filter hides, as of the last Rebuild.
    int Hidden() const { return hidden_; }

    // Between rebuilds, the list's row events keep the lines in step without moving any:
    // a new row is shown last, a deleted favourite turns offline where it stands, another
    // deleted row goes. Each returns the line touched, or -1.
    int RowAdded(TGameRow& row);
    int RowDeleting(const TGameRow& row, bool& turnedOffline);
    // A row added since the last rebuild answered as the server of an offline favourite (its
    // address is only known after it was added): the line it got at the bottom, which must go
    // as the favourite's line takes the row back; -1 when it is no such row.
    int ReturningLine(const TGameRow& row) const;
    // Gives the row to the favourite's line and drops its own; returns the favourite's line.
    int TakeBack(TGameRow& row);

private:
    bool IsFavourite(const std::string& address, const std::string& port) const;

    TGameList& list_;
    int gameType_;
    const TFavourites& favourites_;
    int column_ = -1;
    TSortOrder order_ = TSortOrder::Arrival;
    TGameFilter filter_;
    std::vector<TShownRow> shown_;
    int hidden_ = 0;
    int offline_ = 0;  // offline favourite lines: none in the common case, which skips the search
    bool identity_ = true;
};
