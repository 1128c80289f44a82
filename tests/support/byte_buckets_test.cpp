// SPDX-License-Identifier: GPL-3.0-or-later
// Byte buckets against a plain stable sort by the same byte.
#include "support/byte_buckets.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <random>
#include <vector>

namespace kestavo {
namespace {

struct Record {
    unsigned char byte;
    std::uint32_t id;
    bool operator==(const Record&) const = default;
};

unsigned ByteOf(const Record& record) {
    return record.byte;
}

// The records in bucket order, each bucket in the order of the ids.
std::vector<Record> BucketsInIdOrder(std::vector<Record> records) {
    std::stable_sort(records.begin(), records.end(), [](const Record& a, const Record& b) {
        return a.byte != b.byte ? a.byte < b.byte : a.id < b.id;
    });
    return records;
}

// Distributes `records` and checks the result against std::stable_sort:
// the same records, each byte's run where the reference puts it and where
// the answered bucket starts say.
void ExpectLikeStableSort(std::vector<Record> records) {
    std::vector<Record> reference = records;
    std::stable_sort(reference.begin(), reference.end(),
                     [](const Record& a, const Record& b) { return a.byte < b.byte; });
    const ByteBucketStarts start = SortIntoByteBuckets(std::span<Record>(records), ByteOf);

    ASSERT_EQ(records.size(), reference.size());
    for (std::size_t i = 0; i < records.size(); ++i)
        ASSERT_EQ(records[i].byte, reference[i].byte) << "at " << i;
    EXPECT_EQ(BucketsInIdOrder(records), BucketsInIdOrder(reference));
    EXPECT_EQ(start[0], 0u);
    EXPECT_EQ(start[256], records.size());
    for (unsigned b = 0; b < 256; ++b) {
        const auto first = std::lower_bound(reference.begin(), reference.end(), b,
                                            [](const Record& r, unsigned v) { return r.byte < v; });
        EXPECT_EQ(start[b], static_cast<std::size_t>(first - reference.begin())) << "byte " << b;
    }
}

std::vector<Record> RandomRecords(std::size_t count, unsigned byteRange, unsigned seed) {
    std::mt19937 random(seed);
    std::uniform_int_distribution<unsigned> byte(0, byteRange - 1);
    std::vector<Record> records;
    for (std::size_t i = 0; i < count; ++i)
        records.push_back(
            {static_cast<unsigned char>(byte(random)), static_cast<std::uint32_t>(i)});
    return records;
}

TEST(ByteBucketsTest, EmptyAndSingleRecords) {
    ExpectLikeStableSort({});
    ExpectLikeStableSort({{200, 0}});
}

TEST(ByteBucketsTest, RandomBytesOfEveryValueAndOfFewValues) {
    ExpectLikeStableSort(RandomRecords(100000, 256, 1));
    ExpectLikeStableSort(RandomRecords(777, 3, 2));
    ExpectLikeStableSort(RandomRecords(5000, 2, 3));
}

TEST(ByteBucketsTest, SkewedAndAlreadySortedAndReversedInput) {
    std::vector<Record> skewed = RandomRecords(20000, 256, 4);
    for (std::size_t i = 0; i < skewed.size(); i += 3) skewed[i].byte = 255;
    ExpectLikeStableSort(skewed);
    std::vector<Record> sorted = BucketsInIdOrder(RandomRecords(3000, 256, 5));
    ExpectLikeStableSort(sorted);
    std::reverse(sorted.begin(), sorted.end());
    ExpectLikeStableSort(sorted);
}

TEST(ByteBucketsTest, OneBucketKeepsTheOrderUntouched) {
    std::vector<Record> records = RandomRecords(1000, 1, 6);
    for (auto& r : records) r.byte = 42;
    const std::vector<Record> before = records;
    const ByteBucketStarts start = SortIntoByteBuckets(std::span<Record>(records), ByteOf);
    EXPECT_EQ(records, before);
    EXPECT_EQ(start[42], 0u);
    EXPECT_EQ(start[43], records.size());
}

}  // namespace
}  // namespace kestavo
