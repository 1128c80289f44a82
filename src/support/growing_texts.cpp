// SPDX-License-Identifier: GPL-3.0-or-later
#include "support/growing_texts.h"

#include <algorithm>
#include <cstring>

namespace kestavo {
namespace {

char* Write(char* at, std::string_view text) {
    if (!text.empty()) std::memcpy(at, text.data(), text.size());
    return at + text.size();
}

}  // namespace

char* GrowingTexts::Reserve(std::size_t length) {
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

std::string_view GrowingTexts::Copy(std::string_view text) {
    char* at = Reserve(text.size());
    Write(at, text);
    return {at, text.size()};
}

std::string_view GrowingTexts::Append(std::string_view known,
                                      std::initializer_list<std::string_view> tail) {
    std::size_t tailLength = 0;
    for (std::string_view part : tail) tailLength += part.size();
    if (tailLength == 0 && known.data()) return known;
    if (!chunks_.empty() && known.data()) {
        Chunk& chunk = chunks_.back();
        char* end = chunk.data.get() + chunk.used;
        if (known.data() + known.size() == end && chunk.size - chunk.used >= tailLength) {
            for (std::string_view part : tail) end = Write(end, part);
            chunk.used += tailLength;
            return {known.data(), known.size() + tailLength};
        }
    }
    char* const at = Reserve(known.size() + tailLength);
    char* end = Write(at, known);
    for (std::string_view part : tail) end = Write(end, part);
    return {at, known.size() + tailLength};
}

}  // namespace kestavo
