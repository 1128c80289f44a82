// SPDX-License-Identifier: GPL-3.0-or-later
// Find Files through the stores' name indexes, or reading the stores
// whole, finds exactly the rows, in exactly the order, that the walk of the
// tree finds.
#include <gtest/gtest.h>

#include <memory>
#include <random>
#include <string>

#include "catalog/entry_kind.h"
#include "catalog/entry_store.h"
#include "catalog/name_compare.h"
#include "catalog/name_index.h"
#include "catalog/row_order.h"
#include "catalog/tree_walk.h"
#include "support/test_support.h"
#include "tools/find_files.h"
#include "tools/indexed_name_search.h"
#include "tools_test_support.h"

namespace kestavo {
namespace {

using test::CatalogHeader;

// Names made of a few pieces, so that many names share trigrams, many are
// namesakes in different folders and some in the same folder.
std::string RandomName(std::mt19937& random) {
    static const char* const kPieces[] = {"ab",  "cd", "abc",   "Xy",        "z", "\xc3\xa9",
                                          "1",   "23", ".txt",  ".TXT",      ".", "img_",
                                          "IMG", "q",  "abcab", "\xc3\x89t", "?"};
    std::string name;
    for (int n = 1 + random() % 4; n > 0; --n) name += kPieces[random() % std::size(kPieces)];
    // A rarer piece most names have, which masks made from names then ask for.
    if (random() % 4)
        for (int n = 0; n < 3; ++n)
            name += static_cast<char>((random() % 2 ? 'k' : 'K') + random() % 13);
    return name;
}

void AppendFolder(std::mt19937& random, int depth, std::string& text) {
    for (int n = 2 + random() % 12; n > 0; --n) {
        if (depth < 3 && random() % 6 == 0) {
            text += "+\"" + RandomName(random) + "\" 0 0 1 1 2000 0 0 0 <\n";
            AppendFolder(random, depth + 1, text);
            text += ">\n";
        } else {
            text += "\"" + RandomName(random) + "\" " + std::to_string(random() % 1000) +
                    " 1 1 2000 10 0 0\n";
        }
    }
}

// The rows of a walk of the tree below `root`, in the initial order: what
// every way of searching is held to.
std::vector<FileData*> WalkedRows(const CatalogSet& set, TreeItem root, const std::string& mask,
                                  bool subfolders) {
    const std::string upper = UpperCased(mask);
    std::vector<FileData*> rows;
    if (subfolders)
        ForEachNodeDepthFirst(set.Tree(), root,
                              [&](TreeItem node) { set.CollectMatching(node, upper, rows); });
    else
        set.CollectMatching(root, upper, rows);
    SortInInitialOrderByComparison(rows);
    return rows;
}

std::vector<std::string> MasksFor(std::mt19937& random, const CatalogSet& set) {
    std::vector<std::string> masks = {
        "*",     "",           "?",           "ABC",         "*ABC*",  "*AB*",
        "A?C",   "*A?C*",      "**ABC",       "*?ABC",       "ABC*",   "*.TXT",
        "*.txt", "*\xc3\xa9*", "*\xc3\xa9T*", "*\xc3\x89T*", "???*",   "*ABC*ABC*",
        "ABCAB", "*IMG_*",     "IMG*",        "*ABCAB",      "*B?D*",  "*XYZ*",
        "*Z1.*", "*1.TXT",     "?MG*",        "*?",          "*CDAB?", "*ABCD*",
        "*??*",  "*?*BC*",     "ABC?*"};
    // Pieces of real names with wildcards put in.
    std::vector<std::string> names;
    for (const auto& store : set.Stores())
        store->ForEachLive([&](FileData& e) { names.emplace_back(e.GetName()); });
    for (int n = 0; n < 120; ++n) {
        std::string name = UpperCased(names[random() % names.size()]);
        const std::size_t from = random() % (name.size() + 1);
        std::string mask = name.substr(from, random() % 8);
        if (!mask.empty() && random() % 2) mask[random() % mask.size()] = "*?"[random() % 2];
        if (random() % 3) mask = "*" + mask;
        if (random() % 3 == 0) mask += "*";
        masks.push_back(mask);
    }
    return masks;
}

class IndexedFindTest : public ::testing::Test {
protected:
    void SetUp() override {
        std::mt19937 random(3);
        for (int disk = 0; disk < 6; ++disk) {
            std::string text =
                CatalogHeader() + "+ \"D" + std::to_string(disk) + "\" 1000 10 1 1 2000 0 0 0 <\n";
            AppendFolder(random, 0, text);
            for (int more = 0; more < 30; ++more) AppendFolder(random, 2, text);
            text += ">\n";
            test::LoadText(set, text, messages, "D" + std::to_string(disk) + ".kvx");
        }
    }

    // Indexes of 2 names a block, so that masks leave few blocks; the second
    // store keeps none.
    void AttachIndexes() {
        for (std::size_t s = 0; s < set.Stores().size(); ++s) {
            if (s == 1) continue;
            auto bytes = std::make_shared<std::vector<std::byte>>(
                BuildNameIndex(*set.Stores()[s], /*blockShift=*/1));
            set.Stores()[s]->SetNameIndex(NameIndexView::Open(*bytes, bytes));
        }
    }
    void DetachIndexes() {
        for (const auto& store : set.Stores()) store->SetNameIndex(std::nullopt);
    }

    struct Found {
        std::vector<FileData*> rows;
        std::string report;
    };
    Found Find(TreeItem root, const std::string& mask, bool subfolders) {
        FindFiles tool(set, root);
        tool.SetMask(mask);
        tool.SetLookInSubfolders(subfolders);
        tool.FindNow();
        Found found;
        for (std::size_t row = 0; row < tool.RowCount(); ++row)
            found.rows.push_back(tool.RowEntry(row));
        found.report = test::ReportOf(tool);
        return found;
    }

    void ExpectSameAsTheWalk(const std::vector<std::string>& masks) {
        const TreeItem top = set.RootItem();
        const TreeItem disk = test::Child(set, top, "D3");
        const TreeItem folder =
            set.Tree().Children(disk).empty() ? disk : set.Tree().Children(disk)[0];
        int indexed = 0;
        for (const std::string& mask : masks) {
            AttachIndexes();
            if (IndexedNameSearch(set, UpperCased(mask)).Applies()) ++indexed;
            for (const TreeItem root : {top, disk, folder}) {
                for (const bool subfolders : {true, false}) {
                    AttachIndexes();
                    const Found withIndex = Find(root, mask, subfolders);
                    DetachIndexes();
                    const Found walked = Find(root, mask, subfolders);
                    EXPECT_EQ(withIndex.rows, walked.rows) << "mask " << mask;
                    EXPECT_EQ(walked.rows, WalkedRows(set, root, mask, subfolders))
                        << "mask " << mask;
                    EXPECT_EQ(withIndex.report, walked.report) << "mask " << mask;
                }
            }
        }
        // The index answered a good share of the masks, not only the walk.
        AttachIndexes();
        EXPECT_GT(indexed, static_cast<int>(masks.size()) / 5);
    }

    CatalogSet set;
    test::RecordingMessages messages;
};

TEST_F(IndexedFindTest, RowsAndTheirOrderAreThoseOfTheWalkForEveryMask) {
    std::mt19937 random(5);
    ExpectSameAsTheWalk(MasksFor(random, set));
}

TEST_F(IndexedFindTest, EntriesRemovedOrAddedAfterTheIndexWasBuiltAreSeenAsTheWalkSeesThem) {
    AttachIndexes();
    // Removed entries stay in the index but are dead; entries added to the
    // last store come after what its index holds.
    const TreeItem top = set.RootItem();
    const TreeItem last = test::Child(set, top, "D5");
    for (const TreeItem disk : {test::Child(set, top, "D0"), last}) {
        const std::vector<std::string> names = test::EntryNames(set, disk);
        for (std::size_t i = 0; i < names.size(); i += 3) set.RemoveEntryNamed(disk, names[i]);
    }
    const std::vector<std::string> names = {"abcab.txt", "ABCAB.TXT", "IMG_1.txt", "zz",
                                            "\xc3\xa9tabc"};
    for (const std::string& name : names) set.AddEntry(last, name, 5, 0, 0, 0);
    const TreeItem folder = set.Tree().Children(last).empty() ? last : set.Tree().Children(last)[0];
    for (const std::string& name : names) set.AddEntry(folder, name, 6, 0, 0, 0);
    std::mt19937 random(9);
    ExpectSameAsTheWalk(MasksFor(random, set));
}

TEST_F(IndexedFindTest, ADamagedIndexIsNotAttachedAndAStoreWithoutOneIsRead) {
    auto bytes = std::make_shared<std::vector<std::byte>>(BuildNameIndex(*set.Stores()[0]));
    (*bytes)[0] = std::byte{'X'};
    EXPECT_FALSE(NameIndexView::Open(*bytes, bytes));
    // Only the first store has an index: the others are read whole.
    bytes->front() = std::byte{'K'};
    set.Stores()[0]->SetNameIndex(NameIndexView::Open(*bytes, bytes));
    ASSERT_TRUE(set.Stores()[0]->NameIndex());
    const Found one = Find(set.RootItem(), "*ABCAB*", true);
    DetachIndexes();
    EXPECT_EQ(one.rows, Find(set.RootItem(), "*ABCAB*", true).rows);
    EXPECT_FALSE(one.rows.empty());
    // An index of more names than the store holds is read only as far as
    // the store's entries go.
    std::size_t largest = 0;
    for (std::size_t s = 1; s < set.Stores().size(); ++s)
        if (set.Stores()[s]->CreatedCount() > set.Stores()[largest]->CreatedCount()) largest = s;
    auto big = std::make_shared<std::vector<std::byte>>(BuildNameIndex(*set.Stores()[largest], 0));
    for (const auto& store : set.Stores()) store->SetNameIndex(NameIndexView::Open(*big, big));
    for (const char* mask : {"*ABCAB*", "*IMG*", "*.TXT"})
        for (FileData* row : Find(set.RootItem(), mask, true).rows) EXPECT_TRUE(row->IsAlive());
}

// Enough names left to test that two workers take the stores: every
// fourth block of two names holds "xyz", in four stores of 100 000 entries.
TEST(IndexedFindLargeTest, TwoWorkersFindWhatTheWalkFinds) {
    CatalogSet set;
    const TreeItem top = set.RootItem();
    for (int disk = 0; disk < 4; ++disk) {
        set.StartNewStore();
        const std::string label = "D" + std::to_string(disk);
        const TreeItem item = set.Tree().InsertItem(label, KIND_REMOVABLE_DISK, top);
        set.AddEntry(top, label, 0, 0, 0, KIND_REMOVABLE_DISK);
        const TreeItem folder = set.Tree().InsertItem("sub", KIND_FOLDER, item);
        set.AddEntry(item, "sub", 0, 0, 0, KIND_FOLDER);
        for (int i = 2; i < 100000; ++i)
            set.AddEntry(i % 3 ? item : folder,
                         "n" + std::to_string(i % 5000) + (i % 8 < 2 ? "xyz" : ""), i, 0, 0,
                         KIND_FILE);
        auto bytes = std::make_shared<std::vector<std::byte>>(
            BuildNameIndex(*set.Stores().back(), /*blockShift=*/1));
        set.Stores().back()->SetNameIndex(NameIndexView::Open(*bytes, bytes));
    }
    ASSERT_TRUE(IndexedNameSearch(set, "*XYZ").Applies());
    auto rowsOf = [&set, top](const char* mask) {
        FindFiles tool(set, top);
        tool.SetMask(mask);
        tool.FindNow();
        std::vector<FileData*> rows;
        for (std::size_t row = 0; row < tool.RowCount(); ++row) rows.push_back(tool.RowEntry(row));
        return rows;
    };
    const std::vector<FileData*> indexed = rowsOf("*xyz");
    for (const auto& store : set.Stores()) store->SetNameIndex(std::nullopt);
    EXPECT_EQ(indexed, rowsOf("*xyz"));
    EXPECT_GT(indexed.size(), 90000u);
    // Every entry, and most, found by reading the stores whole and put in
    // the walk's order before they are sorted.
    for (const char* mask : {"*", "N*", "*1?"})
        EXPECT_EQ(rowsOf(mask), WalkedRows(set, top, mask, true)) << "mask " << mask;
}

}  // namespace
}  // namespace kestavo
