// SPDX-License-Identifier: GPL-3.0-or-later
// The text arena against plain std::string copies of the same texts.
#include "support/text_arena.h"

#include <gtest/gtest.h>

#include <random>
#include <string>
#include <vector>

namespace kestavo {
namespace {

// Text `n` of `length` bytes: a pattern that differs from text to text.
std::string MakeText(std::size_t n, std::size_t length) {
    std::string text(length, ' ');
    for (std::size_t i = 0; i < length; ++i)
        text[i] = static_cast<char>('!' + (n * 7 + i * 13) % 90);
    return text;
}

struct Stored {
    TextRef ref;
    const char* where;
    std::string copy;
};

// Adds the texts and checks every one, and that none has moved, after all
// have been added.
void ExpectKeptAsCopies(TextArena& arena, const std::vector<std::size_t>& lengths) {
    std::vector<Stored> stored;
    for (std::size_t n = 0; n < lengths.size(); ++n) {
        std::string text = MakeText(n, lengths[n]);
        const TextRef ref = arena.Add(text);
        ASSERT_NE(ref, kNoText) << "text " << n;
        stored.push_back({ref, arena.Get(ref), std::move(text)});
    }
    for (std::size_t n = 0; n < stored.size(); ++n) {
        const Stored& s = stored[n];
        EXPECT_EQ(arena.View(s.ref), s.copy) << "text " << n << " of " << s.copy.size() << " bytes";
        EXPECT_EQ(arena.Get(s.ref), s.where) << "text " << n << " moved";
        EXPECT_EQ(std::string(arena.Get(s.ref)), s.copy) << "text " << n << " lost its NUL";
    }
}

TEST(TextArenaTest, ShortTextsAcrossManyChunksMatchTheirCopies) {
    std::mt19937 random(7);
    std::uniform_int_distribution<std::size_t> length(0, 300);
    std::vector<std::size_t> lengths;
    for (int i = 0; i < 20000; ++i) lengths.push_back(length(random));
    TextArena arena;
    ExpectKeptAsCopies(arena, lengths);
}

TEST(TextArenaTest, TextsThatFillAChunkExactlyOrJustOverflowIt) {
    // The first chunk holds 1024 bytes: two bytes of length, the text and
    // its NUL. 1021 bytes fill it exactly; the next text starts a chunk.
    TextArena arena;
    ExpectKeptAsCopies(arena, {1021, 0, 1, 2045, 2046, 4093, 0, 8000, 1});
}

TEST(TextArenaTest, LongTextsGetChunksOfTheirOwnAndKeepTheirLength) {
    // Up to 16381 bytes a text shares chunks; above, it gets its own. From
    // 65535 bytes the length no longer fits its two bytes and is measured.
    TextArena arena;
    ExpectKeptAsCopies(arena, {5, 16381, 16382, 7, 65534, 65535, 65536, 3, 200000, 0, 9});
}

TEST(TextArenaTest, ClearForgetsEverythingAndTheArenaIsUsableAgain) {
    TextArena arena;
    for (int i = 0; i < 1000; ++i) arena.Add(MakeText(i, 100));
    EXPECT_GE(arena.BytesReserved(), 1000u * 103u);
    arena.Clear();
    EXPECT_EQ(arena.BytesReserved(), 0u);
    ExpectKeptAsCopies(arena, {0, 10, 1021, 30000});
}

TEST(TextArenaTest, ReservesLittleMoreThanItStores) {
    TextArena arena;
    std::size_t stored = 0;
    for (int i = 0; i < 50000; ++i) {
        const std::size_t length = static_cast<std::size_t>(i % 40);
        arena.Add(MakeText(i, length));
        stored += length + 3;
    }
    // Chunks double up to 64 KiB, so only the last one is mostly empty; the
    // others lose at most the room of one text at their end.
    EXPECT_GE(arena.BytesReserved(), stored);
    EXPECT_LE(arena.BytesReserved(), stored + 65536 + 64 * 43);
}

}  // namespace
}  // namespace kestavo
