// SPDX-License-Identifier: GPL-3.0-or-later
#include "catalog/tree_walk.h"

#include <algorithm>

namespace kestavo {

std::string SearchRootText(const ContainerTree& tree, TreeItem node) {
    std::string path;
    for (TreeItem item = node; item != kNoItem;) {
        const std::string_view text = tree.ItemText(item);
        item = tree.Parent(item);
        // The topmost item has no parent, so its text never enters the path.
        if (item == kNoItem) break;
        if (path.empty())
            path.assign(text);
        else
            path = std::string(text) + "/" + path;
    }
    if (path.empty()) path.assign(tree.ItemText(node));
    return path;
}

std::vector<std::string> ItemTextChain(const ContainerTree& tree, TreeItem node) {
    std::vector<std::string> chain;
    for (TreeItem item = node; item != kNoItem; item = tree.Parent(item))
        chain.emplace_back(tree.ItemText(item));
    std::reverse(chain.begin(), chain.end());
    return chain;
}

TreeItem FindItemByTextChain(const ContainerTree& tree, const std::vector<std::string>& chain) {
    TreeItem item = kNoItem;
    for (const std::string& text : chain) {
        TreeItem found = kNoItem;
        for (TreeItem child : tree.Children(item))
            if (tree.ItemText(child) == text) {
                found = child;
                break;
            }
        if (found == kNoItem) return kNoItem;
        item = found;
    }
    return item;
}

}  // namespace kestavo
