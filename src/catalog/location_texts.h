// SPDX-License-Identifier: GPL-3.0-or-later
// The location texts of the folders of one catalog: each folder's text is
// made once from its parent's, and a folder's text extends its parent's in
// place when nothing was added after it, so a chain of nested folders
// shares one buffer instead of keeping a text as long as its depth for
// every level.
#pragma once

#include <cstdint>
#include <memory>
#include <string_view>
#include <unordered_map>
#include <vector>

#include "catalog/container_tree.h"
#include "support/growing_texts.h"
#include "support/text_arena.h"

namespace kestavo {

class LocationTexts {
public:
    // The location of the entries filed under `item`: the container names
    // from the disk label down to `item`, joined by "/" (empty under the
    // top root item). Made on first request, with those of the items above.
    TextRef OfItem(const ContainerTree& tree, TreeItem item);
    // Keeps a text given from outside (a location set by a tool).
    TextRef Add(std::string_view text);
    std::string_view View(TextRef ref) const { return locations_[ref]; }
    void Forget(TreeItem item) { ofItem_.erase(item); }
    // Forgets which item each text was made for (the items were renumbered);
    // the texts themselves stay valid.
    void ForgetItems() { ofItem_.clear(); }

private:
    // Keeps `joined`, the text of an item below `parent` (kNoText for a
    // disk), whose own name is empty when `emptyName`.
    TextRef Keep(std::string_view joined, TextRef parent, bool emptyName);

    GrowingTexts texts_;
    // By reference: every part joined by "/", and the location, which leaves
    // out empty names at the end.
    std::vector<std::string_view> joined_;
    std::vector<std::string_view> locations_;
    std::unordered_map<TreeItem, TextRef> ofItem_;
};

}  // namespace kestavo
