#include "catalog/entry_store.h"

#include <algorithm>

#include "support/prefault.h"

namespace kestavo {

EntryStore::EntryStore(CatalogSet* owner, std::uint64_t serial) : owner_(owner), serial_(serial) {}

FileData* EntryStore::Create(std::string_view name, TreeItem parentItem, std::int64_t size,
                             std::int64_t freeSpace, std::int64_t time, int kind) {
    if (chunks_.empty() || chunks_.back().size() == chunks_.back().capacity()) {
        const std::size_t capacity =
            chunks_.empty() ? kFirstChunk : std::min(kMaxChunk, chunks_.back().capacity() * 2);
        chunks_.emplace_back();
        chunks_.back().reserve(capacity);
        if (capacity == kMaxChunk)
            PrefaultPages(chunks_.back().data(), capacity * sizeof(FileData));
    }
    const TextRef nameRef = texts_.Add(name);
    FileData& entry = chunks_.back().emplace_back(*this, nameRef, parentItem, size, freeSpace, time,
                                                  kind, created_++);
    ++live_;
    return &entry;
}

void EntryStore::Destroy(FileData& entry) {
    if (!entry.IsAlive()) return;
    entry.kind_ = FileData::kDeadKind;
    entry.nextInItem_ = nullptr;
    --live_;
}

void EntryStore::ReleaseSizeTexts() {
    sizeTexts_.Clear();
    for (auto& chunk : chunks_)
        for (FileData& entry : chunk) {
            entry.sizeText_ = kNoText;
            entry.freeSpaceText_ = kNoText;
        }
}

}  // namespace kestavo
