// SPDX-License-Identifier: GPL-3.0-or-later
// SQLite b-trees built bottom-up from cells that arrive in key order: table
// trees from rows in rowid order, index trees from sorted keys. Pages are
// filled as far as they go and numbered in the order they are finished;
// interior pages follow the pages below them.
#pragma once

#include <cstddef>
#include <cstdint>
#include <deque>
#include <span>
#include <vector>

namespace kestavo::sqlite_file {

inline constexpr std::size_t kPageSize = 4096;

// Receives finished pages and numbers them on from the first one it gets.
class PageSink {
public:
    explicit PageSink(std::uint32_t firstPage) : next_(firstPage) {}
    virtual ~PageSink() = default;
    PageSink(const PageSink&) = delete;
    PageSink& operator=(const PageSink&) = delete;

    // The number the next page gets.
    std::uint32_t NextPage() const { return next_; }
    // Takes kPageSize bytes as page NextPage().
    void Put(const std::uint8_t* page) {
        Store(next_, page);
        ++next_;
    }

protected:
    virtual void Store(std::uint32_t number, const std::uint8_t* page) = 0;

private:
    std::uint32_t next_;
};

// Only counts the pages: what a tree will take before it is written.
class CountingSink : public PageSink {
public:
    using PageSink::PageSink;

protected:
    void Store(std::uint32_t, const std::uint8_t*) override {}
};

enum class TreeKind { kTable, kIndex };

// The first byte of a b-tree page: what kind of page it is.
inline constexpr std::uint8_t kTableInteriorPage = 5;
inline constexpr std::uint8_t kTableLeafPage = 13;
inline constexpr std::uint8_t kIndexInteriorPage = 2;
inline constexpr std::uint8_t kIndexLeafPage = 10;

// The b-tree page being filled: cell pointers grow from the header on,
// the cells from the end of the page down.
class OpenPage {
public:
    // `headerAt`: 100 on the first page of the file, after its header.
    OpenPage(std::uint8_t flag, std::size_t headerAt = 0);

    bool Fits(std::size_t cellSize) const { return pointersEnd_ + 2 + cellSize <= contentStart_; }
    void Add(const std::uint8_t* cell, std::size_t size);
    std::size_t CellCount() const { return cells_; }
    // The cell added last, until the next change.
    std::span<const std::uint8_t> LastCell() const;
    void DropLastCell();
    void SetRightChild(std::uint32_t page) { rightChild_ = page; }
    // Completes the header and answers the page; Reset() starts the next.
    const std::uint8_t* Finish();
    void Reset();

private:
    std::size_t HeaderSize() const;

    std::vector<std::uint8_t> bytes_;
    std::uint8_t flag_;
    std::size_t headerAt_;
    std::size_t cells_ = 0;
    std::size_t pointersEnd_ = 0;
    std::size_t contentStart_ = kPageSize;
    std::size_t lastSize_ = 0;
    std::uint32_t rightChild_ = 0;
};

// Turns payloads into the cells of a tree, the part that does not fit in a
// page written to overflow pages of `sink` on the spot. The cell answered
// lives until the next call.
class CellMaker {
public:
    CellMaker(PageSink& sink, TreeKind kind) : sink_(sink), kind_(kind) {}
    // The payload is written by `write` into the `size` bytes it is given.
    template <typename Write>
    std::span<const std::uint8_t> Make(std::int64_t rowid, std::size_t size, Write write);

private:
    std::size_t Prefix(std::int64_t rowid, std::size_t size);
    std::span<const std::uint8_t> Spill(std::size_t prefix, std::size_t size);

    PageSink& sink_;
    TreeKind kind_;
    std::vector<std::uint8_t> cell_;
    std::vector<std::uint8_t> overflow_;
};

// One tree, filled in key order.
class BtreeBuilder {
public:
    BtreeBuilder(PageSink& sink, TreeKind kind);

    // A table's leaf cell, rowids rising.
    void AddRow(std::int64_t rowid, std::span<const std::uint8_t> cell);
    // An index's leaf cell, keys rising.
    void AddKey(std::span<const std::uint8_t> cell);
    // Writes the pages still open; answers the root page.
    std::uint32_t Finish();

private:
    struct Level {
        explicit Level(std::uint8_t flag) : page(flag) {}
        OpenPage page;
        // The cell that did not fit: it goes up when the next one arrives.
        std::vector<std::uint8_t> pending;
        std::uint32_t pendingChild = 0;
        bool hasPending = false;
    };
    bool Interior(std::size_t level) const { return level > 0; }
    Level& LevelAt(std::size_t level);
    void AddAt(std::size_t level, std::uint32_t child, std::span<const std::uint8_t> body);
    void AddToPage(std::size_t level, std::uint32_t child, std::span<const std::uint8_t> body);
    std::uint32_t Close(Level& level);
    void PromoteLastCell(std::size_t level);

    PageSink& sink_;
    TreeKind kind_;
    std::deque<Level> levels_;
    std::int64_t lastRowid_ = 0;
    std::vector<std::uint8_t> scratch_;
};

template <typename Write>
std::span<const std::uint8_t> CellMaker::Make(std::int64_t rowid, std::size_t size, Write write) {
    const std::size_t prefix = Prefix(rowid, size);
    write(cell_.data() + prefix);
    return Spill(prefix, size);
}

}  // namespace kestavo::sqlite_file
