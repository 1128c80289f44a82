#include "media/volume_scanner.h"

#include <dirent.h>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <vector>

#include "catalog/file_data.h"
#include "media/zip_listing.h"

namespace kestavo::media {
namespace {

struct Listed {
    std::string name;
    mode_t mode = 0;
    std::int64_t size = 0;
    std::int64_t time = 0;
    dev_t device = 0;
};

// An open folder of the walk with its sorted listing.
struct OpenFolder {
    DIR* dir = nullptr;
    std::vector<Listed> entries;
    std::size_t next = 0;
};

bool IsMediumError(int error) { return error == EIO || error == ENODEV || error == ENXIO; }

class VolumeWalker {
public:
    VolumeWalker(CatalogWriter& out, const ScanProgress& progress)
        : out_(out), progress_(progress), zips_(clock_) {}

    ScanResult Walk(const std::string& rootDirectory, const DiskRecord& disk);

private:
    void List(OpenFolder& folder);
    void Visit(OpenFolder& parent, const Listed& entry, std::vector<OpenFolder>& stack);
    bool Report();
    DateFields Date(std::int64_t time) {
        DateFields date{};
        clock_.LocalFields(time, date);
        return date;
    }

    CatalogWriter& out_;
    const ScanProgress& progress_;
    LocalClock clock_;
    ZipLister zips_;
    ScanCounts counts_;
    dev_t rootDevice_ = 0;
    int mediumError_ = 0;
    bool stopped_ = false;
};

ScanResult VolumeWalker::Walk(const std::string& rootDirectory, const DiskRecord& disk) {
    ScanResult result;
    DIR* root = ::opendir(rootDirectory.c_str());
    struct stat rootStat {};
    if (!root || ::fstat(::dirfd(root), &rootStat) != 0) {
        result.status = ScanStatus::RootUnreadable;
        result.error = errno;
        if (root) ::closedir(root);
        return result;
    }
    rootDevice_ = rootStat.st_dev;
    out_.BeginDisk(disk.label, disk.total, disk.free, disk.date);

    std::vector<OpenFolder> stack(1);
    stack.back().dir = root;
    List(stack.back());
    stopped_ = !Report();
    while (!stack.empty()) {
        OpenFolder& top = stack.back();
        if (stopped_ || out_.Failed() || top.next == top.entries.size()) {
            ::closedir(top.dir);
            stack.pop_back();
            out_.EndContainer();
            continue;
        }
        const Listed entry = std::move(top.entries[top.next++]);
        Visit(top, entry, stack);
    }
    out_.Flush();
    result.counts = counts_;

    // The root must still be the folder the walk started from.
    struct stat after {};
    if (::stat(rootDirectory.c_str(), &after) != 0) mediumError_ = errno ? errno : EIO;
    else if (after.st_dev != rootStat.st_dev || after.st_ino != rootStat.st_ino) mediumError_ = ENODEV;

    if (out_.Failed()) {
        result.status = ScanStatus::WriteFailed;
        result.error = out_.Error();
    } else if (stopped_) {
        result.status = ScanStatus::Stopped;
    } else if (mediumError_ != 0) {
        result.status = ScanStatus::MediumLost;
        result.error = mediumError_;
    }
    return result;
}

// Reads and sorts the folder's entries. A file that has gone away by the
// time it is looked at is left out.
void VolumeWalker::List(OpenFolder& folder) {
    const int fd = ::dirfd(folder.dir);
    errno = 0;
    while (const dirent* item = ::readdir(folder.dir)) {
        const char* name = item->d_name;
        if (name[0] == '.' && (name[1] == 0 || (name[1] == '.' && name[2] == 0))) continue;
        struct stat st {};
        Listed entry;
        entry.name = name;
        if (::fstatat(fd, name, &st, AT_SYMLINK_NOFOLLOW) == 0) {
            entry.mode = st.st_mode;
            entry.size = st.st_size;
            entry.time = st.st_mtim.tv_sec;
            entry.device = st.st_dev;
        } else if (errno == ENOENT) {
            errno = 0;
            continue;
        } else {
            if (IsMediumError(errno)) mediumError_ = errno;
            entry.mode = S_IFREG;  // listed, but nothing more is known of it
        }
        folder.entries.push_back(std::move(entry));
        errno = 0;
    }
    if (errno != 0 && IsMediumError(errno)) mediumError_ = errno;
    std::sort(folder.entries.begin(), folder.entries.end(),
              [](const Listed& a, const Listed& b) { return a.name < b.name; });
    ++counts_.folders;
}

void VolumeWalker::Visit(OpenFolder& parent, const Listed& entry, std::vector<OpenFolder>& stack) {
    const int parentFd = ::dirfd(parent.dir);
    if (S_ISDIR(entry.mode)) {
        out_.BeginContainer(entry.name, 0, Date(entry.time));
        // A file system mounted below the root is not part of this disk.
        const int fd = entry.device == rootDevice_
                           ? ::openat(parentFd, entry.name.c_str(),
                                      O_RDONLY | O_DIRECTORY | O_NOFOLLOW | O_CLOEXEC)
                           : -1;
        if (fd < 0 && IsMediumError(errno)) mediumError_ = errno;
        DIR* dir = fd >= 0 ? ::fdopendir(fd) : nullptr;
        if (!dir) {
            if (fd >= 0) ::close(fd);
            out_.EndContainer();  // unreadable: written with no children
            ++counts_.folders;
            return;
        }
        stack.push_back({dir, {}, 0});  // `parent` is not used after this
        List(stack.back());
        stopped_ = !Report();
        return;
    }
    ++counts_.files;
    if (S_ISREG(entry.mode) && PassesZipTest(entry.name)) {
        std::uint64_t members = 0;
        const ArchiveFile archive{parentFd, entry.name.c_str(), entry.size, entry.time};
        const ZipLister::Outcome listed = zips_.Write(archive, out_, members);
        if (listed == ZipLister::Outcome::Gone) {
            --counts_.files;  // it went away during the walk: left out
            return;
        }
        if (listed == ZipLister::Outcome::Listed) {
            counts_.files += members;
            stopped_ = !Report();
            return;
        }
    }
    out_.File(entry.name, entry.size, Date(entry.time));
    if ((counts_.files & 4095) == 0) stopped_ = !Report();
}

bool VolumeWalker::Report() { return !progress_ || progress_(counts_); }

}  // namespace

ScanResult ScanVolume(const std::string& rootDirectory, const DiskRecord& disk,
                      CatalogWriter& out, const ScanProgress& progress) {
    VolumeWalker walker(out, progress);
    return walker.Walk(rootDirectory, disk);
}

ScanResult scandisk(const DriveMap& drives, const std::string& root, const std::string& label,
                    std::int64_t total, std::int64_t free, int day, int month, int year,
                    int hour, int minute, int second, CatalogWriter& catalog) {
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
