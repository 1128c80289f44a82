// SPDX-License-Identifier: GPL-3.0-or-later
#include "media/launch_path.h"

#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>

#include "media/media_test_support.h"

namespace kestavo {
namespace {

using media::DriveMap;

class LaunchTest : public ::testing::Test {
protected:
    LaunchTest() {
        test::MakeFile(dir.Str(), "backup/DOCS/a.txt", "a");
        drives = media::ParseDriveMap("E:|removable|BACKUP|" + dir.Str() + "/backup", messages);
    }
    test::TempDir dir;
    DriveMap drives;
    test::RecordingMessages messages;
};

TEST_F(LaunchTest, ACatalogPathBecomesTheFullPathOnTheDriveHoldingTheDisk) {
    const media::LaunchTarget t = media::ResolveLaunchPath(drives, "BACKUP/DOCS/a.txt");
    EXPECT_TRUE(t.diskFound);
    EXPECT_EQ(t.errorCode, 0);
    EXPECT_EQ(t.fullPath, dir.Str() + "/backup/DOCS/a.txt");
    EXPECT_EQ(media::ResolveLaunchPath(drives, "BACKUP").fullPath, dir.Str() + "/backup");
    EXPECT_FALSE(media::ResolveLaunchPath(drives, "backup/DOCS/a.txt").diskFound);
    const DriveMap unlabelled = media::ParseDriveMap("F:|fixed||" + dir.Str(), messages);
    EXPECT_FALSE(media::ResolveLaunchPath(unlabelled, "/backup/DOCS/a.txt").diskFound);
    const DriveMap root = media::ParseDriveMap("C:|fixed|SYS|/", messages);
    EXPECT_EQ(media::ResolveLaunchPath(root, "SYS/etc/hosts").fullPath, "/etc/hosts");
}

// Names the catalog could not hold as they are lead to the files they
// stand for.
TEST_F(LaunchTest, NormalisedNamesLeadBackToTheFilesOnTheDisk) {
    test::MakeFile(dir.Str(), "backup/say \"hi\"/a  b.txt", "x");
    EXPECT_EQ(media::ResolveLaunchPath(drives, "BACKUP/say 'hi'/a b.txt").fullPath,
              dir.Str() + "/backup/say \"hi\"/a  b.txt");
    EXPECT_EQ(media::ResolveLaunchPath(drives, "BACKUP/DOCS/gone.txt").fullPath,
              dir.Str() + "/backup/DOCS/gone.txt");
}

// Where several names on the disk are written alike, the size and time of
// the entry tell which one it stands for; without them, or when none has
// them, the name itself is taken as before.
TEST_F(LaunchTest, NamesWrittenAlikeAreToldApartBySizeAndTime) {
    test::MakeFile(dir.Str(), "backup/DOCS/c\"x", "double", 1100000000);
    test::MakeFile(dir.Str(), "backup/DOCS/c'x", "single!", 1200000000);
    test::MakeFile(dir.Str(), "backup/DOCS/a  b", "two", 1100000000);
    test::MakeFile(dir.Str(), "backup/DOCS/a   b", "three", 1200000000);
    const std::string docs = dir.Str() + "/backup/DOCS/";
    const auto open = [&](const char* path, std::optional<media::CatalogStamp> stamp) {
        return media::ResolveLaunchPath(drives, path, stamp).fullPath;
    };
    EXPECT_EQ(open("BACKUP/DOCS/c'x", media::CatalogStamp{6, 1100000000}), docs + "c\"x");
    EXPECT_EQ(open("BACKUP/DOCS/c'x", media::CatalogStamp{7, 1200000000}), docs + "c'x");
    EXPECT_EQ(open("BACKUP/DOCS/c'x", media::CatalogStamp{6, 1200000000}), docs + "c'x");
    EXPECT_EQ(open("BACKUP/DOCS/c'x", std::nullopt), docs + "c'x");
    EXPECT_EQ(open("BACKUP/DOCS/a b", media::CatalogStamp{3, 1100000000}), docs + "a  b");
    EXPECT_EQ(open("BACKUP/DOCS/a b", media::CatalogStamp{5, 1200000000}), docs + "a   b");
    EXPECT_EQ(open("BACKUP/DOCS/a b", media::CatalogStamp{4, 1200000000}), docs + "a b");
}

// A name the writer wrote as "_." or "_.." stands for the file it was made
// from, never for the folder itself or its parent.
TEST_F(LaunchTest, NamesWrittenLikeDotPartsLeadToTheirOwnFiles) {
    EXPECT_EQ(media::ResolveLaunchPath(drives, "BACKUP/DOCS/_.").fullPath,
              dir.Str() + "/backup/DOCS/_.");
    EXPECT_EQ(media::ResolveLaunchPath(drives, "BACKUP/DOCS/_..").fullPath,
              dir.Str() + "/backup/DOCS/_..");
    test::MakeFile(dir.Str(), "backup/DOCS/ .", "x");
    test::MakeFile(dir.Str(), "backup/DOCS/  ..", "x");
    EXPECT_EQ(media::ResolveLaunchPath(drives, "BACKUP/DOCS/_.").fullPath,
              dir.Str() + "/backup/DOCS/ .");
    EXPECT_EQ(media::ResolveLaunchPath(drives, "BACKUP/DOCS/_..").fullPath,
              dir.Str() + "/backup/DOCS/  ..");
}

TEST_F(LaunchTest, APathWithDotPartsIsNeverStarted) {
    for (const char* path :
         {"BACKUP/../etc/passwd", "BACKUP/DOCS/..", "BACKUP/./a", "BACKUP/x/../../y"}) {
        const media::LaunchTarget t = media::ResolveLaunchPath(drives, path);
        EXPECT_EQ(t.errorCode, media::kLaunchPathNotFound) << path;
    }
    EXPECT_EQ(media::ResolveLaunchPath(drives, "BACKUP/..hidden/x").errorCode, 0);
    // A NUL byte would cut the path short, to a file that was not asked for.
    const media::LaunchTarget withNul =
        media::ResolveLaunchPath(drives, std::string("BACKUP/DOCS/a.txt\0.pdf", 23));
    EXPECT_EQ(withNul.errorCode, media::kLaunchPathNotFound);
    EXPECT_EQ(withNul.fullPath.find('\0'), std::string::npos);
}

// A symbolic link is followed only as far as the disk reaches: one whose
// target, or a link it leads through, lies outside the disk's folder is
// never started, whatever the target is.
TEST_F(LaunchTest, ALinkLeadingOffTheDiskIsNeverStarted) {
    const std::string top = dir.Str() + "/backup";
    test::MakeFile(dir.Str(), "secret", "s");
    const auto link = [&](const std::string& target, const std::string& name) {
        ASSERT_EQ(::symlink(target.c_str(), (top + "/" + name).c_str()), 0) << name;
    };
    link("/etc/shadow", "shadowlink");
    link("..", "updir");
    link("../secret", "rel");
    link(dir.Str() + "/secret", "abs");
    link(top + "/../secret", "absup");
    link("../../secret", "DOCS/deep");
    link("updir", "chain");
    link(dir.Str(), "outside");
    link("loop", "loop");
    for (const char* path :
         {"BACKUP/shadowlink", "BACKUP/updir", "BACKUP/rel", "BACKUP/abs", "BACKUP/absup",
          "BACKUP/DOCS/deep", "BACKUP/chain", "BACKUP/outside/secret", "BACKUP/loop"})
        EXPECT_EQ(media::ResolveLaunchPath(drives, path).errorCode, media::kLaunchPathNotFound)
            << path;
    EXPECT_EQ(media::ResolveLaunchPath(drives, "BACKUP/outside/secret").fullPath,
              top + "/outside/secret");

    link("DOCS/a.txt", "inside");
    link("../DOCS/./a.txt", "DOCS/sibling");
    link("..", "DOCS/up");
    link(top + "/DOCS", "absin");
    link("gone", "dangling");
    link("DOCS/a.txt/x", "belowafile");
    for (const char* path :
         {"BACKUP/inside", "BACKUP/DOCS/sibling", "BACKUP/DOCS/up", "BACKUP/DOCS/up/inside",
          "BACKUP/absin/a.txt", "BACKUP/dangling", "BACKUP/belowafile"})
        EXPECT_EQ(media::ResolveLaunchPath(drives, path).errorCode, 0) << path;
    EXPECT_EQ(media::ResolveLaunchPath(drives, "BACKUP/inside").fullPath, top + "/inside");

    // A drive whose folder is reached through a link of its own keeps
    // absolute links to the folder's real place.
    ASSERT_EQ(::symlink(top.c_str(), (dir.Str() + "/alias").c_str()), 0);
    const DriveMap aliased =
        media::ParseDriveMap("E:|removable|BACKUP|" + dir.Str() + "/alias", messages);
    EXPECT_EQ(media::ResolveLaunchPath(aliased, "BACKUP/absin/a.txt").errorCode, 0);
    EXPECT_EQ(media::ResolveLaunchPath(aliased, "BACKUP/rel").errorCode,
              media::kLaunchPathNotFound);
}

TEST_F(LaunchTest, EntriesInsideZipFoldersOpenTheirArchive) {
    test::MakeZip(dir.Str() + "/backup/DOCS/old.zip", {{"src/main.c", "m"}});
    CatalogSet set;
    const TreeItem disk = test::ScanAndLoad(set, dir.Str() + "/backup", "BACKUP", messages);
    EXPECT_EQ(media::LaunchCatalogPath(*test::EntryAt(set, disk, "DOCS/old.zip/src/main.c")),
              "BACKUP/DOCS/old.zip");
    EXPECT_EQ(media::LaunchCatalogPath(*test::EntryAt(set, disk, "DOCS/a.txt")),
              "BACKUP/DOCS/a.txt");
    EXPECT_EQ(media::LaunchCatalogPath(
                  *set.EntryNamed(set.RootItem(), "BACKUP", SiblingMatch::FirstIgnoringCase)),
              "BACKUP");

    FileData& member = *test::EntryAt(set, disk, "DOCS/old.zip/src/main.c");
    FileData& plain = *test::EntryAt(set, disk, "DOCS/a.txt");
    const auto text = [](const media::LaunchRequest& r) { return r.catalogPath + "|" + r.program; };
    EXPECT_EQ(text(media::OpenRequest(member)), "BACKUP/DOCS/old.zip|");
    EXPECT_EQ(text(media::SendToNotepadRequest(member)), "BACKUP/DOCS/old.zip|");
    EXPECT_EQ(text(media::OpenRequest(plain)), "BACKUP/DOCS/a.txt|");
    EXPECT_EQ(text(media::SendToNotepadRequest(plain)), "BACKUP/DOCS/a.txt|notepad.exe");
}

TEST_F(LaunchTest, ErrorTextsFollowTheTableAndCodeZeroShowsNothing) {
    EXPECT_FALSE(media::LaunchErrorText(0, "/x").has_value());
    const auto m = media::LaunchErrorText(2, "/d/a.txt");
    ASSERT_TRUE(m.has_value());
    EXPECT_EQ(m->caption, "File launch failed");
    EXPECT_EQ(m->icon, MessageIcon::Exclamation);
    EXPECT_EQ(m->text,
              "/d/a.txt\nThe specified file was not found.\n\nThe disk contents may have changed "
              "since you last cataloged it.\nCheck using Tools->Compare Disk/Catalog.");
    const std::pair<int, const char*> table[] = {
        {3, "The specified path was not found."},
        {5, "Access denied."},
        {8, "Not enough memory."},
        {32, "A sharing violation occurred."},
        {1155, "There is no application associated with the given filename extension."},
        {1156, "The DDE transaction failed."},
        {1157, "A Required DLL was not found."},
        {1223, "The user cancelled the request."},
        {4, "Could not launch the file"}};
    for (const auto& [code, text] : table)
        EXPECT_NE(media::LaunchErrorText(code, "p")->text.find(std::string("p\n") + text + "\n\n"),
                  std::string::npos)
            << code;
}

TEST_F(LaunchTest, FailureCodesNameWhatIsMissing) {
    EXPECT_EQ(media::LaunchErrorCodeOf(dir.Str() + "/backup/DOCS/gone.txt"),
              media::kLaunchFileNotFound);
    EXPECT_EQ(media::LaunchErrorCodeOf(dir.Str() + "/backup/GONE/x.txt"),
              media::kLaunchPathNotFound);
}

class ScriptedLaunch : public media::LaunchStarter, public media::InsertDiskPrompt {
public:
    int Start(const std::string& fullPath, const std::string& program) override {
        started.push_back(program + ":" + fullPath);
        return result;
    }
    bool AskForDisk(const std::string& message) override {
        prompts.push_back(message);
        if (onPrompt) onPrompt();
        return retries-- > 0;
    }
    std::vector<std::string> started;
    std::vector<std::string> prompts;
    int retries = 0;
    int result = 0;
    std::function<void()> onPrompt;
};

TEST_F(LaunchTest, LaunchFileAsksForTheDiskUntilItIsInsertedOrTheUserCancels) {
    ScriptedLaunch launch;
    DriveMap current;  // the disk is not in any drive yet
    int waits = 0;
    media::LaunchServices services{[&] { return current; }, &launch, &launch, &messages,
                                   [&] { ++waits; }};
    launch.retries = 2;
    launch.onPrompt = [&] {
        if (launch.prompts.size() == 2) current = drives;  // inserted before the second Retry
    };
    media::LaunchFile({"BACKUP/DOCS/a.txt", "", {}}, services);
    EXPECT_EQ(launch.prompts, (std::vector<std::string>(2, "Disk labeled BACKUP was not found.")));
    EXPECT_EQ(waits, 2);
    EXPECT_EQ(launch.started, (std::vector<std::string>{":" + dir.Str() + "/backup/DOCS/a.txt"}));
    EXPECT_TRUE(messages.shown.empty());

    current = DriveMap();
    launch.prompts.clear();
    launch.retries = 0;
    media::LaunchFile({"BACKUP/DOCS/a.txt", "", {}}, services);
    EXPECT_EQ(launch.prompts.size(), 1u);
    EXPECT_EQ(launch.started.size(), 1u);
}

TEST_F(LaunchTest, AFailedStartIsReportedAndDotPathsFailWithoutStarting) {
    ScriptedLaunch launch;
    launch.result = 1155;
    media::LaunchServices services{[&] { return drives; }, &launch, &launch, &messages, {}};
    media::LaunchFile({"BACKUP/DOCS/a.txt", "editor", {}}, services);
    EXPECT_EQ(launch.started,
              (std::vector<std::string>{"editor:" + dir.Str() + "/backup/DOCS/a.txt"}));
    ASSERT_EQ(messages.shown.size(), 1u);
    EXPECT_NE(messages.shown[0].text.find("There is no application"), std::string::npos);
    media::LaunchFile({"BACKUP/../../etc/passwd", "", {}}, services);
    EXPECT_EQ(launch.started.size(), 1u);
    ASSERT_EQ(messages.shown.size(), 2u);
    EXPECT_NE(messages.shown[1].text.find("The specified path was not found."), std::string::npos);
    ASSERT_EQ(::symlink("/etc/shadow", (dir.Str() + "/backup/shadowlink").c_str()), 0);
    media::LaunchFile({"BACKUP/shadowlink", "", {}}, services);
    EXPECT_EQ(launch.started.size(), 1u);
    ASSERT_EQ(messages.shown.size(), 3u);
    EXPECT_EQ(messages.shown[2].text.substr(0, messages.shown[2].text.find("\n\n")),
              dir.Str() + "/backup/shadowlink\nThe specified path was not found.");
}

// Open and Send To Notepad start, for each of two catalog rows that the
// writer made alike, the disk file the row was made from.
TEST_F(LaunchTest, EachRowOfNamesWrittenAlikeOpensItsOwnFile) {
    test::MakeFile(dir.Str(), "backup/DOCS/c\"x", "double", 1100000000);
    test::MakeFile(dir.Str(), "backup/DOCS/c'x", "single!", 1200000000);
    CatalogSet set;
    const TreeItem disk = test::ScanAndLoad(set, dir.Str() + "/backup", "BACKUP", messages);
    std::vector<FileData*> files;
    set.CollectFilesUnder(set.Tree().FindChild(disk, "DOCS"), files);
    ScriptedLaunch launch;
    media::LaunchServices services{[&] { return drives; }, &launch, &launch, &messages, {}};
    for (FileData* file : files) {
        if (file->GetName() != "c'x") continue;
        media::LaunchFile(media::OpenRequest(*file), services);
        media::LaunchFile(media::SendToNotepadRequest(*file), services);
    }
    const std::string docs = dir.Str() + "/backup/DOCS/";
    std::sort(launch.started.begin(), launch.started.end());
    EXPECT_EQ(launch.started, (std::vector<std::string>{":" + docs + "c\"x", ":" + docs + "c'x",
                                                        "notepad.exe:" + docs + "c\"x",
                                                        "notepad.exe:" + docs + "c'x"}));
}

}  // namespace
}  // namespace kestavo
