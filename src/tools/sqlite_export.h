// SPDX-License-Identifier: GPL-3.0-or-later
// Every loaded catalog written into one SQLite database: a table of disks
// and a table of entries (one row per folder, Zip Folder and file, with its
// disk and its parent), indexed by name and by size. The schema version is
// kept in PRAGMA user_version.
#pragma once

#include <cstdint>
#include <string>

#include "catalog/catalog_set.h"
#include "tools/sqlite_schema.h"

namespace kestavo {

struct SqliteExportOutcome {
    bool written = false;
    std::string reason;  // why not, when not written
    std::uint64_t disks = 0;
    std::uint64_t entries = 0;
};

// Writes the database into a temporary file beside `path` and renames it
// over `path` once it is complete; on any failure the temporary file is
// removed and `path` is left as it was. Containers get the size of their
// contents where the catalog gives none, as everywhere else.
SqliteExportOutcome ExportToSqlite(CatalogSet& set, const std::string& path);

}  // namespace kestavo
