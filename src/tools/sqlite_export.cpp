// SPDX-License-Identifier: GPL-3.0-or-later
// The database file is written directly in SQLite's file format rather
// than through SQLite: with everything known up front, each b-tree can be
// built bottom-up with its pages filled, and the index keys sorted here, on
// both cores, instead of by SQLite's external sorter. The file is laid out
// as the schema page, the entries table, the disks table, the size index
// and the name index; every page is written once, at its place.
#include "tools/sqlite_export.h"

#include <sqlite3.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <fstream>
#include <future>
#include <limits>
#include <optional>
#include <string>
#include <system_error>
#include <thread>
#include <utility>
#include <vector>

#include "tools/catalog_rows.h"
#include "tools/sqlite_btree.h"
#include "tools/sqlite_index_keys.h"
#include "tools/sqlite_page_file.h"
#include "tools/sqlite_record.h"

namespace kestavo {
namespace {

using sqlite_file::BtreeBuilder;
using sqlite_file::CellMaker;
using sqlite_file::FilePageSink;
using sqlite_file::kPageSize;
using sqlite_file::PageSink;
using sqlite_file::Record;
using sqlite_file::TreeKind;
using sqlite_file::WriteFailure;

// Where the writing stopped, when it did.
struct WriteResult {
    WriteResult(WriteFailure failed) : failure(failed) {}
    explicit WriteResult(std::string refused) : reason(std::move(refused)) {}
    WriteFailure failure = WriteFailure::kNone;
    std::string reason;  // a failure of its own, not a write's
};

struct OwnedDiskRow {
    std::int64_t id = 0;
    std::string label;
    std::string kind;
    std::int64_t total = 0;
    std::int64_t free = 0;
    std::int64_t cataloged = 0;
    std::string sourceFile;  // empty: none
    std::string codePage;
};

template <typename Fill>
std::span<const std::uint8_t> MakeCell(CellMaker& cells, std::int64_t rowid, Record& record,
                                       Fill fill) {
    record.Clear();
    fill(record);
    return cells.Make(rowid, record.Size(), [&record](std::uint8_t* out) { record.WriteTo(out); });
}

// Builds the entries table as the walk hands its rows on, and keeps the
// disks and the keys of the indexes for later.
class EntryTableFill : public CatalogRowConsumer {
public:
    EntryTableFill(FilePageSink& sink, std::size_t expected)
        : sink_(sink), cells_(sink, TreeKind::kTable), tree_(sink, TreeKind::kTable) {
        names_.reserve(expected);
        sizes_.reserve(expected);
    }

    bool Disk(const DiskRow& row) override {
        disks_.push_back({.id = row.id,
                          .label = std::string(row.label),
                          .kind = std::string(row.kind),
                          .total = row.total,
                          .free = row.free,
                          .cataloged = row.cataloged,
                          .sourceFile = std::string(row.sourceFile),
                          .codePage = std::string(row.codePage)});
        return true;
    }

    bool Entry(const EntryRow& row) override {
        // The index keys hold rowids in 32 bits: far more entries than any
        // catalog set holds in memory.
        if (row.id > std::numeric_limits<std::uint32_t>::max()) {
            tooMany_ = true;
            return false;
        }
        tree_.AddRow(row.id, MakeCell(cells_, row.id, record_, [&row](Record& record) {
                         record.Null();  // the id is the rowid
                         record.Int(row.disk);
                         if (row.parent == 0)
                             record.Null();
                         else
                             record.Int(row.parent);
                         record.Text(row.name);
                         record.Text(row.kind);
                         record.Int(row.size);
                         record.Int(row.time);
                     }));
        const auto rowid = static_cast<std::uint32_t>(row.id);
        names_.push_back(MakeNameKey(row.name, rowid));
        sizes_.push_back({.size = row.size, .rowid = rowid});
        return sink_.Failure() == WriteFailure::kNone;
    }

    std::uint32_t Finish() { return tree_.Finish(); }
    bool TooMany() const { return tooMany_; }
    const std::vector<OwnedDiskRow>& Disks() const { return disks_; }
    std::vector<NameKey>& Names() { return names_; }
    std::vector<SizeKey>& Sizes() { return sizes_; }

private:
    FilePageSink& sink_;
    CellMaker cells_;
    BtreeBuilder tree_;
    Record record_;
    std::vector<OwnedDiskRow> disks_;
    std::vector<NameKey> names_;
    std::vector<SizeKey> sizes_;
    bool tooMany_ = false;
};

std::uint32_t WriteDisksTable(PageSink& sink, const std::vector<OwnedDiskRow>& disks) {
    CellMaker cells(sink, TreeKind::kTable);
    BtreeBuilder tree(sink, TreeKind::kTable);
    Record record;
    for (const OwnedDiskRow& disk : disks) {
        tree.AddRow(disk.id, MakeCell(cells, disk.id, record, [&disk](Record& fields) {
                        fields.Null();  // the id is the rowid
                        fields.Text(disk.label);
                        fields.Text(disk.kind);
                        fields.Int(disk.total);
                        fields.Int(disk.free);
                        fields.Int(disk.cataloged);
                        if (disk.sourceFile.empty())
                            fields.Null();
                        else
                            fields.Text(disk.sourceFile);
                        fields.Text(disk.codePage);
                    }));
    }
    return tree.Finish();
}

std::uint32_t WriteNameIndex(PageSink& sink, const std::vector<NameKey>& keys) {
    CellMaker cells(sink, TreeKind::kIndex);
    BtreeBuilder tree(sink, TreeKind::kIndex);
    Record record;
    // The names are read in their sorted order, from all over memory: each
    // is asked for a few keys ahead.
    constexpr std::size_t kAhead = 16;
    for (std::size_t i = 0; i < keys.size(); ++i) {
        if (i + kAhead < keys.size()) __builtin_prefetch(keys[i + kAhead].text);
        const NameKey& key = keys[i];
        tree.AddKey(MakeCell(cells, 0, record, [&key](Record& fields) {
            fields.Text({key.text, key.size});
            fields.Int(key.rowid);
        }));
    }
    return tree.Finish();
}

std::uint32_t WriteSizeIndex(PageSink& sink, const std::vector<SizeKey>& keys) {
    CellMaker cells(sink, TreeKind::kIndex);
    BtreeBuilder tree(sink, TreeKind::kIndex);
    Record record;
    for (const SizeKey& key : keys) {
        tree.AddKey(MakeCell(cells, 0, record, [&key](Record& fields) {
            fields.Int(key.size);
            fields.Int(key.rowid);
        }));
    }
    return tree.Finish();
}

// The two indexes at once: the name index, the slower to sort, on a
// thread of its own, placed after the size index, whose length is counted
// before it is written so that the name index knows where it starts.
class IndexWriter {
public:
    IndexWriter(int fd, std::uint32_t firstPage) : fd_(fd), firstPage_(firstPage) {}

    // Answers the roots of the name and size indexes.
    WriteFailure Write(std::vector<NameKey>& names, std::vector<SizeKey>& sizes,
                       std::uint32_t& nameRoot, std::uint32_t& sizeRoot) {
        std::promise<std::uint32_t> nameFirst;
        std::future<std::uint32_t> nameStart = nameFirst.get_future();
        WriteFailure nameFailure = WriteFailure::kNone;
        auto nameJob = [&] {
            SortNameKeys(names);
            FilePageSink sink(fd_, nameStart.get());
            nameRoot = WriteNameIndex(sink, names);
            sink.Flush();
            nameFailure = sink.Failure();
            pageCount_ = sink.NextPage() - 1;
        };
        std::thread nameThread;
        try {
            nameThread = std::thread(nameJob);
        } catch (const std::system_error&) {
            // Without a second thread the name index follows on this one.
        }
        SortSizeKeys(sizes);
        sqlite_file::CountingSink counted(firstPage_);
        WriteSizeIndex(counted, sizes);
        nameFirst.set_value(counted.NextPage());
        FilePageSink sink(fd_, firstPage_);
        sizeRoot = WriteSizeIndex(sink, sizes);
        sink.Flush();
        if (nameThread.joinable())
            nameThread.join();
        else
            nameJob();
        return sink.Failure() != WriteFailure::kNone ? sink.Failure() : nameFailure;
    }

    // The pages of the whole file, once Write() is done.
    std::uint32_t PageCount() const { return pageCount_; }

private:
    int fd_;
    std::uint32_t firstPage_;
    std::uint32_t pageCount_ = 0;
};

// The file header (the first 100 bytes of page 1).
void PutFileHeader(std::uint8_t* page, std::uint32_t pageCount) {
    using sqlite_file::PutBigEndian;
    std::memcpy(page, "SQLite format 3", 16);
    PutBigEndian(page + 16, kPageSize == 65536 ? 1 : kPageSize, 2);
    page[18] = 1;  // legacy (rollback journal) file format versions
    page[19] = 1;
    page[20] = 0;   // no reserved bytes at the page ends
    page[21] = 64;  // the payload fractions, fixed
    page[22] = 32;
    page[23] = 32;
    PutBigEndian(page + 24, 1, 4);  // file change counter: written once
    PutBigEndian(page + 28, pageCount, 4);
    PutBigEndian(page + 40, kSqliteSchema.size(), 4);  // schema cookie
    PutBigEndian(page + 44, 4, 4);                     // schema format
    PutBigEndian(page + 56, 1, 4);                     // UTF-8
    PutBigEndian(page + 60, kSqliteSchemaVersion, 4);  // user_version
    PutBigEndian(page + 92, 1, 4);                     // the page count is valid for change 1
    PutBigEndian(page + 96, static_cast<std::uint64_t>(sqlite3_libversion_number()), 4);
}

// Page 1: the header and the sqlite_schema table, which fits in it.
WriteFailure WriteSchemaPage(int fd, PageSink& overflow, const std::uint32_t (&roots)[4],
                             std::uint32_t pageCount) {
    sqlite_file::OpenPage page(sqlite_file::kTableLeafPage, 100);
    CellMaker cells(overflow, TreeKind::kTable);
    Record record;
    for (std::size_t i = 0; i < kSqliteSchema.size(); ++i) {
        const SqliteSchemaObject& object = kSqliteSchema[i];
        const auto rowid = static_cast<std::int64_t>(i + 1);
        const auto cell = MakeCell(cells, rowid, record, [&](Record& fields) {
            fields.Text(object.type);
            fields.Text(object.name);
            fields.Text(object.table);
            fields.Int(roots[i]);
            fields.Text(object.sql);
        });
        page.Add(cell.data(), cell.size());
    }
    std::vector<std::uint8_t> bytes(page.Finish(), page.Finish() + kPageSize);
    PutFileHeader(bytes.data(), pageCount);
    return sqlite_file::WriteAt(fd, bytes.data(), kPageSize, 0);
}

WriteResult WriteDatabase(CatalogSet& set, int fd, SqliteExportOutcome& outcome) {
    // The tables are written behind the walk that fills them.
    sqlite_file::BackgroundWrites background(fd);
    FilePageSink tables(fd, 2, &background);
    EntryTableFill fill(tables, set.EntryCount());
    const CatalogRowCount count = WalkCatalogRows(set, fill);
    if (fill.TooMany()) return WriteResult(std::string("too many entries"));
    if (!count.complete) return tables.Failure();
    outcome.disks = count.disks;
    outcome.entries = count.entries;
    // In the order of kSqliteSchema: disks, entries, by name, by size.
    std::uint32_t roots[4] = {};
    roots[1] = fill.Finish();
    roots[0] = WriteDisksTable(tables, fill.Disks());
    if (!tables.Flush()) return tables.Failure();
    IndexWriter indexes(fd, tables.NextPage());
    const WriteFailure failure = indexes.Write(fill.Names(), fill.Sizes(), roots[2], roots[3]);
    if (failure != WriteFailure::kNone) return failure;
    sqlite_file::CountingSink noOverflow(indexes.PageCount() + 1);
    return WriteSchemaPage(fd, noOverflow, roots, indexes.PageCount());
}

// The process's file mode creation mask, as the kernel reports it; none
// when it cannot be read.
std::optional<mode_t> CreationMask() {
    std::ifstream status("/proc/self/status");
    std::string line;
    while (std::getline(status, line))
        if (line.rfind("Umask:", 0) == 0) {
            mode_t mask = 0;
            for (char c : line.substr(6))
                if (c >= '0' && c <= '7') mask = static_cast<mode_t>(mask * 8 + (c - '0'));
            return mask;
        }
    return std::nullopt;
}

// The temporary file is made for the owner alone; the database it becomes
// gets what a new file gets (the mode the umask leaves), or keeps the read
// and write bits of the file it replaces, so that others may read it where
// the user's files are readable.
void GiveModeOfTarget(const std::string& path, int fd) {
    constexpr mode_t kReadWrite = 0666;
    struct stat st {};
    if (::stat(path.c_str(), &st) == 0 && S_ISREG(st.st_mode)) {
        ::fchmod(fd, st.st_mode & kReadWrite);
    } else if (const std::optional<mode_t> mask = CreationMask()) {
        ::fchmod(fd, kReadWrite & ~*mask);
    }
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
    GiveModeOfTarget(path, fd);
    WriteResult result = WriteDatabase(set, fd, outcome);
    if (::close(fd) != 0 && result.failure == WriteFailure::kNone && result.reason.empty())
        result.failure = errno == ENOSPC ? WriteFailure::kFull : WriteFailure::kIo;
    bool written = result.failure == WriteFailure::kNone && result.reason.empty();
    if (!written)
        outcome.reason =
            result.reason.empty() ? sqlite_file::FailureReason(result.failure) : result.reason;
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
