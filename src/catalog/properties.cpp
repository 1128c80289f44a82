// SPDX-License-Identifier: GPL-3.0-or-later
#include "catalog/properties.h"

#include <cstdio>
#include <ctime>

#include "catalog/catalog_set.h"
#include "catalog/entry_store.h"
#include "catalog/size_unit.h"

namespace kestavo {
namespace {

constexpr const char* kNote = "Count includes files and folders in Zip Folders";
constexpr const char* kHint = "Resize here -->";

std::string ContainsText(const ContentCounts& counts) {
    char buffer[96];
    std::snprintf(buffer, sizeof buffer, "%d Files, %d Folders, %d Zip Folders", counts.files,
                  counts.folders, counts.zipFolders);
    return buffer;
}

}  // namespace

const char* TypeWordOfKind(int kind) {
    switch (kind) {
        case KIND_FIXED_DISK:
            return "Fixed Hard Disk";
        case KIND_FOLDER:
            return "File Folder";
        case KIND_ZIP_FOLDER:
            return "Zip Folder";
        case KIND_DEFAULT_DISK:
            return "Removable Disk";
        case KIND_REMOVABLE_DISK:
            return "Removable Disk";
        case KIND_CDROM_DISK:
            return "CD-ROM";
        default:
            return "File";
    }
}

PropertyFields PropertiesOfEntry(FileData& entry) {
    CatalogSet& set = SetOf(entry);
    ContentCounts counts;
    const TreeItem item = entry.IsContainer() ? set.ItemOfEntry(entry) : kNoItem;
    if (item != kNoItem) set.CountContents(item, counts);
    PropertyFields f;
    f.contains = ContainsText(counts);
    f.date = set.DateTextOf(entry);
    f.location = set.PathOf(entry);
    f.name = entry.GetName();
    f.size = entry.IsContainer() ? FormatSize(counts.size) : std::string(set.SizeTextOf(entry));
    f.note = kNote;
    f.hint = kHint;
    f.type = TypeWordOfKind(entry.GetKind());
    if (entry.IsDisk()) f.codePage = set.CodePageOf(item);
    if (!entry.IsContainer()) {
        f.contains = "File Data";
        f.note.clear();
    }
    return f;
}

PropertyFields PropertiesOfRoot(CatalogSet& set) {
    const TreeItem root = set.RootItem();
    // A stand-in entry for the top root item, filed nowhere, dated now.
    EntryStore store(&set, /*serial=*/0);
    FileData& stand = *store.Create(kRootItemText, root, /*size=*/0, /*freeSpace=*/0,
                                    static_cast<std::int64_t>(std::time(nullptr)), KIND_FIXED_DISK);
    ContentCounts counts;
    set.CountContents(root, counts);
    PropertyFields f;
    f.size = FormatSize(counts.size);
    f.contains = ContainsText(counts);
    f.date = set.DateTextOf(stand);
    f.location = set.PathOf(stand);
    f.name = kRootItemText;
    f.type = "Disk Drive";
    f.note = kNote;
    f.hint = kHint;
    return f;
}

std::optional<PropertyFields> PropertiesOfItem(CatalogSet& set, TreeItem item) {
    // The top root item is the one item without a parent.
    if (set.Tree().Parent(item) == kNoItem) return PropertiesOfRoot(set);
    FileData* entry = set.EntryOfItem(item);
    if (!entry) return std::nullopt;
    return PropertiesOfEntry(*entry);
}

}  // namespace kestavo
