// SPDX-License-Identifier: GPL-3.0-or-later
#include "catalog/entry_store.h"

#include <sys/mman.h>

#include <algorithm>
#include <new>

#include "catalog/local_time.h"
#include "catalog/size_unit.h"
#include "support/prefault.h"

namespace kestavo {

void EntryStore::BlockDelete::operator()(char* block) const {
    ::operator delete (block, std::align_val_t{kSegmentBytes});
}

EntryStore::EntryStore(CatalogSet* owner, std::uint64_t serial) : owner_(owner), serial_(serial) {}

EntryStore::~EntryStore() = default;

void EntryStore::MoveTo(CatalogSet* owner, std::uint64_t serial) {
    owner_ = owner;
    serial_ = serial;
}

void EntryStore::Reserve(std::size_t entries) {
    if (!blocks_.empty() || entries == 0) return;
    const std::size_t segments = (entries + kEntriesPerSegment - 1) / kEntriesPerSegment;
    PrefaultPages(NewSegmentBlock(segments), segments * kSegmentBytes);
    unusedSegments_ = segments;
}

char* EntryStore::NewSegmentBlock(std::size_t segments) {
    const std::size_t bytes = segments * kSegmentBytes;
    blocks_.emplace_back(
        static_cast<char*>(::operator new (bytes, std::align_val_t{kSegmentBytes})));
    // Large pages where the system gives them on request: far fewer page
    // faults for a block that is filled at once.
    ::madvise(blocks_.back().get(), bytes, MADV_HUGEPAGE);
    lastBlockSegments_ = segments;
    unusedSegments_ = 0;
    return blocks_.back().get();
}

std::size_t EntryStore::SegmentBytesFor(std::uint32_t count) {
    if (count == 0) return 0;
    const std::size_t full = (count - 1) / kEntriesPerSegment;
    const std::size_t last = count - full * kEntriesPerSegment;
    return full * kSegmentBytes + kEntriesOffset + last * sizeof(FileData);
}

void EntryStore::AdoptEntries(char* first, std::uint32_t count, std::shared_ptr<void> mapping) {
    if (created_ != 0) return;
    mapping_ = std::move(mapping);
    for (std::uint32_t done = 0; done < count; done += kEntriesPerSegment) {
        auto* segment = reinterpret_cast<SegmentHeader*>(first + segments_.size() * kSegmentBytes);
        *segment =
            SegmentHeader{this, &texts_, nullptr, std::min(count - done, kEntriesPerSegment), 0};
        segments_.push_back(segment);
    }
    created_ = count;
    live_ = count;
}

void EntryStore::MapItems(std::vector<TreeItem> map) {
    itemMap_ = std::move(map);
    for (SegmentHeader* segment : segments_) segment->items = itemMap_.data();
}

void EntryStore::SetNext(FileData& entry, FileData* next) {
    if (!next) {
        entry.next_ = FileData::kNoNext;
    } else if (&next->Store() == this) {
        entry.next_ = next->serial_;
    } else {
        entry.next_ = FileData::kNextElsewhere;
        farNext_[entry.serial_] = next;
    }
}

EntryStore::SegmentHeader* EntryStore::NewSegment() {
    if (unusedSegments_ == 0) {
        const std::size_t segments =
            std::clamp<std::size_t>(lastBlockSegments_ * 2, 1, kMaxBlockSegments);
        char* block = NewSegmentBlock(segments);
        if (segments == kMaxBlockSegments) PrefaultPages(block, segments * kSegmentBytes);
        unusedSegments_ = segments;
    }
    char* place = blocks_.back().get() + (lastBlockSegments_ - unusedSegments_) * kSegmentBytes;
    --unusedSegments_;
    auto* segment = new (place) SegmentHeader{this, &texts_, nullptr, 0, 0};
    segments_.push_back(segment);
    return segment;
}

FileData* EntryStore::Create(std::string_view name, TreeItem parentItem, std::int64_t size,
                             std::int64_t freeSpace, std::int64_t time, int kind) {
    return CreateNamed(texts_.Add(name), parentItem, size, freeSpace, time, kind);
}

bool EntryStore::AdoptNames(std::shared_ptr<const void> backing,
                            const std::vector<std::string_view>& chunks,
                            std::span<const std::byte> nameIndex) {
    if (created_ != 0 || !texts_.AdoptChunks(chunks)) return false;
    backing_ = std::move(backing);
    nameIndex_ = NameIndexView::Open(nameIndex);
    return true;
}

FileData* EntryStore::CreateNamed(TextRef nameRef, TreeItem parentItem, std::int64_t size,
                                  std::int64_t freeSpace, std::int64_t time, int kind) {
    SegmentHeader* segment = segments_.empty() ? nullptr : segments_.back();
    if (!segment || segment->count == kEntriesPerSegment) segment = NewSegment();
    const std::uint32_t serial = created_++;
    if (freeSpace != 0) freeSpace_.emplace(serial, freeSpace);
    FileData* entry = new (EntriesOf(segment) + segment->count)
        FileData(nameRef, parentItem, size, time, kind, serial);
    ++segment->count;
    ++live_;
    return entry;
}

void EntryStore::Destroy(FileData& entry) {
    if (!entry.IsAlive()) return;
    entry.kind_ = FileData::kDeadKind;
    entry.next_ = FileData::kNoNext;
    --live_;
}

std::int64_t EntryStore::FreeSpaceOf(const FileData& entry) const {
    auto it = freeSpace_.find(entry.Serial());
    return it == freeSpace_.end() ? 0 : it->second;
}

std::vector<std::pair<std::uint32_t, std::int64_t>> EntryStore::FreeSpaces() const {
    std::vector<std::pair<std::uint32_t, std::int64_t>> spaces(freeSpace_.begin(),
                                                               freeSpace_.end());
    std::sort(spaces.begin(), spaces.end());
    return spaces;
}

std::string_view EntryStore::SizeTextOf(const FileData& entry) {
    TextRef& text = TextsOf(entry.Serial()).size;
    char buffer[kSizeTextCapacity];
    if (text == kNoText) text = AddSizeText(FormatSize(entry.Size(), buffer));
    return text == kNoText ? std::string_view() : SizeText(text);
}

std::string_view EntryStore::FreeSpaceTextOf(const FileData& entry) {
    TextRef& text = TextsOf(entry.Serial()).freeSpace;
    char buffer[kSizeTextCapacity];
    if (text == kNoText) text = AddSizeText(FormatSize(FreeSpaceOf(entry), buffer));
    return text == kNoText ? std::string_view() : SizeText(text);
}

std::string_view EntryStore::DateTextOf(const FileData& entry, LocalClock& clock) {
    TextRef& text = TextsOf(entry.Serial()).date;
    if (text == kNoText) text = AddText(clock.DateText(entry.GetTime()));
    return text == kNoText ? std::string_view() : Text(text);
}

std::string_view EntryStore::PathOf(const FileData& entry, const ContainerTree* tree) {
    EntryTexts* texts = FindTexts(entry.Serial());
    if (texts && texts->path != kNoText) return Path(texts->path);
    if (!tree) return {};
    // Shared by every entry of the same container, and made from the
    // container's parent's text. An entry whose other texts are kept keeps
    // a reference to it too, which is quicker to follow than the folder's.
    const TextRef path = PathOfItem(*tree, entry.GetParentItem());
    if (texts) texts->path = path;
    return Path(path);
}

void EntryStore::SetPathOf(const FileData& entry, std::string_view path) {
    TextsOf(entry.Serial()).path = AddPath(path);
}

EntryStore::EntryTexts& EntryStore::TextsOf(std::uint32_t serial) {
    const std::size_t page = serial >> kTextPageBits;
    if (page >= textPages_.size()) textPages_.resize(page + 1);
    if (!textPages_[page])
        textPages_[page] = std::make_unique<EntryTexts[]>(std::size_t{1} << kTextPageBits);
    return textPages_[page][serial & ((1u << kTextPageBits) - 1)];
}

void EntryStore::ReleaseSizeTexts() {
    sizeTexts_.Clear();
    for (auto& page : textPages_) {
        if (!page) continue;
        for (std::size_t i = 0; i < (std::size_t{1} << kTextPageBits); ++i) {
            page[i].size = kNoText;
            page[i].freeSpace = kNoText;
        }
    }
}

}  // namespace kestavo
