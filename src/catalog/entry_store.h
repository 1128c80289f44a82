// Storage for the entries of one catalog load: the entries themselves, their
// names and their cached texts, kept together so that a whole disk is freed
// at once when its last entry goes.
#pragma once

#include <cstdint>
#include <memory>
#include <string_view>
#include <unordered_map>
#include <vector>

#include "catalog/file_data.h"
#include "catalog/location_texts.h"
#include "support/text_arena.h"

namespace kestavo {

class CatalogSet;

class EntryStore {
public:
    // `owner` gives the entries their tree and clock; it may be null for
    // entries that belong to no catalog set.
    EntryStore(CatalogSet* owner, std::uint64_t serial);
    EntryStore(const EntryStore&) = delete;
    EntryStore& operator=(const EntryStore&) = delete;

    FileData* Create(std::string_view name, TreeItem parentItem, std::int64_t size,
                     std::int64_t freeSpace, std::int64_t time, int kind);
    // Marks the entry as gone; its memory is freed with the store.
    void Destroy(FileData& entry);

    CatalogSet* Owner() const { return owner_; }
    std::uint64_t Serial() const { return serial_; }
    std::size_t LiveCount() const { return live_; }

    // Names, dates and locations live as long as the store; size texts until
    // ReleaseSizeTexts.
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

    // Calls `visit` for every live entry, in the order of creation.
    template <class Visit>
    void ForEachLive(Visit&& visit) const {
        for (const auto& chunk : chunks_)
            for (const FileData& entry : chunk)
                if (entry.IsAlive()) visit(const_cast<FileData&>(entry));
    }

private:
    static constexpr std::size_t kFirstChunk = 64;
    static constexpr std::size_t kMaxChunk = 4096;

    CatalogSet* owner_;
    std::uint64_t serial_;
    // Each chunk is reserved once and never grows past it, so entries stay put.
    std::vector<std::vector<FileData>> chunks_;
    std::uint32_t created_ = 0;
    std::size_t live_ = 0;
    TextArena texts_;
    TextArena sizeTexts_;
    LocationTexts locations_;
};

}  // namespace kestavo
