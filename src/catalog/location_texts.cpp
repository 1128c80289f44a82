// SPDX-License-Identifier: GPL-3.0-or-later
#include "catalog/location_texts.h"

#include <algorithm>
#include <cstring>

namespace kestavo {

char* LocationTexts::Reserve(std::size_t length) {
    if (chunks_.empty() || chunks_.back().size - chunks_.back().used < length) {
        // A long text gets a chunk twice its length, so that a chain that
        // keeps growing is copied a few times only.
        const std::size_t size = std::max(kChunk, length * 2);
        chunks_.push_back(Chunk{std::make_unique_for_overwrite<char[]>(size), size, 0});
    }
    Chunk& chunk = chunks_.back();
    char* at = chunk.data.get() + chunk.used;
    chunk.used += length;
    return at;
}

std::string_view LocationTexts::Copy(std::string_view text) {
    char* at = Reserve(text.size());
    if (!text.empty()) std::memcpy(at, text.data(), text.size());
    return {at, text.size()};
}

std::string_view LocationTexts::Join(std::string_view parent, std::string_view part) {
    const std::size_t length = parent.size() + 1 + part.size();
    if (!chunks_.empty() && parent.data()) {
        Chunk& chunk = chunks_.back();
        char* end = chunk.data.get() + chunk.used;
        if (parent.data() + parent.size() == end && chunk.size - chunk.used >= 1 + part.size()) {
            end[0] = '/';
            if (!part.empty()) std::memcpy(end + 1, part.data(), part.size());
            chunk.used += 1 + part.size();
            return {parent.data(), length};
        }
    }
    char* at = Reserve(length);
    if (!parent.empty()) std::memcpy(at, parent.data(), parent.size());
    at[parent.size()] = '/';
    if (!part.empty()) std::memcpy(at + parent.size() + 1, part.data(), part.size());
    return {at, length};
}

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
    const std::string_view copy = Copy(text);
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
        ref = Keep(ref == kNoText ? Copy(text) : Join(joined_[ref], text), ref, text.empty());
        ofItem_[*it] = ref;
    }
    return ref;
}

}  // namespace kestavo
