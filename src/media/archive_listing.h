// SPDX-License-Identifier: GPL-3.0-or-later
// Lists a 7-Zip, RAR, tar (plain or compressed), ISO 9660 or CAB archive
// with libarchive as a Zip Folder record with nested folder and file
// records. Nothing is extracted: member data is skipped over. Every archive
// is read within bounds on time, members, name bytes and path depth, so a
// hostile archive ends as a plain file record.
#pragma once

#include <cstdint>
#include <functional>

#include "catalog/catalog_writer.h"
#include "catalog/local_time.h"
#include "media/member_tree.h"
#include "media/volume_scanner_access.h"

namespace kestavo::media {

// Which archives a scan lists.
enum class ArchiveChoice {
    Default = 0,  // ZIP and the formats with a directory; compressed tars up to a size
    All = 1,      // every archive, however large
    ZipOnly = 2,  // ZIP archives only
};

struct ArchiveBounds {
    // A compressed stream (a .tar.gz) larger than this is listed only when
    // every archive is asked for: it must be decompressed whole to be listed.
    std::int64_t compressedLimit = 64LL * 1024 * 1024;
    std::uint64_t members = 1'000'000;
    std::uint64_t nameBytes = 64ULL * 1024 * 1024;  // member paths added up
    std::uint32_t depth = 256;                      // parts of one member path
    // Time for one archive: a base plus a share per byte of the file.
    std::int64_t baseMilliseconds = 10'000;
    std::int64_t bytesPerMillisecond = 4 * 1024;  // 4 MiB a second
};

class ArchiveLister {
public:
    explicit ArchiveLister(LocalClock& clock,
                           const ScanFileAccess& access = ScanFileAccess::System())
        : clock_(clock), access_(access) {}

    enum class Outcome {
        Listed,      // the Zip Folder record was written with its members
        Skipped,     // nothing was written: a compressed stream above the limit
        NotListed,   // nothing was written: not an archive, damaged, encrypted or out of bounds
        Gone,        // nothing was written: the file went away
        Unreadable,  // nothing was written: reading the file failed (a bad sector)
        Stopped,     // `tick` asked to stop: the scan is to end, what was written is void
    };
    // Called before every read of the archive and for every member listed
    // and written; answering false stops.
    using Tick = std::function<bool()>;

    void SetChoice(ArchiveChoice choice) { choice_ = choice; }
    void SetBounds(const ArchiveBounds& bounds) { bounds_ = bounds; }

    // Writes the Zip Folder record of the archive with its members;
    // `members` gets the member count. Only a regular file is read, and
    // opening it never blocks.
    Outcome Write(const ArchiveFile& archive, CatalogWriter& out, std::uint64_t& members,
                  const Tick& tick = {});

private:
    LocalClock& clock_;
    const ScanFileAccess& access_;
    ArchiveChoice choice_ = ArchiveChoice::Default;
    ArchiveBounds bounds_;
};

// Lists the archive held in memory (as the fuzz target feeds it) with the
// bounds given; the number of members read, or -1 when it is refused.
std::int64_t ListArchiveInMemory(const void* data, std::size_t size, const ArchiveBounds& bounds);

}  // namespace kestavo::media
