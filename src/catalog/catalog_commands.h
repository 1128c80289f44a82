// SPDX-License-Identifier: GPL-3.0-or-later
// The commands that fill or shrink the catalog set from files: Open All
// Catalogs, opening one chosen catalog, and Delete Catalog.
#pragma once

#include <string>
#include <string_view>
#include <vector>

#include "catalog/catalog_reader.h"
#include "catalog/catalog_set.h"
#include "catalog/messages.h"

namespace kestavo {

// The catalog directory: the variable Kestavo, else $HOME/Kestavo (an empty
// variable counts as unset; without HOME, the password database's home).
std::string CatalogDirectory();
// Whether a file name ends in ".kvx" in any letter case, as the name of a
// catalog does (FLOPPY.KVX copied from a FAT medium is a catalog too).
bool EndsWithCatalogExtension(std::string_view name);
// The catalog files of `directory` (names that EndsWithCatalogExtension),
// in ascending byte order.
std::vector<std::string> ListCatalogFiles(const std::string& directory);

// Removes every disk and entry, then reads every catalog of the catalog
// directory; "No catalogs found." when there is none. Answers how many
// files were read.
int OpenAllCatalogs(CatalogSet& set, MessageSink& messages);
int OpenAllCatalogs(CatalogSet& set, const std::string& directory, MessageSink& messages);

// Reads one chosen catalog beside those already loaded.
LoadOutcome OpenSelectedCatalog(CatalogSet& set, const std::string& path, MessageSink& messages);

enum class DeleteOutcome { NotADisk, Declined, Deleted, Failed };

// Deletes the file the disk `diskItem` was read from after asking (the
// question names it), and removes that disk from the set. A disk whose file
// is not known is not deleted; its label is never made into a path.
DeleteOutcome DeleteCatalog(CatalogSet& set, TreeItem diskItem, MessageSink& messages);
DeleteOutcome DeleteCatalog(CatalogSet& set, TreeItem diskItem, const std::string& directory,
                            MessageSink& messages);

// Whether a disk label can name a catalog file ("/" inside, "." and ".."
// cannot).
bool IsUsableCatalogLabel(const std::string& label);
// The catalog file of a disk: directory + "/" + label + ".kvx".
std::string CatalogFilePath(const std::string& directory, const std::string& label);

}  // namespace kestavo
