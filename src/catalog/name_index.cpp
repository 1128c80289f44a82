// SPDX-License-Identifier: GPL-3.0-or-later
#include "catalog/name_index.h"

#include <algorithm>
#include <array>
#include <cstring>
#include <utility>

#include "catalog/entry_store.h"
#include "catalog/name_compare.h"

namespace kestavo {
namespace {

constexpr std::array<char, 4> kMagic = {'K', 'V', 'N', 'X'};
constexpr std::uint32_t kVersion = 1;
constexpr std::size_t kHeaderBytes = 40;
constexpr std::size_t kTableRowBytes = 12;
constexpr unsigned kMaxBlockShift = 16;
constexpr std::uint32_t kTrigramLimit = 1u << 24;

void PutU32(std::vector<std::byte>& out, std::size_t at, std::uint32_t value) {
    for (int i = 0; i < 4; ++i) out[at + i] = static_cast<std::byte>(value >> (8 * i));
}
void PutU64(std::vector<std::byte>& out, std::size_t at, std::uint64_t value) {
    for (int i = 0; i < 8; ++i) out[at + i] = static_cast<std::byte>(value >> (8 * i));
}
std::uint32_t GetU32(std::span<const std::byte> in, std::size_t at) {
    std::uint32_t value = 0;
    for (int i = 3; i >= 0; --i) value = value << 8 | std::to_integer<std::uint32_t>(in[at + i]);
    return value;
}
std::uint64_t GetU64(std::span<const std::byte> in, std::size_t at) {
    std::uint64_t value = 0;
    for (int i = 7; i >= 0; --i) value = value << 8 | std::to_integer<std::uint64_t>(in[at + i]);
    return value;
}
// Writes `value` as a LEB128 varint at `at`; answers where it ends.
// A posting keeps each block as its distance from the block before, less
// one: the block less the last one's mark (its number plus one; 0 before
// the first, which so is kept as it is).
std::size_t PutVarintAt(std::vector<std::byte>& out, std::size_t at, std::uint32_t value) {
    while (value >= 0x80) {
        out[at++] = static_cast<std::byte>(value | 0x80);
        value >>= 7;
    }
    out[at++] = static_cast<std::byte>(value);
    return at;
}
std::uint64_t VarintBytes(std::uint32_t value) {
    return 1 + std::uint64_t{value >= 1u << 7} + std::uint64_t{value >= 1u << 14} +
           std::uint64_t{value >= 1u << 21} + std::uint64_t{value >= 1u << 28};
}

std::uint32_t FoldedByte(char c) {
    return static_cast<unsigned char>(UpperCasedAscii(c));
}

// No trigram has this key: it marks a free slot.
constexpr std::uint32_t kNoKey = UINT32_MAX;
// 4096 slots: room for the 1024 trigrams of a small catalog before the
// table first doubles; a large one has a few thousand.
constexpr unsigned kFirstSlotBits = 12;

std::size_t HashOf(std::uint32_t key, unsigned slotBits) {
    return (key * 0x9E3779B1u) >> (32 - slotBits);
}

}  // namespace

std::uint32_t FoldedTrigram(char a, char b, char c) {
    return std::uint32_t{static_cast<unsigned char>(UpperCasedAscii(a))} << 16 |
           std::uint32_t{static_cast<unsigned char>(UpperCasedAscii(b))} << 8 |
           std::uint32_t{static_cast<unsigned char>(UpperCasedAscii(c))};
}

std::vector<std::uint32_t> TrigramsOfMask(std::string_view mask) {
    std::vector<std::uint32_t> trigrams;
    if (mask.find('\0') != std::string_view::npos) return trigrams;
    std::size_t runStart = 0;
    for (std::size_t i = 0; i <= mask.size(); ++i) {
        if (i < mask.size() && mask[i] != '*' && mask[i] != '?') continue;
        for (std::size_t k = runStart; k + 3 <= i; ++k)
            trigrams.push_back(FoldedTrigram(mask[k], mask[k + 1], mask[k + 2]));
        runStart = i + 1;
    }
    std::sort(trigrams.begin(), trigrams.end());
    trigrams.erase(std::unique(trigrams.begin(), trigrams.end()), trigrams.end());
    return trigrams;
}

NameIndexBuilder::NameIndexBuilder(unsigned blockShift)
    : blockShift_(std::min(blockShift, kMaxBlockShift)),
      slots_(std::size_t{1} << kFirstSlotBits, Slot{.key = kNoKey}),
      slotBits_(kFirstSlotBits) {}

NameIndexBuilder::Slot& NameIndexBuilder::SlotOf(std::uint32_t key) {
    const std::size_t mask = slots_.size() - 1;
    for (std::size_t at = HashOf(key, slotBits_);; at = (at + 1) & mask) {
        Slot& slot = slots_[at];
        if (slot.key == key) [[likely]]
            return slot;
        if (slot.key == kNoKey) return AddTrigram(key, at);
    }
}

NameIndexBuilder::Slot& NameIndexBuilder::AddTrigram(std::uint32_t key, std::size_t at) {
    slots_[at] = Slot{.key = key, .number = trigramCount_++};
    // At most a quarter of the slots in use: a lookup then seldom finds
    // another trigram first, which costs a mispredicted branch.
    if (std::size_t{trigramCount_} * 4 <= slots_.size()) return slots_[at];
    GrowSlots();
    return SlotOf(key);
}

void NameIndexBuilder::GrowSlots() {
    std::vector<Slot> old(std::size_t{1} << ++slotBits_, Slot{.key = kNoKey});
    old.swap(slots_);
    const std::size_t mask = slots_.size() - 1;
    for (const Slot& slot : old) {
        if (slot.key == kNoKey) continue;
        std::size_t at = HashOf(slot.key, slotBits_);
        while (slots_[at].key != kNoKey) at = (at + 1) & mask;
        slots_[at] = slot;
    }
}

void NameIndexBuilder::AddName(std::string_view name) {
    if (names_ == UINT32_MAX) {
        tooMany_ = true;
        return;
    }
    const std::uint32_t block = names_ >> blockShift_;
    const std::uint32_t mark = block + 1;
    ++names_;
    if (blockStarts_.empty() || blockStarts_.back().block != block)
        blockStarts_.push_back(BlockStart{block, pairCount_});
    if (name.size() < 3) return;
    // Room for a pair per trigram of the name, so that each is stored
    // unconditionally and only counted when new to the block.
    if (pairs_.size() - pairCount_ < name.size())
        pairs_.resize(std::max(pairs_.size() * 2, pairCount_ + name.size() + 1024));
    std::uint32_t* const pairs = pairs_.data();
    std::size_t count = pairCount_;
    std::uint32_t key = FoldedByte(name[0]) << 8 | FoldedByte(name[1]);
    for (std::size_t i = 2; i < name.size(); ++i) {
        key = (key << 8 | FoldedByte(name[i])) & (kTrigramLimit - 1);
        Slot& slot = SlotOf(key);
        const std::uint32_t lastMark = std::exchange(slot.lastBlockMark, mark);
        // 1 when the block is new to the trigram, else 0; used as a
        // number (and a mask) so that nothing branches on it.
        const std::uint32_t isNew = lastMark != mark;
        slot.blocks += isNew;
        slot.postingBytes += VarintBytes(block - lastMark) & (std::uint64_t{0} - isNew);
        pairs[count] = slot.number;
        count += isNew;
    }
    pairCount_ = count;
}

std::vector<std::byte> NameIndexBuilder::Finish() {
    if (tooMany_) return {};
    // The table lists the trigrams by key; a posting follows another in
    // the same order.
    std::vector<std::uint64_t> order;  // key << 32 | slot
    order.reserve(trigramCount_);
    for (std::size_t at = 0; at < slots_.size(); ++at)
        if (slots_[at].key != kNoKey) order.push_back(std::uint64_t{slots_[at].key} << 32 | at);
    std::sort(order.begin(), order.end());
    std::uint64_t postingBytes = 0;
    for (const std::uint64_t keyed : order) {
        if (postingBytes > UINT32_MAX) return {};
        postingBytes += slots_[static_cast<std::uint32_t>(keyed)].postingBytes;
    }
    const std::size_t postingsAt = kHeaderBytes + order.size() * kTableRowBytes;
    std::vector<std::byte> out(postingsAt + postingBytes);
    // Where each posting, by trigram number, is written next.
    std::vector<std::uint64_t> ends(trigramCount_);
    std::uint64_t offset = 0;
    for (std::size_t row = 0; row < order.size(); ++row) {
        const Slot& slot = slots_[static_cast<std::uint32_t>(order[row])];
        const std::size_t at = kHeaderBytes + row * kTableRowBytes;
        PutU32(out, at, slot.key);
        PutU32(out, at + 4, static_cast<std::uint32_t>(offset));
        PutU32(out, at + 8, slot.blocks);
        ends[slot.number] = postingsAt + offset;
        offset += slot.postingBytes;
    }
    // Each block's pairs go to the ends of their postings, which so get
    // their blocks in order.
    std::vector<std::uint32_t> lastBlockMarks(trigramCount_, 0);
    for (std::size_t b = 0; b < blockStarts_.size(); ++b) {
        const std::uint32_t block = blockStarts_[b].block;
        const std::size_t end =
            b + 1 < blockStarts_.size() ? blockStarts_[b + 1].start : pairCount_;
        for (std::size_t i = blockStarts_[b].start; i < end; ++i) {
            const std::uint32_t number = pairs_[i];
            const std::uint32_t lastMark = std::exchange(lastBlockMarks[number], block + 1);
            ends[number] = PutVarintAt(out, ends[number], block - lastMark);
        }
    }
    std::memcpy(out.data(), kMagic.data(), kMagic.size());
    PutU32(out, 4, kVersion);
    PutU32(out, 8, names_);
    PutU32(out, 12, blockShift_);
    PutU32(out, 16, trigramCount_);
    PutU32(out, 20, 0);
    PutU64(out, 24, postingBytes);
    PutU64(out, 32, out.size());
    slots_ = {};
    pairs_ = {};
    blockStarts_ = {};
    return out;
}

std::vector<std::byte> BuildNameIndex(std::span<const std::string_view> names,
                                      unsigned blockShift) {
    NameIndexBuilder builder(blockShift);
    for (const std::string_view name : names) builder.AddName(name);
    return builder.Finish();
}

std::vector<std::byte> BuildNameIndex(const EntryStore& store, unsigned blockShift) {
    NameIndexBuilder builder(blockShift);
    const std::uint32_t count = store.CreatedCount();
    for (std::uint32_t serial = 0; serial < count; ++serial)
        builder.AddName(store.EntryAt(serial).GetName());
    return builder.Finish();
}

std::optional<NameIndexView> NameIndexView::Open(std::span<const std::byte> bytes,
                                                 std::shared_ptr<const void> keepAlive) {
    if (bytes.size() < kHeaderBytes) return std::nullopt;
    if (std::memcmp(bytes.data(), kMagic.data(), kMagic.size()) != 0) return std::nullopt;
    if (GetU32(bytes, 4) != kVersion || GetU32(bytes, 20) != 0) return std::nullopt;
    NameIndexView view;
    view.nameCount_ = GetU32(bytes, 8);
    const std::uint32_t shift = GetU32(bytes, 12);
    view.trigramCount_ = GetU32(bytes, 16);
    const std::uint64_t postingBytes = GetU64(bytes, 24);
    const std::uint64_t total = GetU64(bytes, 32);
    if (shift > kMaxBlockShift || total != bytes.size()) return std::nullopt;
    view.blockShift_ = shift;
    const std::uint64_t tableBytes = std::uint64_t{view.trigramCount_} * kTableRowBytes;
    if (tableBytes > total - kHeaderBytes || postingBytes != total - kHeaderBytes - tableBytes ||
        postingBytes > UINT32_MAX)
        return std::nullopt;
    view.bytes_ = bytes;
    view.tableAt_ = kHeaderBytes;
    view.postingsAt_ = kHeaderBytes + static_cast<std::size_t>(tableBytes);
    view.postingBytes_ = static_cast<std::size_t>(postingBytes);
    // The table must be sorted with postings in order and each long enough
    // for its blocks, so that a lookup and a decode stay inside the blob.
    const std::uint32_t blockCount = view.BlockCount();
    std::uint32_t lastTrigram = 0, lastOffset = 0, lastBlocks = 0;
    for (std::size_t i = 0; i < view.trigramCount_; ++i) {
        std::uint32_t trigram = 0, offset = 0, blocks = 0;
        view.Table(i, trigram, offset, blocks);
        if (trigram >= kTrigramLimit || (i > 0 && trigram <= lastTrigram)) return std::nullopt;
        if (blocks == 0 || blocks > blockCount) return std::nullopt;
        if (i == 0 ? offset != 0 : offset < lastOffset || offset - lastOffset < lastBlocks)
            return std::nullopt;
        if (offset > view.postingBytes_) return std::nullopt;
        lastTrigram = trigram;
        lastOffset = offset;
        lastBlocks = blocks;
    }
    if (view.trigramCount_ > 0 && view.postingBytes_ - lastOffset < lastBlocks) return std::nullopt;
    if (view.trigramCount_ == 0 && view.postingBytes_ != 0) return std::nullopt;
    view.keepAlive_ = std::move(keepAlive);
    return view;
}

bool NameIndexView::Table(std::size_t i, std::uint32_t& trigram, std::uint32_t& offset,
                          std::uint32_t& blocks) const {
    if (i >= trigramCount_) return false;
    const std::size_t at = tableAt_ + i * kTableRowBytes;
    trigram = GetU32(bytes_, at);
    offset = GetU32(bytes_, at + 4);
    blocks = GetU32(bytes_, at + 8);
    return true;
}

std::optional<NameIndexView::Posting> NameIndexView::Find(std::uint32_t trigram) const {
    std::size_t low = 0, high = trigramCount_;
    while (low < high) {
        const std::size_t middle = low + (high - low) / 2;
        if (GetU32(bytes_, tableAt_ + middle * kTableRowBytes) < trigram)
            low = middle + 1;
        else
            high = middle;
    }
    std::uint32_t found = 0, offset = 0, blocks = 0;
    if (!Table(low, found, offset, blocks) || found != trigram) return std::nullopt;
    std::uint32_t next = static_cast<std::uint32_t>(postingBytes_);
    std::uint32_t nextTrigram = 0, nextBlocks = 0;
    Table(low + 1, nextTrigram, next, nextBlocks);
    return Posting{offset, next, blocks};
}

bool NameIndexView::Decode(const Posting& posting, std::vector<std::uint32_t>& out) const {
    out.clear();
    if (posting.offset > posting.end || posting.end > postingBytes_) return false;
    const std::span<const std::byte> data =
        bytes_.subspan(postingsAt_ + posting.offset, posting.end - posting.offset);
    const std::uint32_t blockCount = BlockCount();
    std::size_t at = 0;
    std::uint64_t block = 0;
    out.reserve(posting.blocks);
    for (std::uint32_t n = 0; n < posting.blocks; ++n) {
        std::uint64_t value = 0;
        for (unsigned shift = 0;; shift += 7) {
            if (at == data.size() || shift > 28) return out.clear(), false;
            const auto byte = std::to_integer<std::uint32_t>(data[at++]);
            value |= std::uint64_t{byte & 0x7f} << shift;
            if ((byte & 0x80) == 0) break;
        }
        block = n == 0 ? value : block + value + 1;
        if (block >= blockCount) return out.clear(), false;
        out.push_back(static_cast<std::uint32_t>(block));
    }
    return true;
}

bool NameIndexView::BlocksWithAll(std::span<const std::uint32_t> trigrams,
                                  std::vector<std::uint32_t>& blocks) const {
    blocks.clear();
    if (trigrams.empty()) return true;
    std::vector<Posting> postings;
    postings.reserve(trigrams.size());
    for (const std::uint32_t trigram : trigrams) {
        const std::optional<Posting> posting = Find(trigram);
        if (!posting) return true;
        postings.push_back(*posting);
    }
    // From the shortest posting, so that the candidates only shrink.
    std::sort(postings.begin(), postings.end(),
              [](const Posting& a, const Posting& b) { return a.blocks < b.blocks; });
    if (!Decode(postings.front(), blocks)) return false;
    std::vector<std::uint32_t> other;
    for (std::size_t i = 1; i < postings.size() && !blocks.empty(); ++i) {
        if (!Decode(postings[i], other)) return blocks.clear(), false;
        std::size_t kept = 0, j = 0;
        for (const std::uint32_t block : blocks) {
            while (j < other.size() && other[j] < block) ++j;
            if (j < other.size() && other[j] == block) blocks[kept++] = block;
        }
        blocks.resize(kept);
    }
    return true;
}

}  // namespace kestavo
