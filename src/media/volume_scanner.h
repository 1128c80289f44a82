// Walks a mounted volume and writes its catalog body: the disk record, then
// every folder, ZIP archive (with its members) and file below the root.
#pragma once

#include <cstdint>
#include <functional>
#include <string>

#include "media/catalog_writer.h"
#include "media/drive_map.h"

namespace kestavo::media {

struct ScanCounts {
    std::uint64_t folders = 0;
    std::uint64_t files = 0;  // ZIP members included
};

// Called as the walk goes on; answering false stops the scan.
using ScanProgress = std::function<bool(const ScanCounts&)>;

enum class ScanStatus {
    Done,
    RootUnreadable,  // the root folder cannot be opened: nothing was written
    MediumLost,      // the disk went away or failed during the walk
    WriteFailed,     // the catalog could not be written
    Stopped,         // the progress callback asked to stop
};

struct ScanResult {
    ScanStatus status = ScanStatus::Done;
    int error = 0;  // errno of the failure
    ScanCounts counts;
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
// below the root are recorded without their contents.
ScanResult ScanVolume(const std::string& rootDirectory, const DiskRecord& disk,
                      CatalogWriter& out, const ScanProgress& progress = {});

// The scanner's operation as Catalog New Disk calls it: `root` is a drive
// letter, colon and "/*" ("E:/*"), mapped to its folder through `drives`.
ScanResult scandisk(const DriveMap& drives, const std::string& root, const std::string& label,
                    std::int64_t total, std::int64_t free, int day, int month, int year,
                    int hour, int minute, int second, CatalogWriter& catalog);

}  // namespace kestavo::media
