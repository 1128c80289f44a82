// SPDX-License-Identifier: GPL-3.0-or-later
#include "catalog/shown_contents.h"

#include <gtest/gtest.h>

#include "catalog/catalog_commands.h"
#include "catalog/list_rows.h"
#include "catalog/size_unit.h"
#include "support/test_support.h"

namespace kestavo {
namespace {

using test::CatalogHeader;
using test::Child;
using test::LoadText;
using test::RecordingList;
using test::RecordingMessages;
using test::TempDir;

using Names = std::vector<std::string>;

std::string DiskCatalog(const std::string& label, const std::string& body = "") {
    return CatalogHeader() + "+ \"" + label + "\" 4000 2048 1 1 2000 0 0 0 < " + body + " >\r\n";
}

class ShownContentsTest : public ::testing::Test {
protected:
    void SetUp() override { list.Listen(shown); }
    ~ShownContentsTest() override { SetSizeUnit(kUnitByte); }
    TreeItem Root() { return set.RootItem(); }
    void Load(const std::string& text) { LoadText(set, text, messages); }
    Names RowNames() const {
        Names names;
        for (const FileData* row : shown.Rows()) names.emplace_back(row->GetName());
        return names;
    }

    CatalogSet set;
    ShownContents shown{set};
    RecordingList list;
    RecordingMessages messages;
};

TEST_F(ShownContentsTest, ListsDisksUnderTheRootAndFilesUnderAFolderInFilingOrder) {
    Load(DiskCatalog("ONE",
                     "\"b.txt\" 1 1 1 2000 0 0 0 +\"sub\" 0 0 1 1 2000 0 0 0 < "
                     "\"deep.txt\" 2 1 1 2000 0 0 0 > \"A.txt\" 3 1 1 2000 0 0 0 "
                     "\"Z.txt\" 4 1 1 2000 0 0 0"));
    Load(DiskCatalog("TWO"));
    const TreeItem one = Child(set, Root(), "ONE");

    shown.Show(Root());
    EXPECT_TRUE(shown.ListsDisks());
    EXPECT_EQ(RowNames(), (Names{"ONE", "TWO"}));
    EXPECT_TRUE(list.diskColumns);

    shown.Show(one);
    EXPECT_FALSE(shown.ListsDisks());
    EXPECT_EQ(shown.Item(), one);
    EXPECT_EQ(shown.Parent(), Root());
    EXPECT_EQ(RowNames(), (Names{"b.txt", "sub", "A.txt", "Z.txt"}));
    EXPECT_EQ(list.Names(), RowNames());
    EXPECT_FALSE(list.diskColumns);

    // The same rows as walking the entries filed under the item; a list
    // shows them by name with letter case folded, ties in byte order.
    EXPECT_EQ(RowNames(), test::EntryNames(set, one));
    Names initial;
    for (const FileData* row : shown.RowsInInitialOrder()) initial.emplace_back(row->GetName());
    EXPECT_EQ(initial, (Names{"A.txt", "b.txt", "sub", "Z.txt"}));
    shown.Show(Child(set, one, "sub"));
    EXPECT_EQ(RowNames(), (Names{"deep.txt"}));

    // An item with nothing under it lists nothing, in the columns of its kind.
    shown.Show(Child(set, Root(), "TWO"));
    EXPECT_TRUE(shown.Rows().empty());
    EXPECT_FALSE(list.diskColumns);
}

TEST_F(ShownContentsTest, ALoadShowsTheDisksAndAnUnreadableFileChangesNothing) {
    Load(DiskCatalog("ONE", "\"f\" 1 1 1 2000 0 0 0"));
    EXPECT_TRUE(shown.ListsDisks());
    EXPECT_EQ(RowNames(), (Names{"ONE"}));

    const TreeItem one = Child(set, Root(), "ONE");
    shown.Show(one);
    const int reads = list.reads;
    Load("not a catalog");
    EXPECT_EQ(list.reads, reads);
    EXPECT_EQ(shown.Item(), one);
    EXPECT_EQ(RowNames(), (Names{"f"}));

    // A damaged catalog still shows what it loaded.
    Load(CatalogHeader() + "+ \"TWO\" 1 1 1 1 2000 0 0 0 < \"g\" 1 1");
    EXPECT_TRUE(shown.ListsDisks());
    EXPECT_EQ(RowNames(), (Names{"ONE", "TWO"}));
}

TEST_F(ShownContentsTest, OpenAllEmptiesTheRowsAndShowsTheDisksOnceAtTheEnd) {
    TempDir dir;
    dir.Write("a.kvx", DiskCatalog("A"));
    dir.Write("b.kvx", DiskCatalog("B"));
    dir.Write("c.kvx", "broken");
    OpenAllCatalogs(set, dir.Str(), messages);
    EXPECT_EQ(list.reads, 1);
    EXPECT_TRUE(shown.ListsDisks());
    EXPECT_EQ(RowNames(), (Names{"A", "B"}));

    // A reload drops the old rows first; a directory of unreadable files
    // leaves the list empty.
    TempDir bad;
    bad.Write("x.kvx", "broken");
    const int clears = list.clears;
    OpenAllCatalogs(set, bad.Str(), messages);
    EXPECT_GT(list.clears, clears);
    EXPECT_EQ(list.reads, 1);
    EXPECT_TRUE(shown.Rows().empty());
    EXPECT_TRUE(list.rows.empty());
}

TEST_F(ShownContentsTest, RemovingEntriesEmptiesTheRowsAndKeepsTheItem) {
    Load(DiskCatalog("ONE",
                     "+\"d\" 0 0 1 1 2000 0 0 0 < \"x\" 1 1 1 2000 0 0 0 > "
                     "\"y\" 1 1 1 2000 0 0 0"));
    Load(DiskCatalog("TWO", "\"z\" 1 1 1 2000 0 0 0"));
    const TreeItem one = Child(set, Root(), "ONE");
    const TreeItem d = Child(set, one, "d");

    shown.Show(d);
    set.RemoveEntriesUnder(d);
    EXPECT_TRUE(shown.Rows().empty());
    EXPECT_TRUE(list.rows.empty());
    EXPECT_EQ(shown.Item(), d);

    shown.Show(one);
    set.RemoveEntryNamed(one, "Y");
    EXPECT_TRUE(shown.Rows().empty());
    shown.Refresh();
    EXPECT_EQ(RowNames(), (Names{"d"}));

    // Removing a whole disk while the disks are shown.
    shown.Show(Root());
    set.RemoveContainerNamed(Root(), "one");
    EXPECT_TRUE(shown.Rows().empty());
    shown.Refresh();
    EXPECT_EQ(RowNames(), (Names{"TWO"}));

    set.RemoveAllEntries();
    EXPECT_TRUE(shown.Rows().empty());
    EXPECT_TRUE(list.rows.empty());
}

TEST_F(ShownContentsTest, ANewSizeUnitReadsTheShownRowsAgainWithFreshTexts) {
    Load(DiskCatalog("ONE", "\"big\" 5000 1 1 2000 0 0 0"));
    const TreeItem one = Child(set, Root(), "ONE");
    shown.Show(one);
    ASSERT_EQ(list.rows.size(), 1u);
    EXPECT_EQ(CellText(*list.rows[0], ColumnContent::Size), "5000");

    const int reads = list.reads;
    SetSizeUnit(kUnitKB);
    set.ReleaseAllSizeTexts();
    EXPECT_EQ(list.reads, reads + 1);
    EXPECT_EQ(shown.Item(), one);
    ASSERT_EQ(list.rows.size(), 1u);
    EXPECT_EQ(CellText(*list.rows[0], ColumnContent::Size), "5KB");

    // The disk list's free space follows the unit as well.
    shown.Show(Root());
    SetSizeUnit(kUnitByte);
    set.ReleaseAllSizeTexts();
    EXPECT_TRUE(shown.ListsDisks());
    EXPECT_EQ(CellText(*shown.Rows()[0], ColumnContent::FreeSpace), "2048");
}

TEST_F(ShownContentsTest, WithoutAListenerTheRowsAreStillKept) {
    shown.SetListener(nullptr);
    Load(DiskCatalog("ONE", "\"f\" 1 1 1 2000 0 0 0"));
    EXPECT_EQ(list.reads, 0);
    EXPECT_EQ(RowNames(), (Names{"ONE"}));
}

TEST_F(ShownContentsTest, ListedRowsKeepEachRowsTextsThroughSortsAndColumnChanges) {
    Load(DiskCatalog("ONE",
                     "\"b\" 30 1 1 2000 0 0 0 \"a\" 200 3 1 2000 0 0 0 "
                     "\"c\" 1000 2 1 2000 0 0 0"));
    shown.Show(Child(set, Root(), "ONE"));
    ListedRows rows;
    rows.SetColumns(FileColumns());
    rows.SetRows(shown.RowsInInitialOrder());
    const auto column = [&](std::size_t c) {
        Names texts;
        for (std::size_t row = 0; row < rows.RowCount(); ++row)
            texts.emplace_back(rows.RowText(row, c));
        return texts;
    };
    EXPECT_EQ(column(0), (Names{"a", "b", "c"}));
    EXPECT_EQ(column(1), (Names{"200", "30", "1000"}));

    // Sizes as numbers, not as texts; each row's texts go with it.
    rows.SortByColumn(1, /*descending=*/true);
    EXPECT_EQ(column(0), (Names{"c", "a", "b"}));
    EXPECT_EQ(column(1), (Names{"1000", "200", "30"}));
    EXPECT_EQ(rows.RowEntry(0)->GetName(), "c");
    rows.SortByColumn(2, /*descending=*/false);
    EXPECT_EQ(column(0), (Names{"b", "c", "a"}));
    rows.SortByColumn(7, /*descending=*/false);  // no such column: nothing moves
    EXPECT_EQ(column(0), (Names{"b", "c", "a"}));

    // Other columns make the texts again, in the order the rows have.
    rows.SetColumns(DiskColumns(DiskColumnSwitches{.totalSize = false, .freeSpace = false}));
    EXPECT_EQ(column(0), (Names{"b", "c", "a"}));
    EXPECT_EQ(rows.Columns().size(), 2u);
    rows.Clear();
    EXPECT_EQ(rows.RowCount(), 0u);
}

}  // namespace
}  // namespace kestavo
