#include "tools/row_order.h"

#include <algorithm>
#include <cstring>
#include <thread>

#include "catalog/list_rows.h"
#include "catalog/name_compare.h"
#include "catalog/size_unit.h"
#include "tools/large_buffer.h"

namespace kestavo {
namespace {

unsigned char Folded(unsigned char c) {
    return (c >= 'A' && c <= 'Z') ? static_cast<unsigned char>(c - 'A' + 'a') : c;
}

struct SortKey {
    std::uint64_t words[4];  // folded bytes 0 to 31
    std::uint32_t length;
    std::uint32_t index;
    // One bit per byte of the first 32, most significant first, set for a
    // lower-case letter: among names whose folded bytes agree, their plain
    // byte order over those bytes.
    std::uint32_t lowerCase;
};
// Within a run of equal prefixes of names up to 32 bytes the lengths
// are equal, because the padding would differ otherwise.
constexpr std::size_t kKeyBytes = 32;
// From this many rows the sort uses a second thread.
constexpr std::size_t kSortInParallelFrom = 100000;

// The key of a name: its first 32 bytes with A-Z folded, most significant
// first and padded with zeros. Names hold no NUL byte, so the padding
// orders a shorter name first just as the full comparison does.
SortKey MakeKey(std::string_view name, std::uint32_t index) {
    unsigned char bytes[kKeyBytes] = {};
    std::memcpy(bytes, name.data(), std::min(name.size(), kKeyBytes));
    SortKey key{};
    for (std::size_t i = 0; i < kKeyBytes; ++i) {
        const bool lower = bytes[i] >= 'a' && bytes[i] <= 'z';
        key.lowerCase = (key.lowerCase << 1) | (lower ? 1u : 0u);
        bytes[i] = Folded(bytes[i]);
    }
    for (std::size_t w = 0; w < 4; ++w)
        for (std::size_t i = 8 * w; i < 8 * w + 8; ++i) key.words[w] = (key.words[w] << 8) | bytes[i];
    key.length = static_cast<std::uint32_t>(std::min<std::size_t>(name.size(), UINT32_MAX));
    key.index = index;
    return key;
}

bool SamePrefix(const SortKey& a, const SortKey& b) {
    return a.words[0] == b.words[0] && a.words[1] == b.words[1] && a.words[2] == b.words[2] &&
           a.words[3] == b.words[3];
}

bool KeyLess(const SortKey& a, const SortKey& b) {
    for (int w = 0; w < 4; ++w)
        if (a.words[w] != b.words[w]) return a.words[w] < b.words[w];
    if (a.lowerCase != b.lowerCase) return a.lowerCase < b.lowerCase;
    return a.index < b.index;
}

// Rows whose first 32 folded bytes agree and of which one is longer are put
// in order again by their whole names.
void OrderLongNames(std::span<SortKey> keys, const std::vector<FileData*>& rows) {
    std::vector<std::pair<std::string_view, std::uint32_t>> run;
    for (std::size_t start = 0; start < keys.size();) {
        std::size_t end = start + 1;
        bool longName = keys[start].length > kKeyBytes;
        while (end < keys.size() && SamePrefix(keys[end], keys[start])) {
            longName = longName || keys[end].length > kKeyBytes;
            ++end;
        }
        if (longName && end - start > 1) {
            run.clear();
            for (std::size_t i = start; i < end; ++i)
                run.emplace_back(rows[keys[i].index]->Name(), keys[i].index);
            std::sort(run.begin(), run.end(), [](const auto& a, const auto& b) {
                const int order = CompareDisplayOrder(a.first, b.first);
                return order != 0 ? order < 0 : a.second < b.second;
            });
            for (std::size_t i = start; i < end; ++i) keys[i].index = run[i - start].second;
        }
        start = end;
    }
}

}  // namespace

void SortInInitialOrder(std::vector<FileData*>& rows) {
    if (rows.size() < 2) return;
    if (rows.size() < 64 || rows.size() > UINT32_MAX) {
        SortRowsInInitialOrder(rows);
        return;
    }
    LargeBuffer<SortKey> buffer(rows.size());
    const std::span<SortKey> keys = buffer.Items();
    // First by the first 32 bytes only, which decide for most rows. The two
    // halves are keyed and sorted side by side, then merged; the order is
    // total (the index breaks every tie), so the result is the same.
    const std::size_t half = keys.size() / 2;
    auto keyAndSort = [&rows, &keys](std::size_t from, std::size_t to) {
        for (std::size_t i = from; i < to; ++i)
            keys[i] = MakeKey(rows[i]->Name(), static_cast<std::uint32_t>(i));
        std::sort(keys.begin() + static_cast<std::ptrdiff_t>(from),
                  keys.begin() + static_cast<std::ptrdiff_t>(to), KeyLess);
    };
    if (keys.size() >= kSortInParallelFrom) {
        std::thread firstHalf(keyAndSort, std::size_t{0}, half);
        keyAndSort(half, keys.size());
        firstHalf.join();
        LargeBuffer<SortKey> merged(keys.size());
        std::merge(keys.begin(), keys.begin() + static_cast<std::ptrdiff_t>(half),
                   keys.begin() + static_cast<std::ptrdiff_t>(half), keys.end(),
                   merged.Items().begin(), KeyLess);
        std::copy(merged.Items().begin(), merged.Items().end(), keys.begin());
    } else {
        keyAndSort(0, keys.size());
    }
    OrderLongNames(keys, rows);
    std::vector<FileData*> sorted(rows.size());
    for (std::size_t i = 0; i < keys.size(); ++i) sorted[i] = rows[keys[i].index];
    rows.swap(sorted);
}

}  // namespace kestavo
