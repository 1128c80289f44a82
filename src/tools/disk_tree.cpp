// SPDX-License-Identifier: GPL-3.0-or-later
#include "tools/disk_tree.h"

#include <dirent.h>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <chrono>
#include <cstring>

#include "catalog/directory_lister.h"

namespace kestavo {

void DiskTree::Clear() {
    folders_.assign(1, Folder{});
    entries_.clear();
    names_.clear();
    filling_ = kRoot;
    failure_ = {};
}

std::span<const DiskEntry> DiskTree::Entries(std::uint32_t folder) const {
    const Folder& f = folders_[folder];
    return std::span<const DiskEntry>(entries_).subspan(f.firstEntry, f.entryCount);
}

std::uint32_t DiskTree::AddFolder() {
    folders_.push_back(Folder{});
    return static_cast<std::uint32_t>(folders_.size() - 1);
}

void DiskTree::BeginEntries(std::uint32_t folder) {
    filling_ = folder;
    folders_[folder].firstEntry = entries_.size();
    folders_[folder].entryCount = 0;
}

DiskEntry& DiskTree::AddEntry(std::string_view name) {
    DiskEntry& entry = entries_.emplace_back();
    entry.nameOffset = names_.size();
    entry.nameLength = static_cast<std::uint32_t>(name.size());
    names_.append(name);
    ++folders_[filling_].entryCount;
    return entry;
}

namespace {

using Clock = std::chrono::steady_clock;
constexpr auto kProgressEvery = std::chrono::milliseconds(50);
constexpr unsigned kClockEvery = 32;  // entries between two looks at the clock

// An open directory, closed when it goes.
class DirectoryHandle {
public:
    DirectoryHandle() = default;
    explicit DirectoryHandle(int fd) : fd_(fd) {}
    DirectoryHandle(const DirectoryHandle&) = delete;
    DirectoryHandle& operator=(const DirectoryHandle&) = delete;
    ~DirectoryHandle() { Reset(-1); }
    void Reset(int fd) {
        if (fd_ >= 0) ::close(fd_);
        fd_ = fd;
    }
    int Get() const { return fd_; }

private:
    int fd_ = -1;
};

// Errors that leave a folder empty (or a file out) instead of failing the
// read: it went away or was replaced after it was listed. A folder that may
// not be opened or looked into fails the read, so that its catalogued
// contents are never taken for deleted ones.
bool CountsAsEmpty(int error) {
    return error == ENOENT || error == ENOTDIR || error == ELOOP;
}

class TreeReader {
public:
    TreeReader(DiskTree& out, const DiskReadProgress& progress, const std::atomic<bool>* stop)
        : out_(out), progress_(progress), stop_(stop) {}

    DiskReadStatus Read(const std::string& directory);

private:
    // A folder being read: where the walk stands in its entries, and who it
    // is, so that coming back to it through ".." can be checked.
    struct Level {
        std::uint32_t folder;
        std::size_t nextEntry;
        std::size_t endEntry;
        std::size_t pathLength;
        dev_t device;
        ino_t inode;
    };

    void OpenRoot(const std::string& directory);
    bool List(std::uint32_t folder);
    bool AddListed(const char* name, unsigned char type);
    bool Descend(std::size_t entryIndex);
    bool Ascend();
    bool Fail(int error);
    bool Fail(const char* reason);
    bool Tick();
    bool Report();
    bool Stopped() const { return stopped_ || (stop_ && stop_->load(std::memory_order_relaxed)); }
    std::string CurrentFolder() const { return path_.empty() ? std::string("/") : path_; }

    DiskTree& out_;
    const DiskReadProgress& progress_;
    const std::atomic<bool>* stop_;
    DirectoryHandle current_;
    std::vector<Level> levels_;
    std::string path_;  // of the folder being read, below the disk's directory
    dev_t device_ = 0;  // of the disk's directory
    DiskReadCounts counts_;
    Clock::time_point lastReport_;
    unsigned sinceClock_ = 0;
    bool stopped_ = false;
    bool failed_ = false;
    DirectoryLister lister_;
};

bool TreeReader::Report() {
    lastReport_ = Clock::now();
    if (!progress_) return true;
    counts_.folder = CurrentFolder();
    if (!progress_(counts_)) stopped_ = true;
    return !stopped_;
}

// Called at every entry: answers false when the read must stop.
bool TreeReader::Tick() {
    if (Stopped()) return stopped_ = true, false;
    if (++sinceClock_ < kClockEvery) return true;
    sinceClock_ = 0;
    if (Clock::now() - lastReport_ < kProgressEvery) return true;
    return Report();
}

bool TreeReader::Fail(int error) {
    return Fail(std::strerror(error));
}

bool TreeReader::Fail(const char* reason) {
    failed_ = true;
    out_.SetFailure(DiskReadFailure{reason, CurrentFolder()});
    return false;
}

// Adds one listed entry to the folder being filled. A file that vanished
// before it could be looked at is left out.
bool TreeReader::AddListed(const char* name, unsigned char type) {
    if (type == DT_DIR) {
        out_.AddEntry(name).directory = true;
        ++counts_.folders;
        return true;
    }
    struct stat status {};
    if (::fstatat(current_.Get(), name, &status, AT_SYMLINK_NOFOLLOW) != 0)
        return CountsAsEmpty(errno) || Fail(errno);
    DiskEntry& entry = out_.AddEntry(name);
    entry.directory = S_ISDIR(status.st_mode);
    entry.size = entry.directory ? 0 : static_cast<std::int64_t>(status.st_size);
    entry.time = static_cast<std::int64_t>(status.st_mtim.tv_sec);
    ++(entry.directory ? counts_.folders : counts_.files);
    return true;
}

// Lists the open directory into `folder`, in listing order.
bool TreeReader::List(std::uint32_t folder) {
    out_.BeginEntries(folder);
    bool ended = false;
    const int error = lister_.List(current_.Get(), [&](const ListedName& item) {
        ended = !Tick() || !AddListed(item.name, item.type);
        return !ended;
    });
    if (ended) return false;
    return error == 0 || Fail(error);
}

// Opens the directory of entry `entryIndex` below the current one and lists
// it. A folder that cannot be opened, or lies on another file system, keeps
// no entries and is not entered.
bool TreeReader::Descend(std::size_t entryIndex) {
    const DiskEntry& listed = out_.EntryAt(entryIndex);
    const std::string name(out_.Name(listed));
    const std::uint32_t folder = out_.AddFolder();
    out_.EntryAt(entryIndex).folder = folder;
    const int fd = ::openat(current_.Get(), name.c_str(),
                            O_RDONLY | O_DIRECTORY | O_NOFOLLOW | O_CLOEXEC | O_NONBLOCK);
    if (fd < 0) {
        const int error = errno;
        if (!CountsAsEmpty(error)) return Fail(error);
        struct stat status {};
        if (::fstatat(current_.Get(), name.c_str(), &status, AT_SYMLINK_NOFOLLOW) == 0)
            out_.EntryAt(entryIndex).time = static_cast<std::int64_t>(status.st_mtim.tv_sec);
        return true;
    }
    struct stat status {};
    if (::fstat(fd, &status) != 0) {
        const int error = errno;
        ::close(fd);
        return Fail(error);
    }
    out_.EntryAt(entryIndex).time = static_cast<std::int64_t>(status.st_mtim.tv_sec);
    if (status.st_dev != device_) {
        ::close(fd);
        return true;
    }
    // The parent is closed while its child is read and opened again through
    // "..", so the walk holds one directory whatever the depth.
    current_.Reset(fd);
    const std::size_t pathLength = path_.size();
    path_.push_back('/');
    path_.append(name);
    const std::size_t first = out_.EntryCount();
    if (!List(folder)) return false;
    levels_.push_back(
        Level{folder, first, out_.EntryCount(), pathLength, status.st_dev, status.st_ino});
    return true;
}

// Leaves the folder on top of the walk for its parent.
bool TreeReader::Ascend() {
    const std::size_t pathLength = levels_.back().pathLength;
    levels_.pop_back();
    if (levels_.empty()) return true;
    const int fd = ::openat(current_.Get(), "..", O_RDONLY | O_DIRECTORY | O_CLOEXEC | O_NONBLOCK);
    if (fd < 0) return Fail(errno);
    current_.Reset(fd);
    struct stat status {};
    if (::fstat(fd, &status) != 0) return Fail(errno);
    if (status.st_dev != levels_.back().device || status.st_ino != levels_.back().inode)
        return Fail("the folders were moved while they were read");
    path_.resize(pathLength);
    return true;
}

// Opens and lists the disk's directory; a directory that cannot be opened
// fails the read (a drive without a medium has no directory at all).
void TreeReader::OpenRoot(const std::string& directory) {
    const int fd = ::open(directory.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC | O_NONBLOCK);
    if (fd < 0) {
        Fail(errno);
        return;
    }
    current_.Reset(fd);
    struct stat status {};
    if (::fstat(fd, &status) != 0) {
        Fail(errno);
        return;
    }
    device_ = status.st_dev;
    if (List(DiskTree::kRoot))
        levels_.push_back(
            Level{DiskTree::kRoot, 0, out_.EntryCount(), 0, status.st_dev, status.st_ino});
}

DiskReadStatus TreeReader::Read(const std::string& directory) {
    out_.Clear();
    Report();
    if (!directory.empty() && !stopped_) OpenRoot(directory);
    while (!levels_.empty() && !failed_ && !stopped_) {
        Level& level = levels_.back();
        while (level.nextEntry < level.endEntry && !out_.EntryAt(level.nextEntry).directory)
            ++level.nextEntry;
        if (level.nextEntry < level.endEntry) {
            if (!Tick()) break;
            Descend(level.nextEntry++);
        } else {
            Ascend();
        }
    }
    current_.Reset(-1);
    if (failed_) return DiskReadStatus::Failed;
    if (stopped_ || Stopped()) return DiskReadStatus::Stopped;
    Report();
    return stopped_ ? DiskReadStatus::Stopped : DiskReadStatus::Read;
}

}  // namespace

DiskReadStatus ReadDiskTree(const std::string& directory, DiskTree& out,
                            const DiskReadProgress& progress, const std::atomic<bool>* stop) {
    return TreeReader(out, progress, stop).Read(directory);
}

}  // namespace kestavo
