// SPDX-License-Identifier: GPL-3.0-or-later
// Naming nodes of the catalog tree the way location texts do: the disk
// label, then folder and Zip Folder names, joined by "/".
#pragma once

#include <string_view>

#include "catalog/catalog_set.h"

namespace kestavo {

struct TreePathTarget {
    bool found = false;
    TreeItem node = kNoItem;   // the container named, or the file's container
    FileData* file = nullptr;  // set when the last part names an entry, not a container
};

// Resolves `path` from the top root item (the empty path). Each part
// matches a child's text exactly, or else without regard to case. With
// `allowEntry`, the last part may name an entry filed under the node. One
// "/" at the end is left out: "WORK/" names the same node as "WORK".
TreePathTarget ResolveTreePath(CatalogSet& set, std::string_view path, bool allowEntry);

}  // namespace kestavo
