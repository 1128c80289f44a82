// SPDX-License-Identifier: GPL-3.0-or-later
#include "catalog/container_tree.h"

#include <algorithm>

#include "catalog/name_compare.h"

namespace kestavo {

ContainerTree::ContainerTree() {
    nodes_.emplace_back();
    nodes_[0].alive = true;
}

TreeItem ContainerTree::AllocateNode() {
    if (!freeSlots_.empty()) {
        TreeItem item = freeSlots_.back();
        freeSlots_.pop_back();
        return item;
    }
    nodes_.emplace_back();
    return static_cast<TreeItem>(nodes_.size() - 1);
}

TreeItem ContainerTree::InsertItem(std::string_view text, int kind, TreeItem parent) {
    if (!IsValid(parent) && parent != kNoItem) return kNoItem;
    const int row = static_cast<int>(At(parent).children.size());
    if (Notifying())
        for (auto* o : observers_) o->ItemAboutToBeInserted(parent, row);
    TreeItem item = AllocateNode();
    Node& node = At(item);
    node.text.assign(text);
    node.children.clear();
    node.parent = parent;
    node.row = static_cast<std::uint32_t>(row);
    node.kind = kind;
    node.alive = true;
    node.childrenSorted = true;
    Node& parentNode = At(parent);
    if (parentNode.childrenSorted && !parentNode.children.empty() &&
        CompareDisplayOrder(At(parentNode.children.back()).text, node.text) > 0) {
        parentNode.childrenSorted = false;
        parentNode.sortedPrefix = static_cast<std::uint32_t>(parentNode.children.size());
    }
    parentNode.children.push_back(item);
    if (Notifying())
        for (auto* o : observers_) o->ItemInserted(item);
    return item;
}

void ContainerTree::GraftChildren(ContainerTree& from, TreeItem top, TreeItem parent,
                                  std::vector<TreeItem>& map) {
    map.assign(from.nodes_.size(), kNoItem);
    if (!from.IsValid(top) || (!IsValid(parent) && parent != kNoItem)) return;
    map[top] = parent;
    if (CanTakeOver(from, top, parent)) {
        TakeOver(from, map);
        return;
    }
    // Room for every item moved, made once, and at least doubling, so that
    // many grafts in turn stay linear.
    const std::size_t needed = nodes_.size() + from.nodes_.size();
    if (nodes_.capacity() < needed) nodes_.reserve(std::max(needed, nodes_.capacity() * 2));
    // Each child is inserted as a new item (which tells the observers and
    // keeps the parent's order state); what lies below it is new to the
    // observers and is copied as it stands, depth first without recursion.
    std::vector<TreeItem> pending;
    for (TreeItem child : from.At(top).children) {
        Node& source = from.At(child);
        map[child] = InsertItem(source.text, source.kind, parent);
        At(map[child]).childrenSorted = source.childrenSorted;
        At(map[child]).sortedPrefix = source.sortedPrefix;
        pending.push_back(child);
        while (!pending.empty()) {
            const TreeItem item = pending.back();
            pending.pop_back();
            Node& old = from.At(item);
            const TreeItem copy = map[item];
            for (TreeItem grandChild : old.children) {
                const TreeItem made = AllocateNode();
                Node& node = At(made);
                Node& oldChild = from.At(grandChild);
                node.text = std::move(oldChild.text);
                node.children.clear();
                node.parent = copy;
                node.row = oldChild.row;
                node.kind = oldChild.kind;
                node.alive = true;
                node.childrenSorted = oldChild.childrenSorted;
                node.sortedPrefix = oldChild.sortedPrefix;
                map[grandChild] = made;
                pending.push_back(grandChild);
            }
            Node& copied = At(copy);
            copied.children.reserve(old.children.size());
            for (TreeItem grandChild : old.children) copied.children.push_back(map[grandChild]);
        }
    }
}

void ContainerTree::ReleaseSubtree(TreeItem top) {
    // Iterative, so that any depth of nesting can be deleted.
    std::vector<TreeItem> pending{top};
    while (!pending.empty()) {
        TreeItem item = pending.back();
        pending.pop_back();
        Node& node = At(item);
        pending.insert(pending.end(), node.children.begin(), node.children.end());
        node.alive = false;
        node.text = std::string();
        node.children = std::vector<TreeItem>();
        node.parent = kNoItem;
        freeSlots_.push_back(item);
    }
}

void ContainerTree::RenumberRows(TreeItem parent, std::size_t from) {
    auto& children = At(parent).children;
    for (std::size_t i = from; i < children.size(); ++i)
        At(children[i]).row = static_cast<std::uint32_t>(i);
}

void ContainerTree::DeleteItem(TreeItem item) {
    if (item == kNoItem || !IsValid(item)) return;
    const TreeItem parent = At(item).parent;
    const std::size_t row = At(item).row;
    if (Notifying())
        for (auto* o : observers_) o->ItemAboutToBeRemoved(item);
    auto& siblings = At(parent).children;
    siblings.erase(siblings.begin() + static_cast<std::ptrdiff_t>(row));
    if (row < At(parent).sortedPrefix) --At(parent).sortedPrefix;
    RenumberRows(parent, row);
    ReleaseSubtree(item);
    if (Notifying())
        for (auto* o : observers_) o->ItemRemoved(parent, static_cast<int>(row));
}

// A tree that holds nothing but its top item, with no one to tell item by
// item, can take over a tree of the same shape whole: the items below the
// top keep their numbers, and nothing is copied.
bool ContainerTree::CanTakeOver(const ContainerTree& from, TreeItem top, TreeItem parent) const {
    constexpr TreeItem kTopItem = 1;
    return !Notifying() && nodes_.size() == 2 && freeSlots_.empty() && pendingExpands_.empty() &&
           from.freeSlots_.empty() && parent == kTopItem && top == kTopItem &&
           At(parent).children.empty() && At(parent).text == from.At(top).text &&
           At(parent).kind == from.At(top).kind;
}

void ContainerTree::TakeOver(ContainerTree& from, std::vector<TreeItem>& map) {
    for (TreeItem item = 1; item < from.nodes_.size(); ++item)
        if (from.At(item).alive) map[item] = item;
    nodes_.swap(from.nodes_);
}

TreeItem ContainerTree::FirstChild(TreeItem item) const {
    if (!IsValid(item) && item != kNoItem) return kNoItem;
    const auto& children = At(item).children;
    return children.empty() ? kNoItem : children.front();
}

TreeItem ContainerTree::NextSibling(TreeItem item) const {
    if (item == kNoItem || !IsValid(item)) return kNoItem;
    const Node& node = At(item);
    const auto& siblings = At(node.parent).children;
    return node.row + 1 < siblings.size() ? siblings[node.row + 1] : kNoItem;
}

TreeItem ContainerTree::Parent(TreeItem item) const {
    return IsValid(item) ? At(item).parent : kNoItem;
}

bool ContainerTree::ItemHasChildren(TreeItem item) const {
    return (IsValid(item) || item == kNoItem) && !At(item).children.empty();
}

std::string_view ContainerTree::ItemText(TreeItem item) const {
    return IsValid(item) ? std::string_view(At(item).text) : std::string_view();
}

int ContainerTree::ItemKind(TreeItem item) const {
    return IsValid(item) ? At(item).kind : 0;
}

std::span<const TreeItem> ContainerTree::Children(TreeItem item) const {
    if (!IsValid(item) && item != kNoItem) return {};
    return At(item).children;
}

int ContainerTree::RowOf(TreeItem item) const {
    return IsValid(item) ? static_cast<int>(At(item).row) : -1;
}

TreeItem ContainerTree::FindChild(TreeItem parent, std::string_view text) const {
    return FindChild(parent, text, /*nth=*/0);
}

TreeItem ContainerTree::FindChild(TreeItem parent, std::string_view text, std::size_t nth) const {
    if (!IsValid(parent) && parent != kNoItem) return kNoItem;
    const Node& node = At(parent);
    if (node.childrenSorted) {
        // Equal texts are next to each other in display order, in the order
        // they were inserted.
        auto it = std::lower_bound(node.children.begin(), node.children.end(), text,
                                   [this](TreeItem child, std::string_view wanted) {
                                       return CompareDisplayOrder(At(child).text, wanted) < 0;
                                   });
        if (static_cast<std::size_t>(node.children.end() - it) <= nth) return kNoItem;
        it += static_cast<std::ptrdiff_t>(nth);
        return At(*it).text == text ? *it : kNoItem;
    }
    for (TreeItem child : node.children)
        if (At(child).text == text && nth-- == 0) return child;
    return kNoItem;
}

std::size_t ContainerTree::SameTextBefore(TreeItem item) const {
    if (!IsValid(item)) return 0;
    const Node& node = At(item);
    const Node& parent = At(node.parent);
    std::size_t count = 0;
    if (parent.childrenSorted) {
        // Equal texts are next to each other: count back to the first.
        for (std::size_t row = node.row; row > 0 && At(parent.children[row - 1]).text == node.text;
             --row)
            ++count;
        return count;
    }
    for (std::size_t row = 0; row < node.row; ++row)
        if (At(parent.children[row]).text == node.text) ++count;
    return count;
}

TreeItem ContainerTree::FindChildUpperCased(TreeItem parent, std::string_view text) const {
    if (!IsValid(parent) && parent != kNoItem) return kNoItem;
    const Node& node = At(parent);
    if (node.childrenSorted) {
        // Texts equal with a-z folded are next to each other in display order.
        auto it = std::lower_bound(node.children.begin(), node.children.end(), text,
                                   [this](TreeItem child, std::string_view wanted) {
                                       return CompareFoldedAscii(At(child).text, wanted) < 0;
                                   });
        return it != node.children.end() && EqualUpperCased(At(*it).text, text) ? *it : kNoItem;
    }
    for (TreeItem child : node.children)
        if (EqualUpperCased(At(child).text, text)) return child;
    return kNoItem;
}

bool ContainerTree::IsValid(TreeItem item) const {
    return item != kNoItem && item < nodes_.size() && nodes_[item].alive;
}

void ContainerTree::SortChildren(TreeItem item) {
    if (!IsValid(item) && item != kNoItem) return;
    Node& node = At(item);
    auto& children = node.children;
    // Children that are in order already stay as they are; otherwise only
    // the children added since they were last in order are sorted, then
    // merged in, so that adding one disk at a time costs little.
    if (node.childrenSorted || children.size() < 2) {
        node.childrenSorted = true;
        return;
    }
    const bool notify = Notifying();
    if (notify)
        for (auto* o : observers_) o->ChildrenAboutToBeSorted(item);
    auto less = [this](TreeItem a, TreeItem b) {
        return CompareDisplayOrder(At(a).text, At(b).text) < 0;
    };
    const auto middle =
        children.begin() + std::min<std::ptrdiff_t>(node.sortedPrefix, children.size());
    std::stable_sort(middle, children.end(), less);
    std::inplace_merge(children.begin(), middle, children.end(), less);
    RenumberRows(item, /*from=*/0);
    At(item).childrenSorted = true;
    if (notify)
        for (auto* o : observers_) o->ChildrenSorted(item);
}

void ContainerTree::Expand(TreeItem item) {
    if (batchDepth_ > 0) {
        pendingExpands_.push_back(item);
        return;
    }
    for (auto* o : observers_) o->ExpandRequested(item);
}

void ContainerTree::BeginBatch() {
    if (batchDepth_++ == 0)
        for (auto* o : observers_) o->ResetStarted();
}

void ContainerTree::EndBatch() {
    if (--batchDepth_ > 0) return;
    for (auto* o : observers_) o->ResetFinished();
    // Expansions asked for during the batch are passed on once the
    // observers know the new tree.
    std::vector<TreeItem> expands;
    expands.swap(pendingExpands_);
    for (TreeItem item : expands)
        if (IsValid(item))
            for (auto* o : observers_) o->ExpandRequested(item);
}

ContainerTree::ItemState ContainerTree::StateOf(TreeItem item) const {
    if (!IsValid(item)) return {};
    const Node& node = At(item);
    return ItemState{node.parent, node.row, node.kind, node.sortedPrefix, node.childrenSorted};
}

bool ContainerTree::RestoreShape(std::span<const ItemState> states) {
    // Every parent comes before its children, so the tree has no cycle.
    std::vector<std::uint32_t> childCount(nodes_.size(), 0);
    for (std::size_t i = 0; i < states.size(); ++i) {
        if (states[i].parent > i) return false;
        ++childCount[states[i].parent];
    }
    for (std::size_t item = 0; item < nodes_.size(); ++item)
        nodes_[item].children.assign(childCount[item], kNoItem);
    for (std::size_t i = 0; i < states.size(); ++i) {
        const ItemState& state = states[i];
        auto& siblings = nodes_[state.parent].children;
        if (state.row >= siblings.size() || siblings[state.row] != kNoItem) return false;
        siblings[state.row] = static_cast<TreeItem>(i + 1);
        Node& node = nodes_[i + 1];
        node.parent = state.parent;
        node.row = state.row;
        node.kind = state.kind;
        node.alive = true;
        node.childrenSorted = state.childrenSorted;
        node.sortedPrefix = std::min<std::uint32_t>(state.sortedPrefix, childCount[i + 1]);
    }
    return true;
}

void ContainerTree::AddObserver(TreeObserver* observer) {
    observers_.push_back(observer);
}

void ContainerTree::RemoveObserver(TreeObserver* observer) {
    std::erase(observers_, observer);
}

}  // namespace kestavo
