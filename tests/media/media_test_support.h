// SPDX-License-Identifier: GPL-3.0-or-later
// Helpers of the media tests: trees of files with chosen dates, ZIP
// archives built with libzip, and scans read back into a catalog set.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "catalog/catalog_set.h"
#include "media/volume_scanner.h"
#include "support/test_support.h"

namespace kestavo::test {

// Writes a file (and its folders) below `root` with the given
// modification time.
void MakeFile(const std::string& root, const std::string& relative, const std::string& content,
              std::int64_t time = 1000000000);
void MakeFolder(const std::string& root, const std::string& relative,
                std::int64_t time = 900000000);
void SetTime(const std::string& path, std::int64_t time);

struct ZipMember {
    std::string name;  // as stored; a name ending in "/" is a directory member
    std::string content;
    std::int64_t time = 946684800;
    bool rawName = false;  // stored as given, without the UTF-8 flag
};
// Writes a ZIP archive with libzip.
void MakeZip(const std::string& path, const std::vector<ZipMember>& members);
// The bytes of a ZIP archive of stored members, written here rather than
// by libzip: fast for many members, with ZIP64 end records when asked.
std::string ZipBytes(const std::vector<ZipMember>& members, bool zip64);

// Scans `directory` into catalog text (header of drive type "default").
std::string ScanToText(const std::string& directory, const std::string& label,
                       media::ScanResult* result = nullptr,
                       const media::ScanProgress& progress = {},
                       const std::atomic<bool>* stop = nullptr,
                       const media::ScanFileAccess& access = media::ScanFileAccess::System(),
                       media::ArchiveChoice archives = media::ArchiveChoice::Default);

// Scans and loads the result; the disk's tree item.
TreeItem ScanAndLoad(CatalogSet& set, const std::string& directory, const std::string& label,
                     RecordingMessages& messages);

// The entry at a "/"-separated path below `item` (containers by tree item,
// the last part by entry name), or null.
FileData* EntryAt(CatalogSet& set, TreeItem item, const std::string& path);

}  // namespace kestavo::test
