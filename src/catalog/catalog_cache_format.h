// SPDX-License-Identifier: GPL-3.0-or-later
// The layout of a catalog's cache file: what a read of the catalog's text
// gave, laid out so that it is used where it lies once the file is mapped.
//
//   Header                          at 0
//   Section[sectionCount]           right after it
//   the sections' bytes             each at a multiple of kSectionAlign
//                                   (Entries: of kEntriesAlign)
//
// Every number is in the byte order and width of the machine that wrote
// it (the magic tells another order). The header's sum covers the header,
// with the sum itself taken as 0, and the section table; each section's sum
// covers its bytes. The Key section holds what the read depended on (the
// catalog file's stamp, its path, the code page setting, the time zone),
// so that a cache is used only for the very read it stands for.
#pragma once

#include <cstddef>
#include <cstdint>

namespace kestavo::cache_format {

inline constexpr char kMagic[8] = {'K', 'V', 'X', 'C', 'A', 'C', 'H', 'E'};
inline constexpr std::uint32_t kVersion = 2;
inline constexpr std::size_t kSectionAlign = 64;
// The entries start on a page of their own, so that they can be mapped
// where a store's segments lie.
inline constexpr std::size_t kEntriesAlign = 4096;
inline constexpr std::uint32_t kMaxSections = 32;

enum class SectionKind : std::uint32_t {
    Key = 1,
    Summary = 2,     // one Summary
    Meta = 3,        // code page, replaced labels and messages, as Fields
    TreeItems = 4,   // TreeItemRecord per item, items 1 to itemCount
    TreeTexts = 5,   // the items' texts, one after another
    NameChunks = 6,  // ChunkRecord per chunk of the store's names
    NameBytes = 7,   // the chunks' bytes
    FreeSpace = 13,  // FreeSpaceRecord per entry with free space, by serial
    NameIndex = 14,  // an index of the names, opaque here; optional
    // The entries as a store's segments hold them (FileData records in
    // segments of FileData::kSegmentBytes, each segment's header zeros),
    // in order of creation, each linked to the next filed under its item.
    Entries = 15,
    ItemLists = 16,  // ListRecord per item, 0 to itemCount
};

struct Header {
    char magic[8];
    std::uint32_t version;
    std::uint32_t sectionCount;
    std::uint64_t fileBytes;
    std::uint64_t headerSum;
};

struct Section {
    std::uint32_t kind;
    std::uint32_t reserved;
    std::uint64_t offset;
    std::uint64_t length;
    std::uint64_t sum;
};

struct Summary {
    std::uint32_t outcome;  // LoadOutcome
    std::uint32_t rootItem;
    std::uint32_t diskItem;
    std::uint32_t itemCount;
    std::uint32_t entryCount;
    std::uint32_t hasStore;
    std::uint32_t chunkCount;
    std::uint32_t freeSpaceCount;
};

struct TreeItemRecord {
    std::uint32_t parent;
    std::uint32_t row;
    std::int32_t kind;
    std::uint32_t sortedPrefix;
    std::uint32_t childrenSorted;
    std::uint32_t textLength;
    std::uint64_t textOffset;  // in TreeTexts
};

struct ChunkRecord {
    std::uint64_t offset;  // in NameBytes
    std::uint64_t length;
};

// The first and last entry filed under an item, by serial; kNoEntry for
// none.
struct ListRecord {
    std::uint32_t head;
    std::uint32_t tail;
};
inline constexpr std::uint32_t kNoEntry = 0xffffffffu;

struct FreeSpaceRecord {
    std::uint32_t serial;
    std::uint32_t reserved;
    std::int64_t freeSpace;
};

static_assert(sizeof(Header) == 32 && sizeof(Section) == 32 && sizeof(Summary) == 32);
static_assert(sizeof(TreeItemRecord) == 32 && sizeof(ChunkRecord) == 16 &&
              sizeof(FreeSpaceRecord) == 16 && sizeof(ListRecord) == 8);

}  // namespace kestavo::cache_format
