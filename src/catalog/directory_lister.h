// SPDX-License-Identifier: GPL-3.0-or-later
// Reading the names of a directory, for every part of the program that
// lists one: the catalog directory, the disks being catalogued or compared,
// the folders a launch path goes through.
#pragma once

#include <dirent.h>

#include <string>
#include <vector>

namespace kestavo {

// One name of a listing and the file type the listing tells: a DT_ value of
// <dirent.h>, DT_UNKNOWN where the file system tells none.
struct ListedName {
    const char* name;
    unsigned char type;
};

// Lists directories in the order the file system gives their names,
// leaving out "." and "..". One lister keeps its read buffer from one
// listing to the next.
class DirectoryLister {
public:
    // Lists the directory open as `fd`, from where its position stands;
    // `visit(const ListedName&)` is called for each name and ends the
    // listing by answering false. The descriptor stays the caller's.
    // Answers 0 when the listing ended or was ended, else the errno of the
    // read that failed.
    template <class Visit>
    int List(int fd, Visit&& visit) {
        for (;;) {
            const long got = Read(fd);
            if (got == 0) return 0;
            if (got < 0) return static_cast<int>(-got);
            for (long at = 0; at < got;) {
                const auto* item = reinterpret_cast<const dirent64*>(buffer_.data() + at);
                at += item->d_reclen;
                if (IsDotOrDotDot(item->d_name)) continue;
                if (!visit(ListedName{item->d_name, item->d_type})) return 0;
            }
        }
    }

    // The same for the directory at `path`, open only while it is listed;
    // the errno of the open when it cannot be opened (nothing is visited).
    template <class Visit>
    int List(const std::string& path, Visit&& visit) {
        const int fd = Open(path);
        if (fd < 0) return -fd;
        const int error = List(fd, visit);
        Close(fd);
        return error;
    }

private:
    // The next names into the buffer: their length in bytes, 0 at the end,
    // or minus the errno of a failed read.
    long Read(int fd);
    // A descriptor for listing `path`, or minus the errno of the failure.
    static int Open(const std::string& path);
    static void Close(int fd);
    static bool IsDotOrDotDot(const char* name) {
        return name[0] == '.' && (name[1] == 0 || (name[1] == '.' && name[2] == 0));
    }

    std::vector<char> buffer_ = std::vector<char>(64 * 1024);
};

}  // namespace kestavo
