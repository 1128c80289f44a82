// SPDX-License-Identifier: GPL-3.0-or-later
#include <gtest/gtest.h>

#include <algorithm>
#include <clocale>

#include "support/test_support.h"

namespace kestavo {
namespace {

using test::CatalogHeader;
using test::Child;
using test::LoadText;
using test::RecordingList;
using test::RecordingMessages;

class CatalogSetTest : public ::testing::Test {
protected:
    void SetUp() override {
        set.SetListSink(&list);
        LoadText(set,
                 CatalogHeader() +
                     "+ \"D\" 1 1 1 1 2000 0 0 0 < \"readme.txt\" 1 1 1 2000 0 0 0 "
                     "\"README.TXT\" 2 1 1 2000 0 0 0 +\"dir\" 0 0 1 1 2000 0 0 0 < "
                     "\"inner.doc\" 3 1 1 2000 0 0 0 > +\"arc.zip\" 9 0 1 1 2000 0 0 0 < > "
                     "\"b.DOC\" 4 1 1 2000 0 0 0 >",
                 messages);
        disk = Child(set, set.RootItem(), "D");
    }

    test::ListedCatalogSet set;
    RecordingList list;
    RecordingMessages messages;
    TreeItem disk{};
};

TEST_F(CatalogSetTest, EntryNamedIgnoringCaseTakesTheFirstFiled) {
    FileData* found = set.EntryNamed(disk, "ReadMe.TXT", SiblingMatch::FirstIgnoringCase);
    ASSERT_NE(found, nullptr);
    EXPECT_EQ(found->GetName(), "readme.txt");
    EXPECT_EQ(set.EntryNamed(disk, "readme", SiblingMatch::FirstIgnoringCase), nullptr);
    EXPECT_EQ(set.EntryNamed(disk, "inner.doc", SiblingMatch::FirstIgnoringCase),
              nullptr);  // one level only
}

TEST_F(CatalogSetTest, LocaleFoldsAccentedLettersButUpperCasingDoesNot) {
    LoadText(set, CatalogHeader() + "+ \"E\" 1 1 1 1 2000 0 0 0 < \"café.txt\" 1 1 1 2000 0 0 0 >",
             messages);
    const TreeItem e = Child(set, set.RootItem(), "E");
    EXPECT_NE(set.EntryNamed(e, "CAFÉ.TXT", SiblingMatch::FirstIgnoringCase), nullptr);
    set.RemoveEntryNamed(e, "CAFÉ.TXT");
    EXPECT_NE(set.EntryNamed(e, "café.txt", SiblingMatch::FirstIgnoringCase), nullptr);
    set.RemoveEntryNamed(e, "CAFé.TXT");
    EXPECT_EQ(set.EntryNamed(e, "café.txt", SiblingMatch::FirstIgnoringCase), nullptr);
}

TEST_F(CatalogSetTest, RemoveEntryNamedRemovesOnlyTheFirstAndEmptiesTheList) {
    set.ShowContents(disk);
    ASSERT_FALSE(list.rows.empty());
    set.RemoveEntryNamed(disk, "Readme.Txt");
    EXPECT_TRUE(list.rows.empty());
    EXPECT_EQ(set.EntryNamed(disk, "readme.txt", SiblingMatch::FirstIgnoringCase)->GetName(),
              "README.TXT");
    EXPECT_EQ(test::EntryNames(set, disk),
              (std::vector<std::string>{"README.TXT", "dir", "arc.zip", "b.DOC"}));
}

// Each catalog read keeps its entries in a store of its own, so a list of
// the root's disks runs from store to store; entries added afterwards, to a
// folder read or to the root, are filed after those read.
TEST_F(CatalogSetTest, ListsRunAcrossStoresAndKeepTheirOrderThroughRemovals) {
    LoadText(set, CatalogHeader() + "+ \"A\" 1 1 1 1 2000 0 0 0 < \"a.txt\" 5 1 1 2000 0 0 0 >",
             messages);
    LoadText(set, CatalogHeader() + "+ \"B\" 1 1 1 1 2000 0 0 0 < >", messages);
    const TreeItem a = Child(set, set.RootItem(), "A");
    set.AddEntry(a, "added.txt", 7, 0, 0, KIND_FILE);
    set.AddEntry(set.RootItem(), "C", 1, 0, 0, KIND_FIXED_DISK);
    LoadText(set, CatalogHeader() + "+ \"E\" 1 1 1 1 2000 0 0 0 < >", messages);
    EXPECT_EQ(test::EntryNames(set, set.RootItem()),
              (std::vector<std::string>{"D", "A", "B", "C", "E"}));
    EXPECT_EQ(test::EntryNames(set, a), (std::vector<std::string>{"a.txt", "added.txt"}));
    EXPECT_EQ(set.EntryNamed(a, "added.txt", SiblingMatch::FirstIgnoringCase)->GetParentItem(), a);
    EXPECT_EQ(set.EntryNamed(a, "a.txt", SiblingMatch::FirstIgnoringCase)->GetParentItem(), a);

    set.RemoveEntryNamed(set.RootItem(), "B");
    set.RemoveEntryNamed(set.RootItem(), "D");
    set.RemoveEntryNamed(a, "a.txt");
    EXPECT_EQ(test::EntryNames(set, set.RootItem()), (std::vector<std::string>{"A", "C", "E"}));
    EXPECT_EQ(test::EntryNames(set, a), (std::vector<std::string>{"added.txt"}));
    set.RemoveEntryNamed(set.RootItem(), "E");
    set.AddEntry(set.RootItem(), "F", 1, 0, 0, KIND_FIXED_DISK);
    EXPECT_EQ(test::EntryNames(set, set.RootItem()), (std::vector<std::string>{"A", "C", "F"}));
}

TEST_F(CatalogSetTest, ShowContentsListsDisksOrFilesInFilingOrder) {
    LoadText(set, CatalogHeader() + "+ \"A\" 1 1 1 1 2000 0 0 0 < >", messages);
    set.ShowContents(set.RootItem());
    EXPECT_TRUE(list.diskColumns);
    EXPECT_EQ(list.Names(), (std::vector<std::string>{"D", "A"}));
    set.ShowContents(disk);
    EXPECT_FALSE(list.diskColumns);
    EXPECT_EQ(list.Names(),
              (std::vector<std::string>{"readme.txt", "README.TXT", "dir", "arc.zip", "b.DOC"}));
    EXPECT_EQ(set.ShownItem(), disk);
    EXPECT_EQ(set.ShownParent(), set.RootItem());
    list.rows.clear();
    set.Refresh();
    EXPECT_EQ(list.rows.size(), 5u);
}

TEST_F(CatalogSetTest, CollectionsTakeTheirKindsOfEntries) {
    std::vector<FileData*> entries{nullptr};
    auto names = [&] {
        std::vector<std::string> out;
        for (FileData* e : entries) out.emplace_back(e->GetName());
        return out;
    };
    entries.clear();
    set.CollectFilesUnder(disk, entries);
    EXPECT_EQ(names(), (std::vector<std::string>{"readme.txt", "README.TXT", "b.DOC"}));
    set.CollectFilesAndZipFolders(disk, entries);
    EXPECT_EQ(names(), (std::vector<std::string>{"readme.txt", "README.TXT", "arc.zip", "b.DOC"}));
    set.CollectAllFiles(entries);
    EXPECT_EQ(names(),
              (std::vector<std::string>{"readme.txt", "README.TXT", "inner.doc", "b.DOC"}));
    entries.clear();
    set.CollectMatching(disk, "*.DOC", entries);
    set.CollectMatching(Child(set, disk, "dir"), "*.DOC", entries);
    EXPECT_EQ(names(), (std::vector<std::string>{"b.DOC", "inner.doc"}));
    std::vector<FileData*> under;
    set.CollectFilesUnder(Child(set, disk, "dir"), under);
    set.CollectFilesUnder(disk, under);
    set.CollectFilesUnder(disk, under);
    SortByIdentity(under);
    entries = under;
    EXPECT_EQ(names(),
              (std::vector<std::string>{"readme.txt", "README.TXT", "inner.doc", "b.DOC"}));
}

// Large collections are ordered by marking; the result must be the
// comparison sort's, whatever order the entries came in, with repeats, over
// several catalogs, one of them read again so that its store is newer.
TEST_F(CatalogSetTest, LargeCollectionsTakeIdentityOrderAndDropRepeats) {
    auto disk = [](const std::string& label, int files) {
        std::string text = CatalogHeader() + "+ \"" + label + "\" 1 1 1 1 2000 0 0 0 < ";
        for (int i = 0; i < files; ++i)
            text += (i % 50 == 0 ? "+\"sub" + std::to_string(i) + "\" 0 0 1 1 2000 0 0 0 < " : "") +
                    std::string("\"f") + std::to_string(i) + "\" 1 1 1 2000 0 0 0 " +
                    (i % 50 == 49 ? "> " : "");
        return text + ">";
    };
    LoadText(set, disk("B", 3000), messages);
    LoadText(set, disk("C", 3000), messages);
    LoadText(set, disk("B", 2000), messages);  // replaces B with a newer store
    std::vector<FileData*> collected;
    set.CollectAllFiles(collected);
    ASSERT_GT(collected.size(), 4096u);
    std::vector<FileData*> shuffled = collected;
    shuffled.insert(shuffled.end(), collected.begin(), collected.begin() + 1000);
    std::reverse(shuffled.begin(), shuffled.end());
    std::rotate(shuffled.begin(), shuffled.begin() + 1234, shuffled.end());
    std::vector<FileData*> expected = shuffled;
    std::sort(expected.begin(), expected.end(), IdentityLess);
    expected.erase(std::unique(expected.begin(), expected.end()), expected.end());
    SortByIdentity(shuffled);
    EXPECT_EQ(shuffled, expected);
    EXPECT_EQ(shuffled.size(), collected.size());
    // Only part of the set, as a search below one folder gives.
    std::vector<FileData*> part(collected.begin() + 100, collected.begin() + 4900);
    std::reverse(part.begin(), part.end());
    expected.assign(collected.begin() + 100, collected.begin() + 4900);
    std::sort(expected.begin(), expected.end(), IdentityLess);
    SortByIdentity(part);
    EXPECT_EQ(part, expected);
}

TEST_F(CatalogSetTest, RemovedEntriesFreeTheirCatalogAndTellObservers) {
    struct Counter : CatalogSetObserver {
        void EntriesAboutToBeRemoved() override { ++calls; }
        int calls = 0;
    } observer;
    set.AddObserver(&observer);
    LoadText(set, CatalogHeader() + "+ \"B\" 1 1 1 1 2000 0 0 0 < \"x\" 1 1 1 2000 0 0 0 >",
             messages);
    EXPECT_EQ(set.EntryCount(), 9u);
    const TreeItem b = Child(set, set.RootItem(), "B");
    set.RemoveContainer(set.RootItem(), b, "B");
    EXPECT_EQ(set.EntryCount(), 7u);
    EXPECT_GT(observer.calls, 0);
    set.RemoveAllEntries();
    EXPECT_EQ(set.EntryCount(), 0u);
    set.RemoveObserver(&observer);
}

}  // namespace
}  // namespace kestavo
