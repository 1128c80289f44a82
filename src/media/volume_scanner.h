// SPDX-License-Identifier: GPL-3.0-or-later
// Walks a mounted volume and writes its catalog body: the disk record, then
// every folder, archive (with its members) and file below the root.
#pragma once

#include <atomic>
#include <cstdint>
#include <functional>
#include <string>
#include <vector>

#include "catalog/catalog_writer.h"
#include "media/archive_listing.h"
#include "media/drive_map.h"
#include "media/volume_scanner_access.h"

namespace kestavo::media {

struct ScanCounts {
    std::uint64_t folders = 0;
    std::uint64_t files = 0;  // archive members included
    // The folder or archive being read, below the root ("/" for the root,
    // "/DOCS/old", "/DOCS/old/a.zip").
    std::string folder;
};

// Called as the walk goes on: for every folder entered and at least every
// 50 ms of work besides. Answering false stops the scan.
using ScanProgress = std::function<bool(const ScanCounts&)>;

enum class ScanStatus {
    Done,
    RootUnreadable,  // the root folder cannot be opened: nothing was written
    MediumLost,      // the disk went away during the walk
    WriteFailed,     // the catalog could not be written
    Stopped,         // the progress callback asked to stop
};

// Entries of one sort that could not be read: counted, and the first few
// named by their path below the root.
struct UnreadablePaths {
    static constexpr std::size_t kNamed = 3;
    std::uint64_t count = 0;
    std::vector<std::string> first;  // at most kNamed paths ("/a/b")

    void Add(const std::string& path);
};

// What a scan that went on could not read: folders that could not be
// opened or listed, written as empty folders, and files whose details or
// archive could not be read, written as plain file records with what was
// known of them. Archives that are damaged, encrypted or too big to list
// within the bounds are plain file records too, counted apart.
struct UnreadableEntries {
    UnreadablePaths folders;
    UnreadablePaths files;
    UnreadablePaths archives;
};

struct ScanResult {
    ScanStatus status = ScanStatus::Done;
    int error = 0;  // errno of the failure
    ScanCounts counts;
    UnreadableEntries unreadable;
};

// The disk record's fields, written exactly as given.
struct DiskRecord {
    std::string label;
    std::int64_t total = 0;
    std::int64_t free = 0;
    DateFields date{};
};

// Writes the catalog body of the folder tree at `rootDirectory`. Each
// folder's entries come in ascending byte order of their names; symbolic
// links are recorded as themselves; folders of other file systems mounted
// below the root are recorded without their contents. A folder whose name
// passes the archive test is written as a Zip Folder record holding the sum of
// its contents as its size. The walk keeps no descriptor open per level.
// `stop`, when given, is looked at for every entry and every read of an
// archive: once it is true the scan ends with Stopped. An entry that
// cannot be read is kept (see UnreadableEntries) and the walk goes on;
// only a disk that is gone ends it (MediumLost). `access` makes the file
// system calls; `archives` says which archives are listed.
ScanResult ScanVolume(const std::string& rootDirectory, const DiskRecord& disk, CatalogWriter& out,
                      const ScanProgress& progress = {}, const std::atomic<bool>* stop = nullptr,
                      const ScanFileAccess& access = ScanFileAccess::System(),
                      ArchiveChoice archives = ArchiveChoice::Default);

// The scanner's operation as Catalog New Disk calls it: `root` is a drive
// letter, colon and "/*" ("E:/*"), mapped to its folder through `drives`.
ScanResult scandisk(const DriveMap& drives, const std::string& root, const std::string& label,
                    std::int64_t total, std::int64_t free, int day, int month, int year, int hour,
                    int minute, int second, CatalogWriter& catalog);

}  // namespace kestavo::media
