// SPDX-License-Identifier: GPL-3.0-or-later
// Formats a small ext2 image with a label, mounts it through a loop
// device, finds it in the detected drive map by its label and catalogues
// it. Needs the superuser, mkfs.ext2 and working loop devices.
#include <gtest/gtest.h>
#include <poll.h>
#include <sys/mount.h>
#include <unistd.h>

#include <cstdlib>
#include <optional>

#include "catalog/catalog_reader.h"
#include "media/catalog_new_disk.h"
#include "media/media_test_support.h"
#include "media/mount_detection.h"
#include "media/mount_watch.h"
#include "media/run_program.h"
#include "media/volume_info.h"

namespace kestavo {
namespace {

class AnswerDrive : public media::CatalogQuestions {
public:
    AnswerDrive(std::string drive, std::string label)
        : drive_(std::move(drive)), label_(std::move(label)) {}
    bool ChooseDrive(const media::DriveList&, media::DriveChoice& choice) override {
        choice.entryText = drive_;
        return true;
    }
    bool AskLabel(const std::string&, std::string& label) override {
        label = label_;
        return !label_.empty();
    }

private:
    std::string drive_;
    std::string label_;
};

// An ext2 image of 4 MiB, with `label` when not empty, mounted at
// `mountPoint` through a loop device until the end of the scope.
class MountedImage {
public:
    MountedImage(const test::TempDir& dir, const std::string& label)
        : mountPoint_(dir.Str() + "/mnt") {
        if (::geteuid() != 0) {
            why_ = "needs the superuser";
            return;
        }
        if (!test::MayMount()) {
            why_ = "a package build mounts no file systems";
            return;
        }
        const std::string image = dir.Str() + "/disk.img";
        std::filesystem::create_directories(mountPoint_);
        std::vector<std::string> format = {"mkfs.ext2", "-q", "-F"};
        if (!label.empty()) format.insert(format.end(), {"-L", label});
        format.push_back(image);
        if (media::RunProgram({"truncate", "-s", "4M", image}) != 0 ||
            media::RunProgram(format) != 0) {
            why_ = "cannot make an ext2 image";
            return;
        }
        if (media::RunProgram({"mount", "-o", "loop", image, mountPoint_}) != 0) {
            why_ = "loop devices do not work here";
            return;
        }
        mounted_ = true;
    }
    ~MountedImage() {
        if (mounted_) ::umount2(mountPoint_.c_str(), 0);
    }
    const std::string& MountPoint() const { return mountPoint_; }
    const std::string& WhyNot() const { return why_; }
    bool Mounted() const { return mounted_; }

private:
    std::string mountPoint_;
    std::string why_;
    bool mounted_ = false;
};

TEST(LoopDeviceTest, AFormattedAndMountedVolumeIsFoundByLabelAndCatalogued) {
    test::TempDir dir;
    std::optional<MountedImage> image(std::in_place, dir, "KVLOOP1");
    if (!image->Mounted()) GTEST_SKIP() << image->WhyNot();
    const std::string mountPoint = image->MountPoint();
    test::MakeFile(mountPoint, "photos/img.jpg", std::string(3000, 'j'), 1200000000);

    const media::DriveMap drives = media::DetectDrives();
    const std::optional<std::string> drive = media::FindDriveByLabel(drives, "KVLOOP1");
    CatalogSet set;
    test::RecordingMessages messages;
    media::CatalogOutcome outcome;
    if (drive) {
        EXPECT_EQ(drives.FindNamed(*drive)->directory, mountPoint);
        EXPECT_EQ(drives.FindNamed(*drive)->fsType, "ext2");
        AnswerDrive answers(media::DriveEntryText(*drives.FindNamed(*drive)), "");
        media::CatalogNewDisk command(set, drives, messages);
        command.SetCatalogDirectory(dir.Str() + "/catalogs");
        outcome = command.Run(answers);
    }
    image.reset();
    ASSERT_TRUE(drive.has_value()) << "the mounted image was not found by its label";
    ASSERT_EQ(outcome.status, media::CatalogStatus::Written);
    const TreeItem disk = set.Tree().FindChild(set.RootItem(), "KVLOOP1");
    FileData* entry = set.EntryNamed(set.RootItem(), "KVLOOP1", SiblingMatch::FirstIgnoringCase);
    ASSERT_NE(entry, nullptr);
    EXPECT_GT(entry->Size(), 3000000);  // the file system's capacity
    EXPECT_EQ(test::EntryAt(set, disk, "photos/img.jpg")->Size(), 3000);
    EXPECT_NE(test::EntryAt(set, disk, "lost+found"), nullptr);
}

// The drive whose folder is `mountPoint`, or null.
const media::Drive* DriveMountedAt(const media::DriveMap& drives, const std::string& mountPoint) {
    for (const media::Drive& d : drives.Drives())
        if (d.directory == mountPoint) return &d;
    return nullptr;
}

// Without UDisks2 the superuser labels the volume with the file system's
// own tool.
TEST(LoopDeviceTest, AnUnlabelledVolumeGetsTheLabelTypedForIt) {
    test::TempDir dir;
    MountedImage image(dir, "");
    if (!image.Mounted()) GTEST_SKIP() << image.WhyNot();
    const media::DriveMap drives = media::DetectDrives();
    const media::Drive* drive = DriveMountedAt(drives, image.MountPoint());
    ASSERT_NE(drive, nullptr);
    EXPECT_EQ(drive->label, "");
    CatalogSet set;
    test::RecordingMessages messages;
    AnswerDrive answers(drive->Name(), "kvloop2");
    media::CatalogNewDisk command(set, drives, messages);
    command.SetCatalogDirectory(dir.Str() + "/catalogs");
    const media::CatalogOutcome outcome = command.Run(answers);
    EXPECT_EQ(outcome.status, media::CatalogStatus::Written);
    EXPECT_EQ(outcome.label, "KVLOOP2");
    // Found again by its folder: other mounts may have moved the letters.
    const media::DriveMap after = media::DetectDrives();
    const media::Drive* labelled = DriveMountedAt(after, image.MountPoint());
    ASSERT_NE(labelled, nullptr);
    EXPECT_EQ(labelled->label, "KVLOOP2");
}

// Whether poll() reports a change of the mount table within five seconds.
bool ChangeReported(media::MountWatch& watch) {
    pollfd ready{watch.Descriptor(), watch.Events(), 0};
    if (::poll(&ready, 1, 5000) != 1 || !(ready.revents & POLLPRI)) return false;
    return watch.Drain().mountsChanged;
}

TEST(LoopDeviceTest, TheMountTableWatchReportsAMountAndItsUnmount) {
    test::TempDir dir;
    std::unique_ptr<media::MountWatch> watch = media::WatchMountTable();
    ASSERT_NE(watch, nullptr);
    std::optional<MountedImage> image(std::in_place, dir, "KVWATCH");
    if (!image->Mounted()) GTEST_SKIP() << image->WhyNot();
    const std::string mountPoint = image->MountPoint();
    EXPECT_TRUE(ChangeReported(*watch));
    const media::DriveMap drives = media::DetectDrives();
    const media::Drive* mounted = DriveMountedAt(drives, mountPoint);
    ASSERT_NE(mounted, nullptr);
    EXPECT_EQ(mounted->label, "KVWATCH");

    image.reset();
    EXPECT_TRUE(ChangeReported(*watch));
    EXPECT_EQ(DriveMountedAt(media::DetectDrives(), mountPoint), nullptr);
}

}  // namespace
}  // namespace kestavo
