// SPDX-License-Identifier: GPL-3.0-or-later
#include "tools/sqlite_entry_feed.h"

#include <new>

namespace kestavo {
namespace {

enum Column { kDisk, kParent, kName, kKind, kSize, kTime };

struct FeedTable {
    sqlite3_vtab base{};
    const EntryBatch* batch = nullptr;
};

struct FeedCursor {
    sqlite3_vtab_cursor base{};
    const EntryBatch* batch = nullptr;
    std::size_t at = 0;
};

const EntryBatch& BatchOf(sqlite3_vtab_cursor* cursor) {
    return *reinterpret_cast<FeedCursor*>(cursor)->batch;
}
std::size_t& PlaceOf(sqlite3_vtab_cursor* cursor) {
    return reinterpret_cast<FeedCursor*>(cursor)->at;
}

int Connect(sqlite3* db, void* batch, int, const char* const*, sqlite3_vtab** table, char**) {
    const int status =
        sqlite3_declare_vtab(db, "CREATE TABLE x(disk, parent, name, kind, size, time)");
    if (status != SQLITE_OK) return status;
    auto* made = new (std::nothrow) FeedTable;
    if (!made) return SQLITE_NOMEM;
    made->batch = static_cast<const EntryBatch*>(batch);
    *table = &made->base;
    return SQLITE_OK;
}

int Disconnect(sqlite3_vtab* table) {
    delete reinterpret_cast<FeedTable*>(table);
    return SQLITE_OK;
}

// The table is only ever read whole, in order.
int BestIndex(sqlite3_vtab* table, sqlite3_index_info* info) {
    const auto rows = reinterpret_cast<FeedTable*>(table)->batch->rows.size();
    info->estimatedRows = static_cast<sqlite3_int64>(rows);
    info->estimatedCost = static_cast<double>(rows);
    return SQLITE_OK;
}

int Open(sqlite3_vtab* table, sqlite3_vtab_cursor** cursor) {
    auto* made = new (std::nothrow) FeedCursor;
    if (!made) return SQLITE_NOMEM;
    made->batch = reinterpret_cast<FeedTable*>(table)->batch;
    *cursor = &made->base;
    return SQLITE_OK;
}

int Close(sqlite3_vtab_cursor* cursor) {
    delete reinterpret_cast<FeedCursor*>(cursor);
    return SQLITE_OK;
}

int Filter(sqlite3_vtab_cursor* cursor, int, const char*, int, sqlite3_value**) {
    PlaceOf(cursor) = 0;
    return SQLITE_OK;
}

int Next(sqlite3_vtab_cursor* cursor) {
    ++PlaceOf(cursor);
    return SQLITE_OK;
}

int Eof(sqlite3_vtab_cursor* cursor) {
    return PlaceOf(cursor) >= BatchOf(cursor).rows.size();
}

void ResultText(sqlite3_context* context, std::string_view text) {
    sqlite3_result_text(context, text.data(), static_cast<int>(text.size()), SQLITE_STATIC);
}

int ColumnValue(sqlite3_vtab_cursor* cursor, sqlite3_context* context, int column) {
    const FeedRow& row = BatchOf(cursor).rows[PlaceOf(cursor)];
    switch (column) {
        case kDisk:
            sqlite3_result_int64(context, row.disk);
            break;
        case kParent:
            if (row.parent == 0)
                sqlite3_result_null(context);
            else
                sqlite3_result_int64(context, row.parent);
            break;
        case kName:
            ResultText(context, row.name);
            break;
        case kKind:
            ResultText(context, row.kind);
            break;
        case kSize:
            sqlite3_result_int64(context, row.size);
            break;
        case kTime:
            sqlite3_result_int64(context, row.time);
            break;
        default:
            sqlite3_result_null(context);
            break;
    }
    return SQLITE_OK;
}

int Rowid(sqlite3_vtab_cursor* cursor, sqlite3_int64* rowid) {
    *rowid = static_cast<sqlite3_int64>(PlaceOf(cursor));
    return SQLITE_OK;
}

// No xCreate: the table exists on the connection only and is never written
// into the database's schema.
constexpr sqlite3_module kFeedModule = {
    .iVersion = 0,
    .xCreate = nullptr,
    .xConnect = Connect,
    .xBestIndex = BestIndex,
    .xDisconnect = Disconnect,
    .xDestroy = nullptr,
    .xOpen = Open,
    .xClose = Close,
    .xFilter = Filter,
    .xNext = Next,
    .xEof = Eof,
    .xColumn = ColumnValue,
    .xRowid = Rowid,
    .xUpdate = nullptr,
    .xBegin = nullptr,
    .xSync = nullptr,
    .xCommit = nullptr,
    .xRollback = nullptr,
    .xFindFunction = nullptr,
    .xRename = nullptr,
    .xSavepoint = nullptr,
    .xRelease = nullptr,
    .xRollbackTo = nullptr,
    .xShadowName = nullptr,
};

}  // namespace

int RegisterEntryFeed(sqlite3* db, const char* name, const EntryBatch& batch) {
    return sqlite3_create_module(db, name, &kFeedModule,
                                 const_cast<void*>(static_cast<const void*>(&batch)));
}

}  // namespace kestavo
