// SPDX-License-Identifier: GPL-3.0-or-later
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cstdio>
#include <fstream>
#include <sstream>

#include "media/media_test_support.h"

namespace kestavo {
namespace {

// Runs kestavo-cli in UTC with the given catalog directory and drive map.
test::CliRun RunCli(const std::string& catalogs, const std::string& drives,
                    const std::vector<std::string>& args) {
    return test::RunProgram(KESTAVO_CLI, {{"Kestavo", catalogs}, {"KESTAVO_DRIVES", drives}}, args);
}

class MediaCliTest : public ::testing::Test {
protected:
    MediaCliTest() {
        work = dir.Str() + "/work";
        blank = dir.Str() + "/blank";
        catalogs = dir.Str() + "/catalogs";
        test::MakeFile(work, "DOCS/a.txt", "hello", 946684800);
        test::MakeZip(work + "/DOCS/old.zip", {{"src/main.c", "int main;"}});
        test::MakeFile(blank, "x", "1");
        drives = "E:|removable|WORK|" + work + ";F:|cdrom||" + blank + ";G:|removable|GONE|" +
                 dir.Str() + "/absent;C:|fixed|SYS|/";
    }
    test::CliRun Run(const std::vector<std::string>& args) {
        return RunCli(catalogs, drives, args);
    }

    test::TempDir dir;
    std::string work, blank, catalogs, drives;
};

TEST_F(MediaCliTest, DrivesListsDrivesHoldingAMediumInLetterOrder) {
    const test::CliRun run = Run({"drives"});
    EXPECT_EQ(run.status, 0);
    EXPECT_EQ(run.out,
              "C:  SYS\tfixed\t/\nE:  WORK\tdefault\t" + work + "\nF:  \tcdrom\t" + blank + "\n");
    drives += ";bad entry";
    const test::CliRun warned = Run({"drives"});
    EXPECT_EQ(warned.status, 0);
    EXPECT_NE(warned.err.find("\"bad entry\""), std::string::npos);
}

TEST_F(MediaCliTest, CatalogThenLsAndLocateFindTheFiles) {
    test::CliRun run = Run({"catalog", "E:"});
    ASSERT_EQ(run.status, 0) << run.err;
    EXPECT_EQ(run.out, catalogs + "/WORK.kvx\n");
    run = Run({"ls", "WORK/DOCS"});
    const std::string zipSize = std::to_string(std::filesystem::file_size(work + "/DOCS/old.zip"));
    EXPECT_TRUE(run.out.starts_with("Name\tSize\tDate\na.txt\t5\t01/01/00 00:00:00\nold.zip\t" +
                                    zipSize + "\t"))
        << run.out;
    run = Run({"locate", "WORK/DOCS/a.txt"});
    EXPECT_EQ(run.status, 0);
    EXPECT_EQ(run.out, work + "/DOCS/a.txt\n");
    run = Run({"locate", "work/docs/OLD.ZIP/src/main.c"});
    EXPECT_EQ(run.out, work + "/DOCS/old.zip\n");
    run = Run({"locate", "WORK/nothing"});
    EXPECT_EQ(run.status, 1);
    EXPECT_EQ(run.err, "No such catalog item: WORK/nothing\n");
}

TEST_F(MediaCliTest, LocateWithTheDiskAbsentSaysWhichDisk) {
    ASSERT_EQ(Run({"catalog", "E:"}).status, 0);
    drives = "E:|removable|OTHER|" + work;
    const test::CliRun run = Run({"locate", "WORK/DOCS/a.txt"});
    EXPECT_EQ(run.status, 1);
    EXPECT_EQ(run.err, "Disk labeled WORK was not found.\n");
}

TEST_F(MediaCliTest, AnUnlabelledDiskNeedsALabelWhichIsUpperCased) {
    test::CliRun run = Run({"catalog", "F:"});
    EXPECT_EQ(run.status, 1);
    EXPECT_NE(run.err.find("--label"), std::string::npos);
    run = Run({"catalog", "F:", "--label", "cd two"});
    EXPECT_EQ(run.status, 0) << run.err;
    EXPECT_EQ(run.out, catalogs + "/CD TWO.kvx\n");
    std::ifstream in(catalogs + "/CD TWO.kvx", std::ios::binary);
    std::string text((std::istreambuf_iterator<char>(in)), {});
    EXPECT_TRUE(
        text.starts_with("kvx_version_1_1\r\n< \r\n   %drivetype cdrom\r\n> \r\n+\r\n\"CD TWO\" "));
}

TEST_F(MediaCliTest, DirectoriesAreCataloguedUnderTheLabelAsGiven) {
    test::CliRun run = Run({"catalog", work + "/DOCS", "--label", "Docs Copy"});
    EXPECT_EQ(run.status, 0) << run.err;
    EXPECT_EQ(run.out, catalogs + "/Docs Copy.kvx\n");
    run = Run({"ls", "Docs Copy"});
    EXPECT_NE(run.out.find("a.txt\t5\t"), std::string::npos);
    run = Run({"catalog", work + "/DOCS"});
    EXPECT_EQ(run.status, 2);
}

TEST_F(MediaCliTest, BadDrivesAndMissingMedia) {
    test::CliRun run = Run({"catalog", "WORK"});
    EXPECT_EQ(run.status, 2);
    EXPECT_EQ(run.err, "Choose a drive from the list, or type a drive letter and a colon.\n");
    run = Run({"catalog", "G:"});
    EXPECT_EQ(run.status, 1);
    EXPECT_EQ(run.err, "No disk in drive G:\n");
    run = Run({"catalog", "Q:"});
    EXPECT_EQ(run.status, 1);
    EXPECT_EQ(run.err, "No disk in drive Q:\n");
}

// --archives chooses which archives are listed, for drives and
// directories alike; a damaged archive is counted on standard error.
TEST_F(MediaCliTest, ArchivesAreListedAsAskedAndDamagedOnesAreCounted) {
    const std::string pack = "cd '" + work + "' && tar -cf DOCS/src.tar DOCS/a.txt";
    ASSERT_EQ(test::RunProgram("/bin/sh", {}, {"-c", pack}).status, 0);
    test::MakeFile(work, "DOCS/broken.7z", "7z but not really");
    test::CliRun run = Run({"catalog", "E:"});
    ASSERT_EQ(run.status, 0) << run.err;
    EXPECT_EQ(run.err, "1 archive could not be read: /DOCS/broken.7z\n");
    EXPECT_TRUE(
        Run({"ls", "WORK/DOCS/src.tar/DOCS"}).out.starts_with("Name\tSize\tDate\na.txt\t5\t"));
    run = Run({"catalog", "E:", "--archives", "zip"});
    ASSERT_EQ(run.status, 0) << run.err;
    EXPECT_EQ(run.err, "");
    EXPECT_EQ(Run({"ls", "WORK/DOCS/src.tar/DOCS"}).status, 1);
    EXPECT_EQ(Run({"ls", "WORK/DOCS/old.zip/src"}).status, 0);
    run = Run({"catalog", work + "/DOCS", "--label", "D", "--archives=all"});
    ASSERT_EQ(run.status, 0) << run.err;
    EXPECT_EQ(Run({"ls", "D/src.tar/DOCS"}).status, 0);
    run = Run({"catalog", "E:", "--archives", "some"});
    EXPECT_EQ(run.status, 2);
    EXPECT_TRUE(run.err.starts_with("kestavo-cli: --archives takes all, default or zip\n"))
        << run.err;
}

TEST_F(MediaCliTest, EjectPrintsNothing) {
    const test::CliRun run = Run({"eject"});
    EXPECT_EQ(run.status, 0);
    EXPECT_EQ(run.out, "");
    EXPECT_EQ(run.err, "");
}

// Folders the user may not read are catalogued empty, and the command says
// how many there were. Run as an ordinary user: the superuser reads them all.
TEST_F(MediaCliTest, FoldersThatCouldNotBeReadAreCountedOnStandardError) {
    ::chmod(dir.Str().c_str(), 0755);
    std::filesystem::create_directories(catalogs);
    ::chmod(catalogs.c_str(), 0777);
    test::MakeFile(work, "locked/x.txt", "x");
    ::chmod((work + "/locked").c_str(), 0);
    std::vector<std::string> args = {"catalog", work, "--label", "W"};
    std::string program = KESTAVO_CLI;
    if (::geteuid() == 0) {
        args.insert(args.begin(), {"--reuid=65534", "--regid=65534", "--clear-groups", program});
        program = "/usr/bin/setpriv";
        if (::access(program.c_str(), X_OK) != 0)
            GTEST_SKIP() << "no setpriv to drop the superuser's rights";
    }
    const test::CliRun run =
        test::RunProgram(program, {{"Kestavo", catalogs}, {"KESTAVO_DRIVES", drives}}, args);
    ::chmod((work + "/locked").c_str(), 0755);
    EXPECT_EQ(run.status, 0);
    EXPECT_EQ(run.out, catalogs + "/W.kvx\n");
    EXPECT_EQ(run.err, "1 folder could not be read: /locked\n");
}

}  // namespace
}  // namespace kestavo
