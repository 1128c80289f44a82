// SPDX-License-Identifier: GPL-3.0-or-later
// Catalogs and names made to hurt the reader: files too large to read,
// archive-like names that are not archives, and shapes of catalog that
// used to cost time growing with the square of their size.
#include <fcntl.h>
#include <gtest/gtest.h>
#include <unistd.h>

#include <chrono>

#include "catalog/catalog_commands.h"
#include "support/test_support.h"

namespace kestavo {
namespace {

using test::CatalogHeader;
using test::Child;
using test::ChildTexts;
using test::LoadText;
using test::RecordingMessages;
using test::TempDir;

std::string DiskCatalog(const std::string& label, const std::string& body = "") {
    return CatalogHeader() + "+ \"" + label + "\" 100 50 1 1 2000 0 0 0 < " + body + " >\r\n";
}

double SecondsSince(std::chrono::steady_clock::time_point start) {
    return std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
}

TEST(HostileCatalogTest, CatalogLargerThanMemoryIsRefusedAndTheOthersLoad) {
    TempDir dir;
    const std::string huge = dir.Write("a.kvx", "kvx_version_1_1\n");
    // Two terabytes of holes: no buffer of that size may be asked for.
    const int fd = ::open(huge.c_str(), O_WRONLY);
    ASSERT_GE(fd, 0);
    if (::ftruncate(fd, off_t{1} << 41) != 0 && ::ftruncate(fd, off_t{1} << 36) != 0) {
        ::close(fd);
        GTEST_SKIP() << "no sparse files here";
    }
    ::close(fd);
    dir.Write("b.kvx", DiskCatalog("GOOD", "\"f\" 1 1 1 2000 0 0 0"));
    CatalogSet set;
    RecordingMessages messages;
    EXPECT_EQ(OpenAllCatalogs(set, dir.Str(), messages), 2);
    ASSERT_EQ(messages.shown.size(), 1u);
    EXPECT_EQ(messages.shown[0].text.rfind("Cannot read " + huge + "\n", 0), 0u);
    EXPECT_EQ(ChildTexts(set, set.RootItem()), std::vector<std::string>{"GOOD"});
    EXPECT_EQ(set.EntryCount(), 2u);
}

TEST(HostileCatalogTest, ANulOutsideANameEndsTheLoadAsDamaged) {
    using namespace std::string_literals;
    CatalogSet set;
    RecordingMessages messages;
    EXPECT_EQ(LoadText(set,
                       DiskCatalog("NUL",
                                   "\"kept\" 1 1 1 2000 0 0 0 \"in\0name\" 2 1 1 2000 0 0 0 "
                                   "\0 \"lost\" 3 1 1 2000 0 0 0"s),
                       messages),
              LoadOutcome::Damaged);
    EXPECT_EQ(test::EntryNames(set, Child(set, set.RootItem(), "NUL")),
              (std::vector<std::string>{"kept", "in\0name"s}));
    ASSERT_EQ(messages.shown.size(), 1u);
    EXPECT_NE(messages.shown[0].text.find(" is damaged or incomplete."), std::string::npos);
    // Between records, in a number and in the header.
    for (const std::string& text :
         {DiskCatalog("A", "\"f\" 1 1 1 2000 0 0 0 +\0\"d\" 0 0 1 1 2000 0 0 0 < >"s),
          DiskCatalog("B", "\"f\" 1\0 1 1 2000 0 0 0"s),
          "kvx_version_1_1 < %drivetype\0 fixed > + \"C\" 0 0 1 1 2000 0 0 0 < >"s,
          "kvx_version_1_1 < > \0"s}) {
        CatalogSet other;
        EXPECT_EQ(LoadText(other, text, messages), LoadOutcome::Damaged) << text;
    }
    // A NUL touching the version tag makes another word: no catalog.
    EXPECT_EQ(LoadText(set, "kvx_version_1_1\0 < > +"s, messages), LoadOutcome::Incompatible);
    // After the disk's record nothing is read.
    EXPECT_EQ(LoadText(set, DiskCatalog("END") + "\0\0"s, messages), LoadOutcome::Loaded);
}

TEST(HostileCatalogTest, SparseCatalogJustUnderTheLimitCostsLittle) {
    // The largest catalog read is a quarter of the memory; this one is a
    // few records and then holes up to just under that.
    const auto limit = static_cast<off_t>(::sysconf(_SC_PHYS_PAGES) / 4 * ::sysconf(_SC_PAGESIZE));
    TempDir dir;
    const std::string sparse = dir.Write("a.kvx", CatalogHeader() +
                                                      "+ \"SPARSE\" 100 50 1 1 2000 0 0 0 < "
                                                      "\"f\" 1 1 1 2000 0 0 0 ");
    const int fd = ::open(sparse.c_str(), O_WRONLY);
    ASSERT_GE(fd, 0);
    const bool made = ::ftruncate(fd, limit - 4096) == 0;
    ::close(fd);
    if (!made) GTEST_SKIP() << "no sparse files here";
    CatalogSet set;
    RecordingMessages messages;
    const auto start = std::chrono::steady_clock::now();
    EXPECT_EQ(OpenAllCatalogs(set, dir.Str(), messages), 1);
    EXPECT_LT(SecondsSince(start), 1.0);
    ASSERT_EQ(messages.shown.size(), 1u);
    EXPECT_NE(messages.shown[0].text.find(sparse + " is damaged or incomplete."),
              std::string::npos);
    EXPECT_EQ(test::EntryNames(set, Child(set, set.RootItem(), "SPARSE")),
              std::vector<std::string>{"f"});
}

TEST(HostileCatalogTest, OnlyAPartAfterTheDiskThatPassesTheZipTestIsAnArchive) {
    CatalogSet set;
    RecordingMessages messages;
    LoadText(set,
             DiskCatalog("WORK",
                         "+\"my.zipfiles\" 0 0 1 1 2000 0 0 0 < \"a.txt\" 1 1 1 2000 0 0 0 > "
                         "+\"x.zip\" 9 0 1 1 2000 0 0 0 < +\"in.zip\" 5 0 1 1 2000 0 0 0 < "
                         "\"deep\" 1 1 1 2000 0 0 0 > >"),
             messages);
    LoadText(set, DiskCatalog("PHOTOS.ZIPPED", "\"top.txt\" 1 1 1 2000 0 0 0"), messages);
    LoadText(set, DiskCatalog("DISK.ZIP", "\"top.txt\" 1 1 1 2000 0 0 0"), messages);
    const TreeItem work = Child(set, set.RootItem(), "WORK");
    std::string archive = "stale";
    EXPECT_FALSE(set.ArchivePathOf(
        *set.EntryNamed(Child(set, work, "my.zipfiles"), "a.txt", SiblingMatch::FirstIgnoringCase),
        archive));
    EXPECT_EQ(archive, "");
    for (const char* disk : {"PHOTOS.ZIPPED", "DISK.ZIP"}) {
        EXPECT_FALSE(set.ArchivePathOf(*set.EntryNamed(Child(set, set.RootItem(), disk), "top.txt",
                                                       SiblingMatch::FirstIgnoringCase),
                                       archive))
            << disk;
    }
    // Nested archives: the first one is the file on the disk.
    const TreeItem inner = Child(set, Child(set, work, "x.zip"), "in.zip");
    EXPECT_TRUE(set.ArchivePathOf(*set.EntryNamed(inner, "deep", SiblingMatch::FirstIgnoringCase),
                                  archive));
    EXPECT_EQ(archive, "WORK/x.zip");
}

TEST(HostileCatalogTest, ThirtyThousandLateDatesGiveOneMessageInLinearTime) {
    auto catalog = [](int count) {
        std::string body;
        for (int i = 0; i < count; ++i) body += "\"f" + std::to_string(i) + "\" 1 1 1 2040 0 0 0 ";
        return DiskCatalog("LATE", body);
    };
    CatalogSet set;
    RecordingMessages messages;
    const auto start = std::chrono::steady_clock::now();
    LoadText(set, catalog(30000), messages);
    EXPECT_LT(SecondsSince(start), 5.0);
    ASSERT_EQ(messages.shown.size(), 1u);
    EXPECT_EQ(messages.shown[0].text.rfind("The file LATE/f0 has invalid date information.\n", 0),
              0u);
    EXPECT_TRUE(
        messages.shown[0].text.ends_with("\n\n(and 29999 more files with the same problem)"));
}

TEST(HostileCatalogTest, ManyEqualNamesAndManyCatalogsLoadInGoodTime) {
    // A hundred thousand files and then a hundred thousand folders of one name.
    std::string body;
    for (int i = 0; i < 100000; ++i) body += "\"x\" 1 1 1 2000 0 0 0 ";
    for (int i = 0; i < 100000; ++i) body += "+\"x\" 0 0 1 1 2000 0 0 0 < > ";
    CatalogSet set;
    RecordingMessages messages;
    auto start = std::chrono::steady_clock::now();
    LoadText(set, DiskCatalog("SAME", body), messages);
    EXPECT_LT(SecondsSince(start), 10.0);
    EXPECT_EQ(set.Tree().Children(Child(set, set.RootItem(), "SAME")).size(), 100000u);

    // Two thousand catalogs of one file each.
    TempDir dir;
    for (int i = 0; i < 2000; ++i)
        dir.Write("d" + std::to_string(i) + ".kvx",
                  DiskCatalog("D" + std::to_string(i), "\"f\" 1 1 1 2000 0 0 0"));
    CatalogSet many;
    start = std::chrono::steady_clock::now();
    EXPECT_EQ(OpenAllCatalogs(many, dir.Str(), messages), 2000);
    EXPECT_LT(SecondsSince(start), 10.0);
    const auto disks = ChildTexts(many, many.RootItem());
    ASSERT_EQ(disks.size(), 2000u);
    EXPECT_EQ(disks.front(), "D0");
    EXPECT_EQ(disks.back(), "D999");
}

TEST(HostileCatalogTest, LocationsOfDeepFoldersAreMadeOnceFromTheirParents) {
    constexpr int kDepth = 30000;
    std::string body;
    body.reserve(kDepth * 32);
    for (int i = 0; i < kDepth; ++i) body += "+\"d\" 0 0 1 1 2000 0 0 0 < \"f\" 1 1 1 2000 0 0 0 ";
    body.append(kDepth, '>');
    CatalogSet set;
    RecordingMessages messages;
    LoadText(set, DiskCatalog("DEEP", body), messages);
    const auto start = std::chrono::steady_clock::now();
    // Every entry's location, top down as a search asks for them: their
    // lengths add up to about 900 MB, which must not be made or kept.
    std::size_t total = 0;
    std::string_view deepest;
    TreeItem item = Child(set, set.RootItem(), "DEEP");
    while (item != kNoItem) {
        set.ForEachEntryUnder(item, [&](FileData& e) {
            deepest = set.PathOf(e);
            total += deepest.size();
        });
        const auto children = set.Tree().Children(item);
        item = children.empty() ? kNoItem : children.front();
    }
    EXPECT_LT(SecondsSince(start), 5.0);
    // The disk holds one folder; each folder a file and the next folder.
    std::size_t expected = 4;
    for (std::size_t depth = 1; depth <= kDepth; ++depth)
        expected += (4 + 2 * depth) * (depth < kDepth ? 2 : 1);
    EXPECT_EQ(total, expected);
    ASSERT_EQ(deepest.size(), 4 + 2u * kDepth);
    EXPECT_EQ(deepest.substr(0, 8), "DEEP/d/d");
    EXPECT_EQ(deepest.substr(deepest.size() - 4), "/d/d");
}

}  // namespace
}  // namespace kestavo
