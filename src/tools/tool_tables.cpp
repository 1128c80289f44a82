// SPDX-License-Identifier: GPL-3.0-or-later
#include "tools/tool_tables.h"

#include <algorithm>
#include <cstdio>
#include <ctime>

#include "catalog/catalog_set.h"
#include "catalog/entry_store.h"

namespace kestavo {
namespace {

using V = TableValue;

// The values every entry row has: name, folder, disk, kind, size,
// size_text, date.
struct EntryValues {
    char date[kIsoTimeCapacity];
    TableValue values[7];

    EntryValues(FileData& entry, std::string_view folder, std::string_view sizeText) {
        values[0] = V::Of(entry.GetName());
        values[1] = V::Of(folder);
        values[2] = V::Of(DiskLabelOf(entry));
        values[3] = V::Of(KindWord(entry.GetKind()));
        values[4] = V::Of(entry.Size());
        values[5] = V::Of(sizeText);
        values[6] = V::Of(IsoLocalTime(entry.GetTime(), date));
    }
};

}  // namespace

const char* KindWord(int kind) {
    switch (kind) {
        case KIND_FIXED_DISK:
            return "fixed-disk";
        case KIND_FOLDER:
            return "folder";
        case KIND_ZIP_FOLDER:
            return "zip-folder";
        case KIND_DEFAULT_DISK:
            return "disk";
        case KIND_CDROM_DISK:
            return "cdrom-disk";
        case KIND_REMOVABLE_DISK:
            return "removable-disk";
        default:
            return "file";
    }
}

std::string_view IsoLocalTime(std::int64_t time, char (&buffer)[kIsoTimeCapacity]) {
    const std::time_t t = static_cast<std::time_t>(time);
    std::tm local{};
    if (!localtime_r(&t, &local)) return {};
    const long offset = local.tm_gmtoff;
    const long minutes = (offset < 0 ? -offset : offset) / 60;
    const int length =
        std::snprintf(buffer, sizeof buffer, "%04lld-%02d-%02dT%02d:%02d:%02d%c%02ld:%02ld",
                      static_cast<long long>(local.tm_year) + 1900, local.tm_mon + 1, local.tm_mday,
                      local.tm_hour, local.tm_min, local.tm_sec, offset < 0 ? '-' : '+',
                      minutes / 60, minutes % 60);
    if (length <= 0) return {};
    return std::string_view(buffer, static_cast<std::size_t>(length));
}

std::string_view DiskLabelOf(const FileData& entry) {
    const CatalogSet* set = entry.Store().Owner();
    if (!set) return {};
    const ContainerTree& tree = set->Tree();
    const TreeItem root = set->FindRootItem();
    TreeItem item = entry.GetParentItem();
    if (item == root || item == kNoItem) return entry.GetName();
    for (TreeItem up = tree.Parent(item); up != root && up != kNoItem; up = tree.Parent(up))
        item = up;
    return tree.ItemText(item);
}

void WriteFindFilesTable(FindFiles& tool, TableWriter& out) {
    static constexpr const char* kColumns[] = {"name", "folder",    "disk", "kind",
                                               "size", "size_text", "date"};
    out.Begin(kColumns);
    RowTextScratch scratch;
    for (std::size_t row = 0; row < tool.RowCount(); ++row) {
        FileData* entry = tool.RowEntry(row);
        if (!entry) continue;
        const std::string folder(tool.RowText(row, FindColumn::InFolder, scratch));
        EntryValues values(*entry, folder, tool.RowText(row, FindColumn::Size, scratch));
        out.Row(values.values);
    }
    out.End();
}

void WriteDuplicatesTable(const FindDuplicates& tool, TableWriter& out) {
    static constexpr const char* kColumns[] = {"set",  "name", "folder",    "disk",
                                               "kind", "size", "size_text", "date"};
    out.Begin(kColumns);
    std::int64_t set = 0;
    for (std::size_t row = 0; row < tool.RowCount(); ++row) {
        if (tool.KindOfRow(row) == FindDuplicates::RowKind::Separator) ++set;
        if (tool.KindOfRow(row) != FindDuplicates::RowKind::Entry) continue;
        const std::string folder(tool.RowText(row, DuplicateColumn::InFolder));
        EntryValues entry(*tool.RowEntry(row), folder, tool.RowText(row, DuplicateColumn::Size));
        TableValue values[8] = {V::Of(set)};
        std::copy(std::begin(entry.values), std::end(entry.values), values + 1);
        out.Row(values);
    }
    out.End();
}

void WriteCompareTable(const DiskComparison& tool, std::string_view diskLabel, TableWriter& out) {
    static constexpr const char* kColumns[] = {"status",       "name",         "folder",
                                               "disk",         "catalog_size", "catalog_size_text",
                                               "catalog_date", "disk_size",    "disk_size_text",
                                               "disk_date"};
    out.Begin(kColumns);
    char catalogDate[kIsoTimeCapacity], diskDate[kIsoTimeCapacity];
    for (std::size_t i = 0; i < tool.RowCount(); ++i) {
        const CompareRow& row = tool.Row(i);
        TableValue values[10] = {V::Of(StatusText(row.status)), V::Of(row.name), V::Of(row.folder),
                                 V::Of(diskLabel)};
        // A side the row has always has a size text.
        if (!row.sizeCatalog.empty()) {
            values[4] = V::Of(row.catalogSize);
            values[5] = V::Of(row.sizeCatalog);
            values[6] = V::Of(IsoLocalTime(row.catalogTime, catalogDate));
        }
        if (!row.sizeDisk.empty()) {
            values[7] = V::Of(row.diskSize);
            values[8] = V::Of(row.sizeDisk);
            values[9] = V::Of(IsoLocalTime(row.diskTime, diskDate));
        }
        out.Row(values);
    }
    out.End();
}

void WriteContentsTable(const ShownContents& shown, TableWriter& out) {
    const std::vector<FileData*> rows = shown.RowsInInitialOrder();
    CatalogSet& set = shown.Set();
    char date[kIsoTimeCapacity];
    if (shown.ListsDisks()) {
        static constexpr const char* kColumns[] = {"disk", "kind",      "size", "size_text",
                                                   "free", "free_text", "date"};
        out.Begin(kColumns);
        for (FileData* disk : rows) {
            const std::string sizeText(set.SizeTextOf(*disk));
            const TableValue values[] = {V::Of(disk->GetName()),
                                         V::Of(KindWord(disk->GetKind())),
                                         V::Of(disk->Size()),
                                         V::Of(sizeText),
                                         V::Of(disk->Store().FreeSpaceOf(*disk)),
                                         V::Of(disk->Store().FreeSpaceTextOf(*disk)),
                                         V::Of(IsoLocalTime(disk->GetTime(), date))};
            out.Row(values);
        }
        out.End();
        return;
    }
    static constexpr const char* kColumns[] = {"name", "folder",    "disk", "kind",
                                               "size", "size_text", "date"};
    out.Begin(kColumns);
    for (FileData* entry : rows) {
        const std::string sizeText(set.SizeTextOf(*entry));
        EntryValues values(*entry, set.PathOf(*entry), sizeText);
        out.Row(values.values);
    }
    out.End();
}

}  // namespace kestavo
