// SPDX-License-Identifier: GPL-3.0-or-later
// kestavo-cli --format csv|json|jsonl and export --sqlite, read back with
// Python's csv, json and sqlite3 modules.
#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

#include "catalog/catalog_set.h"
#include "media/catalog_new_disk.h"
#include "support/test_support.h"

namespace kestavo {
namespace {

const std::string kCatalogs = std::string(KESTAVO_TEST_DATA) + "/catalogs";

test::CliRun RunCli(const std::string& catalogs, const std::vector<std::string>& args,
                    const std::string& drives = "", const std::string& zone = "UTC") {
    return test::RunProgram(
        KESTAVO_CLI, {{"Kestavo", catalogs}, {"KESTAVO_DRIVES", drives}, {"TZ", zone}}, args);
}

// Runs a Python program on `file` and answers what it printed.
std::string Python(const std::string& program, const std::string& file) {
    const test::CliRun run = test::RunProgram("python3", {}, {"-c", program, file});
    EXPECT_EQ(run.status, 0) << run.err;
    return run.out;
}

// Each CSV row as a JSON list, one per line.
const char* kReadCsv =
    "import csv, json, sys\n"
    "with open(sys.argv[1], newline='', encoding='utf-8') as f:\n"
    "    for row in csv.reader(f, strict=True): print(json.dumps(row, ensure_ascii=False))\n";

// The JSON array's objects, one per line, keys in their order; and the
// type of every value.
const char* kReadJson =
    "import json, sys\n"
    "rows = json.load(open(sys.argv[1], encoding='utf-8'))\n"
    "assert isinstance(rows, list)\n"
    "for row in rows: print(json.dumps(row, ensure_ascii=False))\n";

const char* kReadJsonLines =
    "import json, sys\n"
    "for line in open(sys.argv[1], encoding='utf-8'):\n"
    "    print(json.dumps(json.loads(line), ensure_ascii=False))\n";

std::string WriteOut(const test::TempDir& dir, const std::string& name, const std::string& text) {
    return dir.Write(name, text);
}

// Two disks that share one file, with names a CSV must quote.
std::string DuplicateCatalogs(const test::TempDir& dir) {
    const std::string catalogs = (dir.Path() / "catalogs").string();
    std::filesystem::create_directories(catalogs);
    std::ofstream(catalogs + "/ONE.kvx")
        << test::CatalogHeader("fixed") << "+\n\"ONE\" 1000 400 1 2 2020 8 0 0 <\n"
        << "+ \"B\xc3\xbc"
           "cher, alt\" 0 0 1 2 2020 8 0 0 <\n"
        << "\"Caf\xc3\xa9 \xe2\x80\x93 2001.doc\" 1200 15 1 2020 12 30 0\n>\n>\n";
    std::ofstream(catalogs + "/TWO.kvx")
        << test::CatalogHeader("cdrom") << "+\n\"TWO\" 2000 0 3 2 2020 9 0 0 <\n"
        << "\"caf\xc3\xa9 \xe2\x80\x93 2001.doc\" 1200 15 1 2020 12 30 0\n>\n";
    return catalogs;
}

TEST(CliFormatTest, FindAsCsvReadsBackWithPythonsCsvModule) {
    const test::CliRun run = RunCli(kCatalogs, {"find", "img*", "--unit", "KB", "--format", "csv"});
    ASSERT_EQ(run.status, 0) << run.err;
    EXPECT_EQ(run.out.substr(0, 43), "name,folder,disk,kind,size,size_text,date\r\n");
    test::TempDir dir;
    EXPECT_EQ(Python(kReadCsv, WriteOut(dir, "find.csv", run.out)),
              "[\"name\", \"folder\", \"disk\", \"kind\", \"size\", \"size_text\", \"date\"]\n"
              "[\"IMG_0001.JPG\", \"BACKUP/Photos\", \"BACKUP\", \"file\", \"2097152\", "
              "\"2048KB\", \"2001-01-01T10:00:01+00:00\"]\n"
              "[\"img_0002.jpg\", \"BACKUP/Photos\", \"BACKUP\", \"file\", \"1048577\", "
              "\"1025KB\", \"2001-01-01T10:00:02+00:00\"]\n");
}

TEST(CliFormatTest, FindWritesTheTableToTheReportFileAndCountsContainers) {
    test::TempDir dir;
    const std::string file = (dir.Path() / "found.json").string();
    const test::CliRun run = RunCli(
        kCatalogs, {"find", "docs", "--format", "json", "--report", file}, "", "Europe/Berlin");
    ASSERT_EQ(run.status, 0) << run.err;
    EXPECT_EQ(run.out, "");
    // A folder with no catalogued size has the size of its contents.
    EXPECT_EQ(Python(kReadJson, file),
              "{\"name\": \"DOCS\", \"folder\": \"BACKUP\", \"disk\": \"BACKUP\", \"kind\": "
              "\"folder\", \"size\": 106276, \"size_text\": \"106276\", \"date\": "
              "\"1998-10-06T20:15:00+02:00\"}\n");
}

TEST(CliFormatTest, DuplicatesAsJsonAndJsonLinesKeepTypesAndSets) {
    test::TempDir dir;
    const std::string catalogs = DuplicateCatalogs(dir);
    test::CliRun run = RunCli(catalogs, {"duplicates", "--format", "json"});
    ASSERT_EQ(run.status, 0) << run.err;
    const std::string expected =
        "{\"set\": 1, \"name\": \"Caf\xc3\xa9 \xe2\x80\x93 2001.doc\", \"folder\": "
        "\"ONE/B\xc3\xbc"
        "cher, alt\", \"disk\": \"ONE\", \"kind\": \"file\", \"size\": 1200, "
        "\"size_text\": \"1200\", \"date\": \"2020-01-15T12:30:00+00:00\"}\n"
        "{\"set\": 1, \"name\": \"caf\xc3\xa9 \xe2\x80\x93 2001.doc\", \"folder\": \"TWO\", "
        "\"disk\": \"TWO\", \"kind\": \"file\", \"size\": 1200, \"size_text\": \"1200\", "
        "\"date\": \"2020-01-15T12:30:00+00:00\"}\n";
    EXPECT_EQ(Python(kReadJson, WriteOut(dir, "dups.json", run.out)), expected);
    run = RunCli(catalogs, {"duplicates", "--format=jsonl"});
    ASSERT_EQ(run.status, 0) << run.err;
    EXPECT_EQ(Python(kReadJsonLines, WriteOut(dir, "dups.jsonl", run.out)), expected);

    // No set found: an empty array, and a CSV of the header alone.
    run = RunCli(catalogs,
                 {"duplicates", "--no-names", "--no-sizes", "--no-dates", "--format", "json"});
    EXPECT_EQ(run.out, "[]\n");
    run = RunCli(catalogs, {"duplicates", "--threshold", "2", "--unit", "KB", "--format", "csv"});
    EXPECT_EQ(run.out, "set,name,folder,disk,kind,size,size_text,date\r\n");
}

TEST(CliFormatTest, LsListsDisksOrContentsWithTheirFields) {
    test::TempDir dir;
    const std::string catalogs = DuplicateCatalogs(dir);
    test::CliRun run = RunCli(catalogs, {"ls", "--format", "jsonl", "--unit", "KB"});
    ASSERT_EQ(run.status, 0) << run.err;
    EXPECT_EQ(Python(kReadJsonLines, WriteOut(dir, "ls.jsonl", run.out)),
              "{\"disk\": \"ONE\", \"kind\": \"fixed-disk\", \"size\": 1000, \"size_text\": "
              "\"1KB\", \"free\": 400, \"free_text\": \"1KB\", \"date\": "
              "\"2020-02-01T08:00:00+00:00\"}\n"
              "{\"disk\": \"TWO\", \"kind\": \"cdrom-disk\", \"size\": 2000, \"size_text\": "
              "\"2KB\", \"free\": 0, \"free_text\": \"0KB\", \"date\": "
              "\"2020-02-03T09:00:00+00:00\"}\n");
    run = RunCli(catalogs, {"ls", "ONE", "--format", "csv"});
    ASSERT_EQ(run.status, 0) << run.err;
    EXPECT_EQ(run.out,
              "name,folder,disk,kind,size,size_text,date\r\n"
              "\"B\xc3\xbc"
              "cher, alt\",ONE,ONE,folder,1200,1200,2020-02-01T08:00:00+00:00\r\n");
    // Without --format the listing is as it always was.
    run = RunCli(catalogs, {"ls", "ONE"});
    EXPECT_EQ(run.out,
              "Name\tSize\tDate\nB\xc3\xbc"
              "cher, alt\t1200\t02/01/20 08:00:00\n");
}

TEST(CliFormatTest, CompareRowsHaveTheSidesTheyHave) {
    test::TempDir dir;
    const std::string disk = (dir.Path() / "disk").string();
    const std::string catalogs = (dir.Path() / "catalogs").string();
    std::filesystem::create_directories(disk + "/sub");
    std::ofstream(disk + "/a.txt") << "abc";
    std::ofstream(disk + "/gone.txt") << "12345";
    {
        CatalogSet set;
        test::RecordingMessages messages;
        media::DriveMap none;
        media::CatalogNewDisk command(set, none, messages);
        command.SetCatalogDirectory(catalogs);
        ASSERT_EQ(command.RunOnDirectory(disk, "WORK").status, media::CatalogStatus::Written);
    }
    const std::string drives = "E:|removable|WORK|" + disk;
    test::CliRun run = RunCli(catalogs, {"compare", "E:", "--format", "json"}, drives);
    ASSERT_EQ(run.status, 0) << run.err;
    EXPECT_EQ(Python(kReadJson, WriteOut(dir, "same.json", run.out)),
              "{\"status\": \"Identical\", \"name\": \"All files\", \"folder\": \"\", \"disk\": "
              "\"WORK\", \"catalog_size\": null, \"catalog_size_text\": null, \"catalog_date\": "
              "null, \"disk_size\": null, \"disk_size_text\": null, \"disk_date\": null}\n");

    std::filesystem::remove(disk + "/gone.txt");
    std::ofstream(disk + "/a.txt") << "abcdef";
    std::ofstream(disk + "/sub/new.txt") << "x";
    run = RunCli(catalogs, {"compare", "E:", "--format", "csv"}, drives);
    ASSERT_EQ(run.status, 0) << run.err;
    // Status, name, folder, disk; catalog size, text, date; disk size, text, date.
    const char* check =
        "import csv, sys, re\n"
        "rows = list(csv.DictReader(open(sys.argv[1], newline='', encoding='utf-8')))\n"
        "iso = re.compile(r'^\\d{4}-\\d\\d-\\d\\dT\\d\\d:\\d\\d:\\d\\d[+-]\\d\\d:\\d\\d$')\n"
        "for r in rows:\n"
        "    for side in ('catalog', 'disk'):\n"
        "        d = r[side + '_date']\n"
        "        assert d == '' or iso.match(d), d\n"
        "        r[side + '_date'] = 'date' if d else ''\n"
        "    print('|'.join(r.values()))\n";
    EXPECT_EQ(Python(check, WriteOut(dir, "changes.csv", run.out)),
              "new|new.txt|E:/sub|WORK||||1|1|date\n"
              "modified|a.txt|WORK|WORK|3|3|date|6|6|date\n"
              "deleted|gone.txt|WORK|WORK|5|5|date|||\n");
}

TEST(CliFormatTest, RefusesAnUnknownFormatAndChecksItsOutput) {
    test::CliRun run = RunCli(kCatalogs, {"find", "*", "--format", "xml"});
    EXPECT_EQ(run.status, 2);
    EXPECT_NE(run.err.find("--format takes csv, json or jsonl"), std::string::npos) << run.err;
    run = RunCli(kCatalogs, {"properties", "--format", "csv"});
    EXPECT_EQ(run.status, 2);
    EXPECT_NE(run.err.find("unknown option --format"), std::string::npos) << run.err;

    run = test::RunProgram("sh", {{"Kestavo", kCatalogs}},
                           {"-c", std::string(KESTAVO_CLI) + " find '*' --format json >/dev/full"});
    EXPECT_EQ(run.status, 1);
    EXPECT_EQ(run.err, "kestavo-cli: write error: No space left on device\n");
    test::TempDir dir;
    run = RunCli(kCatalogs, {"ls", "--format", "csv", "--report", (dir.Path() / "x.csv").string()});
    EXPECT_EQ(run.status, 2);
}

// The disks and entries of the database, as the man page's queries see them.
const char* kReadDatabase =
    "import sqlite3, sys\n"
    "db = sqlite3.connect(sys.argv[1])\n"
    "print('version', db.execute('PRAGMA user_version').fetchone()[0])\n"
    "for row in db.execute('SELECT id, label, kind, total, free, cataloged, source_file, "
    "code_page FROM disks ORDER BY id'):\n"
    "    print('disk', *[str(v).rsplit('/', 1)[-1] for v in row])\n"
    "print('entries', db.execute('SELECT count(*) FROM entries').fetchone()[0])\n"
    "print('indexes', *[r[0] for r in db.execute(\"SELECT name FROM sqlite_master WHERE "
    "type = 'index' ORDER BY name\")])\n"
    "where = '''WITH RECURSIVE up(entry, id, path) AS (\n"
    "  SELECT id, parent, name FROM entries WHERE name = 'main.c'\n"
    "  UNION ALL\n"
    "  SELECT up.entry, e.parent, e.name || '/' || up.path\n"
    "  FROM entries e JOIN up ON e.id = up.id)\n"
    "SELECT d.label || '/' || up.path,\n"
    "       datetime(x.time, 'unixepoch', 'localtime')\n"
    "FROM up JOIN entries x ON x.id = up.entry JOIN disks d ON d.id = x.disk\n"
    "WHERE up.id IS NULL'''\n"
    "print('where', *db.execute(where).fetchone())\n"
    "for row in db.execute(\"SELECT d.label, e.name, e.size FROM entries e JOIN disks d ON "
    "d.id = e.disk WHERE e.kind = 'file' ORDER BY e.size DESC LIMIT 10\"):\n"
    "    print('large', *row)\n"
    "print('folder', *db.execute(\"SELECT kind, size, time FROM entries WHERE name = "
    "'DOCS'\").fetchone())\n";

TEST(CliExportTest, WritesEveryCatalogIntoOneSqliteDatabase) {
    test::TempDir dir;
    const std::string file = (dir.Path() / "all.db").string();
    const test::CliRun run = RunCli(kCatalogs, {"export", "--sqlite", file});
    ASSERT_EQ(run.status, 0) << run.err;
    EXPECT_EQ(run.out, "");
    const std::string read = Python(kReadDatabase, file);
    EXPECT_EQ(read.substr(0, read.find("\nentries")),
              "version 1\n"
              "disk 1 BACKUP disk 1048576000 262144000 907770605 BACKUP.kvx UTF-8\n"
              "disk 2 CD01 cdrom-disk 681574400 0 1072288800 CD01.kvx UTF-8\n"
              "disk 3 Floppy disk 1474560 1000 794221749 floppy.kvx UTF-8")
        << read;
    EXPECT_NE(read.find("\nindexes entries_by_name entries_by_size\n"), std::string::npos) << read;
    // The two queries of the manual page.
    EXPECT_NE(read.find("\nwhere BACKUP/DOCS/old.zip/src/main.c 1998-09-01 12:00:00\n"),
              std::string::npos)
        << read;
    EXPECT_NE(read.find("\nlarge BACKUP Notes.TXT 3000000000\nlarge CD01 setup.exe 5242880\n"),
              std::string::npos)
        << read;
    EXPECT_NE(read.find("\nfolder folder 106276 907704900\n"), std::string::npos) << read;
    // Nothing but the database is left beside it.
    EXPECT_EQ(std::distance(std::filesystem::directory_iterator(dir.Path()),
                            std::filesystem::directory_iterator()),
              1);
}

TEST(CliExportTest, AFailedWriteLeavesTheOldFileAndNoTemporaryFile) {
    test::TempDir dir;
    const std::string file = dir.Write("all.db", "old contents");
    // A file size limit makes the database's writes fail part way.
    const std::string limited =
        "import os, resource, signal, sys\n"
        "signal.signal(signal.SIGXFSZ, signal.SIG_IGN)\n"
        "resource.setrlimit(resource.RLIMIT_FSIZE, (4096, 4096))\n"
        "os.execv(sys.argv[1], sys.argv[1:])\n";
    const test::CliRun run =
        test::RunProgram("python3", {{"Kestavo", kCatalogs}},
                         {"-c", limited, KESTAVO_CLI, "export", "--sqlite", file});
    EXPECT_EQ(run.status, 1);
    EXPECT_EQ(run.err.rfind("Cannot write the database " + file + ": ", 0), 0u) << run.err;
    EXPECT_EQ(test::ReadWholeFile(file), "old contents");
    EXPECT_EQ(std::distance(std::filesystem::directory_iterator(dir.Path()),
                            std::filesystem::directory_iterator()),
              1);

    const test::CliRun missing =
        RunCli(kCatalogs, {"export", "--sqlite", (dir.Path() / "no" / "x.db").string()});
    EXPECT_EQ(missing.status, 1);
    EXPECT_NE(missing.err.find("No such file or directory"), std::string::npos) << missing.err;
    EXPECT_EQ(RunCli(kCatalogs, {"export"}).status, 2);
}

}  // namespace
}  // namespace kestavo
