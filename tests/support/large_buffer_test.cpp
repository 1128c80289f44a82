// SPDX-License-Identifier: GPL-3.0-or-later
// The page and huge-page helpers: they only advise the system, so memory
// must read and write just as plain memory does.
#include "support/large_buffer.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <vector>

#include "support/prefault.h"

namespace kestavo {
namespace {

struct Pair {
    std::uint64_t key;
    std::uint32_t index;
};

TEST(LargeBufferTest, HoldsTheCountAskedForOnWholeHugePages) {
    for (const std::size_t count : {std::size_t{1}, std::size_t{1000}, std::size_t{300000}}) {
        LargeBuffer<Pair> buffer(count);
        const std::span<Pair> items = buffer.Items();
        ASSERT_EQ(items.size(), count);
        EXPECT_EQ(reinterpret_cast<std::uintptr_t>(items.data()) % (std::uintptr_t{1} << 21), 0u);
        for (std::size_t i = 0; i < count; ++i)
            items[i] = Pair{i * 3, static_cast<std::uint32_t>(i)};
        for (std::size_t i = 0; i < count; i += 997) EXPECT_EQ(buffer[i].key, i * 3);
        EXPECT_EQ(buffer[count - 1].index, count - 1);
    }
    LargeBuffer<Pair> empty(0);
    EXPECT_TRUE(empty.Items().empty());
}

TEST(LargeBufferTest, ReserveLargeKeepsTheItemsAlreadyThere) {
    std::vector<std::uint64_t> items{5, 6, 7};
    ReserveLarge(items, 1 << 20);
    EXPECT_GE(items.capacity(), std::size_t{1} << 20);
    EXPECT_EQ(items, (std::vector<std::uint64_t>{5, 6, 7}));
    std::vector<std::uint64_t> none;
    ReserveLarge(none, 0);
    EXPECT_TRUE(none.empty());
}

TEST(PrefaultTest, MappingPagesAheadLeavesTheContentsAlone) {
    // An odd block inside a larger one: pages only partly inside are left
    // to be mapped when touched, and nothing written is lost.
    std::vector<unsigned char> block(5 * 4096 + 123);
    for (std::size_t i = 0; i < block.size(); ++i) block[i] = static_cast<unsigned char>(i * 31);
    PrefaultPages(block.data() + 77, block.size() - 200);
    PrefaultPages(block.data(), 0);
    for (std::size_t i = 0; i < block.size(); ++i)
        ASSERT_EQ(block[i], static_cast<unsigned char>(i * 31)) << "byte " << i;
}

}  // namespace
}  // namespace kestavo
