// SPDX-License-Identifier: GPL-3.0-or-later
#include "catalog/directory_lister.h"

#include <fcntl.h>
#include <gtest/gtest.h>
#include <unistd.h>

#include <cerrno>
#include <filesystem>
#include <set>
#include <string>

#include "support/test_support.h"

namespace kestavo {
namespace {

namespace fs = std::filesystem;

// Names long enough that a listing takes several reads of the buffer.
void Fill(const test::TempDir& dir, int files, int folders) {
    for (int i = 0; i < files; ++i)
        dir.Write("file-" + std::to_string(i) + "-" + std::string(60, 'x'), "");
    for (int i = 0; i < folders; ++i)
        fs::create_directory(dir.Path() / ("folder-" + std::to_string(i)));
}

TEST(DirectoryListerTest, ListsWhatTheStandardLibraryListsWithTheirTypes) {
    test::TempDir dir;
    Fill(dir, 3000, 20);
    std::set<std::string> expected;
    for (const auto& item : fs::directory_iterator(dir.Path()))
        expected.insert(item.path().filename().string());
    std::multiset<std::string> listed;
    DirectoryLister lister;
    std::size_t wrongTypes = 0;
    const int error = lister.List(dir.Str(), [&](const ListedName& item) {
        listed.insert(item.name);
        const unsigned char type = fs::is_directory(dir.Path() / item.name) ? DT_DIR : DT_REG;
        if (item.type != DT_UNKNOWN && item.type != type) ++wrongTypes;
        return true;
    });
    EXPECT_EQ(error, 0);
    EXPECT_EQ(wrongTypes, 0u);
    EXPECT_EQ(std::set<std::string>(listed.begin(), listed.end()), expected);
    EXPECT_EQ(listed.size(), expected.size());  // each once, "." and ".." left out
    // The same lister lists again, from a descriptor the caller holds.
    const int fd = ::open(dir.Str().c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    ASSERT_GE(fd, 0);
    std::size_t count = 0;
    EXPECT_EQ(lister.List(fd, [&](const ListedName&) { return ++count, true; }), 0);
    EXPECT_EQ(count, expected.size());
    ::close(fd);
}

TEST(DirectoryListerTest, TheVisitEndsTheListingAndFailuresGiveTheirErrors) {
    test::TempDir dir;
    Fill(dir, 50, 0);
    int visits = 0;
    EXPECT_EQ(DirectoryLister().List(dir.Str(), [&](const ListedName&) { return ++visits < 5; }),
              0);
    EXPECT_EQ(visits, 5);
    EXPECT_EQ(
        DirectoryLister().List(dir.Str() + "/missing", [](const ListedName&) { return true; }),
        ENOENT);
    const std::string file = dir.Write("plain", "x");
    EXPECT_EQ(DirectoryLister().List(file, [](const ListedName&) { return true; }), ENOTDIR);
    const int fd = ::open(file.c_str(), O_RDONLY | O_CLOEXEC);
    ASSERT_GE(fd, 0);
    EXPECT_EQ(DirectoryLister().List(fd, [](const ListedName&) { return true; }), ENOTDIR);
    ::close(fd);
    test::TempDir empty;
    EXPECT_EQ(DirectoryLister().List(empty.Str(), [](const ListedName&) { return false; }), 0);
}

}  // namespace
}  // namespace kestavo
