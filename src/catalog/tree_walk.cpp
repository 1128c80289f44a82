// SPDX-License-Identifier: GPL-3.0-or-later
#include "catalog/tree_walk.h"

#include <algorithm>

#include "catalog/location_texts.h"

namespace kestavo {

std::string SearchRootText(const ContainerTree& tree, TreeItem node) {
    LocationTexts locations;
    std::string text(locations.View(locations.OfItem(tree, node)));
    if (text.empty()) text.assign(tree.ItemText(node));
    return text;
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
