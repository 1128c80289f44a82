// SPDX-License-Identifier: GPL-3.0-or-later
// Storage for the entries of one catalog load: the entries themselves, their
// names, their free space and the texts made for the rows that are shown or
// reported, kept together so that a whole disk is freed at once when its
// last entry goes.
#pragma once

#include <cstddef>
#include <cstdint>
#include <memory>
#include <optional>
#include <span>
#include <string_view>
#include <unordered_map>
#include <utility>
#include <vector>

#include "catalog/file_data.h"
#include "catalog/location_texts.h"
#include "catalog/name_index.h"
#include "support/text_arena.h"

namespace kestavo {

class CatalogSet;
class LocalClock;

class EntryStore {
public:
    // `owner` gives the entries their tree and clock; it may be null for
    // entries that belong to no catalog set.
    EntryStore(CatalogSet* owner, std::uint64_t serial);
    ~EntryStore();
    EntryStore(const EntryStore&) = delete;
    EntryStore& operator=(const EntryStore&) = delete;

    FileData* Create(std::string_view name, TreeItem parentItem, std::int64_t size,
                     std::int64_t freeSpace, std::int64_t time, int kind);
    // The same for a name already in the store's names (see AdoptNames).
    FileData* CreateNamed(TextRef name, TreeItem parentItem, std::int64_t size,
                          std::int64_t freeSpace, std::int64_t time, int kind);
    // Makes room for `entries` entries at once, its pages mapped in one
    // call, in a store that has none yet: for a store whose size is known
    // before its entries are made.
    void Reserve(std::size_t entries);
    // Marks the entry as gone; its memory is freed with the store.
    void Destroy(FileData& entry);

    // Makes a store that holds no entries yet take `count` entries laid out
    // at `first` as its segments would hold them (aligned to
    // FileData::kSegmentBytes, each segment's header left to the store, the
    // last segment's room after them writable): entries kept in a cache and
    // checked. The memory stays the caller's, or `mapping`'s, which the store
    // keeps for as long as it lives.
    void AdoptEntries(char* first, std::uint32_t count, std::shared_ptr<void> mapping);
    // Room for `segments` segments, aligned to their size, owned by the store.
    char* NewSegmentBlock(std::size_t segments);
    // The bytes a store's segments take for `count` entries, the last one's
    // unused room left out.
    static std::size_t SegmentBytesFor(std::uint32_t count);
    static constexpr std::size_t EntriesOffset();
    static constexpr std::uint32_t EntriesPerSegment();
    void SetFreeSpace(std::uint32_t serial, std::int64_t freeSpace) {
        if (freeSpace != 0) freeSpace_[serial] = freeSpace;
    }
    // The store's entries hold the items of the tree they were read with;
    // `map` gives the set's item for each of them from now on.
    void MapItems(std::vector<TreeItem> map);

    // The next entry filed under the same item as `entry` (null: none), and
    // linking one to it.
    FileData* NextOf(const FileData& entry) {
        if (entry.next_ == FileData::kNoNext) return nullptr;
        if (entry.next_ == FileData::kNextElsewhere) return farNext_.at(entry.serial_);
        return &EntryAt(entry.next_);
    }
    void SetNext(FileData& entry, FileData* next);

    // The names of the entries, with the store's other lasting texts.
    const TextArena& Names() const { return texts_; }
    static TextRef NameRefOf(const FileData& entry) { return entry.name_; }
    // Makes a store that holds no entries or texts yet take its names from
    // `chunks` (see TextArena::AdoptChunks), which lie in `backing`: the
    // store keeps it for as long as it lives. `nameIndex` (in `backing`
    // too, possibly empty) is the index of the names kept beside them; bytes
    // that are no valid index leave the store without one.
    bool AdoptNames(std::shared_ptr<const void> backing,
                    const std::vector<std::string_view>& chunks,
                    std::span<const std::byte> nameIndex);

    CatalogSet* Owner() const { return owner_; }
    std::uint64_t Serial() const { return serial_; }
    std::size_t LiveCount() const { return live_; }
    // The store changes hands when a catalog read on its own joins a set.
    void MoveTo(CatalogSet* owner, std::uint64_t serial);

    // What the store answers about one of its entries alone. The texts are
    // made on first request and kept until the entry goes (the two size
    // texts: until released). A size text shows the size as it stands:
    // CatalogSet::SizeTextOf first gives a container of size 0 the size of
    // its contents.
    std::int64_t FreeSpaceOf(const FileData& entry) const;
    // The entries, dead ones included, whose free space is not 0, as
    // (serial, free space) in order of serial: few (the disks and some
    // folders), so that a walk over all entries need not ask each one.
    std::vector<std::pair<std::uint32_t, std::int64_t>> FreeSpaces() const;
    std::string_view SizeTextOf(const FileData& entry);
    std::string_view FreeSpaceTextOf(const FileData& entry);
    std::string_view DateTextOf(const FileData& entry, LocalClock& clock);
    // The chain of container names from the disk label down to the entry's
    // own container in `tree`, joined by "/"; empty for a disk, and empty
    // without a tree. The text is kept once per container, not per entry,
    // unless SetPathOf gave the entry its own; an entry whose other texts
    // are kept keeps a reference to it.
    std::string_view PathOf(const FileData& entry, const ContainerTree* tree);
    void SetPathOf(const FileData& entry, std::string_view path);

    // The texts made for an entry; an entry never shown has none.
    struct EntryTexts {
        TextRef size = kNoText;
        TextRef freeSpace = kNoText;
        TextRef date = kNoText;
        TextRef path = kNoText;
    };
    // The texts of entry `serial`; references stay valid while the store lives.
    EntryTexts& TextsOf(std::uint32_t serial);
    // The same, or null when none was ever made for the entry's page.
    EntryTexts* FindTexts(std::uint32_t serial) {
        const std::size_t page = serial >> kTextPageBits;
        if (page >= textPages_.size() || !textPages_[page]) return nullptr;
        return &textPages_[page][serial & ((1u << kTextPageBits) - 1)];
    }

    // Dates live as long as the store; size texts until ReleaseSizeTexts.
    TextRef AddText(std::string_view text) { return texts_.Add(text); }
    std::string_view Text(TextRef ref) const { return texts_.View(ref); }
    TextRef AddSizeText(std::string_view text) { return sizeTexts_.Add(text); }
    std::string_view SizeText(TextRef ref) const { return sizeTexts_.View(ref); }
    void ReleaseSizeTexts();

    // The location text shared by every entry filed under `item`.
    TextRef PathOfItem(const ContainerTree& tree, TreeItem item) {
        return locations_.OfItem(tree, item);
    }
    TextRef AddPath(std::string_view path) { return locations_.Add(path); }
    std::string_view Path(TextRef ref) const { return locations_.View(ref); }
    void ForgetPathOfItem(TreeItem item) { locations_.Forget(item); }
    void ForgetPathsOfItems() { locations_.ForgetItems(); }

    // The segments, in order: each but the last holds EntriesPerSegment()
    // entries.
    std::size_t SegmentCount() const { return segments_.size(); }
    std::span<const FileData> SegmentEntries(std::size_t segment) const {
        return {EntriesOf(segments_[segment]), segments_[segment]->count};
    }

    // Entries created so far, dead ones included; entry `serial` of them.
    std::uint32_t CreatedCount() const { return created_; }
    const FileData& EntryAt(std::uint32_t serial) const {
        return EntriesOf(segments_[serial / kEntriesPerSegment])[serial % kEntriesPerSegment];
    }
    FileData& EntryAt(std::uint32_t serial) {
        return EntriesOf(segments_[serial / kEntriesPerSegment])[serial % kEntriesPerSegment];
    }

    // The trigram index of the names of the first entries (see NameIndexView),
    // when one was attached; entries created after it was built are not in it.
    const NameIndexView* NameIndex() const { return nameIndex_ ? &*nameIndex_ : nullptr; }
    void SetNameIndex(std::optional<NameIndexView> index) { nameIndex_ = std::move(index); }

    // Calls `visit` for every live entry, in the order of creation.
    template <class Visit>
    void ForEachLive(Visit&& visit) const {
        for (SegmentHeader* segment : segments_) {
            FileData* entries = EntriesOf(segment);
            for (std::uint32_t i = 0; i < segment->count; ++i)
                if (entries[i].IsAlive()) visit(entries[i]);
        }
    }
    // Calls `change` for every entry, dead or alive, so that a store moved
    // into another set can have its tree items renumbered.
    template <class Change>
    void ForEachEntry(Change&& change) {
        for (SegmentHeader* segment : segments_) {
            FileData* entries = EntriesOf(segment);
            for (std::uint32_t i = 0; i < segment->count; ++i) change(entries[i]);
        }
    }

private:
    // Segments (see FileData::SegmentHeader) are cut from blocks that
    // double in size, so a small catalog takes one segment and a large one
    // few allocations.
public:
    using SegmentHeader = FileData::SegmentHeader;

private:
    static constexpr std::size_t kSegmentBytes = FileData::kSegmentBytes;
    static constexpr std::size_t kEntriesOffset =
        (sizeof(SegmentHeader) + alignof(FileData) - 1) / alignof(FileData) * alignof(FileData);
    static constexpr std::uint32_t kEntriesPerSegment =
        static_cast<std::uint32_t>((kSegmentBytes - kEntriesOffset) / sizeof(FileData));
    static constexpr std::size_t kMaxBlockSegments = 16;
    static constexpr unsigned kTextPageBits = 8;

    static FileData* EntriesOf(SegmentHeader* segment) {
        return reinterpret_cast<FileData*>(reinterpret_cast<char*>(segment) + kEntriesOffset);
    }
    SegmentHeader* NewSegment();

    struct BlockDelete {
        void operator()(char* block) const;
    };

    CatalogSet* owner_;
    std::uint64_t serial_;
    // What adopted texts lie in; it outlives the texts (declared before).
    std::shared_ptr<const void> backing_;
    std::vector<std::unique_ptr<char, BlockDelete>> blocks_;
    std::size_t lastBlockSegments_ = 0;
    std::size_t unusedSegments_ = 0;  // of the last block
    std::vector<SegmentHeader*> segments_;
    std::uint32_t created_ = 0;
    std::size_t live_ = 0;
    TextArena texts_;
    TextArena sizeTexts_;
    LocationTexts locations_;
    // Only entries with free space other than 0 (disks) are kept, by serial.
    std::unordered_map<std::uint32_t, std::int64_t> freeSpace_;
    // The next entry of those whose next lies in another store.
    std::unordered_map<std::uint32_t, FileData*> farNext_;
    // What adopted entries lie in, when it is not one of blocks_.
    std::shared_ptr<void> mapping_;
    std::vector<TreeItem> itemMap_;
    // Pages of 2^kTextPageBits entries' texts, made when first asked for.
    std::vector<std::unique_ptr<EntryTexts[]>> textPages_;
    std::optional<NameIndexView> nameIndex_;
};

constexpr std::size_t EntryStore::EntriesOffset() {
    return kEntriesOffset;
}
constexpr std::uint32_t EntryStore::EntriesPerSegment() {
    return kEntriesPerSegment;
}

}  // namespace kestavo
