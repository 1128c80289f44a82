// SPDX-License-Identifier: GPL-3.0-or-later
#include "catalog/properties.h"

#include <gtest/gtest.h>

#include "catalog/size_unit.h"
#include "support/test_support.h"

namespace kestavo {
namespace {

using test::CatalogHeader;
using test::Child;
using test::LoadText;

class PropertiesTest : public ::testing::Test {
protected:
    void SetUp() override {
        test::RecordingMessages messages;
        LoadText(
            set,
            CatalogHeader("cdrom") +
                "+ \"CD\" 700000000 0 7 10 1998 14 30 5 < +\"dir\" 0 0 6 10 1998 20 15 0 < "
                "\"a\" 10 1 1 2000 0 0 0 \"b\" 20 1 1 2000 0 0 0 \"c\" 30 1 1 2000 0 0 0 "
                "+\"sub\" 0 0 1 1 2000 0 0 0 < \"d\" 40 1 1 2000 0 0 0 \"e\" 50 1 1 2000 0 0 0 > "
                "+\"z.zip\" 2048 0 1 1 2000 0 0 0 < \"m1\" 1000 1 1 2000 0 0 0 "
                "\"m2\" 1000 1 1 2000 0 0 0 \"m3\" 1000 1 1 2000 0 0 0 "
                "+\"in\" 0 0 1 1 2000 0 0 0 < \"m4\" 1000 1 1 2000 0 0 0 > > > >",
            messages);
        disk = Child(set, set.RootItem(), "CD");
        dir = Child(set, disk, "dir");
    }
    CatalogSet set;
    TreeItem disk{}, dir{};
};

TEST_F(PropertiesTest, FolderCountsEverythingBelowWithArchivesAtTheirOwnSize) {
    const PropertyFields f =
        PropertiesOfEntry(*set.EntryNamed(disk, "dir", SiblingMatch::FirstIgnoringCase));
    EXPECT_EQ(f.name, "dir");
    EXPECT_EQ(f.type, "File Folder");
    EXPECT_EQ(f.location, "CD");
    EXPECT_EQ(f.size, "2198");
    EXPECT_EQ(f.contains, "9 Files, 2 Folders, 1 Zip Folders");
    EXPECT_EQ(f.note, "Count includes files and folders in Zip Folders");
    EXPECT_EQ(f.date, "10/06/98 20:15:00");
    EXPECT_EQ(f.hint, "Resize here -->");
}

TEST_F(PropertiesTest, ZipFolderShowsTheSumOfItsMembers) {
    const PropertyFields f =
        PropertiesOfEntry(*set.EntryNamed(dir, "z.zip", SiblingMatch::FirstIgnoringCase));
    EXPECT_EQ(f.type, "Zip Folder");
    EXPECT_EQ(f.location, "CD/dir");
    EXPECT_EQ(f.size, "4000");
    EXPECT_EQ(f.contains, "4 Files, 1 Folders, 0 Zip Folders");
}

TEST_F(PropertiesTest, FileShowsItsOwnSizeAndNoCounts) {
    SetSizeUnit(kUnitKB);
    const PropertyFields f =
        PropertiesOfEntry(*set.EntryNamed(dir, "b", SiblingMatch::FirstIgnoringCase));
    SetSizeUnit(kUnitByte);
    EXPECT_EQ(f.type, "File");
    EXPECT_EQ(f.size, "1KB");
    EXPECT_EQ(f.contains, "File Data");
    EXPECT_EQ(f.note, "");
    EXPECT_EQ(f.location, "CD/dir");
}

TEST_F(PropertiesTest, DiskShowsItsContentSizeAndNoLocation) {
    const PropertyFields f =
        PropertiesOfEntry(*set.EntryNamed(set.RootItem(), "CD", SiblingMatch::FirstIgnoringCase));
    EXPECT_EQ(f.type, "CD-ROM");
    EXPECT_EQ(f.location, "");
    EXPECT_EQ(f.size, "2198");
    EXPECT_EQ(f.contains, "9 Files, 3 Folders, 1 Zip Folders");
    EXPECT_EQ(f.date, "10/07/98 14:30:05");
}

TEST_F(PropertiesTest, TopRootItemSumsEveryCatalogAndIsDatedNow) {
    test::RecordingMessages messages;
    LoadText(set, CatalogHeader("fixed") + "+ \"HD\" 1 1 1 1 2000 0 0 0 < \"x\" 5 1 1 2000 0 0 0 >",
             messages);
    const std::int64_t before = std::time(nullptr);
    const PropertyFields f = PropertiesOfRoot(set);
    EXPECT_EQ(f.name, "My Removable Disk Drive");
    EXPECT_EQ(f.type, "Disk Drive");
    EXPECT_EQ(f.location, "");
    EXPECT_EQ(f.size, "2203");
    EXPECT_EQ(f.contains, "10 Files, 5 Folders, 1 Zip Folders");
    LocalClock clock;
    EXPECT_TRUE(f.date == clock.DateText(before) || f.date == clock.DateText(before + 1));
    EXPECT_EQ(set.EntryCount(), 16u);  // the stand-in entry is not kept
}

TEST_F(PropertiesTest, ATreeItemMeansItsEntryAndTheTopRootItemOrNoItemTheSum) {
    EXPECT_EQ(PropertiesOfItem(set, dir)->location, "CD");
    EXPECT_EQ(PropertiesOfItem(set, disk)->type, "CD-ROM");
    EXPECT_EQ(PropertiesOfItem(set, set.RootItem())->type, "Disk Drive");
    EXPECT_EQ(PropertiesOfItem(set, kNoItem)->type, "Disk Drive");
}

TEST(TypeWordTest, EveryKind) {
    EXPECT_STREQ(TypeWordOfKind(KIND_FIXED_DISK), "Fixed Hard Disk");
    EXPECT_STREQ(TypeWordOfKind(KIND_DEFAULT_DISK), "Removable Disk");
    EXPECT_STREQ(TypeWordOfKind(KIND_REMOVABLE_DISK), "Removable Disk");
    EXPECT_STREQ(TypeWordOfKind(KIND_CDROM_DISK), "CD-ROM");
    EXPECT_STREQ(TypeWordOfKind(KIND_FILE), "File");
    EXPECT_STREQ(TypeWordOfKind(42), "File");
}

}  // namespace
}  // namespace kestavo
