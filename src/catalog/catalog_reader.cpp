// SPDX-License-Identifier: GPL-3.0-or-later
#include "catalog/catalog_reader.h"

#include <fcntl.h>
#include <sys/mman.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstdlib>
#include <new>
#include <optional>
#include <vector>

#include "catalog/catalog_cache.h"
#include "catalog/catalog_tokens.h"
#include "catalog/code_page_decoder.h"
#include "catalog/name_compare.h"
#include "catalog/name_index.h"

namespace kestavo {
namespace {

// The largest catalog read: a quarter of the memory, as its entries take
// about twice the room of its text. A larger file (a sparse one of holes,
// say) is refused like an unreadable one instead of exhausting memory.
// Asked of the system once: Open All of many small catalogs would
// otherwise ask once per file.
std::size_t LargestCatalogSize() {
    static const std::size_t largest = [] {
        const long pages = ::sysconf(_SC_PHYS_PAGES);
        const long pageSize = ::sysconf(_SC_PAGESIZE);
        if (pages <= 0 || pageSize <= 0) return std::size_t{1} << 30;
        return static_cast<std::size_t>(pages) / 4 * static_cast<std::size_t>(pageSize);
    }();
    return largest;
}

// A catalog file read in pieces as the reader gets to them, into room made
// once for the file's size: the text read stays where it is, so views into
// it hold, and a file that turns out damaged early (a sparse one of holes,
// say) is read, and its room touched, no further than that.
class FileFeed : public TextFeed {
public:
    FileFeed() = default;
    FileFeed(const FileFeed&) = delete;
    FileFeed& operator=(const FileFeed&) = delete;
    ~FileFeed() override {
        if (fd_ >= 0) ::close(fd_);
        if (own_) ::munmap(own_, ownSize_);
    }

    // False for a file that cannot be opened, is no regular file or is
    // larger than `limit`. The room is `buffer` (which only ever grows, so
    // that it serves file after file) unless the file is large: then room
    // of its own, which costs nothing where it is not read into.
    bool Open(const std::string& path, std::size_t limit, std::string& buffer) {
        // Only regular files are catalogs: a pipe or a device could block
        // the program or never end.
        fd_ = ::open(path.c_str(), O_RDONLY | O_CLOEXEC | O_NONBLOCK);
        if (fd_ < 0) return false;
        struct stat st {};
        if (::fstat(fd_, &st) != 0 || !S_ISREG(st.st_mode) || st.st_size < 0 ||
            static_cast<std::uint64_t>(st.st_size) > limit)
            return false;
        const auto size = static_cast<std::size_t>(st.st_size);
        if (size > kBufferedUpTo) {
            // Pages of a private mapping are only given memory once written.
            void* room = ::mmap(nullptr, size, PROT_READ | PROT_WRITE,
                                MAP_PRIVATE | MAP_ANONYMOUS | MAP_NORESERVE, -1, 0);
            if (room == MAP_FAILED) return false;
            own_ = static_cast<char*>(room);
            ownSize_ = size;
            begin_ = own_;
        } else {
            if (buffer.size() < size) buffer.resize(size);
            begin_ = buffer.data();
        }
        roomEnd_ = begin_ + size;
        readEnd_ = begin_;
        return true;
    }

    // The text before anything is read.
    std::string_view Start() const { return std::string_view(begin_, 0); }

    // A file that grows while it is read is read to the size it had when
    // opened; one that cannot be read on ends the text there.
    bool Extend(const char*& end) override {
        char* at = begin_ + (end - begin_);
        while (at < roomEnd_) {
            const auto want = std::min(piece_, static_cast<std::size_t>(roomEnd_ - at));
            const ssize_t n = ::read(fd_, at, want);
            if (n < 0 && errno == EINTR) continue;
            if (n <= 0) return false;
            piece_ = std::min(piece_ * 2, kLargestPiece);
            end = at + n;
            readEnd_ = begin_ + (end - begin_);
            return true;
        }
        return false;
    }

    // The file's whole text, read to its end from `begin`, which is
    // where Start's text began.
    std::string_view Whole(const char* begin) override {
        const char* end = begin + (readEnd_ - begin_);
        while (Extend(end)) {
        }
        return std::string_view(begin, static_cast<std::size_t>(end - begin));
    }

private:
    static constexpr std::size_t kBufferedUpTo = std::size_t{64} << 20;
    static constexpr std::size_t kLargestPiece = std::size_t{8} << 20;

    int fd_ = -1;
    char* begin_ = nullptr;
    char* roomEnd_ = nullptr;
    char* readEnd_ = nullptr;  // how far the file has been read into its room
    char* own_ = nullptr;      // room of its own, mapped for a large file
    std::size_t ownSize_ = 0;
    std::size_t piece_ = std::size_t{64} << 10;
};

Message IncompatibleMessage(const std::string& path) {
    Message m;
    m.caption = "Please re-catalog this disk";
    m.text = "Cannot read " + path + "\nThe file is not compatible with this version of Kestavo," +
             "\nwhich requires *.kvx files with version id: " + kCatalogVersion +
             "\n\nTo proceed, please re-catalog this disk, i.e. " + "File->Catalog New Disk ...\n";
    m.icon = MessageIcon::Exclamation;
    return m;
}

Message DamagedMessage(const std::string& path) {
    Message m;
    m.caption = "Please re-catalog this disk";
    m.text = "The catalog file " + path + " is damaged or incomplete." +
             "\nWhat could be read before the damage has been loaded." +
             "\n\nTo proceed, please re-catalog this disk, i.e. " + "File->Catalog New Disk ...\n";
    m.icon = MessageIcon::Exclamation;
    return m;
}

// The warning for the first file of a catalog with a date past 2035; the
// others of the same catalog are only counted in it.
Message InvalidDateMessage(const std::string& where, std::size_t others) {
    Message m;
    m.caption = "Warning: file date invalid";
    m.text = "The file " + where + " has invalid date information.\n" +
             "A default date will be presented: Feb 5, 2036\n\n" +
             "You may re-catalog the disk to eliminate this message.\n\n" + "Press OK to continue";
    if (others > 0)
        m.text += "\n\n(and " + std::to_string(others) +
                  (others == 1 ? " more file" : " more files") + " with the same problem)";
    m.icon = MessageIcon::Exclamation;
    return m;
}

int KindOfDriveType(std::string_view word, int kind) {
    if (word == kDriveTypeDefault) return KIND_DEFAULT_DISK;
    if (word == kDriveTypeFixed) return KIND_FIXED_DISK;
    if (word == kDriveTypeCdrom) return KIND_CDROM_DISK;
    if (word == kDriveTypeRemovable) return KIND_REMOVABLE_DISK;
    return kind;
}

struct Date {
    std::int32_t day, month, year, hour, minute, second;
};

// A year past 2035 cannot be kept: such a date becomes 5 February 2036,
// 00:00:00. Answers whether the date was replaced.
bool ApplyDateRule(Date& d) {
    if (d.year <= 2035) return false;
    d = Date{.day = 5, .month = 2, .year = 2036, .hour = 0, .minute = 0, .second = 0};
    return true;
}

class Reader {
public:
    Reader(CatalogLoad& load, std::string_view text, TextFeed* feed, LocalClock& clock)
        : load_(load), tree_(load.Tree()), tokens_(text, feed), path_(load.Path()), clock_(clock) {}

    LoadOutcome Load();

private:
    struct Frame {
        TreeItem item;
    };

    ReadStatus ReadDriveType(int& kind);
    ReadStatus ReadDate(Date& date);
    ReadStatus OpenContainer(TreeItem parent, int kind);
    ReadStatus ReadFile(TreeItem parent, const std::string& name);
    ReadStatus ReadContainers(int diskKind);
    void CloseFrame();
    void NoteInvalidDate(FileData* entry, const std::string& name);

    CatalogLoad& load_;
    ContainerTree& tree_;
    CatalogTokens tokens_;
    const std::string& path_;
    LocalClock& clock_;
    TreeItem root_ = kNoItem;
    std::vector<Frame> open_;
    std::string name_;
    // Files dated past 2035: where the first one is, and how many there are.
    std::string firstInvalidDate_;
    std::size_t invalidDates_ = 0;
};

ReadStatus Reader::ReadDriveType(int& kind) {
    kind = KIND_DEFAULT_DISK;
    std::string_view word;
    if (!tokens_.ReadWord(word)) return ReadStatus::End;
    if (!IsMarkWord(word, kHeaderOpen)) return ReadStatus::Ok;
    for (;;) {
        char c = 0;
        if (!tokens_.ReadChar(c)) return ReadStatus::Bad;
        if (c == kHeaderClose) return ReadStatus::Ok;
        if (c != kDirectiveMark) continue;
        if (!tokens_.ReadWord(word)) return ReadStatus::Bad;
        if (word != kDriveTypeDirective) continue;
        if (!tokens_.ReadWord(word)) return ReadStatus::Bad;
        kind = KindOfDriveType(word, kind);
    }
}

ReadStatus Reader::ReadDate(Date& d) {
    std::int32_t* fields[] = {&d.day, &d.month, &d.year, &d.hour, &d.minute, &d.second};
    for (std::int32_t* field : fields) {
        const ReadStatus status = tokens_.ReadInteger(*field);
        if (status != ReadStatus::Ok) return status;
    }
    return ReadStatus::Ok;
}

ReadStatus Reader::OpenContainer(TreeItem parent, int kind) {
    ReadStatus status = tokens_.ReadQuotedName(name_);
    if (status != ReadStatus::Ok) return status;
    // A reloaded disk replaces the disk of the same name. Below the disk a
    // container never replaces a sibling: folders that differ only in
    // letter case, or that the writer's clean-up made equal, are different
    // folders, and each keeps its entries.
    if (parent == root_) load_.ReplaceLabel(name_);
    if (PassesArchiveTest(name_)) kind = KIND_ZIP_FOLDER;
    std::int64_t size = 0, second = 0;
    if ((status = tokens_.ReadNumberWord(size)) != ReadStatus::Ok) return status;
    if ((status = tokens_.ReadNumberWord(second)) != ReadStatus::Ok) return status;
    Date d{};
    if ((status = ReadDate(d)) != ReadStatus::Ok) return status;
    ApplyDateRule(d);
    const std::int64_t time = clock_.MakeTime(d.year, d.month, d.day, d.hour, d.minute, d.second);
    load_.AddEntry(parent, name_, size, second, time, kind);
    const TreeItem item = tree_.InsertItem(name_, kind, parent);
    if (parent == root_) load_.SetDisk(item);
    std::string_view word;
    if (!tokens_.ReadWord(word)) return ReadStatus::End;
    if (IsMarkWord(word, kChildrenOpen)) open_.push_back(Frame{item});
    return ReadStatus::Ok;
}

ReadStatus Reader::ReadFile(TreeItem parent, const std::string& name) {
    std::int64_t size = 0;
    ReadStatus status = tokens_.ReadFileSize(size);
    if (status != ReadStatus::Ok) return status;
    Date d{};
    if ((status = ReadDate(d)) != ReadStatus::Ok) return status;
    const bool wasFeb5 = d.day == 5 && d.month == 2 && d.year == 2036;
    const bool warn = ApplyDateRule(d) && !wasFeb5;
    const std::int64_t time = clock_.MakeTime(d.year, d.month, d.day, d.hour, d.minute, d.second);
    FileData* entry = load_.AddEntry(parent, name, size, /*freeSpace=*/0, time, KIND_FILE);
    if (warn) NoteInvalidDate(entry, name);
    return ReadStatus::Ok;
}

void Reader::NoteInvalidDate(FileData* entry, const std::string& name) {
    if (invalidDates_++ > 0) return;
    firstInvalidDate_ = name;
    if (entry) {
        firstInvalidDate_.assign(entry->Store().PathOf(*entry, &tree_));
        firstInvalidDate_ += '/';
        firstInvalidDate_ += entry->GetName();
    }
}

void Reader::CloseFrame() {
    tree_.SortChildren(open_.back().item);
    open_.pop_back();
}

ReadStatus Reader::ReadContainers(int diskKind) {
    ReadStatus status = OpenContainer(root_, diskKind);
    std::string fileName;
    while (status == ReadStatus::Ok && !open_.empty()) {
        char c = 0;
        if (!tokens_.ReadChar(c)) {
            status = ReadStatus::End;
            break;
        }
        if (c == kChildrenClose) {
            CloseFrame();
        } else if (c == kQuote) {
            tokens_.Unread();
            status = tokens_.ReadQuotedName(fileName);
            if (status == ReadStatus::Ok) status = ReadFile(open_.back().item, fileName);
        } else if (c == kContainerMark) {
            status = OpenContainer(open_.back().item, KIND_FOLDER);
        }
    }
    while (!open_.empty()) CloseFrame();
    return status;
}

LoadOutcome Reader::Load() {
    root_ = load_.Root();
    std::string_view word;
    // A NUL touching the version tag makes it another word.
    if (!tokens_.ReadWord(word) || tokens_.Stopped() ||
        (word != kCatalogVersion && word != kCatalogVersionOld)) {
        load_.Show(IncompatibleMessage(path_));
        return LoadOutcome::Incompatible;
    }
    load_.StartStore();
    ReadStatus status = ReadStatus::Ok;
    int diskKind = KIND_DEFAULT_DISK;
    try {
        if (word == kCatalogVersion) status = ReadDriveType(diskKind);
        if (status == ReadStatus::Ok && tokens_.ReadWord(word) && IsMarkWord(word, kContainerMark))
            status = ReadContainers(diskKind);
    } catch (const std::bad_alloc&) {
        // A catalog too large for the memory left: what was read stays, as
        // for a damaged file, and the program goes on.
        while (!open_.empty()) CloseFrame();
        status = ReadStatus::Bad;
        load_.NoteOutOfMemory();
    }
    // A file that ends before its root marker holds no disk; it is not
    // damaged. A NUL outside a name is damage wherever it stands.
    const bool damaged = status == ReadStatus::Bad || tokens_.Stopped() ||
                         (status == ReadStatus::End && IsMarkWord(word, kContainerMark));
    // One message for all the files of this catalog with a date past 2035.
    if (invalidDates_ > 0) load_.Show(InvalidDateMessage(firstInvalidDate_, invalidDates_ - 1));
    if (damaged) {
        load_.Show(DamagedMessage(path_));
        return LoadOutcome::Damaged;
    }
    return LoadOutcome::Loaded;
}

void ReadText(CatalogLoad& load, std::string_view text, TextFeed* feed, LocalClock& clock) {
    Reader reader(load, text, feed, clock);
    load.SetOutcome(reader.Load());
}

// A catalog with names that are not UTF-8 was written in a legacy code
// page: it is read again from its text turned into UTF-8, so that nothing
// after the reader ever sees the code page. The file stays as it is.
void ReadLegacyText(CatalogLoad& load, std::string_view text, LocalClock& clock) {
    std::optional<CodePageDecoder> decoder =
        ChooseDecoder(std::getenv("KESTAVO_CODEPAGE"), load.LegacyNames());
    if (!decoder) return;
    std::string decoded;
    try {
        decoder->Decode(text, decoded);
    } catch (const std::bad_alloc&) {
        load.NoteOutOfMemory();
        return;  // the names stay as they were read
    }
    load.Restart();
    load.SetCodePage(CodePageDisplayName(decoder->Name()));
    ReadText(load, decoded, /*feed=*/nullptr, clock);
}

// `text` is the whole catalog, or its start when `feed` reads the rest.
void ReadCatalogText(CatalogLoad& load, std::string_view text, TextFeed* feed, LocalClock& clock) {
    ReadText(load, text, feed, clock);
    if (load.LegacyNames().Count() == 0) return;
    if (feed) text = feed->Whole(text.data());
    ReadLegacyText(load, text, clock);
}

}  // namespace

namespace {

// Reads the file's text; false when it cannot be read at all.
bool ReadCatalogFileText(CatalogLoad& load, std::string& buffer, LocalClock& clock) {
    FileFeed feed;
    bool opened = false;
    try {
        opened = feed.Open(load.Path(), LargestCatalogSize(), buffer);
    } catch (const std::bad_alloc&) {
        std::string().swap(buffer);
    }
    if (!opened) {
        load.Show(IncompatibleMessage(load.Path()));
        load.SetOutcome(LoadOutcome::Incompatible);
        return false;
    }
    ReadCatalogText(load, feed.Start(), &feed, clock);
    return true;
}

}  // namespace

void ReadCatalogFile(CatalogLoad& load, std::string& buffer, LocalClock& clock) {
    // The cache of an unchanged file gives what its text gives; a file the
    // text reader refuses for its size never has one.
    const std::optional<CatalogCacheKey> key =
        CatalogCacheKey::Of(load.Path(), LargestCatalogSize());
    if (key && ReadCatalogCache(load, *key)) return;
    if (!ReadCatalogFileText(load, buffer, clock) || !key || !CanWriteCatalogCache(*key)) return;
    // The index of the names is made with the cache, which keeps it for the
    // runs to come; this run's store uses it too.
    EntryStore* store = load.Store();
    auto index = std::make_shared<const std::vector<std::byte>>(store ? BuildNameIndex(*store)
                                                                      : std::vector<std::byte>());
    WriteCatalogCache(load, *key, *index);
    if (store) store->SetNameIndex(NameIndexView::Open(*index, index));
}

LoadOutcome JoinCatalog(CatalogSet& set, CatalogLoad& load, MessageSink& messages) {
    const TreeItem root = set.RootItem();
    // A file that is no catalog changes nothing; it only says so.
    if (load.HasRoot() && load.Outcome() != LoadOutcome::Incompatible) {
        ContainerTree& tree = set.Tree();
        tree.BeginBatch();
        for (const std::string& label : load.ReplacedLabels())
            set.RemoveContainerNamed(root, label);
        std::vector<TreeItem> map;
        set.AdoptDisks(load.Tree(), load.Root(), load.TakeStore(), load.Lists(), map);
        tree.SortChildren(root);
        tree.Expand(root);
        tree.EndBatch();
        set.NotifyDisksLoaded();
        const TreeItem disk = load.Disk() < map.size() ? map[load.Disk()] : kNoItem;
        if (load.FromFile() && disk != kNoItem && tree.IsValid(disk))
            set.SetCatalogFile(disk, load.Path());
        if (disk != kNoItem && tree.IsValid(disk)) set.SetCodePage(disk, load.CodePage());
    }
    for (const Message& message : load.Messages()) messages.Show(message);
    return load.Outcome();
}

LoadOutcome LoadCatalogText(CatalogSet& set, std::string_view text, const std::string& path,
                            MessageSink& messages) {
    CatalogLoad load(path, /*fromFile=*/false);
    ReadCatalogText(load, text, /*feed=*/nullptr, set.Clock());
    return JoinCatalog(set, load, messages);
}

LoadOutcome LoadCatalog(CatalogSet& set, const std::string& path, MessageSink& messages) {
    std::string buffer;
    return LoadCatalog(set, path, messages, buffer);
}

LoadOutcome LoadCatalog(CatalogSet& set, const std::string& path, MessageSink& messages,
                        std::string& buffer) {
    CatalogLoad load(path, /*fromFile=*/true);
    ReadCatalogFile(load, buffer, set.Clock());
    return JoinCatalog(set, load, messages);
}

}  // namespace kestavo
