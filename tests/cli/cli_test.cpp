// SPDX-License-Identifier: GPL-3.0-or-later
#include <gtest/gtest.h>
#include <sys/wait.h>

#include <cstdio>
#include <fstream>
#include <sstream>
#include <string>
#include <vector>

#include "support/test_support.h"

namespace kestavo {
namespace {

// Runs kestavo-cli with the given catalog directory, in UTC and a UTF-8 locale.
test::CliRun RunCli(const std::string& catalogs, const std::vector<std::string>& args) {
    return test::RunProgram(KESTAVO_CLI, {{"Kestavo", catalogs}}, args);
}

const std::string kCatalogs = std::string(KESTAVO_TEST_DATA) + "/catalogs";

TEST(CliLsTest, ListsTheDisksUnderTheTopRootItem) {
    const test::CliRun run = RunCli(kCatalogs, {"ls"});
    EXPECT_EQ(run.status, 0);
    EXPECT_EQ(run.err, "");
    EXPECT_EQ(run.out,
              "Disk\tTotal Size\tFree Space\tDate Cataloged\n"
              "BACKUP\t1048576000\t262144000\t10/07/98 14:30:05\n"
              "CD01\t681574400\t0\t12/24/03 18:00:00\n"
              "Floppy\t1474560\t1000\t03/03/95 09:09:09\n");
}

TEST(CliLsTest, ListsAContainerInNameOrderWithComputedFolderSizes) {
    const test::CliRun run = RunCli(kCatalogs, {"ls", "BACKUP"});
    EXPECT_EQ(run.status, 0);
    EXPECT_EQ(run.out,
              "Name\tSize\tDate\n"
              "DOCS\t106276\t10/06/98 20:15:00\n"
              "Notes.TXT\t3000000000\t12/31/99 00:00:00\n"
              "Photos\t3145729\t01/01/01 10:00:00\n"
              "read me.txt\t1200\t10/05/98 09:00:00\n");
}

TEST(CliLsTest, PathPartsMatchWithoutRegardToCaseAndUnitsApply) {
    test::CliRun run = RunCli(kCatalogs, {"ls", "backup/docs/OLD.ZIP"});
    EXPECT_EQ(run.status, 0);
    EXPECT_EQ(run.out,
              "Name\tSize\tDate\nREADME\t700\t09/01/98 12:00:00\nsrc\t4000\t09/01/98 12:00:00\n");
    run = RunCli(kCatalogs, {"ls", "--unit", "KB", "BACKUP/Photos"});
    EXPECT_EQ(run.out,
              "Name\tSize\tDate\nIMG_0001.JPG\t2048KB\t01/01/01 10:00:01\n"
              "img_0002.jpg\t1025KB\t01/01/01 10:00:02\n");
    run = RunCli(kCatalogs, {"ls", "--unit=MB"});
    EXPECT_NE(run.out.find("BACKUP\t1000MB\t250MB\t"), std::string::npos);
}

TEST(CliLsTest, APathEndingInASlashNamesTheSameNode) {
    test::TempDir catalogs;
    catalogs.Write("S.kvx", test::CatalogHeader() +
                                "+ \"sp ace\" 0 0 1 1 2000 0 0 0 < "
                                "+\"in\" 0 0 1 1 2000 0 0 0 < \"f\" 5 1 1 2000 0 0 0 > >");
    const std::string listing = RunCli(catalogs.Str(), {"ls", "sp ace"}).out;
    test::CliRun run = RunCli(catalogs.Str(), {"ls", "sp ace/"});
    EXPECT_EQ(run.status, 0);
    EXPECT_EQ(run.err, "");
    EXPECT_EQ(run.out, listing);
    EXPECT_EQ(RunCli(catalogs.Str(), {"ls", "sp ace/in/"}).out,
              RunCli(catalogs.Str(), {"ls", "sp ace/in"}).out);
    EXPECT_EQ(RunCli(catalogs.Str(), {"properties", "sp ace/in/f/"}).out.substr(0, 8), "Name: f\n");
    EXPECT_EQ(RunCli(catalogs.Str(), {"ls", "/"}).out, RunCli(catalogs.Str(), {"ls"}).out);
    run = RunCli(catalogs.Str(), {"ls", "sp ace//"});
    EXPECT_EQ(run.status, 1);
    EXPECT_EQ(run.err, "No such catalog item: sp ace//\n");
}

TEST(CliLsTest, NamesThatNameNothingFail) {
    test::CliRun run = RunCli(kCatalogs, {"ls", "BACKUP/nope"});
    EXPECT_EQ(run.status, 1);
    EXPECT_EQ(run.err, "No such catalog item: BACKUP/nope\n");
    EXPECT_EQ(run.out, "");
    run = RunCli(kCatalogs, {"ls", "BACKUP/Notes.TXT"});
    EXPECT_EQ(run.status, 1);
}

TEST(CliPropertiesTest, FolderFileAndTopRootItem) {
    test::CliRun run = RunCli(kCatalogs, {"properties", "BACKUP/DOCS"});
    EXPECT_EQ(run.status, 0);
    EXPECT_EQ(run.out,
              "Name: DOCS\nType: File Folder\nLocation: BACKUP\nSize: 106276\n"
              "Contains: 4 Files, 1 Folders, 1 Zip Folders\n"
              "Count includes files and folders in Zip Folders\nDate: 10/06/98 20:15:00\n");
    run = RunCli(kCatalogs, {"properties", "backup/notes.txt", "--unit", "MB"});
    EXPECT_EQ(run.out,
              "Name: Notes.TXT\nType: File\nLocation: BACKUP\nSize: 2862MB\nContains: File Data\n"
              "Date: 12/31/99 00:00:00\n");
    run = RunCli(kCatalogs, {"properties"});
    EXPECT_EQ(run.status, 0);
    EXPECT_EQ(run.out.substr(0, run.out.find("Date: ")),
              "Name: My Removable Disk Drive\nType: Disk Drive\nLocation: \nSize: 3008497229\n"
              "Contains: 11 Files, 7 Folders, 1 Zip Folders\n"
              "Count includes files and folders in Zip Folders\n");
    run = RunCli(kCatalogs, {"properties", "CD01"});
    EXPECT_NE(run.out.find("Type: CD-ROM\nLocation: \nSize: 5243904\n"), std::string::npos);
}

TEST(CliCommonTest, UsageVersionAndEmptyCatalogDirectory) {
    test::TempDir empty;
    test::CliRun run = RunCli(empty.Str(), {"ls"});
    EXPECT_EQ(run.status, 0);
    EXPECT_EQ(run.err, "No catalogs found.\nUse File->Catalog New Disk ... to create.\n");
    EXPECT_EQ(run.out, "Disk\tTotal Size\tFree Space\tDate Cataloged\n");
    run = RunCli(empty.Str(), {"properties"});
    EXPECT_EQ(run.status, 0);
    EXPECT_NE(run.out.find("Contains: 0 Files, 0 Folders, 0 Zip Folders\n"), std::string::npos);

    run = RunCli(kCatalogs, {"--version"});
    EXPECT_EQ(run.out, "kestavo-cli 3.0\n");
    run = RunCli(kCatalogs, {"ls", "--unit", "kb"});
    EXPECT_EQ(run.status, 2);
    EXPECT_NE(run.err.find("usage: kestavo-cli ls"), std::string::npos);
    EXPECT_EQ(RunCli(kCatalogs, {"frobnicate"}).status, 2);
    EXPECT_EQ(RunCli(kCatalogs, {}).status, 2);
    EXPECT_EQ(RunCli(kCatalogs, {"ls", "a", "b"}).status, 2);
    run = RunCli(kCatalogs, {"properties", "--help"});
    EXPECT_EQ(run.status, 0);
    EXPECT_EQ(run.out.rfind("usage: kestavo-cli properties", 0), 0u);
}

TEST(CliCommonTest, DamagedAndForeignCatalogsAreReportedAndTheRestListed) {
    test::TempDir dir;
    dir.Write("a.kvx", "hello");
    dir.Write(
        "b.kvx",
        "kvx_version_1_1 < %drivetype fixed > + \"HALF\" 1 1 1 1 2000 0 0 0 < \"f\" 1 1 1 2000");
    const test::CliRun run = RunCli(dir.Str(), {"ls", "HALF"});
    EXPECT_EQ(run.status, 0);
    EXPECT_NE(run.err.find("Cannot read " + dir.Str() + "/a.kvx\n"), std::string::npos);
    EXPECT_NE(run.err.find(dir.Str() + "/b.kvx is damaged"), std::string::npos);
    EXPECT_EQ(run.out, "Name\tSize\tDate\n");
}

TEST(CliPropertiesTest, SiblingFoldersDifferingOnlyInCase) {
    // A path part matches its item exactly; the item's properties are those
    // of its own entry.
    test::TempDir catalogs;
    catalogs.Write("D.kvx", test::CatalogHeader() +
                                "+ \"D\" 0 0 1 1 2000 0 0 0 < "
                                "+\"Dup\" 0 0 1 1 2000 0 0 0 < \"f\" 5 1 1 2000 0 0 0 > "
                                "+\"DUP\" 0 0 2 2 2002 0 0 0 < \"g\" 7 1 1 2000 0 0 0 > >");
    test::CliRun run = RunCli(catalogs.Str(), {"properties", "D/DUP"});
    EXPECT_EQ(run.status, 0);
    EXPECT_EQ(run.out,
              "Name: DUP\nType: File Folder\nLocation: D\nSize: 7\n"
              "Contains: 1 Files, 0 Folders, 0 Zip Folders\n"
              "Count includes files and folders in Zip Folders\nDate: 02/02/02 00:00:00\n");
    // No part is "dup" exactly: the first item equal ignoring case, DUP.
    run = RunCli(catalogs.Str(), {"properties", "D/dup"});
    EXPECT_EQ(run.out.substr(0, 10), "Name: DUP\n");
    run = RunCli(catalogs.Str(), {"ls", "D"});
    EXPECT_EQ(run.out, "Name\tSize\tDate\nDUP\t7\t02/02/02 00:00:00\nDup\t5\t01/01/00 00:00:00\n");
    run = RunCli(catalogs.Str(), {"properties", "D/DUP/G"});
    EXPECT_EQ(run.out.substr(0, 8), "Name: g\n");
}

TEST(CliPropertiesTest, SiblingsOfOneNameEachShowTheirOwnContents) {
    test::TempDir catalogs;
    catalogs.Write("D.kvx", test::CatalogHeader() +
                                "+ \"D\" 0 0 1 1 2000 0 0 0 < \"README\" 5 1 1 2000 0 0 0 "
                                "+\"readme\" 0 0 1 1 2000 0 0 0 < \"a.txt\" 100 1 1 2000 0 0 0 > "
                                "+\"INDEX\" 0 0 1 1 2000 0 0 0 < \"a\" 7 1 1 2000 0 0 0 > "
                                "+\"index\" 0 0 1 1 2000 0 0 0 < \"b\" 300 1 1 2000 0 0 0 > "
                                "+\"a b\" 0 0 1 1 2000 0 0 0 < \"x\" 1 1 1 2000 0 0 0 > "
                                "+\"a  b\" 0 0 1 1 2000 0 0 0 < \"y\" 100 1 1 2000 0 0 0 > >");
    test::CliRun run = RunCli(catalogs.Str(), {"properties", "D"});
    EXPECT_NE(run.out.find("Size: 513\nContains: 6 Files, 5 Folders, 0 Zip Folders\n"),
              std::string::npos);
    run = RunCli(catalogs.Str(), {"properties", "D/index"});
    EXPECT_EQ(run.out.substr(0, run.out.find("Contains: ")),
              "Name: index\nType: File Folder\nLocation: D\nSize: 300\n");
    run = RunCli(catalogs.Str(), {"properties", "D/readme"});
    EXPECT_NE(run.out.find("Size: 100\nContains: 1 Files, 0 Folders"), std::string::npos);
    run = RunCli(catalogs.Str(), {"ls", "D"});
    EXPECT_EQ(run.out,
              "Name\tSize\tDate\na b\t1\t01/01/00 00:00:00\na b\t100\t01/01/00 00:00:00\n"
              "INDEX\t7\t01/01/00 00:00:00\nindex\t300\t01/01/00 00:00:00\n"
              "README\t5\t01/01/00 00:00:00\nreadme\t100\t01/01/00 00:00:00\n");
}

}  // namespace
}  // namespace kestavo
