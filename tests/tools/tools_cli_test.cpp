// SPDX-License-Identifier: GPL-3.0-or-later
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cstdio>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <string>
#include <vector>

#include "media/catalog_new_disk.h"
#include "support/test_support.h"

namespace kestavo {
namespace {

std::string ReadFile(const std::string& path) {
    return test::ReadWholeFile(path);
}

// Runs kestavo-cli with the given catalog directory and drive map, in UTC
// and a UTF-8 locale.
test::CliRun RunCli(const std::string& catalogs, const std::vector<std::string>& args,
                    const std::string& drives = "") {
    return test::RunProgram(KESTAVO_CLI, {{"Kestavo", catalogs}, {"KESTAVO_DRIVES", drives}}, args);
}

const std::string kCatalogs = std::string(KESTAVO_TEST_DATA) + "/catalogs";

TEST(CliFindTest, WritesTheFindFilesReport) {
    const test::CliRun run = RunCli(kCatalogs, {"find", "img*", "--unit", "KB"});
    EXPECT_EQ(run.status, 0);
    EXPECT_EQ(run.err, "");
    EXPECT_EQ(run.out,
              " Kestavo, Find Files report\r\n"
              " -------------------------------\r\n"
              "\r\n"
              " Search root        : My Removable Disk Drive\r\n"
              " Search mask        : IMG*\r\n"
              " Look in subfolders : Yes\r\n"
              "\r\n"
              "                time      size name                           path\r\n"
              "\r\n"
              "   01/01/01 10:00:01    2048KB IMG_0001.JPG                   BACKUP/Photos\r\n"
              "   01/01/01 10:00:02    1025KB img_0002.jpg                   BACKUP/Photos\r\n"
              "\r\n"
              " 2 Files found.\r\n");
}

TEST(CliFindTest, RootSubfoldersAndReportFile) {
    test::TempDir dir;
    const std::string report = (dir.Path() / "found.txt").string();
    test::CliRun run = RunCli(
        kCatalogs, {"find", "*", "--root", "backup/docs", "--no-subfolders", "--report", report});
    EXPECT_EQ(run.status, 0);
    EXPECT_EQ(run.out, "");
    const std::string text = ReadFile(report);
    EXPECT_NE(text.find(" Search root        : BACKUP/DOCS\r\n"), std::string::npos) << text;
    EXPECT_NE(text.find(" Look in subfolders : No\r\n"), std::string::npos);
    EXPECT_NE(text.find(" 3 Files found.\r\n"), std::string::npos);

    run = RunCli(kCatalogs, {"find", "*", "--root", "BACKUP/none"});
    EXPECT_EQ(run.status, 1);
    EXPECT_EQ(run.err, "No such catalog item: BACKUP/none\n");
    run = RunCli(kCatalogs, {"find", "*", "--report", (dir.Path() / "no" / "x.txt").string()});
    EXPECT_EQ(run.status, 1);
    EXPECT_NE(run.err.find("Cannot write the report"), std::string::npos);
    run = RunCli(kCatalogs, {"find"});
    EXPECT_EQ(run.status, 2);
}

TEST(CliFindTest, WorksOnAnEmptyCatalogDirectory) {
    test::TempDir empty;
    const test::CliRun run = RunCli(empty.Str(), {"find", "*"});
    EXPECT_EQ(run.status, 0);
    EXPECT_EQ(run.err, "No catalogs found.\nUse File->Catalog New Disk ... to create.\n");
    EXPECT_NE(run.out.find("\r\n\r\n 0 Files found.\r\n"), std::string::npos);
}

TEST(CliDuplicatesTest, CriteriaThresholdAndReport) {
    test::TempDir dir;
    const std::string text = "kvx_version_1_1\r\n< %drivetype default >\r\n+\r\n";
    dir.Write("ONE.kvx", text +
                             "\"ONE\" 1 1 1 1 2000 0 0 0 < \"a.txt\" 5000 1 1 2000 0 0 0 \"b\" 1 1 "
                             "1 2000 0 0 0 >\r\n");
    dir.Write("TWO.kvx", text +
                             "\"TWO\" 1 1 1 1 2000 0 0 0 < \"A.TXT\" 5000 1 1 2000 0 0 0 \"c\" 1 1 "
                             "1 2000 0 0 0 >\r\n");
    test::CliRun run = RunCli(dir.Str(), {"duplicates"});
    EXPECT_EQ(run.status, 0);
    EXPECT_EQ(run.out,
              " Kestavo, Duplicate Files report\r\n"
              " ------------------------------------\r\n"
              " Search root        : My Removable Disk Drive\r\n"
              "\r\n"
              "                time      size name                           path\r\n"
              "--->\r\n"
              "   01/01/00 00:00:00      5000 a.txt                          ONE\r\n"
              "   01/01/00 00:00:00      5000 A.TXT                          TWO\r\n"
              "\r\n"
              " 1 Duplicate sets found.\r\n");
    run = RunCli(dir.Str(), {"duplicates", "--no-names", "--no-sizes"});
    EXPECT_NE(run.out.find(" 1 Duplicate sets found."), std::string::npos);
    EXPECT_EQ(std::count(run.out.begin(), run.out.end(), '\n'), 12);  // all four files
    run = RunCli(dir.Str(), {"duplicates", "--threshold", "+5", "--unit", "KB"});
    EXPECT_NE(run.out.find(" 0 Duplicate sets found."), std::string::npos);
    run = RunCli(dir.Str(), {"duplicates", "--root", "ONE"});
    EXPECT_NE(run.out.find(" Search root        : ONE\r\n"), std::string::npos);
    EXPECT_NE(run.out.find(" 0 Duplicate sets found."), std::string::npos);
    run = RunCli(dir.Str(), {"duplicates", "--no-names", "--no-sizes", "--no-dates"});
    EXPECT_NE(run.out.find("path\r\n\r\n 0 Duplicate sets found."), std::string::npos);
}

TEST(CliDuplicatesTest, AThresholdThatIsNotAnIntegerIsAUsageError) {
    for (const char* threshold : {"12abc", "", "-0"}) {
        const test::CliRun run = RunCli(kCatalogs, {"duplicates", "--threshold", threshold});
        EXPECT_EQ(run.status, 2) << threshold;
        EXPECT_EQ(run.err, "Please enter an integer.\n");
        EXPECT_EQ(run.out, "");
    }
}

TEST(CliCompareTest, ComparesADriveOfTheMapWithItsCatalog) {
    test::TempDir dir;
    const std::string disk = (dir.Path() / "disk").string();
    const std::string catalogs = (dir.Path() / "catalogs").string();
    std::filesystem::create_directories(disk);
    std::ofstream(disk + "/a.txt") << "abc";
    {
        CatalogSet set;
        test::RecordingMessages messages;
        media::DriveMap none;
        media::CatalogNewDisk command(set, none, messages);
        command.SetCatalogDirectory(catalogs);
        ASSERT_EQ(command.RunOnDirectory(disk, "WORK").status, media::CatalogStatus::Written);
    }
    const std::string drives = "E:|removable|WORK|" + disk + ";F:|fixed|GONE|" + disk + "/missing";
    test::CliRun run = RunCli(catalogs, {"compare", "E:"}, drives);
    EXPECT_EQ(run.status, 0);
    EXPECT_EQ(run.err, "");
    EXPECT_EQ(
        run.out,
        " Kestavo, Disk/catalog compare report\r\n"
        " -----------------------------------------\r\n"
        "\r\n"
        " Disk compared is E:  WORK\r\n"
        "\r\n"
        " status          name                                size date                 path\r\n"
        "\r\n"
        " Identical       All files                     \r\n"
        " 1 Differences found.\r\n");

    std::ofstream(disk + "/new.txt") << "x";
    const std::string report = (dir.Path() / "compare.txt").string();
    run = RunCli(catalogs, {"compare", "E:  work", "--report", report}, drives);
    EXPECT_EQ(run.status, 0);
    EXPECT_EQ(run.out, "");
    const std::string text = ReadFile(report);
    EXPECT_NE(text.find(" Disk compared is E:  work\r\n"), std::string::npos) << text;
    EXPECT_NE(text.find(" new             new.txt" + std::string(32, ' ') + "1 "),
              std::string::npos)
        << text;
    EXPECT_NE(text.find(" 1 Differences found.\r\n"), std::string::npos);

    run = RunCli(catalogs, {"compare", "E:  OTHER"}, drives);
    EXPECT_EQ(run.status, 1);
    EXPECT_EQ(run.err, "Catalog for this disk is not loaded\n");
    EXPECT_EQ(run.out, "");
    run = RunCli(catalogs, {"compare", "F:"}, drives);
    EXPECT_EQ(run.status, 1);
    EXPECT_EQ(run.err, "No disk in drive F:\n");
    run = RunCli(catalogs, {"compare", "Q:"}, drives);
    EXPECT_EQ(run.err, "No disk in drive Q:\n");
    run = RunCli(catalogs, {"compare", "work"}, drives);
    EXPECT_EQ(run.status, 2);
    EXPECT_EQ(run.err, "Choose a drive from the list, or type a drive letter and a colon.\n");
}

// A folder the user may not read stops the comparison instead of making its
// catalogued files deleted ones. Run as an ordinary user: the superuser
// reads every folder.
TEST(CliCompareTest, AFolderThatCannotBeReadStopsTheComparison) {
    test::TempDir dir;
    const std::string disk = (dir.Path() / "disk").string();
    const std::string catalogs = (dir.Path() / "catalogs").string();
    std::filesystem::create_directories(disk + "/sub");
    std::filesystem::create_directories(catalogs);
    std::ofstream(disk + "/sub/a.txt") << "hi\n";
    ASSERT_EQ(RunCli(catalogs, {"catalog", disk, "--label", "WORK"}).status, 0);
    ::chmod(dir.Str().c_str(), 0755);
    ::chmod(catalogs.c_str(), 0755);
    ::chmod((disk + "/sub").c_str(), 0);
    std::vector<std::string> args = {"compare", "E:"};
    std::string program = KESTAVO_CLI;
    if (::geteuid() == 0) {
        args.insert(args.begin(), {"--reuid=65534", "--regid=65534", "--clear-groups", program});
        program = "/usr/bin/setpriv";
    }
    const bool runnable = ::access(program.c_str(), X_OK) == 0;
    const test::CliRun run =
        runnable
            ? test::RunProgram(
                  program, {{"Kestavo", catalogs}, {"KESTAVO_DRIVES", "E:|removable|WORK|" + disk}},
                  args)
            : test::CliRun{};
    ::chmod((disk + "/sub").c_str(), 0755);
    if (!runnable) GTEST_SKIP() << "no setpriv to drop the superuser's rights";
    EXPECT_EQ(run.status, 1);
    EXPECT_EQ(run.out, "");
    EXPECT_EQ(run.err,
              "The disk in drive E: could not be read: Permission denied\n"
              "The comparison was stopped.\n");
}

}  // namespace
}  // namespace kestavo
