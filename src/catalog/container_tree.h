// SPDX-License-Identifier: GPL-3.0-or-later
// The tree of containers (disks, folders, Zip Folders) of every loaded
// catalog. Items are 32-bit handles; the handle 0 stands for "no item".
// Every operation the catalog model needs of a tree lives here, so that the
// model works the same with or without a window showing it.
#pragma once

#include <cstdint>
#include <span>
#include <string>
#include <string_view>
#include <vector>

namespace kestavo {

using TreeItem = std::uint32_t;
inline constexpr TreeItem kNoItem = 0;

// Follows the changes of a ContainerTree, so that a view model can mirror
// it without the core knowing about the view.
class TreeObserver {
public:
    virtual ~TreeObserver() = default;
    // A new child is about to go in at `row` under `parent` (kNoItem for
    // the top level), and has gone in.
    virtual void ItemAboutToBeInserted(TreeItem parent, int row) = 0;
    virtual void ItemInserted(TreeItem item) = 0;
    // `item` and everything below it are about to go, and have gone.
    virtual void ItemAboutToBeRemoved(TreeItem item) = 0;
    virtual void ItemRemoved(TreeItem parent, int row) = 0;
    // The children of `parent` are about to be re-ordered, and have been.
    virtual void ChildrenAboutToBeSorted(TreeItem parent) = 0;
    virtual void ChildrenSorted(TreeItem parent) = 0;
    // A batch of changes starts or ends; in between no other call is made,
    // and afterwards the whole tree must be read again.
    virtual void ResetStarted() = 0;
    virtual void ResetFinished() = 0;
    // The model asks for `item` to be shown expanded.
    virtual void ExpandRequested(TreeItem item) = 0;
};

class ContainerTree {
public:
    ContainerTree();

    // Inserts an item as the last child of `parent` (kNoItem: top level).
    // `kind` is that of the container entry the item stands for.
    TreeItem InsertItem(std::string_view text, int kind, TreeItem parent);
    // Deletes `item` with everything below it.
    void DeleteItem(TreeItem item);
    // Moves the children of `top` in `from`, with everything below them, to
    // the end of the children of `parent`, as if inserted one by one; the
    // texts are taken from `from`. `map` gets, for each item of `from` that
    // moved (and `top`), the item it became here; other places hold kNoItem.
    void GraftChildren(ContainerTree& from, TreeItem top, TreeItem parent,
                       std::vector<TreeItem>& map);

    // First child of `item`; for kNoItem, the first top-level item.
    TreeItem FirstChild(TreeItem item) const;
    TreeItem NextSibling(TreeItem item) const;
    // Parent of `item`; kNoItem for a top-level item.
    TreeItem Parent(TreeItem item) const;
    bool ItemHasChildren(TreeItem item) const;
    std::string_view ItemText(TreeItem item) const;
    int ItemKind(TreeItem item) const;

    // The children of `item` in order, and the position of `item` among
    // its siblings.
    std::span<const TreeItem> Children(TreeItem item) const;
    int RowOf(TreeItem item) const;
    // The child of `parent` whose text equals `text` exactly, or kNoItem.
    // Fast once the children are sorted.
    TreeItem FindChild(TreeItem parent, std::string_view text) const;
    // The child of `parent`, counting from 0 in tree order, that is the
    // `nth` whose text equals `text` exactly, or kNoItem.
    TreeItem FindChild(TreeItem parent, std::string_view text, std::size_t nth) const;
    // How many siblings before `item` have exactly its text.
    std::size_t SameTextBefore(TreeItem item) const;
    // The first child of `parent` whose text equals `text` with a-z and A-Z
    // folded, or kNoItem. Fast once the children are sorted.
    TreeItem FindChildUpperCased(TreeItem parent, std::string_view text) const;
    bool IsValid(TreeItem item) const;
    std::size_t ItemCount() const { return nodes_.size() - 1 - freeSlots_.size(); }
    // Every item handle is below this, so a table indexed by handle needs
    // this many places.
    std::size_t ItemLimit() const { return nodes_.size(); }

    // Sorts the children of `item` (one level) in display order of their
    // texts (see CompareDisplayOrder); items with equal texts keep their order.
    void SortChildren(TreeItem item);
    void Expand(TreeItem item);

    // Changes made between BeginBatch and EndBatch are reported to the
    // observers as one reset. Batches nest.
    void BeginBatch();
    void EndBatch();

    void AddObserver(TreeObserver* observer);
    void RemoveObserver(TreeObserver* observer);

    // What an item holds besides its text and children, so that a tree can
    // be kept elsewhere and made again exactly as it was.
    struct ItemState {
        TreeItem parent = kNoItem;
        std::uint32_t row = 0;
        std::int32_t kind = 0;
        std::uint32_t sortedPrefix = 0;
        bool childrenSorted = true;
    };
    // Whether the items are 1 to ItemLimit() - 1 with none deleted.
    bool IsDense() const { return freeSlots_.empty(); }
    ItemState StateOf(TreeItem item) const;
    // Makes a tree that holds nothing yet hold items 1 to states.size(), in
    // that order, with the texts `textOf` gives by index; false, with the
    // tree left empty, when they make no tree (a parent after its child, or
    // rows that do not number each parent's children from 0).
    template <class TextOf>
    bool Restore(std::span<const ItemState> states, TextOf&& textOf) {
        if (nodes_.size() != 1) return false;
        nodes_.resize(states.size() + 1);
        for (std::size_t i = 0; i < states.size(); ++i) nodes_[i + 1].text.assign(textOf(i));
        if (RestoreShape(states)) return true;
        nodes_.resize(1);
        nodes_[0].children.clear();
        return false;
    }

private:
    struct Node {
        std::string text;
        std::vector<TreeItem> children;
        TreeItem parent = kNoItem;
        std::uint32_t row = 0;
        std::int32_t kind = 0;
        bool alive = false;
        bool childrenSorted = true;  // children are in display order
        // While they are not: how many leading children still are.
        std::uint32_t sortedPrefix = 0;
    };

    Node& At(TreeItem item) { return nodes_[item]; }
    const Node& At(TreeItem item) const { return nodes_[item]; }
    TreeItem AllocateNode();
    bool CanTakeOver(const ContainerTree& from, TreeItem top, TreeItem parent) const;
    void TakeOver(ContainerTree& from, std::vector<TreeItem>& map);
    void ReleaseSubtree(TreeItem item);
    void RenumberRows(TreeItem parent, std::size_t from);
    bool RestoreShape(std::span<const ItemState> states);
    bool Notifying() const { return batchDepth_ == 0 && !observers_.empty(); }

    // nodes_[0] is the invisible parent of the top-level items.
    std::vector<Node> nodes_;
    std::vector<TreeItem> freeSlots_;
    std::vector<TreeObserver*> observers_;
    std::vector<TreeItem> pendingExpands_;
    int batchDepth_ = 0;
};

}  // namespace kestavo
