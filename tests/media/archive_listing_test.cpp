// SPDX-License-Identifier: GPL-3.0-or-later
#include "media/archive_listing.h"

#include <fcntl.h>
#include <gtest/gtest.h>
#include <locale.h>
#include <unistd.h>

#include <chrono>
#include <limits>
#include <thread>

#include "catalog/file_data.h"
#include "media/catalog_new_disk.h"
#include "media/media_test_support.h"

namespace kestavo {
namespace {

using test::EntryAt;

// Runs a shell command line; false when it fails.
bool Shell(const std::string& command) {
    return test::RunProgram("/bin/sh", {}, {"-c", "{ " + command + "; } >/dev/null 2>&1"}).status ==
           0;
}

bool Have(const char* tool) {
    return Shell(std::string("command -v ") + tool);
}

std::string Quoted(const std::string& path) {
    return "'" + path + "'";
}

using SteadyClockPoint = std::chrono::steady_clock::time_point;

// Little-endian and big-endian halves of an ISO 9660 both-byte-order field.
void PutBothOrders(std::string& image, std::size_t at, std::uint32_t value) {
    for (int i = 0; i < 4; ++i) {
        image[at + i] = static_cast<char>(value >> (8 * i));
        image[at + 7 - i] = static_cast<char>(value >> (8 * i));
    }
}

// Makes the directory record `name` of the root directory point at the
// root's own extent: a directory that holds itself.
bool PointDirectoryAtRoot(std::string& image, const std::string& name) {
    constexpr std::size_t kSector = 2048, kRootRecord = 16 * kSector + 156;
    if (image.size() < kRootRecord + 34) return false;
    std::uint32_t root = 0;
    for (int i = 3; i >= 0; --i)
        root = root << 8 | static_cast<unsigned char>(image[kRootRecord + 2 + i]);
    std::size_t at = root * kSector;
    while (at + 33 < image.size() && at < (root + 1) * kSector && image[at] != 0) {
        const auto length = static_cast<unsigned char>(image[at]);
        const auto nameLength = static_cast<unsigned char>(image[at + 32]);
        if (image.compare(at + 33, nameLength, name) == 0) {
            PutBothOrders(image, at + 2, root);
            return true;
        }
        at += length;
    }
    return false;
}

constexpr std::int64_t kReportTime = 1200000000;
constexpr std::int64_t kDeepTime = 1200000100;

// A disk folder and, apart from it, the files the tests pack into archives.
class ArchiveTest : public ::testing::Test {
protected:
    void SetUp() override {
        test::MakeFile(src.Str(), "docs/report.txt", std::string(1234, 'r'), kReportTime);
        test::MakeFile(src.Str(), "docs/deep/x.bin", "12345", kDeepTime);
        test::MakeFile(src.Str(), "top.txt", std::string(77, 't'), 1200000200);
        test::MakeFile(src.Str(), "caf\xc3\xa9.txt", "cafe", 1200000300);
    }
    std::string Disk(const std::string& name) const { return (disk.Path() / name).string(); }
    // Packs the source files with `tool`, which writes to `output` ("@")
    // what it packs from the source folder.
    void Pack(const std::string& name, const std::string& command) {
        std::string line = "cd " + Quoted(src.Str()) + " && ";
        for (const char c : command) line += c == '@' ? Quoted(Disk(name)) : std::string(1, c);
        ASSERT_TRUE(Shell(line)) << line;
    }
    TreeItem Scan() { return test::ScanAndLoad(set, disk.Str(), "DISK", messages); }
    std::string ScanText(media::ScanResult& result,
                         media::ArchiveChoice choice = media::ArchiveChoice::Default) {
        return test::ScanToText(disk.Str(), "DISK", &result, {}, nullptr,
                                media::ScanFileAccess::System(), choice);
    }

    test::TempDir src;
    test::TempDir disk;
    CatalogSet set;
    test::RecordingMessages messages;
};

// Every format lists the same members: nested folders, uncompressed sizes,
// the members' times and UTF-8 names, and Open reaches the archive.
TEST_F(ArchiveTest, EveryFormatListsItsMembersAsNestedFoldersAndFiles) {
    if (!Have("7z") || !Have("genisoimage") || !Have("gcab") || !Have("zstd"))
        GTEST_SKIP() << "7z, genisoimage, gcab and zstd make the archives";
    const std::string all = "docs top.txt caf\xc3\xa9.txt";
    Pack("a.7z", "7z a -bd -y @ " + all);
    Pack("b.tar", "tar -cf @ " + all);
    Pack("c.tar.gz", "tar -czf @ " + all);
    Pack("d.TBZ2", "tar -cjf @ " + all);
    Pack("e.tar.xz", "tar -cJf @ " + all);
    Pack("f.tar.zst", "tar --zstd -cf @ " + all);
    Pack("g.iso", "genisoimage -quiet -R -J -o @ .");
    Pack("h.cab", "gcab -c @ docs/report.txt docs/deep/x.bin top.txt caf\xc3\xa9.txt");
    const TreeItem root = Scan();
    EXPECT_TRUE(messages.shown.empty());
    for (const char* name :
         {"a.7z", "b.tar", "c.tar.gz", "d.TBZ2", "e.tar.xz", "f.tar.zst", "g.iso", "h.cab"}) {
        SCOPED_TRACE(name);
        FileData* archive = EntryAt(set, root, name);
        ASSERT_NE(archive, nullptr);
        EXPECT_EQ(archive->GetKind(), KIND_ZIP_FOLDER);
        EXPECT_EQ(archive->Size(),
                  static_cast<std::int64_t>(std::filesystem::file_size(Disk(name))));
        const std::string at = std::string(name) + "/";
        FileData* report = EntryAt(set, root, at + "docs/report.txt");
        ASSERT_NE(report, nullptr);
        EXPECT_EQ(report->GetKind(), KIND_FILE);
        EXPECT_EQ(report->Size(), 1234);
        EXPECT_EQ(report->GetTime(), kReportTime);
        ASSERT_NE(EntryAt(set, root, at + "docs/deep/x.bin"), nullptr);
        EXPECT_EQ(EntryAt(set, root, at + "docs/deep/x.bin")->Size(), 5);
        EXPECT_EQ(EntryAt(set, root, at + "docs/deep/x.bin")->GetTime(), kDeepTime);
        EXPECT_NE(EntryAt(set, root, at + "top.txt"), nullptr);
        EXPECT_NE(EntryAt(set, root, at + "caf\xc3\xa9.txt"), nullptr);
        std::string archivePath;
        ASSERT_TRUE(set.ArchivePathOf(*report, archivePath));
        EXPECT_EQ(archivePath, "DISK/" + std::string(name));
    }
}

// 7-Zip keeps names as UTF-16, which libarchive turns into the locale's
// character set: a name must not be lost in a locale that cannot hold it.
TEST_F(ArchiveTest, NamesOutsideTheLocalesCharacterSetAreKept) {
    if (!Have("7z")) GTEST_SKIP() << "7z makes the archive";
    Pack("names.7z", "7z a -bd -y @ caf\xc3\xa9.txt top.txt");
    const locale_t plain = ::newlocale(LC_ALL_MASK, "C", locale_t{});
    ASSERT_TRUE(plain);
    const locale_t before = ::uselocale(plain);
    const TreeItem root = Scan();
    ::uselocale(before);
    ::freelocale(plain);
    EXPECT_EQ(test::EntryNames(set, set.Tree().FindChild(root, "names.7z")),
              (std::vector<std::string>{"caf\xc3\xa9.txt", "top.txt"}));
}

// Damaged, foreign and encrypted archives of each format are plain files,
// the scan goes on, and the message after it counts them.
TEST_F(ArchiveTest, HostileArchivesArePlainFilesAndAreCountedAfterTheScan) {
    if (!Have("7z") || !Have("genisoimage")) GTEST_SKIP() << "7z and genisoimage make archives";
    Pack("good.7z", "7z a -bd -y @ docs");
    Pack("whole.iso", "genisoimage -quiet -R -o @ .");
    Pack("whole.tar.gz", "tar -czf @ docs");
    const std::string good = test::ReadWholeFile(Disk("good.7z"));
    const std::string iso = test::ReadWholeFile(Disk("whole.iso"));
    const std::string gz = test::ReadWholeFile(Disk("whole.tar.gz"));
    test::MakeFile(disk.Str(), "cut.7z", good.substr(0, good.size() / 2));
    test::MakeFile(disk.Str(), "sig.7z",
                   std::string("7z\xbc\xaf\x27\x1c\0\4", 8) + std::string(300, 'x'));
    test::MakeFile(disk.Str(), "sig.rar",
                   std::string("Rar!\x1a\x07\x00", 7) + std::string(300, '\xff'));
    test::MakeFile(disk.Str(), "sig5.rar",
                   std::string("Rar!\x1a\x07\x01\x00", 8) + std::string(300, '\x80'));
    test::MakeFile(disk.Str(), "cut.tar.gz", gz.substr(0, gz.size() - 20));
    test::MakeFile(disk.Str(), "noise.tgz",
                   std::string("\x1f\x8b\x08\x00", 4) + std::string(500, 'n'));
    test::MakeFile(disk.Str(), "text.cab", "MSCF but not really a cabinet");
    test::MakeFile(disk.Str(), "empty.iso", "");
    // The DOCS directory record of the ISO points back at the root.
    std::string loop = iso;
    ASSERT_TRUE(PointDirectoryAtRoot(loop, "DOCS"));
    test::MakeFile(disk.Str(), "loop.iso", loop);
    Pack("secret.7z", "7z a -bd -y -psecret -mhe=on @ docs");
    Pack("hidden.7z", "7z a -bd -y -psecret @ docs");
    test::MakeFile(disk.Str(), "after.txt", "still read");

    media::ScanResult result;
    const std::string text = ScanText(result);
    EXPECT_EQ(result.status, media::ScanStatus::Done);
    test::LoadText(set, text, messages);
    const TreeItem root = set.Tree().FindChild(set.RootItem(), "DISK");
    const std::vector<std::string> hostile = {"cut.7z",     "sig.7z",    "sig.rar",  "sig5.rar",
                                              "cut.tar.gz", "noise.tgz", "text.cab", "empty.iso",
                                              "loop.iso",   "secret.7z", "hidden.7z"};
    for (const std::string& name : hostile) {
        SCOPED_TRACE(name);
        ASSERT_NE(EntryAt(set, root, name), nullptr);
        EXPECT_EQ(set.Tree().FindChild(root, name), kNoItem);  // a file, not a container
        EXPECT_EQ(EntryAt(set, root, name)->Size(),
                  static_cast<std::int64_t>(std::filesystem::file_size(Disk(name))));
    }
    EXPECT_NE(EntryAt(set, root, "good.7z/docs/report.txt"), nullptr);
    EXPECT_NE(EntryAt(set, root, "whole.iso/docs/report.txt"), nullptr);
    EXPECT_NE(EntryAt(set, root, "after.txt"), nullptr);
    EXPECT_EQ(result.unreadable.archives.count, hostile.size());
    EXPECT_EQ(result.unreadable.files.count, 0u);
    EXPECT_EQ(media::UnreadableEntriesText(result.unreadable),
              "11 archives could not be read: /cut.7z, /cut.tar.gz, /empty.iso, ...");
}

// The lister itself, with bounds small enough for a test to break them.
class BoundsTest : public ArchiveTest {
protected:
    media::ArchiveLister::Outcome List(const std::string& name, const media::ArchiveBounds& bounds,
                                       media::ArchiveChoice choice = media::ArchiveChoice::Default,
                                       const media::ArchiveLister::Tick& tick = {}) {
        media::ArchiveLister lister(clock);
        lister.SetBounds(bounds);
        lister.SetChoice(choice);
        const int fd = ::open((out.Path() / "out.kvx").c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
        const int folder = ::open(disk.Str().c_str(), O_RDONLY | O_DIRECTORY);
        CatalogWriter writer(fd);
        const media::ArchiveFile archive{
            folder, name.c_str(), static_cast<std::int64_t>(std::filesystem::file_size(Disk(name))),
            0};
        const media::ArchiveLister::Outcome outcome = lister.Write(archive, writer, members, tick);
        writer.Flush();
        written = writer.Written();
        ::close(folder);
        ::close(fd);
        return outcome;
    }

    LocalClock clock;
    test::TempDir out;
    std::uint64_t members = 0;
    std::uint64_t written = 0;
};

TEST_F(BoundsTest, MembersNameBytesDepthAndTimeAreBounded) {
    for (int i = 0; i < 40; ++i) test::MakeFile(src.Str(), "many/" + std::to_string(i), "");
    std::string deep = "d";
    for (int i = 0; i < 20; ++i) deep += "/d";
    test::MakeFile(src.Str(), deep + "/leaf", "x");
    Pack("many.tar", "tar -cf @ many");
    Pack("deep.tar", "tar -cf @ d");
    using Outcome = media::ArchiveLister::Outcome;
    const media::ArchiveBounds roomy;
    EXPECT_EQ(List("many.tar", roomy), Outcome::Listed);
    EXPECT_EQ(members, 41u);
    EXPECT_GT(written, 0u);
    media::ArchiveBounds few;
    few.members = 40;
    EXPECT_EQ(List("many.tar", few), Outcome::NotListed);
    EXPECT_EQ(written, 0u);
    media::ArchiveBounds shortNames;
    shortNames.nameBytes = 100;
    EXPECT_EQ(List("many.tar", shortNames), Outcome::NotListed);
    EXPECT_EQ(List("deep.tar", roomy), Outcome::Listed);
    media::ArchiveBounds shallow;
    shallow.depth = 20;
    EXPECT_EQ(List("deep.tar", shallow), Outcome::NotListed);
    media::ArchiveBounds hurried;
    hurried.baseMilliseconds = -1;
    hurried.bytesPerMillisecond = std::numeric_limits<std::int64_t>::max();
    EXPECT_EQ(List("many.tar", hurried), Outcome::NotListed);
    EXPECT_EQ(written, 0u);
}

// A compressed stream above the limit is left unread unless every archive
// is asked for; "zip" reads none of these formats.
TEST_F(BoundsTest, CompressedStreamsAboveTheLimitAreListedOnlyWhenAllAreAsked) {
    Pack("docs.tar.gz", "tar -czf @ docs");
    Pack("docs.tar", "tar -cf @ docs");
    using Outcome = media::ArchiveLister::Outcome;
    using media::ArchiveChoice;
    media::ArchiveBounds small;
    small.compressedLimit = 100;
    EXPECT_EQ(List("docs.tar.gz", small), Outcome::Skipped);
    EXPECT_EQ(written, 0u);
    EXPECT_EQ(List("docs.tar.gz", small, ArchiveChoice::All), Outcome::Listed);
    EXPECT_EQ(List("docs.tar", small), Outcome::Listed);  // nothing to decompress
    EXPECT_EQ(List("docs.tar.gz", {}), Outcome::Listed);
    EXPECT_EQ(List("docs.tar", {}, ArchiveChoice::ZipOnly), Outcome::Skipped);
}

// A tar member of 16 GiB of zeros, made of gzip members that each hold
// 64 MiB of them: listing it decompresses it whole. A stop is heard within
// one block of the file, and the time bound ends it too.
TEST_F(BoundsTest, AStopOrTheTimeBoundEndsTheReadingOfAGzipBombAtOnce) {
    const std::string zeros = Quoted((src.Path() / "zeros").string());
    const std::string chunk = Quoted((src.Path() / "chunk.gz").string());
    ASSERT_TRUE(
        Shell("truncate -s 16G " + zeros + " && head -c 64M /dev/zero | gzip -1 > " + chunk));
    Pack("bomb.tar.gz", "tar -cf - zeros | head -c 512 | gzip > @; for i in $(seq 256); do cat " +
                            chunk + "; done >> @");
    std::atomic<bool> stop{false};
    std::thread stopper([&] {
        std::this_thread::sleep_for(std::chrono::milliseconds(100));
        stop = true;
    });
    SteadyClockPoint stoppedAt{};
    const auto tick = [&] {
        if (!stop) return true;
        if (stoppedAt == SteadyClockPoint{}) stoppedAt = std::chrono::steady_clock::now();
        return false;
    };
    const auto outcome = List("bomb.tar.gz", {}, media::ArchiveChoice::All, tick);
    const auto ended = std::chrono::steady_clock::now();
    stopper.join();
    EXPECT_EQ(outcome, media::ArchiveLister::Outcome::Stopped);
    ASSERT_NE(stoppedAt, SteadyClockPoint{});
    EXPECT_LT(ended - stoppedAt, std::chrono::milliseconds(200));
    EXPECT_EQ(written, 0u);

    media::ArchiveBounds quick;
    quick.baseMilliseconds = 300;
    quick.bytesPerMillisecond = std::numeric_limits<std::int64_t>::max();
    const auto started = std::chrono::steady_clock::now();
    EXPECT_EQ(List("bomb.tar.gz", quick, media::ArchiveChoice::All),
              media::ArchiveLister::Outcome::NotListed);
    EXPECT_LT(std::chrono::steady_clock::now() - started, std::chrono::milliseconds(1500));
}

// Archives on the disk: which are read follows the choice of the scan.
TEST_F(ArchiveTest, TheScansChoiceSaysWhichArchivesAreRead) {
    Pack("docs.tar", "tar -cf @ docs");
    test::MakeZip(Disk("docs.zip"), {{"in/zip.txt", "z"}});
    media::ScanResult result;
    test::LoadText(set, ScanText(result, media::ArchiveChoice::ZipOnly), messages);
    const TreeItem root = set.Tree().FindChild(set.RootItem(), "DISK");
    EXPECT_NE(EntryAt(set, root, "docs.zip/in/zip.txt"), nullptr);
    EXPECT_EQ(set.Tree().FindChild(root, "docs.tar"), kNoItem);
    EXPECT_EQ(EntryAt(set, root, "docs.tar")->Size(),
              static_cast<std::int64_t>(std::filesystem::file_size(Disk("docs.tar"))));
    EXPECT_EQ(result.unreadable.archives.count, 0u);
    EXPECT_EQ(result.counts.files, 3u);  // the two archives and the zip's one member
}

// A folder named like an archive is one container with its contents'
// size, as for a folder named like a ZIP.
TEST_F(ArchiveTest, AFolderNamedLikeAnArchiveHoldsItsContentsSize) {
    test::MakeFile(disk.Str(), "backup.7z/part1", std::string(300, 'a'));
    test::MakeFile(disk.Str(), "backup.7z/sub/part2", std::string(200, 'b'));
    const TreeItem root = Scan();
    FileData* folder = EntryAt(set, root, "backup.7z");
    ASSERT_NE(folder, nullptr);
    EXPECT_EQ(folder->GetKind(), KIND_ZIP_FOLDER);
    EXPECT_EQ(folder->Size(), 500);
    EXPECT_NE(EntryAt(set, root, "backup.7z/sub/part2"), nullptr);
}

}  // namespace
}  // namespace kestavo
