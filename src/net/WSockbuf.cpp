// SPDX-License-Identifier: GPL-3.0-or-later
// TBuffer: one block of a connection's send queue.
#include "net/WSockbuf.h"

#include <algorithm>
#include <cstring>

TBuffer::TBuffer(int capacity) : data_(static_cast<std::size_t>(capacity > 0 ? capacity : DefaultSize)) {}

int TBuffer::Write(const void* data, int count) {
    const int n = std::min(std::max(count, 0), Capacity() - filled_);
    if (n > 0) std::memcpy(data_.data() + filled_, data, static_cast<std::size_t>(n));
    filled_ += n;
    return n;
}

const char* TBuffer::Peek(int& count) const {
    count = filled_ - consumed_;
    return data_.data() + consumed_;
}

int TBuffer::Remove(int count) {
    const int n = std::min(std::max(count, 0), filled_ - consumed_);
    consumed_ += n;
    if (consumed_ == filled_) consumed_ = filled_ = 0;
    return n;
}

void TBuffer::SetBufSize(int capacity) {
    if (capacity <= 0) capacity = DefaultSize;
    // Never below what is written: shrinking must not lose queued bytes.
    data_.resize(static_cast<std::size_t>(std::max(capacity, filled_)));
}
