// SPDX-License-Identifier: GPL-3.0-or-later
// The scanner against hostile trees and archives and folders it cannot
// read: nothing hangs, nothing grows without bound, nothing is lost
// without a word.
#include <gtest/gtest.h>
#include <sys/resource.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <climits>
#include <filesystem>
#include <fstream>

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
    top.GetSizeText();  // a folder's size is counted when first shown
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
    EXPECT_EQ(result.unreadable.count, 0u);
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
        std::string out = media::UnreadableFoldersText(result.unreadable);
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

TEST(UnreadableFoldersTextTest, NamesOneOrSomeAndSaysWhenThereAreMore) {
    EXPECT_EQ(media::UnreadableFoldersText({}), "");
    media::UnreadableFolders one;
    one.count = 1;
    one.first = {"/x y"};
    EXPECT_EQ(media::UnreadableFoldersText(one), "1 folder could not be read: /x y");
    media::UnreadableFolders three;
    three.count = 3;
    three.first = {"/a", "/b", "/c"};
    EXPECT_EQ(media::UnreadableFoldersText(three), "3 folders could not be read: /a, /b, /c");
}

}  // namespace
}  // namespace kestavo
