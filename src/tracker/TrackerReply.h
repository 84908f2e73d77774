// SPDX-License-Identifier: GPL-3.0-or-later
// The tracker's wire format: the request, the reply collected up to its end marker, the records.
#pragma once

#include "tracker/AdvArray.h"

#include <cstddef>
#include <memory>
#include <string>
#include <string_view>

// 32-bit 1 (little-endian), then eight FF bytes.
std::string TrackerRequest();
// 32-bit 2 (little-endian), then "TERM".
std::string TrackerEndMarker();

inline constexpr std::size_t TrackerRecordSize = 228;
inline constexpr std::size_t TrackerAddressOffset = 208;
inline constexpr std::size_t TrackerAddressSize = 16;
inline constexpr std::size_t TrackerPortOffset = 224;

// Real replies hold a few hundred records; a tracker that never sends its end marker must not
// make us remember without limit.
inline constexpr std::size_t MaxTrackerReplyBytes = 16u * 1024u * 1024u;

// One query's reply, fed chunk by chunk as the bytes arrive. The end marker is found also when
// its bytes come in two receipts; what follows it is dropped.
class TTrackerReply {
public:
    enum TProgress { rpMore, rpComplete, rpOverflow };

    explicit TTrackerReply(std::size_t maxBytes = MaxTrackerReplyBytes) : max_(maxBytes) {}

    // Once complete or overflowed, further chunks are ignored and the same result is returned.
    TProgress Add(std::string_view chunk);
    TProgress State() const { return state_; }
    // The bytes before the end marker (so far).
    const std::string& Bytes() const { return bytes_; }
    void Clear();
    void SetMaxBytes(std::size_t maxBytes) { max_ = maxBytes; }

private:
    std::string bytes_;
    std::size_t max_;
    TProgress state_ = rpMore;
};

// The tracker result table (address, port as decimal text, gameTypeCode) of a complete reply,
// one row per whole record; a trailing fragment shorter than a record is dropped. The address
// is the text up to the first zero byte of its 16-byte field, empty when the field holds none.
std::unique_ptr<TAdvancedArray> ParseTrackerRecords(std::string_view reply, const std::string& gameTypeCode,
                                                    TMessageBoxes& boxes);
