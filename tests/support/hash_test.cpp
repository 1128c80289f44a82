// The key hash against a plain byte-by-byte statement of the same function,
// and the spread the duplicate search relies on.
#include "support/hash.h"

#include <gtest/gtest.h>

#include <array>
#include <string>
#include <unordered_set>

namespace kestavo {
namespace {

std::uint64_t PlainMix(std::uint64_t h) {
    h = (h ^ (h >> 31)) * 0x7fb5d329728ea185ULL;
    h = (h ^ (h >> 27)) * 0x81dadef4bc2dd44dULL;
    return h ^ (h >> 33);
}

// Little-endian words of eight bytes, the last one padded with zeros.
std::uint64_t PlainHash(const std::string& bytes) {
    std::uint64_t h = 0x9E3779B97F4A7C15ULL ^ bytes.size();
    const std::size_t whole = bytes.size() / 8 * 8;
    auto wordAt = [&](std::size_t at, std::size_t count) {
        std::uint64_t word = 0;
        for (std::size_t i = 0; i < count; ++i)
            word |= std::uint64_t{static_cast<unsigned char>(bytes[at + i])} << (8 * i);
        return word;
    };
    for (std::size_t at = 0; at < whole; at += 8) h = PlainMix(h ^ wordAt(at, 8));
    return PlainMix(h ^ wordAt(whole, bytes.size() - whole) ^ 0xA5A5A5A5A5A5A5A5ULL);
}

TEST(HashTest, AgreesWithThePlainStatementForEveryLengthUpTo40) {
    std::string bytes;
    for (int length = 0; length <= 40; ++length) {
        EXPECT_EQ(HashBytes(bytes), PlainHash(bytes)) << "length " << length;
        bytes.push_back(static_cast<char>(0x80 + length * 3));  // high bytes too
    }
    EXPECT_EQ(HashBytes(std::string_view()), PlainHash(""));
}

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
