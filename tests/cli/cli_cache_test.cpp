// SPDX-License-Identifier: GPL-3.0-or-later
// Every command gives byte for byte what it gives without catalog caches,
// whether the caches are missing, present, stale, foreign or damaged. (The
// top root item's properties show the time of the run: they are left out.)
#include <fcntl.h>
#include <gtest/gtest.h>
#include <sys/stat.h>

#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

#include "catalog/catalog_cache.h"
#include "support/test_support.h"

namespace kestavo {
namespace {

namespace fs = std::filesystem;

const std::vector<std::vector<std::string>> kCommands = {
    {"ls"},
    {"ls", "CD01/data"},
    {"ls", "CD01"},
    {"ls", "BACKUP", "--format", "json"},
    {"ls", "caf\xc3\xa9"},
    {"properties", "BACKUP"},
    {"properties", "CD01"},
    {"find", "*", "--format", "csv"},
    {"find", "*.bin"},
    {"duplicates"},
    {"compare", "CD01"},
};

// What every command printed with the catalogs of `catalogs` and the
// caches of `cache`.
std::vector<test::CliRun> RunAll(const std::string& catalogs, const std::string& cache) {
    std::vector<test::CliRun> runs;
    for (const auto& args : kCommands)
        runs.push_back(test::RunProgram(KESTAVO_CLI,
                                        {{"Kestavo", catalogs}, {"XDG_CACHE_HOME", cache}}, args));
    return runs;
}

void ExpectSame(const std::vector<test::CliRun>& expected, const std::vector<test::CliRun>& runs) {
    ASSERT_EQ(expected.size(), runs.size());
    for (std::size_t i = 0; i < runs.size(); ++i) {
        SCOPED_TRACE(kCommands[i].front() + (kCommands[i].size() > 1 ? " " + kCommands[i][1] : ""));
        EXPECT_EQ(runs[i].status, expected[i].status);
        EXPECT_EQ(runs[i].out, expected[i].out);
        EXPECT_EQ(runs[i].err, expected[i].err);
    }
}

std::vector<std::string> CacheFiles(const std::string& cache) {
    std::vector<std::string> files;
    for (const auto& file : fs::directory_iterator(cache + "/kestavo"))
        files.push_back(file.path().string());
    std::sort(files.begin(), files.end());
    return files;
}

// Caches are written only for catalogs left unchanged for a moment.
void LetCatalogsSettle() {
    test::WaitForCatalogsToSettle();
}

void Rewrite(const std::string& path, const std::string& bytes) {
    std::ofstream(path, std::ios::binary | std::ios::trunc) << bytes;
}

TEST(CliCacheTest, OutputIsTheSameWithCachesMissingPresentStaleForeignOrDamaged) {
    test::TempDir catalogs, cache;
    for (const auto& file : fs::directory_iterator(std::string(KESTAVO_TEST_DATA) + "/catalogs"))
        fs::copy_file(file.path(), catalogs.Path() / file.path().filename());
    catalogs.Write("late.kvx", test::CatalogHeader() +
                                   "+ \"LATE\" 9 9 1 1 2000 0 0 0 < \"a.bin\" 1 1 1 2040 0 0 0 >");
    catalogs.Write("legacy.kvx", test::CatalogHeader() +
                                     "+ \"caf\xe9\" 9 9 1 1 2000 0 0 0 < \"a.bin\" 1024 20 "
                                     "12 2003 11 0 0 >");
    catalogs.Write("half.kvx", test::CatalogHeader() + "+ \"HALF\" 1 1 1 1 2000 0 0 0 < \"f\" 1");
    catalogs.Write("foreign.kvx", "hello");
    LetCatalogsSettle();

    const std::vector<test::CliRun> missing = RunAll(catalogs.Str(), cache.Str());
    EXPECT_EQ(missing[0].status, 0);
    EXPECT_NE(missing[0].out.find("CD01"), std::string::npos);
    const std::vector<std::string> files = CacheFiles(cache.Str());
    EXPECT_EQ(files.size(), 7u);
    ExpectSame(missing, RunAll(catalogs.Str(), cache.Str()));

    // Stale: one catalog touched, one of another size, one changed within
    // its size; compared with a run that has no caches at all.
    const std::string cd01 = (catalogs.Path() / "CD01.kvx").string();
    std::string text = test::ReadWholeFile(cd01);
    text.replace(text.find("a.bin"), 5, "b.bin");
    Rewrite(cd01, text);
    const std::string late = (catalogs.Path() / "late.kvx").string();
    Rewrite(late, test::ReadWholeFile(late) + "\r\n");
    ::utimensat(AT_FDCWD, (catalogs.Path() / "BACKUP.kvx").c_str(), nullptr, 0);
    LetCatalogsSettle();
    const std::vector<test::CliRun> stale = RunAll(catalogs.Str(), cache.Str());
    test::TempDir none;
    const std::vector<test::CliRun> changed = RunAll(catalogs.Str(), none.Str());
    ExpectSame(changed, stale);
    EXPECT_NE(changed[1].out, missing[1].out);

    // Foreign: every cache moved to another catalog's place.
    std::vector<std::string> contents;
    for (const std::string& file : files) contents.push_back(test::ReadWholeFile(file));
    for (std::size_t i = 0; i < files.size(); ++i)
        Rewrite(files[i], contents[(i + 1) % contents.size()]);
    ExpectSame(changed, RunAll(catalogs.Str(), cache.Str()));

    // Damaged: cut short, a header byte changed, a byte of the body changed.
    for (std::size_t i = 0; i < files.size(); ++i) contents[i] = test::ReadWholeFile(files[i]);
    Rewrite(files[0], contents[0].substr(0, contents[0].size() / 2));
    std::string bad = contents[1];
    bad[20] = static_cast<char>(bad[20] ^ 4);
    Rewrite(files[1], bad);
    for (std::size_t i = 2; i < files.size(); ++i) {
        bad = contents[i];
        bad[bad.size() - 9] = static_cast<char>(bad[bad.size() - 9] ^ 1);
        bad[bad.size() / 2] = static_cast<char>(bad[bad.size() / 2] ^ 0x80);
        Rewrite(files[i], bad);
    }
    ExpectSame(changed, RunAll(catalogs.Str(), cache.Str()));
    ExpectSame(changed, RunAll(catalogs.Str(), cache.Str()));
}

}  // namespace
}  // namespace kestavo
