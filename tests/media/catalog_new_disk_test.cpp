// SPDX-License-Identifier: GPL-3.0-or-later
#include "media/catalog_new_disk.h"

#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include <atomic>
#include <chrono>
#include <cstdio>
#include <ctime>
#include <fstream>
#include <thread>

#include "catalog/catalog_commands.h"
#include "catalog/catalog_reader.h"
#include "media/catalog_new_disk_temporary.h"
#include "media/media_test_support.h"

namespace kestavo {
namespace {

using media::CatalogStatus;

class ScriptedQuestions : public media::CatalogQuestions {
public:
    bool ChooseDrive(const media::DriveList& list, media::DriveChoice& choice) override {
        offered = list;
        if (entries.empty()) return false;
        choice.entryText = entries.front();
        entries.erase(entries.begin());
        choice.eject = eject;
        return true;
    }
    bool AskLabel(const std::string& root, std::string& answer) override {
        askedFor = root;
        if (!label) return false;
        answer = *label;
        return true;
    }
    std::vector<std::string> entries;
    bool eject = false;
    std::optional<std::string> label;
    std::string askedFor;
    media::DriveList offered;
};

class RecordingLabeler : public media::VolumeLabeler {
public:
    bool SetLabel(const media::Drive& drive, const std::string& label) override {
        set.push_back(drive.Name() + label);
        return holds.has_value();  // a mapped folder has no volume label to set
    }
    std::string ReadLabel(const media::Drive&) override { return holds.value_or(""); }
    std::vector<std::string> set;
    std::optional<std::string> holds;  // what the volume holds once labelled
};

std::string ReadAll(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    return std::string(std::istreambuf_iterator<char>(in), {});
}

class CatalogNewDiskTest : public ::testing::Test {
protected:
    CatalogNewDiskTest() {
        disk = (root.Path() / "work").string();
        test::MakeFile(disk, "docs/a.txt", "hello", 1000000000);
        test::MakeFile(disk, "b.bin", "xy", 1000000001);
        catalogs = (root.Path() / "catalogs").string();
        Map("E:|removable|WORK|" + disk + ";F:|fixed||" + disk + ";G:|cdrom|CD|" +
            (root.Path() / "empty-drive").string());
    }
    void Map(const std::string& text) { drives = media::ParseDriveMap(text, messages); }

    media::CatalogOutcome Run() {
        media::CatalogNewDisk command(set, drives, messages);
        command.SetCatalogDirectory(catalogs);
        command.SetLabeler(labeler);
        if (progress) command.SetProgress(progress);
        return command.Run(questions);
    }
    TreeItem Disk(const std::string& label) { return set.Tree().FindChild(set.RootItem(), label); }
    std::vector<std::string> CatalogFiles() {
        std::vector<std::string> names;
        for (const auto& e : std::filesystem::directory_iterator(catalogs))
            names.push_back(e.path().filename().string());
        std::sort(names.begin(), names.end());
        return names;
    }

    test::TempDir root;
    std::string disk;
    std::string catalogs;
    media::DriveMap drives;
    CatalogSet set;
    test::RecordingMessages messages;
    ScriptedQuestions questions;
    RecordingLabeler labeler;
    media::ScanProgress progress;
};

TEST_F(CatalogNewDiskTest, WritesHeaderAndBodyThenLoadsTheDisk) {
    questions.entries = {"E:  WORK"};
    const media::CatalogOutcome outcome = Run();
    ASSERT_EQ(outcome.status, CatalogStatus::Written);
    EXPECT_EQ(outcome.path, catalogs + "/WORK.kvx");
    EXPECT_EQ(questions.offered.entries, (std::vector<std::string>{"E:  WORK", "F:  "}));
    EXPECT_EQ(questions.offered.selected, 0);
    const std::string text = ReadAll(outcome.path);
    EXPECT_TRUE(
        text.starts_with("kvx_version_1_1\r\n< \r\n   %drivetype default\r\n> \r\n+\r\n\"WORK\" "));
    EXPECT_TRUE(messages.shown.empty());
    const TreeItem work = Disk("WORK");
    ASSERT_NE(work, kNoItem);
    EXPECT_EQ(test::EntryAt(set, work, "docs/a.txt")->Size(), 5);
    EXPECT_EQ(test::EntryAt(set, work, "b.bin")->GetTime(), 1000000001);
    EXPECT_EQ(CatalogFiles(), (std::vector<std::string>{"WORK.kvx"}));  // no temporary left
    EXPECT_TRUE(labeler.set.empty());
}

TEST_F(CatalogNewDiskTest, CataloguingTheSameDiskTwiceRewritesTheFileAndShowsOneDisk) {
    questions.entries = {"E:  WORK", "E:  WORK"};
    ASSERT_EQ(Run().status, CatalogStatus::Written);
    test::MakeFile(disk, "new.txt", "n");
    ASSERT_EQ(Run().status, CatalogStatus::Written);
    EXPECT_EQ(test::ChildTexts(set, set.RootItem()), (std::vector<std::string>{"WORK"}));
    EXPECT_NE(test::EntryAt(set, Disk("WORK"), "new.txt"), nullptr);
    EXPECT_EQ(test::EntryNames(set, set.RootItem()).size(), 1u);
}

TEST_F(CatalogNewDiskTest, ReplacesTheFileTheLoadedDiskWasReadFrom) {
    questions.entries = {"E:  WORK"};
    ASSERT_EQ(Run().status, CatalogStatus::Written);
    // The disk now lives in a file named otherwise, and was loaded from it.
    const std::string other = catalogs + "/other.kvx";
    ASSERT_EQ(std::rename((catalogs + "/WORK.kvx").c_str(), other.c_str()), 0);
    set.RemoveEntryNamed(set.RootItem(), "WORK");
    LoadCatalog(set, other, messages);
    test::MakeFile(disk, "new.txt", "new", 1000000002);
    questions.entries = {"E:  WORK"};
    const media::CatalogOutcome again = Run();
    ASSERT_EQ(again.status, CatalogStatus::Written);
    EXPECT_EQ(again.path, other);
    EXPECT_EQ(CatalogFiles(), std::vector<std::string>({"other.kvx"}));
    EXPECT_NE(ReadAll(other).find("new.txt"), std::string::npos);
}

TEST_F(CatalogNewDiskTest, ALabelWithBlanksAndATypedEntryWithExtraBlanks) {
    Map("E:|fixed|MY  BACKUP  |" + disk);
    questions.entries = {"E:     MY  BACKUP  "};
    const media::CatalogOutcome outcome = Run();
    ASSERT_EQ(outcome.status, CatalogStatus::Written);
    // The name the format can hold names both the file and the disk.
    EXPECT_EQ(outcome.label, "MY BACKUP ");
    EXPECT_EQ(outcome.path, catalogs + "/MY BACKUP .kvx");
    EXPECT_NE(Disk("MY BACKUP "), kNoItem);
    EXPECT_NE(ReadAll(outcome.path).find("%drivetype fixed"), std::string::npos);
}

TEST_F(CatalogNewDiskTest, AnUnlabelledDiskGetsTheTypedLabelInUpperCase) {
    questions.entries = {"F:  "};
    questions.label = "backup  1";
    const media::CatalogOutcome outcome = Run();
    ASSERT_EQ(outcome.status, CatalogStatus::Written);
    EXPECT_EQ(questions.askedFor, disk);
    EXPECT_EQ(labeler.set, (std::vector<std::string>{"F:BACKUP 1"}));
    EXPECT_EQ(outcome.path, catalogs + "/BACKUP 1.kvx");
    EXPECT_NE(Disk("BACKUP 1"), kNoItem);
}

// Blanks alone would be read back as an empty disk name, apart from the
// file named after them: such a disk counts as unlabelled.
TEST_F(CatalogNewDiskTest, ALabelPartOfOnlyBlanksAsksForALabel) {
    questions.entries = {"E:      "};
    questions.label = "spare";
    const media::CatalogOutcome outcome = Run();
    EXPECT_EQ(questions.askedFor, disk);
    EXPECT_EQ(outcome.path, catalogs + "/SPARE.kvx");
}

TEST_F(CatalogNewDiskTest, NoLabelOrCancelEndsSilentlyWithoutAFile) {
    questions.entries = {"F:"};
    EXPECT_EQ(Run().status, CatalogStatus::Cancelled);
    questions.entries = {"F:  "};
    questions.label = "";
    EXPECT_EQ(Run().status, CatalogStatus::Cancelled);
    questions.entries = {};
    EXPECT_EQ(Run().status, CatalogStatus::Cancelled);
    EXPECT_TRUE(messages.shown.empty());
    EXPECT_FALSE(std::filesystem::exists(catalogs));
}

// The drive choice itself refuses such a field and stays open; the command
// given one anyway says so once and ends.
TEST_F(CatalogNewDiskTest, AFieldWithoutADriveLetterIsRefusedOnceWithoutAskingAgain) {
    EXPECT_TRUE(media::IsDriveFieldValid("e:"));
    EXPECT_TRUE(media::IsDriveFieldValid("E:  WORK"));
    EXPECT_FALSE(media::IsDriveFieldValid("WORK"));
    EXPECT_FALSE(media::IsDriveFieldValid(""));
    questions.entries = {"WORK", "E:  WORK"};
    EXPECT_EQ(Run().status, CatalogStatus::Failed);
    ASSERT_EQ(messages.shown.size(), 1u);
    EXPECT_EQ(messages.shown[0].text,
              "Choose a drive from the list, or type a drive letter and a colon.");
    EXPECT_EQ(questions.entries, (std::vector<std::string>{"E:  WORK"}));
    EXPECT_FALSE(std::filesystem::exists(catalogs));
}

TEST_F(CatalogNewDiskTest, TheScanRunsOnAnotherThreadAndTheLoadWaitsForFinish) {
    questions.entries = {"E:  WORK"};
    questions.eject = true;
    media::CatalogNewDisk command(set, drives, messages);
    command.SetCatalogDirectory(catalogs);
    media::CatalogJob job = command.Prepare(questions);
    ASSERT_TRUE(job.ready);
    EXPECT_EQ(job.outcome.path, catalogs + "/WORK.kvx");
    std::vector<std::string> folders;
    std::thread worker([&] {
        media::CatalogNewDisk::Scan(
            job,
            [&](const media::ScanCounts& c) {
                folders.push_back(c.folder);
                return true;
            },
            nullptr);
    });
    worker.join();
    EXPECT_EQ(folders, (std::vector<std::string>{"/", "/docs"}));
    EXPECT_EQ(Disk("WORK"), kNoItem);     // nothing loaded yet
    EXPECT_TRUE(messages.shown.empty());  // the eject error waits in the job
    ASSERT_EQ(job.messages.size(), 1u);
    EXPECT_EQ(job.messages[0].caption, "Disk flush/eject error");
    const media::CatalogOutcome outcome = command.Finish(job);
    EXPECT_EQ(outcome.status, CatalogStatus::Written);
    ASSERT_EQ(messages.shown.size(), 1u);
    EXPECT_EQ(messages.shown[0].caption, "Disk flush/eject error");
    EXPECT_NE(Disk("WORK"), kNoItem);
}

TEST_F(CatalogNewDiskTest, AStopFromAnotherThreadEndsABigScanQuicklyAndChangesNothing) {
    questions.entries = {"E:  WORK", "E:  WORK"};
    ASSERT_EQ(Run().status, CatalogStatus::Written);
    const std::string before = ReadAll(catalogs + "/WORK.kvx");
    for (int i = 0; i < 20000; ++i) std::ofstream(disk + "/docs/f" + std::to_string(i));
    media::CatalogNewDisk command(set, drives, messages);
    command.SetCatalogDirectory(catalogs);
    media::CatalogJob job = command.Prepare(questions);
    std::atomic<bool> stop = false;
    std::chrono::steady_clock::time_point asked, ended;
    std::thread worker([&] {
        media::CatalogNewDisk::Scan(job, {}, &stop);
        ended = std::chrono::steady_clock::now();
    });
    std::this_thread::sleep_for(std::chrono::milliseconds(30));
    asked = std::chrono::steady_clock::now();
    stop = true;
    worker.join();
    EXPECT_EQ(command.Finish(job).status, CatalogStatus::Stopped);
    EXPECT_LT(ended - asked, std::chrono::milliseconds(500));  // loosely: the bound is 100 ms
    EXPECT_EQ(ReadAll(catalogs + "/WORK.kvx"), before);
    EXPECT_EQ(CatalogFiles(), (std::vector<std::string>{"WORK.kvx"}));
    EXPECT_TRUE(messages.shown.empty());
}

// Open All reads catalogs whatever the letter case of ".kvx"; the disk's
// new catalog replaces the file that was read for it.
TEST_F(CatalogNewDiskTest, ACatalogNamedInAnotherCaseIsTheOneReplaced) {
    std::filesystem::create_directories(catalogs);
    std::ofstream(catalogs + "/WORK.KVX") << "old";
    std::ofstream(catalogs + "/WORKS.kvx") << "another disk";
    questions.entries = {"E:  WORK"};
    const media::CatalogOutcome outcome = Run();
    ASSERT_EQ(outcome.status, CatalogStatus::Written);
    EXPECT_EQ(outcome.path, catalogs + "/WORK.KVX");
    EXPECT_EQ(CatalogFiles(), (std::vector<std::string>{"WORK.KVX", "WORKS.kvx"}));
    EXPECT_TRUE(ReadAll(catalogs + "/WORK.KVX").starts_with("kvx_version_1_1"));
}

TEST_F(CatalogNewDiskTest, ADriveWithoutAMediumSaysSo) {
    questions.entries = {"G:  CD"};
    EXPECT_EQ(Run().status, CatalogStatus::NoDisk);
    ASSERT_EQ(messages.shown.size(), 1u);
    EXPECT_EQ(messages.shown[0].text, "No disk in drive G:");
}

TEST_F(CatalogNewDiskTest, ALabelThatCannotNameAFileStopsTheCommand) {
    questions.entries = {"E:  a/b", "E:  .."};
    EXPECT_EQ(Run().status, CatalogStatus::Failed);
    EXPECT_EQ(Run().status, CatalogStatus::Failed);
    ASSERT_EQ(messages.shown.size(), 2u);
    EXPECT_EQ(messages.shown[0].text, "The label a/b cannot be used as a catalog file name.");
    EXPECT_EQ(messages.shown[1].text, "The label .. cannot be used as a catalog file name.");
}

TEST_F(CatalogNewDiskTest, AnUnwritableCatalogDirectoryStopsBeforeTheScanWithItsReason) {
    test::MakeFile(root.Str(), "catalogs", "a file where the directory should be");
    questions.entries = {"E:  WORK"};
    int scanned = 0;
    progress = [&](const media::ScanCounts&) { return ++scanned > 0; };
    EXPECT_EQ(Run().status, CatalogStatus::Failed);
    EXPECT_EQ(scanned, 0);
    ASSERT_EQ(messages.shown.size(), 1u);
    EXPECT_EQ(messages.shown[0].caption, "Kestavo");
    EXPECT_EQ(messages.shown[0].icon, MessageIcon::Stop);
    EXPECT_EQ(messages.shown[0].text,
              "Cannot write the catalog file " + catalogs + "/WORK.kvx\nNot a directory");
}

TEST_F(CatalogNewDiskTest, AScanThatDoesNotFinishKeepsTheOldCatalog) {
    questions.entries = {"E:  WORK", "E:  WORK"};
    ASSERT_EQ(Run().status, CatalogStatus::Written);
    const std::string before = ReadAll(catalogs + "/WORK.kvx");
    test::MakeFile(disk, "later/c.txt", "c");
    progress = [](const media::ScanCounts& c) { return c.folders < 2; };
    EXPECT_EQ(Run().status, CatalogStatus::Stopped);
    EXPECT_EQ(ReadAll(catalogs + "/WORK.kvx"), before);
    EXPECT_EQ(CatalogFiles(), (std::vector<std::string>{"WORK.kvx"}));
}

TEST_F(CatalogNewDiskTest, EjectingAMappedFolderReportsWhyAndStillLoads) {
    questions.entries = {"E:  WORK"};
    questions.eject = true;
    EXPECT_EQ(Run().status, CatalogStatus::Written);
    ASSERT_EQ(messages.shown.size(), 1u);
    EXPECT_EQ(messages.shown[0].caption, "Disk flush/eject error");
    EXPECT_EQ(messages.shown[0].icon, MessageIcon::None);
    EXPECT_EQ(messages.shown[0].text,
              "Drive E: is the folder " + disk + ", not a device; it cannot be ejected.");
    EXPECT_NE(Disk("WORK"), kNoItem);
}

TEST_F(CatalogNewDiskTest, AFolderIsCataloguedUnderTheLabelAsGiven) {
    media::CatalogNewDisk command(set, drives, messages);
    command.SetCatalogDirectory(catalogs);
    const media::CatalogOutcome outcome = command.RunOnDirectory(disk + "/docs", "Docs copy");
    ASSERT_EQ(outcome.status, CatalogStatus::Written);
    EXPECT_EQ(outcome.path, catalogs + "/Docs copy.kvx");
    EXPECT_NE(test::EntryAt(set, Disk("Docs copy"), "a.txt"), nullptr);
    EXPECT_GT(set.EntryNamed(set.RootItem(), "Docs copy", SiblingMatch::FirstIgnoringCase)->Size(),
              0);
    const media::CatalogOutcome missing = command.RunOnDirectory(disk + "/none", "X");
    EXPECT_EQ(missing.status, CatalogStatus::Failed);
    EXPECT_FALSE(std::filesystem::exists(catalogs + "/X.kvx"));
}

// Nothing is written to the volume before the label has passed every check.
TEST_F(CatalogNewDiskTest, ARefusedLabelIsNeverWrittenToTheVolume) {
    questions.entries = {"F:  ", "H:  "};
    questions.label = "../evil";
    EXPECT_EQ(Run().status, CatalogStatus::Failed);
    media::Drive fat;
    fat.letter = 'H';
    fat.directory = disk;
    fat.fsType = "vfat";
    drives.Add(fat);
    questions.label = "twelve chars";
    EXPECT_EQ(Run().status, CatalogStatus::Failed);
    EXPECT_TRUE(labeler.set.empty());
    ASSERT_EQ(messages.shown.size(), 2u);
    EXPECT_EQ(messages.shown[0].text, "The label ../EVIL cannot be used as a catalog file name.");
    EXPECT_EQ(messages.shown[1].text,
              "The label TWELVE CHARS is too long for the file system of drive H: (at most 11 "
              "characters).");
    EXPECT_FALSE(std::filesystem::exists(catalogs));
}

// A file system may keep less of a label than it was given: the catalog
// takes the label the volume holds.
TEST_F(CatalogNewDiskTest, TheLabelReadBackFromTheVolumeNamesTheCatalog) {
    questions.entries = {"F:  "};
    questions.label = "archive 2024";
    labeler.holds = "ARCHIVE";
    const media::CatalogOutcome outcome = Run();
    ASSERT_EQ(outcome.status, CatalogStatus::Written);
    EXPECT_EQ(labeler.set, (std::vector<std::string>{"F:ARCHIVE 2024"}));
    EXPECT_EQ(outcome.label, "ARCHIVE");
    EXPECT_EQ(outcome.path, catalogs + "/ARCHIVE.kvx");
    EXPECT_NE(Disk("ARCHIVE"), kNoItem);
}

TEST_F(CatalogNewDiskTest, ARewrittenCatalogKeepsItsModeAndANewOneFollowsTheUmask) {
    questions.entries = {"E:  WORK", "E:  WORK"};
    const mode_t oldMask = ::umask(027);
    const media::CatalogOutcome first = Run();
    ::umask(oldMask);
    struct stat st {};
    ASSERT_EQ(::stat(first.path.c_str(), &st), 0);
    EXPECT_EQ(st.st_mode & 0777, 0640u);
    ::chmod(first.path.c_str(), 0600);
    ASSERT_EQ(Run().status, CatalogStatus::Written);
    ASSERT_EQ(::stat(first.path.c_str(), &st), 0);
    EXPECT_EQ(st.st_mode & 0777, 0600u);
    // Only the read and write bits are kept.
    ::chmod(first.path.c_str(), 04751);
    questions.entries = {"E:  WORK"};
    ASSERT_EQ(Run().status, CatalogStatus::Written);
    ASSERT_EQ(::stat(first.path.c_str(), &st), 0);
    EXPECT_EQ(st.st_mode & 07777, 0640u);
}

// Anyone who may write to a shared catalog folder can put a link where a
// catalog should be; the new catalog never takes the mode of its target.
TEST_F(CatalogNewDiskTest, ALinkInPlaceOfTheCatalogLendsItNoMode) {
    std::filesystem::create_directories(catalogs);
    const std::string target = root.Str() + "/open-to-all";
    std::ofstream(target) << "someone else's";
    ::chmod(target.c_str(), 04777);
    ASSERT_EQ(::symlink(target.c_str(), (catalogs + "/WORK.kvx").c_str()), 0);
    questions.entries = {"E:  WORK"};
    const mode_t oldMask = ::umask(022);
    const media::CatalogOutcome outcome = Run();
    ::umask(oldMask);
    ASSERT_EQ(outcome.status, CatalogStatus::Written);
    struct stat st {};
    ASSERT_EQ(::lstat(outcome.path.c_str(), &st), 0);
    EXPECT_TRUE(S_ISREG(st.st_mode));
    EXPECT_EQ(st.st_mode & 07777, 0644u);
    ASSERT_EQ(::stat(target.c_str(), &st), 0);
    EXPECT_EQ(st.st_mode & 07777, 04777u);
    EXPECT_EQ(ReadAll(target), "someone else's");
}

// Temporaries are named after their disk, machine and process. The next
// run for a disk removes those of this machine's killed runs; a process
// number of another machine sharing the folder means nothing here, so its
// temporaries are left alone until nobody has written to them for a day.
TEST_F(CatalogNewDiskTest, TheNextRunRemovesOnlyTheTemporariesOfKilledRunsOfThisMachine) {
    std::filesystem::create_directories(catalogs);
    const std::string here = ".WORK.kvx-new-" + media::MachineTag();
    const std::string elsewhere = ".WORK.kvx-new-0123456789abcdef";
    const std::string killed = here + "-2147483646-7";
    const std::string live = here + "-" + std::to_string(::getppid()) + "-1";
    const std::string otherMachine = elsewhere + "-2147483646-7";
    const std::string otherMachineLongAgo = elsewhere + "-2147483646-8";
    const std::string olderForm = ".WORK.kvx-new-2147483646-7";
    const std::string olderFormLongAgo = ".WORK.kvx-new-2147483646-8";
    const std::string otherDisk = ".OTHER.kvx-new-" + media::MachineTag() + "-2147483646-7";
    for (const std::string& name :
         {killed, live, otherMachine, otherMachineLongAgo, olderForm, olderFormLongAgo, otherDisk})
        std::ofstream(catalogs + "/" + name) << "partial";
    const std::int64_t twoDaysAgo = std::time(nullptr) - 2 * 24 * 60 * 60;
    test::SetTime(catalogs + "/" + otherMachineLongAgo, twoDaysAgo);
    test::SetTime(catalogs + "/" + olderFormLongAgo, twoDaysAgo);
    questions.entries = {"E:  WORK"};
    ASSERT_EQ(Run().status, CatalogStatus::Written);
    std::vector<std::string> kept = {live, otherMachine, olderForm, otherDisk, "WORK.kvx"};
    std::sort(kept.begin(), kept.end());
    EXPECT_EQ(CatalogFiles(), kept);
}

// The run's own temporary carries this machine's tag beside its process.
TEST_F(CatalogNewDiskTest, TheTemporaryNamesThisMachineAndProcess) {
    questions.entries = {"E:  WORK"};
    std::vector<std::string> seen;
    progress = [&](const media::ScanCounts&) {
        if (seen.empty()) seen = CatalogFiles();
        return true;
    };
    ASSERT_EQ(Run().status, CatalogStatus::Written);
    ASSERT_EQ(seen.size(), 1u);
    EXPECT_TRUE(seen[0].starts_with(".WORK.kvx-new-" + media::MachineTag() + "-" +
                                    std::to_string(::getpid()) + "-"))
        << seen[0];
    EXPECT_EQ(media::MachineTag().size(), 16u);
}

}  // namespace
}  // namespace kestavo
