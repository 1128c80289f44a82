// SPDX-License-Identifier: GPL-3.0-or-later
// Hands arbitrary bytes to the archive listing through libarchive's memory
// reader, with every format and filter the scanner reads: whatever the
// bytes hold, the listing must end within its bounds.
#include <cstddef>
#include <cstdint>

#include "media/archive_listing.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    kestavo::media::ArchiveBounds bounds;
    bounds.members = 100000;
    bounds.nameBytes = 8 * 1024 * 1024;
    bounds.baseMilliseconds = 2000;
    kestavo::media::ListArchiveInMemory(data, size, bounds);
    return 0;
}
