// SPDX-License-Identifier: GPL-3.0-or-later
#include "catalog/list_rows.h"

#include <algorithm>

#include "catalog/catalog_set.h"
#include "catalog/entry_store.h"
#include "catalog/name_compare.h"

namespace kestavo {

std::vector<ListColumn> FileColumns() {
    return {{"Name", ColumnContent::Name, false},
            {"Size", ColumnContent::Size, true},
            {"Date", ColumnContent::Date, false}};
}

std::vector<ListColumn> DiskColumns(const DiskColumnSwitches& switches) {
    std::vector<ListColumn> columns{{"Disk", ColumnContent::Name, false}};
    if (switches.totalSize) columns.push_back({"Total Size", ColumnContent::Size, true});
    if (switches.freeSpace) columns.push_back({"Free Space", ColumnContent::FreeSpace, true});
    if (switches.dateCataloged) columns.push_back({"Date Cataloged", ColumnContent::Date, false});
    return columns;
}

std::string_view CellText(FileData& entry, ColumnContent content) {
    switch (content) {
        case ColumnContent::Name:
            return entry.GetName();
        case ColumnContent::Size:
            return SetOf(entry).SizeTextOf(entry);
        case ColumnContent::FreeSpace:
            return entry.Store().FreeSpaceTextOf(entry);
        case ColumnContent::Date:
            return SetOf(entry).DateTextOf(entry);
    }
    return {};
}

int CompareRows(FileData* a, FileData* b, ColumnContent content) {
    if (!a || !b) return 0;
    auto compareNumbers = [](std::int64_t x, std::int64_t y) {
        return x < y ? -1 : (x > y ? 1 : 0);
    };
    switch (content) {
        case ColumnContent::Name:
            return CompareBytes(a->GetName(), b->GetName());
        case ColumnContent::Size:
            // A container catalogued with size 0 is sorted by its content
            // size, as its size text shows it.
            SetOf(*a).SettleSize(*a);
            SetOf(*b).SettleSize(*b);
            return compareNumbers(a->Size(), b->Size());
        case ColumnContent::FreeSpace:
            return compareNumbers(a->Store().FreeSpaceOf(*a), b->Store().FreeSpaceOf(*b));
        case ColumnContent::Date:
            return compareNumbers(a->GetTime(), b->GetTime());
    }
    return 0;
}

void ListedRows::SetColumns(std::vector<ListColumn> columns) {
    columns_ = std::move(columns);
    MakeTexts();
}

void ListedRows::SetRows(std::vector<FileData*> rows) {
    rows_.clear();
    rows_.reserve(rows.size());
    for (FileData* entry : rows) rows_.push_back(Row{entry, 0});
    MakeTexts();
}

void ListedRows::Clear() {
    rows_.clear();
    texts_.clear();
}

void ListedRows::MakeTexts() {
    texts_.clear();
    texts_.reserve(rows_.size() * columns_.size());
    for (Row& row : rows_) {
        row.texts = texts_.size();
        for (const ListColumn& column : columns_)
            texts_.push_back(CellText(*row.entry, column.content));
    }
}

void ListedRows::SortByColumn(std::size_t column, bool descending) {
    if (column >= columns_.size()) return;
    const ColumnContent content = columns_[column].content;
    std::stable_sort(rows_.begin(), rows_.end(), [&](const Row& a, const Row& b) {
        const int order = CompareRows(a.entry, b.entry, content);
        return descending ? order > 0 : order < 0;
    });
}

}  // namespace kestavo
