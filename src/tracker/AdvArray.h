// SPDX-License-Identifier: GPL-3.0-or-later
// TAdvancedArray: a table of text cells with fixed columns and growing rows.
#pragma once

#include "tracker/MessageBox.h"

#include <string>
#include <vector>

class TAdvancedArray {
public:
    // boxes reports out-of-range cell accesses; it must outlive the table.
    TAdvancedArray(int columnCount, TMessageBoxes& boxes);

    int ColumnCount() const { return columns_; }
    int RowCount() const { return rows_; }

    // Appends a row of empty cells and returns its index.
    int AddRow();

    // Out-of-range indices show a message box; GetCell then yields an empty text and SetCell
    // stores nothing. Neither throws: callers rely on going on after the message.
    std::string GetCell(int row, int column) const;
    void SetCell(int row, int column, const std::string& text);

    // First row from the top whose cell equals text, ignoring letter case; -1 if none.
    // A column that does not exist finds nothing.
    int FindInColumn(int column, const std::string& text) const;
    int FindRow(const std::string& text) const { return FindInColumn(0, text); }

private:
    bool CheckIndices(int row, int column) const;

    int columns_;
    int rows_ = 0;
    std::vector<std::string> cells_;  // row-major
    TMessageBoxes& boxes_;
};
