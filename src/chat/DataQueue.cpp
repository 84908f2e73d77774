// SPDX-License-Identifier: GPL-3.0-or-later
// TDataQueue: line cutting of the received byte stream.
#include "chat/DataQueue.h"

#include <algorithm>

namespace {

bool IsLineEndByte(char c) { return c == '\r' || c == '\n'; }

}  // namespace

void TDataQueue::Write(std::string_view bytes) {
    std::size_t i = 0;
    while (i < bytes.size()) {
        const char c = bytes[i];
        if (c == '\n') {
            // LF ends the line; a CR right before it belongs to the line end (CR LF), even
            // when the two came in different reads.
            if (!partial_.empty() && partial_.back() == '\r') partial_.pop_back();
            EndLine();
            afterLF_ = true;
            ++i;
            continue;
        }
        if (c == '\r' && afterLF_) {
            // LF CR: the CR is the second half of the line end.
            afterLF_ = false;
            ++i;
            continue;
        }
        afterLF_ = false;
        // Copy the run up to the next CR or LF in one go; a CR stays in it until a LF follows.
        std::size_t runEnd = i + 1;
        if (c != '\r') {
            auto it = std::find_if(bytes.begin() + static_cast<std::ptrdiff_t>(i), bytes.end(), IsLineEndByte);
            runEnd = static_cast<std::size_t>(it - bytes.begin());
        }
        if (discarding_) {
            // Only the last byte matters: it may be the CR of the line end.
            partial_.assign(1, bytes[runEnd - 1]);
        } else {
            partial_.append(bytes.substr(i, runEnd - i));
            // Even if its last byte starts the line end, the line is already too long.
            if (partial_.size() > MaxLine + 1) {
                discarding_ = true;
                partial_.erase(0, partial_.size() - 1);
                partial_.shrink_to_fit();
            }
        }
        i = runEnd;
    }
}

void TDataQueue::EndLine() {
    if (discarding_ || partial_.size() > MaxLine) {
        discarding_ = false;
        partial_.clear();
        return;
    }
    completeBytes_ += partial_.size();
    lines_.push_back(std::move(partial_));
    partial_.clear();
}

bool TDataQueue::ReadLine(std::string& line) {
    if (lines_.empty()) return false;
    line = std::move(lines_.front());
    lines_.pop_front();
    completeBytes_ -= line.size();
    return true;
}

void TDataQueue::Clear() {
    lines_.clear();
    completeBytes_ = 0;
    partial_.clear();
    discarding_ = false;
    afterLF_ = false;
}
