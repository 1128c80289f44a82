// SPDX-License-Identifier: GPL-3.0-or-later
// How tree items and their entries find each other, pinned for siblings
// whose names differ only in letter case (Linux keeps them side by side),
// whose names are the same, and for non-ASCII letters.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "catalog/properties.h"
#include "support/test_support.h"

namespace kestavo {
namespace {

using test::CatalogHeader;
using test::Child;
using test::LoadText;

// Children in display order: "a b" (p), "a b" (q), A.ZIP, a.zip, DUP, Dup,
// Été, éTÉ. Entries are filed in catalog order: Dup, a.zip, DUP, A.ZIP,
// a b (p), a b (q), Été, éTÉ.
const std::string kSiblings =
    "+ \"D\" 0 0 1 1 2000 0 0 0 < "
    "+\"Dup\" 0 0 1 1 2000 0 0 0 < \"f\" 5 1 1 2000 0 0 0 > "
    "+\"a.zip\" 100 0 1 1 2000 0 0 0 < \"m\" 1 1 1 2000 0 0 0 > "
    "+\"DUP\" 0 0 2 2 2002 0 0 0 < \"g\" 7 1 1 2000 0 0 0 > "
    "+\"A.ZIP\" 200 0 1 1 2000 0 0 0 < \"n\" 2 1 1 2000 0 0 0 > "
    "+\"a b\" 0 0 1 1 2000 0 0 0 < \"p\" 1 1 1 2000 0 0 0 > "
    "+\"a  b\" 0 0 1 1 2000 0 0 0 < \"q\" 2 1 1 2000 0 0 0 > "
    "+\"Été\" 0 0 1 1 2000 0 0 0 < \"r\" 10 1 1 2000 0 0 0 > "
    "+\"éTÉ\" 0 0 1 1 2000 0 0 0 < \"s\" 20 1 1 2000 0 0 0 > >";

class ItemEntryTest : public ::testing::Test {
protected:
    void SetUp() override {
        test::RecordingMessages messages;
        LoadText(set, CatalogHeader() + kSiblings, messages);
        disk = Child(set, set.RootItem(), "D");
        ASSERT_EQ(
            test::ChildTexts(set, disk),
            (std::vector<std::string>{"a b", "a b", "A.ZIP", "a.zip", "DUP", "Dup", "Été", "éTÉ"}));
    }
    TreeItem ChildAt(std::size_t row) const { return set.Tree().Children(disk)[row]; }
    // The entries filed under the disk, in filing order.
    std::vector<FileData*> Entries() const {
        std::vector<FileData*> entries;
        set.ForEachEntryUnder(disk, [&](FileData& e) { entries.push_back(&e); });
        return entries;
    }
    // The first entry filed under the disk with this name, compared exactly.
    FileData* Filed(const std::string& name, int skip = 0) const {
        for (FileData* e : Entries())
            if (e->GetName() == name && skip-- == 0) return e;
        return nullptr;
    }
    // What the properties of a tree item show: the entry of the item, as the
    // tree pane and `kestavo-cli properties` find it.
    PropertyFields PropertiesOfItem(TreeItem item) {
        return PropertiesOfEntry(*set.EntryOfItem(item));
    }

    CatalogSet set;
    TreeItem disk{};
};

TEST_F(ItemEntryTest, EachEntryShowsInItsOwnItem) {
    EXPECT_EQ(set.ItemOfEntry(*Filed("Dup")), ChildAt(5));
    EXPECT_EQ(set.ItemOfEntry(*Filed("DUP")), ChildAt(4));
    EXPECT_EQ(set.ItemOfEntry(*Filed("A.ZIP")), ChildAt(2));
    EXPECT_EQ(set.ItemOfEntry(*Filed("Été")), ChildAt(6));
    EXPECT_EQ(set.ItemOfEntry(*Filed("éTÉ")), ChildAt(7));
    // Two entries of the same name show in the items of that name in turn.
    EXPECT_EQ(set.ItemOfEntry(*Filed("a b")), ChildAt(0));
    EXPECT_EQ(set.ItemOfEntry(*Filed("a b", 1)), ChildAt(1));
    // A file has no item; no item holds a name in another case.
    FileData* file = nullptr;
    set.ForEachEntryUnder(ChildAt(5), [&](FileData& e) { file = &e; });
    ASSERT_NE(file, nullptr);
    EXPECT_EQ(set.ItemOfEntry(*file), kNoItem);
}

TEST_F(ItemEntryTest, NamesFindItemsAndEntriesExactlyIgnoringCaseOrExactFirst) {
    const TreeItem dupItem = ChildAt(5), upperItem = ChildAt(4);
    EXPECT_EQ(set.ItemNamed(disk, "Dup", SiblingMatch::Exact), dupItem);
    EXPECT_EQ(set.ItemNamed(disk, "dup", SiblingMatch::Exact), kNoItem);
    EXPECT_EQ(set.ItemNamed(disk, "Dup", SiblingMatch::FirstIgnoringCase), upperItem);
    EXPECT_EQ(set.ItemNamed(disk, "Dup", SiblingMatch::ExactFirst), dupItem);
    EXPECT_EQ(set.ItemNamed(disk, "dup", SiblingMatch::ExactFirst), upperItem);
    EXPECT_EQ(set.ItemNamed(disk, "ÉTÉ", SiblingMatch::ExactFirst), ChildAt(6));
    EXPECT_EQ(set.ItemNamed(disk, "éTÉ", SiblingMatch::ExactFirst), ChildAt(7));
    EXPECT_EQ(set.ItemNamed(disk, "nothing", SiblingMatch::ExactFirst), kNoItem);

    EXPECT_EQ(set.EntryNamed(disk, "DUP", SiblingMatch::Exact), Filed("DUP"));
    EXPECT_EQ(set.EntryNamed(disk, "dup", SiblingMatch::Exact), nullptr);
    EXPECT_EQ(set.EntryNamed(disk, "DUP", SiblingMatch::FirstIgnoringCase), Filed("Dup"));
    EXPECT_EQ(set.EntryNamed(disk, "DUP", SiblingMatch::ExactFirst), Filed("DUP"));
    EXPECT_EQ(set.EntryNamed(disk, "éTÉ", SiblingMatch::ExactFirst), Filed("éTÉ"));
    EXPECT_EQ(set.EntryNamed(disk, "ÉTÉ", SiblingMatch::ExactFirst), Filed("Été"));
    EXPECT_EQ(set.EntryOfItem(upperItem), Filed("DUP"));
    EXPECT_EQ(set.EntryOfItem(dupItem), Filed("Dup"));
    EXPECT_EQ(set.EntryOfItem(ChildAt(1)), Filed("a b", 1));
    EXPECT_EQ(set.EntryOfItem(set.RootItem()), nullptr);
    EXPECT_EQ(set.EntryOfItem(kNoItem), nullptr);
}

TEST_F(ItemEntryTest, AnIndexFindsWhatTheWalkFindsAndEveryPairGoesBothWays) {
    ChildItemEntries indexed(set, disk, 100);
    ChildItemEntries walked(set, disk);
    for (TreeItem child : set.Tree().Children(disk)) {
        FileData* entry = set.EntryOfItem(child);
        ASSERT_NE(entry, nullptr);
        EXPECT_EQ(set.ItemOfEntry(*entry), child);
        EXPECT_EQ(indexed.Find(child), entry);
        EXPECT_EQ(walked.Find(child), entry);
    }
}

TEST_F(ItemEntryTest, AnItemsPropertiesAreThoseOfItsOwnEntry) {
    EXPECT_EQ(PropertiesOfItem(ChildAt(5)).name, "Dup");
    EXPECT_EQ(PropertiesOfItem(ChildAt(4)).name, "DUP");
    EXPECT_EQ(PropertiesOfItem(ChildAt(4)).size, "7");
    EXPECT_EQ(PropertiesOfItem(ChildAt(3)).name, "a.zip");
    EXPECT_EQ(PropertiesOfItem(ChildAt(2)).name, "A.ZIP");
    EXPECT_EQ(PropertiesOfItem(ChildAt(7)).name, "éTÉ");
    EXPECT_EQ(PropertiesOfItem(ChildAt(1)).size, "2");
    EXPECT_EQ(PropertiesOfItem(ChildAt(1)).contains, "1 Files, 0 Folders, 0 Zip Folders");
}

TEST_F(ItemEntryTest, CountsTakeEachChildItemWithItsOwnEntry) {
    // Each archive counts at its own size; every folder item counts its own
    // contents.
    ContentCounts counts;
    set.CountContents(disk, counts);
    EXPECT_EQ(counts.size, 1 + 2 + 100 + 200 + 7 + 5 + 10 + 20);
    EXPECT_EQ(counts.files, 8);
    EXPECT_EQ(counts.folders, 6);
    EXPECT_EQ(counts.zipFolders, 2);
}

TEST_F(ItemEntryTest, CountedFolderSizesAreKeptByTheEntriesOfTheItemsCounted) {
    // The disk's size counts each folder once, and each folder's entry keeps
    // the count of its own item.
    EXPECT_EQ(set.SizeTextOf(*set.EntryNamed(set.RootItem(), "D", SiblingMatch::FirstIgnoringCase)),
              std::to_string(1 + 2 + 100 + 200 + 7 + 5 + 10 + 20));
    EXPECT_EQ(Filed("a b")->Size(), 1);
    EXPECT_EQ(Filed("a b", 1)->Size(), 2);
    EXPECT_EQ(Filed("Dup")->Size(), 5);
    EXPECT_EQ(Filed("DUP")->Size(), 7);
    EXPECT_EQ(Filed("Été")->Size(), 10);
    EXPECT_EQ(set.SizeTextOf(*Filed("éTÉ")), "20");
    EXPECT_EQ(set.SizeTextOf(*Filed("A.ZIP")), "200");
}

TEST_F(ItemEntryTest, FolderSizesAskedOneByOneAgreeWithTheWholeCount) {
    // Sizes asked inner first: every folder counted on its own item.
    EXPECT_EQ(set.SizeTextOf(*Filed("a b", 1)), "2");
    EXPECT_EQ(set.SizeTextOf(*Filed("a b")), "1");
    for (const char* name : {"Dup", "DUP", "Été", "éTÉ"}) set.SizeTextOf(*Filed(name));
    EXPECT_EQ(set.SizeTextOf(*set.EntryNamed(set.RootItem(), "D", SiblingMatch::FirstIgnoringCase)),
              std::to_string(1 + 2 + 100 + 200 + 7 + 5 + 10 + 20));
}

TEST(ItemEntryFilesTest, AFolderItemNeverStandsForAFileOfTheSameName) {
    // A file README beside a folder readme, and a file "a b" beside a folder
    // written as "a  b", which reads back as "a b" too.
    CatalogSet set;
    test::RecordingMessages messages;
    LoadText(set,
             CatalogHeader() +
                 "+ \"D\" 0 0 1 1 2000 0 0 0 < \"README\" 5 1 1 2000 0 0 0 "
                 "+\"readme\" 0 0 1 1 2000 0 0 0 < \"a.txt\" 100 1 1 2000 0 0 0 > "
                 "\"a b\" 3 1 1 2000 0 0 0 "
                 "+\"a  b\" 0 0 1 1 2000 0 0 0 < \"c\" 40 1 1 2000 0 0 0 > >",
             messages);
    const TreeItem disk = Child(set, set.RootItem(), "D");
    ContentCounts counts;
    set.CountContents(disk, counts);
    EXPECT_EQ(counts.size, 5 + 100 + 3 + 40);
    EXPECT_EQ(counts.files, 4);
    EXPECT_EQ(counts.folders, 2);
    for (const char* name : {"readme", "a b"}) {
        FileData* folder = set.EntryOfItem(Child(set, disk, name));
        ASSERT_NE(folder, nullptr);
        EXPECT_TRUE(folder->IsContainer());
        EXPECT_EQ(set.ItemOfEntry(*folder), Child(set, disk, name));
    }
    FileData* file = set.EntryNamed(disk, "a b", SiblingMatch::Exact);
    ASSERT_NE(file, nullptr);
    EXPECT_FALSE(file->IsContainer());
    EXPECT_EQ(set.ItemOfEntry(*file), kNoItem);
}

TEST(ItemEntryManyTest, ManyChildItemsFindTheirEntriesAsFewDo) {
    // Past a handful of children the entries are looked up through an
    // index; the counts must be those of the plain walk: every item with
    // its own entry.
    std::string body = "+ \"D\" 0 0 1 1 2000 0 0 0 < +\"top\" 0 0 1 1 2000 0 0 0 < ";
    std::int64_t size = 0;
    for (int i = 0; i < 20; ++i) {
        const std::string n = std::to_string(i);
        body += "+\"d" + n + "\" 0 0 1 1 2000 0 0 0 < \"f\" " + n + " 1 1 2000 0 0 0 > ";
        body += "+\"D" + n + "\" 0 0 1 1 2000 0 0 0 < \"g\" " + std::to_string(1000 + i) +
                " 1 1 2000 0 0 0 > ";
        body += "+\"z" + n + ".zip\" " + std::to_string(10 * i) + " 0 1 1 2000 0 0 0 < > ";
        body += "+\"Z" + n + ".ZIP\" 7 0 1 1 2000 0 0 0 < > ";
        size += i + 1000 + i + 10 * i + 7;
    }
    body += "> >";
    CatalogSet set;
    test::RecordingMessages messages;
    LoadText(set, CatalogHeader() + body, messages);
    const TreeItem top = Child(set, Child(set, set.RootItem(), "D"), "top");
    ContentCounts counts;
    set.CountContents(top, counts);
    EXPECT_EQ(counts.size, size);
    EXPECT_EQ(counts.files, 40);
    EXPECT_EQ(counts.folders, 40);
    EXPECT_EQ(counts.zipFolders, 40);
    EXPECT_EQ(set.SizeTextOf(*set.EntryNamed(Child(set, set.RootItem(), "D"), "top",
                                             SiblingMatch::FirstIgnoringCase)),
              std::to_string(size));
}

}  // namespace
}  // namespace kestavo
