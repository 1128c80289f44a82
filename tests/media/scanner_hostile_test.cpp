// SPDX-License-Identifier: GPL-3.0-or-later
// The scanner against hostile trees and archives and folders it cannot
// read: nothing hangs, nothing grows without bound, nothing is lost
// without a word.
#include <gtest/gtest.h>
#include <sys/resource.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cerrno>
#include <climits>
#include <filesystem>
#include <fstream>
#include <set>

#include "catalog/catalog_reader.h"
#include "media/catalog_new_disk.h"
#include "media/media_test_support.h"

namespace kestavo {
namespace {

using test::EntryAt;
using test::MakeFile;
using test::MakeFolder;

class HostileScanTest : public ::testing::Test {
protected:
    TreeItem Scan() { return test::ScanAndLoad(set, dir.Str(), "DISK", messages); }
    test::TempDir dir;
    CatalogSet set;
    test::RecordingMessages messages;
};

// A FIFO named like an archive would block an opening read for ever.
TEST_F(HostileScanTest, AFifoNamedLikeAnArchiveIsAPlainFileAndDoesNotHang) {
    ASSERT_EQ(::mkfifo((dir.Str() + "/trap.zip").c_str(), 0644), 0);
    MakeFile(dir.Str(), "after.txt", "a");
    media::ScanResult result;
    test::ScanToText(dir.Str(), "DISK", &result);
    EXPECT_EQ(result.status, media::ScanStatus::Done);
    EXPECT_EQ(result.counts.files, 2u);
    const TreeItem disk = Scan();
    ASSERT_NE(EntryAt(set, disk, "trap.zip"), nullptr);
    EXPECT_EQ(EntryAt(set, disk, "trap.zip")->GetKind(), KIND_FILE);
}

// A member path no disk could hold makes no folders: the member is kept as
// a file of its last part right under the Zip Folder.
TEST_F(HostileScanTest, OverlongMemberPathsMakeNoFolders) {
    std::string deep, justFits;
    for (int i = 0; i < 30000; ++i) deep += "d/";
    for (int i = 0; i < 2000; ++i) justFits += "e/";
    MakeFile(
        dir.Str(), "deep.zip",
        test::ZipBytes({{deep + "leaf.txt", "12345"}, {deep, ""}, {justFits + "x", "1"}}, false));
    media::ScanResult result;
    const std::string text = test::ScanToText(dir.Str(), "DISK", &result);
    EXPECT_EQ(result.counts.files, 4u);
    EXPECT_LT(text.size(), 120000u);
    const TreeItem disk = Scan();
    ASSERT_NE(EntryAt(set, disk, "deep.zip/leaf.txt"), nullptr);
    EXPECT_EQ(EntryAt(set, disk, "deep.zip/leaf.txt")->Size(), 5);
    EXPECT_NE(EntryAt(set, disk, "deep.zip/" + justFits + "x"),
              nullptr);  // below the limit: kept whole
}

// A folder named like an archive reads back as a Zip Folder, so its record
// carries the sum of what it holds, nested ones included.
TEST_F(HostileScanTest, AFolderNamedLikeAnArchiveCarriesTheSumOfItsContents) {
    MakeFile(dir.Str(), "top/photos.zip/a.jpg", "123");
    MakeFile(dir.Str(), "top/photos.zip/sub/b.jpg", "4567");
    MakeFile(dir.Str(), "top/photos.zip/inner.zip/c.jpg", "89012");
    MakeFile(dir.Str(), "top/top.txt", "xy");
    const TreeItem disk = Scan();
    ASSERT_NE(EntryAt(set, disk, "top/photos.zip"), nullptr);
    EXPECT_EQ(EntryAt(set, disk, "top/photos.zip")->Size(), 12);
    EXPECT_EQ(EntryAt(set, disk, "top/photos.zip/inner.zip")->Size(), 5);
    EXPECT_NE(EntryAt(set, disk, "top/photos.zip/sub/b.jpg"), nullptr);
    FileData& top = *EntryAt(set, disk, "top");
    set.SizeTextOf(top);  // a folder's size is counted when first shown
    EXPECT_EQ(top.Size(), 14);
}

// The walk holds no descriptor per level: a tree deeper than the open-file
// limit is catalogued whole.
TEST_F(HostileScanTest, ATreeDeeperThanTheOpenFileLimitIsCataloguedWhole) {
    std::string path;
    for (int i = 0; i < 300; ++i) path += "/d";
    MakeFile(dir.Str(), path.substr(1) + "/bottom.txt", "b");
    struct rlimit old {};
    ASSERT_EQ(::getrlimit(RLIMIT_NOFILE, &old), 0);
    struct rlimit low = old;
    low.rlim_cur = 64;
    ASSERT_EQ(::setrlimit(RLIMIT_NOFILE, &low), 0);
    media::ScanResult result;
    const std::string text = test::ScanToText(dir.Str(), "DISK", &result);
    ::setrlimit(RLIMIT_NOFILE, &old);
    EXPECT_EQ(result.status, media::ScanStatus::Done);
    EXPECT_EQ(result.counts.folders, 301u);
    EXPECT_EQ(result.unreadable.folders.count, 0u);
    EXPECT_NE(text.find("\"bottom.txt\""), std::string::npos);
}

// Folders the user may not read are still written (empty), but counted and
// named. The scan runs as an ordinary user in a child process, since the
// superuser reads every folder.
TEST_F(HostileScanTest, UnreadableFoldersAreCountedAndTheFirstNamed) {
    ::chmod(dir.Str().c_str(), 0755);
    for (const char* locked : {"a", "b/c", "d", "e"}) {
        MakeFile(dir.Str(), std::string(locked) + "/inside.txt", "x");
        ::chmod((dir.Str() + "/" + locked).c_str(), 0);
    }
    MakeFile(dir.Str(), "b/ok.txt", "y");
    int report[2];
    ASSERT_EQ(::pipe(report), 0);
    const pid_t child = ::fork();
    if (child == 0) {
        if (::geteuid() == 0 && (::setgid(65534) != 0 || ::setuid(65534) != 0)) ::_exit(3);
        media::ScanResult result;
        const std::string text = test::ScanToText(dir.Str(), "DISK", &result);
        std::string out = media::UnreadableEntriesText(result.unreadable);
        out += text.find("+\"a\" ") != std::string::npos ? "|a written" : "|a missing";
        if (::write(report[1], out.data(), out.size()) < 0) ::_exit(4);
        ::_exit(result.status == media::ScanStatus::Done ? 0 : 5);
    }
    ::close(report[1]);
    std::string got;
    char buffer[512];
    for (ssize_t n; (n = ::read(report[0], buffer, sizeof buffer)) > 0;) got.append(buffer, n);
    ::close(report[0]);
    int status = 0;
    ::waitpid(child, &status, 0);
    for (const char* locked : {"a", "b/c", "d", "e"})
        ::chmod((dir.Str() + "/" + locked).c_str(), 0755);
    ASSERT_TRUE(WIFEXITED(status));
    EXPECT_EQ(WEXITSTATUS(status), 0);
    EXPECT_EQ(got, "4 folders could not be read: /a, /b/c, /d, ...|a written");
}

// A disk that fails as a scratched disc or a worn stick does: chosen calls
// answer an error for chosen paths below the root, every other call is the
// system's.
class FailingDisk : public media::ScanFileAccess {
public:
    explicit FailingDisk(std::string root) : root_(std::move(root)) {}

    int OpenAt(int folder, const char* name, int flags) const override {
        if (Fails(failOpen, folder, name)) return Fail();
        return media::ScanFileAccess::OpenAt(folder, name, flags);
    }
    int StatAt(int folder, const char* name, struct stat& st) const override {
        if (Fails(failStat, folder, name)) return Fail();
        return media::ScanFileAccess::StatAt(folder, name, st);
    }
    int List(DirectoryLister& lister, int fd, const Visit& visit) const override {
        const std::string path = PathOf(fd);
        if (failList.count(path) ||
            (failRootListsAfter >= 0 && path == "/" && ++rootLists_ > failRootListsAfter))
            return error;
        return media::ScanFileAccess::List(lister, fd, visit);
    }
    long ReadAt(int fd, void* buffer, std::size_t length, std::int64_t offset) const override {
        if (failRead.count(PathOf(fd))) return Fail();
        return media::ScanFileAccess::ReadAt(fd, buffer, length, offset);
    }

    std::set<std::string> failOpen, failStat, failList, failRead;  // "/a/b", below the root
    int failRootListsAfter = -1;  // listings of the root that succeed; -1: all
    int error = EIO;

private:
    int Fail() const {
        errno = error;
        return -1;
    }
    // The path below the root of what the descriptor is open on ("/" for the root).
    std::string PathOf(int fd) const {
        const std::string link = "/proc/self/fd/" + std::to_string(fd);
        char target[PATH_MAX];
        const ssize_t n = ::readlink(link.c_str(), target, sizeof target);
        const std::string path = n > 0 ? std::string(target, n) : "";
        if (!path.starts_with(root_)) return "";
        return path.size() == root_.size() ? "/" : path.substr(root_.size());
    }
    bool Fails(const std::set<std::string>& paths, int folder, const char* name) const {
        const std::string parent = PathOf(folder);
        return paths.count((parent == "/" ? "" : parent) + "/" + name) != 0;
    }

    std::string root_;
    mutable int rootLists_ = 0;
};

class FailingDiskTest : public HostileScanTest {
protected:
    FailingDiskTest() : disk(std::filesystem::canonical(dir.Path()).string()) {
        MakeFile(dir.Str(), "closed/inside.txt", "x");
        MakeFile(dir.Str(), "scratched/lost.txt", "y");
        MakeFile(dir.Str(), "bad sector.txt", "zz");
        MakeFolder(dir.Str(), "no details");
        test::MakeZip(dir.Str() + "/worn.zip", {{"member.txt", "m"}});
        MakeFile(dir.Str(), "fine.txt", "ok");
        MakeFile(dir.Str(), "sub/deep/fine.txt", "ok");
    }
    FailingDisk disk;
};

// Each entry that cannot be read is kept, the walk goes on, and the scan
// names them: a folder that cannot be opened or listed is written empty, a
// file (or folder) whose details cannot be read keeps its name, an archive
// that cannot be read is a plain file.
TEST_F(FailingDiskTest, EntriesThatCannotBeReadAreKeptAndNamedAndTheWalkGoesOn) {
    disk.failOpen = {"/closed"};
    disk.failList = {"/scratched"};
    disk.failStat = {"/bad sector.txt", "/no details"};
    disk.failRead = {"/worn.zip"};
    media::ScanResult result;
    const std::string text = test::ScanToText(dir.Str(), "DISK", &result, {}, nullptr, disk);
    EXPECT_EQ(result.status, media::ScanStatus::Done);
    EXPECT_EQ(result.unreadable.folders.count, 3u);
    EXPECT_EQ(result.unreadable.folders.first,
              (std::vector<std::string>{"/closed", "/no details", "/scratched"}));
    EXPECT_EQ(result.unreadable.files.count, 2u);
    EXPECT_EQ(result.unreadable.files.first,
              (std::vector<std::string>{"/bad sector.txt", "/worn.zip"}));

    ASSERT_EQ(test::LoadText(set, text, messages), LoadOutcome::Loaded);
    const TreeItem top = set.Tree().FindChild(set.RootItem(), "DISK");
    for (const char* folder : {"closed", "scratched", "no details"}) {
        ASSERT_NE(EntryAt(set, top, folder), nullptr) << folder;
        EXPECT_EQ(EntryAt(set, top, folder)->GetKind(), KIND_FOLDER) << folder;
        EXPECT_TRUE(test::EntryNames(set, set.Tree().FindChild(top, folder)).empty()) << folder;
    }
    EXPECT_EQ(EntryAt(set, top, "scratched/lost.txt"), nullptr);
    ASSERT_NE(EntryAt(set, top, "bad sector.txt"), nullptr);
    EXPECT_EQ(EntryAt(set, top, "bad sector.txt")->GetKind(), KIND_FILE);
    ASSERT_NE(EntryAt(set, top, "worn.zip"), nullptr);
    EXPECT_EQ(EntryAt(set, top, "worn.zip")->GetKind(), KIND_FILE);
    EXPECT_EQ(EntryAt(set, top, "worn.zip")->Size(),
              static_cast<std::int64_t>(std::filesystem::file_size(dir.Path() / "worn.zip")));
    EXPECT_NE(EntryAt(set, top, "fine.txt"), nullptr);
    EXPECT_NE(EntryAt(set, top, "sub/deep/fine.txt"), nullptr);
}

// A disk that is gone still ends the scan: its top can no longer be read,
// a call says the device is gone, or its folder is no longer there.
TEST_F(FailingDiskTest, ADiskThatIsGoneStillEndsTheScan) {
    media::ScanResult result;
    disk.failStat = {"/bad sector.txt"};
    disk.failRootListsAfter = 1;
    test::ScanToText(dir.Str(), "DISK", &result, {}, nullptr, disk);
    EXPECT_EQ(result.status, media::ScanStatus::MediumLost);
    EXPECT_EQ(result.error, EIO);

    disk.failRootListsAfter = -1;
    disk.error = ENODEV;
    test::ScanToText(dir.Str(), "DISK", &result, {}, nullptr, disk);
    EXPECT_EQ(result.status, media::ScanStatus::MediumLost);
    EXPECT_EQ(result.error, ENODEV);

    const std::string moved = dir.Str() + "-unmounted";
    const media::ScanProgress unmount = [&](const media::ScanCounts& c) {
        if (c.folder == "/sub") std::filesystem::rename(dir.Path(), moved);
        return true;
    };
    test::ScanToText(dir.Str(), "DISK", &result, unmount);
    std::filesystem::rename(moved, dir.Path());
    EXPECT_EQ(result.status, media::ScanStatus::MediumLost);
    EXPECT_EQ(result.error, ENOENT);
}

TEST(UnreadableEntriesTextTest, NamesOneOrSomeAndSaysWhenThereAreMore) {
    EXPECT_EQ(media::UnreadableEntriesText({}), "");
    media::UnreadableEntries one;
    one.folders.count = 1;
    one.folders.first = {"/x y"};
    EXPECT_EQ(media::UnreadableEntriesText(one), "1 folder could not be read: /x y");
    media::UnreadableEntries three;
    three.folders.count = 3;
    three.folders.first = {"/a", "/b", "/c"};
    EXPECT_EQ(media::UnreadableEntriesText(three), "3 folders could not be read: /a, /b, /c");
    media::UnreadableEntries files;
    files.files.count = 1;
    files.files.first = {"/f"};
    EXPECT_EQ(media::UnreadableEntriesText(files), "1 file could not be read: /f");
    files.folders = three.folders;
    files.folders.count = 4;
    files.files.count = 5;
    files.files.first = {"/f", "/g", "/h"};
    EXPECT_EQ(media::UnreadableEntriesText(files),
              "4 folders could not be read: /a, /b, /c, ...\n"
              "5 files could not be read: /f, /g, /h, ...");
}

}  // namespace
}  // namespace kestavo
