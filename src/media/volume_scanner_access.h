// SPDX-License-Identifier: GPL-3.0-or-later
// The file system calls a scan makes on the disk it reads. The scan goes
// through them so that a test can make one of them fail the way a failing
// disk does; otherwise they are the system's calls.
#pragma once

#include <sys/stat.h>

#include <cstddef>
#include <cstdint>
#include <functional>

#include "catalog/directory_lister.h"

namespace kestavo::media {

class ScanFileAccess {
public:
    using Visit = std::function<bool(const ListedName&)>;

    virtual ~ScanFileAccess() = default;
    // openat(2): a descriptor, or -1 with errno set.
    virtual int OpenAt(int folder, const char* name, int flags) const;
    // fstatat(2), not following a link: 0, or -1 with errno set.
    virtual int StatAt(int folder, const char* name, struct stat& st) const;
    // Lists the folder open as `fd` with `lister`: 0, or the errno of the
    // read that failed.
    virtual int List(DirectoryLister& lister, int fd, const Visit& visit) const;
    // pread(2): the number of bytes read, or -1 with errno set.
    virtual long ReadAt(int fd, void* buffer, std::size_t length, std::int64_t offset) const;

    // The system's calls.
    static const ScanFileAccess& System();
};

// Opens `name` in `folder` for reading an archive: never through a link,
// and only a regular file (a device or a pipe could block the scan).
// A descriptor with `opened` filled, or -1: with errno ENOENT when the name
// is gone, EINVAL when it is no regular file.
int OpenRegularFile(const ScanFileAccess& access, int folder, const char* name,
                    struct stat& opened);

}  // namespace kestavo::media
