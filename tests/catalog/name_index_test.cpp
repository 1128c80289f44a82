// SPDX-License-Identifier: GPL-3.0-or-later
#include "catalog/name_index.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <map>
#include <random>
#include <set>
#include <string>

#include "catalog/entry_store.h"

namespace kestavo {
namespace {

// Names of a few letters in both cases, digits, dots and non-ASCII bytes,
// so that trigrams repeat across blocks and fold.
std::vector<std::string> RandomNames(std::mt19937& random, std::size_t count) {
    static const std::string kBytes = "abcABC12._ \xc3\xa9\xff";
    std::vector<std::string> names;
    for (std::size_t i = 0; i < count; ++i) {
        std::string name(random() % 9, ' ');
        for (char& c : name) c = kBytes[random() % kBytes.size()];
        names.push_back(name);
    }
    return names;
}

std::set<std::uint32_t> TrigramsOf(const std::string& name) {
    std::set<std::uint32_t> trigrams;
    for (std::size_t i = 0; i + 3 <= name.size(); ++i)
        trigrams.insert(FoldedTrigram(name[i], name[i + 1], name[i + 2]));
    return trigrams;
}

std::vector<std::byte> IndexOf(const std::vector<std::string>& names, unsigned shift) {
    std::vector<std::string_view> views(names.begin(), names.end());
    return BuildNameIndex(views, shift);
}

TEST(NameIndexTest, BlocksAreExactlyThoseWhereEveryTrigramOccurs) {
    std::mt19937 random(7);
    for (const unsigned shift : {0u, 2u, 6u}) {
        const std::vector<std::string> names =
            RandomNames(random, 6000);  // past the count where repeats are found by bits
        const std::vector<std::byte> bytes = IndexOf(names, shift);
        const auto view = NameIndexView::Open(bytes);
        ASSERT_TRUE(view);
        EXPECT_EQ(view->NameCount(), names.size());
        // Per block, every trigram of its names.
        std::vector<std::set<std::uint32_t>> ofBlock(view->BlockCount());
        for (std::size_t i = 0; i < names.size(); ++i)
            for (const std::uint32_t t : TrigramsOf(names[i])) ofBlock[i >> shift].insert(t);
        for (int query = 0; query < 200; ++query) {
            const std::string& source = names[random() % names.size()];
            if (source.size() < 3) continue;
            std::vector<std::uint32_t> asked;
            for (const std::uint32_t t : TrigramsOf(source))
                if (random() % 2 || asked.empty()) asked.push_back(t);
            if (query % 7 == 0) asked.push_back(FoldedTrigram('q', 'q', 'q'));
            std::vector<std::uint32_t> expected;
            for (std::uint32_t b = 0; b < ofBlock.size(); ++b)
                if (std::all_of(asked.begin(), asked.end(),
                                [&](std::uint32_t t) { return ofBlock[b].count(t) > 0; }))
                    expected.push_back(b);
            std::vector<std::uint32_t> blocks;
            ASSERT_TRUE(view->BlocksWithAll(asked, blocks));
            EXPECT_EQ(blocks, expected) << "shift " << shift << " name " << source;
        }
    }
}

// The blob the layout describes, made the plain way: every trigram's
// blocks gathered in a map, then written out one after another.
std::vector<std::byte> PlainIndexOf(const std::vector<std::string>& names, unsigned shift) {
    std::map<std::uint32_t, std::vector<std::uint32_t>> blocksOf;
    for (std::size_t i = 0; i < names.size(); ++i)
        for (const std::uint32_t t : TrigramsOf(names[i])) {
            std::vector<std::uint32_t>& blocks = blocksOf[t];
            const auto block = static_cast<std::uint32_t>(i >> shift);
            if (blocks.empty() || blocks.back() != block) blocks.push_back(block);
        }
    std::vector<std::byte> table, postings;
    const auto put32 = [](std::vector<std::byte>& out, std::uint64_t value, int bytes) {
        for (int i = 0; i < bytes; ++i) out.push_back(static_cast<std::byte>(value >> (8 * i)));
    };
    for (const auto& [trigram, blocks] : blocksOf) {
        put32(table, trigram, 4);
        put32(table, postings.size(), 4);
        put32(table, blocks.size(), 4);
        for (std::size_t i = 0; i < blocks.size(); ++i) {
            std::uint32_t value = i == 0 ? blocks[0] : blocks[i] - blocks[i - 1] - 1;
            for (; value >= 0x80; value >>= 7)
                postings.push_back(static_cast<std::byte>(value | 0x80));
            postings.push_back(static_cast<std::byte>(value));
        }
    }
    std::vector<std::byte> out;
    for (const char c : {'K', 'V', 'N', 'X'}) out.push_back(static_cast<std::byte>(c));
    put32(out, 1, 4);
    put32(out, names.size(), 4);
    put32(out, shift, 4);
    put32(out, blocksOf.size(), 4);
    put32(out, 0, 4);
    put32(out, postings.size(), 8);
    put32(out, 40 + table.size() + postings.size(), 8);
    out.insert(out.end(), table.begin(), table.end());
    out.insert(out.end(), postings.begin(), postings.end());
    return out;
}

TEST(NameIndexTest, TheBlobIsTheOneThePlainBuildGives) {
    std::mt19937 random(3);
    // Few trigrams, and (bytes of any value) many more than the builder's
    // first table holds; blocks far apart give varints of several bytes.
    std::vector<std::string> wide(20000);
    for (std::string& name : wide) {
        name.resize(random() % 12);
        for (char& c : name) c = static_cast<char>(random());
    }
    std::vector<std::string> sparse(70000, "xy");
    sparse[5] = sparse[69999] = "rare.jpg";
    sparse[40000] = "RARE";
    for (const unsigned shift : {0u, 3u, 6u}) {
        for (const std::vector<std::string>& names : {RandomNames(random, 5000), wide, sparse})
            EXPECT_EQ(IndexOf(names, shift), PlainIndexOf(names, shift)) << "shift " << shift;
    }
    EXPECT_EQ(IndexOf({}, 6), PlainIndexOf({}, 6));
}

TEST(NameIndexTest, TrigramsFoldAsciiLettersOnlyAndComeFromLongRunsOfTheMask) {
    EXPECT_EQ(FoldedTrigram('a', 'b', 'c'), FoldedTrigram('A', 'B', 'C'));
    EXPECT_NE(FoldedTrigram('\xc3', '\xa9', 'a'), FoldedTrigram('\xc3', '\x89', 'a'));
    EXPECT_EQ(TrigramsOfMask("*.JPG"), (std::vector<std::uint32_t>{FoldedTrigram('.', 'J', 'P'),
                                                                   FoldedTrigram('J', 'P', 'G')}));
    // Runs shorter than 3 between wildcards give nothing, a "?" splits a run.
    EXPECT_TRUE(TrigramsOfMask("*").empty());
    EXPECT_TRUE(TrigramsOfMask("AB*CD?EF").empty());
    EXPECT_EQ(TrigramsOfMask("AB?CDE*X").size(), 1u);
    EXPECT_EQ(TrigramsOfMask("ABCABC").size(), 3u);  // repeats once
    EXPECT_TRUE(TrigramsOfMask(std::string_view("ABC\0D", 5)).empty());
}

TEST(NameIndexTest, AStoreIsIndexedBySerialDeadEntriesIncluded) {
    EntryStore store(nullptr, 1);
    store.Create("first.jpg", 1, 0, 0, 0, 0);
    FileData* dead = store.Create("gone.jpg", 1, 0, 0, 0, 0);
    store.Create("ab", 1, 0, 0, 0, 0);
    store.Destroy(*dead);
    const std::vector<std::byte> bytes = BuildNameIndex(store, 0);
    const auto view = NameIndexView::Open(bytes);
    ASSERT_TRUE(view);
    EXPECT_EQ(view->NameCount(), 3u);
    std::vector<std::uint32_t> blocks;
    const std::vector<std::uint32_t> jpg = TrigramsOfMask("*.JPG");
    ASSERT_TRUE(view->BlocksWithAll(jpg, blocks));
    EXPECT_EQ(blocks, (std::vector<std::uint32_t>{0, 1}));
    // An empty store makes a valid, empty index.
    EntryStore empty(nullptr, 2);
    const std::vector<std::byte> none = BuildNameIndex(empty);
    const auto emptyView = NameIndexView::Open(none);
    ASSERT_TRUE(emptyView);
    ASSERT_TRUE(emptyView->BlocksWithAll(jpg, blocks));
    EXPECT_TRUE(blocks.empty());
}

TEST(NameIndexTest, DamagedBytesAreRefusedOrAnsweredInsideTheBlob) {
    std::mt19937 random(11);
    const std::vector<std::byte> good = IndexOf(RandomNames(random, 500), 2);
    // Every shorter blob, and a longer one, is refused.
    for (std::size_t size = 0; size < good.size(); ++size)
        EXPECT_FALSE(NameIndexView::Open(std::span(good).first(size))) << size;
    std::vector<std::byte> longer = good;
    longer.push_back(std::byte{0});
    EXPECT_FALSE(NameIndexView::Open(longer));
    std::vector<std::byte> version = good;
    version[4] = std::byte{2};
    EXPECT_FALSE(NameIndexView::Open(version));
    // Bytes changed anywhere either fail to open or answer blocks that
    // exist, in order (the sanitizers watch the reads).
    const std::vector<std::uint32_t> queries = TrigramsOfMask("*ABC*12.*A A*");
    for (int trial = 0; trial < 3000; ++trial) {
        std::vector<std::byte> damaged = good;
        for (int flips = 1 + random() % 3; flips > 0; --flips)
            damaged[random() % damaged.size()] = static_cast<std::byte>(random());
        const auto view = NameIndexView::Open(damaged);
        if (!view) continue;
        std::vector<std::uint32_t> blocks;
        for (const std::uint32_t t : queries) {
            const std::uint32_t one[] = {t};
            if (!view->BlocksWithAll(one, blocks)) continue;
            EXPECT_TRUE(std::is_sorted(blocks.begin(), blocks.end()));
            for (const std::uint32_t b : blocks) EXPECT_LT(b, view->BlockCount());
        }
    }
}

}  // namespace
}  // namespace kestavo
