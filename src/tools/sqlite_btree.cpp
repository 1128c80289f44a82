// SPDX-License-Identifier: GPL-3.0-or-later
#include "tools/sqlite_btree.h"

#include <algorithm>
#include <cstring>

#include "tools/sqlite_record.h"

namespace kestavo::sqlite_file {
namespace {

// How much of a payload SQLite keeps in the page, the rest going to
// overflow pages (the file format's X, M and K).
constexpr std::size_t kUsable = kPageSize;
constexpr std::size_t kTableMaxLocal = kUsable - 35;
constexpr std::size_t kIndexMaxLocal = (kUsable - 12) * 64 / 255 - 23;
constexpr std::size_t kMinLocal = (kUsable - 12) * 32 / 255 - 23;
constexpr std::size_t kOverflowData = kUsable - 4;

std::size_t LocalSize(TreeKind kind, std::size_t payload) {
    const std::size_t maxLocal = kind == TreeKind::kTable ? kTableMaxLocal : kIndexMaxLocal;
    if (payload <= maxLocal) return payload;
    const std::size_t local = kMinLocal + (payload - kMinLocal) % kOverflowData;
    return local <= maxLocal ? local : kMinLocal;
}

std::uint32_t ReadBigEndian32(const std::uint8_t* in) {
    return static_cast<std::uint32_t>(in[0]) << 24 | static_cast<std::uint32_t>(in[1]) << 16 |
           static_cast<std::uint32_t>(in[2]) << 8 | in[3];
}

}  // namespace

OpenPage::OpenPage(std::uint8_t flag, std::size_t headerAt)
    : bytes_(kPageSize), flag_(flag), headerAt_(headerAt) {
    Reset();
}

std::size_t OpenPage::HeaderSize() const {
    return flag_ == kTableInteriorPage || flag_ == kIndexInteriorPage ? 12 : 8;
}

void OpenPage::Reset() {
    cells_ = 0;
    pointersEnd_ = headerAt_ + HeaderSize();
    contentStart_ = kPageSize;
    lastSize_ = 0;
    rightChild_ = 0;
}

void OpenPage::Add(const std::uint8_t* cell, std::size_t size) {
    contentStart_ -= size;
    std::memcpy(bytes_.data() + contentStart_, cell, size);
    PutBigEndian(bytes_.data() + pointersEnd_, contentStart_, 2);
    pointersEnd_ += 2;
    ++cells_;
    lastSize_ = size;
}

std::span<const std::uint8_t> OpenPage::LastCell() const {
    return {bytes_.data() + contentStart_, lastSize_};
}

void OpenPage::DropLastCell() {
    contentStart_ += lastSize_;
    pointersEnd_ -= 2;
    --cells_;
    lastSize_ = 0;
}

const std::uint8_t* OpenPage::Finish() {
    std::uint8_t* header = bytes_.data() + headerAt_;
    header[0] = flag_;
    PutBigEndian(header + 1, 0, 2);  // no free blocks
    PutBigEndian(header + 3, cells_, 2);
    PutBigEndian(header + 5, contentStart_ == 65536 ? 0 : contentStart_, 2);
    header[7] = 0;  // no fragments
    if (HeaderSize() == 12) PutBigEndian(header + 8, rightChild_, 4);
    std::memset(bytes_.data() + pointersEnd_, 0, contentStart_ - pointersEnd_);
    return bytes_.data();
}

std::size_t CellMaker::Prefix(std::int64_t rowid, std::size_t size) {
    const std::size_t most = 2 * 9 + size + Record::kSlack;
    if (cell_.size() < most) cell_.resize(most);
    std::uint8_t* at = PutVarint(cell_.data(), size);
    if (kind_ == TreeKind::kTable) at = PutVarint(at, static_cast<std::uint64_t>(rowid));
    return static_cast<std::size_t>(at - cell_.data());
}

std::span<const std::uint8_t> CellMaker::Spill(std::size_t prefix, std::size_t size) {
    const std::size_t local = LocalSize(kind_, size);
    if (local == size) return {cell_.data(), prefix + size};
    // The overflow pages take the pages that come next, in a chain.
    const std::uint32_t first = sink_.NextPage();
    overflow_.assign(kPageSize, 0);
    const std::uint8_t* rest = cell_.data() + prefix + local;
    std::size_t left = size - local;
    while (left > 0) {
        const std::size_t part = std::min(left, kOverflowData);
        left -= part;
        PutBigEndian(overflow_.data(), left > 0 ? sink_.NextPage() + 1 : 0, 4);
        std::memcpy(overflow_.data() + 4, rest, part);
        std::memset(overflow_.data() + 4 + part, 0, kOverflowData - part);
        sink_.Put(overflow_.data());
        rest += part;
    }
    if (cell_.size() < prefix + local + 4) cell_.resize(prefix + local + 4);
    PutBigEndian(cell_.data() + prefix + local, first, 4);
    return {cell_.data(), prefix + local + 4};
}

BtreeBuilder::BtreeBuilder(PageSink& sink, TreeKind kind) : sink_(sink), kind_(kind) {
    levels_.emplace_back(kind == TreeKind::kTable ? kTableLeafPage : kIndexLeafPage);
}

BtreeBuilder::Level& BtreeBuilder::LevelAt(std::size_t level) {
    while (levels_.size() <= level)
        levels_.emplace_back(kind_ == TreeKind::kTable ? kTableInteriorPage : kIndexInteriorPage);
    return levels_[level];
}

void BtreeBuilder::AddRow(std::int64_t rowid, std::span<const std::uint8_t> cell) {
    OpenPage& leaf = levels_[0].page;
    if (!leaf.Fits(cell.size())) {
        // A table's interior cell keys its child by the child's last rowid.
        const std::uint32_t closed = Close(levels_[0]);
        std::uint8_t key[9];
        const std::uint8_t* end = PutVarint(key, static_cast<std::uint64_t>(lastRowid_));
        AddAt(1, closed, {key, static_cast<std::size_t>(end - key)});
    }
    leaf.Add(cell.data(), cell.size());
    lastRowid_ = rowid;
}

void BtreeBuilder::AddKey(std::span<const std::uint8_t> cell) {
    AddAt(0, 0, cell);
}

// The cell that did not fit in a page is held until the next one comes: a
// page is closed only when a cell follows it, so that no page is left empty.
// The held cell then goes up as the divider of the closed page.
void BtreeBuilder::AddAt(std::size_t level, std::uint32_t child,
                         std::span<const std::uint8_t> body) {
    Level& at = LevelAt(level);
    if (at.hasPending) {
        const std::vector<std::uint8_t> up = std::move(at.pending);
        at.pending.clear();
        at.hasPending = false;
        if (Interior(level)) at.page.SetRightChild(at.pendingChild);
        const std::uint32_t closed = Close(at);
        AddAt(level + 1, closed, up);
        AddToPage(level, child, body);
        return;
    }
    if (at.page.Fits(body.size() + (Interior(level) ? 4 : 0))) {
        AddToPage(level, child, body);
        return;
    }
    at.pending.assign(body.begin(), body.end());
    at.pendingChild = child;
    at.hasPending = true;
}

void BtreeBuilder::AddToPage(std::size_t level, std::uint32_t child,
                             std::span<const std::uint8_t> body) {
    OpenPage& page = levels_[level].page;
    if (!Interior(level)) {
        page.Add(body.data(), body.size());
        return;
    }
    scratch_.resize(4 + body.size());
    PutBigEndian(scratch_.data(), child, 4);
    std::memcpy(scratch_.data() + 4, body.data(), body.size());
    page.Add(scratch_.data(), scratch_.size());
}

std::uint32_t BtreeBuilder::Close(Level& level) {
    const std::uint32_t number = sink_.NextPage();
    sink_.Put(level.page.Finish());
    level.page.Reset();
    return number;
}

// At the end a held cell has no follower: the last cell of the full page
// goes up in its place and the held cell starts the last page.
void BtreeBuilder::PromoteLastCell(std::size_t level) {
    Level& at = levels_[level];
    const std::span<const std::uint8_t> last = at.page.LastCell();
    const std::vector<std::uint8_t> cell(last.begin(), last.end());
    at.page.DropLastCell();
    std::span<const std::uint8_t> body(cell);
    if (Interior(level)) {
        at.page.SetRightChild(ReadBigEndian32(cell.data()));
        body = body.subspan(4);
    }
    const std::uint32_t closed = Close(at);
    AddAt(level + 1, closed, body);
    const std::vector<std::uint8_t> held = std::move(at.pending);
    at.pending.clear();
    at.hasPending = false;
    AddToPage(level, at.pendingChild, held);
}

std::uint32_t BtreeBuilder::Finish() {
    std::uint32_t right = 0;
    std::size_t level = 0;
    if (kind_ == TreeKind::kTable) {
        right = Close(levels_[0]);
        level = 1;
    }
    for (; level < levels_.size(); ++level) {
        Level& at = levels_[level];
        if (at.hasPending) PromoteLastCell(level);
        if (Interior(level)) at.page.SetRightChild(right);
        right = Close(at);
    }
    return right;
}

}  // namespace kestavo::sqlite_file
