// SPDX-License-Identifier: GPL-3.0-or-later
#include "tools/find_files.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <atomic>
#include <random>
#include <span>
#include <thread>

#include "catalog/catalog_commands.h"
#include "catalog/entry_kind.h"
#include "catalog/entry_store.h"
#include "catalog/row_order.h"
#include "support/test_support.h"
#include "tools_test_support.h"

namespace kestavo {
namespace {

using test::CatalogHeader;
using test::Child;
using test::LoadText;
using test::ReportOf;

const std::string kDiskOne =
    "+ \"D1\" 1000 10 1 1 2000 0 0 0 <\n"
    "\"readme.txt\" 100 2 1 2000 10 0 0\n"
    "\"README.TXT\" 200 3 1 2000 10 0 0\n"
    "\"A.DOC.DOC\" 5 1 1 2000 10 0 0\n"
    "\"A.DOCX\" 6 1 1 2000 10 0 0\n"
    "\"AB\" 7 1 1 2000 10 0 0\n"
    "\"X\" 8 1 1 2000 10 0 0\n"
    "+\"DOCS\" 0 0 1 1 2000 0 0 0 <\n"
    "\"ReadMe.txt\" 300 4 1 2000 10 0 0\n"
    "\"abc\" 9 1 1 2000 10 0 0\n"
    "\"ac\" 9 1 1 2000 10 0 0\n"
    "\"abbc\" 9 1 1 2000 10 0 0\n"
    "+\"sub\" 0 0 1 1 2000 0 0 0 < \"axa\" 1 1 1 2000 10 0 0 \"noDot\" 1 1 1 2000 10 0 0 >\n"
    ">\n"
    "+\"arc.zip\" 50 0 1 1 2000 0 0 0 < \"inner.doc\" 7 1 1 2000 10 0 0 >\n"
    ">\n";
const std::string kDiskTwo =
    "+ \"D2\" 2000 20 1 1 2001 0 0 0 < \"two.doc\" 11 1 1 2001 12 0 0 "
    "+\"DOCS\" 0 0 1 1 2001 0 0 0 < \"deep.doc\" 12 1 1 2001 12 0 0 > >\n";

class RecordingListener : public FindFilesListener {
public:
    void RowsAboutToBeReset() override { ++aboutToReset; }
    void RowsReset() override { ++resets; }
    void SearchRootChanged() override { ++rootChanges; }
    int aboutToReset = 0;
    int resets = 0;
    int rootChanges = 0;
};

class FindFilesTest : public ::testing::Test {
protected:
    void SetUp() override {
        LoadText(set, CatalogHeader() + kDiskOne, messages, "D1.kvx");
        LoadText(set, CatalogHeader() + kDiskTwo, messages, "D2.kvx");
        root = set.RootItem();
        d1 = Child(set, root, "D1");
        docs = Child(set, d1, "DOCS");
    }

    std::vector<std::string> NamesOf(FindFiles& tool) {
        std::vector<std::string> names;
        for (std::size_t row = 0; row < tool.RowCount(); ++row)
            names.emplace_back(tool.RowText(row, FindColumn::Name));
        return names;
    }
    std::vector<std::string> Find(TreeItem node, const std::string& mask, bool subfolders = true) {
        FindFiles tool(set, node);
        tool.SetMask(mask);
        tool.SetLookInSubfolders(subfolders);
        tool.FindNow();
        return NamesOf(tool);
    }

    CatalogSet set;
    test::RecordingMessages messages;
    TreeItem root{}, d1{}, docs{};
};

using Names = std::vector<std::string>;

TEST_F(FindFilesTest, MasksMatchUpperCasedNamesAndTheMaskIsWrittenBackUpperCased) {
    FindFiles tool(set, d1);
    tool.SetMask("readme.txt");
    tool.FindNow();
    EXPECT_EQ(tool.Mask(), "README.TXT");
    EXPECT_EQ(NamesOf(tool), (Names{"README.TXT", "ReadMe.txt", "readme.txt"}));

    EXPECT_EQ(Find(d1, "*.doc"), (Names{"A.DOC.DOC", "inner.doc"}));
    EXPECT_EQ(Find(docs, "a?c"), (Names{"abc"}));
    EXPECT_EQ(Find(docs, "*a*a"), Names{});
    EXPECT_EQ(Find(docs, "*.*"), (Names{"ReadMe.txt"}));
    EXPECT_EQ(Find(d1, "**"), Names{});
    EXPECT_EQ(Find(d1, "*?"), Names{});
}

TEST_F(FindFilesTest, EveryKindIsFoundAndSubfoldersDecideHowDeep) {
    // Disks, folders, Zip Folders and the files inside Zip Folders.
    const Names all = Find(root, "*");
    EXPECT_EQ(all.size(), set.EntryCount());
    EXPECT_EQ(Find(root, ""), all);
    EXPECT_EQ(Find(root, "D?"), (Names{"D1", "D2"}));
    // A trailing star after a literal run needs at least one more character.
    EXPECT_EQ(Find(root, "*doc*"), (Names{"A.DOCX", "DOCS", "DOCS"}));
    // Without subfolders only the entries filed directly under the root.
    EXPECT_EQ(Find(root, "*", false), (Names{"D1", "D2"}));
    EXPECT_EQ(Find(docs, "*", false), (Names{"abbc", "abc", "ac", "ReadMe.txt", "sub"}));
}

TEST_F(FindFilesTest, SearchRootTextNamesTheNodeFromItsDisk) {
    EXPECT_EQ(FindFiles(set, root).SearchRootText(), "My Removable Disk Drive");
    EXPECT_EQ(FindFiles(set, kNoItem).SearchRootText(), "My Removable Disk Drive");
    EXPECT_EQ(FindFiles(set, d1).SearchRootText(), "D1");
    EXPECT_EQ(FindFiles(set, Child(set, docs, "sub")).SearchRootText(), "D1/DOCS/sub");
}

TEST_F(FindFilesTest, NothingFoundLeavesNoRowsAndAReportOfNone) {
    FindFiles tool(set, root);
    EXPECT_FALSE(tool.FoundNothing());
    tool.SetMask("nothing*here");
    tool.FindNow();
    EXPECT_TRUE(tool.FoundNothing());
    EXPECT_EQ(tool.RowCount(), 0u);
    EXPECT_EQ(tool.RowEntry(0), nullptr);
    tool.SortByColumn(2);
    EXPECT_EQ(tool.RowCount(), 0u);
    const std::string report = ReportOf(tool);
    EXPECT_NE(report.find("  path\r\n\r\n\r\n 0 Files found.\r\n"), std::string::npos) << report;
}

TEST_F(FindFilesTest, OneDescendingNextFlagForAllColumns) {
    FindFiles tool(set, docs);
    tool.SetMask("*");
    tool.SetLookInSubfolders(false);
    tool.FindNow();
    EXPECT_EQ(NamesOf(tool), (Names{"abbc", "abc", "ac", "ReadMe.txt", "sub"}));
    EXPECT_TRUE(tool.DescendingNext());
    tool.SortByColumn(0);  // descending, byte order: lower case after upper case
    EXPECT_EQ(NamesOf(tool), (Names{"sub", "ac", "abc", "abbc", "ReadMe.txt"}));
    tool.SortByColumn(0);
    EXPECT_EQ(NamesOf(tool), (Names{"ReadMe.txt", "abbc", "abc", "ac", "sub"}));
    // The flag is shared: the next click on another column sorts descending.
    tool.SortByColumn(2);
    // sub (computed: 2) and ReadMe (300); the three 9-byte files keep their order.
    EXPECT_EQ(NamesOf(tool), (Names{"ReadMe.txt", "abbc", "abc", "ac", "sub"}));
    tool.SortByColumn(3);  // ascending by date-time
    EXPECT_EQ(NamesOf(tool).front(), "sub");
    EXPECT_EQ(NamesOf(tool).back(), "ReadMe.txt");
    tool.SortByColumn(4);  // no such column: nothing changes, not even the flag
    EXPECT_TRUE(tool.DescendingNext());
}

TEST_F(FindFilesTest, SortsByFolderPathAndBySignedSize) {
    FindFiles tool(set, d1);
    tool.SetMask("*.doc");
    tool.FindNow();
    tool.SortByColumn(1);  // descending by folder
    EXPECT_EQ(NamesOf(tool), (Names{"inner.doc", "A.DOC.DOC"}));
    EXPECT_EQ(tool.RowText(0, FindColumn::InFolder), "D1/arc.zip");
}

TEST_F(FindFilesTest, FoundFoldersCataloguedWithSizeZeroShowAndSortByTheirContents) {
    FindFiles tool(set, root);
    tool.SetMask("DOCS");
    tool.FindNow();
    ASSERT_EQ(tool.RowCount(), 2u);
    tool.SortByColumn(2);  // descending by size
    EXPECT_EQ(tool.RowText(0, FindColumn::Size), "329");
    EXPECT_EQ(tool.RowText(0, FindColumn::InFolder), "D1");
    EXPECT_EQ(tool.RowText(1, FindColumn::Size), "12");
    EXPECT_EQ(tool.RowText(1, FindColumn::InFolder), "D2");
}

TEST_F(FindFilesTest, ReportLayoutByteForByte) {
    LoadText(set,
             CatalogHeader() +
                 "+ \"LONG\" 1 1 1 1 2000 0 0 0 < "
                 "\"exactly-thirty-characters.text\" 123456 31 12 1999 23 59 59 "
                 "\"a-name-of-more-than-thirty-characters.txt\" 7 1 1 2000 0 0 0 "
                 "\"short\" 12345678901 1 1 2000 0 0 0 >",
             messages);
    FindFiles tool(set, Child(set, root, "LONG"));
    tool.SetMask("*");
    tool.FindNow();
    EXPECT_EQ(ReportOf(tool),
              " Kestavo, Find Files report\r\n"
              " -------------------------------\r\n"
              "\r\n"
              " Search root        : LONG\r\n"
              " Search mask        : *\r\n"
              " Look in subfolders : Yes\r\n"
              "\r\n"
              "                time      size name                           path\r\n"
              "\r\n"
              "   01/01/00 00:00:00         7 a-name-of-more-than-thirty-characters.txt LONG\r\n"
              "   12/31/99 23:59:59    123456 exactly-thirty-characters.text LONG\r\n"
              "   01/01/00 00:00:0012345678901 short                          LONG\r\n"
              "\r\n"
              " 3 Files found.\r\n");
    // The report shows the mask box as it stands when it is saved.
    tool.SetMask("typed after the search");
    tool.SetLookInSubfolders(false);
    const std::string report = ReportOf(tool);
    EXPECT_NE(
        report.find(" Search mask        : typed after the search\r\n Look in subfolders : No\r\n"),
        std::string::npos);
}

TEST_F(FindFilesTest, SaveReportRemembersThePathAndFailsQuietlyOnABadPath) {
    test::TempDir dir;
    FindFiles tool(set, d1);
    EXPECT_EQ(tool.ReportFileName(), "FindFiles.txt");
    tool.SetMask("x");
    tool.FindNow();
    const std::string path = (dir.Path() / "out.txt").string();
    EXPECT_TRUE(tool.SaveReport(path));
    EXPECT_EQ(tool.ReportFileName(), path);
    EXPECT_FALSE(tool.SaveReport((dir.Path() / "missing" / "out.txt").string()));
}

TEST_F(FindFilesTest, RowsKeepTheSizeTextsOfTheUnitTheyWereFoundIn) {
    test::SizeUnitGuard guard;
    FindFiles tool(set, d1);
    tool.SetMask("README.TXT");
    tool.SetLookInSubfolders(false);
    tool.FindNow();
    ASSERT_EQ(tool.RowCount(), 2u);
    SetSizeUnit(kUnitKB);
    set.ReleaseAllSizeTexts();
    EXPECT_EQ(tool.RowText(0, FindColumn::Size), "200");
    tool.FindNow();
    EXPECT_EQ(tool.RowText(0, FindColumn::Size), "1KB");
}

TEST_F(FindFilesTest, TwoToolsKeepTheirOwnResults) {
    FindFiles first(set, d1);
    FindFiles second(set, Child(set, root, "D2"));
    first.SetMask("X");
    second.SetMask("*.DOC");
    first.FindNow();
    second.FindNow();
    EXPECT_EQ(NamesOf(first), (Names{"X"}));
    EXPECT_EQ(NamesOf(second), (Names{"deep.doc", "two.doc"}));
}

TEST_F(FindFilesTest, RemovedCatalogsClearRowsAndAGoneSearchRootBecomesTheTopRootItem) {
    RecordingListener listener;
    const TreeItem d2Docs = Child(set, Child(set, root, "D2"), "DOCS");
    FindFiles onD2(set, d2Docs);
    onD2.SetListener(&listener);
    onD2.SetMask("*");
    onD2.FindNow();
    ASSERT_EQ(onD2.RowCount(), 1u);

    // Deleting another catalog: the rows go (their entries could have), the root stays.
    set.RemoveContainerNamed(root, "D1");
    EXPECT_EQ(onD2.RowCount(), 0u);
    EXPECT_EQ(listener.resets, 2);
    EXPECT_EQ(onD2.SearchRootText(), "D2/DOCS");
    EXPECT_EQ(listener.rootChanges, 0);
    onD2.FindNow();
    EXPECT_EQ(NamesOf(onD2), (Names{"deep.doc"}));

    // Deleting the catalog the root lies in.
    set.RemoveContainerNamed(root, "d2");
    EXPECT_EQ(onD2.RowCount(), 0u);
    EXPECT_EQ(onD2.SearchRootText(), "My Removable Disk Drive");
    EXPECT_EQ(onD2.SearchRoot(), root);
    EXPECT_EQ(listener.rootChanges, 1);
    onD2.FindNow();
    EXPECT_EQ(NamesOf(onD2), Names{});
}

TEST_F(FindFilesTest, OpenAllCatalogsClearsRowsAndRootsInRemovedDisks) {
    test::TempDir dir;
    dir.Write("D2.kvx", CatalogHeader() + kDiskTwo);
    FindFiles tool(set, docs);
    tool.SetMask("*");
    tool.FindNow();
    ASSERT_GT(tool.RowCount(), 1u);
    OpenAllCatalogs(set, dir.Str(), messages);
    EXPECT_EQ(tool.RowCount(), 0u);
    EXPECT_EQ(tool.SearchRootText(), "My Removable Disk Drive");
    tool.FindNow();
    EXPECT_EQ(NamesOf(tool), (Names{"D2", "deep.doc", "DOCS", "two.doc"}));
}

TEST(RowOrderTest, TheFastInitialOrderIsTheListsInitialOrder) {
    // Many names that agree in their first 16, 24 or 32 bytes, differ in
    // case only, or are prefixes of one another; few rows sort on one
    // thread, many on two.
    const std::vector<std::string> stems{"a",
                                         "A",
                                         "ab",
                                         "aB",
                                         "abcdefghijklmnop",
                                         "ABCDEFGHIJKLMNOP",
                                         "abcdefghijklmnopqrstuvwx",
                                         "abcdefghijklmnopqrstuvwxyz012345",
                                         "Z_",
                                         "z~",
                                         "\xc3\xa9t\xc3\xa9",
                                         "\x7f\x80\xff"};
    for (const int count : {3000, 150000}) {
        std::mt19937 random(7);
        EntryStore store(nullptr, 1);
        std::vector<FileData*> rows;
        for (int i = 0; i < count; ++i) {
            std::string name = stems[random() % stems.size()];
            const int tail = static_cast<int>(random() % 4);
            for (int k = 0; k < tail; ++k) name += "aAzZ._@[`{"[random() % 10];
            rows.push_back(store.Create(name, kNoItem, 0, 0, 0, KIND_FILE));
        }
        std::vector<FileData*> expected = rows;
        SortInInitialOrderByComparison(expected);
        SortInInitialOrder(rows);
        EXPECT_EQ(rows, expected) << count << " rows";
    }
}

}  // namespace
}  // namespace kestavo

namespace kestavo {
namespace {

// Enough catalogs for a search of every catalog to run in two groups.
void LoadManyDisks(CatalogSet& set) {
    test::RecordingMessages messages;
    std::mt19937 random(5);
    for (int disk = 0; disk < 5; ++disk) {
        std::string text =
            test::CatalogHeader() + "+ \"DISK" + std::to_string(disk) + "\" 0 0 1 1 2000 0 0 0 < ";
        for (int folder = 0; folder < 60; ++folder) {
            text += "+\"f" + std::to_string(folder) + "\" 0 0 1 1 2000 0 0 0 < ";
            for (int file = 0; file < 400; ++file)
                text += "\"n" + std::to_string(random() % 5000) + (file % 3 ? ".jpg" : ".TXT") +
                        "\" " + std::to_string(random() % 100000) + " " +
                        std::to_string(1 + random() % 28) + " " +
                        std::to_string(1 + random() % 12) + " " +
                        std::to_string(1990 + random() % 30) + " " + std::to_string(random() % 24) +
                        " 0 " + std::to_string(random() % 60) + " ";
            text += "> ";
        }
        text += ">";
        ASSERT_EQ(test::LoadText(set, text, messages), LoadOutcome::Loaded);
    }
    ASSERT_GT(set.EntryCount(), 100000u);
}

TEST(FindFilesLargeTest, SearchingEveryCatalogInTwoGroupsGivesTheRowsOfOneWalk) {
    CatalogSet set;
    LoadManyDisks(set);

    FindFiles tool(set, set.RootItem());
    tool.SetMask("*.JPG");
    tool.FindNow();

    std::vector<FileData*> expected;
    std::vector<TreeItem> pending{set.RootItem()};
    while (!pending.empty()) {
        const TreeItem node = pending.back();
        pending.pop_back();
        set.CollectMatching(node, "*.JPG", expected);
        const auto children = set.Tree().Children(node);
        for (auto it = children.rbegin(); it != children.rend(); ++it) pending.push_back(*it);
    }
    SortInInitialOrderByComparison(expected);
    ASSERT_EQ(tool.RowCount(), expected.size());
    LocalClock clock;
    for (std::size_t row = 0; row < expected.size(); ++row) {
        ASSERT_EQ(tool.RowEntry(row), expected[row]) << row;
        EXPECT_EQ(tool.RowText(row, FindColumn::Date), clock.DateText(expected[row]->GetTime()))
            << row;
        EXPECT_EQ(tool.RowText(row, FindColumn::Size), std::to_string(expected[row]->Size()))
            << row;
    }
    // The rows' texts are made when read, in the tool: the entries keep
    // none, and their folder texts are those of the entries' own.
    for (std::size_t row = 0; row < expected.size(); ++row) {
        const FileData& entry = *expected[row];
        ASSERT_EQ(entry.Store().FindTexts(entry.Serial()), nullptr) << row;
    }
    for (std::size_t row = 0; row < expected.size(); row += 97)
        EXPECT_EQ(tool.RowText(row, FindColumn::InFolder), set.PathOf(*expected[row])) << row;
}

// The entries matching `mask` at or below `top`, in the order of a walk.
std::vector<FileData*> WalkOrder(const CatalogSet& set, TreeItem top, const std::string& mask,
                                 bool subfolders = true) {
    std::vector<FileData*> found;
    std::vector<TreeItem> pending{top};
    while (!pending.empty()) {
        const TreeItem node = pending.back();
        pending.pop_back();
        set.CollectMatching(node, mask, found);
        if (!subfolders) break;
        const auto children = set.Tree().Children(node);
        for (auto it = children.rbegin(); it != children.rend(); ++it) pending.push_back(*it);
    }
    return found;
}

std::vector<FileData*> RowsOf(const FindFiles& tool) {
    std::vector<FileData*> rows;
    for (std::size_t row = 0; row < tool.RowCount(); ++row) rows.push_back(tool.RowEntry(row));
    return rows;
}

// A feed gets every row once, in the order of the walk, whether the disks
// are searched side by side, one folder is searched or the name indexes
// find the rows; the rows at the end are those of a search without a feed.
TEST(FindFilesLargeTest, AFeedGetsEveryRowOnceInTheOrderOfTheWalk) {
    CatalogSet set;
    LoadManyDisks(set);
    const TreeItem disk = set.Tree().Children(set.RootItem())[2];
    struct Case {
        TreeItem top;
        std::string mask;
        bool subfolders;
    };
    for (const Case& c : {Case{set.RootItem(), "*", true}, Case{set.RootItem(), "*.JPG", true},
                          Case{set.RootItem(), "N4999.TXT", true}, Case{disk, "*.TXT", true},
                          Case{set.Tree().Children(disk)[0], "*", false}}) {
        SCOPED_TRACE(c.mask);
        FindFiles plain(set, c.top);
        plain.SetMask(c.mask);
        plain.SetLookInSubfolders(c.subfolders);
        plain.FindNow();

        FindFiles fed(set, c.top);
        fed.SetMask(c.mask);
        fed.SetLookInSubfolders(c.subfolders);
        std::vector<FileData*> handed;
        std::size_t batches = 0;
        fed.FindNow(FindFeed{.found =
                                 [&](std::span<FileData* const> rows) {
                                     EXPECT_FALSE(rows.empty());
                                     handed.insert(handed.end(), rows.begin(), rows.end());
                                     ++batches;
                                 },
                             .stop = nullptr});
        std::vector<FileData*> walked = WalkOrder(set, c.top, c.mask, c.subfolders);
        // The name indexes find namesakes in another order; the rows put in
        // the initial order are the same.
        if (c.mask == "N4999.TXT") {
            std::sort(handed.begin(), handed.end());
            std::sort(walked.begin(), walked.end());
        }
        EXPECT_EQ(handed, walked);
        EXPECT_GE(batches, walked.empty() ? 0u : 1u);
        EXPECT_EQ(RowsOf(fed), RowsOf(plain));
        EXPECT_EQ(fed.FoundNothing(), plain.FoundNothing());
    }
}

TEST(FindFilesLargeTest, AStoppedSearchEndsWithNoRows) {
    CatalogSet set;
    LoadManyDisks(set);
    FindFiles tool(set, set.RootItem());
    tool.SetMask("*");
    const std::atomic<bool> stop{true};
    tool.FindNow(FindFeed{.found = {}, .stop = &stop});
    EXPECT_EQ(tool.RowCount(), 0u);
    EXPECT_FALSE(tool.FoundNothing());
}

// A search on a thread of its own: its rows are those of FindNow, and a
// change of the catalogs while it runs stops it before anything changes.
TEST(FindFilesLargeTest, ASearchOnItsOwnThreadStopsBeforeTheCatalogsChange) {
    CatalogSet set;
    LoadManyDisks(set);
    FindFiles plain(set, set.RootItem());
    plain.SetMask("*.JPG");
    plain.FindNow();

    FindFiles tool(set, set.RootItem());
    RecordingListener listener;
    tool.SetListener(&listener);
    tool.SetMask("*.JPG");
    std::atomic<int> ends{0};
    std::atomic<bool> whole{false};
    std::atomic<std::size_t> handed{0};
    auto start = [&] {
        tool.StartSearch(
            FindFeed{.found = [&](std::span<FileData* const> rows) { handed += rows.size(); },
                     .stop = nullptr},
            [&](bool ranWhole) {
                whole = ranWhole;
                ++ends;
            });
    };
    start();
    EXPECT_TRUE(tool.Searching());
    EXPECT_EQ(listener.aboutToReset, 1);
    while (ends == 0) std::this_thread::yield();
    EXPECT_TRUE(tool.FinishSearch());
    EXPECT_TRUE(whole);
    EXPECT_FALSE(tool.Searching());
    EXPECT_EQ(listener.resets, 1);
    EXPECT_EQ(handed, plain.RowCount());
    EXPECT_EQ(RowsOf(tool), RowsOf(plain));

    // Removing the catalogs stops the search first; its rows go.
    handed = 0;
    start();
    while (handed == 0 && ends == 1) std::this_thread::yield();
    set.RemoveAllEntries();
    EXPECT_FALSE(tool.Searching());
    EXPECT_EQ(tool.RowCount(), 0u);
    EXPECT_EQ(listener.resets, 2);
}

}  // namespace
}  // namespace kestavo
