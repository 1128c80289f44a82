// Reading catalog files into the catalog set and its tree.
#pragma once

#include <string>

#include "catalog/catalog_format.h"
#include "catalog/catalog_set.h"
#include "catalog/messages.h"

namespace kestavo {

enum class LoadOutcome {
    Loaded,        // read to the end of the disk's record (or found no disk)
    Incompatible,  // unreadable, empty, or not a catalog: nothing added
    Damaged,       // ended early: what was read stays loaded
};

// Reads one catalog file. A disk with the same label (ignoring the case of
// a-z) that is already loaded is replaced. Afterwards the disks under the top
// root item are in order and the list shows them.
LoadOutcome LoadCatalog(CatalogSet& set, const std::string& path, MessageSink& messages);
// The same, reading the file into `buffer`, which a caller reading many
// files keeps from one to the next.
LoadOutcome LoadCatalog(CatalogSet& set, const std::string& path, MessageSink& messages,
                        std::string& buffer);

// The same for catalog text already in memory; `path` names it in messages.
LoadOutcome LoadCatalogText(CatalogSet& set, std::string_view text, const std::string& path,
                            MessageSink& messages);

}  // namespace kestavo
