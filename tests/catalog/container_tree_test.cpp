// SPDX-License-Identifier: GPL-3.0-or-later
#include "catalog/container_tree.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "catalog/tree_walk.h"

namespace kestavo {
namespace {

class EventLog : public TreeObserver {
public:
    void ItemAboutToBeInserted(TreeItem parent, int row) override {
        events.push_back("insert " + std::to_string(parent) + ":" + std::to_string(row));
    }
    void ItemInserted(TreeItem) override {}
    void ItemAboutToBeRemoved(TreeItem item) override {
        events.push_back("remove " + std::to_string(item));
    }
    void ItemRemoved(TreeItem, int) override {}
    void ChildrenAboutToBeSorted(TreeItem parent) override {
        events.push_back("sort " + std::to_string(parent));
    }
    void ChildrenSorted(TreeItem) override {}
    void ResetStarted() override { events.push_back("reset"); }
    void ResetFinished() override { events.push_back("reset done"); }
    void ExpandRequested(TreeItem item) override {
        events.push_back("expand " + std::to_string(item));
    }
    std::vector<std::string> events;
};

std::vector<std::string> Texts(const ContainerTree& tree, TreeItem parent) {
    std::vector<std::string> texts;
    for (TreeItem c = tree.FirstChild(parent); c; c = tree.NextSibling(c))
        texts.emplace_back(tree.ItemText(c));
    return texts;
}

TEST(ContainerTreeTest, NavigatesInsertsAsLastChildAndDeletesSubtrees) {
    ContainerTree tree;
    const TreeItem root = tree.InsertItem("root", 4, kNoItem);
    const TreeItem b = tree.InsertItem("b", 1, root);
    const TreeItem a = tree.InsertItem("a", 2, root);
    const TreeItem deep = tree.InsertItem("deep", 1, b);
    EXPECT_EQ(tree.FirstChild(kNoItem), root);
    EXPECT_EQ(tree.Parent(root), kNoItem);
    EXPECT_EQ(tree.Parent(deep), b);
    EXPECT_EQ(Texts(tree, root), (std::vector<std::string>{"b", "a"}));
    EXPECT_EQ(tree.ItemKind(a), 2);
    EXPECT_TRUE(tree.ItemHasChildren(b));
    EXPECT_FALSE(tree.ItemHasChildren(a));
    EXPECT_EQ(tree.RowOf(a), 1);

    tree.DeleteItem(b);
    EXPECT_FALSE(tree.IsValid(b));
    EXPECT_FALSE(tree.IsValid(deep));
    EXPECT_EQ(Texts(tree, root), std::vector<std::string>{"a"});
    EXPECT_EQ(tree.RowOf(a), 0);
    EXPECT_EQ(tree.ItemCount(), 2u);
    // Freed handles are used again.
    const TreeItem c = tree.InsertItem("c", 1, a);
    EXPECT_TRUE(c == b || c == deep);
    EXPECT_EQ(tree.ItemText(c), "c");
    EXPECT_FALSE(tree.ItemHasChildren(c));
}

// A node is named by the names from its disk down, the top root item's
// left out; empty names at the bottom add nothing, those between stay.
TEST(ContainerTreeTest, SearchRootTextsNameNodesFromTheirDiskDown) {
    ContainerTree tree;
    const TreeItem root = tree.InsertItem("My Removable Disk Drive", 4, kNoItem);
    const TreeItem disk = tree.InsertItem("D", 1, root);
    const TreeItem a = tree.InsertItem("a", 1, disk);
    const TreeItem empty = tree.InsertItem("", 1, disk);
    const TreeItem belowEmpty = tree.InsertItem("x", 1, empty);
    const TreeItem emptyBelowA = tree.InsertItem("", 1, tree.InsertItem("", 1, a));
    const TreeItem namelessDisk = tree.InsertItem("", 1, root);
    EXPECT_EQ(SearchRootText(tree, root), "My Removable Disk Drive");
    EXPECT_EQ(SearchRootText(tree, disk), "D");
    EXPECT_EQ(SearchRootText(tree, a), "D/a");
    EXPECT_EQ(SearchRootText(tree, empty), "D");
    EXPECT_EQ(SearchRootText(tree, belowEmpty), "D//x");
    EXPECT_EQ(SearchRootText(tree, emptyBelowA), "D/a");
    EXPECT_EQ(SearchRootText(tree, namelessDisk), "");
    EXPECT_EQ(SearchRootText(tree, tree.InsertItem("x", 1, namelessDisk)), "/x");
}

TEST(ContainerTreeTest, SortsChildrenFoldingCaseThenByBytesAndFindsThem) {
    ContainerTree tree;
    const TreeItem root = tree.InsertItem("root", 4, kNoItem);
    for (const char* text : {"beta", "Alpha", "alpha", "_x", "Beta", "a", "10", "9"})
        tree.InsertItem(text, 1, root);
    EXPECT_EQ(tree.FindChild(root, "Beta"), tree.Children(root)[4]);
    tree.SortChildren(root);
    EXPECT_EQ(Texts(tree, root),
              (std::vector<std::string>{"10", "9", "_x", "a", "Alpha", "alpha", "Beta", "beta"}));
    for (const char* text : {"10", "_x", "alpha", "Alpha", "Beta", "beta"})
        EXPECT_EQ(tree.ItemText(tree.FindChild(root, text)), text);
    EXPECT_EQ(tree.FindChild(root, "BETA"), kNoItem);
    EXPECT_EQ(tree.FindChild(root, "gamma"), kNoItem);
}

TEST(ContainerTreeTest, ObserversSeeEachChangeOrOneResetForABatch) {
    ContainerTree tree;
    EventLog log;
    tree.AddObserver(&log);
    const TreeItem root = tree.InsertItem("root", 4, kNoItem);
    const TreeItem x = tree.InsertItem("x", 1, root);
    tree.InsertItem("w", 1, root);
    tree.SortChildren(root);
    tree.DeleteItem(x);
    EXPECT_EQ(log.events, (std::vector<std::string>{"insert 0:0", "insert 1:0", "insert 1:1",
                                                    "sort 1", "remove 2"}));
    log.events.clear();
    tree.BeginBatch();
    tree.InsertItem("y", 1, root);
    tree.Expand(root);
    tree.BeginBatch();
    tree.DeleteItem(tree.FirstChild(root));
    tree.EndBatch();
    EXPECT_EQ(log.events, std::vector<std::string>{"reset"});
    tree.EndBatch();
    EXPECT_EQ(log.events, (std::vector<std::string>{"reset", "reset done", "expand 1"}));
    tree.RemoveObserver(&log);
}

TEST(ContainerTreeSortTest, ChildrenAddedAfterASortAreMergedInStably) {
    ContainerTree tree;
    const TreeItem top = tree.InsertItem("top", 0, kNoItem);
    for (const char* text : {"b", "d", "f"}) tree.InsertItem(text, 0, top);
    tree.SortChildren(top);
    // Out of order, equal texts, and a removal before the sort.
    for (const char* text : {"e", "a", "d", "B", "c"}) tree.InsertItem(text, 0, top);
    const TreeItem firstD = tree.Children(top)[1];
    tree.DeleteItem(tree.Children(top)[0]);
    tree.SortChildren(top);
    EXPECT_EQ(Texts(tree, top), (std::vector<std::string>{"a", "B", "c", "d", "d", "e", "f"}));
    EXPECT_EQ(tree.Children(top)[3], firstD);
    for (std::size_t row = 0; row < tree.Children(top).size(); ++row)
        EXPECT_EQ(tree.RowOf(tree.Children(top)[row]), static_cast<int>(row));
    EXPECT_EQ(tree.FindChildUpperCased(top, "C"), tree.Children(top)[2]);
    EXPECT_EQ(tree.FindChildUpperCased(top, "b"), tree.Children(top)[1]);
    EXPECT_EQ(tree.FindChildUpperCased(top, "x"), kNoItem);
}

}  // namespace
}  // namespace kestavo

namespace kestavo {
namespace {

// Every item below `item`, depth first, with its kind and its children in
// order; and whether each child is found again by its text.
std::string Dump(const ContainerTree& tree, TreeItem item, int depth = 0) {
    std::string out;
    for (TreeItem c = tree.FirstChild(item); c; c = tree.NextSibling(c)) {
        out += std::string(static_cast<std::size_t>(depth), ' ') + std::string(tree.ItemText(c)) +
               "/" + std::to_string(tree.ItemKind(c)) +
               (tree.FindChild(item, tree.ItemText(c)) != kNoItem ? "" : " lost") + "\n";
        out += Dump(tree, c, depth + 1);
    }
    return out;
}

// A loaded catalog's own tree: its top item, a disk, folders out of order.
ContainerTree LoadedTree(TreeItem& top) {
    ContainerTree tree;
    top = tree.InsertItem("top", 4, kNoItem);
    const TreeItem disk = tree.InsertItem("DISK", 5, top);
    const TreeItem b = tree.InsertItem("b", 1, disk);
    tree.InsertItem("a", 2, disk);
    tree.InsertItem("deep", 1, b);
    return tree;
}

TEST(ContainerTreeTest, GraftingGivesTheSameTreeWhetherTakenOverOrCopied) {
    std::vector<std::string> dumps;
    for (int shape = 0; shape < 3; ++shape) {
        TreeItem from = kNoItem;
        ContainerTree source = LoadedTree(from);
        std::vector<std::string> texts;
        for (TreeItem item = 0; item < source.ItemLimit(); ++item)
            texts.emplace_back(source.ItemText(item));
        ContainerTree target;
        const TreeItem top = target.InsertItem("top", 4, kNoItem);
        EventLog log;
        if (shape == 1) target.AddObserver(&log);  // told item by item: copied
        if (shape == 2) target.InsertItem("OTHER", 5, top);
        std::vector<TreeItem> map;
        target.GraftChildren(source, from, top, map);
        if (shape == 1) {
            EXPECT_EQ(log.events, (std::vector<std::string>{"insert 1:0"}));
            target.RemoveObserver(&log);
        }
        // Each moved item maps to the item showing the same text.
        ASSERT_EQ(map.size(), 6u);
        EXPECT_EQ(map[from], top);
        for (TreeItem item = 2; item < map.size(); ++item)
            EXPECT_EQ(target.ItemText(map[item]), texts[item]) << shape;
        std::string dump = Dump(target, top);
        if (shape == 2) dump.erase(0, dump.find('\n') + 1);  // the disk that was there
        dumps.push_back(dump);
    }
    EXPECT_EQ(dumps[0], "DISK/5\n b/1\n  deep/1\n a/2\n");
    EXPECT_EQ(dumps[1], dumps[0]);
    EXPECT_EQ(dumps[2], dumps[0]);
}

}  // namespace
}  // namespace kestavo
