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
// From how many names a builder keeps a bit per trigram (2 MB) to find the
// repeats within a block, instead of sorting each block's trigrams.
constexpr std::uint32_t kBitsFrom = 4096;

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
void PutVarint(std::vector<std::byte>& out, std::uint32_t value) {
    while (value >= 0x80) {
        out.push_back(static_cast<std::byte>(value | 0x80));
        value >>= 7;
    }
    out.push_back(static_cast<std::byte>(value));
}

// Stable sort of the pairs by their trigram (the upper 32 bits, below
// 2^24) in two passes of 12 bits; the pairs come in block order, which each
// trigram's run keeps.
void SortPairsByTrigram(std::vector<std::uint64_t>& pairs) {
    constexpr unsigned kBits = 12;
    constexpr std::size_t kBuckets = std::size_t{1} << kBits;
    std::vector<std::uint64_t> other(pairs.size());
    std::vector<std::size_t> starts(kBuckets);
    for (unsigned shift = 32; shift < 56; shift += kBits) {
        std::fill(starts.begin(), starts.end(), 0);
        for (const std::uint64_t pair : pairs) ++starts[(pair >> shift) & (kBuckets - 1)];
        std::size_t sum = 0;
        for (std::size_t& start : starts) sum += std::exchange(start, sum);
        for (const std::uint64_t pair : pairs)
            other[starts[(pair >> shift) & (kBuckets - 1)]++] = pair;
        pairs.swap(other);
    }
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
    : blockShift_(std::min(blockShift, kMaxBlockShift)) {}

void NameIndexBuilder::AddName(std::string_view name) {
    if (names_ == UINT32_MAX) {
        tooMany_ = true;
        return;
    }
    const std::uint32_t blockMask = (1u << blockShift_) - 1;
    if (seenInBlock_.empty() && names_ >= kBitsFrom && (names_ & blockMask) == 0)
        seenInBlock_.assign(kTrigramLimit / 64, 0);
    for (std::size_t i = 0; i + 3 <= name.size(); ++i) {
        const std::uint32_t trigram = FoldedTrigram(name[i], name[i + 1], name[i + 2]);
        if (seenInBlock_.empty()) {
            blockTrigrams_.push_back(trigram);
            continue;
        }
        std::uint64_t& word = seenInBlock_[trigram / 64];
        const std::uint64_t bit = std::uint64_t{1} << (trigram % 64);
        if (word & bit) continue;
        word |= bit;
        blockTrigrams_.push_back(trigram);
    }
    ++names_;
    if ((names_ & blockMask) == 0) EndBlock();
}

void NameIndexBuilder::EndBlock() {
    if (blockTrigrams_.empty()) return;
    const std::uint64_t block = (names_ - 1) >> blockShift_;
    if (seenInBlock_.empty()) {
        std::sort(blockTrigrams_.begin(), blockTrigrams_.end());
        blockTrigrams_.erase(std::unique(blockTrigrams_.begin(), blockTrigrams_.end()),
                             blockTrigrams_.end());
    }
    // Each trigram of the block once, in any order: the sort by trigram
    // that follows keeps the blocks in order.
    for (const std::uint32_t trigram : blockTrigrams_) {
        pairs_.push_back(std::uint64_t{trigram} << 32 | block);
        if (!seenInBlock_.empty()) seenInBlock_[trigram / 64] = 0;
    }
    blockTrigrams_.clear();
}

std::vector<std::byte> NameIndexBuilder::Finish() {
    EndBlock();
    if (tooMany_) return {};
    SortPairsByTrigram(pairs_);
    std::size_t trigrams = 0;
    for (std::size_t i = 0; i < pairs_.size(); ++i)
        if (i == 0 || pairs_[i] >> 32 != pairs_[i - 1] >> 32) ++trigrams;
    std::vector<std::byte> out(kHeaderBytes + trigrams * kTableRowBytes);
    out.reserve(out.size() + pairs_.size() + pairs_.size() / 4);
    std::size_t row = 0;
    std::uint32_t previous = 0;
    for (std::size_t i = 0; i < pairs_.size(); ++i) {
        const std::uint32_t trigram = static_cast<std::uint32_t>(pairs_[i] >> 32);
        const std::uint32_t block = static_cast<std::uint32_t>(pairs_[i]);
        const bool first = i == 0 || pairs_[i - 1] >> 32 != trigram;
        if (first) {
            const std::size_t at = kHeaderBytes + row * kTableRowBytes;
            const std::size_t offset = out.size() - (kHeaderBytes + trigrams * kTableRowBytes);
            if (offset > UINT32_MAX) return {};
            PutU32(out, at, trigram);
            PutU32(out, at + 4, static_cast<std::uint32_t>(offset));
            PutU32(out, at + 8, 0);
            ++row;
            PutVarint(out, block);
        } else {
            PutVarint(out, block - previous - 1);
        }
        const std::size_t countAt = kHeaderBytes + (row - 1) * kTableRowBytes + 8;
        PutU32(out, countAt, GetU32(out, countAt) + 1);
        previous = block;
    }
    std::memcpy(out.data(), kMagic.data(), kMagic.size());
    PutU32(out, 4, kVersion);
    PutU32(out, 8, names_);
    PutU32(out, 12, blockShift_);
    PutU32(out, 16, static_cast<std::uint32_t>(trigrams));
    PutU32(out, 20, 0);
    PutU64(out, 24, out.size() - kHeaderBytes - trigrams * kTableRowBytes);
    PutU64(out, 32, out.size());
    pairs_ = {};
    seenInBlock_ = {};
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
