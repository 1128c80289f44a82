// SPDX-License-Identifier: GPL-3.0-or-later
// The eight texts of the Properties dialog, and the code page of a disk
// whose names were not UTF-8.
#pragma once

#include <optional>
#include <string>

#include "catalog/catalog_set.h"

namespace kestavo {

struct PropertyFields {
    std::string name;
    std::string type;
    std::string location;
    std::string size;
    std::string contains;
    std::string note;
    std::string date;
    std::string hint;
    // "Windows-1252" and the like; empty for UTF-8 names and below a disk.
    std::string codePage;
};

// The type word of an entry kind ("File Folder", "Zip Folder", ...).
const char* TypeWordOfKind(int kind);

// For a disk, folder, Zip Folder or file.
PropertyFields PropertiesOfEntry(FileData& entry);
// For the top root item: every loaded catalog summed up, dated now.
PropertyFields PropertiesOfRoot(CatalogSet& set);
// What Properties on a tree item shows: the top root item's sum for the top
// root item (and for no item at all, as when nothing is selected), the
// item's entry otherwise; nothing for an item whose entry is gone.
std::optional<PropertyFields> PropertiesOfItem(CatalogSet& set, TreeItem item);

}  // namespace kestavo
