// SPDX-License-Identifier: GPL-3.0-or-later
#include "media/volume_scanner.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <chrono>
#include <cstring>
#include <limits>
#include <map>
#include <utility>
#include <vector>

#include "catalog/directory_lister.h"
#include "catalog/file_data.h"
#include "media/archive_listing.h"
#include "media/zip_listing.h"

namespace kestavo::media {
namespace {

using SteadyClock = std::chrono::steady_clock;
constexpr auto kReportEvery = std::chrono::milliseconds(50);
constexpr unsigned kTicksPerClockLook = 32;

struct Listed {
    std::string name;
    mode_t mode = 0;
    std::int64_t size = 0;
    std::int64_t time = 0;
    dev_t device = 0;
    ino_t inode = 0;
    bool unreadable = false;  // listed, but its details could not be read
};

// A folder of the walk: its sorted listing, how far the walk is in it, and
// what identifies it when it is opened again on the way back up.
struct Level {
    std::vector<Listed> entries;
    std::size_t next = 0;
    dev_t device = 0;
    ino_t inode = 0;
    std::size_t pathLength = 0;  // length of the walk's path before this folder's name
    std::int64_t sum = 0;        // bytes of every file below it
    bool zipNamed = false;
};

using FolderId = std::pair<dev_t, ino_t>;

// Errors that say the device itself is gone. Any other error (EIO from a
// bad sector above all) concerns the one folder or file read.
bool IsMediumError(int error) {
    return error == ENODEV || error == ENXIO;
}

std::int64_t SaturatingAdd(std::int64_t a, std::int64_t b) {
    if (b > 0 && a > std::numeric_limits<std::int64_t>::max() - b)
        return std::numeric_limits<std::int64_t>::max();
    return a + b;
}

class Descriptor {
public:
    explicit Descriptor(int fd = -1) : fd_(fd) {}
    ~Descriptor() { Reset(); }
    Descriptor(const Descriptor&) = delete;
    Descriptor& operator=(const Descriptor&) = delete;
    int Get() const { return fd_; }
    void Reset(int fd = -1) {
        if (fd_ >= 0) ::close(fd_);
        fd_ = fd;
    }
    int Release() { return std::exchange(fd_, -1); }

private:
    int fd_;
};

// Walks a folder tree with one descriptor for the root and one for the
// folder being read: a folder is listed whole, then left; the walk climbs
// back through "..", checked against the folder it expects. In summing
// mode it writes nothing and only adds up sizes.
class VolumeWalker {
public:
    // Shared by a walk and the summing walks it starts.
    struct Shared {
        Shared(const ScanProgress& progress, const std::atomic<bool>* stop, ArchiveChoice archives)
            : progress(progress), stop(stop), archives(archives) {}
        const ScanProgress& progress;
        const std::atomic<bool>* stop;
        const ArchiveChoice archives;
        ScanCounts counts;
        SteadyClock::time_point lastReport = SteadyClock::now();
        unsigned ticks = 0;
        bool stopped = false;
        std::map<FolderId, std::int64_t> zipFolderSums;
    };

    VolumeWalker(CatalogWriter& out, Shared& shared, bool summing, const ScanFileAccess& access)
        : out_(out),
          shared_(shared),
          summing_(summing),
          access_(access),
          zips_(clock_, access),
          archives_(clock_, access) {
        archives_.SetChoice(shared.archives);
    }

    ScanResult Walk(const std::string& rootDirectory, const DiskRecord& disk);
    // The bytes of every file below the folder `fd` (taken over), which the
    // walk calls `path`; zip-named folders met are remembered on the way.
    std::int64_t Sum(int fd, const std::string& path);

    // Counts a unit of work: false once the scan is to stop.
    bool Tick();
    bool Report();

private:
    void WalkLevels(Level root);
    void List(Level& level);
    void Visit(const Listed& entry);
    void Enter(const Listed& entry, int fd);
    void Leave();
    bool ListEntries(Level& level, int folder);
    void VisitUnreadable(const Listed& entry);
    void VisitArchive(const Listed& entry);
    bool ListZip(const ArchiveFile& archive, std::uint64_t& members);
    bool ListOther(const ArchiveFile& archive, std::uint64_t& members);
    void UnreadableFolder(const std::string& path);
    void UnreadableFile(const std::string& path);
    void CheckRootStillReads(const std::string& rootDirectory);
    int FolderFd(int parent, const char* name) const;
    int OpenChild(const Listed& entry);
    int Reopen(const Level& level);
    std::int64_t ZipFolderSize(const Listed& entry);
    DateFields Date(std::int64_t time) {
        DateFields date{};
        clock_.LocalFields(time, date);
        return date;
    }

    CatalogWriter& out_;
    Shared& shared_;
    const bool summing_;
    const ScanFileAccess& access_;
    LocalClock clock_;
    ZipLister zips_;
    ArchiveLister archives_;
    Descriptor root_;
    Descriptor current_;  // the folder of levels_.back(); -1 when it could not be opened again
    bool currentIsRoot_ = true;
    std::vector<Level> levels_;
    std::string path_;     // below the root, "" for the root
    std::string reading_;  // the archive being read, below the root; "" when none
    std::size_t rootPathLength_ = 0;
    dev_t rootDevice_ = 0;
    int mediumError_ = 0;
    bool gone_ = false;  // the archive last read went away
    UnreadableEntries unreadable_;
    DirectoryLister lister_;
};

bool VolumeWalker::Tick() {
    if (shared_.stop && shared_.stop->load(std::memory_order_relaxed)) shared_.stopped = true;
    if (shared_.stopped) return false;
    if (++shared_.ticks % kTicksPerClockLook == 0 &&
        SteadyClock::now() - shared_.lastReport >= kReportEvery)
        return Report();
    return true;
}

bool VolumeWalker::Report() {
    shared_.lastReport = SteadyClock::now();
    if (shared_.stopped || !shared_.progress) return !shared_.stopped;
    if (!summing_)
        shared_.counts.folder = !reading_.empty() ? reading_ : path_.empty() ? "/" : path_;
    if (!shared_.progress(shared_.counts)) shared_.stopped = true;
    return !shared_.stopped;
}

int VolumeWalker::FolderFd(int parent, const char* name) const {
    return access_.OpenAt(parent, name, O_RDONLY | O_DIRECTORY | O_NOFOLLOW | O_CLOEXEC);
}

ScanResult VolumeWalker::Walk(const std::string& rootDirectory, const DiskRecord& disk) {
    ScanResult result;
    root_.Reset(::open(rootDirectory.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC));
    struct stat rootStat {};
    if (root_.Get() < 0 || ::fstat(root_.Get(), &rootStat) != 0) {
        result.status = ScanStatus::RootUnreadable;
        result.error = errno;
        return result;
    }
    rootDevice_ = rootStat.st_dev;
    out_.BeginDisk(disk.label, disk.total, disk.free, disk.date);
    Level root;
    root.device = rootStat.st_dev;
    root.inode = rootStat.st_ino;
    WalkLevels(std::move(root));
    out_.Flush();
    result.counts = shared_.counts;
    result.unreadable = std::move(unreadable_);

    // The root must still be the folder the walk started from.
    struct stat after {};
    if (::stat(rootDirectory.c_str(), &after) != 0)
        mediumError_ = errno ? errno : EIO;
    else if (after.st_dev != rootStat.st_dev || after.st_ino != rootStat.st_ino)
        mediumError_ = ENODEV;
    else if (mediumError_ == 0 &&
             result.unreadable.folders.count + result.unreadable.files.count != 0)
        CheckRootStillReads(rootDirectory);

    if (out_.Failed()) {
        result.status = ScanStatus::WriteFailed;
        result.error = out_.Error();
    } else if (shared_.stopped) {
        result.status = ScanStatus::Stopped;
    } else if (mediumError_ != 0) {
        result.status = ScanStatus::MediumLost;
        result.error = mediumError_;
    }
    return result;
}

std::int64_t VolumeWalker::Sum(int fd, const std::string& path) {
    struct stat st {};
    root_.Reset(fd);
    if (::fstat(fd, &st) != 0) return 0;
    rootDevice_ = st.st_dev;
    path_ = path;
    Level root;
    root.device = st.st_dev;
    root.inode = st.st_ino;
    root.pathLength = path.size();
    root.zipNamed = true;
    WalkLevels(std::move(root));
    return shared_.zipFolderSums[{st.st_dev, st.st_ino}];
}

void VolumeWalker::WalkLevels(Level root) {
    levels_.push_back(std::move(root));
    rootPathLength_ = path_.size();
    currentIsRoot_ = true;
    if (!summing_) ++shared_.counts.folders;
    List(levels_.back());
    if (!summing_) Report();
    while (!levels_.empty()) {
        Level& top = levels_.back();
        if (shared_.stopped || out_.Failed() || top.next == top.entries.size()) {
            Leave();
            continue;
        }
        const Listed entry = std::move(top.entries[top.next++]);
        if (Tick()) Visit(entry);
    }
}

// The folder `level`, whose path is the walk's path, found again from the
// root name by name, when the way up through ".." does not lead to it (a
// folder moved meanwhile); -1 when it is gone.
int VolumeWalker::Reopen(const Level& level) {
    Descriptor fd(::dup(root_.Get()));
    std::size_t start = rootPathLength_ + 1;
    while (fd.Get() >= 0 && start <= path_.size()) {
        const std::size_t slash = std::min(path_.find('/', start), path_.size());
        fd.Reset(FolderFd(fd.Get(), path_.substr(start, slash - start).c_str()));
        start = slash + 1;
    }
    struct stat st {};
    if (fd.Get() < 0 || ::fstat(fd.Get(), &st) != 0 || st.st_dev != level.device ||
        st.st_ino != level.inode)
        return -1;
    return fd.Release();
}

void VolumeWalker::Leave() {
    Level done = std::move(levels_.back());
    levels_.pop_back();
    if (done.zipNamed) shared_.zipFolderSums[{done.device, done.inode}] = done.sum;
    if (!summing_) out_.EndContainer();
    path_.resize(done.pathLength);
    if (levels_.empty()) return;
    Level& parent = levels_.back();
    parent.sum = SaturatingAdd(parent.sum, done.sum);
    if (levels_.size() == 1) {
        current_.Reset();
        currentIsRoot_ = true;
        return;
    }
    const int up = current_.Get() >= 0 ? FolderFd(current_.Get(), "..") : -1;
    struct stat st {};
    if (up >= 0 && ::fstat(up, &st) == 0 && st.st_dev == parent.device &&
        st.st_ino == parent.inode) {
        current_.Reset(up);
        return;
    }
    if (up >= 0) ::close(up);
    current_.Reset(Reopen(parent));
}

// Reads and sorts the folder's entries. A file that has gone away by the
// time it is looked at is left out. A folder whose listing fails is kept
// empty, unless it is the root: a disk whose top cannot be read has not
// been read at all.
void VolumeWalker::List(Level& level) {
    const int folder = currentIsRoot_ ? root_.Get() : current_.Get();
    if (ListEntries(level, folder)) {
        std::sort(level.entries.begin(), level.entries.end(),
                  [](const Listed& a, const Listed& b) { return a.name < b.name; });
        return;
    }
    level.entries.clear();
    if (levels_.size() > 1)
        UnreadableFolder(path_);
    else if (mediumError_ == 0)
        mediumError_ = errno ? errno : EIO;
}

// False, with errno set, when the listing failed.
bool VolumeWalker::ListEntries(Level& level, int folder) {
    const int listFd = access_.OpenAt(folder, ".", O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (listFd < 0) {
        if (IsMediumError(errno)) mediumError_ = errno;
        return false;
    }
    const int error = access_.List(lister_, listFd, [&](const ListedName& item) {
        if (!Tick()) return false;
        struct stat st {};
        Listed entry;
        entry.name = item.name;
        if (access_.StatAt(folder, item.name, st) == 0) {
            entry.mode = st.st_mode;
            entry.size = st.st_size;
            entry.time = st.st_mtim.tv_sec;
            entry.device = st.st_dev;
            entry.inode = st.st_ino;
        } else if (errno == ENOENT) {
            return true;
        } else {
            if (IsMediumError(errno)) mediumError_ = errno;
            // Listed, but nothing more is known of it than what the listing says.
            entry.mode = item.type == DT_DIR ? S_IFDIR : S_IFREG;
            entry.unreadable = true;
        }
        level.entries.push_back(std::move(entry));
        return true;
    });
    ::close(listFd);
    if (error == 0) return true;
    if (IsMediumError(error)) mediumError_ = error;
    errno = error;
    return false;
}

// After entries failed, the top of the disk is read once more: a disk that
// can no longer be read there is taken to be gone.
void VolumeWalker::CheckRootStillReads(const std::string& rootDirectory) {
    const int fd =
        access_.OpenAt(AT_FDCWD, rootDirectory.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (fd < 0) {
        mediumError_ = errno ? errno : EIO;
        return;
    }
    const int error = access_.List(lister_, fd, [](const ListedName&) { return true; });
    ::close(fd);
    if (error != 0) mediumError_ = error;
}

// The folder below the current one, or -1: a file system mounted below the
// root is not part of this disk, and a folder that cannot be opened is
// counted as unreadable.
int VolumeWalker::OpenChild(const Listed& entry) {
    if (entry.device != rootDevice_) return -1;
    const int parent = currentIsRoot_ ? root_.Get() : current_.Get();
    const int fd = parent >= 0 ? FolderFd(parent, entry.name.c_str()) : -1;
    if (fd < 0) {
        if (IsMediumError(errno)) mediumError_ = errno;
        if (errno != ENOENT)
            UnreadableFolder(path_ + "/" + entry.name);  // a folder gone meanwhile is no failure
    }
    return fd;
}

void VolumeWalker::UnreadableFolder(const std::string& path) {
    if (!summing_) unreadable_.folders.Add(path);
}

void VolumeWalker::UnreadableFile(const std::string& path) {
    if (!summing_) unreadable_.files.Add(path);
}

// The size a zip-named folder is written with: the sum of its contents,
// added up before its records are written (once per folder, however
// deeply such folders nest).
std::int64_t VolumeWalker::ZipFolderSize(const Listed& entry) {
    const auto known = shared_.zipFolderSums.find({entry.device, entry.inode});
    if (known != shared_.zipFolderSums.end()) return known->second;
    const int parent = currentIsRoot_ ? root_.Get() : current_.Get();
    const int fd =
        entry.device == rootDevice_ && parent >= 0 ? FolderFd(parent, entry.name.c_str()) : -1;
    if (fd < 0) return 0;
    VolumeWalker summer(out_, shared_, /*summing=*/true, access_);
    return summer.Sum(fd, path_ + "/" + entry.name);
}

void VolumeWalker::Visit(const Listed& entry) {
    if (entry.unreadable) {
        VisitUnreadable(entry);
        return;
    }
    Level& parent = levels_.back();
    if (S_ISDIR(entry.mode)) {
        const bool zipNamed = PassesArchiveTest(entry.name);
        if (!summing_)
            out_.BeginContainer(entry.name, zipNamed ? ZipFolderSize(entry) : 0, Date(entry.time));
        if (shared_.stopped) return;
        const int fd = OpenChild(entry);
        if (fd < 0) {
            if (!summing_) {
                out_.EndContainer();  // unreadable: written with no children
                ++shared_.counts.folders;
            }
            return;
        }
        Enter(entry, fd);
        return;
    }
    parent.sum = SaturatingAdd(parent.sum, entry.size);
    if (summing_) return;
    ++shared_.counts.files;
    if (S_ISREG(entry.mode) && PassesArchiveTest(entry.name)) {
        VisitArchive(entry);
        return;
    }
    out_.File(entry.name, entry.size, Date(entry.time));
}

// An entry whose details could not be read: a folder (as the listing
// tells) is written empty, anything else as a file of which only the name
// is known.
void VolumeWalker::VisitUnreadable(const Listed& entry) {
    if (summing_) return;
    const std::string path = path_ + "/" + entry.name;
    if (S_ISDIR(entry.mode)) {
        out_.BeginContainer(entry.name, /*size=*/0, Date(entry.time));
        out_.EndContainer();
        ++shared_.counts.folders;
        UnreadableFolder(path);
        return;
    }
    ++shared_.counts.files;
    out_.File(entry.name, entry.size, Date(entry.time));
    UnreadableFile(path);
}

// An archive as a Zip Folder with its members: ZIP through libzip, the
// other formats through libarchive. One that is no archive, is not to be
// listed or cannot be read is a plain file. While it is read, the progress
// names the archive.
void VolumeWalker::VisitArchive(const Listed& entry) {
    Level& parent = levels_.back();
    std::uint64_t members = 0;
    const int folder = currentIsRoot_ ? root_.Get() : current_.Get();
    const ArchiveFile archive{folder, entry.name.c_str(), entry.size, entry.time};
    reading_ = path_ + "/" + entry.name;
    const bool written =
        PassesZipTest(entry.name) ? ListZip(archive, members) : ListOther(archive, members);
    reading_.clear();
    if (written) {
        shared_.counts.files += members;
        Report();
        return;
    }
    if (shared_.stopped) return;
    if (gone_) {
        gone_ = false;
        --shared_.counts.files;  // it went away during the walk: left out
        parent.sum -= entry.size;
        return;
    }
    out_.File(entry.name, entry.size, Date(entry.time));
}

// Whether the Zip Folder was written; when it was not, the caller writes a
// plain file unless the scan stopped or the archive is gone (gone_).
bool VolumeWalker::ListZip(const ArchiveFile& archive, std::uint64_t& members) {
    switch (zips_.Write(archive, out_, members, [this] { return Tick(); })) {
        case ZipLister::Outcome::Listed:
            return true;
        case ZipLister::Outcome::Gone:
            gone_ = true;
            return false;
        case ZipLister::Outcome::Unreadable:
            UnreadableFile(reading_);
            return false;
        case ZipLister::Outcome::Stopped:
        case ZipLister::Outcome::NotAZip:
            return false;
    }
    return false;
}

// As ListZip; an archive that breaks a bound, is encrypted or damaged is
// counted among the archives that could not be read.
bool VolumeWalker::ListOther(const ArchiveFile& archive, std::uint64_t& members) {
    switch (archives_.Write(archive, out_, members, [this] { return Tick(); })) {
        case ArchiveLister::Outcome::Listed:
            return true;
        case ArchiveLister::Outcome::Gone:
            gone_ = true;
            return false;
        case ArchiveLister::Outcome::Unreadable:
            UnreadableFile(reading_);
            return false;
        case ArchiveLister::Outcome::NotListed:
            unreadable_.archives.Add(reading_);
            return false;
        case ArchiveLister::Outcome::Stopped:
        case ArchiveLister::Outcome::Skipped:
            return false;
    }
    return false;
}

void VolumeWalker::Enter(const Listed& entry, int fd) {
    Level level;
    level.device = entry.device;
    level.inode = entry.inode;
    level.pathLength = path_.size();
    level.zipNamed = PassesArchiveTest(entry.name);
    path_ += '/';
    path_ += entry.name;
    current_.Reset(fd);
    currentIsRoot_ = false;
    levels_.push_back(std::move(level));
    if (!summing_) ++shared_.counts.folders;
    List(levels_.back());
    if (!summing_) Report();
}

}  // namespace

void UnreadablePaths::Add(const std::string& path) {
    ++count;
    if (first.size() < kNamed) first.push_back(path);
}

ScanResult ScanVolume(const std::string& rootDirectory, const DiskRecord& disk, CatalogWriter& out,
                      const ScanProgress& progress, const std::atomic<bool>* stop,
                      const ScanFileAccess& access, ArchiveChoice archives) {
    VolumeWalker::Shared shared(progress, stop, archives);
    VolumeWalker walker(out, shared, /*summing=*/false, access);
    return walker.Walk(rootDirectory, disk);
}

ScanResult scandisk(const DriveMap& drives, const std::string& root, const std::string& label,
                    std::int64_t total, std::int64_t free, int day, int month, int year, int hour,
                    int minute, int second, CatalogWriter& catalog) {
    DiskRecord disk;
    disk.label = label;
    disk.total = total;
    disk.free = free;
    disk.date = {year, month, day, hour, minute, second};
    const Drive* drive = drives.FindNamed(root);
    if (!drive) {
        ScanResult result;
        result.status = ScanStatus::RootUnreadable;
        result.error = ENOENT;
        return result;
    }
    return ScanVolume(drive->directory, disk, catalog);
}

}  // namespace kestavo::media
