// SPDX-License-Identifier: GPL-3.0-or-later
// The tracker's wire format: the request, the reply collected up to its end marker, the records.
#include "tracker/TrackerReply.h"

std::string TrackerRequest() { return std::string("\x01\x00\x00\x00", 4) + std::string(8, '\xFF'); }

std::string TrackerEndMarker() { return std::string("\x02\x00\x00\x00TERM", 8); }

TTrackerReply::TProgress TTrackerReply::Add(std::string_view chunk) {
    if (state_ != rpMore) return state_;
    static const std::string marker = TrackerEndMarker();
    // The last bytes already held may be the start of a marker this chunk completes.
    const std::size_t from = bytes_.size() >= marker.size() - 1 ? bytes_.size() - (marker.size() - 1) : 0;
    bytes_.append(chunk);
    const std::size_t at = bytes_.find(marker, from);
    if (at != std::string::npos) {
        bytes_.resize(at);
        state_ = rpComplete;
    }
    // Up to seven held bytes may still turn out to be the start of the marker.
    const std::size_t limit = state_ == rpComplete ? max_ : max_ + marker.size() - 1;
    if (bytes_.size() > limit) {
        bytes_.clear();
        bytes_.shrink_to_fit();
        state_ = rpOverflow;
    }
    return state_;
}

void TTrackerReply::Clear() {
    bytes_.clear();
    // A large reply's memory is not kept for the rest of the run.
    if (bytes_.capacity() > 64 * TrackerRecordSize) bytes_.shrink_to_fit();
    state_ = rpMore;
}

std::unique_ptr<TAdvancedArray> ParseTrackerRecords(std::string_view reply, const std::string& gameTypeCode,
                                                    TMessageBoxes& boxes) {
    auto table = std::make_unique<TAdvancedArray>(3, boxes);
    for (std::size_t at = 0; reply.size() - at >= TrackerRecordSize; at += TrackerRecordSize) {
        const std::string_view field = reply.substr(at + TrackerAddressOffset, TrackerAddressSize);
        const std::size_t zero = field.find('\0');
        const std::string address = zero == std::string_view::npos ? std::string() : std::string(field.substr(0, zero));
        const unsigned port = static_cast<unsigned char>(reply[at + TrackerPortOffset]) |
                              static_cast<unsigned char>(reply[at + TrackerPortOffset + 1]) << 8;
        const int row = table->AddRow();
        table->SetCell(row, 0, address);
        table->SetCell(row, 1, std::to_string(port));
        table->SetCell(row, 2, gameTypeCode);
    }
    return table;
}
