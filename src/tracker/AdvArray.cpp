// SPDX-License-Identifier: GPL-3.0-or-later
// TAdvancedArray: a table of text cells with fixed columns and growing rows.
#include "tracker/AdvArray.h"

#include <algorithm>

namespace {

bool EqualIgnoringCase(const std::string& a, const std::string& b) {
    auto lower = [](unsigned char c) { return c >= 'A' && c <= 'Z' ? c + ('a' - 'A') : c; };
    return a.size() == b.size() &&
           std::equal(a.begin(), a.end(), b.begin(),
                      [&](unsigned char x, unsigned char y) { return lower(x) == lower(y); });
}

}  // namespace

TAdvancedArray::TAdvancedArray(int columnCount, TMessageBoxes& boxes)
    : columns_(std::max(columnCount, 0)), boxes_(boxes) {}

int TAdvancedArray::AddRow() {
    cells_.resize(cells_.size() + static_cast<std::size_t>(columns_));
    return rows_++;
}

bool TAdvancedArray::CheckIndices(int row, int column) const {
    // The row is checked first: a call with both out of range reports the row only.
    if (row < 0 || row >= rows_) {
        boxes_.Show("Array index out of bounds (" + std::to_string(row) + ")", ApplicationTitle,
                    TMsgIcon::Error, TMsgButtons::Ok);
        return false;
    }
    if (column < 0 || column >= columns_) {
        boxes_.Show("Column index out of bounds (" + std::to_string(column) + ")", ApplicationTitle,
                    TMsgIcon::Error, TMsgButtons::Ok);
        return false;
    }
    return true;
}

std::string TAdvancedArray::GetCell(int row, int column) const {
    if (!CheckIndices(row, column)) return {};
    return cells_[static_cast<std::size_t>(row) * columns_ + column];
}

void TAdvancedArray::SetCell(int row, int column, const std::string& text) {
    if (!CheckIndices(row, column)) return;
    cells_[static_cast<std::size_t>(row) * columns_ + column] = text;
}

int TAdvancedArray::FindInColumn(int column, const std::string& text) const {
    if (column < 0 || column >= columns_) return -1;
    for (int r = 0; r < rows_; ++r)
        if (EqualIgnoringCase(cells_[static_cast<std::size_t>(r) * columns_ + column], text)) return r;
    return -1;
}
