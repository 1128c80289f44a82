// SPDX-License-Identifier: GPL-3.0-or-later
// Times the scanner over a folder tree (with every archive listed, or ZIP
// archives only), or the ZIP or libarchive listing alone over the archives
// named on standard input, writing the catalog text to /dev/null.
// Prints the wall time, the counts and the peak memory of the process.
#include <fcntl.h>
#include <sys/resource.h>
#include <unistd.h>

#include <chrono>
#include <cstdio>
#include <iostream>
#include <string>
#include <type_traits>

#include "catalog/catalog_writer.h"
#include "catalog/local_time.h"
#include "media/archive_listing.h"
#include "media/volume_scanner.h"
#include "media/zip_listing.h"

namespace {

long PeakKilobytes() {
    struct rusage usage {};
    ::getrusage(RUSAGE_SELF, &usage);
    return usage.ru_maxrss;
}

int ScanTree(const std::string& root, kestavo::media::ArchiveChoice choice,
             kestavo::CatalogWriter& out) {
    kestavo::media::DiskRecord disk;
    disk.label = "BENCH";
    disk.date = {2024, 1, 1, 0, 0, 0};
    const kestavo::media::ScanResult result = kestavo::media::ScanVolume(
        root, disk, out, {}, nullptr, kestavo::media::ScanFileAccess::System(), choice);
    std::printf("folders %llu files %llu ", static_cast<unsigned long long>(result.counts.folders),
                static_cast<unsigned long long>(result.counts.files));
    return result.status == kestavo::media::ScanStatus::Done ? 0 : 1;
}

// Lists every archive named on standard input with `Lister` (ZipLister or
// ArchiveLister, the latter reading every archive however large).
template <typename Lister>
int ListArchives(kestavo::CatalogWriter& out) {
    kestavo::LocalClock clock;
    Lister lister(clock);
    if constexpr (std::is_same_v<Lister, kestavo::media::ArchiveLister>)
        lister.SetChoice(kestavo::media::ArchiveChoice::All);
    std::uint64_t total = 0, archives = 0;
    std::string path;
    while (std::getline(std::cin, path)) {
        kestavo::media::ArchiveFile archive{AT_FDCWD, path.c_str(), 0, 0};
        std::uint64_t members = 0;
        if (lister.Write(archive, out, members) != Lister::Outcome::Listed) return 1;
        total += members;
        ++archives;
    }
    std::printf("archives %llu members %llu ", static_cast<unsigned long long>(archives),
                static_cast<unsigned long long>(total));
    return 0;
}

}  // namespace

int main(int argc, char** argv) {
    const std::string mode = argc > 1 ? argv[1] : "";
    const bool tree = mode == "--tree" || mode == "--tree-zip-only";
    if (!(tree && argc == 3) && !((mode == "--zips" || mode == "--archives") && argc == 2)) {
        std::fprintf(stderr,
                     "usage: kestavo-bench-scan --tree|--tree-zip-only DIRECTORY | "
                     "--zips|--archives < LIST\n");
        return 2;
    }
    const int sink = ::open("/dev/null", O_WRONLY);
    const auto start = std::chrono::steady_clock::now();
    int status = 0;
    {
        kestavo::CatalogWriter out(sink);
        using kestavo::media::ArchiveChoice;
        if (tree)
            status = ScanTree(
                argv[2], mode == "--tree" ? ArchiveChoice::Default : ArchiveChoice::ZipOnly, out);
        else if (mode == "--zips")
            status = ListArchives<kestavo::media::ZipLister>(out);
        else
            status = ListArchives<kestavo::media::ArchiveLister>(out);
    }
    const double seconds =
        std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
    std::printf("seconds %.3f peak_rss_kb %ld\n", seconds, PeakKilobytes());
    return status;
}
