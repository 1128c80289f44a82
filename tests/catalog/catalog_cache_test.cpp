// SPDX-License-Identifier: GPL-3.0-or-later
// The cache beside each catalog: a load made from it is the load the text
// gives, field by field, for every shape of catalog; a cache that is stale,
// foreign, damaged or cannot be written is passed over and changes nothing.
#include "catalog/catalog_cache.h"

#include <fcntl.h>
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <optional>
#include <random>
#include <span>
#include <tuple>

#include "catalog/catalog_cache_format.h"
#include "catalog/catalog_commands.h"
#include "catalog/catalog_reader.h"
#include "support/test_support.h"

namespace kestavo {
namespace {

using test::CacheDirectory;
using test::CatalogHeader;
using test::TempDir;

// Writes a catalog and waits until it has settled, so that a cache may be
// written for it.
std::string SettledWrite(const TempDir& dir, const std::string& name, const std::string& text) {
    const std::string path = dir.Write(name, text);
    test::WaitForCatalogsToSettle();
    return path;
}

// Everything a load holds, in a form that compares as a whole.
struct LoadFields {
    int outcome;
    bool hasRoot;
    TreeItem root, disk;
    std::vector<std::string> labels;
    std::vector<std::tuple<std::string, std::string, int, int, int>> messages;
    std::string codePage;
    std::vector<std::tuple<TreeItem, std::uint32_t, int, std::uint32_t, bool, std::string,
                           std::vector<TreeItem>>>
        items;
    std::vector<std::tuple<std::uint32_t, std::string, TreeItem, std::int64_t, std::int64_t, int,
                           std::int64_t, TextRef>>
        entries;
    std::vector<std::vector<std::uint32_t>> lists;
    bool operator==(const LoadFields&) const = default;
};

LoadFields FieldsOf(CatalogLoad& load) {
    LoadFields f{};
    f.outcome = static_cast<int>(load.Outcome());
    f.hasRoot = load.HasRoot();
    f.root = load.RootItem();
    f.disk = load.Disk();
    f.labels = load.ReplacedLabels();
    for (const Message& m : load.Messages())
        f.messages.emplace_back(m.caption, m.text, static_cast<int>(m.icon),
                                static_cast<int>(m.buttons), static_cast<int>(m.defaultAnswer));
    f.codePage = load.CodePage();
    const ContainerTree& tree = load.Tree();
    const auto top = tree.Children(kNoItem);
    f.items.emplace_back(0, 0, 0, 0, true, "", std::vector<TreeItem>(top.begin(), top.end()));
    for (TreeItem item = 1; item < tree.ItemLimit(); ++item) {
        const ContainerTree::ItemState s = tree.StateOf(item);
        const auto children = tree.Children(item);
        f.items.emplace_back(s.parent, s.row, s.kind, s.sortedPrefix, s.childrenSorted,
                             std::string(tree.ItemText(item)),
                             std::vector<TreeItem>(children.begin(), children.end()));
    }
    if (const EntryStore* store = load.Store())
        store->ForEachLive([&](const FileData& e) {
            f.entries.emplace_back(e.Serial(), std::string(e.GetName()), e.GetParentItem(),
                                   e.Size(), e.GetTime(), e.GetKind(), store->FreeSpaceOf(e),
                                   EntryStore::NameRefOf(e));
        });
    for (TreeItem item = 0; item < tree.ItemLimit(); ++item) {
        std::vector<std::uint32_t> list;
        for (FileData* e = load.Lists().First(item); e; e = EntryLists::Next(*e))
            list.push_back(e->Serial());
        f.lists.push_back(std::move(list));
    }
    return f;
}

LoadFields ReadFields(const std::string& path) {
    CatalogLoad load(path, /*fromFile=*/true);
    LocalClock clock;
    std::string buffer;
    ReadCatalogFile(load, buffer, clock);
    return FieldsOf(load);
}

// The load from the catalog's cache alone; none when the cache is not used.
std::optional<LoadFields> CachedFields(const std::string& path) {
    const auto key = CatalogCacheKey::Of(path, UINT64_MAX);
    if (!key) return std::nullopt;
    CatalogLoad load(path, /*fromFile=*/true);
    if (!ReadCatalogCache(load, *key)) {
        EXPECT_FALSE(load.HasRoot());
        EXPECT_TRUE(load.Messages().empty());
        return std::nullopt;
    }
    return FieldsOf(load);
}

std::string Disk(const std::string& label, const std::string& body,
                 const std::string& drive = "fixed") {
    return CatalogHeader(drive) + "+ \"" + label + "\" 100 50 1 1 2000 0 0 0 < " + body + " >\r\n";
}

// A large catalog: folders out of order, many names of every length
// (some long enough for a chunk of their own), late dates and archives.
std::string LargeCatalog() {
    std::mt19937 random(7);
    std::string body;
    for (int folder = 0; folder < 60; ++folder) {
        body += "+ \"dir" + std::to_string((folder * 37) % 60) + (folder % 9 == 0 ? ".zip" : "") +
                "\" 0 0 3 4 2011 10 20 30 < ";
        for (int file = 0; file < 400; ++file) {
            const std::size_t length = 1 + random() % (file == 17 ? 40000 : 60);
            std::string name(length, 'a');
            for (char& c : name) c = static_cast<char>('a' + random() % 26);
            const int year = file % 97 == 0 ? 2040 : 1990 + static_cast<int>(random() % 40);
            body += "\"" + name + "\" " + std::to_string(random() % 100000) + " " +
                    std::to_string(1 + random() % 28) + " " + std::to_string(1 + random() % 12) +
                    " " + std::to_string(year) + " 1 2 3 ";
        }
        body += "> ";
    }
    return Disk("BIG", body);
}

std::vector<std::string> ShapesOfCatalog(const TempDir& dir) {
    std::vector<std::string> paths;
    for (const auto& file :
         std::filesystem::directory_iterator(std::string(KESTAVO_TEST_DATA) + "/catalogs"))
        paths.push_back(file.path().string());
    paths.push_back(SettledWrite(dir, "unsorted.kvx",
                                 Disk("U",
                                      "+ \"b\" 0 0 1 1 2000 0 0 0 < > + \"a\" 0 0 1 1 2000 0 0 0 "
                                      "< \"z\" 1 1 1 2000 0 0 0 \"y\" 2 2 2 2001 0 0 0 > "
                                      "+ \"B\" 0 0 1 1 2000 0 0 0 < >")));
    paths.push_back(
        SettledWrite(dir, "damaged.kvx", Disk("D", "\"f\" 1 1 1 2000 0 0 0").substr(0, 90)));
    paths.push_back(SettledWrite(dir, "foreign.kvx", "hello"));
    paths.push_back(SettledWrite(dir, "empty.kvx", ""));
    paths.push_back(SettledWrite(dir, "nodisk.kvx", CatalogHeader()));
    paths.push_back(SettledWrite(dir, "late.kvx",
                                 Disk("L",
                                      "\"a\" 1 1 1 2040 0 0 0 \"b\" 1 5 2 2036 0 0 0 "
                                      "\"c\" 1 1 1 2050 0 0 0",
                                      "cdrom")));
    paths.push_back(
        SettledWrite(dir, "legacy.kvx", Disk("caf\xe9", "\"na\xefve\" 1 1 1 2000 0 0 0")));
    paths.push_back(SettledWrite(dir, "large.kvx", LargeCatalog()));
    return paths;
}

TEST(CatalogCacheTest, EveryShapeOfCatalogLoadsFromItsCacheAsFromItsText) {
    CacheDirectory cache;
    TempDir dir;
    for (const std::string& path : ShapesOfCatalog(dir)) {
        SCOPED_TRACE(path);
        const LoadFields fromText = ReadFields(path);
        const std::optional<LoadFields> fromCache = CachedFields(path);
        ASSERT_TRUE(fromCache.has_value());
        EXPECT_TRUE(*fromCache == fromText);
        // A read through ReadCatalogFile now takes the cache, and gives the same.
        EXPECT_TRUE(ReadFields(path) == fromText);
    }
    struct stat st {};
    ASSERT_EQ(::stat(cache.Str().c_str(), &st), 0);
    EXPECT_EQ(st.st_mode & 0777, 0700u);
}

TEST(CatalogCacheTest, StaleForeignAndDamagedCachesArePassedOverAndWrittenAgain) {
    CacheDirectory cache;
    TempDir dir;
    const std::string a = SettledWrite(dir, "a.kvx", Disk("A", "\"one\" 1 1 1 2000 0 0 0"));
    const std::string b = SettledWrite(dir, "b.kvx", LargeCatalog());
    const LoadFields textA = ReadFields(a);
    const LoadFields textB = ReadFields(b);
    ASSERT_TRUE(CachedFields(a).has_value());

    // Stale: the same size with other content and another time, then
    // another size.
    dir.Write("a.kvx", Disk("A", "\"two\" 1 1 1 2000 0 0 0"));
    ::utimensat(AT_FDCWD, a.c_str(), nullptr, 0);
    test::WaitForCatalogsToSettle();
    EXPECT_FALSE(CachedFields(a).has_value());
    LoadFields fresh = ReadFields(a);
    EXPECT_EQ(std::get<1>(fresh.entries.at(1)), "two");
    EXPECT_TRUE(CachedFields(a) == fresh);
    SettledWrite(dir, "a.kvx", Disk("A", "\"three\" 1 1 1 2000 0 0 0"));
    EXPECT_FALSE(CachedFields(a).has_value());
    fresh = ReadFields(a);
    EXPECT_TRUE(CachedFields(a) == fresh);

    // Foreign: b's cache in a's place.
    const std::string cacheA = CatalogCacheFile(a);
    const std::string cacheB = CatalogCacheFile(b);
    std::filesystem::copy_file(cacheB, cacheA, std::filesystem::copy_options::overwrite_existing);
    EXPECT_FALSE(CachedFields(a).has_value());
    EXPECT_TRUE(ReadFields(a) == fresh);
    EXPECT_TRUE(CachedFields(a) == fresh);

    // Damaged: cut short anywhere, or any byte of the header or the body
    // changed. Only a byte of the padding between sections may change and
    // the cache still be used, as it still gives the same load.
    const std::string good = test::ReadWholeFile(cacheB);
    std::mt19937 random(3);
    std::vector<std::size_t> places;
    for (std::size_t i = 0; i < 600; ++i) places.push_back(i);
    for (int i = 0; i < 300; ++i) places.push_back(random() % good.size());
    for (std::size_t place : places) {
        std::string bad = good;
        bad[place] = static_cast<char>(bad[place] ^ (1 << (place % 8)));
        std::ofstream(cacheB, std::ios::binary | std::ios::trunc) << bad;
        const std::optional<LoadFields> cached = CachedFields(b);
        ASSERT_TRUE(!cached || *cached == textB) << place;
    }
    for (std::size_t length :
         {std::size_t{0}, std::size_t{31}, std::size_t{500}, good.size() / 2, good.size() - 1}) {
        std::ofstream(cacheB, std::ios::binary | std::ios::trunc) << good.substr(0, length);
        ASSERT_FALSE(CachedFields(b).has_value()) << length;
    }
    EXPECT_TRUE(ReadFields(b) == textB);
    EXPECT_TRUE(CachedFields(b) == textB);
    EXPECT_FALSE(textA == textB);
}

// More entries than one segment of a store holds, a folder's entries
// spread over several segments between those of the disk.
std::string CatalogOfSegments() {
    std::string body;
    for (int file = 0; file < 70000; ++file) {
        body += "\"f" + std::to_string(file) + "\" " + std::to_string(file) + " 1 1 2000 0 0 0 ";
        if (file % 20000 == 0)
            body += "+ \"dir" + std::to_string(file) +
                    "\" 0 0 1 1 2000 0 0 0 < \"in\" 1 1 1 2000 0 0 0 > ";
    }
    return Disk("SEG", body);
}

// Where the record of entry `serial` lies in a cache, and its link to the
// next entry filed under its item.
std::size_t RecordAt(const std::string& cache, std::uint32_t serial) {
    cache_format::Header header{};
    std::memcpy(&header, cache.data(), sizeof header);
    for (std::uint32_t i = 0; i < header.sectionCount; ++i) {
        cache_format::Section section{};
        std::memcpy(&section, cache.data() + sizeof header + i * sizeof section, sizeof section);
        if (section.kind != static_cast<std::uint32_t>(cache_format::SectionKind::Entries))
            continue;
        const std::size_t perSegment = EntryStore::EntriesPerSegment();
        return section.offset + serial / perSegment * FileData::kSegmentBytes +
               EntryStore::EntriesOffset() + serial % perSegment * sizeof(FileData);
    }
    return std::string::npos;
}
constexpr std::size_t kNextAt = 24;

TEST(CatalogCacheTest, EntriesOfManySegmentsComeBackMappedOrCopiedAndAreChecked) {
    CacheDirectory cache;
    TempDir dir;
    const std::string path = SettledWrite(dir, "seg.kvx", CatalogOfSegments());
    const LoadFields text = ReadFields(path);
    ASSERT_GT(text.entries.size(), 2 * std::size_t{EntryStore::EntriesPerSegment()});
    EXPECT_TRUE(CachedFields(path) == text);

    const std::string key = CatalogCacheKey::Of(path, UINT64_MAX)->Bytes();
    const std::string good = test::ReadWholeFile(CatalogCacheFile(path));
    const auto restore = [&](const std::string& bytes, CacheCheck check) {
        CatalogLoad load(path, /*fromFile=*/true);
        const auto span = std::as_bytes(std::span(bytes.data(), bytes.size()));
        const bool restored = RestoreCatalogLoad(load, span, key, nullptr, check);
        return restored ? std::optional<LoadFields>(FieldsOf(load)) : std::nullopt;
    };
    EXPECT_TRUE(restore(good, CacheCheck::Everything) == text);
    EXPECT_TRUE(restore(good, CacheCheck::AllButSums) == text);

    // Links that would skip an entry, loop, end a list early or join two
    // items' lists are refused even where no sum is taken.
    const std::uint32_t inDir = 3;  // the disk, f0, dir0, then dir0's file
    const std::uint32_t late = 3 * EntryStore::EntriesPerSegment() / 2;
    for (const auto& [serial, next] :
         std::vector<std::pair<std::uint32_t, std::uint32_t>>{{1, 4},
                                                              {late, late},
                                                              {late, late - 1},
                                                              {late, FileData::kNoNext},
                                                              {inDir, 4},
                                                              {late, 0xfffffffeu},
                                                              {late, 5000000}}) {
        std::string bad = good;
        std::memcpy(bad.data() + RecordAt(bad, serial) + kNextAt, &next, sizeof next);
        EXPECT_FALSE(restore(bad, CacheCheck::AllButSums).has_value()) << serial << " " << next;
        EXPECT_FALSE(restore(bad, CacheCheck::Everything).has_value()) << serial << " " << next;
    }
}

TEST(CatalogCacheTest, WhatTheReadDependsOnIsPartOfTheKey) {
    CacheDirectory cache;
    TempDir dir;
    const std::string path = SettledWrite(dir, "a.kvx", Disk("caf\xe9", "\"x\" 1 1 1 2000 0 0 0"));
    const LoadFields guessed = ReadFields(path);
    ASSERT_TRUE(CachedFields(path).has_value());
    ::setenv("KESTAVO_CODEPAGE", "CP1251", 1);
    EXPECT_FALSE(CachedFields(path).has_value());
    const LoadFields cyrillic = ReadFields(path);
    EXPECT_TRUE(CachedFields(path) == cyrillic);
    EXPECT_FALSE(cyrillic == guessed);
    ::unsetenv("KESTAVO_CODEPAGE");
    ::setenv("TZ", "Europe/Berlin", 1);
    ::tzset();
    EXPECT_FALSE(CachedFields(path).has_value());
    ::setenv("TZ", "UTC", 1);
    ::tzset();
    // The path it is read as is named in messages.
    const std::string relative = std::filesystem::relative(path).string();
    EXPECT_FALSE(CachedFields(relative).has_value());
}

TEST(CatalogCacheTest, FailingToWriteTheCacheChangesNothing) {
    TempDir dir;
    const std::string path = SettledWrite(dir, "a.kvx", LargeCatalog());
    const std::string blocker = SettledWrite(dir, "blocker", "a file where a directory should be");
    const std::string old = std::getenv("XDG_CACHE_HOME") ? std::getenv("XDG_CACHE_HOME") : "";
    ::setenv("XDG_CACHE_HOME", blocker.c_str(), 1);
    CatalogLoad load(path, /*fromFile=*/true);
    EXPECT_FALSE(WriteCatalogCache(load, *CatalogCacheKey::Of(path, UINT64_MAX)));
    const LoadFields once = ReadFields(path);
    EXPECT_TRUE(ReadFields(path) == once);
    EXPECT_FALSE(CachedFields(path).has_value());
    // Nothing that only a cache would keep is made for it: no name index.
    CatalogLoad uncached(path, /*fromFile=*/true);
    LocalClock clock;
    std::string buffer;
    ReadCatalogFile(uncached, buffer, clock);
    EXPECT_EQ(uncached.Store()->NameIndex(), nullptr);
    ::setenv("XDG_CACHE_HOME", old.c_str(), 1);
    CacheDirectory cache;
    EXPECT_TRUE(ReadFields(path) == once);
}

TEST(CatalogCacheTest, TheNameIndexIsKeptBesideTheNamesAndMapped) {
    CacheDirectory cache;
    TempDir dir;
    const std::string path = SettledWrite(dir, "a.kvx", LargeCatalog());
    const auto key = CatalogCacheKey::Of(path, UINT64_MAX);
    LocalClock clock;
    std::string buffer;
    // The text read makes the index, uses it and writes it with the cache.
    CatalogLoad text(path, /*fromFile=*/true);
    ReadCatalogFile(text, buffer, clock);
    ASSERT_NE(text.Store()->NameIndex(), nullptr);
    const std::uint32_t names = text.Store()->CreatedCount();
    EXPECT_EQ(text.Store()->NameIndex()->NameCount(), names);
    CatalogLoad cached(path, /*fromFile=*/true);
    ASSERT_TRUE(ReadCatalogCache(cached, *key));
    ASSERT_NE(cached.Store()->NameIndex(), nullptr);
    EXPECT_EQ(cached.Store()->NameIndex()->NameCount(), names);
    // Bytes that are no index leave the store without one, and the rest of
    // the cache is used as it is.
    const std::string blob = "an index of the names \x01\x02\x03";
    ASSERT_TRUE(WriteCatalogCache(text, *key, std::as_bytes(std::span(blob))));
    CatalogLoad damaged(path, /*fromFile=*/true);
    ASSERT_TRUE(ReadCatalogCache(damaged, *key));
    EXPECT_EQ(damaged.Store()->NameIndex(), nullptr);
    EXPECT_EQ(damaged.Store()->CreatedCount(), names);
}

// A file rewritten with the same size within one tick of file time keeps
// its stamp, so no cache is written for a file changed a moment ago.
TEST(CatalogCacheTest, ACatalogJustChangedGetsNoCacheUntilItSettles) {
    CacheDirectory cache;
    TempDir dir;
    const std::string path = dir.Write("a.kvx", Disk("A", "\"one\" 1 1 1 2000 0 0 0"));
    EXPECT_FALSE(CatalogCacheKey::Of(path, UINT64_MAX)->Settled());
    const LoadFields one = ReadFields(path);
    EXPECT_FALSE(CachedFields(path).has_value());
    dir.Write("a.kvx", Disk("A", "\"two\" 1 1 1 2000 0 0 0"));
    const LoadFields two = ReadFields(path);
    EXPECT_FALSE(two == one);
    test::WaitForCatalogsToSettle();
    ASSERT_TRUE(CatalogCacheKey::Of(path, UINT64_MAX)->Settled());
    EXPECT_TRUE(ReadFields(path) == two);
    const std::optional<LoadFields> cached = CachedFields(path);
    ASSERT_TRUE(cached.has_value());
    EXPECT_TRUE(*cached == two);
}

TEST(CatalogCacheTest, DeletingACatalogRemovesItsCache) {
    CacheDirectory cache;
    TempDir dir;
    SettledWrite(dir, "A.kvx", Disk("A", "\"one\" 1 1 1 2000 0 0 0"));
    CatalogSet set;
    test::RecordingMessages messages;
    ASSERT_EQ(OpenAllCatalogs(set, dir.Str(), messages), 1);
    const std::string cacheFile = CatalogCacheFile(dir.Str() + "/A.kvx");
    ASSERT_TRUE(std::filesystem::exists(cacheFile));
    messages.answers.push_back(MessageAnswer::Yes);
    const TreeItem disk = set.Tree().FirstChild(set.RootItem());
    EXPECT_EQ(DeleteCatalog(set, disk, dir.Str(), messages), DeleteOutcome::Deleted);
    EXPECT_FALSE(std::filesystem::exists(cacheFile));
}

}  // namespace
}  // namespace kestavo
