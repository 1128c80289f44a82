// SPDX-License-Identifier: GPL-3.0-or-later
// The statements that make the export's schema, as the database keeps
// them in sqlite_schema, in the order they are made.
#pragma once

#include <array>
#include <string_view>

namespace kestavo {

inline constexpr int kSqliteSchemaVersion = 1;

struct SqliteSchemaObject {
    std::string_view type;  // "table" or "index"
    std::string_view name;
    std::string_view table;
    std::string_view sql;
};

inline constexpr std::array<SqliteSchemaObject, 4> kSqliteSchema = {{
    {"table", "disks", "disks",
     "CREATE TABLE disks (\n"
     "  id INTEGER PRIMARY KEY,\n"
     "  label TEXT NOT NULL,\n"
     "  kind TEXT NOT NULL,\n"
     "  total INTEGER NOT NULL,\n"
     "  free INTEGER NOT NULL,\n"
     "  cataloged INTEGER NOT NULL,\n"
     "  source_file TEXT,\n"
     "  code_page TEXT NOT NULL\n"
     ")"},
    {"table", "entries", "entries",
     "CREATE TABLE entries (\n"
     "  id INTEGER PRIMARY KEY,\n"
     "  disk INTEGER NOT NULL REFERENCES disks(id),\n"
     "  parent INTEGER REFERENCES entries(id),\n"
     "  name TEXT NOT NULL,\n"
     "  kind TEXT NOT NULL,\n"
     "  size INTEGER NOT NULL,\n"
     "  time INTEGER NOT NULL\n"
     ")"},
    {"index", "entries_by_name", "entries", "CREATE INDEX entries_by_name ON entries(name)"},
    {"index", "entries_by_size", "entries", "CREATE INDEX entries_by_size ON entries(size)"},
}};

}  // namespace kestavo
