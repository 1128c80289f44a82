// Lists a ZIP archive from its central directory (nothing is decompressed)
// as a Zip Folder record with nested folder and file records.
#pragma once

#include <cstdint>
#include <string_view>

#include "catalog/local_time.h"
#include "media/catalog_writer.h"

namespace kestavo::media {

struct ArchiveFile {
    int directoryFd = -1;     // the folder holding the archive
    const char* name = "";    // its name in that folder
    std::int64_t size = 0;
    std::int64_t time = 0;    // modification time, calendar seconds
};

class ZipLister {
public:
    explicit ZipLister(LocalClock& clock) : clock_(clock) {}

    enum class Outcome {
        Listed,    // the Zip Folder record was written with its members
        NotAZip,   // nothing was written: libzip cannot read it as an archive
        Gone,      // nothing was written: the file went away
    };
    // Writes the Zip Folder record of the archive with its members;
    // `members` gets the member count.
    Outcome Write(const ArchiveFile& archive, CatalogWriter& out, std::uint64_t& members);

private:
    LocalClock& clock_;
};

}  // namespace kestavo::media
