// SPDX-License-Identifier: GPL-3.0-or-later
// The cache directory is kept tidy at Open All: caches of catalogs that are
// gone and temporary files left by a writer that died go; everything that
// may still be used stays.
#include "catalog/catalog_cache_pruning.h"

#include <fcntl.h>
#include <gtest/gtest.h>
#include <sys/stat.h>

#include <cstddef>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <fstream>

#include "catalog/catalog_cache.h"
#include "catalog/catalog_cache_format.h"
#include "catalog/catalog_commands.h"
#include "support/test_support.h"

namespace kestavo {
namespace {

namespace fs = std::filesystem;
using test::CacheDirectory;
using test::CatalogHeader;
using test::TempDir;

std::string Disk(const std::string& label) {
    return CatalogHeader("fixed") + "+ \"" + label +
           "\" 100 50 1 1 2000 0 0 0 < \"f\" 1 1 1 2000 0 0 0 >\r\n";
}

// Writes catalogs and waits until they have settled, so that caches may be
// written for them.
void WriteSettled(const TempDir& dir, std::initializer_list<const char*> labels) {
    for (const char* label : labels) dir.Write(std::string(label) + ".kvx", Disk(label));
    test::WaitForCatalogsToSettle();
}

void OpenAll(const TempDir& dir) {
    CatalogSet set;
    test::RecordingMessages messages;
    OpenAllCatalogs(set, dir.Str(), messages);
}

void Touch(const std::string& path, std::time_t secondsAgo) {
    std::ofstream(path) << "partial";
    const timespec times[2] = {{std::time(nullptr) - secondsAgo, 0},
                               {std::time(nullptr) - secondsAgo, 0}};
    ASSERT_EQ(::utimensat(AT_FDCWD, path.c_str(), times, 0), 0);
}

TEST(CatalogCachePruningTest, CachesOfGoneCatalogsGoAndOthersStay) {
    CacheDirectory cache;
    TempDir one, other;
    WriteSettled(one, {"A", "B"});
    WriteSettled(other, {"C"});
    OpenAll(one);
    OpenAll(other);
    const std::string a = CatalogCacheFile(one.Str() + "/A.kvx");
    const std::string b = CatalogCacheFile(one.Str() + "/B.kvx");
    const std::string c = CatalogCacheFile(other.Str() + "/C.kvx");
    ASSERT_TRUE(fs::exists(a) && fs::exists(b) && fs::exists(c));
    EXPECT_EQ(CatalogPathOfCache(a), one.Str() + "/A.kvx");

    // B is renamed: its old cache goes, the new name gets its own. C lies in
    // a directory not opened now, but still exists: its cache stays.
    fs::rename(one.Str() + "/B.kvx", one.Str() + "/B2.kvx");
    // Renaming changes the file's change time, so it must settle again.
    test::WaitForCatalogsToSettle();
    OpenAll(one);
    EXPECT_TRUE(fs::exists(a));
    EXPECT_FALSE(fs::exists(b));
    EXPECT_TRUE(fs::exists(CatalogCacheFile(one.Str() + "/B2.kvx")));
    EXPECT_TRUE(fs::exists(c));

    // C's catalog is deleted behind the program's back: the next Open All of
    // any directory removes its cache.
    fs::remove(other.Str() + "/C.kvx");
    OpenAll(one);
    EXPECT_FALSE(fs::exists(c));
    EXPECT_TRUE(fs::exists(a));
}

TEST(CatalogCachePruningTest, OnlyOldTemporariesAndOwnCachesAreRemoved) {
    CacheDirectory cache;
    TempDir dir;
    WriteSettled(dir, {"A", "GONE", "OLD", "CUT"});
    OpenAll(dir);
    const std::string gone = CatalogCacheFile(dir.Str() + "/GONE.kvx");
    const std::string stem = gone.substr(0, gone.size() - 4);
    for (const char* name : {"/GONE.kvx", "/OLD.kvx", "/CUT.kvx"}) fs::remove(dir.Str() + name);

    // A cache written by another format version, a cache cut short (whose
    // catalog cannot be told) and files that are no caches at all are not
    // the program's to remove.
    const auto readAll = [](const std::string& path) {
        std::ifstream in(path, std::ios::binary);
        return std::string(std::istreambuf_iterator<char>(in), {});
    };
    const std::string otherVersion = CatalogCacheFile(dir.Str() + "/OLD.kvx");
    std::string patched = readAll(otherVersion);
    const std::uint32_t version = cache_format::kVersion + 1;
    std::memcpy(patched.data() + offsetof(cache_format::Header, version), &version, sizeof version);
    std::ofstream(otherVersion, std::ios::binary | std::ios::trunc) << patched;
    const std::string damaged = CatalogCacheFile(dir.Str() + "/CUT.kvx");
    const std::string whole = readAll(damaged);
    std::ofstream(damaged, std::ios::binary | std::ios::trunc) << whole.substr(0, whole.size() / 2);
    std::ofstream(cache.Str() + "/notes.txt") << "mine";

    const std::string oldTemporary = stem + ".kvc.Ab12Cd";
    const std::string newTemporary = stem + ".kvc.Zz99Yy";
    Touch(oldTemporary, kLeftoverTemporarySeconds + 60);
    Touch(newTemporary, 5);

    const CachePruneCounts counts =
        PruneCatalogCaches(cache.Str(), {CatalogCacheFile(dir.Str() + "/A.kvx")});
    EXPECT_EQ(counts.staleCaches, 1);
    EXPECT_EQ(counts.leftoverTemporaries, 1);
    EXPECT_FALSE(fs::exists(gone));
    EXPECT_FALSE(fs::exists(oldTemporary));
    EXPECT_TRUE(fs::exists(newTemporary));
    EXPECT_TRUE(fs::exists(otherVersion));
    EXPECT_TRUE(fs::exists(damaged));
    EXPECT_TRUE(fs::exists(cache.Str() + "/notes.txt"));
    EXPECT_TRUE(fs::exists(CatalogCacheFile(dir.Str() + "/A.kvx")));
    EXPECT_EQ(CatalogPathOfCache(damaged), "");
}

}  // namespace
}  // namespace kestavo
