// SPDX-License-Identifier: GPL-3.0-or-later
#include "media/volume_scanner.h"

#include <gtest/gtest.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <atomic>
#include <chrono>
#include <filesystem>
#include <fstream>
#include <random>
#include <thread>

#include "catalog/catalog_reader.h"
#include "media/media_test_support.h"

namespace kestavo {
namespace {

using test::EntryAt;
using test::MakeFile;
using test::MakeFolder;

class ScannerTest : public ::testing::Test {
protected:
    TreeItem Scan(const std::string& label = "DISK") {
        return test::ScanAndLoad(set, dir.Str(), label, messages);
    }
    test::TempDir dir;
    CatalogSet set;
    test::RecordingMessages messages;
};

// A generated tree: every file and folder comes back with its name, size
// and date, in byte order within each folder.
TEST_F(ScannerTest, AGeneratedTreeReadsBackWithEveryNameSizeAndDate) {
    std::mt19937 random(7);
    struct Made {
        std::string path;
        std::int64_t size;
        std::int64_t time;
    };
    std::vector<Made> files;
    std::vector<std::string> folders = {""};
    for (int i = 0; i < 400; ++i) {
        const std::string& parent = folders[random() % folders.size()];
        const std::string name = (random() % 2 ? "f" : "F") + std::to_string(random() % 1000);
        const std::string path = parent.empty() ? name : parent + "/" + name;
        if (std::filesystem::exists(dir.Path() / path)) continue;
        if (random() % 5 == 0) {
            MakeFolder(dir.Str(), path);
            folders.push_back(path);
        } else {
            const std::int64_t time = 300000000 + static_cast<std::int64_t>(random() % 1500000000);
            const std::string content(random() % 300, 'x');
            MakeFile(dir.Str(), path, content, time);
            files.push_back({path, static_cast<std::int64_t>(content.size()), time});
        }
    }
    for (const std::string& f : folders) test::SetTime((dir.Path() / f).string(), 800000000);

    const TreeItem disk = Scan();
    ASSERT_NE(disk, kNoItem);
    EXPECT_TRUE(messages.shown.empty());
    for (const Made& f : files) {
        FileData* e = EntryAt(set, disk, f.path);
        ASSERT_NE(e, nullptr) << f.path;
        EXPECT_EQ(e->GetKind(), KIND_FILE);
        EXPECT_EQ(e->Size(), f.size) << f.path;
        EXPECT_EQ(e->GetTime(), f.time) << f.path;
    }
    for (const std::string& f : folders) {
        if (f.empty()) continue;
        FileData* e = EntryAt(set, disk, f);
        ASSERT_NE(e, nullptr) << f;
        EXPECT_EQ(e->GetKind(), KIND_FOLDER);
        EXPECT_EQ(e->GetTime(), 800000000);
        EXPECT_EQ(set.FreeSpaceOf(*e), 0);
        // Entries are filed in file order, which is byte order of the names.
        const std::vector<std::string> names = test::EntryNames(set, set.ItemOfEntry(*e));
        EXPECT_TRUE(std::is_sorted(names.begin(), names.end())) << f;
    }
    const std::vector<std::string> top = test::EntryNames(set, disk);
    EXPECT_TRUE(std::is_sorted(top.begin(), top.end()));
    // Nothing more: the disk's own entry stands in for the folder "".
    EXPECT_EQ(set.EntryCount(), files.size() + folders.size());
}

TEST_F(ScannerTest, TheDiskRecordCarriesTheFieldsAsPassed) {
    MakeFile(dir.Str(), "a", "1");
    const std::string text = test::ScanToText(dir.Str(), "MY DISK");
    EXPECT_NE(text.find("\r\n+\r\n\"MY DISK\" 1000 500 6 5 2024 7 8 9 <\r\n"), std::string::npos)
        << text;
    EXPECT_TRUE(text.ends_with(">\r\n"));
}

TEST_F(ScannerTest, ScandiskMapsTheRootThroughTheDriveMap) {
    MakeFile(dir.Str(), "a.txt", "1");
    const media::DriveMap drives = media::ParseDriveMap("E:|removable|X|" + dir.Str(), messages);
    test::TempDir out;
    const std::string path = (out.Path() / "s.kvx").string();
    std::FILE* file = std::fopen(path.c_str(), "wb");
    {
        CatalogWriter writer(::fileno(file));
        EXPECT_EQ(
            media::scandisk(drives, "E:/*", "WORK", 5, 4, 31, 12, 1999, 23, 59, 58, writer).status,
            media::ScanStatus::Done);
        EXPECT_EQ(
            media::scandisk(drives, "F:/*", "WORK", 5, 4, 31, 12, 1999, 23, 59, 58, writer).status,
            media::ScanStatus::RootUnreadable);
    }
    std::fclose(file);
    std::ifstream in(path, std::ios::binary);
    const std::string text((std::istreambuf_iterator<char>(in)), {});
    EXPECT_TRUE(text.starts_with("+\r\n\"WORK\" 5 4 31 12 1999 23 59 58 <\r\n\"a.txt\" 1 "))
        << text;
}

TEST_F(ScannerTest, FilesAndFoldersInterleaveInByteOrderAndHiddenEntriesCount) {
    MakeFile(dir.Str(), "b.txt", "");
    MakeFolder(dir.Str(), "B");
    MakeFile(dir.Str(), ".hidden", "");
    MakeFolder(dir.Str(), "a");
    MakeFile(dir.Str(), "\xc3\xa9t\xc3\xa9", "");
    const TreeItem disk = Scan();
    EXPECT_EQ(test::EntryNames(set, disk),
              (std::vector<std::string>{".hidden", "B", "a", "b.txt", "\xc3\xa9t\xc3\xa9"}));
}

TEST_F(ScannerTest, SymbolicLinksAreRecordedAsThemselvesAndNeverFollowed) {
    MakeFolder(dir.Str(), "real");
    MakeFile(dir.Str(), "real/inside", "12345");
    ASSERT_EQ(::symlink("real", (dir.Path() / "link").c_str()), 0);
    ASSERT_EQ(::symlink(".", (dir.Path() / "real/loop").c_str()), 0);
    ASSERT_EQ(::symlink("missing.zip", (dir.Path() / "dangling.zip").c_str()), 0);
    const TreeItem disk = Scan();
    FileData* link = EntryAt(set, disk, "link");
    ASSERT_NE(link, nullptr);
    EXPECT_EQ(link->GetKind(), KIND_FILE);
    EXPECT_EQ(link->Size(), 4);  // the length of its target text
    EXPECT_EQ(set.Tree().FindChild(disk, "link"), kNoItem);
    EXPECT_NE(EntryAt(set, disk, "real/loop"), nullptr);
    FileData* dangling = EntryAt(set, disk, "dangling.zip");
    ASSERT_NE(dangling, nullptr);
    EXPECT_EQ(dangling->GetKind(), KIND_FILE);
}

TEST_F(ScannerTest, NamesWithQuotesAndWhiteSpaceAreWrittenNormalised) {
    MakeFile(dir.Str(), "say \"hi\".txt", "abc");
    MakeFile(dir.Str(), "  two  blanks\tand tab ", "ab");
    MakeFolder(dir.Str(), "folder\nwith line break");
    MakeFile(dir.Str(), "folder\nwith line break/x", "a");
    const TreeItem disk = Scan();
    EXPECT_EQ(EntryAt(set, disk, "say 'hi'.txt")->Size(), 3);
    EXPECT_EQ(EntryAt(set, disk, "two blanks and tab ")->Size(), 2);
    EXPECT_EQ(EntryAt(set, disk, "folder with line break/x")->Size(), 1);
    EXPECT_TRUE(messages.shown.empty());
}

TEST_F(ScannerTest, DeepNestingNeedsNoRecursion) {
    std::string path;
    for (int i = 0; i < 300; ++i) path += (path.empty() ? "" : "/") + std::string("d");
    std::filesystem::create_directories(dir.Path() / path);
    MakeFile(dir.Str(), path + "/deep.txt", "z");
    const TreeItem disk = Scan();
    EXPECT_NE(EntryAt(set, disk, path + "/deep.txt"), nullptr);
}

// The scan's catalog text, made by a process without the superuser's right
// to read every folder.
std::string ScanAsOrdinaryUser(const std::string& directory) {
    if (::geteuid() != 0) return test::ScanToText(directory, "DISK");
    int ends[2];
    if (::pipe(ends) != 0) return {};
    const pid_t child = ::fork();
    if (child == 0) {
        ::close(ends[0]);
        if (::setgid(65534) != 0 || ::setuid(65534) != 0) ::_exit(1);
        const std::string text = test::ScanToText(directory, "DISK");
        const bool written =
            ::write(ends[1], text.data(), text.size()) == static_cast<ssize_t>(text.size());
        ::_exit(written ? 0 : 1);
    }
    ::close(ends[1]);
    std::string text;
    char buffer[4096];
    ssize_t n = 0;
    while ((n = ::read(ends[0], buffer, sizeof buffer)) > 0)
        text.append(buffer, static_cast<std::size_t>(n));
    ::close(ends[0]);
    int status = 0;
    ::waitpid(child, &status, 0);
    return status == 0 ? text : std::string();
}

TEST_F(ScannerTest, AnUnreadableFolderIsWrittenEmptyAndTheWalkGoesOn) {
    MakeFile(dir.Str(), "closed/secret", "s");
    MakeFile(dir.Str(), "open/visible", "v");
    std::filesystem::permissions(dir.Path(), std::filesystem::perms::all);
    ::chmod((dir.Path() / "closed").c_str(), 0);
    const std::string text = ScanAsOrdinaryUser(dir.Str());
    ::chmod((dir.Path() / "closed").c_str(), 0755);
    ASSERT_FALSE(text.empty());
    ASSERT_EQ(test::LoadText(set, text, messages), LoadOutcome::Loaded);
    const TreeItem disk = set.Tree().FindChild(set.RootItem(), "DISK");
    EXPECT_NE(EntryAt(set, disk, "closed"), nullptr);
    EXPECT_EQ(EntryAt(set, disk, "closed/secret"), nullptr);
    EXPECT_NE(EntryAt(set, disk, "open/visible"), nullptr);
}

TEST_F(ScannerTest, ARootThatCannotBeOpenedWritesNothing) {
    media::ScanResult result;
    const std::string text = test::ScanToText((dir.Path() / "absent").string(), "X", &result);
    EXPECT_EQ(result.status, media::ScanStatus::RootUnreadable);
    EXPECT_EQ(text.find('+'), std::string::npos);
}

TEST_F(ScannerTest, ProgressCountsFoldersAndFilesAndCanStopTheScan) {
    for (int i = 0; i < 5; ++i) MakeFile(dir.Str(), "f" + std::to_string(i) + "/x", "1");
    test::TempDir out;
    const std::string path = (out.Path() / "p.kvx").string();
    std::FILE* file = std::fopen(path.c_str(), "wb");
    CatalogWriter writer(::fileno(file));
    std::vector<media::ScanCounts> seen;
    const media::ScanResult all =
        media::ScanVolume(dir.Str(), {}, writer, [&](const media::ScanCounts& c) {
            seen.push_back(c);
            return true;
        });
    EXPECT_EQ(all.status, media::ScanStatus::Done);
    EXPECT_EQ(all.counts.folders, 6u);
    EXPECT_EQ(all.counts.files, 5u);
    ASSERT_FALSE(seen.empty());
    EXPECT_EQ(seen.back().folders, 6u);
    const media::ScanResult stopped = media::ScanVolume(
        dir.Str(), {}, writer, [](const media::ScanCounts& c) { return c.folders < 3; });
    EXPECT_EQ(stopped.status, media::ScanStatus::Stopped);
    EXPECT_LT(stopped.counts.files, 5u);
    std::fclose(file);
}

// A slow progress callback makes every look at the clock due: inside one
// big folder and one big archive the walk still reports, naming the
// archive while it is read, and a stop asked from the callback ends it at
// the next entry.
TEST_F(ScannerTest, ProgressComesInsideBigFoldersAndArchivesAndAStopEndsThemAtOnce) {
    MakeFolder(dir.Str(), "big");
    for (int i = 0; i < 2000; ++i) std::ofstream(dir.Str() + "/big/f" + std::to_string(i));
    std::vector<test::ZipMember> members;
    for (int i = 0; i < 2000; ++i) members.push_back({"m/" + std::to_string(i), ""});
    MakeFile(dir.Str(), "z/a.zip", test::ZipBytes(members, false));

    std::vector<media::ScanCounts> reports;
    const media::ScanProgress slow = [&](const media::ScanCounts& c) {
        reports.push_back(c);
        std::this_thread::sleep_for(std::chrono::milliseconds(51));
        return true;
    };
    media::ScanResult result;
    test::ScanToText(dir.Str(), "D", &result, slow);
    ASSERT_EQ(result.status, media::ScanStatus::Done);
    const auto in = [&](const std::string& folder) {
        return std::count_if(reports.begin(), reports.end(),
                             [&](const auto& c) { return c.folder == folder; });
    };
    EXPECT_GE(in("/big"), 20);  // every 32 entries or so
    EXPECT_GE(in("/z/a.zip"), 20);

    std::atomic<bool> stop = false;
    std::uint64_t filesAtStop = 0;
    const media::ScanProgress stopInZip = [&](const media::ScanCounts& c) {
        if (c.folder == "/z/a.zip" && !stop) {
            filesAtStop = c.files;
            stop = true;
        }
        std::this_thread::sleep_for(std::chrono::milliseconds(51));
        return true;
    };
    test::ScanToText(dir.Str(), "D", &result, stopInZip, &stop);
    EXPECT_EQ(result.status, media::ScanStatus::Stopped);
    EXPECT_LE(result.counts.files, filesAtStop + 1);
}

}  // namespace
}  // namespace kestavo
