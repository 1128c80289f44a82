// SPDX-License-Identifier: GPL-3.0-or-later
// Catalogs written on Windows in its 8-bit or double-byte code page: a disk
// with UTF-8 names is catalogued, the catalog turned into the code page with
// iconv, and what is read back must be the disk's own names, for the tools,
// the launching of files and kestavo-cli alike.
#include <gtest/gtest.h>
#include <sys/time.h>

#include <algorithm>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <ostream>
#include <string>
#include <vector>

#include "catalog/catalog_reader.h"
#include "catalog/catalog_set.h"
#include "media/catalog_new_disk.h"
#include "media/launch_path.h"
#include "support/test_support.h"
#include "tools/disk_comparison.h"

namespace kestavo {
namespace {

namespace fs = std::filesystem;

// A disk as a user on Windows would have named its folders and files.
struct LegacyDisk {
    const char* testName;
    const char* codePage;  // what iconv writes the catalog in
    const char* shownAs;   // how Properties names it
    std::string label;
    std::vector<std::string> files;  // paths below the disk, "/" between folders
};

const LegacyDisk kWestern{"Windows1252",
                          "WINDOWS-1252",
                          "Windows-1252",
                          "Übersicht",
                          {"Bücher/Résumé – 2001.doc", "Bücher und Café.txt", "Ärger/Größe.xls"}};
// Enough Cyrillic names for the guess to tell the code page; no setting.
const LegacyDisk kCyrillic{"Windows1251",
                           "WINDOWS-1251",
                           "Windows-1251",
                           "Архив",
                           {"Документы/Отчёт за 2001 год.doc", "Документы/Резюме.doc",
                            "Фотографии/Новая папка/Море.jpg", "Письма.txt", "Бухгалтерия.xls"}};
// Trail bytes 0x5C (表, ソ, 能) and a to z (Ｂ, Ｃ).
const LegacyDisk kJapanese{"CP932",
                           "CP932",
                           "CP932",
                           "写真集",
                           {"ドキュメント/日本語のファイル.txt", "ドキュメント/表示.txt",
                            "ソフト.txt", "ＡＢＣ.txt", "能力/メモ.doc"}};

void PrintTo(const LegacyDisk& legacy, std::ostream* out) {
    *out << legacy.codePage;
}

std::string Iconv(const std::string& file, const std::string& codePage) {
    const test::CliRun run = test::RunProgram("iconv", {}, {"-f", "UTF-8", "-t", codePage, file});
    EXPECT_EQ(run.status, 0) << run.err;
    return run.out;
}

class LegacyCatalogTest : public ::testing::TestWithParam<LegacyDisk> {
protected:
    void SetUp() override {
        const LegacyDisk& legacy = GetParam();
        disk = dir.Path() / "disk";
        catalogs = (dir.Path() / "catalogs").string();
        std::size_t size = 1;
        for (const std::string& file : legacy.files) {
            const fs::path path = disk / file;
            fs::create_directories(path.parent_path());
            std::ofstream(path, std::ios::binary) << std::string(size++, 'x');
            const timeval times[2] = {{978343200, 0}, {978343200, 0}};
            ::lutimes(path.c_str(), times);
        }
        drives = "E:|removable|" + legacy.label + "|" + disk.string();
        {
            CatalogSet scanned;
            media::DriveMap none;
            media::CatalogNewDisk command(scanned, none, messages);
            command.SetCatalogDirectory(catalogs);
            const media::CatalogOutcome outcome = command.RunOnDirectory(disk, legacy.label);
            ASSERT_EQ(outcome.status, media::CatalogStatus::Written);
            // The same catalog as Windows wrote it, under an ASCII file name.
            legacyCatalog = Iconv(outcome.path, legacy.codePage);
            ASSERT_NE(legacyCatalog, test::ReadWholeFile(outcome.path));
            fs::remove(outcome.path);
            catalogFile = catalogs + "/LEGACY.kvx";
            std::ofstream(catalogFile, std::ios::binary) << legacyCatalog;
        }
        ASSERT_EQ(LoadCatalog(set, catalogFile, messages), LoadOutcome::Loaded);
        ASSERT_TRUE(messages.shown.empty()) << messages.shown[0].text;
        diskItem = test::Child(set, set.RootItem(), legacy.label);
        ASSERT_NE(diskItem, kNoItem);
    }

    test::CliRun Cli(const std::vector<std::string>& args) const {
        return test::RunProgram(KESTAVO_CLI, {{"Kestavo", catalogs}, {"KESTAVO_DRIVES", drives}},
                                args);
    }

    test::TempDir dir;
    fs::path disk;
    std::string catalogs, catalogFile, drives, legacyCatalog;
    CatalogSet set;
    test::RecordingMessages messages;
    TreeItem diskItem = kNoItem;
};

TEST_P(LegacyCatalogTest, NamesReadAsOnTheDiskAndThePageIsKept) {
    EXPECT_EQ(set.CodePageOf(diskItem), GetParam().shownAs);
    // Every name, the label's too, is the disk's own.
    for (const std::string& file : GetParam().files) {
        TreeItem item = diskItem;
        const fs::path path(file);
        for (auto part = path.begin(); part != std::prev(path.end()); ++part) {
            item = test::Child(set, item, part->string());
            ASSERT_NE(item, kNoItem) << file;
        }
        const std::vector<std::string> names = test::EntryNames(set, item);
        EXPECT_NE(std::find(names.begin(), names.end(), path.filename().string()), names.end())
            << file;
    }
    // The catalog file is left as Windows wrote it.
    EXPECT_EQ(test::ReadWholeFile(catalogFile), legacyCatalog);
}

TEST_P(LegacyCatalogTest, TheDiskComparesIdenticalAndItsFilesOpen) {
    media::DriveMap map;
    map.Add(
        media::Drive{'E', media::DriveType::Removable, GetParam().label, disk.string(), {}, {}});
    DiskComparison tool(set);
    tool.SetDriveText("E:  " + GetParam().label);
    tool.CompareNow(map, messages);
    ASSERT_EQ(tool.RowCount(), 1u);
    EXPECT_EQ(tool.Row(0).status, CompareStatus::Identical);
    EXPECT_EQ(tool.Row(0).name, "All files");

    for (const std::string& file : GetParam().files) {
        const media::LaunchTarget target =
            media::ResolveLaunchPath(map, GetParam().label + "/" + file);
        EXPECT_TRUE(target.diskFound) << file;
        EXPECT_EQ(target.fullPath, (disk / file).string());
        EXPECT_TRUE(fs::is_regular_file(target.fullPath)) << target.fullPath;
    }
}

TEST_P(LegacyCatalogTest, TheCommandLineShowsComparesAndLocatesThem) {
    const LegacyDisk& legacy = GetParam();
    test::CliRun run = Cli({"ls"});
    ASSERT_EQ(run.status, 0) << run.err;
    EXPECT_EQ(run.out.substr(0, run.out.find('\t', run.out.find('\n'))),
              "Disk\tTotal Size\tFree Space\tDate Cataloged\n" + legacy.label);
    run = Cli({"ls", legacy.label});
    for (const std::string& file : legacy.files) {
        const std::string top = file.substr(0, file.find('/'));
        EXPECT_NE(run.out.find("\n" + top + "\t"), std::string::npos) << run.out;
    }
    run = Cli({"properties", legacy.label});
    EXPECT_NE(run.out.find("\nCode page: " + std::string(legacy.shownAs) + "\nDate: "),
              std::string::npos)
        << run.out;
    run = Cli({"properties", legacy.label + "/" + legacy.files[0]});
    EXPECT_EQ(run.out.find("Code page:"), std::string::npos) << run.out;

    run = Cli({"compare", "E:"});
    EXPECT_EQ(run.status, 0) << run.err;
    EXPECT_NE(run.out.find(" Identical       All files"), std::string::npos) << run.out;
    EXPECT_NE(run.out.find(" 1 Differences found.\r\n"), std::string::npos) << run.out;

    run = Cli({"locate", legacy.label + "/" + legacy.files[0]});
    EXPECT_EQ(run.status, 0) << run.err;
    EXPECT_EQ(run.out, (disk / legacy.files[0]).string() + "\n");
}

// The database names the code page each disk was read in, and holds the
// names in UTF-8.
TEST_P(LegacyCatalogTest, TheExportNamesTheCodePageAndHoldsTheNames) {
    const std::string database = (dir.Path() / "all.db").string();
    test::CliRun run = Cli({"export", "--sqlite", database});
    ASSERT_EQ(run.status, 0) << run.err;
    const char* read =
        "import sqlite3, sys\n"
        "db = sqlite3.connect(sys.argv[1])\n"
        "print(*db.execute('SELECT label, code_page FROM disks').fetchone(), sep='|')\n"
        "for (name,) in db.execute(\"SELECT name FROM entries WHERE kind = 'file' ORDER BY id\"):\n"
        "    print(name)\n";
    run = test::RunProgram("python3", {}, {"-c", read, database});
    ASSERT_EQ(run.status, 0) << run.err;
    EXPECT_EQ(run.out.substr(0, run.out.find('\n')), GetParam().label + "|" + GetParam().shownAs);
    for (const std::string& file : GetParam().files)
        EXPECT_NE(run.out.find("\n" + fs::path(file).filename().string() + "\n"), std::string::npos)
            << run.out;
}

INSTANTIATE_TEST_SUITE_P(CodePages, LegacyCatalogTest,
                         ::testing::Values(kWestern, kCyrillic, kJapanese),
                         [](const ::testing::TestParamInfo<LegacyDisk>& info) {
                             return std::string(info.param.testName);
                         });

}  // namespace
}  // namespace kestavo
