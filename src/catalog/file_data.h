// SPDX-License-Identifier: GPL-3.0-or-later
// One disk, folder, Zip Folder or file of a loaded catalog: a plain record
// of what every entry has. Its store keeps its name, a disk's free space and
// the display texts of the entries that were shown or reported; the catalog
// set answers what takes the tree (its location, its tree item, the size of
// a container's contents).
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>

#include "catalog/container_tree.h"
#include "catalog/entry_kind.h"
#include "support/text_arena.h"

namespace kestavo {

class EntryStore;

// Adds two byte counts, stopping at the limits of the type instead of
// overflowing (only a damaged catalog holds such sizes).
inline std::int64_t AddSizes(std::int64_t a, std::int64_t b) {
    std::int64_t sum = 0;
    if (!__builtin_add_overflow(a, b, &sum)) return sum;
    return b > 0 ? INT64_MAX : INT64_MIN;
}

class FileData {
public:
    FileData(TextRef name, TreeItem parentItem, std::int64_t size, std::int64_t time, int kind,
             std::uint32_t serial);

    // Texts in the store end with a NUL byte, so a name's data is also a C
    // string.
    std::string_view GetName() const { return name_ == kNoText ? "" : Names().View(name_); }
    // The item in the store's own numbering, turned into the set's where
    // the store was read apart from the set (see SegmentHeader::items).
    TreeItem GetParentItem() const {
        const TreeItem* items = Segment().items;
        return items ? items[parentItem_] : parentItem_;
    }
    int GetKind() const { return kind_; }
    const std::int64_t& GetTime() const { return time_; }
    // The byte count: for a container with a catalogued size of 0 it becomes
    // the size of its contents once CatalogSet::SettleSize has been asked
    // for.
    std::int64_t Size() const { return size_; }

    bool IsZipFolder() const { return kind_ == KIND_ZIP_FOLDER; }
    bool IsDisk() const { return IsDiskKind(kind_); }
    bool IsContainer() const { return IsContainerKind(kind_); }

    // The store keeps what the entry does not hold itself: its free space
    // and its display texts.
    EntryStore& Store() const { return *Segment().store; }
    // Entries are numbered in their store in the order they were created.
    std::uint32_t Serial() const { return serial_; }
    bool IsAlive() const { return kind_ != kDeadKind; }

    // Entries live in segments of this many bytes, each aligned to its size
    // and starting with a SegmentHeader, so that an entry finds its store
    // and its names from its own address instead of carrying a pointer.
    // Segments are large so that entries mapped from a cache file stay the
    // file's pages: writing the headers copies one page a segment.
    static constexpr std::size_t kSegmentBytes = std::size_t{1} << 20;
    struct SegmentHeader {
        EntryStore* store;
        const TextArena* names;
        // The set's item of each of the store's items, for a store read on
        // its own and then joined; null when entries hold the set's items.
        const TreeItem* items;
        std::uint32_t count;
        std::uint32_t reserved;
    };
    // What `next_` holds besides the serial of the next entry of the list.
    static constexpr std::uint32_t kNoNext = 0xffffffffu;
    static constexpr std::uint32_t kNextElsewhere = 0xfffffffeu;  // in another store

private:
    const SegmentHeader& Segment() const {
        return *reinterpret_cast<const SegmentHeader*>(reinterpret_cast<std::uintptr_t>(this) &
                                                       ~(kSegmentBytes - 1));
    }
    const TextArena& Names() const { return *Segment().names; }

    friend class EntryStore;
    friend class EntryLists;
    friend class CatalogSet;
    friend class EntryRecords;
    static constexpr int kDeadKind = -0x7fffffff;

    // Every byte is a field, so that the record is kept in a cache file as
    // it lies in memory.
    std::int64_t size_;
    std::int64_t time_;
    TextRef name_;
    TreeItem parentItem_;
    // The next entry filed under the same item: its serial in this store,
    // or kNoNext, or kNextElsewhere (the store keeps it).
    std::uint32_t next_ = kNoNext;
    int kind_;
    std::uint32_t serial_ : 31;
    // A container whose catalogued size was 0 holds its content size.
    std::uint32_t sizeCounted_ : 1;
    std::uint32_t reserved_ = 0;
};
static_assert(sizeof(FileData) == 40);

// Whether a container name makes a Zip Folder: the first ".zip" (or, when
// there is none, the first ".ZIP") starts after the first character and ends
// the name.
bool PassesZipTest(std::string_view name);

// Whether a container name makes an archive container (a Zip Folder): it
// passes the Zip test, or the same test for one of the other archive
// endings (".7z", ".rar", ".tar", ".tgz", ".tar.gz", ".tar.bz2", ".tbz2",
// ".tar.xz", ".txz", ".tar.zst", ".iso", ".cab"), all lower or all upper
// case.
bool PassesArchiveTest(std::string_view name);

// The archive a location (Label/dir/archive.zip/inner) lies in: the location
// up to its first part after the disk name that passes the archive test;
// empty when no part does.
std::string_view ArchiveOfLocation(std::string_view location);

}  // namespace kestavo
