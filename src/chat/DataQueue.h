// SPDX-License-Identifier: GPL-3.0-or-later
// TDataQueue: received bytes not yet cut into lines, with a bound on line length.
#pragma once

#include <cstddef>
#include <deque>
#include <string>
#include <string_view>

// A line ends at LF, CR LF or LF CR (servers and bouncers that end lines with LF alone exist);
// a lone CR stays inside the line. Lines are
// cut as bytes are written, so the bytes held are the complete lines not yet read plus at most
// one unfinished line of MaxLine + 1 bytes: a line longer than MaxLine is dropped whole, up to
// its line end, however long the peer keeps it going.
class TDataQueue {
public:
    static constexpr std::size_t MaxLine = 64 * 1024;

    void Write(std::string_view bytes);
    void Write(const char* data, std::size_t count) { Write(std::string_view(data, count)); }

    // Takes the oldest complete line, without its line end. False when there is none.
    bool ReadLine(std::string& line);

    void Clear();
    // Bytes held: complete lines not yet read and the unfinished line.
    std::size_t Size() const { return completeBytes_ + partial_.size(); }
    std::size_t LineCount() const { return lines_.size(); }

private:
    void EndLine();

    std::deque<std::string> lines_;
    std::size_t completeBytes_ = 0;
    // The unfinished line, including a last CR or LF that may start its line end.
    std::string partial_;
    // The unfinished line grew past MaxLine: drop it when its end comes.
    bool discarding_ = false;
    // The last byte taken was a LF that ended a line: a CR now is its second half.
    bool afterLF_ = false;
};
