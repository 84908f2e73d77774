// SPDX-License-Identifier: GPL-3.0-or-later
// TGameListView: what one game list shows: sort order, filter, favourites, ping and ageing.
#include "tracker/GameListView.h"

#include <algorithm>
#include <charconv>
#include <limits>
#include <unordered_set>

namespace {

int Number(const std::string& text, int none) {
    int value = 0;
    auto [end, ec] = std::from_chars(text.data(), text.data() + text.size(), value);
    return ec == std::errc() && end == text.data() + text.size() ? value : none;
}

unsigned char Lower(unsigned char c) { return c >= 'A' && c <= 'Z' ? static_cast<unsigned char>(c + 32) : c; }

bool ContainsNoCase(const std::string& haystack, const std::string& needle) {
    return std::search(haystack.begin(), haystack.end(), needle.begin(), needle.end(), [](char a, char b) {
               return Lower(static_cast<unsigned char>(a)) == Lower(static_cast<unsigned char>(b));
           }) != haystack.end();
}

const std::string& ColumnText(const TGameRow& row, int column) {
    switch (column) {
    case 0: return row.Status;
    case 2: return row.Server;
    case 3: return row.Mission;
    case 4: return row.Speed;
    case 5: return row.Password;
    case 6: return row.Dedicated;
    default: return row.Campaign;
    }
}

int CompareTextNoCase(const std::string& a, const std::string& b) {
    const std::size_t n = std::min(a.size(), b.size());
    for (std::size_t i = 0; i < n; ++i) {
        const auto x = Lower(static_cast<unsigned char>(a[i])), y = Lower(static_cast<unsigned char>(b[i]));
        if (x != y) return x < y ? -1 : 1;
    }
    return a.size() == b.size() ? 0 : (a.size() < b.size() ? -1 : 1);
}

// An offline favourite as a row, so that one comparison and one filter serve both.
TGameRow OfflineRow(const TFavourite& f) {
    TGameRow row;
    row.Status = OfflineStatus;
    row.Server = f.Name;
    return row;
}

}  // namespace

TPingBand PingBandOf(int pingMs) {
    if (pingMs < 0) return TPingBand::None;
    if (pingMs < 100) return TPingBand::Good;
    if (pingMs < 250) return TPingBand::Fair;
    return TPingBand::Poor;
}

int AgeSteps(const TGameRow& row, std::chrono::steady_clock::time_point now) {
    int missed = Number(row.Miss, 0);
    if (missed > 0 && now - row.LastQuery < std::chrono::milliseconds(ReplyGraceMs)) --missed;
    return std::clamp(missed, 0, 2);
}

std::string LastHeardText(const TGameRow& row, std::chrono::steady_clock::time_point now) {
    if (row.LastHeard == std::chrono::steady_clock::time_point{}) return {};
    const auto s = std::chrono::duration_cast<std::chrono::seconds>(now - row.LastHeard).count();
    return "last heard " + std::to_string(std::max<long long>(s, 0)) + " s ago";
}

bool FilterPasses(const TGameRow& row, const TGameFilter& filter) {
    if (filter.FormingOnly && row.Status != "Forming") return false;
    if (filter.HideEmpty && Number(row.Players, 0) <= 0) return false;
    if (filter.HidePassworded && row.Password == "Yes") return false;
    if (!filter.Text.empty() && !ContainsNoCase(row.Server, filter.Text) && !ContainsNoCase(row.Mission, filter.Text))
        return false;
    return true;
}

int CompareColumn(const TGameRow& a, const TGameRow& b, int column) {
    if (column == 1 || column == PingColumn) {
        // Not a number (or no ping yet) sorts after every number.
        const int none = std::numeric_limits<int>::max();
        const int x = column == 1 ? Number(a.Players, none) : (a.PingMs < 0 ? none : a.PingMs);
        const int y = column == 1 ? Number(b.Players, none) : (b.PingMs < 0 ? none : b.PingMs);
        return x == y ? 0 : (x < y ? -1 : 1);
    }
    return CompareTextNoCase(ColumnText(a, column), ColumnText(b, column));
}

TGameListView::TGameListView(TGameList& list, int gameType, const TFavourites& favourites)
    : list_(list), gameType_(gameType), favourites_(favourites) {
    Rebuild();
}

void TGameListView::ClickHeading(int column) {
    if (order_ == TSortOrder::Arrival || column != column_) SetSort(column, TSortOrder::Ascending);
    else if (order_ == TSortOrder::Ascending) SetSort(column, TSortOrder::Descending);
    else SetSort(-1, TSortOrder::Arrival);
}

void TGameListView::SetSort(int column, TSortOrder order) {
    if (column < 0 || column > PingColumn) order = TSortOrder::Arrival;
    column_ = order == TSortOrder::Arrival ? -1 : column;
    order_ = order;
}

bool TGameListView::IsFavourite(const std::string& address, const std::string& port) const {
    return favourites_.Contains(gameType_, address, port);
}

void TGameListView::Rebuild() {
    std::vector<TShownRow> shown;
    shown.reserve(static_cast<std::size_t>(list_.Count()));
    std::unordered_set<std::string> listed;
    hidden_ = 0;
    const bool anyFavourite = std::any_of(favourites_.All().begin(), favourites_.All().end(),
                                          [&](const TFavourite& f) { return f.GameType == gameType_; });
    for (int i = 0; i < list_.Count(); ++i) {
        TGameRow& row = list_.Row(i);
        const bool favourite = anyFavourite && IsFavourite(row.Address(), row.Port());
        if (favourite) listed.insert(ServerKey(row.Address(), row.Port()));
        if (!FilterPasses(row, filter_)) {
            ++hidden_;
            continue;
        }
        shown.push_back({&row, favourite, {}});
    }
    const std::size_t rows = shown.size();
    for (const TFavourite& f : favourites_.All()) {
        if (f.GameType != gameType_ || listed.count(ServerKey(f.Address, f.Port))) continue;
        if (FilterPasses(OfflineRow(f), filter_)) shown.push_back({nullptr, true, f});
    }
    offline_ = static_cast<int>(shown.size() - rows);
    // Stable: equal lines keep arrival order, so a refresh never swaps them.
    std::stable_sort(shown.begin(), shown.end(), [this](const TShownRow& a, const TShownRow& b) {
        if (a.Favourite != b.Favourite) return a.Favourite;
        if (order_ == TSortOrder::Arrival) return false;
        const TGameRow ra = a.Row ? TGameRow() : OfflineRow(a.Saved);
        const TGameRow rb = b.Row ? TGameRow() : OfflineRow(b.Saved);
        const int c = CompareColumn(a.Row ? *a.Row : ra, b.Row ? *b.Row : rb, column_);
        return order_ == TSortOrder::Ascending ? c < 0 : c > 0;
    });
    identity_ = shown.size() == rows && rows == static_cast<std::size_t>(list_.Count()) &&
                std::none_of(shown.begin(), shown.end(), [](const TShownRow& s) { return s.Favourite; }) &&
                order_ == TSortOrder::Arrival;
    shown_ = std::move(shown);
}

int TGameListView::IndexOfKey(const std::string& key) const {
    for (std::size_t i = 0; i < shown_.size(); ++i)
        if (ServerKey(shown_[i].Address(), shown_[i].Port()) == key) return static_cast<int>(i);
    return -1;
}

int TGameListView::IndexOfRow(const TGameRow& row) const {
    if (identity_) return list_.IndexOf(row);
    for (std::size_t i = 0; i < shown_.size(); ++i)
        if (shown_[i].Row == &row) return static_cast<int>(i);
    return -1;
}

int TGameListView::RowAdded(TGameRow& row) {
    shown_.push_back({&row, false, {}});
    return Count() - 1;
}

int TGameListView::RowDeleting(const TGameRow& row, bool& turnedOffline) {
    turnedOffline = false;
    const int i = IndexOfRow(row);
    if (i < 0) return -1;
    TShownRow& line = shown_[static_cast<std::size_t>(i)];
    if (IsFavourite(row.Address(), row.Port())) {
        const TFavourite* f = favourites_.Find(row.Address(), row.Port());
        line.Saved = f ? *f : TFavourite{gameType_, row.Address(), row.Port(), row.Server};
        line.Saved.Name = row.Server.empty() ? line.Saved.Name : row.Server;
        line.Row = nullptr;
        line.Favourite = true;
        identity_ = false;
        ++offline_;
        turnedOffline = true;
    } else {
        shown_.erase(shown_.begin() + i);
    }
    return i;
}

namespace {

// The offline favourite line of a server; -1 for none.
int OfflineLineOf(const std::vector<TShownRow>& shown, const TGameRow& row) {
    for (std::size_t i = 0; i < shown.size(); ++i)
        if (!shown[i].Row && shown[i].Saved.Address == row.Address() && shown[i].Saved.Port == row.Port())
            return static_cast<int>(i);
    return -1;
}

}  // namespace

int TGameListView::ReturningLine(const TGameRow& row) const {
    if (offline_ == 0 || row.Address().empty() || OfflineLineOf(shown_, row) < 0) return -1;
    return IndexOfRow(row);
}

int TGameListView::TakeBack(TGameRow& row) {
    const int own = ReturningLine(row);
    if (own < 0) return -1;
    shown_.erase(shown_.begin() + own);
    const int line = OfflineLineOf(shown_, row);
    shown_[static_cast<std::size_t>(line)].Row = &row;
    --offline_;
    return line;
}
