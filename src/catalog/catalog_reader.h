// SPDX-License-Identifier: GPL-3.0-or-later
// Reading catalog files into the catalog set and its tree.
#pragma once

#include <string>

#include "catalog/catalog_format.h"
#include "catalog/catalog_load.h"
#include "catalog/catalog_set.h"
#include "catalog/local_time.h"
#include "catalog/messages.h"

namespace kestavo {

// Reads one catalog file. A disk with the same label (ignoring the case of
// a-z) that is already loaded is replaced. Afterwards the disks under the top
// root item are in order, and unless nothing could be read the set tells its
// observers that disks were loaded.
LoadOutcome LoadCatalog(CatalogSet& set, const std::string& path, MessageSink& messages);
// The same, reading the file into `buffer`, which a caller reading many
// files keeps from one to the next.
LoadOutcome LoadCatalog(CatalogSet& set, const std::string& path, MessageSink& messages,
                        std::string& buffer);

// The same for catalog text already in memory; `path` names it in messages.
LoadOutcome LoadCatalogText(CatalogSet& set, std::string_view text, const std::string& path,
                            MessageSink& messages);

// Reads one catalog file into `load`, touching no catalog set, so that
// files can be read on several threads at once; `clock` makes the times of
// its entries, and `buffer` may be kept from one file to the next.
void ReadCatalogFile(CatalogLoad& load, std::string& buffer, LocalClock& clock);
// Adds what `load` read to `set` as LoadCatalog does, and shows its
// messages. Catalogs joined in the order of their files give the same set,
// and the same messages in the same order, as loading them one by one.
LoadOutcome JoinCatalog(CatalogSet& set, CatalogLoad& load, MessageSink& messages);

}  // namespace kestavo
