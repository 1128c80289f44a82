// SPDX-License-Identifier: GPL-3.0-or-later
#include "media/zip_listing.h"

#include <fcntl.h>
#include <gtest/gtest.h>
#include <unistd.h>

#include <fstream>

#include "media/media_test_support.h"

namespace kestavo {
namespace {

using test::EntryAt;
using test::MakeZip;
using test::ZipMember;

class ZipTest : public ::testing::Test {
protected:
    std::string Archive(const std::string& name) { return (dir.Path() / name).string(); }
    TreeItem Scan() { return test::ScanAndLoad(set, dir.Str(), "DISK", messages); }
    TreeItem Folder(TreeItem parent, const std::string& name) {
        return set.Tree().FindChild(parent, name);
    }

    test::TempDir dir;
    CatalogSet set;
    test::RecordingMessages messages;
};

TEST_F(ZipTest, MembersBecomeNestedFoldersAndFilesWithTheirSizesAndDates) {
    MakeZip(Archive("old.zip"), {{"src/", "", 900000000},
                                 {"src/main.c", std::string(4000, 'c'), 900000100},
                                 {"src/lib/util.c", "uu", 900000200},
                                 {"README", std::string(700, 'r'), 900000300}});
    test::SetTime(Archive("old.zip"), 1100000000);
    const auto archiveSize =
        static_cast<std::int64_t>(std::filesystem::file_size(Archive("old.zip")));
    const TreeItem disk = Scan();

    FileData* zip = EntryAt(set, disk, "old.zip");
    ASSERT_NE(zip, nullptr);
    EXPECT_EQ(zip->GetKind(), KIND_ZIP_FOLDER);
    EXPECT_EQ(zip->Size(), archiveSize);
    EXPECT_EQ(zip->GetTime(), 1100000000);
    const TreeItem zipItem = Folder(disk, "old.zip");
    EXPECT_EQ(test::EntryNames(set, zipItem), (std::vector<std::string>{"README", "src"}));
    EXPECT_EQ(EntryAt(set, disk, "old.zip/README")->Size(), 700);
    // DOS dates keep even seconds.
    EXPECT_EQ(EntryAt(set, disk, "old.zip/README")->GetTime(), 900000300);
    EXPECT_EQ(EntryAt(set, disk, "old.zip/src")->GetTime(), 900000000);
    EXPECT_EQ(EntryAt(set, disk, "old.zip/src/main.c")->Size(), 4000);
    // A folder known only from its members takes the archive's date.
    EXPECT_EQ(EntryAt(set, disk, "old.zip/src/lib")->GetTime(), 1100000000);
    EXPECT_EQ(EntryAt(set, disk, "old.zip/src/lib/util.c")->GetKind(), KIND_FILE);
    std::string archivePath;
    ASSERT_TRUE(set.ArchivePathOf(*EntryAt(set, disk, "old.zip/src/lib/util.c"), archivePath));
    EXPECT_EQ(archivePath, "DISK/old.zip");
}

TEST_F(ZipTest, DirectoryOnlyAndEmptyArchivesGiveFoldersOrNothing) {
    MakeZip(Archive("dirs.zip"), {{"a/", ""}, {"a/b/", ""}, {"c/", ""}});
    test::MakeFile(dir.Str(), "empty.zip", test::ZipBytes({}, false));
    const TreeItem disk = Scan();
    EXPECT_EQ(test::EntryNames(set, Folder(disk, "dirs.zip")),
              (std::vector<std::string>{"a", "c"}));
    EXPECT_EQ(test::EntryNames(set, Folder(Folder(disk, "dirs.zip"), "a")),
              (std::vector<std::string>{"b"}));
    FileData* empty = EntryAt(set, disk, "empty.zip");
    ASSERT_NE(empty, nullptr);
    EXPECT_EQ(empty->GetKind(), KIND_ZIP_FOLDER);
    EXPECT_TRUE(test::EntryNames(set, Folder(disk, "empty.zip")).empty());
}

TEST_F(ZipTest, OnlyNamesPassingTheZipTestOfRegularFilesAreOpened) {
    const std::vector<ZipMember> one = {{"x", "1"}};
    for (const char* name : {"a.zip", "B.ZIP", "c.Zip", "d.zip.zip", "e.jar", ".zip"})
        MakeZip(Archive(name), one);
    const TreeItem disk = Scan();
    EXPECT_EQ(EntryAt(set, disk, "a.zip")->GetKind(), KIND_ZIP_FOLDER);
    EXPECT_EQ(EntryAt(set, disk, "B.ZIP")->GetKind(), KIND_ZIP_FOLDER);
    for (const char* name : {"c.Zip", "d.zip.zip", "e.jar", ".zip"})
        EXPECT_EQ(EntryAt(set, disk, name)->GetKind(), KIND_FILE) << name;
}

TEST_F(ZipTest, CorruptAndForeignFilesNamedZipArePlainFiles) {
    test::MakeFile(dir.Str(), "text.zip", "this is not an archive at all");
    test::MakeFile(dir.Str(), "empty-file.zip", "");
    MakeZip(Archive("whole.zip"), {{"a", std::string(1000, 'a')}, {"b", "b"}});
    std::string bytes;
    {
        std::ifstream in(Archive("whole.zip"), std::ios::binary);
        bytes.assign(std::istreambuf_iterator<char>(in), {});
    }
    test::MakeFile(dir.Str(), "cut.zip", bytes.substr(0, bytes.size() - 30));
    std::string damaged = bytes;
    damaged[damaged.size() - 22 + 10] = '\x7f';  // entry count of the end record
    test::MakeFile(dir.Str(), "damaged.zip", damaged);
    const TreeItem disk = Scan();
    for (const char* name : {"text.zip", "empty-file.zip", "cut.zip", "damaged.zip"}) {
        FileData* e = EntryAt(set, disk, name);
        ASSERT_NE(e, nullptr) << name;
        EXPECT_EQ(e->GetKind(), KIND_FILE) << name;
    }
    EXPECT_EQ(EntryAt(set, disk, "cut.zip")->Size(), static_cast<std::int64_t>(bytes.size() - 30));
    EXPECT_EQ(EntryAt(set, disk, "whole.zip")->GetKind(), KIND_ZIP_FOLDER);
}

// Member paths that would point outside the archive stay inside its records.
TEST_F(ZipTest, HostileMemberPathsAreListedInsideTheArchive) {
    MakeZip(Archive("evil.zip"), {{"../../etc/passwd", "p"},
                                  {"/abs/x", "x"},
                                  {"a//b", "b"},
                                  {"win\\path.txt", "w"},
                                  {"say \"hi\"", "q"}});
    const TreeItem disk = Scan();
    const TreeItem zip = Folder(disk, "evil.zip");
    EXPECT_EQ(test::ChildTexts(set, disk), (std::vector<std::string>{"evil.zip"}));
    EXPECT_NE(EntryAt(set, disk, "evil.zip/_../_../etc/passwd"), nullptr);
    EXPECT_NE(EntryAt(set, disk, "evil.zip/abs/x"), nullptr);
    EXPECT_NE(EntryAt(set, disk, "evil.zip/a/b"), nullptr);
    EXPECT_NE(EntryAt(set, disk, "evil.zip/win\\path.txt"), nullptr);
    EXPECT_NE(EntryAt(set, disk, "evil.zip/say 'hi'"), nullptr);
    EXPECT_EQ(set.Tree().Parent(Folder(zip, "_..")), zip);
}

TEST_F(ZipTest, DosCodePageNamesComeOutAsUtf8) {
    ZipMember dos{"caf\x82.txt", "d"};  // é in code page 437
    dos.rawName = true;
    MakeZip(Archive("names.zip"), {dos, {"na\xc3\xafve.txt", "u"}});
    ZipMember dosFolder{"\x8e\x84/x", "d"};  // Ä and ä, written without libzip
    dosFolder.rawName = true;
    test::MakeFile(dir.Str(), "raw.zip", test::ZipBytes({dosFolder}, false));
    const TreeItem disk = Scan();
    EXPECT_EQ(test::EntryNames(set, Folder(disk, "names.zip")),
              (std::vector<std::string>{"caf\xc3\xa9.txt", "na\xc3\xafve.txt"}));
    EXPECT_NE(EntryAt(set, disk, "raw.zip/\xc3\x84\xc3\xa4/x"), nullptr);
}

// 100 000 members need the ZIP64 end records.
TEST_F(ZipTest, AZip64ArchiveOfAHundredThousandMembersIsListedWhole) {
    std::vector<ZipMember> members;
    for (int i = 0; i < 100000; ++i)
        members.push_back({"d" + std::to_string(i % 100) + "/f" + std::to_string(i), ""});
    test::MakeFile(dir.Str(), "big.zip", test::ZipBytes(members, true));
    const TreeItem disk = Scan();
    const TreeItem zip = Folder(disk, "big.zip");
    ASSERT_NE(zip, kNoItem);
    EXPECT_EQ(set.Tree().Children(zip).size(), 100u);
    EXPECT_EQ(set.EntryCount(), 1u + 1u + 100u + 100000u);
    EXPECT_NE(EntryAt(set, disk, "big.zip/d7/f99907"), nullptr);
}

// An archive of thousands of members whose central directory breaks off
// near its end: libzip reads the directory entry by entry, and the lister
// asks whether to go on before every read, so a stop is heard long before
// the damage is reached.
TEST_F(ZipTest, AStopIsHeardWhileTheCentralDirectoryIsRead) {
    std::vector<ZipMember> members;
    for (int i = 0; i < 5000; ++i) members.push_back({"m/" + std::to_string(i), ""});
    std::string bytes = test::ZipBytes(members, false);
    const std::size_t lastEntry = bytes.rfind(std::string("PK\x01\x02", 4));
    ASSERT_NE(lastEntry, std::string::npos);
    bytes[lastEntry] = 'X';
    test::MakeFile(dir.Str(), "broken.zip", bytes);

    LocalClock clock;
    media::ZipLister lister(clock);
    test::TempDir out;
    const int outFd = ::open((out.Path() / "out.kvx").c_str(), O_WRONLY | O_CREAT, 0644);
    const int folder = ::open(dir.Str().c_str(), O_RDONLY | O_DIRECTORY);
    CatalogWriter writer(outFd);
    const media::ArchiveFile archive{folder, "broken.zip", static_cast<std::int64_t>(bytes.size()),
                                     0};
    std::uint64_t listed = 0;
    int asked = 0;
    EXPECT_EQ(lister.Write(archive, writer, listed, [&] { return ++asked < 0; }),
              media::ZipLister::Outcome::Stopped);
    EXPECT_EQ(asked, 1);
    asked = 0;
    EXPECT_EQ(lister.Write(archive, writer, listed, [&] { return ++asked > 0; }),
              media::ZipLister::Outcome::NotAZip);
    EXPECT_GT(asked, 1000);  // asked all through the directory
    writer.Flush();
    EXPECT_EQ(writer.Written(), 0u);
    ::close(folder);
    ::close(outFd);
}

}  // namespace
}  // namespace kestavo
