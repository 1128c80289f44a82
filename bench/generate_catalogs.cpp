// SPDX-License-Identifier: GPL-3.0-or-later
// kestavo-generate-catalogs DIR [ENTRIES] [CATALOGS]: writes a synthetic
// catalog directory for benchmarks, and DIR-wide/WIDE.kvx, a disk with one
// folder of 100 000 subfolders.
#include <cstdio>
#include <cstdlib>
#include <string>

#include "catalog_generator.h"

int main(int argc, char** argv) {
    if (argc < 2) {
        std::fprintf(stderr, "usage: kestavo-generate-catalogs DIR [ENTRIES] [CATALOGS]\n");
        return 2;
    }
    kestavo::bench::GeneratorSettings settings;
    if (argc > 2) settings.entries = std::atoll(argv[2]);
    if (argc > 3) settings.catalogs = std::atoi(argv[3]);
    const std::string dir = argv[1];
    const std::int64_t written = kestavo::bench::GenerateCatalogDirectory(dir, settings);
    if (written < 0) {
        std::fprintf(stderr, "cannot write into %s\n", dir.c_str());
        return 1;
    }
    const std::string wideDir = dir + "-wide";
    std::system(("mkdir -p '" + wideDir + "'").c_str());
    if (!kestavo::bench::GenerateWideCatalog(wideDir + "/WIDE.kvx", 100000)) return 1;
    std::printf("%lld entries in %d catalogs in %s; %s/WIDE.kvx\n", static_cast<long long>(written),
                settings.catalogs, dir.c_str(), wideDir.c_str());
    return 0;
}
