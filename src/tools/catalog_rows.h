// SPDX-License-Identifier: GPL-3.0-or-later
// The rows of the SQLite export, in the order they are numbered: each disk
// of the loaded catalogs with every entry below it, containers before what
// they hold. The walk hands each row to a consumer and stops at the first
// row the consumer refuses.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>

#include "catalog/catalog_set.h"

namespace kestavo {

// A row of the disks table. The texts live as long as the walk's call.
struct DiskRow {
    std::int64_t id = 0;
    std::string_view label;
    std::string_view kind;
    std::int64_t total = 0;
    std::int64_t free = 0;
    std::int64_t cataloged = 0;
    std::string_view sourceFile;  // empty: none (stored as NULL)
    std::string_view codePage;
};

// A row of the entries table. The texts belong to the catalog set and live
// as long as it does.
struct EntryRow {
    std::int64_t id = 0;
    std::int64_t disk = 0;
    std::int64_t parent = 0;  // 0: none (stored as NULL)
    std::string_view name;
    std::string_view kind;
    std::int64_t size = 0;
    std::int64_t time = 0;
};

// What receives the rows; each call answers false to stop the walk.
class CatalogRowConsumer {
public:
    virtual ~CatalogRowConsumer() = default;
    virtual bool Disk(const DiskRow& row) = 0;
    virtual bool Entry(const EntryRow& row) = 0;
};

struct CatalogRowCount {
    bool complete = false;  // false: a consumer call stopped the walk
    std::uint64_t disks = 0;
    std::uint64_t entries = 0;
};

// Numbers the disks and the entries from 1 each, in the order they are
// handed on. Containers get the size of their contents where the catalog
// gives none, as everywhere else.
CatalogRowCount WalkCatalogRows(CatalogSet& set, CatalogRowConsumer& consumer);

}  // namespace kestavo
