// SPDX-License-Identifier: GPL-3.0-or-later
// The columns and rows of content lists (the list pane, `kestavo-cli ls`):
// which columns a list of files or of disks has, the text of each cell, the
// order rows come in, and the comparison of a column sort.
#pragma once

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

}  // namespace kestavo
