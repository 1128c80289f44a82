// SPDX-License-Identifier: GPL-3.0-or-later
// A batch of entry rows that SQLite reads as a table: registered on a
// connection as an eponymous virtual table, it lets one
// `INSERT … SELECT … FROM` the table store the whole batch, which costs far
// less per row than binding and stepping an INSERT for each.
#pragma once

#include <sqlite3.h>

#include <cstdint>
#include <string_view>
#include <vector>

namespace kestavo {

// One row of the entries table but its id. The texts are not copied: they
// must outlive the statement that reads the batch.
struct FeedRow {
    std::int64_t disk = 0;
    std::int64_t parent = 0;  // 0: none (stored as NULL)
    std::string_view name;
    std::string_view kind;
    std::int64_t size = 0;
    std::int64_t time = 0;
};

// The columns the table shows, in this order: disk, parent, name, kind,
// size, time.
struct EntryBatch {
    std::vector<FeedRow> rows;
};

// Registers the table as `name` on `db`; every statement that reads it
// reads `batch` as it is at that moment. The batch must outlive the
// connection's use of the table.
int RegisterEntryFeed(sqlite3* db, const char* name, const EntryBatch& batch);

}  // namespace kestavo
