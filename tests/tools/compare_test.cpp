// SPDX-License-Identifier: GPL-3.0-or-later
#include <fcntl.h>
#include <gtest/gtest.h>
#include <sys/mount.h>
#include <sys/stat.h>
#include <sys/time.h>
#include <unistd.h>

#include <chrono>
#include <filesystem>
#include <fstream>
#include <map>
#include <optional>

#include "catalog/entry_kind.h"
#include "media/catalog_new_disk.h"
#include "support/test_support.h"
#include "tools/disk_comparison.h"
#include "tools/name_matcher.h"
#include "tools_test_support.h"

namespace kestavo {
namespace {

namespace fs = std::filesystem;
using test::CatalogHeader;
using test::LoadText;
using test::ReportOf;

// 2001-01-01 10:00:00 UTC, written in catalogs as "1 1 2001 10 0 0".
constexpr std::int64_t kTime = 978343200;
const std::string kDate = "1 1 2001 10 0 0";

void SetTime(const fs::path& path, std::int64_t time) {
    const timeval times[2] = {{static_cast<time_t>(time), 0}, {static_cast<time_t>(time), 0}};
    ASSERT_EQ(::lutimes(path.c_str(), times), 0) << path;
}

void MakeFile(const fs::path& path, std::size_t size, std::int64_t time = kTime) {
    fs::create_directories(path.parent_path());
    std::ofstream(path, std::ios::binary) << std::string(size, 'x');
    SetTime(path, time);
}

class CompareTest : public ::testing::Test {
protected:
    void SetUp() override {
        disk = dir.Path() / "disk";
        fs::create_directories(disk);
        drives.Add(media::Drive{'E', media::DriveType::Removable, "WORK", disk.string(), {}, {}});
    }
    void LoadCatalog(const std::string& label, const std::string& body) {
        LoadText(set,
                 CatalogHeader() + "+ \"" + label + "\" 1000 10 1 1 2001 0 0 0 < " + body + " >",
                 messages, label + ".kvx");
    }
    // The rows as "status|name|folder|size catalog|size disk".
    std::vector<std::string> RunCompare(const std::string& driveText = "E:  WORK") {
        tool.SetDriveText(driveText);
        tool.CompareNow(drives, messages);
        std::vector<std::string> rows;
        for (std::size_t i = 0; i < tool.RowCount(); ++i) {
            const CompareRow& r = tool.Row(i);
            rows.push_back(std::string(StatusText(r.status)) + "|" + r.name + "|" +
                           std::string(r.folder) + "|" + r.sizeCatalog + "|" + r.sizeDisk);
        }
        return rows;
    }

    test::TempDir dir;
    fs::path disk;
    media::DriveMap drives;
    CatalogSet set;
    test::RecordingMessages messages;
    DiskComparison tool{set};
};

using Rows = std::vector<std::string>;

Rows Sorted(Rows rows) {
    std::sort(rows.begin(), rows.end());
    return rows;
}

TEST_F(CompareTest, AnIdenticalDiskGivesOneRowAndItsReport) {
    MakeFile(disk / "a.txt", 3);
    MakeFile(disk / "DOCS" / "b.txt", 4);
    MakeFile(disk / "arc.zip", 22);
    LoadCatalog("WORK", "\"a.txt\" 3 " + kDate + " +\"DOCS\" 0 0 " + kDate + " < \"b.txt\" 4 " +
                            kDate + " > +\"arc.zip\" 22 0 " + kDate + " < \"inside\" 99 " + kDate +
                            " >");
    EXPECT_EQ(RunCompare(), (Rows{"Identical|All files|||"}));
    EXPECT_EQ(tool.RowStatus(0), CompareStatus::Identical);
    EXPECT_EQ(
        ReportOf(tool),
        " Kestavo, Disk/catalog compare report\r\n"
        " -----------------------------------------\r\n"
        "\r\n"
        " Disk compared is E:  WORK\r\n"
        "\r\n"
        " status          name                                size date                 path\r\n"
        "\r\n"
        " Identical       All files                     \r\n"
        " 1 Differences found.\r\n");
}

TEST_F(CompareTest, ASecondOrAByteMakesAFileModifiedAndItsReportRowTwoLines) {
    MakeFile(disk / "same.txt", 5);
    MakeFile(disk / "later.txt", 5, kTime + 1);
    MakeFile(disk / "longer.txt", 6);
    LoadCatalog("WORK", "\"same.txt\" 5 " + kDate + " \"later.txt\" 5 " + kDate +
                            " \"longer.txt\" 5 " + kDate);
    EXPECT_EQ(Sorted(RunCompare()),
              (Rows{"modified|later.txt|WORK|5|5", "modified|longer.txt|WORK|5|6"}));
    EXPECT_EQ(tool.RowStatus(0), CompareStatus::Modified);
    const std::size_t later = tool.Row(0).name == "later.txt" ? 0 : 1;
    EXPECT_EQ(tool.RowText(later, CompareColumn::DateCatalog), "01/01/01 10:00:00");
    EXPECT_EQ(tool.RowText(later, CompareColumn::DateDisk), "01/01/01 10:00:01");
    const std::string report = ReportOf(tool);
    EXPECT_NE(report.find(" modified        later.txt                              5 01/01/01 "
                          "10:00:00    WORK\r\n" +
                          std::string(47, ' ') + "         5 01/01/01 10:00:01   \r\n"),
              std::string::npos)
        << report;
    EXPECT_NE(report.find("\r\n\r\n 2 Differences found.\r\n"), std::string::npos);
}

TEST_F(CompareTest, NewAndDeletedFoldersBringEverythingBelowThem) {
    MakeFile(disk / "NEW" / "n1.txt", 1);
    MakeFile(disk / "NEW" / "inner" / "n2.txt", 2);
    SetTime(disk / "NEW" / "inner", kTime);
    SetTime(disk / "NEW", kTime);
    MakeFile(disk / "fresh.txt", 7);
    LoadCatalog("WORK", "+\"OLD\" 0 0 " + kDate + " < \"o1.txt\" 10 " + kDate + " +\"gone\" 0 0 " +
                            kDate + " < \"o2.txt\" 20 " + kDate + " > > \"lost.txt\" 30 " + kDate);
    const Rows rows = RunCompare();
    // Disk-side rows come in listing order; catalog-side rows in catalog
    // order, depth first.
    EXPECT_EQ(Sorted(Rows(rows.begin(), rows.begin() + 5)),
              (Rows{"new directory|NEW|E:||0", "new directory|inner|E:/NEW||0",
                    "new|fresh.txt|E:||7", "new|n1.txt|E:/NEW||1", "new|n2.txt|E:/NEW/inner||2"}));
    EXPECT_EQ(rows[0], "new directory|NEW|E:||0");
    EXPECT_EQ(Rows(rows.begin() + 5, rows.end()),
              (Rows{"deleted directory|OLD|WORK|30|", "deleted directory|gone|WORK/OLD|20|",
                    "deleted|o2.txt|WORK/OLD/gone|20|", "deleted|o1.txt|WORK/OLD|10|",
                    "deleted|lost.txt|WORK|30|"}));
    const std::string report = ReportOf(tool);
    EXPECT_NE(report.find(" new directory   NEW                                    0 01/01/01 "
                          "10:00:00    E:\r\n"),
              std::string::npos)
        << report;
    EXPECT_NE(report.find(" deleted         lost.txt                              30 01/01/01 "
                          "10:00:00    WORK\r\n"),
              std::string::npos);
    EXPECT_NE(report.find("\r\n\r\n 10 Differences found.\r\n"), std::string::npos);
}

TEST_F(CompareTest, NamesMatchWithoutRegardToCaseAtEveryLevel) {
    MakeFile(disk / "Docs" / "SUB" / "Read.Me", 3);
    MakeFile(disk / "A.TXT", 1);
    LoadCatalog("work", "\"a.txt\" 1 " + kDate + " +\"DOCS\" 0 0 " + kDate + " < +\"sub\" 0 0 " +
                            kDate + " < \"READ.ME\" 3 " + kDate + " > >");
    EXPECT_EQ(RunCompare("E:  WORK"), (Rows{"Identical|All files|||"}));
}

TEST_F(CompareTest, FilesWhoseNamesDifferOnlyInCaseAreEachMatchedWithTheirOwn) {
    MakeFile(disk / "readme", 3);
    MakeFile(disk / "README", 4);
    MakeFile(disk / "Readme", 5);
    LoadCatalog("WORK",
                "\"README\" 4 " + kDate + " \"readme\" 3 " + kDate + " \"Readme\" 5 " + kDate);
    EXPECT_EQ(RunCompare(), (Rows{"Identical|All files|||"}));
}

// One entry of a listing made up for a test, so that the order in which
// the file system lists names does not decide what a test sees.
struct Listed {
    std::string name;
    std::int64_t size = 0;
    std::vector<Listed> inside;  // a directory's entries
    bool directory = false;
};

Listed File(std::string name, std::int64_t size) {
    return Listed{std::move(name), size, {}, false};
}

Listed Dir(std::string name, std::vector<Listed> inside = {}) {
    return Listed{std::move(name), 0, std::move(inside), true};
}

DiskTree TreeOf(const std::vector<Listed>& top) {
    DiskTree tree;
    std::vector<std::pair<std::uint32_t, const std::vector<Listed>*>> pending{
        {DiskTree::kRoot, &top}};
    for (std::size_t at = 0; at < pending.size(); ++at) {
        tree.BeginEntries(pending[at].first);
        for (const Listed& listed : *pending[at].second) {
            DiskEntry& entry = tree.AddEntry(listed.name);
            entry.size = listed.size;
            entry.time = kTime;
            entry.directory = listed.directory;
            if (listed.directory) {
                entry.folder = tree.AddFolder();
                pending.emplace_back(entry.folder, &listed.inside);
            }
        }
    }
    return tree;
}

// Compares the catalog of WORK with a disk listed as `top`, and with the
// same disk listed in the reverse order.
std::vector<Rows> CompareBothWays(CatalogSet& set, std::vector<Listed> top) {
    std::vector<Rows> results;
    for (int way = 0; way < 2; ++way) {
        EntryStore diskEntries(&set, 0);
        CompareResults rows;
        FolderComparison(set, diskEntries, rows)
            .Run("E:", TreeOf(top), set.Tree().FirstChild(set.RootItem()));
        Rows texts;
        for (const CompareRow& r : rows)
            texts.push_back(std::string(StatusText(r.status)) + "|" + r.name + "|" +
                            std::string(r.folder) + "|" + r.sizeCatalog + "|" + r.sizeDisk);
        results.push_back(Sorted(texts));
        std::reverse(top.begin(), top.end());
    }
    return results;
}

TEST_F(CompareTest, AnExactNameIsMatchedBeforeACaselessOneWhereverItIsListed) {
    LoadCatalog("WORK",
                "\"a.txt\" 6 " + kDate + " +\"docs\" 0 0 " + kDate + " < \"in\" 2 " + kDate + " >");
    const std::vector<Rows> results = CompareBothWays(
        set, {File("A.TXT", 1), File("a.txt", 6), Dir("DOCS"), Dir("docs", {File("in", 2)})});
    for (const Rows& rows : results)
        EXPECT_EQ(rows, (Rows{"new directory|DOCS|E:||0", "new|A.TXT|E:||1"}));
}

TEST_F(CompareTest, AnUnchangedFileTakesItsCatalogFileBeforeANameMadeEqualToIt) {
    // "x  y" is written as "x y"; the catalog holds that name once.
    LoadCatalog("WORK", "\"x y\" 1 " + kDate);
    for (const Rows& rows : CompareBothWays(set, {File("x  y", 2), File("x y", 1)}))
        EXPECT_EQ(rows, (Rows{"new|x  y|E:||2"}));
}

TEST_F(CompareTest, DeletedFoldersDifferingOnlyInCaseAreEachReportedWithTheirOwnEntry) {
    LoadCatalog("WORK", "+\"Dup\" 0 0 " + kDate + " < \"f\" 5 " + kDate + " > +\"DUP\" 0 0 " +
                            kDate + " < \"g\" 7 " + kDate + " > +\"dup\" 3 0 " + kDate + " < > ");
    EXPECT_EQ(RunCompare(), (Rows{"deleted directory|DUP|WORK|7|", "deleted directory|Dup|WORK|5|",
                                  "deleted directory|dup|WORK|3|", "deleted|g|WORK/DUP|7|",
                                  "deleted|f|WORK/Dup|5|"}));
}

TEST_F(CompareTest, DiskNamesAreMatchedAsTheCatalogWriterWritesThem) {
    MakeFile(disk / "two  blanks.txt", 1);
    MakeFile(disk / "say \"hi\".txt", 2);
    MakeFile(disk / " lead\ttab ", 3);
    LoadCatalog("WORK", "\"two blanks.txt\" 1 " + kDate + " \"say 'hi'.txt\" 2 " + kDate +
                            " \"lead tab \" 3 " + kDate);
    EXPECT_EQ(RunCompare(), (Rows{"Identical|All files|||"}));
}

TEST_F(CompareTest, AZipFolderWithAMixedCaseExtensionIsNotOne) {
    MakeFile(disk / "A.Zip", 40);
    MakeFile(disk / "b.ZIP", 50);
    LoadCatalog("WORK", "+\"A.Zip\" 40 0 " + kDate + " < \"in.txt\" 5 " + kDate +
                            " > +\"b.ZIP\" 50 0 " + kDate + " < \"in.txt\" 6 " + kDate + " >");
    EXPECT_EQ(RunCompare(), (Rows{"new|A.Zip|E:||40", "deleted directory|A.Zip|WORK|40|",
                                  "deleted|in.txt|WORK/A.Zip|5|"}));
}

TEST_F(CompareTest, ACatalogThatIsNotLoadedIsSaidAndLeavesNoRows) {
    LoadCatalog("WORK", "");
    EXPECT_FALSE(RunCompare("E:  OTHER").size());
    ASSERT_EQ(messages.shown.size(), 1u);
    EXPECT_EQ(messages.shown[0].text, "Catalog for this disk is not loaded");
    EXPECT_EQ(messages.shown[0].caption, "Kestavo");
    EXPECT_EQ(messages.shown[0].icon, MessageIcon::Stop);
    // Four characters or fewer leave no label.
    EXPECT_EQ(RunCompare("E:  ").size(), 0u);
    EXPECT_EQ(LabelOfText("E:  "), "");
    EXPECT_EQ(DriveOfText("E"), "E");
    EXPECT_TRUE(ReportOf(tool).ends_with("path\r\n\r\n\r\n 0 Differences found.\r\n"));
}

TEST_F(CompareTest, ADriveTextNamesTheDriveAndTheCatalogApart) {
    MakeFile(dir.Path() / "elsewhere" / "x", 1);
    drives.Add(media::Drive{
        'F', media::DriveType::Fixed, "", (dir.Path() / "elsewhere").string(), {}, {}});
    drives.Add(media::Drive{
        'G', media::DriveType::Fixed, "", (dir.Path() / "no medium").string(), {}, {}});
    LoadCatalog("WORK", "\"x\" 1 " + kDate);
    EXPECT_EQ(RunCompare("F:  WORK"), (Rows{"Identical|All files|||"}));
    // A drive without a medium, or not in the map, counts as an empty disk.
    EXPECT_EQ(RunCompare("G:  WORK"), (Rows{"deleted|x|WORK|1|"}));
    EXPECT_EQ(RunCompare("H:  WORK"), (Rows{"deleted|x|WORK|1|"}));
}

TEST_F(CompareTest, AnyDepthOfFoldersIsCompared) {
    constexpr int kDepth = 1000;
    fs::path deep = disk;
    std::string body;
    for (int i = 0; i < kDepth; ++i) {
        deep /= "d";
        body += "+\"d\" 0 0 " + kDate + " < ";
    }
    fs::create_directories(deep);
    MakeFile(deep / "f", 1);
    body += "\"f\" 1 " + kDate + " \"g\" 2 " + kDate;
    for (int i = 0; i < kDepth; ++i) body += " >";
    LoadCatalog("WORK", body);
    const Rows rows = RunCompare();
    ASSERT_EQ(rows.size(), 1u);
    EXPECT_EQ(rows[0].substr(0, 10), "deleted|g|");
}

// A row's folder text is the one of its folder, and the texts of nested
// folders extend the one above, so that a deep chain costs memory in step
// with its depth, not with its square.
TEST_F(CompareTest, TheRowsOfNestedFoldersShareOneFolderTextPerSide) {
    constexpr int kDepth = 200;
    std::string body;
    for (int i = 0; i < kDepth; ++i) body += "+\"d\" 0 0 " + kDate + " < ";
    body += "\"f\" 1 " + kDate;
    for (int i = 0; i < kDepth; ++i) body += " >";
    LoadCatalog("WORK", body);
    fs::path fresh = disk;
    for (int i = 0; i < kDepth; ++i) fresh /= "n";
    fs::create_directories(fresh);
    const Rows rows = RunCompare();
    ASSERT_EQ(rows.size(), 2u * kDepth + 1);
    std::string diskPath = "E:", catalogPath = "WORK";
    for (int i = 0; i < kDepth; ++i) {
        const CompareRow& added = tool.Row(static_cast<std::size_t>(i));
        const CompareRow& gone = tool.Row(static_cast<std::size_t>(kDepth + i));
        ASSERT_EQ(added.status, CompareStatus::NewDirectory);
        ASSERT_EQ(gone.status, CompareStatus::DeletedDirectory);
        EXPECT_EQ(added.folder, diskPath);
        EXPECT_EQ(gone.folder, catalogPath);
        EXPECT_EQ(added.folder.data(), tool.Row(0).folder.data()) << i;
        EXPECT_EQ(gone.folder.data(), tool.Row(kDepth).folder.data()) << i;
        diskPath += "/n";
        catalogPath += "/d";
    }
    EXPECT_EQ(tool.Row(2 * kDepth).folder, catalogPath);
}

TEST_F(CompareTest, TheStepsOfACompareGiveTheRowsOfCompareNow) {
    MakeFile(disk / "DOCS" / "b.txt", 4);
    LoadCatalog("WORK", "\"a.txt\" 3 " + kDate);
    tool.SetDriveText("E:  WORK");
    std::optional<CompareJob> job = tool.Prepare(drives, messages);
    ASSERT_TRUE(job);
    std::uint64_t files = 0;
    DiskComparison::ReadDisk(
        *job, [&](const DiskReadCounts& counts) { return files = counts.files, true; }, nullptr);
    EXPECT_EQ(files, 1u);
    EXPECT_EQ(tool.Finish(*job, messages), CompareOutcome::Compared);
    EXPECT_EQ(tool.RowCount(), 3u);
    EXPECT_EQ(tool.Row(0).name, "DOCS");
    EXPECT_EQ(tool.Row(2).name, "a.txt");
    EXPECT_TRUE(messages.shown.empty());

    // A stopped read leaves no rows and says nothing.
    job = tool.Prepare(drives, messages);
    std::atomic<bool> stop{true};
    DiskComparison::ReadDisk(*job, {}, &stop);
    EXPECT_EQ(tool.Finish(*job, messages), CompareOutcome::Stopped);
    EXPECT_EQ(tool.RowCount(), 0u);
    EXPECT_TRUE(messages.shown.empty());

    // The catalog unloaded while the disk was read.
    job = tool.Prepare(drives, messages);
    DiskComparison::ReadDisk(*job, {}, nullptr);
    set.RemoveAllEntries();
    set.Tree().DeleteItem(set.Tree().FirstChild(set.RootItem()));
    EXPECT_EQ(tool.Finish(*job, messages), CompareOutcome::NotLoaded);
    ASSERT_EQ(messages.shown.size(), 1u);
    EXPECT_EQ(messages.shown[0].text, kCatalogNotLoaded);
}

TEST_F(CompareTest, ADiskThatCannotBeReadStopsTheComparisonWithoutDeletedRows) {
    MakeFile(disk / "a.txt", 3);
    LoadCatalog("WORK", "\"a.txt\" 3 " + kDate + " \"b.txt\" 3 " + kDate);
    tool.SetDriveText("E:  WORK");
    std::optional<CompareJob> job = tool.Prepare(drives, messages);
    ASSERT_TRUE(job);
    fs::remove_all(disk);  // the medium went away after the drive was chosen
    DiskComparison::ReadDisk(*job, {}, nullptr);
    EXPECT_EQ(tool.Finish(*job, messages), CompareOutcome::Failed);
    EXPECT_EQ(tool.RowCount(), 0u);
    ASSERT_EQ(messages.shown.size(), 1u);
    EXPECT_EQ(messages.shown[0].text,
              "The disk in drive E: could not be read: No such file or directory\n"
              "The comparison was stopped.");
    EXPECT_EQ(messages.shown[0].icon, MessageIcon::Stop);
}

TEST_F(CompareTest, ACatalogFolderNamedDotDotNeverReadsOutsideTheDisk) {
    MakeFile(dir.Path() / "outside_secret.txt", 1);
    MakeFile(disk / "a.txt", 3);
    LoadCatalog("WORK", "\"a.txt\" 3 " + kDate + " +\"..\" 0 0 " + kDate + " < +\"..\" 0 0 " +
                            kDate + " < \"x\" 1 " + kDate + " > >");
    EXPECT_EQ(RunCompare(), (Rows{"deleted directory|..|WORK|1|", "deleted directory|..|WORK/..|1|",
                                  "deleted|x|WORK/../..|1|"}));
}

TEST_F(CompareTest, NamesMadeEqualByTheWritersCleanUpAreMatchedOneToOne) {
    MakeFile(disk / "a b", 1);
    MakeFile(disk / "a  b", 2);
    MakeFile(disk / "trail ", 3, kTime + 5);
    MakeFile(disk / "trail  ", 3);
    // Whatever order the catalog holds them in, each disk file finds its own.
    for (const bool reversed : {false, true}) {
        std::vector<std::string> files{"\"a b\" 1 " + kDate, "\"a b\" 2 " + kDate,
                                       "\"trail \" 3 1 1 2001 10 0 5", "\"trail \" 3 " + kDate};
        if (reversed) std::reverse(files.begin(), files.end());
        set.RemoveAllEntries();
        LoadCatalog("WORK", files[0] + " " + files[1] + " " + files[2] + " " + files[3]);
        EXPECT_EQ(RunCompare(), (Rows{"Identical|All files|||"})) << reversed;
    }
    // A changed one is still found.
    MakeFile(disk / "a  b", 7);
    EXPECT_EQ(RunCompare(), (Rows{"modified|a b|WORK|2|7"}));
}

TEST_F(CompareTest, TheCatalogIsFoundByTheNameTheWriterMakesOfTheLabel) {
    MakeFile(disk / "a.txt", 3);
    LoadCatalog("MY DISK", "\"a.txt\" 3 " + kDate);
    EXPECT_EQ(RunCompare("E:  MY  DISK"), (Rows{"Identical|All files|||"}));
    EXPECT_EQ(RunCompare("E:  my \tdisk"), (Rows{"Identical|All files|||"}));
    EXPECT_TRUE(messages.shown.empty());
}

TEST_F(CompareTest, ManyCatalogFoldersGoneFromTheDiskCompareInLinearTime) {
    constexpr int kFolders = 20000;
    std::string body;
    for (int i = 0; i < kFolders; ++i)
        body += "+\"folder" + std::to_string(i) + "\" 0 0 " + kDate + " < \"f\" 1 " + kDate + " > ";
    LoadCatalog("WORK", body);
    const auto start = std::chrono::steady_clock::now();
    const Rows rows = RunCompare();
    // Quadratic work took seconds even in a release build; this takes well
    // under one in a checked one.
    EXPECT_LT(std::chrono::steady_clock::now() - start, std::chrono::seconds(4));
    ASSERT_EQ(rows.size(), 2u * kFolders);
    EXPECT_EQ(rows[1], "deleted directory|folder1|WORK|1|");
}

// Catalogs written by the scanner, then the disk changed under them.
class ScannedCompareTest : public CompareTest {
protected:
    void Catalog() {
        media::CatalogNewDisk command(set, drives, messages);
        command.SetCatalogDirectory((dir.Path() / "catalogs").string());
        ASSERT_EQ(command.RunOnDirectory(disk.string(), "WORK").status,
                  media::CatalogStatus::Written);
    }
};

TEST_F(ScannedCompareTest, AnUnchangedDiskIsIdenticalWhateverItsNames) {
    MakeFile(disk / "a.txt", 3);
    MakeFile(disk / "DOCS" / "Old" / "c.txt", 5);
    MakeFile(disk / " spaced  \tname.txt", 6);
    MakeFile(disk / "say \"hi\".txt", 7);
    MakeFile(disk / "Mixed.Zip", 8);  // not read as an archive
    MakeFile(disk / "README", 9);
    MakeFile(disk / "readme", 10);
    fs::create_directories(disk / "empty");
    Catalog();
    EXPECT_EQ(RunCompare(), (Rows{"Identical|All files|||"}));
    // Letter case changed on the disk at every level is no difference.
    fs::rename(disk / "DOCS", disk / "docs");
    fs::rename(disk / "docs" / "Old", disk / "docs" / "OLD");
    fs::rename(disk / "docs" / "OLD" / "c.txt", disk / "docs" / "OLD" / "C.TXT");
    EXPECT_EQ(RunCompare("E:  work"), (Rows{"Identical|All files|||"}));
}

TEST_F(ScannedCompareTest, ChangesAfterCataloguingAreEachFound) {
    MakeFile(disk / "a.txt", 3);
    MakeFile(disk / "b.txt", 4);
    MakeFile(disk / "DOCS" / "Old" / "c.txt", 5);
    MakeFile(disk / "DOCS" / "keep.txt", 6);
    Catalog();
    SetTime(disk / "a.txt", kTime + 1);
    MakeFile(disk / "b.txt", 40);
    fs::remove_all(disk / "DOCS" / "Old");
    MakeFile(disk / "NEW" / "d.txt", 7);
    const Rows rows = RunCompare();
    ASSERT_EQ(rows.size(), 6u) << ::testing::PrintToString(rows);
    EXPECT_EQ(rows[0], "new directory|NEW|E:||0");
    EXPECT_EQ(rows[1], "new|d.txt|E:/NEW||7");
    EXPECT_EQ(Sorted(Rows(rows.begin() + 2, rows.begin() + 4)),
              (Rows{"modified|a.txt|WORK|3|3", "modified|b.txt|WORK|4|40"}));
    EXPECT_EQ(rows[4], "deleted directory|Old|WORK/DOCS|5|");
    EXPECT_EQ(rows[5], "deleted|c.txt|WORK/DOCS/Old|5|");
}

TEST_F(ScannedCompareTest, AFileSystemMountedBelowTheDiskIsAnEmptyFolder) {
    MakeFile(disk / "a.txt", 1);
    const fs::path mounted = disk / "mnt";
    fs::create_directories(mounted);
    if (!test::MayMount()) GTEST_SKIP() << "a package build mounts no file systems";
    if (::mount("kestavo-test", mounted.c_str(), "tmpfs", 0, nullptr) != 0)
        GTEST_SKIP() << "mounting needs privileges";
    MakeFile(mounted / "inside.txt", 2);
    Catalog();
    const Rows rows = RunCompare();
    ::umount(mounted.c_str());
    // The scanner records the folder without its contents, and so does
    // the comparison.
    EXPECT_EQ(rows, (Rows{"Identical|All files|||"}));
}

TEST_F(ScannedCompareTest, ADirectoryNamedLikeAnArchiveIsTheSameContainerAsItsZipFolder) {
    MakeFile(disk / "photos.zip" / "a.jpg", 3);
    MakeFile(disk / "photos.zip" / "in" / "b.jpg", 4);
    MakeFile(disk / "real.zip", 5);
    Catalog();
    EXPECT_EQ(RunCompare(), (Rows{"Identical|All files|||"}));
    MakeFile(disk / "photos.zip" / "c.jpg", 6);
    fs::remove(disk / "photos.zip" / "in" / "b.jpg");
    EXPECT_EQ(RunCompare(),
              (Rows{"new|c.jpg|E:/photos.zip||6", "deleted|b.jpg|WORK/photos.zip/in|4|"}));
}

// Archives of every format are matched as files by size and date; their
// members are not looked for on the disk. A folder named like one is one
// container with its Zip Folder.
TEST_F(ScannedCompareTest, ArchivesOfOtherFormatsCompareAsFilesAndFoldersNamedLikeThemAsFolders) {
    MakeFile(dir.Path() / "src" / "docs" / "a.txt", 30);
    MakeFile(dir.Path() / "src" / "b.txt", 40);
    const std::string packed = "cd '" + (dir.Path() / "src").string() + "' && tar -czf '" +
                               (disk / "src.tar.gz").string() + "' docs b.txt && tar -cf '" +
                               (disk / "SRC.TAR").string() + "' docs";
    ASSERT_EQ(test::RunProgram("/bin/sh", {}, {"-c", packed}).status, 0);
    MakeFile(disk / "backup.7z" / "part1", 7);
    MakeFile(disk / "backup.7z" / "in" / "part2", 8);
    Catalog();
    ASSERT_NE(set.EntryNamed(set.Tree().FindChild(
                                 set.Tree().FindChild(set.Tree().FindChild(set.RootItem(), "WORK"),
                                                      "src.tar.gz"),
                                 "docs"),
                             "a.txt", SiblingMatch::FirstIgnoringCase),
              nullptr);
    EXPECT_EQ(RunCompare(), (Rows{"Identical|All files|||"}));
    SetTime(disk / "SRC.TAR", kTime);
    MakeFile(disk / "backup.7z" / "part3", 9);
    EXPECT_EQ(Sorted(RunCompare()),
              Sorted(Rows{"modified|SRC.TAR|WORK|10240|10240", "new|part3|E:/backup.7z||9"}));
}

TEST_F(ScannedCompareTest, ATreeDeeperThanThePathLimitComparesIdentical) {
    constexpr int kDepth = 3000;  // paths of 6 000 characters
    const test::DeepChain chain(disk, kDepth);
    std::string body;
    for (int i = 0; i < kDepth; ++i) body += "+\"d\" 0 0 " + kDate + " < ";
    for (int i = 0; i < kDepth; ++i) body += " >";
    LoadCatalog("WORK", body);
    const Rows rows = RunCompare();
    // Only the file at the bottom is new; its folder's path is as deep.
    ASSERT_EQ(rows.size(), 1u);
    EXPECT_EQ(rows[0].substr(0, 9), "new|f|E:/");
    EXPECT_EQ(rows[0].size(), std::string("new|f|E:||0").size() + 2 * kDepth);
}

TEST(NameMatcherTest, TakesTheFirstRemainingExactNameOrTheFirstEqualIgnoringCase) {
    for (int extra : {0, 40}) {  // without and with the index
        std::vector<std::string> storage{"Read.me", "READ.ME", "other"};
        for (int i = 0; i < extra; ++i) storage.push_back("filler" + std::to_string(i));
        std::vector<std::string_view> names(storage.begin(), storage.end());
        NameMatcher matcher(names);
        EXPECT_EQ(matcher.TakeExact("read.me"), -1);
        EXPECT_EQ(matcher.TakeExact("READ.ME"), 1);
        EXPECT_EQ(matcher.TakeExact("READ.ME"), -1);
        EXPECT_EQ(matcher.TakeIgnoringCase("read.me"), 0);
        EXPECT_EQ(matcher.TakeIgnoringCase("read.me"), -1);
        EXPECT_EQ(matcher.TakeIgnoringCase("OTHER"), 2);
        EXPECT_TRUE(matcher.Taken(0));
        if (extra) {
            EXPECT_FALSE(matcher.Taken(3));
        }
    }
}

}  // namespace
}  // namespace kestavo
