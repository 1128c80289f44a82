// SPDX-License-Identifier: GPL-3.0-or-later
#include "catalog/location_texts.h"

namespace kestavo {

TextRef LocationTexts::Keep(std::string_view joined, TextRef parent, bool emptyName) {
    // An empty name at the bottom does not enter the location: it is that of
    // the container above. Every other name does, whatever it holds (a
    // hand-written catalog may name a folder "/").
    const std::string_view location = emptyName && parent != kNoText ? locations_[parent] : joined;
    joined_.push_back(joined);
    locations_.push_back(location);
    return static_cast<TextRef>(locations_.size() - 1);
}

TextRef LocationTexts::Add(std::string_view text) {
    const std::string_view copy = texts_.Copy(text);
    joined_.push_back(copy);
    locations_.push_back(copy);
    return static_cast<TextRef>(locations_.size() - 1);
}

TextRef LocationTexts::OfItem(const ContainerTree& tree, TreeItem item) {
    if (auto it = ofItem_.find(item); it != ofItem_.end()) return it->second;
    // The items from `item` up whose texts are not made yet; the top root
    // item has no parent, and its text never enters a location.
    std::vector<TreeItem> pending;
    TextRef known = kNoText;
    for (TreeItem at = item; at != kNoItem; at = tree.Parent(at)) {
        if (tree.Parent(at) == kNoItem) break;
        if (auto it = ofItem_.find(at); it != ofItem_.end()) {
            known = it->second;
            break;
        }
        pending.push_back(at);
    }
    if (pending.empty() && known == kNoText) return ofItem_[item] = Add({});
    TextRef ref = known;
    for (auto it = pending.rbegin(); it != pending.rend(); ++it) {
        const std::string_view text = tree.ItemText(*it);
        // Each text is its parent's, "/" and the name, in place after the
        // parent's when nothing was written since.
        ref = Keep(ref == kNoText ? texts_.Copy(text) : texts_.Append(joined_[ref], {"/", text}),
                   ref, text.empty());
        ofItem_[*it] = ref;
    }
    return ref;
}

}  // namespace kestavo
