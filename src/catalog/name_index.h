// SPDX-License-Identifier: GPL-3.0-or-later
// A trigram index of the names of one entry store, for finding the entries
// whose names may hold a literal text without reading every name. The names
// are taken in creation order, in blocks of a fixed count; for every three
// bytes that occur together in a name (a-z read as A-Z, as masks match
// them) the index keeps the sorted numbers of the blocks where they occur,
// as varint deltas. The index is one self-contained byte blob with no
// pointers in it, so that it can be written to a file and mapped back; the
// view reads it in place and checks every offset and length before use.
//
// Layout (little-endian): a header (magic, version, name count, block
// shift, trigram count, posting bytes, total bytes), the trigram table
// sorted by trigram (trigram, posting offset, block count: 3 x u32), then
// the postings. A posting is its first block number, then each next block
// as the distance from the previous one less one, all as LEB128 varints.
#pragma once

#include <cstddef>
#include <cstdint>
#include <memory>
#include <optional>
#include <span>
#include <string_view>
#include <vector>

namespace kestavo {

class EntryStore;

// The key of the three bytes `a`, `b`, `c` of a name, a-z read as A-Z.
std::uint32_t FoldedTrigram(char a, char b, char c);

// The trigrams that every name matching the upper-cased mask `mask` must
// hold: those of each literal run of 3 bytes or more between the wildcards,
// without repeats. Empty when there is no such run, and for a mask the
// index cannot answer (one holding a NUL byte).
std::vector<std::uint32_t> TrigramsOfMask(std::string_view mask);

// Blocks of 2^kNameIndexBlockShift names: 64 names keep the index near a
// byte per name while a block read for one hit costs little.
inline constexpr unsigned kNameIndexBlockShift = 6;

// Builds the index of names given in creation order, one AddName each.
// Each trigram seen is numbered on first sight in a small hash table that
// stays in the processor's cache, where it also keeps the last block it
// occurs in: the work per trigram of a name is one lookup and no branch on
// whether the block had it before. The (block, trigram) pairs are kept as
// trigram numbers, block after block, with each posting's length counted
// as they come, so that Finish writes every posting in place in one pass.
class NameIndexBuilder {
public:
    explicit NameIndexBuilder(unsigned blockShift = kNameIndexBlockShift);
    void AddName(std::string_view name);
    // The blob; empty when the names were too many for the layout.
    std::vector<std::byte> Finish();

private:
    // A trigram seen, with what its posting will hold so far, in one
    // place so that a trigram's turn touches one line of memory.
    struct Slot {
        std::uint32_t key = 0;
        // The last block the trigram occurs in, plus one (0: none yet).
        std::uint32_t lastBlockMark = 0;
        std::uint32_t number = 0;  // in order of first sight
        std::uint32_t blocks = 0;
        std::uint64_t postingBytes = 0;
    };
    struct BlockStart {
        std::uint32_t block;
        std::size_t start;  // in pairs_
    };

    // The slot of trigram `key`, made on first sight.
    Slot& SlotOf(std::uint32_t key);
    Slot& AddTrigram(std::uint32_t key, std::size_t at);
    void GrowSlots();

    unsigned blockShift_;
    std::uint32_t names_ = 0;
    bool tooMany_ = false;
    std::vector<Slot> slots_;  // open addressing, a power of two of them
    unsigned slotBits_ = 0;
    std::uint32_t trigramCount_ = 0;
    // The numbers of the trigrams new to each block, block after block (the
    // first pairCount_ of them); blockStarts_ holds where each block starts.
    std::vector<std::uint32_t> pairs_;
    std::size_t pairCount_ = 0;
    std::vector<BlockStart> blockStarts_;
};

std::vector<std::byte> BuildNameIndex(std::span<const std::string_view> names,
                                      unsigned blockShift = kNameIndexBlockShift);
// The index of every name of `store`, dead entries' included, by serial.
std::vector<std::byte> BuildNameIndex(const EntryStore& store,
                                      unsigned blockShift = kNameIndexBlockShift);

class NameIndexView {
public:
    // A view over `bytes`, which must stay unchanged while it is used;
    // `keepAlive`, when given, is held by the view (and its copies) for as
    // long as they live. Empty when the bytes are not a whole, valid index.
    static std::optional<NameIndexView> Open(std::span<const std::byte> bytes,
                                             std::shared_ptr<const void> keepAlive = {});

    // The names indexed: those of serials 0 to NameCount() - 1.
    std::uint32_t NameCount() const { return nameCount_; }
    unsigned BlockShift() const { return blockShift_; }
    std::uint32_t BlockCount() const {
        return static_cast<std::uint32_t>((std::uint64_t{nameCount_} + (1u << blockShift_) - 1) >>
                                          blockShift_);
    }
    std::size_t TrigramCount() const { return trigramCount_; }
    std::size_t ByteSize() const { return bytes_.size(); }

    // Puts into `blocks`, in increasing order, the blocks where every one of
    // `trigrams` occurs (a superset of the blocks with a name holding them
    // all); none for no trigrams. False, with `blocks` empty, when a
    // posting turns out damaged.
    bool BlocksWithAll(std::span<const std::uint32_t> trigrams,
                       std::vector<std::uint32_t>& blocks) const;

private:
    struct Posting {
        std::uint32_t offset = 0, end = 0, blocks = 0;
    };
    // The posting of `trigram`, or nullopt when no name holds it.
    std::optional<Posting> Find(std::uint32_t trigram) const;
    bool Decode(const Posting& posting, std::vector<std::uint32_t>& out) const;
    bool Table(std::size_t i, std::uint32_t& trigram, std::uint32_t& offset,
               std::uint32_t& blocks) const;

    std::span<const std::byte> bytes_;
    std::shared_ptr<const void> keepAlive_;
    std::uint32_t nameCount_ = 0;
    unsigned blockShift_ = 0;
    std::uint32_t trigramCount_ = 0;
    std::size_t tableAt_ = 0;
    std::size_t postingsAt_ = 0;
    std::size_t postingBytes_ = 0;
};

}  // namespace kestavo
