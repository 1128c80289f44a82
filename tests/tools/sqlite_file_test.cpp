// SPDX-License-Identifier: GPL-3.0-or-later
// The database the export writes directly against the one SQLite writes
// from the same rows: the same dump, a sound file, indexes SQLite uses and
// can go on changing.
#include <gtest/gtest.h>

#include <string>

#include "support/test_support.h"
#include "tools/sqlite_export.h"
#include "tools/sqlite_reference_export.h"

namespace kestavo {
namespace {

// Prints what differs between the written database (argv[1]) and the
// reference (argv[2]), then "checked" and the depth of each b-tree.
const char* kCompare = R"(
import sqlite3, sys
ours, ref = sqlite3.connect(sys.argv[1]), sqlite3.connect(sys.argv[2])
one = lambda db, sql, *a: db.execute(sql, a).fetchall()
print('integrity:', one(ours, 'PRAGMA integrity_check')[0][0])
if list(ours.iterdump()) != list(ref.iterdump()): print('the dumps differ')
for pragma in ('user_version', 'encoding', 'freelist_count'):
    if one(ours, 'PRAGMA ' + pragma) != one(ref, 'PRAGMA ' + pragma): print(pragma, 'differs')
queries = [
    ('SELECT id, name FROM entries WHERE name = ?', 'entries_by_name', ("it's a name",)),
    ('SELECT id, name FROM entries WHERE name >= ? ORDER BY name LIMIT 400', 'entries_by_name',
     ('f3',)),
    ('SELECT id, size FROM entries WHERE size BETWEEN ? AND ? ORDER BY size', 'entries_by_size',
     (1000, 30000)),
    ('SELECT name, id FROM entries INDEXED BY entries_by_name ORDER BY name', 'entries_by_name', ()),
    ('SELECT size, id FROM entries INDEXED BY entries_by_size ORDER BY size', 'entries_by_size', ()),
]
for sql, index, args in queries:
    plan = ' '.join(row[3] for row in one(ours, 'EXPLAIN QUERY PLAN ' + sql, *args))
    if index not in plan: print('no', index, 'in', plan)
    if one(ours, sql, *args) != one(ref, sql, *args): print('results differ:', sql)
depth = 'SELECT name, max(length(path) - length(replace(path, "/", ""))) FROM dbstat' \
        ' WHERE pagetype = "leaf" GROUP BY name ORDER BY name'
print(' '.join(f'{name}:{levels}' for name, levels in one(ours, depth)))
ours.execute('INSERT INTO entries (disk, parent, name, kind, size, time)'
             ' SELECT disk, id, name || "+", kind, size + 1, time FROM entries WHERE id % 3 = 0')
ours.execute('INSERT INTO disks (label, kind, total, free, cataloged, code_page)'
             ' VALUES ("NEW", "cd", 1, 0, 0, "UTF-8")')
ours.commit()
print('after changes:', one(ours, 'PRAGMA integrity_check')[0][0])
)";

struct Compared {
    std::string out;
    bool ran = false;
};

Compared ExportAndCompare(CatalogSet& set, const test::TempDir& dir) {
    const std::string file = (dir.Path() / "direct.db").string();
    const std::string reference = (dir.Path() / "reference.db").string();
    const SqliteExportOutcome outcome = ExportToSqlite(set, file);
    EXPECT_TRUE(outcome.written) << outcome.reason;
    EXPECT_EQ(test::ExportThroughSqlite(set, reference), "");
    const test::CliRun run = test::RunProgram("python3", {}, {"-c", kCompare, file, reference});
    EXPECT_EQ(run.status, 0) << run.err;
    return {.out = run.out, .ran = run.status == 0};
}

std::string Files(const std::string& stem, int count, std::size_t nameBytes = 0) {
    std::string text;
    for (int n = 0; n < count; ++n) {
        std::string name = stem + std::to_string(n % 997);
        if (nameBytes > name.size()) name += std::string(nameBytes - name.size(), 'x');
        text += "\"" + name + "\" " + std::to_string((n * 7919) % 50000) + " 1 1 2001 0 0 " +
                std::to_string(n % 60) + " ";
    }
    return text;
}

std::string Disk(const std::string& label, const std::string& contents) {
    return test::CatalogHeader() + "+ \"" + label + "\" 0 0 1 1 2000 0 0 0 < " + contents + ">";
}

void Load(CatalogSet& set, const std::string& label, const std::string& contents) {
    test::RecordingMessages messages;
    ASSERT_EQ(test::LoadText(set, Disk(label, contents), messages, label + ".kvx"),
              LoadOutcome::Loaded);
}

TEST(SqliteFileTest, DeepTreesLongNamesAndOddNamesMatchWhatSqliteWrites) {
    CatalogSet set;
    // Enough rows for three levels in the table and the name index.
    std::string many;
    for (int folder = 0; folder < 100; ++folder)
        many += "+\"dir" + std::to_string(folder) + "\" 0 0 1 1 2000 0 0 0 < " +
                Files("f" + std::to_string(folder % 4), 1400) + "> ";
    Load(set, "MANY", many);
    Load(set, "EMPTY", "");
    // Names from a few hundred bytes to several overflow pages, in the table
    // and in the index, some alike up to their last bytes.
    std::string longNames = Files("long", 40, 3000) + Files("longer", 20, 9000) +
                            Files("edge", 30, 1003) + Files("x", 10, 4100);
    longNames +=
        "+\"" + std::string(5000, 'z') + "\" 0 0 1 1 2000 0 0 0 < " + Files("in", 3, 2000) + "> ";
    Load(set, "LONG", longNames);
    Load(set, "ODD",
         "\"it's a name\" 1 1 1 2001 0 0 0 \"it's a name\" 2 1 1 2001 0 0 0 "
         "\"M\xc3\xbcller \xe6\x97\xa5\xe6\x9c\xac.txt\" 3 1 1 2001 0 0 0 \"''\" 4 1 1 2001 0 0 0 "
         "\"a b  c\" 5 1 1 2001 0 0 0 ");
    test::TempDir dir;
    const Compared compared = ExportAndCompare(set, dir);
    ASSERT_TRUE(compared.ran);
    EXPECT_EQ(compared.out,
              "integrity: ok\n"
              "disks:1 entries:3 entries_by_name:3 entries_by_size:3 sqlite_schema:1\n"
              "after changes: ok\n");
}

TEST(SqliteFileTest, NoCatalogsGiveTheEmptyTables) {
    CatalogSet set;
    test::TempDir dir;
    const Compared compared = ExportAndCompare(set, dir);
    ASSERT_TRUE(compared.ran);
    EXPECT_EQ(compared.out,
              "integrity: ok\n"
              "disks:1 entries:1 entries_by_name:1 entries_by_size:1 sqlite_schema:1\n"
              "after changes: ok\n");
}

}  // namespace
}  // namespace kestavo
