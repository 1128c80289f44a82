// SPDX-License-Identifier: GPL-3.0-or-later
#include <gtest/gtest.h>

#include "catalog/entry_store.h"
#include "catalog/local_time.h"
#include "catalog/size_unit.h"
#include "support/test_support.h"

namespace kestavo {
namespace {

using test::CatalogHeader;
using test::Child;
using test::LoadText;
using test::RecordingMessages;

class SizeUnitGuard {
public:
    ~SizeUnitGuard() { SetSizeUnit(kUnitByte); }
};

TEST(FormatSizeTest, RoundsUpToWholeUnitsWithTheUnitSuffix) {
    SizeUnitGuard guard;
    struct Case {
        int unit;
        std::int64_t value;
        const char* text;
    };
    const Case cases[] = {
        {kUnitByte, 0, "0"},
        {kUnitByte, 1, "1"},
        {kUnitByte, 3000000000, "3000000000"},
        {kUnitByte, -42, "-42"},
        {kUnitKB, 0, "0KB"},
        {kUnitKB, 1, "1KB"},
        {kUnitKB, 1024, "1KB"},
        {kUnitKB, 1025, "2KB"},
        {kUnitKB, -1, "1KB"} /* a remainder always adds one */,
        {kUnitMB, 0, "0MB"},
        {kUnitMB, 1048576, "1MB"},
        {kUnitMB, 1048577, "2MB"},
        {kUnitMB, 5368709120, "5120MB"},
    };
    for (const Case& c : cases) {
        SetSizeUnit(c.unit);
        EXPECT_EQ(FormatSize(c.value), c.text) << c.unit << " " << c.value;
    }
}

TEST(SizeUnitTest, NamesSetTheUnitAndReportAChange) {
    SizeUnitGuard guard;
    EXPECT_FALSE(SetSizeUnitByName("byte"));
    EXPECT_TRUE(SetSizeUnitByName("KB"));
    EXPECT_EQ(GetSizeUnit(), kUnitKB);
    EXPECT_FALSE(SetSizeUnitByName("KB"));
    EXPECT_FALSE(SetSizeUnitByName("kb"));
    EXPECT_FALSE(SetSizeUnitByName("GB"));
    EXPECT_EQ(GetSizeUnit(), kUnitKB);
    EXPECT_TRUE(SetSizeUnitByName("MB"));
    EXPECT_EQ(GetSizeUnit(), kUnitMB);
    EXPECT_TRUE(SetSizeUnit(kUnitByte));
}

class EntryTest : public ::testing::Test {
protected:
    void SetUp() override {
        LoadText(set,
                 CatalogHeader() +
                     "+ \"D1\" 5000000 100 1 2 2003 0 0 0 < "
                     "\"top.txt\" 10 1 1 2000 0 0 0 "
                     "+\"dir\" 0 0 2 2 2002 0 0 0 < "
                     "  \"a.txt\" 100 1 1 2000 12 0 0 \"b.txt\" 200 1 1 2000 12 0 0 "
                     "  \"c.txt\" 300 1 1 2000 12 0 0 "
                     "  +\"sub\" 0 0 1 1 2000 0 0 0 < \"d.txt\" 1000 1 1 2000 0 0 0 "
                     "                                  \"e.txt\" 2000 1 1 2000 0 0 0 >"
                     "  +\"a.zip\" 50000 0 1 1 2000 0 0 0 < \"m1\" 1 1 1 2000 0 0 0 "
                     "     \"m2\" 2 1 1 2000 0 0 0 \"m3\" 3 1 1 2000 0 0 0 "
                     "     +\"inner\" 0 0 1 1 2000 0 0 0 < \"m4\" 4 1 1 2000 0 0 0 > >"
                     "> >",
                 messages);
        disk = Child(set, set.RootItem(), "D1");
        dir = Child(set, disk, "dir");
        zip = Child(set, dir, "a.zip");
        inner = Child(set, zip, "inner");
    }
    FileData& Entry(TreeItem parent, const char* name) {
        return *set.EntryNamed(parent, name, SiblingMatch::FirstIgnoringCase);
    }

    CatalogSet set;
    RecordingMessages messages;
    TreeItem disk{}, dir{}, zip{}, inner{};
};

TEST_F(EntryTest, LocationIsTheChainOfContainersAboveTheEntry) {
    EXPECT_EQ(set.PathOf(Entry(set.RootItem(), "D1")), "");
    EXPECT_EQ(set.PathOf(Entry(disk, "top.txt")), "D1");
    EXPECT_EQ(set.PathOf(Entry(dir, "a.txt")), "D1/dir");
    EXPECT_EQ(set.PathOf(Entry(inner, "m4")), "D1/dir/a.zip/inner");
    FileData& file = Entry(dir, "b.txt");
    file.Store().SetPathOf(file, "elsewhere");
    EXPECT_EQ(set.PathOf(file), "elsewhere");
    EXPECT_EQ(set.PathOf(Entry(dir, "c.txt")), "D1/dir");
}

TEST_F(EntryTest, ZipArchivePathIsThePathUpToTheArchive) {
    std::string archive = "stale";
    EXPECT_TRUE(set.ArchivePathOf(Entry(inner, "m4"), archive));
    EXPECT_EQ(archive, "D1/dir/a.zip");
    EXPECT_TRUE(set.ArchivePathOf(Entry(zip, "m1"), archive));
    EXPECT_EQ(archive, "D1/dir/a.zip");
    EXPECT_FALSE(set.ArchivePathOf(Entry(dir, "a.zip"), archive));
    EXPECT_EQ(archive, "");
    EXPECT_FALSE(set.ArchivePathOf(Entry(dir, "a.txt"), archive));
}

// Open reaches the archive of a member of any archive format.
TEST(ArchivePathTest, MembersOfOtherArchivesHaveTheirArchivesPath) {
    CatalogSet set;
    RecordingMessages messages;
    LoadText(set,
             CatalogHeader() +
                 "+ \"D\" 1 1 1 1 2000 0 0 0 < +\"disc.iso\" 900 0 1 1 2000 0 0 0 < "
                 "+\"docs\" 0 0 1 1 2000 0 0 0 < \"m.txt\" 4 1 1 2000 0 0 0 > > "
                 "+\"src.tar.gz\" 50 0 1 1 2000 0 0 0 < \"n.c\" 4 1 1 2000 0 0 0 > >",
             messages);
    const TreeItem disk = Child(set, set.RootItem(), "D");
    const TreeItem iso = Child(set, disk, "disc.iso");
    std::string archive;
    EXPECT_TRUE(set.ArchivePathOf(
        *set.EntryNamed(Child(set, iso, "docs"), "m.txt", SiblingMatch::FirstIgnoringCase),
        archive));
    EXPECT_EQ(archive, "D/disc.iso");
    EXPECT_TRUE(set.ArchivePathOf(
        *set.EntryNamed(Child(set, disk, "src.tar.gz"), "n.c", SiblingMatch::FirstIgnoringCase),
        archive));
    EXPECT_EQ(archive, "D/src.tar.gz");
}

TEST_F(EntryTest, ContainerOfSizeZeroShowsItsContentsOnceWithArchivesAtTheirOwnSize) {
    FileData& folder = Entry(disk, "dir");
    EXPECT_EQ(folder.Size(), 0);
    // 100 + 200 + 300 files, 3000 in sub, the archive at 50000.
    EXPECT_EQ(set.SizeTextOf(folder), "53600");
    EXPECT_EQ(folder.Size(), 53600);
    // A Zip Folder's own size is its archive's; a folder inside it is summed.
    EXPECT_EQ(set.SizeTextOf(Entry(dir, "a.zip")), "50000");
    EXPECT_EQ(set.SizeTextOf(Entry(zip, "inner")), "4");
    // A disk shows its capacity.
    EXPECT_EQ(set.SizeTextOf(Entry(set.RootItem(), "D1")), "5000000");
}

TEST_F(EntryTest, FolderSizesAgreeInWhateverOrderTheyAreAskedFor) {
    // Inner folders first, then outer ones, then a fresh set outer first:
    // counted sizes kept on the way must give the same texts.
    EXPECT_EQ(set.SizeTextOf(Entry(zip, "inner")), "4");
    EXPECT_EQ(set.SizeTextOf(Entry(dir, "sub")), "3000");
    EXPECT_EQ(set.SizeTextOf(Entry(disk, "dir")), "53600");
    CatalogSet other;
    LoadText(other,
             CatalogHeader() +
                 "+ \"D\" 1 1 1 1 2000 0 0 0 < +\"a\" 0 0 1 1 2000 0 0 0 < "
                 "+\"b\" 0 0 1 1 2000 0 0 0 < \"f\" 5 1 1 2000 0 0 0 > "
                 "+\"stored\" 700 0 1 1 2000 0 0 0 < \"g\" 6 1 1 2000 0 0 0 > > >",
             messages);
    const TreeItem a = Child(other, Child(other, other.RootItem(), "D"), "a");
    EXPECT_EQ(other.SizeTextOf(*other.EntryNamed(Child(other, other.RootItem(), "D"), "a",
                                                 SiblingMatch::FirstIgnoringCase)),
              "11");
    EXPECT_EQ(other.SizeTextOf(*other.EntryNamed(a, "b", SiblingMatch::FirstIgnoringCase)), "5");
    // A folder with a catalogued size shows it, while its parent counts its contents.
    EXPECT_EQ(other.SizeTextOf(*other.EntryNamed(a, "stored", SiblingMatch::FirstIgnoringCase)),
              "700");
    ContentCounts counts;
    other.CountContents(a, counts);
    EXPECT_EQ(counts.size, 11);
}

TEST_F(EntryTest, CountContentsCountsInsideArchivesButAddsOnlyTheirSize) {
    ContentCounts counts;
    set.CountContents(dir, counts);
    EXPECT_EQ(counts.files, 9);
    EXPECT_EQ(counts.folders, 2);
    EXPECT_EQ(counts.zipFolders, 1);
    EXPECT_EQ(counts.size, 53600);
    ContentCounts top;
    set.CountContents(set.RootItem(), top);
    EXPECT_EQ(top.files, 10);
    EXPECT_EQ(top.folders, 4);  // the disk counts as one folder
    EXPECT_EQ(top.zipFolders, 1);
    EXPECT_EQ(top.size, 53610);
}

TEST_F(EntryTest, SumsOfHugeSizesStopAtTheLimit) {
    CatalogSet other;
    LoadText(other,
             CatalogHeader() +
                 "+ \"D\" 1 1 1 1 2000 0 0 0 < \"a\" 9223372036854775807 1 1 2000 0 0 0 "
                 "+\"sub\" 0 0 1 1 2000 0 0 0 < \"b\" 1200 1 1 2000 0 0 0 > >",
             messages);
    ContentCounts counts;
    other.CountContents(Child(other, other.RootItem(), "D"), counts);
    EXPECT_EQ(counts.files, 2);
    EXPECT_EQ(counts.size, INT64_MAX);
    EXPECT_EQ(AddSizes(INT64_MIN, -1), INT64_MIN);
    EXPECT_EQ(AddSizes(-5, 3), -2);
}

TEST_F(EntryTest, ContainerBesideAFileOfTheSameNameIgnoringCaseIsCounted) {
    // The file filed first under a name equal to the child item's ignoring
    // case does not stand for the folder, which is counted with its file.
    CatalogSet other;
    LoadText(other,
             CatalogHeader() +
                 "+ \"D\" 1 1 1 1 2000 0 0 0 < \"SUB\" 5 1 1 2000 0 0 0 "
                 "+\"sub\" 0 0 1 1 2000 0 0 0 < \"x\" 7 1 1 2000 0 0 0 > >",
             messages);
    ContentCounts counts;
    other.CountContents(Child(other, other.RootItem(), "D"), counts);
    EXPECT_EQ(counts.files, 2);
    EXPECT_EQ(counts.folders, 1);
    EXPECT_EQ(counts.size, 12);
}

TEST_F(EntryTest, SizeTextsFollowTheUnitWhileOtherTextsStay) {
    SizeUnitGuard guard;
    FileData& file = Entry(dir, "b.txt");
    FileData& diskEntry = Entry(set.RootItem(), "D1");
    EXPECT_EQ(set.SizeTextOf(file), "200");
    EXPECT_EQ(set.FreeSpaceTextOf(diskEntry), "100");
    const std::string_view date = set.DateTextOf(file);
    const std::string_view path = set.PathOf(file);
    SetSizeUnit(kUnitKB);
    EXPECT_EQ(set.SizeTextOf(file), "200");  // cached until released
    set.ReleaseAllSizeTexts();
    EXPECT_EQ(set.SizeTextOf(file), "1KB");
    EXPECT_EQ(set.FreeSpaceTextOf(diskEntry), "1KB");
    EXPECT_EQ(set.SizeTextOf(Entry(disk, "dir")), "53KB");
    EXPECT_EQ(set.DateTextOf(file).data(), date.data());
    EXPECT_EQ(set.PathOf(file).data(), path.data());
}

TEST(DateTextTest, MidnightShowsATimeOfAllZeros) {
    CatalogSet set;
    RecordingMessages messages;
    LoadText(set,
             CatalogHeader() +
                 "+ \"D\" 1 1 1 1 2000 0 0 0 < \"m\" 1 31 12 1999 0 0 0 "
                 "\"one\" 1 31 12 1999 0 0 1 \"old\" 1 4 7 1960 0 0 0 >",
             messages);
    const TreeItem disk = Child(set, set.RootItem(), "D");
    EXPECT_EQ(set.DateTextOf(*set.EntryNamed(disk, "m", SiblingMatch::FirstIgnoringCase)),
              "12/31/99 00:00:00");
    EXPECT_EQ(set.DateTextOf(*set.EntryNamed(disk, "one", SiblingMatch::FirstIgnoringCase)),
              "12/31/99 00:00:01");
    EXPECT_EQ(set.DateTextOf(*set.EntryNamed(disk, "old", SiblingMatch::FirstIgnoringCase)),
              "07/04/60 00:00:00");
    EXPECT_LT(set.EntryNamed(disk, "old", SiblingMatch::FirstIgnoringCase)->GetTime(), 0);
    EXPECT_EQ(set.DateTextOf(*set.EntryNamed(set.RootItem(), "D", SiblingMatch::FirstIgnoringCase)),
              "01/01/00 00:00:00");
}

TEST(EntryWithoutSetTest, HasNoPathAndItsStoreMakesItsTextsAlone) {
    EntryStore store(/*owner=*/nullptr, 1);
    FileData& folder = *store.Create("loose", 5, 0, 0, 0, KIND_FOLDER);
    LocalClock clock;
    EXPECT_EQ(store.PathOf(folder, /*tree=*/nullptr), "");
    EXPECT_EQ(store.Owner(), nullptr);  // no set, so no tree item either
    EXPECT_EQ(store.SizeTextOf(folder), "0");
    EXPECT_EQ(store.DateTextOf(folder, clock), "01/01/70 00:00:00");
}

TEST(EntryWithoutSetTest, FreeSpacesAreThoseNotZeroInOrderOfSerial) {
    EntryStore store(/*owner=*/nullptr, 1);
    std::vector<std::pair<std::uint32_t, std::int64_t>> expected;
    for (std::uint32_t serial = 0; serial < 3000; ++serial) {
        const std::int64_t free = serial % 7 == 3 ? -std::int64_t{serial} * 1000003 : 0;
        store.Create("d", 1, 0, free, 0, KIND_FOLDER);
        if (free != 0) expected.emplace_back(serial, free);
    }
    store.Destroy(store.EntryAt(3));  // dead entries keep theirs
    EXPECT_EQ(store.FreeSpaces(), expected);
    EXPECT_EQ(store.FreeSpaceOf(store.EntryAt(10)), expected[1].second);
}

TEST(KindTest, DisksAndContainers) {
    EntryStore store(nullptr, 1);
    for (int kind : {0, 5, 13, 14}) {
        FileData& e = *store.Create("x", 1, 0, 0, 0, kind);
        EXPECT_TRUE(e.IsDisk()) << kind;
        EXPECT_TRUE(e.IsContainer()) << kind;
        EXPECT_FALSE(e.IsZipFolder()) << kind;
    }
    EXPECT_TRUE(store.Create("x", 1, 0, 0, 0, KIND_ZIP_FOLDER)->IsZipFolder());
    EXPECT_TRUE(store.Create("x", 1, 0, 0, 0, KIND_FOLDER)->IsContainer());
    for (int kind : {3, 4, 6, 99}) {
        FileData& e = *store.Create("x", 1, 0, 0, 0, kind);
        EXPECT_FALSE(e.IsContainer()) << kind;
        EXPECT_FALSE(e.IsDisk()) << kind;
    }
}

}  // namespace
}  // namespace kestavo
