// Reading one directory of a disk for the compare tool: every entry,
// hidden ones included, "." and ".." left out, symbolic links taken as
// they are and never followed.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

namespace kestavo {

struct DiskRecord {
    std::string name;
    bool directory = false;
    std::int64_t size = 0;  // 0 for a directory
    std::int64_t time = 0;  // last change of the contents, calendar time
    bool timeKnown = false;
};

// Fills `records` in listing order; false when the directory cannot be
// opened (missing, not a directory, no permission, medium gone). An entry
// that vanishes while it is read is left out. The time of a directory is
// read only when asked for (see ReadDirectoryTime). With `onDevice`, a
// directory of another file system (one mounted below) lists as empty.
bool ListDirectory(const std::string& directory, std::vector<DiskRecord>& records,
                   const std::uint64_t* onDevice = nullptr);

// The device of the file system holding `directory`.
bool DeviceOf(const std::string& directory, std::uint64_t& device);

// Fills in the time of a directory record listed from `directory`; a
// directory that has gone keeps time 0.
void ReadDirectoryTime(const std::string& directory, DiskRecord& record);

// `directory` + "/" + `name`, without doubling a "/" that ends `directory`.
// No directory (the empty text) stays none, so that it is never listed.
std::string JoinPath(const std::string& directory, const std::string& name);

}  // namespace kestavo
