// SPDX-License-Identifier: GPL-3.0-or-later
// The member paths of an archive as a tree of folders and files, written
// as nested folder and file records under the archive's container record.
#pragma once

#include <cstdint>
#include <functional>
#include <string>
#include <string_view>
#include <unordered_map>
#include <vector>

#include "catalog/catalog_writer.h"
#include "catalog/local_time.h"

namespace kestavo::media {

// An archive file on the disk being scanned.
struct ArchiveFile {
    int directoryFd = -1;   // the folder holding the archive
    const char* name = "";  // its name in that folder
    std::int64_t size = 0;
    std::int64_t time = 0;  // modification time, calendar seconds
};

// Each path is split at "/", empty parts dropped; folders take the date of
// their own directory member, else the archive's date. A path longer than
// the system's path limit makes no folders: its last part is a file right
// under the archive (a directory member of such a path is left out).
class MemberTree {
public:
    using Tick = std::function<bool()>;

    explicit MemberTree(std::int64_t archiveTime);

    void AddMember(std::string_view path, std::int64_t size, std::int64_t time);

    // Writes the children of the archive node, depth first, each folder's
    // children in ascending byte order of their names. False when `tick`
    // asked to stop.
    bool WriteChildren(CatalogWriter& out, LocalClock& clock, const Tick& tick);
    // The archive `archive` as a container record holding those children.
    bool WriteArchive(const ArchiveFile& archive, CatalogWriter& out, LocalClock& clock,
                      const Tick& tick);

private:
    struct Node {
        std::string name;
        std::int64_t size = 0;
        std::int64_t time = 0;
        bool folder = false;
        std::vector<std::uint32_t> children;
    };

    void AddOverlongMember(std::string_view path, bool directoryMember, std::int64_t size,
                           std::int64_t time);
    std::uint32_t Folder(std::uint32_t parent, std::string_view name);
    std::uint32_t Add(std::uint32_t parent, std::string_view name, bool folder);
    void Sort(std::uint32_t index);

    std::vector<Node> nodes_;  // node 0 is the archive itself
    std::unordered_map<std::string, std::uint32_t> folders_;
};

}  // namespace kestavo::media
