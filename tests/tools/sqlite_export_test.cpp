// SPDX-License-Identifier: GPL-3.0-or-later
#include "tools/sqlite_export.h"

#include <gtest/gtest.h>
#include <sys/stat.h>

#include <algorithm>
#include <random>
#include <sstream>
#include <string>
#include <vector>

#include "support/test_support.h"
#include "tools/tool_tables.h"

namespace kestavo {
namespace {

// Disks of nested folders, Zip Folders and files, several batches of rows
// in all, with the same names in many folders.
std::string DiskText(int disk, std::mt19937& random) {
    const auto file = [&random](int n) {
        return "\"f" + std::to_string(n % 700) + ".txt\" " + std::to_string(random() % 100000) +
               " " + std::to_string(1 + random() % 28) + " " + std::to_string(1 + random() % 12) +
               " " + std::to_string(1990 + random() % 30) + " " + std::to_string(random() % 24) +
               " 0 " + std::to_string(random() % 60) + " ";
    };
    std::string text = test::CatalogHeader() + "+ \"DISK" + std::to_string(disk) +
                       "\" 0 0 1 1 2000 0 0 0 < " + file(1) + file(2);
    for (int folder = 0; folder < 40; ++folder) {
        text += "+\"dir" + std::to_string(folder) + "\" 0 0 1 1 2000 0 0 0 < ";
        for (int n = 0; n < 200; ++n) text += file(n);
        text += "+\"sub\" 0 0 1 1 2001 0 0 0 < ";
        for (int n = 0; n < 150; ++n) text += file(n);
        text += "> ";
        if (folder % 10 == 0) {
            text += "+\"pack" + std::to_string(folder) + ".zip\" 4000 0 1 1 2002 0 0 0 < " +
                    file(5) + "+\"inside\" 0 0 1 1 2002 0 0 0 < " + file(6) + file(7) + "> > ";
        }
        text += "> ";
    }
    return text + ">";
}

// Every entry of the set as "DISK/path kind size time", from a walk of its
// own: each container's entries follow through the item that shows it.
class ExpectedRows {
public:
    explicit ExpectedRows(const CatalogSet& set) : set_(set) {
        set.ForEachEntryUnder(set.FindRootItem(), [&](FileData& disk) {
            const TreeItem item = set.ItemOfEntry(disk);
            if (item != kNoItem) Walk(item, std::string(disk.GetName()));
        });
        std::sort(rows_.begin(), rows_.end());
    }
    const std::vector<std::string>& Rows() const { return rows_; }

private:
    void Walk(TreeItem item, const std::string& path) {
        set_.ForEachEntryUnder(item, [&](FileData& entry) {
            const std::string at = path + "/" + std::string(entry.GetName());
            rows_.push_back(at + " " + KindWord(entry.GetKind()) + " " +
                            std::to_string(entry.Size()) + " " + std::to_string(entry.GetTime()));
            const TreeItem child = entry.IsContainer() ? set_.ItemOfEntry(entry) : kNoItem;
            if (child != kNoItem) Walk(child, at);
        });
    }
    const CatalogSet& set_;
    std::vector<std::string> rows_;
};

// The entries as the database holds them, each with the path its parents
// give, sorted; and a line for each row whose id, parent or disk is wrong.
const char* kReadEntries =
    "import sqlite3, sys\n"
    "db = sqlite3.connect(sys.argv[1])\n"
    "labels = dict(db.execute('SELECT id, label FROM disks'))\n"
    "rows = db.execute('SELECT id, disk, parent, name, kind, size, time FROM entries "
    "ORDER BY id').fetchall()\n"
    "by_id = {r[0]: r for r in rows}\n"
    "out = []\n"
    "for n, (id, disk, parent, name, kind, size, time) in enumerate(rows, 1):\n"
    "    if id != n: print('gap at', n)\n"
    "    path = name\n"
    "    up = parent\n"
    "    while up is not None:\n"
    "        p = by_id[up]\n"
    "        if p[0] >= id or p[4] == 'file' or p[1] != disk: print('bad parent of', id)\n"
    "        path = p[3] + '/' + path\n"
    "        up = p[2]\n"
    "    out.append(f'{labels[disk]}/{path} {kind} {size} {time}')\n"
    "print('\\n'.join(sorted(out)))\n";

TEST(SqliteExportTest, EveryEntryOfSeveralBatchesIsStoredOnceUnderItsOwnParent) {
    CatalogSet set;
    test::RecordingMessages messages;
    std::mt19937 random(11);
    for (int disk = 0; disk < 3; ++disk)
        ASSERT_EQ(test::LoadText(set, DiskText(disk, random), messages,
                                 "D" + std::to_string(disk) + ".kvx"),
                  LoadOutcome::Loaded);
    test::TempDir dir;
    const std::string file = (dir.Path() / "all.db").string();
    const SqliteExportOutcome outcome = ExportToSqlite(set, file);
    ASSERT_TRUE(outcome.written) << outcome.reason;
    EXPECT_EQ(outcome.disks, 3u);

    const ExpectedRows expected(set);
    ASSERT_GT(expected.Rows().size(), 40000u);
    EXPECT_EQ(outcome.entries, expected.Rows().size());
    const test::CliRun run = test::RunProgram("python3", {}, {"-c", kReadEntries, file});
    ASSERT_EQ(run.status, 0) << run.err;
    std::vector<std::string> stored;
    std::istringstream lines(run.out);
    for (std::string line; std::getline(lines, line);) stored.push_back(line);
    ASSERT_EQ(stored.size(), expected.Rows().size());
    for (std::size_t i = 0; i < stored.size(); ++i) ASSERT_EQ(stored[i], expected.Rows()[i]) << i;
}

// The database is readable as the user's other new files are, and one
// written over an older export keeps that file's mode.
TEST(SqliteExportTest, TheDatabaseGetsTheModeOfANewFileOrOfTheFileItReplaces) {
    CatalogSet set;
    test::RecordingMessages messages;
    std::mt19937 random(3);
    ASSERT_EQ(test::LoadText(set, DiskText(0, random), messages), LoadOutcome::Loaded);
    test::TempDir dir;
    const std::string file = (dir.Path() / "all.db").string();
    const mode_t oldMask = ::umask(022);
    const bool written = ExportToSqlite(set, file).written;
    ::umask(oldMask);
    ASSERT_TRUE(written);
    struct stat st {};
    ASSERT_EQ(::stat(file.c_str(), &st), 0);
    EXPECT_EQ(st.st_mode & 0777, 0644u);

    ASSERT_EQ(::chmod(file.c_str(), 0640), 0);
    ASSERT_TRUE(ExportToSqlite(set, file).written);
    ASSERT_EQ(::stat(file.c_str(), &st), 0);
    EXPECT_EQ(st.st_mode & 0777, 0640u);
}

}  // namespace
}  // namespace kestavo
