// SPDX-License-Identifier: GPL-3.0-or-later
#include "media/volume_scanner_access.h"

#include <fcntl.h>
#include <unistd.h>

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

}  // namespace kestavo::media
