// SPDX-License-Identifier: GPL-3.0-or-later
// Feeds arbitrary bytes to the name index view, then asks it for the blocks
// of trigrams taken from the bytes themselves and from common masks: a view
// that opens must answer inside the blob, with blocks that exist, in order.
// An input starting with '\n' is instead a list of names: the index built
// from them must open and find every block where the asked trigrams occur.
#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <span>
#include <string_view>
#include <vector>

#include "catalog/name_index.h"

namespace {

void CheckAnswer(const kestavo::NameIndexView& view, std::span<const std::uint32_t> trigrams) {
    std::vector<std::uint32_t> blocks;
    if (!view.BlocksWithAll(trigrams, blocks)) {
        if (!blocks.empty()) std::abort();
        return;
    }
    if (!std::is_sorted(blocks.begin(), blocks.end()) ||
        std::adjacent_find(blocks.begin(), blocks.end()) != blocks.end())
        std::abort();
    for (const std::uint32_t block : blocks)
        if (block >= view.BlockCount()) std::abort();
}

void QueryRaw(std::span<const std::byte> bytes) {
    const auto view = kestavo::NameIndexView::Open(bytes);
    if (!view) return;
    for (const char* mask : {"*.JPG", "*ABC*", "*IMG_*1*", "*A?BCD*EFG"})
        CheckAnswer(*view, kestavo::TrigramsOfMask(mask));
    // Trigrams from the tail of the input, one at a time and together.
    std::vector<std::uint32_t> trigrams;
    for (std::size_t i = bytes.size() >= 24 ? bytes.size() - 24 : 0; i + 3 <= bytes.size(); i += 3)
        trigrams.push_back((std::to_integer<std::uint32_t>(bytes[i]) << 16 |
                            std::to_integer<std::uint32_t>(bytes[i + 1]) << 8 |
                            std::to_integer<std::uint32_t>(bytes[i + 2])));
    for (const std::uint32_t trigram : trigrams) CheckAnswer(*view, std::span(&trigram, 1));
    CheckAnswer(*view, trigrams);
}

void BuildFromNames(std::string_view text) {
    std::vector<std::string_view> names;
    for (std::size_t from = 0; from <= text.size();) {
        const std::size_t end = std::min(text.find('\n', from), text.size());
        names.push_back(text.substr(from, end - from));
        from = end + 1;
    }
    const unsigned shift = names.size() % 4;
    const std::vector<std::byte> bytes = kestavo::BuildNameIndex(names, shift);
    const auto view = kestavo::NameIndexView::Open(bytes);
    if (!view || view->NameCount() != names.size()) std::abort();
    // Every name's own trigrams lead to its block.
    for (std::size_t i = 0; i < names.size(); ++i) {
        std::vector<std::uint32_t> trigrams;
        for (std::size_t k = 0; k + 3 <= names[i].size() && k < 12; ++k)
            trigrams.push_back(
                kestavo::FoldedTrigram(names[i][k], names[i][k + 1], names[i][k + 2]));
        if (trigrams.empty()) continue;
        std::vector<std::uint32_t> blocks;
        if (!view->BlocksWithAll(trigrams, blocks)) std::abort();
        if (!std::binary_search(blocks.begin(), blocks.end(), i >> shift)) std::abort();
    }
    QueryRaw(bytes);
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    if (size > 0 && data[0] == '\n') {
        BuildFromNames(std::string_view(reinterpret_cast<const char*>(data) + 1, size - 1));
        return 0;
    }
    QueryRaw(std::span(reinterpret_cast<const std::byte*>(data), size));
    return 0;
}
