// SPDX-License-Identifier: GPL-3.0-or-later
// The columns and rows of content lists (the list pane, `kestavo-cli ls`):
// which columns a list of files or of disks has, the text of each cell, the
// order rows come in, and the comparison of a column sort.
#pragma once

#include <cstddef>
#include <string_view>
#include <vector>

#include "catalog/file_data.h"

namespace kestavo {

enum class ColumnContent { Name, Size, FreeSpace, Date };

struct ListColumn {
    const char* heading;
    ColumnContent content;
    bool rightAligned;
};

struct DiskColumnSwitches {
    bool totalSize = true;
    bool freeSpace = true;
    bool dateCataloged = true;
    bool operator==(const DiskColumnSwitches&) const = default;
};

// Name, Size, Date.
std::vector<ListColumn> FileColumns();
// Disk, then Total Size, Free Space and Date Cataloged as switched on.
std::vector<ListColumn> DiskColumns(const DiskColumnSwitches& switches);

std::string_view CellText(FileData& entry, ColumnContent content);

// A column sort's comparison, ascending (negative, zero, positive): names
// byte by byte, sizes and free space as 64-bit numbers, dates by time.
int CompareRows(FileData* a, FileData* b, ColumnContent content);

// The rows of a content list in the order shown, with every cell's text
// made once as the rows come. Reading them then touches neither the entries
// nor their stores, so that a search or a comparison on a worker thread may
// settle the same entries and add texts to the same stores meanwhile. The
// texts stay in place while their entries live, the size texts until they
// are dropped, after which the rows are to be set again.
class ListedRows {
public:
    // Both make every text again.
    void SetColumns(std::vector<ListColumn> columns);
    void SetRows(std::vector<FileData*> rows);
    void Clear();

    const std::vector<ListColumn>& Columns() const { return columns_; }
    std::size_t RowCount() const { return rows_.size(); }
    FileData* RowEntry(std::size_t row) const { return rows_[row].entry; }
    std::string_view RowText(std::size_t row, std::size_t column) const {
        return texts_[rows_[row].texts + column];
    }
    // Sorts by one column (stable), ascending or descending.
    void SortByColumn(std::size_t column, bool descending);

private:
    void MakeTexts();

    struct Row {
        FileData* entry;
        std::size_t texts;  // where the row's texts start in texts_
    };
    std::vector<ListColumn> columns_;
    std::vector<Row> rows_;
    std::vector<std::string_view> texts_;  // each row's, column by column
};

}  // namespace kestavo
