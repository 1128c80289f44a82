// SPDX-License-Identifier: GPL-3.0-or-later
// Texts written into chunks that never move, so views of them stay valid
// until Clear. A text that extends the last one written is written in place
// after it: a chain of nested folders, each text its parent's plus a part,
// shares one buffer instead of keeping a text as long as its depth for every
// level.
#pragma once

#include <cstddef>
#include <initializer_list>
#include <memory>
#include <string_view>
#include <vector>

namespace kestavo {

class GrowingTexts {
public:
    // A kept copy of `text`. Its data is never null, even for an empty text.
    std::string_view Copy(std::string_view text);
    // `known` (a text kept here, or one without data) followed by the parts
    // of `tail`: only the tail is written, right after `known`, when `known`
    // is the last text written and its chunk has room; else a new copy.
    std::string_view Append(std::string_view known, std::initializer_list<std::string_view> tail);
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
