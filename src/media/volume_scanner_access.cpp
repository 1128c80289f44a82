// SPDX-License-Identifier: GPL-3.0-or-later
#include "media/volume_scanner_access.h"

#include <fcntl.h>
#include <unistd.h>

#include <cerrno>

namespace kestavo::media {

int ScanFileAccess::OpenAt(int folder, const char* name, int flags) const {
    return ::openat(folder, name, flags);
}

int ScanFileAccess::StatAt(int folder, const char* name, struct stat& st) const {
    return ::fstatat(folder, name, &st, AT_SYMLINK_NOFOLLOW);
}

int ScanFileAccess::List(DirectoryLister& lister, int fd, const Visit& visit) const {
    return lister.List(fd, visit);
}

long ScanFileAccess::ReadAt(int fd, void* buffer, std::size_t length, std::int64_t offset) const {
    return ::pread(fd, buffer, length, static_cast<off_t>(offset));
}

const ScanFileAccess& ScanFileAccess::System() {
    static const ScanFileAccess system;
    return system;
}

int OpenRegularFile(const ScanFileAccess& access, int folder, const char* name,
                    struct stat& opened) {
    const int fd = access.OpenAt(folder, name, O_RDONLY | O_NOFOLLOW | O_NONBLOCK | O_CLOEXEC);
    if (fd < 0) return -1;
    if (::fstat(fd, &opened) != 0 || !S_ISREG(opened.st_mode)) {
        ::close(fd);
        errno = EINVAL;
        return -1;
    }
    return fd;
}

}  // namespace kestavo::media
