// SPDX-License-Identifier: GPL-3.0-or-later
// Times the SQLite export of a catalog directory against Open All of the
// same directory, best of three each.
//   kestavo-bench-export DIR DATABASE
#include <chrono>
#include <clocale>
#include <cstdio>
#include <filesystem>

#include "bench_support.h"
#include "catalog/catalog_commands.h"
#include "catalog/catalog_set.h"
#include "tools/sqlite_export.h"

int main(int argc, char** argv) {
    std::setlocale(LC_ALL, "");
    if (argc < 3) {
        std::fprintf(stderr, "usage: kestavo-bench-export DIR DATABASE\n");
        return 2;
    }
    kestavo::bench::CountedMessages messages;
    double openBest = 1e9, writeBest = 1e9;
    std::size_t entries = 0;
    for (int run = 0; run < 3; ++run) {
        kestavo::CatalogSet set;
        auto start = std::chrono::steady_clock::now();
        kestavo::OpenAllCatalogs(set, argv[1], messages);
        openBest = std::min(openBest, kestavo::bench::Seconds(start));
        entries = set.EntryCount();
        start = std::chrono::steady_clock::now();
        const kestavo::SqliteExportOutcome outcome = kestavo::ExportToSqlite(set, argv[2]);
        writeBest = std::min(writeBest, kestavo::bench::Seconds(start));
        if (!outcome.written) {
            std::fprintf(stderr, "export failed: %s\n", outcome.reason.c_str());
            return 1;
        }
    }
    const double exportSeconds = openBest + writeBest;
    std::printf("open all %s: %zu entries in %.3f s\n", argv[1], entries, openBest);
    std::printf(
        "export --sqlite (open all and write): %.3f s, of it the database %.3f s, %.0f MiB\n",
        exportSeconds, writeBest,
        static_cast<double>(std::filesystem::file_size(argv[2])) / 1048576.0);
    std::printf("ratio export/open all: %.2f (target <= 2.5)\n", exportSeconds / openBest);
    return 0;
}
