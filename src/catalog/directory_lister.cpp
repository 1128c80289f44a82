// SPDX-License-Identifier: GPL-3.0-or-later
#include "catalog/directory_lister.h"

#include <fcntl.h>
#include <unistd.h>

#include <cerrno>

namespace kestavo {

long DirectoryLister::Read(int fd) {
    for (;;) {
        const ssize_t got = ::getdents64(fd, buffer_.data(), buffer_.size());
        if (got >= 0) return static_cast<long>(got);
        if (errno != EINTR) return -static_cast<long>(errno);
    }
}

int DirectoryLister::Open(const std::string& path) {
    const int fd = ::open(path.c_str(), O_RDONLY | O_DIRECTORY | O_NONBLOCK | O_CLOEXEC);
    return fd >= 0 ? fd : -errno;
}

void DirectoryLister::Close(int fd) {
    ::close(fd);
}

}  // namespace kestavo
