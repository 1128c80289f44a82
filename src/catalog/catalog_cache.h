// SPDX-License-Identifier: GPL-3.0-or-later
// A cache file beside each catalog read, in the user's cache directory:
// what reading the catalog's text gave, kept so that the next read of the
// unchanged file maps the cache and uses it where it lies instead of
// parsing the text. The load made from a cache is the one the text gives,
// to the order of the tree's children and the messages. A cache that is
// missing, stale, foreign or damaged is passed over (the text is read and
// the cache written again), and failing to write one changes nothing but
// the next read's speed.
#pragma once

#include <cstddef>
#include <cstdint>
#include <memory>
#include <optional>
#include <span>
#include <string>
#include <string_view>
#include <vector>

#include "catalog/catalog_load.h"

namespace kestavo {

namespace cache_format {
struct Section;
}

// The cache directory: $XDG_CACHE_HOME/kestavo, else ~/.cache/kestavo
// (XDG_CACHE_HOME counts only when it is an absolute path); empty when
// there is no home either.
std::string CatalogCacheDirectory();
// The cache file of the catalog at `catalogPath`, named after a checksum of
// its absolute path; empty without a cache directory.
std::string CatalogCacheFile(const std::string& catalogPath);

// What a read of one catalog file depends on besides its text, which a
// cache must have been written for: the file's stamp (device, inode, size,
// modification and change times), its absolute path and the path it is
// read as (messages name it), the code page setting, the time zone (TZ,
// TZDIR and the stamp of the zone file they name, or /etc/localtime's), and
// the program's version.
class CatalogCacheKey {
public:
    // The key of the catalog file at `path` as it stands now; none when it
    // is no regular file of up to `largestSize` bytes, or there is no cache
    // directory.
    static std::optional<CatalogCacheKey> Of(const std::string& path, std::uint64_t largestSize);
    // A key made of given bytes, for a cache kept elsewhere than in a file.
    static CatalogCacheKey FromBytes(std::string bytes, std::string cacheFile);
    // The absolute path of the catalog that key bytes made by Of were made
    // for; empty when the bytes hold no such key.
    static std::string CatalogPathIn(std::span<const std::byte> bytes);

    const std::string& Bytes() const { return bytes_; }
    const std::string& CacheFile() const { return cacheFile_; }
    // Whether the file was last changed long enough ago (kCatalogSettleTime)
    // that a change made from now on gives it another stamp: file times
    // advance by clock ticks of several milliseconds, so a file rewritten
    // with the same size within one tick of the last change keeps its stamp.
    // No cache is written for a file that has not settled.
    bool Settled() const { return settled_; }

private:
    std::string bytes_;
    std::string cacheFile_;
    bool settled_ = true;
};

// How long a catalog file must have stayed unchanged before a cache is
// written for it: more than the coarsest tick of file times on Linux (10 ms).
inline constexpr std::int64_t kCatalogSettleNanoseconds = 50'000'000;

// How much of a cache is checked before use: all of it, or (to let a fuzzer
// reach past the sums) everything but the sums.
enum class CacheCheck { Everything, AllButSums };

// The section table of a cache from its first bytes, `start` (the header
// and the table at least), in a file of `fileBytes` bytes; false when they
// are no cache of this version, or, with `checkSum`, when the header's sum
// does not hold.
bool ReadCacheSectionTable(std::span<const std::byte> start, std::uint64_t fileBytes, bool checkSum,
                           std::vector<cache_format::Section>& sections);

// Makes `load`, which holds nothing yet, what the cache `bytes` keeps, if
// they are a whole cache written for `key`; `backing` keeps the bytes alive
// and goes to the load's store, which uses its names where they lie. False,
// with `load` restarted, when they are not.
bool RestoreCatalogLoad(CatalogLoad& load, std::span<const std::byte> bytes, std::string_view key,
                        std::shared_ptr<const void> backing, CacheCheck check);
// The same for the cache file of `key`, mapped.
bool ReadCatalogCache(CatalogLoad& load, const CatalogCacheKey& key);

// The cache of `load`, just read from its text, with `nameIndex` (an index
// of the store's names, possibly empty) kept beside it; none for a load
// that cannot be kept (memory ran out while it was read).
std::optional<std::string> EncodeCatalogCache(const CatalogLoad& load, std::string_view key,
                                              std::span<const std::byte> nameIndex = {});
// Whether a cache may be written for `key`: its file has settled, and the
// cache directory is there (it is made when missing) and may be written, so
// that what only a cache keeps is worth making.
bool CanWriteCatalogCache(const CatalogCacheKey& key);
// Writes the same to the cache file of `key`, through a temporary file
// renamed over it. Failing is silent: false.
bool WriteCatalogCache(const CatalogLoad& load, const CatalogCacheKey& key,
                       std::span<const std::byte> nameIndex = {});

// Removes the cache of the catalog at `catalogPath`, if there is one.
void RemoveCatalogCache(const std::string& catalogPath);

}  // namespace kestavo
