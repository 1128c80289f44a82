// SPDX-License-Identifier: GPL-3.0-or-later
#include "tools/sqlite_index_keys.h"

#include <algorithm>
#include <array>
#include <cstring>
#include <utility>

namespace kestavo {
namespace {

constexpr std::size_t kWordBytes = 8;

std::uint64_t WordAt(const char* text, std::size_t size, std::size_t from) {
    unsigned char bytes[kWordBytes] = {};
    if (size > from) std::memcpy(bytes, text + from, std::min(kWordBytes, size - from));
    std::uint64_t word = 0;
    for (unsigned char byte : bytes) word = word << 8 | byte;
    return word;
}

// Sorts keys whose names agree on their first `depth` bytes, by the word
// they hold, the bytes from `depth` on. Among keys of the same word, a name
// that ends within it is a beginning of the others and comes first; those
// that go on are sorted by their next word in turn. Every pass reads the
// keys in a row, and the names only where the words left a tie.
void SortFrom(NameKey* begin, NameKey* end, std::size_t depth) {
    std::sort(begin, end, [](const NameKey& a, const NameKey& b) { return a.word < b.word; });
    for (NameKey* run = begin; run != end;) {
        NameKey* runEnd = run + 1;
        while (runEnd != end && runEnd->word == run->word) ++runEnd;
        if (runEnd - run > 1) {
            NameKey* goesOn = std::partition(run, runEnd, [depth](const NameKey& key) {
                return key.size <= depth + kWordBytes;
            });
            std::sort(run, goesOn, [](const NameKey& a, const NameKey& b) {
                return a.size != b.size ? a.size < b.size : a.rowid < b.rowid;
            });
            if (runEnd - goesOn > 1) {
                for (NameKey* key = goesOn; key != runEnd; ++key)
                    key->word = WordAt(key->text, key->size, depth + kWordBytes);
                SortFrom(goesOn, runEnd, depth + kWordBytes);
            }
        }
        run = runEnd;
    }
}

// The first pass files the keys by their first two bytes; each bucket is
// then sorted on its own, small enough to stay in the caches.
constexpr std::size_t kNameBuckets = 1 << 16;

std::size_t NameBucket(const NameKey& key) {
    return static_cast<std::size_t>(key.word >> 48);
}

// Sizes sort as unsigned numbers once their sign bit is flipped; a radix
// pass of 11 bits a digit, skipped where every key has the same digit.
constexpr int kDigitBits = 11;
constexpr int kDigits = (64 + kDigitBits - 1) / kDigitBits;
constexpr std::size_t kDigitValues = std::size_t{1} << kDigitBits;

std::uint64_t SortableSize(std::int64_t size) {
    return static_cast<std::uint64_t>(size) ^ (std::uint64_t{1} << 63);
}

std::size_t Digit(std::int64_t size, int digit) {
    return static_cast<std::size_t>(SortableSize(size) >> (digit * kDigitBits)) &
           (kDigitValues - 1);
}

}  // namespace

NameKey MakeNameKey(std::string_view name, std::uint32_t rowid) {
    return {.word = WordAt(name.data(), name.size(), 0),
            .text = name.data(),
            .size = static_cast<std::uint32_t>(name.size()),
            .rowid = rowid};
}

void SortNameKeys(std::vector<NameKey>& keys) {
    std::vector<std::size_t> starts(kNameBuckets + 1, 0);
    for (const NameKey& key : keys) ++starts[NameBucket(key) + 1];
    for (std::size_t i = 1; i <= kNameBuckets; ++i) starts[i] += starts[i - 1];
    std::vector<NameKey> filed(keys.size());
    std::vector<std::size_t> next(starts.begin(), starts.end() - 1);
    for (const NameKey& key : keys) filed[next[NameBucket(key)]++] = key;
    for (std::size_t i = 0; i < kNameBuckets; ++i)
        SortFrom(filed.data() + starts[i], filed.data() + starts[i + 1], 0);
    keys.swap(filed);
}

void SortSizeKeys(std::vector<SizeKey>& keys) {
    std::array<std::vector<std::size_t>, kDigits> counts;
    for (auto& count : counts) count.assign(kDigitValues, 0);
    for (const SizeKey& key : keys)
        for (int digit = 0; digit < kDigits; ++digit) ++counts[digit][Digit(key.size, digit)];
    std::vector<SizeKey> other(keys.size());
    for (int digit = 0; digit < kDigits; ++digit) {
        std::vector<std::size_t>& count = counts[digit];
        if (std::find(count.begin(), count.end(), keys.size()) != count.end()) continue;
        std::size_t at = 0;
        for (std::size_t& slot : count) at += std::exchange(slot, at);
        for (const SizeKey& key : keys) other[count[Digit(key.size, digit)]++] = key;
        keys.swap(other);
    }
}

}  // namespace kestavo
