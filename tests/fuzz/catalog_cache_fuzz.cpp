// SPDX-License-Identifier: GPL-3.0-or-later
// Feeds arbitrary bytes to the catalog cache reader as a cache file, then
// joins what it made to a catalog set and uses it the way the windows do.
// The first byte chooses whether the sums are checked: without, the bytes
// reach every check of the layout behind them. Whatever the bytes, nothing
// may be read outside them.
#include <cstddef>
#include <cstdint>
#include <cstring>
#include <memory>
#include <span>

#include "catalog/catalog_cache.h"
#include "catalog/catalog_reader.h"
#include "catalog/catalog_set.h"
#include "loaded_set_use.h"

// The key the seed caches were written for.
static constexpr char kFuzzKey[] = "fuzz.kvx";

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    if (size < 1) return 0;
    const kestavo::CacheCheck check =
        data[0] & 1 ? kestavo::CacheCheck::Everything : kestavo::CacheCheck::AllButSums;
    // A copy of its own, aligned as a mapping is, and only as long as the input.
    auto bytes = std::shared_ptr<std::byte[]>(new std::byte[size > 1 ? size - 1 : 1]);
    if (size > 1) std::memcpy(bytes.get(), data + 1, size - 1);
    const std::span<const std::byte> cache(bytes.get(), size - 1);
    kestavo::CatalogLoad load("fuzz.kvx", /*fromFile=*/true);
    if (!kestavo::RestoreCatalogLoad(load, cache, kFuzzKey, bytes, check)) return 0;
    kestavo::fuzz::IgnoredMessages messages;
    kestavo::CatalogSet set;
    kestavo::JoinCatalog(set, load, messages);
    kestavo::fuzz::UseWhatWasLoaded(set, kestavo::fuzz::Names::AnyBytes);
    return 0;
}
