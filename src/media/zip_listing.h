// SPDX-License-Identifier: GPL-3.0-or-later
// Lists a ZIP archive from its central directory (nothing is decompressed)
// as a Zip Folder record with nested folder and file records.
#pragma once

#include <cstdint>
#include <functional>
#include <string_view>

#include "catalog/catalog_writer.h"
#include "catalog/local_time.h"
#include "media/member_tree.h"
#include "media/volume_scanner_access.h"

namespace kestavo::media {

class ZipLister {
public:
    explicit ZipLister(LocalClock& clock, const ScanFileAccess& access = ScanFileAccess::System())
        : clock_(clock), access_(access) {}

    enum class Outcome {
        Listed,      // the Zip Folder record was written with its members
        NotAZip,     // nothing was written: libzip cannot read it as an archive
        Gone,        // nothing was written: the file went away
        Unreadable,  // nothing was written: reading the file failed (a bad sector)
        Stopped,     // `tick` asked to stop: the scan is to end, what was written is void
    };
    // Called before every read of the archive and for every member listed
    // and written; answering false stops.
    using Tick = std::function<bool()>;

    // Writes the Zip Folder record of the archive with its members;
    // `members` gets the member count. Only a regular file is read, and
    // opening it never blocks (a FIFO in its place is not an archive). A
    // member path longer than the system's path limit makes no folders:
    // the member is kept as a file record of its last part right under the
    // Zip Folder (a directory member of such a path is left out).
    Outcome Write(const ArchiveFile& archive, CatalogWriter& out, std::uint64_t& members,
                  const Tick& tick = {});

private:
    LocalClock& clock_;
    const ScanFileAccess& access_;
};

}  // namespace kestavo::media
