// SPDX-License-Identifier: GPL-3.0-or-later
// Deterministic synthetic catalog directories for benchmarks: many disks of
// realistic shape (deep folders, a few very large folders, ZIP archives,
// names, sizes and dates as real disks have them).
#pragma once

#include <cstdint>
#include <string>

namespace kestavo::bench {

struct GeneratorSettings {
    std::uint64_t seed = 2026;
    int catalogs = 200;
    std::int64_t entries = 5'000'000;  // entries in all, disks included
    int largeFolders = 3;              // folders holding `largeFolderSize` files
    int largeFolderSize = 100'000;
    int maxDepth = 12;
    double zippedShare = 0.1;  // share of entries inside Zip Folders
};

// Writes the catalogs into `directory` (created when missing); answers the
// number of entries written, or -1 when a file cannot be written.
std::int64_t GenerateCatalogDirectory(const std::string& directory,
                                      const GeneratorSettings& settings);

// One catalog whose disk holds a single folder with `subfolders` subfolders,
// each holding one file.
bool GenerateWideCatalog(const std::string& path, int subfolders);

}  // namespace kestavo::bench
