#include "tools/disk_listing.h"

#include <dirent.h>
#include <fcntl.h>
#include <sys/stat.h>

#include <cstring>

namespace kestavo {

bool ListDirectory(const std::string& directory, std::vector<DiskRecord>& records,
                   const std::uint64_t* onDevice) {
    records.clear();
    DIR* dir = ::opendir(directory.c_str());
    if (!dir) return false;
    const int fd = ::dirfd(dir);
    if (onDevice) {
        struct stat own {};
        if (::fstat(fd, &own) != 0 || static_cast<std::uint64_t>(own.st_dev) != *onDevice) {
            ::closedir(dir);
            return true;
        }
    }
    while (const dirent* item = ::readdir(dir)) {
        const char* name = item->d_name;
        if (std::strcmp(name, ".") == 0 || std::strcmp(name, "..") == 0) continue;
        DiskRecord record;
        record.name = name;
        if (item->d_type == DT_DIR) {
            // A directory's own size and time matter only when it is new.
            record.directory = true;
            records.push_back(std::move(record));
            continue;
        }
        struct stat status {};
        if (::fstatat(fd, name, &status, AT_SYMLINK_NOFOLLOW) != 0) continue;
        record.directory = S_ISDIR(status.st_mode);
        record.size = record.directory ? 0 : static_cast<std::int64_t>(status.st_size);
        record.time = static_cast<std::int64_t>(status.st_mtim.tv_sec);
        record.timeKnown = true;
        records.push_back(std::move(record));
    }
    ::closedir(dir);
    return true;
}

bool DeviceOf(const std::string& directory, std::uint64_t& device) {
    struct stat status {};
    if (directory.empty() || ::stat(directory.c_str(), &status) != 0) return false;
    device = static_cast<std::uint64_t>(status.st_dev);
    return true;
}

void ReadDirectoryTime(const std::string& directory, DiskRecord& record) {
    if (record.timeKnown) return;
    struct stat status {};
    if (::lstat(JoinPath(directory, record.name).c_str(), &status) == 0)
        record.time = static_cast<std::int64_t>(status.st_mtim.tv_sec);
    record.timeKnown = true;
}

std::string JoinPath(const std::string& directory, const std::string& name) {
    if (directory.empty()) return {};
    std::string path;
    path.reserve(directory.size() + 1 + name.size());
    path = directory;
    if (path.empty() || path.back() != '/') path.push_back('/');
    path += name;
    return path;
}

}  // namespace kestavo
