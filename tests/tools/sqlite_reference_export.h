// SPDX-License-Identifier: GPL-3.0-or-later
// The export's database written through SQLite itself, with INSERT and
// CREATE INDEX statements: what the file the export writes directly must
// equal, row for row and index for index.
#pragma once

#include <string>

#include "catalog/catalog_set.h"

namespace kestavo::test {

// Answers the SQLite error, empty when `path` (a new file) was written.
std::string ExportThroughSqlite(CatalogSet& set, const std::string& path);

}  // namespace kestavo::test
