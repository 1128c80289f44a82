// SPDX-License-Identifier: GPL-3.0-or-later
#include "media/drive_map.h"

#include <gtest/gtest.h>

#include <map>

#include "media/flush_eject.h"
#include "media/mount_detection.h"
#include "media/volume_info.h"
#include "support/test_support.h"

namespace kestavo {
namespace {

using media::DriveMap;
using media::DriveType;

class DriveMapTest : public ::testing::Test {
protected:
    DriveMap Parse(const std::string& text) { return media::ParseDriveMap(text, messages); }
    std::string Folder(const std::string& name) {
        std::filesystem::create_directories(dir.Path() / name);
        return (dir.Path() / name).string();
    }
    test::TempDir dir;
    test::RecordingMessages messages;
};

TEST_F(DriveMapTest, ParsesEntriesWithPathsThatHoldBars) {
    const DriveMap map =
        Parse("E:|removable|WORK|/srv/disks/work;F:|cdrom|CD01|/srv/a|b;;g:|remote||/net");
    ASSERT_EQ(map.Drives().size(), 3u);
    const media::Drive* e = map.Find('E');
    ASSERT_NE(e, nullptr);
    EXPECT_EQ(e->type, DriveType::Removable);
    EXPECT_EQ(e->label, "WORK");
    EXPECT_EQ(e->directory, "/srv/disks/work");
    EXPECT_EQ(map.Find('F')->directory, "/srv/a|b");
    EXPECT_EQ(map.Find('G')->label, "");
    EXPECT_EQ(map.FindNamed("f:  CD01")->label, "CD01");
    EXPECT_TRUE(messages.shown.empty());
}

TEST_F(DriveMapTest, EachMalformedEntryIsSkippedWithOneMessageNamingIt) {
    const DriveMap map = Parse(
        "E:|floppy|A|/x;EE:|fixed|A|/x;F:|fixed|A;G:|fixed|A|;1:|fixed|A|/x;H:|fixed|OK|/"
        "h;H:|fixed|B|/y");
    ASSERT_EQ(map.Drives().size(), 1u);
    EXPECT_EQ(map.Find('H')->label, "OK");
    ASSERT_EQ(messages.shown.size(), 6u);
    EXPECT_NE(messages.shown[0].text.find("\"E:|floppy|A|/x\""), std::string::npos);
    EXPECT_NE(messages.shown[5].text.find("\"H:|fixed|B|/y\""), std::string::npos);
}

TEST_F(DriveMapTest, DriveListHoldsDrivesWithAMediumAndSelectsTheLastRemovable) {
    const DriveMap map = Parse("A:|removable|ONE|" + Folder("a") + ";B:|removable||" + Folder("b") +
                               ";C:|fixed|SYS|" + Folder("c") + ";D:|removable|GONE|" +
                               (dir.Path() / "none").string());
    const media::DriveList list = media::FillDriveList(map);
    EXPECT_EQ(list.entries, (std::vector<std::string>{"A:  ONE", "B:  ", "C:  SYS"}));
    EXPECT_EQ(list.selected, 1);
    EXPECT_EQ(media::FillDriveList(Parse("C:|fixed|SYS|" + Folder("c"))).selected, -1);
}

// A bare drive stands for its entry in the drive list; an entry text, or a
// drive the map lacks, for itself.
TEST_F(DriveMapTest, ABareDriveFieldStandsForItsDriveListEntry) {
    const DriveMap map = Parse("E:|removable|WORK|/srv/work;F:|cdrom||/srv/cd");
    EXPECT_EQ(media::EntryTextOfField("E:", map), "E:  WORK");
    EXPECT_EQ(media::EntryTextOfField("e:", map), "E:  WORK");
    EXPECT_EQ(media::EntryTextOfField("F:", map), "F:  ");
    EXPECT_EQ(media::EntryTextOfField("E:  OTHER", map), "E:  OTHER");
    EXPECT_EQ(media::EntryTextOfField("E: ", map), "E: ");
    EXPECT_EQ(media::EntryTextOfField("G:", map), "G:");
}

TEST_F(DriveMapTest, DriveTypeWordsAndDiskSpace) {
    const DriveMap map =
        Parse("C:|fixed|S|" + Folder("c") + ";D:|cdrom|CD|/x;E:|removable|R|/x;F:|remote|N|/x");
    EXPECT_STREQ(media::DriveTypeWord(map, "C:"), "fixed");
    EXPECT_STREQ(media::DriveTypeWord(map, "D:"), "cdrom");
    EXPECT_STREQ(media::DriveTypeWord(map, "E:"), "default");
    EXPECT_STREQ(media::DriveTypeWord(map, "F:"), "default");
    EXPECT_STREQ(media::DriveTypeWord(map, "Q:"), "default");
    const media::DiskSpace space = media::GetDiskSpace(map, "C:");
    EXPECT_GT(space.total, 0);
    EXPECT_GE(space.total, space.free);
    const media::DiskSpace none = media::GetDiskSpace(map, "D:");
    EXPECT_EQ(none.total, 0);
    EXPECT_EQ(none.free, 0);
}

TEST_F(DriveMapTest, FindDriveByLabelSearchesZDownToAExactlyAmongDrivesWithAMedium) {
    const DriveMap map = Parse("D:|removable|WORK|" + Folder("d") + ";K:|removable|WORK|" +
                               Folder("k") + ";M:|removable|WORK|" +
                               (dir.Path() / "absent").string() + ";E:|fixed|work|" + Folder("e"));
    EXPECT_EQ(media::FindDriveByLabel(map, "WORK"), "K:");
    EXPECT_EQ(media::FindDriveByLabel(map, "work"), "E:");
    EXPECT_EQ(media::FindDriveByLabel(map, "Work"), std::nullopt);
    EXPECT_EQ(media::FindDriveByLabel(map, "WOR"), std::nullopt);
    // A label the catalog holds normalised is found by the normalised name.
    const DriveMap odd = Parse("F:|removable|MY  \"DISK\"|" + Folder("f"));
    EXPECT_EQ(media::FindDriveByLabel(odd, "MY 'DISK'"), "F:");
    EXPECT_EQ(media::FindDriveByLabel(odd, "MY  \"DISK\""), "F:");
    const DriveMap unlabelled = Parse("G:|removable||" + Folder("g"));
    EXPECT_EQ(media::FindDriveByLabel(unlabelled, "_"), std::nullopt);
}

TEST_F(DriveMapTest, FlushAndEjectOfMappedFolders) {
    const DriveMap map = Parse("A:|removable|FLOPPY|" + Folder("a") + ";E:|removable|USB|" +
                               Folder("e") + ";F:|cdrom|CD|" + Folder("f") +
                               ";G:|removable|GONE|/nowhere;H:|fixed|HD|" + Folder("h"));
    EXPECT_EQ(media::RemovableDrivesToEject(map), (std::vector<std::string>{"E:", "G:"}));
    char* error = nullptr;
    EXPECT_TRUE(media::flushdisk(map, "H:", true, error));  // a fixed drive is flushed, not ejected
    EXPECT_EQ(error, nullptr);
    EXPECT_FALSE(media::flushdisk(map, "E:", true, error));
    ASSERT_NE(error, nullptr);
    EXPECT_EQ(std::string(error),
              "Drive E: is the folder " + dir.Str() + "/e, not a device; it cannot be ejected.");
    media::strdelete(error);
    EXPECT_EQ(media::FlushDrive(map, "G:", false), "No disk in drive G:");
    EXPECT_EQ(media::FlushDrive(map, "Q:", false), "There is no drive Q:.");
    EXPECT_EQ(media::FlushDrive(map, "F:", false), "");
}

// The mount table of a desktop machine, with device facts made up.
class FakeFacts : public media::DeviceFacts {
public:
    bool IsBlockDevice(const std::string& mm) override {
        return mm.starts_with("8:") || mm.starts_with("11:") || mm.starts_with("7:");
    }
    bool IsRemovable(const std::string& mm) override { return mm == "8:17"; }
    bool IsOptical(const std::string& mm) override { return mm.starts_with("11:"); }
    std::string Label(const std::string& device) override { return labels[device]; }
    bool IsDirectory(const std::string& path) override { return path != "/etc/hosts"; }
    std::map<std::string, std::string> labels;
};

const char* kMountInfo =
    "21 26 0:20 / /proc rw,relatime - proc proc rw\n"
    "26 1 8:2 / / rw,relatime shared:1 - ext4 /dev/sda2 rw\n"
    "27 26 8:1 / /boot/efi rw - vfat /dev/sda1 rw\n"
    "28 26 8:17 / /media/ann/USB\\040STICK rw,nosuid shared:7 master:1 - vfat /dev/sdb1 rw\n"
    "29 26 11:0 / /media/ann/CDROM ro - iso9660 /dev/sr0 ro\n"
    "30 26 0:40 / /mnt/share rw - nfs4 server:/export rw\n"
    "31 26 0:41 / /tmp rw - tmpfs tmpfs rw\n"
    "32 26 8:2 / /mnt/again rw - ext4 /dev/sda2 rw\n"
    "33 26 8:2 /var/lib/x/hosts /etc/hosts rw - ext4 /dev/sda2 rw\n"
    "34 26 7:0 / /snap/core/1 ro - squashfs /dev/loop0 ro\n"
    "35 26 8:33 / /data rw - ext4 /dev/sdc1 rw\n"
    "36 26 8:34 / /data rw - xfs /dev/sdc2 rw\n"
    "garbage line\n";

TEST(MountDetectionTest, ParsesMountInfoUndoingEscapes) {
    const std::vector<media::MountRecord> mounts = media::ParseMountInfo(kMountInfo);
    ASSERT_EQ(mounts.size(), 12u);
    EXPECT_EQ(mounts[3].mountPoint, "/media/ann/USB STICK");
    EXPECT_EQ(mounts[3].fsType, "vfat");
    EXPECT_EQ(mounts[3].source, "/dev/sdb1");
    EXPECT_EQ(mounts[3].device, "8:17");
}

TEST(MountDetectionTest, LettersFollowMountPathsFromDAfterTheRootOnC) {
    FakeFacts facts;
    facts.labels["/dev/sda2"] = "SYSTEM";
    facts.labels["/dev/sr0"] = "CD01";
    const DriveMap map = media::DrivesFromMounts(media::ParseMountInfo(kMountInfo), facts);
    std::vector<std::string> seen;
    for (const media::Drive& d : map.Drives())
        seen.push_back(d.Name() + d.directory + "|" + d.label + "|" + media::DriveTypeWord(d.type));
    EXPECT_EQ(seen, (std::vector<std::string>{
                        "C:/|SYSTEM|fixed",
                        "D:/boot/efi||fixed",
                        "E:/data||fixed",  // the later mount on /data hides the earlier
                        "F:/media/ann/CDROM|CD01|cdrom",
                        "G:/media/ann/USB STICK|USB STICK|default",
                        "H:/mnt/share||default",
                    }));
    EXPECT_EQ(map.Find('G')->type, DriveType::Removable);
    EXPECT_EQ(map.Find('G')->device, "/dev/sdb1");
    EXPECT_EQ(map.Find('H')->type, DriveType::Remote);
    EXPECT_EQ(map.Find('E')->fsType, "xfs");
}

TEST(MountDetectionTest, UdevLinkNamesAreUnescaped) {
    EXPECT_EQ(media::UnescapeUdevName("MY\\x20DISK"), "MY DISK");
    EXPECT_EQ(media::UnescapeUdevName("a\\x2fb\\x"), "a/b\\x");
}

}  // namespace
}  // namespace kestavo
