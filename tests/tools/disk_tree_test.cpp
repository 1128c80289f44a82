// SPDX-License-Identifier: GPL-3.0-or-later
#include "tools/disk_tree.h"

#include <fcntl.h>
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include <chrono>
#include <filesystem>
#include <fstream>
#include <thread>

#include "support/test_support.h"
#include "tools_test_support.h"

namespace kestavo {
namespace {

namespace fs = std::filesystem;

// A tree of `folders` folders with `filesEach` files in each.
void MakeWideTree(const fs::path& root, int folders, int filesEach) {
    for (int f = 0; f < folders; ++f) {
        const fs::path folder = root / ("F" + std::to_string(f));
        fs::create_directories(folder / "sub");
        for (int i = 0; i < filesEach; ++i) std::ofstream(folder / ("file" + std::to_string(i)));
    }
}

// The tree as "path" lines, depth first in listing order.
std::vector<std::string> Lines(const DiskTree& tree) {
    std::vector<std::string> lines;
    std::vector<std::pair<std::uint32_t, std::string>> pending{{DiskTree::kRoot, ""}};
    while (!pending.empty()) {
        auto [folder, path] = pending.back();
        pending.pop_back();
        const auto entries = tree.Entries(folder);
        for (auto it = entries.rbegin(); it != entries.rend(); ++it) {
            const std::string child = path + "/" + std::string(tree.Name(*it));
            if (it->directory) pending.emplace_back(it->folder, child);
        }
        for (const DiskEntry& entry : entries)
            lines.push_back(path + "/" + std::string(tree.Name(entry)) +
                            (entry.directory ? "/" : ""));
    }
    std::sort(lines.begin(), lines.end());
    return lines;
}

TEST(DiskTreeTest, ReadsEveryEntryWithoutFollowingLinks) {
    test::TempDir dir;
    const fs::path disk = dir.Path() / "disk";
    fs::create_directories(disk / "DOCS" / "inner");
    std::ofstream(disk / "DOCS" / "inner" / "f.txt") << "12345";
    std::ofstream(disk / ".hidden") << "1";
    fs::create_directory_symlink(disk / "DOCS", disk / "link");
    DiskTree tree;
    ASSERT_EQ(ReadDiskTree(disk.string(), tree, {}, nullptr), DiskReadStatus::Read);
    EXPECT_EQ(Lines(tree), (std::vector<std::string>{"/.hidden", "/DOCS/", "/DOCS/inner/",
                                                     "/DOCS/inner/f.txt", "/link"}));
    // No directory is an empty disk; a directory that is gone is a failure.
    EXPECT_EQ(ReadDiskTree("", tree, {}, nullptr), DiskReadStatus::Read);
    EXPECT_TRUE(tree.Entries(DiskTree::kRoot).empty());
    EXPECT_EQ(ReadDiskTree((dir.Path() / "gone").string(), tree, {}, nullptr),
              DiskReadStatus::Failed);
    EXPECT_EQ(tree.Failure().reason, "No such file or directory");
}

// Read as an ordinary user: "Read", or "Failed: " and the reason.
std::string ReadAsOrdinaryUser(const fs::path& disk) {
    return test::AsOrdinaryUser([&] {
        DiskTree tree;
        return ReadDiskTree(disk.string(), tree, {}, nullptr) == DiskReadStatus::Read
                   ? std::string("Read")
                   : "Failed: " + tree.Failure().reason;
    });
}

TEST(DiskTreeTest, AFolderThatMayNotBeOpenedOrLookedIntoFailsTheRead) {
    test::TempDir dir;
    const fs::path disk = dir.Path() / "disk";
    fs::create_directories(disk / "sub" / "inner");
    std::ofstream(disk / "sub" / "a.txt") << "hi";
    fs::permissions(dir.Path(), fs::perms::owner_all | fs::perms::group_read |
                                    fs::perms::group_exec | fs::perms::others_read |
                                    fs::perms::others_exec);
    EXPECT_EQ(ReadAsOrdinaryUser(disk), "Read");
    // Not to be opened at all; listed, but its entries cannot be looked at.
    for (const fs::perms locked : {fs::perms::none, fs::perms::others_read}) {
        fs::permissions(disk / "sub", locked);
        EXPECT_EQ(ReadAsOrdinaryUser(disk), "Failed: Permission denied")
            << static_cast<int>(locked);
    }
    fs::permissions(disk / "sub", fs::perms::owner_all);
}

TEST(DiskTreeTest, ProgressSeesGrowingCountsAndCanStopTheRead) {
    test::TempDir dir;
    MakeWideTree(dir.Path(), 40, 50);
    std::vector<DiskReadCounts> seen;
    DiskTree tree;
    const auto record = [&](const DiskReadCounts& counts) {
        seen.push_back(counts);
        return true;
    };
    ASSERT_EQ(ReadDiskTree(dir.Str(), tree, record, nullptr), DiskReadStatus::Read);
    ASSERT_GE(seen.size(), 2u);
    EXPECT_EQ(seen.front().files, 0u);
    EXPECT_EQ(seen.front().folder, "/");
    for (std::size_t i = 1; i < seen.size(); ++i) {
        EXPECT_GE(seen[i].files, seen[i - 1].files);
        EXPECT_GE(seen[i].folders, seen[i - 1].folders);
    }
    EXPECT_EQ(seen.back().files, 40u * 50u);
    EXPECT_EQ(seen.back().folders, 80u);
    // Answering false stops the read.
    EXPECT_EQ(ReadDiskTree(
                  dir.Str(), tree, [](const DiskReadCounts&) { return false; }, nullptr),
              DiskReadStatus::Stopped);
}

TEST(DiskTreeTest, AStopFromAnotherThreadIsHonouredAtOnce) {
    test::TempDir dir;
    MakeWideTree(dir.Path(), 200, 100);
    std::atomic<bool> stop{false};
    std::atomic<bool> started{false};
    DiskTree tree;
    DiskReadStatus status = DiskReadStatus::Read;
    std::chrono::steady_clock::time_point ended;
    std::thread reader([&] {
        status = ReadDiskTree(
            dir.Str(), tree,
            [&](const DiskReadCounts&) {
                started = true;
                return true;
            },
            &stop);
        ended = std::chrono::steady_clock::now();
    });
    while (!started) std::this_thread::yield();
    std::this_thread::sleep_for(std::chrono::milliseconds(5));
    const auto asked = std::chrono::steady_clock::now();
    stop = true;
    reader.join();
    // Loose: the promise is 100 ms; a loaded test machine gets more.
    if (status == DiskReadStatus::Stopped)
        EXPECT_LT(ended - asked, std::chrono::milliseconds(500));
    else
        EXPECT_LT(ended - asked, std::chrono::milliseconds(0)) << "the read ended before the stop";
}

TEST(DiskTreeTest, ATreeDeeperThanThePathLimitIsReadWhole) {
    test::TempDir dir;
    constexpr int kDepth = 5000;  // paths of 10 000 characters
    const test::DeepChain chain(dir.Path(), kDepth);
    DiskTree tree;
    ASSERT_EQ(ReadDiskTree(dir.Str(), tree, {}, nullptr), DiskReadStatus::Read)
        << tree.Failure().reason;
    std::uint32_t folder = DiskTree::kRoot;
    for (int level = 0; level < kDepth; ++level) {
        ASSERT_EQ(tree.Entries(folder).size(), 1u) << level;
        folder = tree.Entries(folder)[0].folder;
    }
    ASSERT_EQ(tree.Entries(folder).size(), 1u);
    EXPECT_EQ(tree.Name(tree.Entries(folder)[0]), "f");
}

}  // namespace
}  // namespace kestavo
