// SPDX-License-Identifier: GPL-3.0-or-later
// TBuffer: one block of a connection's send queue.
#pragma once

#include <vector>

class TBuffer {
public:
    // A capacity of zero or less gives the default block size.
    explicit TBuffer(int capacity = DefaultSize);

    static constexpr int DefaultSize = 1514;

    // Copies as many bytes as fit behind the written ones; returns how many.
    int Write(const void* data, int count);
    // The first unread byte and the number of unread bytes.
    const char* Peek(int& count) const;
    // Takes up to count unread bytes out; returns how many. Once all are taken the block
    // starts again from its beginning.
    int Remove(int count);
    // A new capacity; bytes written and not yet taken are kept.
    void SetBufSize(int capacity);

    const char* Data() const { return data_.data(); }
    int Capacity() const { return static_cast<int>(data_.size()); }
    int Filled() const { return filled_; }
    int Consumed() const { return consumed_; }
    int Unread() const { return filled_ - consumed_; }

private:
    std::vector<char> data_;
    int filled_ = 0;
    int consumed_ = 0;
};
