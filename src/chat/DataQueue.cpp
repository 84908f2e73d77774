// TDataQueue: line cutting of the received byte stream.
#include "chat/DataQueue.h"

#include <algorithm>

namespace {

bool IsLineEndByte(char c) { return c == '\r' || c == '\n'; }

// CR LF or LF CR.
bool IsLineEndPair(char first, char second) {
    return (first == '\r' && second == '\n') || (first == '\n' && second == '\r');
}

}  // namespace

void TDataQueue::Write(std::string_view bytes) {
    std::size_t i = 0;
    while (i < bytes.size()) {
        char c = bytes[i];
        if (!partial_.empty() && IsLineEndPair(partial_.back(), c)) {
            partial_.pop_back();
            EndLine();
            ++i;
            continue;
        }
        // Copy the run up to the next CR or LF in one go; only those bytes can end a line.
        std::size_t runEnd = i + 1;
        if (!IsLineEndByte(c)) {
            auto it = std::find_if(bytes.begin() + static_cast<std::ptrdiff_t>(i), bytes.end(), IsLineEndByte);
            runEnd = static_cast<std::size_t>(it - bytes.begin());
        }
        if (discarding_) {
            // Only the last byte matters: it may be the first half of the line end.
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
}
