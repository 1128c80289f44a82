// SPDX-License-Identifier: GPL-3.0-or-later
// Walking the catalog tree below one node, and naming a node for the tools.
#pragma once

#include <string>
#include <vector>

#include "catalog/container_tree.h"

namespace kestavo {

// Calls `visit` for `top` and then, depth first in tree order, for every
// item below it. Keeps its own stack, so any depth of nesting is walked.
template <class Visit>
void ForEachNodeDepthFirst(const ContainerTree& tree, TreeItem top, Visit&& visit) {
    std::vector<TreeItem> pending{top};
    while (!pending.empty()) {
        const TreeItem item = pending.back();
        pending.pop_back();
        visit(item);
        const auto children = tree.Children(item);
        for (auto it = children.rbegin(); it != children.rend(); ++it) pending.push_back(*it);
    }
}

// The text a tool shows as its search root: the location of the entries
// filed under `node` (LocationTexts::OfItem), or, where that is empty (the
// top root item), the node's own text.
std::string SearchRootText(const ContainerTree& tree, TreeItem node);

// The texts of the items from the top level down to `node`, so that the
// node can be found again after the tree changed.
std::vector<std::string> ItemTextChain(const ContainerTree& tree, TreeItem node);
// The item reached by following `chain` from the top level, each text
// matched exactly (the first such child); kNoItem when one is missing.
TreeItem FindItemByTextChain(const ContainerTree& tree, const std::vector<std::string>& chain);

}  // namespace kestavo
