// SPDX-License-Identifier: GPL-3.0-or-later
// Tests run in UTC under a UTF-8 locale whose dates read 10/07/98 14:30:05,
// with a cache directory of their own (never the user's), removed at the end.
#include <gtest/gtest.h>

#include <clocale>
#include <cstdlib>
#include <ctime>
#include <filesystem>
#include <string>

int main(int argc, char** argv) {
    setenv("TZ", "UTC", 1);
    tzset();
    std::setlocale(LC_ALL, "C.UTF-8");
    std::string cache = (std::filesystem::temp_directory_path() / "kestavo-cache-XXXXXX").string();
    const bool ownCache = ::mkdtemp(cache.data()) != nullptr;
    // Without one, a directory that cannot be made: caches are not written.
    setenv("XDG_CACHE_HOME", ownCache ? cache.c_str() : "/dev/null/kestavo-test-cache", 1);
    ::testing::InitGoogleTest(&argc, argv);
    const int status = RUN_ALL_TESTS();
    std::error_code ignored;
    if (ownCache) std::filesystem::remove_all(cache, ignored);
    return status;
}
