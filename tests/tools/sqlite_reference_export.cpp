// SPDX-License-Identifier: GPL-3.0-or-later
#include "tools/sqlite_reference_export.h"

#include <sqlite3.h>

#include <vector>

#include "tools/catalog_rows.h"
#include "tools/sqlite_entry_feed.h"
#include "tools/sqlite_schema.h"

namespace kestavo::test {
namespace {

constexpr std::size_t kBatchRows = 16384;

class Connection {
public:
    ~Connection() {
        for (sqlite3_stmt* statement : statements_) sqlite3_finalize(statement);
        sqlite3_close(db_);
    }
    bool Open(const std::string& path) {
        return sqlite3_open_v2(path.c_str(), &db_, SQLITE_OPEN_READWRITE | SQLITE_OPEN_CREATE,
                               nullptr) == SQLITE_OK ||
               Fail();
    }
    bool Run(const std::string& sql) {
        return sqlite3_exec(db_, sql.c_str(), nullptr, nullptr, nullptr) == SQLITE_OK || Fail();
    }
    sqlite3_stmt* Prepare(const char* sql) {
        sqlite3_stmt* statement = nullptr;
        if (sqlite3_prepare_v2(db_, sql, -1, &statement, nullptr) != SQLITE_OK) Fail();
        if (statement) statements_.push_back(statement);
        return statement;
    }
    bool Step(sqlite3_stmt* statement) {
        const int status = sqlite3_step(statement);
        sqlite3_reset(statement);
        return status == SQLITE_DONE || Fail();
    }
    sqlite3* Db() { return db_; }
    const std::string& Error() const { return error_; }

private:
    bool Fail() {
        if (error_.empty()) error_ = db_ ? sqlite3_errmsg(db_) : "cannot open";
        return false;
    }
    sqlite3* db_ = nullptr;
    std::vector<sqlite3_stmt*> statements_;
    std::string error_;
};

void BindText(sqlite3_stmt* statement, int column, std::string_view text) {
    sqlite3_bind_text(statement, column, text.data(), static_cast<int>(text.size()),
                      SQLITE_TRANSIENT);
}

class StatementFill : public CatalogRowConsumer {
public:
    explicit StatementFill(Connection& db) : db_(db) {}
    bool Prepare() {
        disk_ = db_.Prepare("INSERT INTO disks VALUES (?1, ?2, ?3, ?4, ?5, ?6, ?7, ?8)");
        if (RegisterEntryFeed(db_.Db(), "entry_feed", batch_) != SQLITE_OK) return false;
        entries_ = db_.Prepare(
            "INSERT INTO entries (disk, parent, name, kind, size, time)"
            " SELECT disk, parent, name, kind, size, time FROM entry_feed");
        return disk_ && entries_;
    }
    bool Disk(const DiskRow& row) override {
        sqlite3_bind_int64(disk_, 1, row.id);
        BindText(disk_, 2, row.label);
        BindText(disk_, 3, row.kind);
        sqlite3_bind_int64(disk_, 4, row.total);
        sqlite3_bind_int64(disk_, 5, row.free);
        sqlite3_bind_int64(disk_, 6, row.cataloged);
        if (row.sourceFile.empty())
            sqlite3_bind_null(disk_, 7);
        else
            BindText(disk_, 7, row.sourceFile);
        BindText(disk_, 8, row.codePage);
        return db_.Step(disk_);
    }
    bool Entry(const EntryRow& row) override {
        batch_.rows.push_back({.disk = row.disk,
                               .parent = row.parent,
                               .name = row.name,
                               .kind = row.kind,
                               .size = row.size,
                               .time = row.time});
        return batch_.rows.size() < kBatchRows || Flush();
    }
    bool Flush() {
        if (batch_.rows.empty()) return true;
        const bool stored = db_.Step(entries_);
        batch_.rows.clear();
        return stored;
    }

private:
    Connection& db_;
    sqlite3_stmt* disk_ = nullptr;
    sqlite3_stmt* entries_ = nullptr;
    EntryBatch batch_;
};

}  // namespace

std::string ExportThroughSqlite(CatalogSet& set, const std::string& path) {
    Connection db;
    if (!db.Open(path) || !db.Run("BEGIN")) return db.Error();
    for (const SqliteSchemaObject& object : kSqliteSchema)
        if (object.type == "table" && !db.Run(std::string(object.sql))) return db.Error();
    StatementFill fill(db);
    if (!fill.Prepare()) return db.Error();
    if (!WalkCatalogRows(set, fill).complete || !fill.Flush()) return db.Error();
    for (const SqliteSchemaObject& object : kSqliteSchema)
        if (object.type == "index" && !db.Run(std::string(object.sql))) return db.Error();
    if (!db.Run("PRAGMA user_version=" + std::to_string(kSqliteSchemaVersion)) || !db.Run("COMMIT"))
        return db.Error();
    return {};
}

}  // namespace kestavo::test
