// SPDX-License-Identifier: GPL-3.0-or-later
#include "media/zip_listing.h"

#include <fcntl.h>
#include <limits.h>
#include <sys/stat.h>
#include <unistd.h>
#include <zip.h>

#include <algorithm>
#include <cerrno>
#include <memory>

#include "media/member_tree.h"
#include "media/zip_listing_source.h"

namespace kestavo::media {
namespace {

struct ArchiveCloser {
    void operator()(zip_t* archive) const { zip_discard(archive); }
};

}  // namespace

ZipLister::Outcome ZipLister::Write(const ArchiveFile& archive, CatalogWriter& out,
                                    std::uint64_t& members, const Tick& tick) {
    members = 0;
    struct stat opened {};
    const int fd = OpenRegularFile(access_, archive.directoryFd, archive.name, opened);
    if (fd < 0) return errno == ENOENT ? Outcome::Gone : Outcome::NotAZip;
    // The source closes the descriptor; it outlives the archive reading it.
    ZipFileSource source(access_, fd, opened.st_size, tick);
    zip_error_t error;
    zip_error_init(&error);
    zip_source_t* from = source.Create(&error);
    std::unique_ptr<zip_t, ArchiveCloser> zip(from ? zip_open_from_source(from, ZIP_RDONLY, &error)
                                                   : nullptr);
    zip_error_fini(&error);
    if (!zip) {
        if (from) zip_source_free(from);
        if (source.Stopped()) return Outcome::Stopped;
        return source.ReadError() != 0 ? Outcome::Unreadable : Outcome::NotAZip;
    }
    const zip_int64_t count = zip_get_num_entries(zip.get(), 0);
    MemberTree tree(archive.time);
    for (zip_int64_t i = 0; i < count; ++i) {
        if (tick && !tick()) return Outcome::Stopped;
        zip_stat_t st;
        zip_stat_init(&st);
        if (zip_stat_index(zip.get(), static_cast<zip_uint64_t>(i), ZIP_FL_ENC_GUESS, &st) != 0 ||
            !(st.valid & ZIP_STAT_NAME) || !st.name)
            continue;
        const std::int64_t size =
            (st.valid & ZIP_STAT_SIZE)
                ? static_cast<std::int64_t>(std::min<zip_uint64_t>(st.size, INT64_MAX))
                : 0;
        const std::int64_t time = (st.valid & ZIP_STAT_MTIME) ? st.mtime : archive.time;
        tree.AddMember(st.name, size, time);
        ++members;
    }
    return tree.WriteArchive(archive, out, clock_, tick) ? Outcome::Listed : Outcome::Stopped;
}

}  // namespace kestavo::media
