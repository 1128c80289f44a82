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
    void StartSection(cf::SectionKind kind) {
        Pad();
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
    void Pad() {
        static constexpr char kZeros[cf::kSectionAlign] = {};
        const std::size_t pad = (cf::kSectionAlign - at_ % cf::kSectionAlign) % cf::kSectionAlign;
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

// The entries' fields, one array per field, in order of creation.
struct EntryColumns {
    std::vector<std::int64_t> sizes, times;
    std::vector<std::uint32_t> names, parents;
    std::vector<std::int8_t> kinds;
    std::vector<cf::FreeSpaceRecord> freeSpace;
};

bool CollectEntries(const EntryStore& store, EntryColumns& columns) {
    const std::size_t count = store.LiveCount();
    columns.sizes.reserve(count);
    columns.times.reserve(count);
    columns.names.reserve(count);
    columns.parents.reserve(count);
    columns.kinds.reserve(count);
    bool inOrder = true;
    store.ForEachLive([&](const FileData& entry) {
        inOrder = inOrder && entry.Serial() == columns.sizes.size();
        columns.sizes.push_back(entry.Size());
        columns.times.push_back(entry.GetTime());
        columns.names.push_back(EntryStore::NameRefOf(entry));
        columns.parents.push_back(entry.GetParentItem());
        columns.kinds.push_back(static_cast<std::int8_t>(entry.GetKind()));
    });
    for (const auto& [serial, free] : store.FreeSpaces())
        if (store.EntryAt(serial).IsAlive())
            columns.freeSpace.push_back(cf::FreeSpaceRecord{serial, 0, free});
    // A read only ever adds entries: a gap would be an entry gone.
    return inOrder;
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
    EntryColumns columns;
    if (store && !CollectEntries(*store, columns)) return false;
    cf::Summary summary{};
    summary.outcome = static_cast<std::uint32_t>(load.Outcome());
    summary.rootItem = load.RootItem();
    summary.diskItem = load.Disk();
    summary.itemCount = static_cast<std::uint32_t>(tree.ItemLimit() - 1);
    summary.entryCount = static_cast<std::uint32_t>(columns.sizes.size());
    summary.hasStore = store ? 1 : 0;
    summary.chunkCount = store ? static_cast<std::uint32_t>(store->Names().ChunkCount()) : 0;
    summary.freeSpaceCount = static_cast<std::uint32_t>(columns.freeSpace.size());
    const std::string meta = EncodeMeta(load);

    CacheEncoder encoder(out);
    constexpr std::size_t kSections = 14;
    bool ok = encoder.Begin(kSections) &&
              EncodeBytes(encoder, cf::SectionKind::Key, key.data(), key.size()) &&
              EncodeBytes(encoder, cf::SectionKind::Summary, &summary, sizeof summary) &&
              EncodeBytes(encoder, cf::SectionKind::Meta, meta.data(), meta.size()) &&
              EncodeTree(encoder, tree, summary.itemCount);
    static const TextArena kNoNames;
    ok = ok && EncodeNames(encoder, store ? store->Names() : kNoNames) &&
         EncodeArray(encoder, cf::SectionKind::Sizes, columns.sizes) &&
         EncodeArray(encoder, cf::SectionKind::Times, columns.times) &&
         EncodeArray(encoder, cf::SectionKind::NameRefs, columns.names) &&
         EncodeArray(encoder, cf::SectionKind::Parents, columns.parents) &&
         EncodeArray(encoder, cf::SectionKind::Kinds, columns.kinds) &&
         EncodeArray(encoder, cf::SectionKind::FreeSpace, columns.freeSpace) &&
         EncodeBytes(encoder, cf::SectionKind::NameIndex, nameIndex.data(), nameIndex.size());
    return ok && encoder.Finish();
}

// ---- Reading.

// The sections of a cache, each checked to lie inside it.
class CacheSections {
public:
    bool Open(std::span<const std::byte> bytes, CacheCheck check) {
        if (bytes.size() < sizeof(cf::Header)) return false;
        cf::Header header{};
        std::memcpy(&header, bytes.data(), sizeof header);
        if (std::memcmp(header.magic, cf::kMagic, sizeof header.magic) != 0 ||
            header.version != cf::kVersion || header.fileBytes != bytes.size() ||
            header.sectionCount > cf::kMaxSections ||
            bytes.size() - sizeof header < header.sectionCount * sizeof(cf::Section))
            return false;
        if (header.sectionCount == 0) return false;
        sections_.resize(header.sectionCount);
        std::memcpy(sections_.data(), bytes.data() + sizeof header,
                    sections_.size() * sizeof(cf::Section));
        if (check == CacheCheck::Everything) {
            const std::uint64_t expected = header.headerSum;
            header.headerSum = 0;
            Checksum sum;
            sum.Add(&header, sizeof header);
            sum.Add(sections_.data(), sections_.size() * sizeof(cf::Section));
            if (sum.Finish() != expected) return false;
        }
        for (const cf::Section& section : sections_) {
            if (section.offset % 8 != 0 || section.offset > bytes.size() ||
                section.length > bytes.size() - section.offset)
                return false;
            if (check == CacheCheck::Everything &&
                Checksum::Of(bytes.data() + section.offset, section.length) != section.sum)
                return false;
        }
        bytes_ = bytes;
        return true;
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

bool IsEntryKind(int kind) {
    return kind == KIND_FILE || IsContainerKind(kind);
}

// Times made from dates of 32-bit fields lie well within 2^57 seconds of
// 1970; the clock's tables need not hold any further.
bool IsEntryTime(std::int64_t time) {
    constexpr std::int64_t kFurthest = std::int64_t{1} << 57;
    return time >= -kFurthest && time <= kFurthest;
}

// The store, its names adopted where they lie and its entries made from the
// arrays, each checked before use.
bool RestoreEntries(CatalogLoad& load, const CacheSections& sections, const cf::Summary& summary,
                    std::shared_ptr<const void> backing) {
    const std::uint32_t count = summary.entryCount;
    std::span<const cf::ChunkRecord> chunkRecords;
    std::span<const std::int64_t> sizes, times;
    std::span<const std::uint32_t> names, parents;
    std::span<const std::int8_t> kinds;
    std::span<const cf::FreeSpaceRecord> freeSpace;
    if (!sections.Array(cf::SectionKind::NameChunks, summary.chunkCount, chunkRecords) ||
        !sections.Array(cf::SectionKind::Sizes, count, sizes) ||
        !sections.Array(cf::SectionKind::Times, count, times) ||
        !sections.Array(cf::SectionKind::NameRefs, count, names) ||
        !sections.Array(cf::SectionKind::Parents, count, parents) ||
        !sections.Array(cf::SectionKind::Kinds, count, kinds) ||
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
    store->Reserve(count);
    const TextArena& arena = store->Names();
    const ContainerTree& tree = load.Tree();
    EntryLists& lists = load.Lists();
    std::size_t nextFree = 0;
    for (std::uint32_t i = 0; i < count; ++i) {
        std::int64_t free = 0;
        if (nextFree < freeSpace.size() && freeSpace[nextFree].serial == i)
            free = freeSpace[nextFree++].freeSpace;
        if ((names[i] != kNoText && !arena.IsWholeText(names[i])) || !tree.IsValid(parents[i]) ||
            !IsEntryKind(kinds[i]) || !IsEntryTime(times[i]))
            return false;
        FileData* entry =
            store->CreateNamed(names[i], parents[i], sizes[i], free, times[i], kinds[i]);
        lists.Append(parents[i], *entry);
    }
    if (nextFree != freeSpace.size()) return false;
    load.SetStore(std::move(store));
    return true;
}

bool Restore(CatalogLoad& load, std::span<const std::byte> bytes, std::string_view key,
             std::shared_ptr<const void> backing, CacheCheck check) {
    CacheSections sections;
    if (!sections.Open(bytes, check)) return false;
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
    if (summary.hasStore) return RestoreEntries(load, sections, summary, std::move(backing));
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

std::shared_ptr<const MappedFile> MapFile(const std::string& path) {
    const int fd = ::open(path.c_str(), O_RDONLY | O_CLOEXEC | O_NOFOLLOW);
    if (fd < 0) return nullptr;
    struct stat st {};
    void* data = MAP_FAILED;
    if (::fstat(fd, &st) == 0 && S_ISREG(st.st_mode) &&
        static_cast<std::uint64_t>(st.st_size) >= sizeof(cf::Header))
        data = ::mmap(nullptr, static_cast<std::size_t>(st.st_size), PROT_READ, MAP_PRIVATE, fd, 0);
    ::close(fd);
    if (data == MAP_FAILED) return nullptr;
    return std::make_shared<const MappedFile>(data, static_cast<std::size_t>(st.st_size));
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

CatalogCacheKey CatalogCacheKey::FromBytes(std::string bytes, std::string cacheFile) {
    CatalogCacheKey key;
    key.bytes_ = std::move(bytes);
    key.cacheFile_ = std::move(cacheFile);
    return key;
}

bool RestoreCatalogLoad(CatalogLoad& load, std::span<const std::byte> bytes, std::string_view key,
                        std::shared_ptr<const void> backing, CacheCheck check) {
    bool restored = false;
    try {
        restored = Restore(load, bytes, key, std::move(backing), check);
    } catch (const std::bad_alloc&) {
        restored = false;
    }
    if (!restored) load.Restart();
    return restored;
}

bool ReadCatalogCache(CatalogLoad& load, const CatalogCacheKey& key) {
    std::shared_ptr<const MappedFile> mapped = MapFile(key.CacheFile());
    if (!mapped) return false;
    const std::span<const std::byte> bytes = mapped->Bytes();
    return RestoreCatalogLoad(load, bytes, key.Bytes(), std::move(mapped), CacheCheck::Everything);
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
