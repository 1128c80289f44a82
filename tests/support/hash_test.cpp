// SPDX-License-Identifier: GPL-3.0-or-later
// The key hash: what the duplicate search relies on, that different keys
// hash apart and spread evenly over the top byte.
#include "support/hash.h"

#include <gtest/gtest.h>

#include <array>
#include <string>
#include <unordered_set>

namespace kestavo {
namespace {

TEST(HashTest, TrailingZeroBytesAndSingleBitsChangeTheHash) {
    EXPECT_NE(HashBytes("A"), HashBytes(std::string_view("A\0", 2)));
    EXPECT_NE(HashBytes(""), HashBytes(std::string_view("\0", 1)));
    const std::string key = "PICTURE.JPG~1234~1700000000";
    for (std::size_t i = 0; i < key.size(); ++i) {
        std::string changed = key;
        changed[i] = static_cast<char>(changed[i] ^ 1);
        EXPECT_NE(HashBytes(changed), HashBytes(key)) << "byte " << i;
    }
}

TEST(HashTest, KeysOfManyFilesSpreadEvenlyWithoutCollisions) {
    // Keys as the duplicate search makes them, differing in a few digits.
    constexpr int kKeys = 262144;
    std::unordered_set<std::uint64_t> seen;
    std::array<int, 256> topByte{};
    for (int i = 0; i < kKeys; ++i) {
        const std::string key =
            "FILE_" + std::to_string(i % 1000) + ".TXT~" + std::to_string(i / 1000) + "~1700000000";
        const std::uint64_t h = HashBytes(key);
        seen.insert(h);
        ++topByte[h >> 56];
    }
    EXPECT_EQ(seen.size(), std::size_t{kKeys});
    // The sort splits by the top byte: 1024 keys a bucket expected, and a
    // bucket more than 20 % off (over six standard deviations) is a fault.
    for (int b = 0; b < 256; ++b) {
        EXPECT_GT(topByte[b], 820) << "bucket " << b;
        EXPECT_LT(topByte[b], 1230) << "bucket " << b;
    }
}

}  // namespace
}  // namespace kestavo
