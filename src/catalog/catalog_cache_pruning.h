// SPDX-License-Identifier: GPL-3.0-or-later
// Keeps the cache directory from growing without end: a cache is named
// after its catalog's path, so a catalog that is rewritten reuses its cache
// file, but one that is deleted, renamed or moved leaves its cache behind,
// and a process that dies while writing a cache leaves its temporary file.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

namespace kestavo {

// How old a temporary cache file must be before it counts as left behind:
// a cache is written in well under this time, so a younger one may belong
// to a process writing it now.
inline constexpr std::int64_t kLeftoverTemporarySeconds = 3600;

struct CachePruneCounts {
    int staleCaches = 0;  // caches of catalogs that are gone
    int leftoverTemporaries = 0;
};

// Removes from `cacheDirectory` the caches this version wrote for catalog
// files that no longer exist, and temporary cache files older than
// kLeftoverTemporarySeconds. Caches in `inUse` (paths as CatalogCacheFile
// gives them) are not looked at; files of other names, caches of another
// format version and caches whose catalog still exists, wherever it lies,
// are left alone. Failures are ignored: pruning only saves disk space.
CachePruneCounts PruneCatalogCaches(const std::string& cacheDirectory,
                                    const std::vector<std::string>& inUse);

// The path of the catalog a cache file was written for, read from its
// header and key; empty when the file is no whole cache of this version.
std::string CatalogPathOfCache(const std::string& cacheFile);

}  // namespace kestavo
