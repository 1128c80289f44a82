// SPDX-License-Identifier: GPL-3.0-or-later
#include "catalog/catalog_cache.h"

#include <fcntl.h>
#include <sys/mman.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <climits>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <ctime>
#include <new>
#include <vector>

#include "catalog/catalog_cache_format.h"
#include "catalog/entry_kind.h"
#include "catalog/home_directory.h"
#include "kestavo_version.h"
#include "support/checksum.h"

namespace kestavo {

namespace cf = cache_format;

namespace {

// ---- Where caches lie, and what they are for.

std::string AbsolutePath(const std::string& path) {
    if (!path.empty() && path[0] == '/') return path;
    char cwd[PATH_MAX];
    if (!::getcwd(cwd, sizeof cwd)) return path;
    return std::string(cwd) + "/" + path;
}

std::int64_t Nanoseconds(const struct timespec& time) {
    return static_cast<std::int64_t>(time.tv_sec) * 1000000000 + time.tv_nsec;
}

// Numbers and texts one after another, each text after its length.
class FieldWriter {
public:
    void Number(std::uint64_t value) { bytes_.append(reinterpret_cast<const char*>(&value), 8); }
    void Text(std::string_view text) {
        Number(text.size());
        bytes_.append(text);
    }
    // A variable: whether it is set, and its value.
    void Variable(const char* name) {
        const char* value = std::getenv(name);
        Number(value ? 1 : 0);
        Text(value ? value : "");
    }
    void Stamp(const struct stat& st) {
        Number(st.st_dev);
        Number(st.st_ino);
        Number(static_cast<std::uint64_t>(st.st_size));
        Number(static_cast<std::uint64_t>(Nanoseconds(st.st_mtim)));
        Number(static_cast<std::uint64_t>(Nanoseconds(st.st_ctim)));
    }
    std::string Take() { return std::move(bytes_); }

private:
    std::string bytes_;
};

class FieldReader {
public:
    explicit FieldReader(std::span<const std::byte> bytes) : bytes_(bytes) {}
    bool Number(std::uint64_t& value) {
        if (bytes_.size() - at_ < 8) return false;
        std::memcpy(&value, bytes_.data() + at_, 8);
        at_ += 8;
        return true;
    }
    bool Text(std::string& text) {
        std::uint64_t length = 0;
        if (!Number(length) || length > bytes_.size() - at_) return false;
        text.assign(reinterpret_cast<const char*>(bytes_.data() + at_), length);
        at_ += length;
        return true;
    }
    bool AtEnd() const { return at_ == bytes_.size(); }

private:
    std::span<const std::byte> bytes_;
    std::size_t at_ = 0;
};

// The zone file local time is read from, as the C library finds it: TZ
// unset gives /etc/localtime; TZ (without a leading ':') names a file, or
// one under TZDIR or the system's zone directory.
std::string ZoneFile() {
    const char* tz = std::getenv("TZ");
    if (!tz) return "/etc/localtime";
    std::string name = tz[0] == ':' ? tz + 1 : tz;
    if (name.empty()) return std::string();
    if (name[0] == '/') return name;
    const char* dir = NonEmptyVariable("TZDIR");
    return std::string(dir ? dir : "/usr/share/zoneinfo") + "/" + name;
}

void WriteZoneIdentity(FieldWriter& fields) {
    fields.Variable("TZ");
    fields.Variable("TZDIR");
    const std::string file = ZoneFile();
    struct stat st {};
    if (file.empty() || ::stat(file.c_str(), &st) != 0) {
        fields.Number(0);
        return;
    }
    fields.Number(1);
    fields.Stamp(st);
    char resolved[PATH_MAX];
    fields.Text(::realpath(file.c_str(), resolved) ? resolved : "");
}

// ---- Writing.

// Where an encoded cache goes: appended bytes, then the header patched in
// at the start.
class CacheOutput {
public:
    virtual ~CacheOutput() = default;
    virtual bool Append(const void* data, std::size_t size) = 0;
    virtual bool PatchStart(const void* data, std::size_t size) = 0;
};

class StringOutput : public CacheOutput {
public:
    bool Append(const void* data, std::size_t size) override {
        bytes.append(static_cast<const char*>(data), size);
        return true;
    }
    bool PatchStart(const void* data, std::size_t size) override {
        if (bytes.size() < size) return false;
        std::memcpy(bytes.data(), data, size);
        return true;
    }
    std::string bytes;
};

// Writes through a buffer, so that many small pieces cost few calls.
class FileOutput : public CacheOutput {
public:
    explicit FileOutput(int fd) : fd_(fd) { buffer_.reserve(kBuffer); }
    bool Append(const void* data, std::size_t size) override {
        if (buffer_.size() + size > kBuffer && !Flush()) return false;
        if (size >= kBuffer) return WriteAll(data, size);
        buffer_.append(static_cast<const char*>(data), size);
        return true;
    }
    bool PatchStart(const void* data, std::size_t size) override {
        return Flush() && ::pwrite(fd_, data, size, 0) == static_cast<ssize_t>(size);
    }
    bool Flush() {
        const bool ok = WriteAll(buffer_.data(), buffer_.size());
        buffer_.clear();
        return ok;
    }

private:
    static constexpr std::size_t kBuffer = std::size_t{1} << 20;
    bool WriteAll(const void* data, std::size_t size) {
        const char* at = static_cast<const char*>(data);
        while (size > 0) {
            const ssize_t n = ::write(fd_, at, size);
            if (n < 0 && errno == EINTR) continue;
            if (n <= 0) return false;
            at += n;
            size -= static_cast<std::size_t>(n);
        }
        return true;
    }
    int fd_;
    std::string buffer_;
};

// Lays the sections out one after another, each summed as it is written,
// and writes the header and the section table last.
class CacheEncoder {
public:
    explicit CacheEncoder(CacheOutput& out) : out_(out) {}

    bool Begin(std::size_t sectionCount) {
        sections_.reserve(sectionCount);
        at_ = sizeof(cf::Header) + sectionCount * sizeof(cf::Section);
        const std::string room(at_, '\0');
        return out_.Append(room.data(), room.size());
    }
    void StartSection(cf::SectionKind kind, std::size_t align = cf::kSectionAlign) {
        Pad(align);
        sections_.push_back(cf::Section{static_cast<std::uint32_t>(kind), 0, at_, 0, 0});
        sum_ = Checksum();
    }
    bool Add(const void* data, std::size_t size) {
        if (size == 0) return true;
        sum_.Add(data, size);
        sections_.back().length += size;
        at_ += size;
        return out_.Append(data, size);
    }
    template <class T>
    bool AddArray(const std::vector<T>& values) {
        return Add(values.data(), values.size() * sizeof(T));
    }
    void EndSection() { sections_.back().sum = sum_.Finish(); }

    bool Finish() {
        cf::Header header{};
        std::memcpy(header.magic, cf::kMagic, sizeof header.magic);
        header.version = cf::kVersion;
        header.sectionCount = static_cast<std::uint32_t>(sections_.size());
        header.fileBytes = at_;
        Checksum sum;
        sum.Add(&header, sizeof header);
        sum.Add(sections_.data(), sections_.size() * sizeof(cf::Section));
        header.headerSum = sum.Finish();
        std::string start(reinterpret_cast<const char*>(&header), sizeof header);
        start.append(reinterpret_cast<const char*>(sections_.data()),
                     sections_.size() * sizeof(cf::Section));
        return out_.PatchStart(start.data(), start.size());
    }

private:
    void Pad(std::size_t align) {
        static constexpr char kZeros[cf::kEntriesAlign] = {};
        const std::size_t pad = (align - at_ % align) % align;
        out_.Append(kZeros, pad);
        at_ += pad;
    }
    CacheOutput& out_;
    std::vector<cf::Section> sections_;
    std::uint64_t at_ = 0;
    Checksum sum_;
};

std::string EncodeMeta(const CatalogLoad& load) {
    FieldWriter fields;
    fields.Text(load.CodePage());
    fields.Number(load.ReplacedLabels().size());
    for (const std::string& label : load.ReplacedLabels()) fields.Text(label);
    fields.Number(load.Messages().size());
    for (const Message& message : load.Messages()) {
        fields.Text(message.caption);
        fields.Text(message.text);
        fields.Number(static_cast<std::uint64_t>(message.icon));
        fields.Number(static_cast<std::uint64_t>(message.buttons));
        fields.Number(static_cast<std::uint64_t>(message.defaultAnswer));
    }
    return fields.Take();
}

// The free space of the entries that have some, by serial; false when an
// entry is gone (a read only ever adds entries).
bool CollectFreeSpace(const EntryStore& store, std::vector<cf::FreeSpaceRecord>& freeSpace) {
    if (store.LiveCount() != store.CreatedCount()) return false;
    for (const auto& [serial, free] : store.FreeSpaces())
        freeSpace.push_back(cf::FreeSpaceRecord{serial, 0, free});
    return true;
}

// The store's segments as they lie, each header left as zeros.
bool EncodeEntries(CacheEncoder& encoder, const EntryStore* store) {
    static constexpr char kZeros[EntryStore::EntriesOffset()] = {};
    constexpr std::size_t kSegmentTail = FileData::kSegmentBytes - EntryStore::EntriesOffset() -
                                         EntryStore::EntriesPerSegment() * sizeof(FileData);
    static constexpr char kTailZeros[kSegmentTail > 0 ? kSegmentTail : 1] = {};
    encoder.StartSection(cf::SectionKind::Entries, cf::kEntriesAlign);
    bool ok = true;
    for (std::size_t i = 0; store && i < store->SegmentCount() && ok; ++i) {
        const std::span<const FileData> entries = store->SegmentEntries(i);
        ok = (i == 0 || encoder.Add(kTailZeros, kSegmentTail)) &&
             encoder.Add(kZeros, sizeof kZeros) &&
             encoder.Add(entries.data(), entries.size_bytes());
    }
    encoder.EndSection();
    return ok;
}

std::vector<cf::ListRecord> ItemLists(const CatalogLoad& load, std::uint32_t itemCount) {
    std::vector<cf::ListRecord> lists(std::size_t{itemCount} + 1,
                                      cf::ListRecord{cf::kNoEntry, cf::kNoEntry});
    for (TreeItem item = 0; item <= itemCount; ++item) {
        const FileData* head = load.Lists().First(item);
        const FileData* tail = load.Lists().Last(item);
        if (head && tail) lists[item] = cf::ListRecord{head->Serial(), tail->Serial()};
    }
    return lists;
}

bool EncodeTree(CacheEncoder& encoder, const ContainerTree& tree, std::uint32_t itemCount) {
    std::vector<cf::TreeItemRecord> records;
    records.reserve(itemCount);
    std::uint64_t textAt = 0;
    for (TreeItem item = 1; item <= itemCount; ++item) {
        const ContainerTree::ItemState state = tree.StateOf(item);
        const std::size_t length = tree.ItemText(item).size();
        records.push_back(cf::TreeItemRecord{state.parent, state.row, state.kind,
                                             state.sortedPrefix, state.childrenSorted ? 1u : 0u,
                                             static_cast<std::uint32_t>(length), textAt});
        textAt += length;
    }
    encoder.StartSection(cf::SectionKind::TreeItems);
    bool ok = encoder.AddArray(records);
    encoder.EndSection();
    encoder.StartSection(cf::SectionKind::TreeTexts);
    for (TreeItem item = 1; item <= itemCount && ok; ++item) {
        const std::string_view text = tree.ItemText(item);
        ok = encoder.Add(text.data(), text.size());
    }
    encoder.EndSection();
    return ok;
}

bool EncodeNames(CacheEncoder& encoder, const TextArena& names) {
    std::vector<cf::ChunkRecord> chunks;
    std::uint64_t at = 0;
    for (std::size_t i = 0; i < names.ChunkCount(); ++i) {
        const std::size_t length = names.ChunkBytes(i).size();
        chunks.push_back(cf::ChunkRecord{at, length});
        at += (length + 7) / 8 * 8;
    }
    encoder.StartSection(cf::SectionKind::NameChunks);
    bool ok = encoder.AddArray(chunks);
    encoder.EndSection();
    encoder.StartSection(cf::SectionKind::NameBytes);
    static constexpr char kZeros[8] = {};
    for (std::size_t i = 0; i < names.ChunkCount() && ok; ++i) {
        const std::string_view bytes = names.ChunkBytes(i);
        ok = encoder.Add(bytes.data(), bytes.size()) &&
             encoder.Add(kZeros, (8 - bytes.size() % 8) % 8);
    }
    encoder.EndSection();
    return ok;
}

template <class T>
bool EncodeArray(CacheEncoder& encoder, cf::SectionKind kind, const std::vector<T>& values) {
    encoder.StartSection(kind);
    const bool ok = encoder.AddArray(values);
    encoder.EndSection();
    return ok;
}

bool EncodeBytes(CacheEncoder& encoder, cf::SectionKind kind, const void* data, std::size_t size) {
    encoder.StartSection(kind);
    const bool ok = encoder.Add(data, size);
    encoder.EndSection();
    return ok;
}

bool Encode(const CatalogLoad& load, std::string_view key, std::span<const std::byte> nameIndex,
            CacheOutput& out) {
    const ContainerTree& tree = load.Tree();
    if (load.RanOutOfMemory() || !tree.IsDense()) return false;
    const EntryStore* store = load.Store();
    std::vector<cf::FreeSpaceRecord> freeSpace;
    if (store && !CollectFreeSpace(*store, freeSpace)) return false;
    cf::Summary summary{};
    summary.outcome = static_cast<std::uint32_t>(load.Outcome());
    summary.rootItem = load.RootItem();
    summary.diskItem = load.Disk();
    summary.itemCount = static_cast<std::uint32_t>(tree.ItemLimit() - 1);
    summary.entryCount = store ? store->CreatedCount() : 0;
    summary.hasStore = store ? 1 : 0;
    summary.chunkCount = store ? static_cast<std::uint32_t>(store->Names().ChunkCount()) : 0;
    summary.freeSpaceCount = static_cast<std::uint32_t>(freeSpace.size());
    const std::string meta = EncodeMeta(load);

    CacheEncoder encoder(out);
    constexpr std::size_t kSections = 11;
    bool ok = encoder.Begin(kSections) &&
              EncodeBytes(encoder, cf::SectionKind::Key, key.data(), key.size()) &&
              EncodeBytes(encoder, cf::SectionKind::Summary, &summary, sizeof summary) &&
              EncodeBytes(encoder, cf::SectionKind::Meta, meta.data(), meta.size()) &&
              EncodeTree(encoder, tree, summary.itemCount);
    static const TextArena kNoNames;
    ok = ok && EncodeNames(encoder, store ? store->Names() : kNoNames) &&
         EncodeArray(encoder, cf::SectionKind::ItemLists, ItemLists(load, summary.itemCount)) &&
         EncodeArray(encoder, cf::SectionKind::FreeSpace, freeSpace) &&
         EncodeBytes(encoder, cf::SectionKind::NameIndex, nameIndex.data(), nameIndex.size()) &&
         EncodeEntries(encoder, store);
    return ok && encoder.Finish();
}

// ---- Reading.

// Where the entries of a cache go to be used: memory laid out as a store's
// segments, holding the section's bytes.
class EntryPlace {
public:
    virtual ~EntryPlace() = default;
    // Null when there is no room.
    virtual char* Place(EntryStore& store, std::span<const std::byte> section,
                        std::uint64_t fileOffset, std::uint32_t count) = 0;
    virtual std::shared_ptr<void> TakeMapping() { return nullptr; }
    // The bytes of the cache about to be read through.
    virtual void WillRead(std::span<const std::byte>) {}
};

}  // namespace

bool ReadCacheSectionTable(std::span<const std::byte> start, std::uint64_t fileBytes, bool checkSum,
                           std::vector<cf::Section>& sections) {
    if (start.size() < sizeof(cf::Header)) return false;
    cf::Header header{};
    std::memcpy(&header, start.data(), sizeof header);
    if (std::memcmp(header.magic, cf::kMagic, sizeof header.magic) != 0 ||
        header.version != cf::kVersion || header.fileBytes != fileBytes ||
        header.sectionCount == 0 || header.sectionCount > cf::kMaxSections ||
        start.size() - sizeof header < header.sectionCount * sizeof(cf::Section))
        return false;
    sections.resize(header.sectionCount);
    std::memcpy(sections.data(), start.data() + sizeof header,
                sections.size() * sizeof(cf::Section));
    if (!checkSum) return true;
    const std::uint64_t expected = header.headerSum;
    header.headerSum = 0;
    Checksum sum;
    sum.Add(&header, sizeof header);
    sum.Add(sections.data(), sections.size() * sizeof(cf::Section));
    return sum.Finish() == expected;
}

namespace {

// The sections of a cache, each checked to lie inside it.
class CacheSections {
public:
    bool Open(std::span<const std::byte> bytes, CacheCheck check, EntryPlace* place) {
        if (!ReadCacheSectionTable(bytes, bytes.size(), check == CacheCheck::Everything, sections_))
            return false;
        std::uint64_t entriesAt = bytes.size();
        for (const cf::Section& section : sections_) {
            if (section.offset % 8 != 0 || section.offset > bytes.size() ||
                section.length > bytes.size() - section.offset)
                return false;
            if (section.kind == static_cast<std::uint32_t>(cf::SectionKind::Entries))
                entriesAt = std::min(entriesAt, section.offset);
        }
        // What the sums read is read at once (the entries are read apart).
        if (place && check == CacheCheck::Everything) place->WillRead(bytes.first(entriesAt));
        for (const cf::Section& section : sections_) {
            // The entries' sum is taken where they are checked (see
            // EntryRecords), while they are at hand.
            if (check == CacheCheck::Everything &&
                section.kind != static_cast<std::uint32_t>(cf::SectionKind::Entries) &&
                Checksum::Of(bytes.data() + section.offset, section.length) != section.sum)
                return false;
        }
        bytes_ = bytes;
        check_ = check;
        return true;
    }
    CacheCheck Check() const { return check_; }

    // The section table's record of `kind`; null when there is none.
    const cf::Section* Find(cf::SectionKind kind) const {
        for (const cf::Section& section : sections_)
            if (section.kind == static_cast<std::uint32_t>(kind)) return &section;
        return nullptr;
    }

    // The section of `kind`; empty when there is none.
    std::span<const std::byte> Bytes(cf::SectionKind kind) const {
        for (const cf::Section& section : sections_)
            if (section.kind == static_cast<std::uint32_t>(kind))
                return bytes_.subspan(section.offset, section.length);
        return {};
    }
    // The section of `kind` as `count` values of T, where it holds exactly
    // that many.
    template <class T>
    bool Array(cf::SectionKind kind, std::size_t count, std::span<const T>& values) const {
        const std::span<const std::byte> bytes = Bytes(kind);
        if (bytes.size() != count * sizeof(T)) return false;
        // Sections start at multiples of 8 in a page-aligned mapping.
        values = {reinterpret_cast<const T*>(bytes.data()), count};
        return count == 0 || reinterpret_cast<std::uintptr_t>(bytes.data()) % alignof(T) == 0;
    }

private:
    std::span<const std::byte> bytes_;
    std::vector<cf::Section> sections_;
    CacheCheck check_ = CacheCheck::Everything;
};

bool RestoreMeta(CatalogLoad& load, std::span<const std::byte> bytes) {
    FieldReader fields(bytes);
    std::string text;
    std::uint64_t count = 0;
    if (!fields.Text(text)) return false;
    load.SetCodePage(text);
    if (!fields.Number(count) || count > bytes.size()) return false;
    for (std::uint64_t i = 0; i < count; ++i) {
        if (!fields.Text(text)) return false;
        load.ReplaceLabel(text);
    }
    if (!fields.Number(count) || count > bytes.size()) return false;
    for (std::uint64_t i = 0; i < count; ++i) {
        Message message;
        std::uint64_t icon = 0, buttons = 0, answer = 0;
        if (!fields.Text(message.caption) || !fields.Text(message.text) || !fields.Number(icon) ||
            !fields.Number(buttons) || !fields.Number(answer) ||
            icon > static_cast<std::uint64_t>(MessageIcon::Stop) ||
            buttons > static_cast<std::uint64_t>(MessageButtons::YesNo) ||
            answer > static_cast<std::uint64_t>(MessageAnswer::No))
            return false;
        message.icon = static_cast<MessageIcon>(icon);
        message.buttons = static_cast<MessageButtons>(buttons);
        message.defaultAnswer = static_cast<MessageAnswer>(answer);
        load.Show(message);
    }
    return fields.AtEnd();
}

bool RestoreTree(ContainerTree& tree, const CacheSections& sections, std::uint32_t itemCount) {
    std::span<const cf::TreeItemRecord> records;
    if (!sections.Array(cf::SectionKind::TreeItems, itemCount, records)) return false;
    const std::span<const std::byte> texts = sections.Bytes(cf::SectionKind::TreeTexts);
    std::vector<ContainerTree::ItemState> states;
    states.reserve(itemCount);
    for (const cf::TreeItemRecord& record : records) {
        if (record.textOffset > texts.size() ||
            record.textLength > texts.size() - record.textOffset)
            return false;
        states.push_back(ContainerTree::ItemState{record.parent, record.row, record.kind,
                                                  record.sortedPrefix, record.childrenSorted != 0});
    }
    return tree.Restore(states, [&](std::size_t i) {
        return std::string_view(reinterpret_cast<const char*>(texts.data()) + records[i].textOffset,
                                records[i].textLength);
    });
}

}  // namespace

// Checks entries laid out as a store's segments, as a cache keeps them,
// before a store takes them: each field one a read of the text could give,
// and the lists exactly those a read files (every entry of an item, in order
// of creation, from the item's first to its last), so that damage the sums
// miss still never makes other lists or a loop.
class EntryRecords {
public:
    EntryRecords(const char* first, std::uint32_t count, std::span<const cf::ListRecord> lists)
        : first_(first), count_(count), lists_(lists) {}

    const FileData& At(std::uint32_t serial) const {
        const std::size_t segment = serial / EntryStore::EntriesPerSegment();
        const std::size_t index = serial % EntryStore::EntriesPerSegment();
        return *reinterpret_cast<const FileData*>(first_ + segment * FileData::kSegmentBytes +
                                                  EntryStore::EntriesOffset() +
                                                  index * sizeof(FileData));
    }

    // Takes the sum of the bytes (when `sum` is given) while checking each
    // segment's entries in turn, so that each is read from memory once.
    bool Check(const TextArena& names, const ContainerTree& tree, const std::uint64_t* sum) {
        expected_.assign(lists_.size(), kUnseen);
        // A tree restored whole has no gaps: an item is valid when in range.
        denseLimit_ = tree.IsDense() ? std::min<std::size_t>(tree.ItemLimit(), lists_.size()) : 0;
        Checksum checksum;
        const std::size_t bytes = EntryStore::SegmentBytesFor(count_);
        for (std::uint32_t done = 0; done < count_; done += EntryStore::EntriesPerSegment()) {
            const std::size_t at =
                std::size_t{done} / EntryStore::EntriesPerSegment() * FileData::kSegmentBytes;
            if (sum) checksum.Add(first_ + at, std::min(bytes - at, FileData::kSegmentBytes));
            const std::uint32_t end = std::min(count_, done + EntryStore::EntriesPerSegment());
            const FileData* entry = &At(done);
            for (std::uint32_t serial = done; serial < end; ++serial, ++entry)
                if (!CheckEntry(*entry, serial, names, tree)) return false;
        }
        // Each listed item's chain ended, at its last entry; an item without
        // a list has no entries.
        for (std::size_t item = 0; item < lists_.size(); ++item) {
            const cf::ListRecord& list = lists_[item];
            if (list.head == cf::kNoEntry) {
                if (list.tail != cf::kNoEntry || expected_[item] != kUnseen) return false;
            } else if (expected_[item] != FileData::kNoNext || list.tail >= count_ ||
                       At(list.tail).parentItem_ != item ||
                       At(list.tail).next_ != FileData::kNoNext) {
                return false;
            }
        }
        return !sum || checksum.Finish() == *sum;
    }

private:
    // What expected_ holds for an item none of whose entries came yet.
    static constexpr std::uint32_t kUnseen = FileData::kNextElsewhere;

    bool CheckEntry(const FileData& entry, std::uint32_t serial, const TextArena& names,
                    const ContainerTree& tree) {
        const TreeItem parent = entry.parentItem_;
        const bool validParent = denseLimit_ ? parent != kNoItem && parent < denseLimit_
                                             : parent < lists_.size() && tree.IsValid(parent);
        if (!validParent || entry.serial_ != serial || entry.sizeCounted_ != 0 ||
            entry.reserved_ != 0 || !IsEntryKind(entry.kind_) || !IsEntryTime(entry.time_) ||
            (entry.name_ != kNoText && !names.IsWholeText(entry.name_)))
            return false;
        // The entry is its item's first, or the one the item's last entry
        // named; it names one after it, or none.
        std::uint32_t& expected = expected_[parent];
        if (expected == kUnseen ? lists_[parent].head != serial : expected != serial) return false;
        if (entry.next_ != FileData::kNoNext && (entry.next_ <= serial || entry.next_ >= count_))
            return false;
        expected = entry.next_;
        return true;
    }

    static bool IsEntryKind(int kind) { return kind == KIND_FILE || IsContainerKind(kind); }
    // Times made from dates of 32-bit fields lie well within 2^57 seconds
    // of 1970; the clock's tables need not hold any further.
    static bool IsEntryTime(std::int64_t time) {
        constexpr std::int64_t kFurthest = std::int64_t{1} << 57;
        return time >= -kFurthest && time <= kFurthest;
    }

    const char* first_;
    std::uint32_t count_;
    std::span<const cf::ListRecord> lists_;
    // Per item: the serial its next entry must have, kNoNext once its list
    // ended, or kUnseen.
    std::vector<std::uint32_t> expected_;
    std::size_t denseLimit_ = 0;
};

namespace {

// A copy in blocks of the store's own.
class CopiedEntries : public EntryPlace {
public:
    char* Place(EntryStore& store, std::span<const std::byte> section, std::uint64_t,
                std::uint32_t count) override {
        if (count == 0) return nullptr;
        const std::size_t segments =
            (count + EntryStore::EntriesPerSegment() - 1) / EntryStore::EntriesPerSegment();
        char* first = store.NewSegmentBlock(segments);
        std::memcpy(first, section.data(), section.size());
        return first;
    }
};

// The store's segments and the entries' pages of the cache file are one:
// the file is mapped privately where the segments lie, so that only the
// pages written (the segments' headers, entries changed later) are copied.
class MappedEntries : public EntryPlace {
public:
    explicit MappedEntries(int fd, CopiedEntries& fallback) : fd_(fd), fallback_(fallback) {}
    char* Place(EntryStore& store, std::span<const std::byte> section, std::uint64_t fileOffset,
                std::uint32_t count) override {
        static const std::size_t pageSize = static_cast<std::size_t>(::sysconf(_SC_PAGESIZE));
        if (count == 0) return nullptr;
        if (fileOffset % pageSize != 0 || FileData::kSegmentBytes % pageSize != 0)
            return fallback_.Place(store, section, fileOffset, count);
        const std::size_t segments =
            (count + EntryStore::EntriesPerSegment() - 1) / EntryStore::EntriesPerSegment();
        const std::size_t bytes = segments * FileData::kSegmentBytes;
        // Room for the segments at a multiple of their size, the last
        // one's unused part anonymous memory.
        const std::size_t reserved = bytes + FileData::kSegmentBytes;
        void* room = ::mmap(nullptr, reserved, PROT_READ | PROT_WRITE,
                            MAP_PRIVATE | MAP_ANONYMOUS | MAP_NORESERVE, -1, 0);
        if (room == MAP_FAILED) return fallback_.Place(store, section, fileOffset, count);
        const auto start = reinterpret_cast<std::uintptr_t>(room);
        const std::uintptr_t aligned =
            (start + FileData::kSegmentBytes - 1) & ~(FileData::kSegmentBytes - 1);
        if (aligned > start) ::munmap(room, aligned - start);
        if (start + reserved > aligned + bytes)
            ::munmap(reinterpret_cast<void*>(aligned + bytes), start + reserved - aligned - bytes);
        auto* first = reinterpret_cast<char*>(aligned);
        mapping_ = std::shared_ptr<void>(first, [bytes](void* at) { ::munmap(at, bytes); });
        const std::size_t length = (section.size() + pageSize - 1) / pageSize * pageSize;
        if (::mmap(first, length, PROT_READ | PROT_WRITE, MAP_PRIVATE | MAP_FIXED, fd_,
                   static_cast<off_t>(fileOffset)) == MAP_FAILED) {
            mapping_.reset();
            return fallback_.Place(store, section, fileOffset, count);
        }
#if defined(MADV_POPULATE_READ)
        // The pages are in the page cache; mapping them in one call is far
        // cheaper than a fault for each few.
        ::madvise(first, length, MADV_POPULATE_READ);
#endif
        return first;
    }
    void WillRead(std::span<const std::byte> bytes) override {
#if defined(MADV_POPULATE_READ)
        static const auto pageSize = static_cast<std::uintptr_t>(::sysconf(_SC_PAGESIZE));
        const auto begin = reinterpret_cast<std::uintptr_t>(bytes.data()) & ~(pageSize - 1);
        const auto end = reinterpret_cast<std::uintptr_t>(bytes.data() + bytes.size());
        if (end > begin) ::madvise(reinterpret_cast<void*>(begin), end - begin, MADV_POPULATE_READ);
#else
        (void)bytes;
#endif
    }
    std::shared_ptr<void> TakeMapping() override {
        return std::move(mapping_);
    }

private:
    int fd_;
    CopiedEntries& fallback_;
    std::shared_ptr<void> mapping_;
};

// The store, its names adopted where they lie and its entries taken where
// `place` puts them, each checked before use.
bool RestoreEntries(CatalogLoad& load, const CacheSections& sections, const cf::Summary& summary,
                    std::shared_ptr<const void> backing, EntryPlace& place) {
    const std::uint32_t count = summary.entryCount;
    std::span<const cf::ChunkRecord> chunkRecords;
    std::span<const cf::FreeSpaceRecord> freeSpace;
    std::span<const cf::ListRecord> lists;
    const cf::Section* entrySection = sections.Find(cf::SectionKind::Entries);
    if (!entrySection || entrySection->length != EntryStore::SegmentBytesFor(count) ||
        count >= FileData::kNextElsewhere ||
        !sections.Array(cf::SectionKind::NameChunks, summary.chunkCount, chunkRecords) ||
        !sections.Array(cf::SectionKind::ItemLists, std::size_t{summary.itemCount} + 1, lists) ||
        !sections.Array(cf::SectionKind::FreeSpace, summary.freeSpaceCount, freeSpace))
        return false;
    const std::span<const std::byte> nameBytes = sections.Bytes(cf::SectionKind::NameBytes);
    std::vector<std::string_view> chunks;
    chunks.reserve(chunkRecords.size());
    for (const cf::ChunkRecord& chunk : chunkRecords) {
        if (chunk.offset > nameBytes.size() || chunk.length > nameBytes.size() - chunk.offset)
            return false;
        chunks.emplace_back(reinterpret_cast<const char*>(nameBytes.data()) + chunk.offset,
                            chunk.length);
    }
    auto store = std::make_unique<EntryStore>(/*owner=*/nullptr, /*serial=*/0);
    if (!store->AdoptNames(std::move(backing), chunks, sections.Bytes(cf::SectionKind::NameIndex)))
        return false;
    char* first =
        place.Place(*store, sections.Bytes(cf::SectionKind::Entries), entrySection->offset, count);
    std::shared_ptr<void> mapping = place.TakeMapping();
    EntryRecords records(first, first ? count : 0, lists);
    const bool sums = sections.Check() == CacheCheck::Everything;
    if ((count > 0 && !first) ||
        !records.Check(store->Names(), load.Tree(), sums ? &entrySection->sum : nullptr))
        return false;
    std::uint32_t lastFree = 0;
    for (std::size_t i = 0; i < freeSpace.size(); ++i) {
        if (freeSpace[i].serial >= count || (i > 0 && freeSpace[i].serial <= lastFree))
            return false;
        lastFree = freeSpace[i].serial;
    }
    store->AdoptEntries(first, count, std::move(mapping));
    for (const cf::FreeSpaceRecord& record : freeSpace)
        store->SetFreeSpace(record.serial, record.freeSpace);
    EntryLists& itemLists = load.Lists();
    for (TreeItem item = 0; item < lists.size(); ++item)
        if (lists[item].head != cf::kNoEntry)
            itemLists.SetList(item, &store->EntryAt(lists[item].head),
                              &store->EntryAt(lists[item].tail));
    load.SetStore(std::move(store));
    return true;
}

bool Restore(CatalogLoad& load, std::span<const std::byte> bytes, std::string_view key,
             std::shared_ptr<const void> backing, CacheCheck check, EntryPlace& place) {
    CacheSections sections;
    if (!sections.Open(bytes, check, &place)) return false;
    const std::span<const std::byte> keyBytes = sections.Bytes(cf::SectionKind::Key);
    if (keyBytes.size() != key.size() || std::memcmp(keyBytes.data(), key.data(), key.size()) != 0)
        return false;
    const std::span<const std::byte> summaryBytes = sections.Bytes(cf::SectionKind::Summary);
    cf::Summary summary{};
    if (summaryBytes.size() != sizeof summary) return false;
    std::memcpy(&summary, summaryBytes.data(), sizeof summary);
    if (summary.outcome > static_cast<std::uint32_t>(LoadOutcome::Damaged) ||
        summary.itemCount >= UINT32_MAX || !RestoreTree(load.Tree(), sections, summary.itemCount))
        return false;
    const ContainerTree& tree = load.Tree();
    if ((summary.rootItem != kNoItem && !tree.IsValid(summary.rootItem)) ||
        (summary.diskItem != kNoItem && !tree.IsValid(summary.diskItem)))
        return false;
    load.SetRoot(summary.rootItem);
    load.SetDisk(summary.diskItem);
    load.SetOutcome(static_cast<LoadOutcome>(summary.outcome));
    if (!RestoreMeta(load, sections.Bytes(cf::SectionKind::Meta))) return false;
    if (summary.hasStore) return RestoreEntries(load, sections, summary, std::move(backing), place);
    return summary.entryCount == 0;
}

// A read-only mapping of a whole file, unmapped when the last user goes.
class MappedFile {
public:
    MappedFile(void* data, std::size_t size) : data_(data), size_(size) {}
    ~MappedFile() { ::munmap(data_, size_); }
    MappedFile(const MappedFile&) = delete;
    MappedFile& operator=(const MappedFile&) = delete;
    std::span<const std::byte> Bytes() const {
        return {static_cast<const std::byte*>(data_), size_};
    }

private:
    void* data_;
    std::size_t size_;
};

// A descriptor closed when it goes.
class OpenFile {
public:
    explicit OpenFile(int fd) : fd_(fd) {}
    ~OpenFile() {
        if (fd_ >= 0) ::close(fd_);
    }
    OpenFile(const OpenFile&) = delete;
    OpenFile& operator=(const OpenFile&) = delete;
    int Descriptor() const { return fd_; }

private:
    int fd_;
};

std::shared_ptr<const MappedFile> MapFile(const OpenFile& file) {
    struct stat st {};
    void* data = MAP_FAILED;
    if (file.Descriptor() >= 0 && ::fstat(file.Descriptor(), &st) == 0 && S_ISREG(st.st_mode) &&
        static_cast<std::uint64_t>(st.st_size) >= sizeof(cf::Header))
        data = ::mmap(nullptr, static_cast<std::size_t>(st.st_size), PROT_READ, MAP_PRIVATE,
                      file.Descriptor(), 0);
    if (data == MAP_FAILED) return nullptr;
    return std::make_shared<const MappedFile>(data, static_cast<std::size_t>(st.st_size));
}

bool RestoreGuarded(CatalogLoad& load, std::span<const std::byte> bytes, std::string_view key,
                    std::shared_ptr<const void> backing, CacheCheck check, EntryPlace& place) {
    bool restored = false;
    try {
        restored = Restore(load, bytes, key, std::move(backing), check, place);
    } catch (const std::bad_alloc&) {
        restored = false;
    }
    if (!restored) load.Restart();
    return restored;
}

// Makes the cache directory (and $XDG_CACHE_HOME or ~/.cache above it)
// where missing, for the user alone.
bool MakeDirectories(const std::string& directory) {
    for (std::size_t slash = directory.find('/', 1);; slash = directory.find('/', slash + 1)) {
        const std::string part = directory.substr(0, slash);
        if (::mkdir(part.c_str(), 0700) != 0 && errno != EEXIST) return false;
        if (slash == std::string::npos) return true;
    }
}

}  // namespace

std::string CatalogCacheDirectory() {
    const char* xdg = NonEmptyVariable("XDG_CACHE_HOME");
    if (xdg && xdg[0] == '/') return std::string(xdg) + "/kestavo";
    const std::string home = HomeDirectory();
    if (home.empty()) return std::string();
    return home + "/.cache/kestavo";
}

std::string CatalogCacheFile(const std::string& catalogPath) {
    const std::string directory = CatalogCacheDirectory();
    if (directory.empty()) return std::string();
    const std::string absolute = AbsolutePath(catalogPath);
    char name[32];
    std::snprintf(name, sizeof name, "%016llx.kvc",
                  static_cast<unsigned long long>(Checksum::Of(absolute.data(), absolute.size())));
    return directory + "/" + name;
}

namespace {

// Whether the file's last change, of its data or of its inode, lies at
// least kCatalogSettleNanoseconds in the past (a time in the future has not
// settled either).
bool HasSettled(const struct stat& st) {
    timespec now{};
    if (::clock_gettime(CLOCK_REALTIME, &now) != 0) return false;
    const std::int64_t changed = std::max(Nanoseconds(st.st_mtim), Nanoseconds(st.st_ctim));
    return Nanoseconds(now) - changed >= kCatalogSettleNanoseconds;
}

}  // namespace

std::optional<CatalogCacheKey> CatalogCacheKey::Of(const std::string& path,
                                                   std::uint64_t largestSize) {
    struct stat st {};
    if (::stat(path.c_str(), &st) != 0 || !S_ISREG(st.st_mode) || st.st_size < 0 ||
        static_cast<std::uint64_t>(st.st_size) > largestSize)
        return std::nullopt;
    std::string cacheFile = CatalogCacheFile(path);
    if (cacheFile.empty()) return std::nullopt;
    FieldWriter fields;
    fields.Stamp(st);
    fields.Text(AbsolutePath(path));
    fields.Text(path);
    fields.Variable("KESTAVO_CODEPAGE");
    WriteZoneIdentity(fields);
    // Another version of the program may read the same text otherwise.
    fields.Text(KESTAVO_VERSION);
    CatalogCacheKey key = FromBytes(fields.Take(), std::move(cacheFile));
    key.settled_ = HasSettled(st);
    return key;
}

std::string CatalogCacheKey::CatalogPathIn(std::span<const std::byte> bytes) {
    // The fields as Of writes them: the five numbers of the stamp, then the
    // absolute path.
    FieldReader fields(bytes);
    std::uint64_t number = 0;
    for (int i = 0; i < 5; ++i)
        if (!fields.Number(number)) return std::string();
    std::string path;
    if (!fields.Text(path) || path.empty() || path[0] != '/') return std::string();
    return path;
}

CatalogCacheKey CatalogCacheKey::FromBytes(std::string bytes, std::string cacheFile) {
    CatalogCacheKey key;
    key.bytes_ = std::move(bytes);
    key.cacheFile_ = std::move(cacheFile);
    return key;
}

bool RestoreCatalogLoad(CatalogLoad& load, std::span<const std::byte> bytes, std::string_view key,
                        std::shared_ptr<const void> backing, CacheCheck check) {
    CopiedEntries copied;
    return RestoreGuarded(load, bytes, key, std::move(backing), check, copied);
}

bool ReadCatalogCache(CatalogLoad& load, const CatalogCacheKey& key) {
    const OpenFile file(::open(key.CacheFile().c_str(), O_RDONLY | O_CLOEXEC | O_NOFOLLOW));
    std::shared_ptr<const MappedFile> mapped = MapFile(file);
    if (!mapped) return false;
    const std::span<const std::byte> bytes = mapped->Bytes();
    CopiedEntries copied;
    MappedEntries inPlace(file.Descriptor(), copied);
    return RestoreGuarded(load, bytes, key.Bytes(), std::move(mapped), CacheCheck::Everything,
                          inPlace);
}

std::optional<std::string> EncodeCatalogCache(const CatalogLoad& load, std::string_view key,
                                              std::span<const std::byte> nameIndex) {
    StringOutput out;
    if (!Encode(load, key, nameIndex, out)) return std::nullopt;
    return std::move(out.bytes);
}

bool CanWriteCatalogCache(const CatalogCacheKey& key) {
    if (!key.Settled()) return false;
    const std::string& target = key.CacheFile();
    const std::size_t slash = target.rfind('/');
    if (slash == std::string::npos) return false;
    const std::string directory = target.substr(0, slash);
    return MakeDirectories(directory) && ::access(directory.c_str(), W_OK | X_OK) == 0;
}

bool WriteCatalogCache(const CatalogLoad& load, const CatalogCacheKey& key,
                       std::span<const std::byte> nameIndex) {
    if (!key.Settled()) return false;
    const std::string& target = key.CacheFile();
    const std::size_t slash = target.rfind('/');
    if (slash == std::string::npos || !MakeDirectories(target.substr(0, slash))) return false;
    std::string temporary = target + ".XXXXXX";
    const int fd = ::mkstemp(temporary.data());
    if (fd < 0) return false;
    bool ok = false;
    try {
        FileOutput out(fd);
        ok = Encode(load, key.Bytes(), nameIndex, out);
    } catch (const std::bad_alloc&) {
        ok = false;
    }
    ok = ::close(fd) == 0 && ok;
    ok = ok && ::rename(temporary.c_str(), target.c_str()) == 0;
    if (!ok) ::unlink(temporary.c_str());
    return ok;
}

void RemoveCatalogCache(const std::string& catalogPath) {
    const std::string file = CatalogCacheFile(catalogPath);
    if (!file.empty()) ::unlink(file.c_str());
}

}  // namespace kestavo
