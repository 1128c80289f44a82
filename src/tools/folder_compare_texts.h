// SPDX-License-Identifier: GPL-3.0-or-later
// The folder texts of compare rows, kept once per folder instead of once per
// row. Texts are written into chunks that never move, so views of them stay
// valid until Clear; a text that extends the last one written is written in
// place after it, so a chain of nested folders shares one buffer instead of
// keeping a text as long as its depth for every level.
#pragma once

#include <cstddef>
#include <memory>
#include <string_view>
#include <vector>

namespace kestavo {

class FolderTexts {
public:
    // A kept copy of `text`. Its data is never null, even for an empty text.
    std::string_view Keep(std::string_view text);
    // The same for `text`, which begins with `known`, a text kept here: only
    // the rest is written, right after `known`, when `known` is the last text
    // written and its chunk has room.
    std::string_view Extend(std::string_view known, std::string_view text);
    void Clear() { chunks_.clear(); }

private:
    static constexpr std::size_t kChunk = 1 << 16;
    struct Chunk {
        std::unique_ptr<char[]> data;
        std::size_t size = 0;
        std::size_t used = 0;
    };
    char* Reserve(std::size_t length);

    std::vector<Chunk> chunks_;
};

}  // namespace kestavo
