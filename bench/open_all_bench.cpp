// SPDX-License-Identifier: GPL-3.0-or-later
// Times Open All Catalogs on a catalog directory and reports the peak
// resident memory per loaded entry, and the resident and private dirty
// memory after it; times one catalog read on its own. The catalog caches
// are those of $XDG_CACHE_HOME: set it to a fresh directory to time the
// first run (writing them), run again to time a run that reads them.
//   kestavo-bench-open-all DIR [CATALOG]
#include <sys/resource.h>

#include <chrono>
#include <clocale>
#include <cstdio>
#include <fstream>
#include <string>

#include "bench_support.h"
#include "catalog/catalog_commands.h"
#include "catalog/catalog_reader.h"
#include "catalog/catalog_set.h"

namespace {

using kestavo::bench::CountedMessages;
using kestavo::bench::CurrentRssKb;
using kestavo::bench::PeakRssKb;
using kestavo::bench::RollupKb;
using kestavo::bench::Seconds;

}  // namespace

int main(int argc, char** argv) {
    std::setlocale(LC_ALL, "");
    if (argc < 2) {
        std::fprintf(stderr, "usage: kestavo-bench-open-all DIR [CATALOG]\n");
        return 2;
    }
    CountedMessages messages;
    if (argc > 2) {
        kestavo::CatalogSet set;
        const auto start = std::chrono::steady_clock::now();
        kestavo::LoadCatalog(set, argv[2], messages);
        std::printf("load %s: %zu entries in %.3f s\n", argv[2], set.EntryCount(), Seconds(start));
    }
    const long baseKb = CurrentRssKb();
    kestavo::CatalogSet set;
    const auto start = std::chrono::steady_clock::now();
    const int files = kestavo::OpenAllCatalogs(set, argv[1], messages);
    const double seconds = Seconds(start);
    const std::size_t entries = set.EntryCount();
    const long peakKb = PeakRssKb();
    std::printf("open all %s: %d catalogs, %zu entries in %.3f s (%d messages)\n", argv[1], files,
                entries, seconds, messages.count);
    std::printf("peak resident memory %.1f MiB (%.1f MiB before), %.1f bytes per entry\n",
                peakKb / 1024.0, baseKb / 1024.0,
                entries ? peakKb * 1024.0 / static_cast<double>(entries) : 0.0);
    std::printf(
        "after open all: resident %.1f MiB (anonymous %.1f MiB), proportional %.1f MiB, private "
        "dirty %.1f MiB (%.1f bytes per entry), private clean %.1f MiB\n",
        RollupKb("Rss") / 1024.0, RollupKb("Anonymous") / 1024.0, RollupKb("Pss") / 1024.0,
        RollupKb("Private_Dirty") / 1024.0,
        entries ? RollupKb("Private_Dirty") * 1024.0 / static_cast<double>(entries) : 0.0,
        RollupKb("Private_Clean") / 1024.0);
    return 0;
}
