// SPDX-License-Identifier: GPL-3.0-or-later
// TGameList: one game list, its rows in shown order and an index by server.
#include "tracker/GameList.h"

#include <algorithm>
#include <stdexcept>

std::string ServerKey(const std::string& address, const std::string& port) {
    return std::to_string(address.size()) + ':' + address + port;
}

TGameRow* TGameList::Find(const std::string& address, const std::string& port) const {
    return FindKey(ServerKey(address, port));
}

TGameRow* TGameList::FindKey(const std::string& key) const {
    auto it = index_.find(key);
    return it == index_.end() ? nullptr : it->second;
}

int TGameList::IndexOf(const TGameRow& row) const {
    int lo = 0, hi = Count();
    while (lo < hi) {
        const int mid = lo + (hi - lo) / 2;
        if (Row(mid).seq_ < row.seq_) lo = mid + 1;
        else hi = mid;
    }
    return lo < Count() && &Row(lo) == &row ? lo : -1;
}

void TGameList::MoveGap(std::size_t to) {
    const std::size_t len = gapEnd_ - gapStart_;
    if (len == 0) {
        gapStart_ = gapEnd_ = to;
        return;
    }
    if (to < gapStart_) {
        std::move_backward(slots_.begin() + to, slots_.begin() + gapStart_, slots_.begin() + gapEnd_);
    } else if (to > gapStart_) {
        std::move(slots_.begin() + gapEnd_, slots_.begin() + gapEnd_ + (to - gapStart_),
                  slots_.begin() + gapStart_);
    }
    gapStart_ = to;
    gapEnd_ = to + len;
}

TGameRow& TGameList::Add() {
    const int index = Count();
    if (OnRowInserting) OnRowInserting(*this, index);
    // Appending needs the gap at the end, where it can simply be dropped.
    MoveGap(static_cast<std::size_t>(index));
    slots_.resize(static_cast<std::size_t>(index));
    auto row = std::make_unique<TGameRow>();
    row->seq_ = nextSeq_++;
    TGameRow& added = *row;
    slots_.push_back(std::move(row));
    gapStart_ = gapEnd_ = slots_.size();
    if (OnRowInserted) OnRowInserted(*this, index);
    return added;
}

void TGameList::SetServer(TGameRow& row, const std::string& address, const std::string& port) {
    if (address == row.address_ && port == row.port_) return;
    std::string key = ServerKey(address, port);
    auto it = index_.find(key);
    if (it != index_.end() && it->second != &row)
        throw std::logic_error("game list: server " + address + ":" + port + " is listed twice");
    if (!row.address_.empty() || !row.port_.empty()) index_.erase(ServerKey(row.address_, row.port_));
    row.address_ = address;
    row.port_ = port;
    if (!address.empty() || !port.empty()) index_.emplace(std::move(key), &row);
}

void TGameList::Delete(int index) {
    if (index < 0 || index >= Count()) throw std::out_of_range("game list: no row " + std::to_string(index));
    if (OnRowDeleting) OnRowDeleting(*this, index);
    MoveGap(static_cast<std::size_t>(index));
    std::unique_ptr<TGameRow>& slot = slots_[gapEnd_];
    if (!slot->address_.empty() || !slot->port_.empty()) {
        auto it = index_.find(ServerKey(slot->address_, slot->port_));
        if (it != index_.end() && it->second == slot.get()) index_.erase(it);
    }
    slot.reset();
    ++gapEnd_;
    if (OnRowDeleted) OnRowDeleted(*this, index);
}

void TGameList::Changed(const TGameRow& row) {
    const int index = IndexOf(row);
    if (index >= 0 && OnRowChanged) OnRowChanged(*this, index);
}
