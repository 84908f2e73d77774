// SPDX-License-Identifier: GPL-3.0-or-later
// TGameRow and TGameList: one game list, its rows in shown order and an index by server.
#pragma once

#include <chrono>
#include <cstdint>
#include <functional>
#include <memory>
#include <string>
#include <unordered_map>
#include <vector>

// A server's identity: address and port texts, compared exactly. Length-prefixed so that no
// two different pairs give the same key.
std::string ServerKey(const std::string& address, const std::string& port);

class TGameRow {
public:
    // The eight shown columns.
    std::string Status;
    int Icon = -1;  // mode icon 0, 1 or 2; -1 for none
    std::string Players;
    std::string Server;
    std::string Mission;
    std::string Speed;
    std::string Password;
    std::string Dedicated;
    std::string Campaign;
    // Hidden: status queries sent since the last reply, "0", "1" or "2".
    std::string Miss;
    // Milliseconds from the query to the reply last read; -1 until one is measured.
    int PingMs = -1;
    // When the last reply was read and the last sweep query left; zero until then.
    std::chrono::steady_clock::time_point LastHeard{};
    std::chrono::steady_clock::time_point LastQuery{};

    // Hidden identity; set through TGameList::SetServer, which keeps the index right.
    const std::string& Address() const { return address_; }
    const std::string& Port() const { return port_; }
    // Grows with each row appended to a list: the arrival order.
    std::uint64_t Arrival() const { return seq_; }

private:
    friend class TGameList;
    std::string address_;
    std::string port_;
    std::uint64_t seq_ = 0;  // grows with each appended row, so it orders the rows
};

class TGameList {
public:
    TGameList() = default;
    TGameList(const TGameList&) = delete;
    TGameList& operator=(const TGameList&) = delete;

    int Count() const { return static_cast<int>(slots_.size() - (gapEnd_ - gapStart_)); }
    // index must lie in 0 .. Count() - 1.
    TGameRow& Row(int index) { return *slots_[Physical(index)]; }
    const TGameRow& Row(int index) const { return *slots_[Physical(index)]; }

    // The row of a server, in constant time; null when the list has none.
    TGameRow* Find(const std::string& address, const std::string& port) const;
    // The same by a ServerKey, for callers that look one server up in several lists.
    TGameRow* FindKey(const std::string& key) const;
    // The position of a row of this list, in logarithmic time; -1 for a row of another list.
    int IndexOf(const TGameRow& row) const;

    // Appends an empty row at the bottom and returns it.
    TGameRow& Add();
    // Gives a row its server identity. At most one row per server: throws std::logic_error
    // when another row of this list already has it.
    void SetServer(TGameRow& row, const std::string& address, const std::string& port);
    // Removes the row at index; cheap when deletions walk from the bottom up.
    void Delete(int index);
    // Raises OnRowChanged for a row whose shown texts were changed.
    void Changed(const TGameRow& row);

    // Row events, with the row's index. The "-ing" events come before the change, while the
    // list still has its old shape, as item models need.
    std::function<void(TGameList& sender, int index)> OnRowInserting;
    std::function<void(TGameList& sender, int index)> OnRowInserted;
    std::function<void(TGameList& sender, int index)> OnRowDeleting;
    std::function<void(TGameList& sender, int index)> OnRowDeleted;
    std::function<void(TGameList& sender, int index)> OnRowChanged;

private:
    std::size_t Physical(int index) const {
        const auto i = static_cast<std::size_t>(index);
        return i < gapStart_ ? i : i + (gapEnd_ - gapStart_);
    }
    void MoveGap(std::size_t to);

    // A gap buffer: rows in shown order with an empty stretch [gapStart_, gapEnd_) that
    // follows the last deletion. A sweep deletes from the bottom up, so the gap only travels
    // once over the list per sweep instead of shifting the tail at every deletion.
    std::vector<std::unique_ptr<TGameRow>> slots_;
    std::size_t gapStart_ = 0;
    std::size_t gapEnd_ = 0;
    std::unordered_map<std::string, TGameRow*> index_;
    std::uint64_t nextSeq_ = 1;
};
