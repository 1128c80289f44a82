// SPDX-License-Identifier: GPL-3.0-or-later
#include "tools/sqlite_export.h"

#include <sqlite3.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <string_view>
#include <unordered_map>
#include <utility>
#include <vector>

#include "tools/sqlite_entry_feed.h"
#include "tools/tool_tables.h"

namespace kestavo {
namespace {

constexpr const char* kSchema = R"(
CREATE TABLE disks (
  id INTEGER PRIMARY KEY,
  label TEXT NOT NULL,
  kind TEXT NOT NULL,
  total INTEGER NOT NULL,
  free INTEGER NOT NULL,
  cataloged INTEGER NOT NULL,
  source_file TEXT,
  code_page TEXT NOT NULL
);
CREATE TABLE entries (
  id INTEGER PRIMARY KEY,
  disk INTEGER NOT NULL REFERENCES disks(id),
  parent INTEGER REFERENCES entries(id),
  name TEXT NOT NULL,
  kind TEXT NOT NULL,
  size INTEGER NOT NULL,
  time INTEGER NOT NULL
);
)";

constexpr const char* kIndexes = R"(
CREATE INDEX entries_by_name ON entries(name);
CREATE INDEX entries_by_size ON entries(size);
)";

// The code page of a disk whose catalog was written in UTF-8. Names are
// always written as they are held, in UTF-8; the column says what they were
// read in.
constexpr std::string_view kUtf8CodePage = "UTF-8";

// The entries go in through a virtual table a batch at a time; a batch of
// this many rows is small enough to stay in the processor's caches.
constexpr std::size_t kBatchRows = 16384;
constexpr const char* kEntryFeed = "entry_feed";

// One open database, closed on every path; each call answers false once a
// step failed, and Reason() says why.
class Database {
public:
    ~Database() {
        for (sqlite3_stmt* statement : statements_) sqlite3_finalize(statement);
        if (db_) sqlite3_close(db_);
    }

    bool Open(const std::string& path) {
        // One thread uses the connection: it needs no mutex of its own.
        if (sqlite3_open_v2(path.c_str(), &db_, SQLITE_OPEN_READWRITE | SQLITE_OPEN_NOMUTEX,
                            nullptr) == SQLITE_OK)
            return true;
        return Fail();
    }
    bool Run(const char* sql) {
        return sqlite3_exec(db_, sql, nullptr, nullptr, nullptr) == SQLITE_OK || Fail();
    }
    sqlite3_stmt* Prepare(const char* sql) {
        sqlite3_stmt* statement = nullptr;
        if (sqlite3_prepare_v2(db_, sql, -1, &statement, nullptr) != SQLITE_OK) {
            Fail();
            return nullptr;
        }
        statements_.push_back(statement);
        return statement;
    }
    bool RegisterFeed(const char* name, const EntryBatch& batch) {
        return RegisterEntryFeed(db_, name, batch) == SQLITE_OK || Fail();
    }
    std::int64_t LastRowId() const { return sqlite3_last_insert_rowid(db_); }
    // Runs a bound statement once and makes it ready for the next values.
    bool Step(sqlite3_stmt* statement) {
        const int status = sqlite3_step(statement);
        sqlite3_reset(statement);
        return status == SQLITE_DONE || Fail();
    }
    bool Close() {
        for (sqlite3_stmt* statement : statements_) sqlite3_finalize(statement);
        statements_.clear();
        const int status = sqlite3_close(db_);
        if (status != SQLITE_OK) {
            reason_ = sqlite3_errstr(status);
            return false;
        }
        db_ = nullptr;
        return true;
    }
    const std::string& Reason() const { return reason_; }
    bool FailWith(const char* reason) {
        if (reason_.empty()) reason_ = reason;
        return false;
    }

private:
    bool Fail() {
        if (reason_.empty()) reason_ = db_ ? sqlite3_errmsg(db_) : "cannot open the database";
        return false;
    }
    sqlite3* db_ = nullptr;
    std::vector<sqlite3_stmt*> statements_;
    std::string reason_;
};

void BindText(sqlite3_stmt* statement, int column, std::string_view text) {
    sqlite3_bind_text(statement, column, text.data(), static_cast<int>(text.size()),
                      SQLITE_TRANSIENT);
}

void BindTextStatic(sqlite3_stmt* statement, int column, std::string_view text) {
    sqlite3_bind_text(statement, column, text.data(), static_cast<int>(text.size()), SQLITE_STATIC);
}

// Walks the catalog set and fills the two tables.
class SqliteFiller {
public:
    SqliteFiller(CatalogSet& set, Database& db) : set_(set), db_(db) {}

    bool Prepare() {
        disk_ = db_.Prepare("INSERT INTO disks VALUES (?1, ?2, ?3, ?4, ?5, ?6, ?7, ?8)");
        // The ids are not given: SQLite numbers new rows on from the largest
        // id, 1 in an empty table, which is the order the rows are made in.
        // Flush checks that the two agree.
        if (!db_.RegisterFeed(kEntryFeed, batch_)) return false;
        entries_ = db_.Prepare(
            "INSERT INTO entries (disk, parent, name, kind, size, time)"
            " SELECT disk, parent, name, kind, size, time FROM entry_feed");
        batch_.rows.reserve(kBatchRows);
        return disk_ && entries_;
    }

    bool FillAll(SqliteExportOutcome& outcome) {
        const TreeItem root = set_.FindRootItem();
        if (root == kNoItem) return true;
        std::vector<FileData*> disks;
        set_.ForEachEntryUnder(root, [&](FileData& disk) { disks.push_back(&disk); });
        for (FileData* disk : disks) {
            if (!disk->IsDisk()) continue;
            ++outcome.disks;
            if (!FillDisk(*disk, static_cast<std::int64_t>(outcome.disks))) return false;
        }
        if (!Flush()) return false;
        outcome.entries = static_cast<std::uint64_t>(nextEntry_ - 1);
        return true;
    }

private:
    struct Pending {
        TreeItem item;
        std::int64_t parent;  // 0: the disk's top level
    };

    bool FillDisk(FileData& disk, std::int64_t id) {
        set_.SettleSize(disk);
        const TreeItem item = set_.ItemOfEntry(disk);
        const std::string source = item == kNoItem ? std::string() : set_.CatalogFileOf(item);
        const std::string codePage = item == kNoItem ? std::string() : set_.CodePageOf(item);
        sqlite3_bind_int64(disk_, 1, id);
        BindTextStatic(disk_, 2, disk.GetName());
        BindTextStatic(disk_, 3, KindWord(disk.GetKind()));
        sqlite3_bind_int64(disk_, 4, disk.Size());
        sqlite3_bind_int64(disk_, 5, disk.Store().FreeSpaceOf(disk));
        sqlite3_bind_int64(disk_, 6, disk.GetTime());
        if (source.empty())
            sqlite3_bind_null(disk_, 7);
        else
            BindText(disk_, 7, source);
        BindText(disk_, 8, codePage.empty() ? kUtf8CodePage : std::string_view(codePage));
        if (!db_.Step(disk_)) return false;
        if (item == kNoItem) return true;
        diskId_ = id;
        return FillBelow(item);
    }

    // Every entry below the disk item, containers before what they hold.
    bool FillBelow(TreeItem diskItem) {
        std::vector<Pending> pending{{diskItem, 0}};
        while (!pending.empty()) {
            const Pending at = pending.back();
            pending.pop_back();
            containers_.clear();
            bool ok = true;
            set_.ForEachEntryUnder(at.item, [&](FileData& entry) {
                if (ok) ok = AddEntry(entry, at.parent);
            });
            if (!ok) return false;
            const auto children = set_.Tree().Children(at.item);
            ChildItemEntries entries(set_, at.item, children.size());
            for (auto it = children.rbegin(); it != children.rend(); ++it) {
                FileData* entry = entries.Find(*it);
                const auto id = entry ? containers_.find(entry) : containers_.end();
                pending.push_back({*it, id == containers_.end() ? at.parent : id->second});
            }
        }
        return true;
    }

    bool AddEntry(FileData& entry, std::int64_t parent) {
        set_.SettleSize(entry);
        const std::int64_t id = nextEntry_++;
        if (entry.IsContainer()) containers_.emplace(&entry, id);
        batch_.rows.push_back({.disk = diskId_,
                               .parent = parent,
                               .name = entry.GetName(),
                               .kind = KindWord(entry.GetKind()),
                               .size = entry.Size(),
                               .time = entry.GetTime()});
        return batch_.rows.size() < kBatchRows || Flush();
    }

    // Stores the rows of the batch and empties it.
    bool Flush() {
        if (batch_.rows.empty()) return true;
        if (!db_.Step(entries_)) return false;
        batch_.rows.clear();
        return db_.LastRowId() == nextEntry_ - 1 ||
               db_.FailWith("the entries were numbered out of order");
    }

    CatalogSet& set_;
    Database& db_;
    sqlite3_stmt* disk_ = nullptr;
    sqlite3_stmt* entries_ = nullptr;
    EntryBatch batch_;
    std::int64_t diskId_ = 0;
    std::int64_t nextEntry_ = 1;
    // The row ids of the containers filed under the item being filled.
    std::unordered_map<const FileData*, std::int64_t> containers_;
};

bool FillDatabase(CatalogSet& set, Database& db, SqliteExportOutcome& outcome) {
    // The file is new and is renamed into place only when complete, so
    // nothing needs a journal or a sync on the way. The index sorts decide
    // the rest: with temporary files allowed and a small cache, the sorter
    // sorts runs of a megabyte, which fit in the processor's caches, and
    // merges them from temporary files; held all in memory it sorts one
    // list of millions of scattered records, several times slower. Rows
    // are written in order, so a small cache costs the inserts nothing, and
    // a memory map lets the sorts read the table without copying it.
    if (!db.Run("PRAGMA journal_mode=OFF; PRAGMA synchronous=OFF; PRAGMA locking_mode=EXCLUSIVE;"
                "PRAGMA temp_store=FILE; PRAGMA cache_size=-1024; PRAGMA mmap_size=2147418112;"))
        return false;
    if (!db.Run("BEGIN") || !db.Run(kSchema)) return false;
    SqliteFiller filler(set, db);
    if (!filler.Prepare() || !filler.FillAll(outcome)) return false;
    const std::string version = "PRAGMA user_version=" + std::to_string(kSqliteSchemaVersion);
    return db.Run(kIndexes) && db.Run(version.c_str()) && db.Run("COMMIT");
}

}  // namespace

SqliteExportOutcome ExportToSqlite(CatalogSet& set, const std::string& path) {
    SqliteExportOutcome outcome;
    std::string temporary = path + ".XXXXXX";
    const int fd = ::mkstemp(temporary.data());
    if (fd < 0) {
        outcome.reason = std::strerror(errno);
        return outcome;
    }
    ::close(fd);
    bool written = false;
    {
        Database db;
        written = db.Open(temporary) && FillDatabase(set, db, outcome) && db.Close();
        if (!written) outcome.reason = db.Reason();
    }
    if (written && std::rename(temporary.c_str(), path.c_str()) != 0) {
        outcome.reason = std::strerror(errno);
        written = false;
    }
    if (!written) {
        std::remove(temporary.c_str());
        return outcome;
    }
    outcome.written = true;
    return outcome;
}

}  // namespace kestavo
