// Formats a small ext2 image with a label, mounts it through a loop
// device, finds it in the detected drive map by its label and catalogues
// it. Needs the superuser, mkfs.ext2 and working loop devices.
#include <gtest/gtest.h>
#include <sys/mount.h>
#include <unistd.h>

#include <cstdlib>

#include "catalog/catalog_reader.h"
#include "media/catalog_new_disk.h"
#include "media/media_test_support.h"
#include "media/mount_detection.h"
#include "media/run_program.h"
#include "media/volume_info.h"

namespace kestavo {
namespace {

class AnswerDrive : public media::CatalogQuestions {
public:
    explicit AnswerDrive(std::string drive) : drive_(std::move(drive)) {}
    bool ChooseDrive(const media::DriveList&, media::DriveChoice& choice) override {
        choice.entryText = drive_;
        return true;
    }
    bool AskLabel(const std::string&, std::string&) override { return false; }

private:
    std::string drive_;
};

TEST(LoopDeviceTest, AFormattedAndMountedVolumeIsFoundByLabelAndCatalogued) {
    if (::geteuid() != 0) GTEST_SKIP() << "needs the superuser";
    test::TempDir dir;
    const std::string image = dir.Str() + "/disk.img";
    const std::string mountPoint = dir.Str() + "/mnt";
    std::filesystem::create_directories(mountPoint);
    if (media::RunProgram({"truncate", "-s", "4M", image}) != 0 ||
        media::RunProgram({"mkfs.ext2", "-q", "-F", "-L", "KVLOOP1", image}) != 0)
        GTEST_SKIP() << "cannot make an ext2 image";
    if (media::RunProgram({"mount", "-o", "loop", image, mountPoint}) != 0)
        GTEST_SKIP() << "loop devices do not work here";
    test::MakeFile(mountPoint, "photos/img.jpg", std::string(3000, 'j'), 1200000000);

    const media::DriveMap drives = media::DetectDrives();
    const std::optional<std::string> drive = media::FindDriveByLabel(drives, "KVLOOP1");
    CatalogSet set;
    test::RecordingMessages messages;
    media::CatalogOutcome outcome;
    if (drive) {
        EXPECT_EQ(drives.FindNamed(*drive)->directory, mountPoint);
        EXPECT_EQ(drives.FindNamed(*drive)->fsType, "ext2");
        AnswerDrive answers(media::DriveEntryText(*drives.FindNamed(*drive)));
        media::CatalogNewDisk command(set, drives, messages);
        command.SetCatalogDirectory(dir.Str() + "/catalogs");
        outcome = command.Run(answers);
    }
    ::umount2(mountPoint.c_str(), 0);
    ASSERT_TRUE(drive.has_value()) << "the mounted image was not found by its label";
    ASSERT_EQ(outcome.status, media::CatalogStatus::Written);
    const TreeItem disk = set.Tree().FindChild(set.RootItem(), "KVLOOP1");
    FileData* entry = set.FindEntry(set.RootItem(), "KVLOOP1");
    ASSERT_NE(entry, nullptr);
    EXPECT_GT(entry->Size(), 3000000);  // the file system's capacity
    EXPECT_EQ(test::EntryAt(set, disk, "photos/img.jpg")->Size(), 3000);
    EXPECT_NE(test::EntryAt(set, disk, "lost+found"), nullptr);
}

}  // namespace
}  // namespace kestavo
