// SPDX-License-Identifier: GPL-3.0-or-later
#include "tools/folder_compare_texts.h"

#include <algorithm>
#include <cstring>

namespace kestavo {

char* FolderTexts::Reserve(std::size_t length) {
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

std::string_view FolderTexts::Keep(std::string_view text) {
    char* at = Reserve(text.size());
    if (!text.empty()) std::memcpy(at, text.data(), text.size());
    return {at, text.size()};
}

std::string_view FolderTexts::Extend(std::string_view known, std::string_view text) {
    if (text.size() == known.size()) return known;
    const std::string_view rest = text.substr(known.size());
    if (!chunks_.empty()) {
        Chunk& chunk = chunks_.back();
        char* end = chunk.data.get() + chunk.used;
        if (known.data() + known.size() == end && chunk.size - chunk.used >= rest.size()) {
            std::memcpy(end, rest.data(), rest.size());
            chunk.used += rest.size();
            return {known.data(), text.size()};
        }
    }
    return Keep(text);
}

}  // namespace kestavo
