// SPDX-License-Identifier: GPL-3.0-or-later
// Helpers for the tests of the tools: reports captured as text.
#pragma once

#include <fcntl.h>
#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <string>

#include "catalog/size_unit.h"
#include "tools/report_writer.h"

namespace kestavo::test {

// The bytes a tool's WriteReport produces.
template <class Tool>
std::string ReportOf(const Tool& tool) {
    char* data = nullptr;
    std::size_t size = 0;
    std::FILE* memory = ::open_memstream(&data, &size);
    {
        ReportWriter report(memory);
        const_cast<Tool&>(tool).WriteReport(report);
    }
    std::fclose(memory);
    std::string text(data, size);
    std::free(data);
    return text;
}

// Puts the size unit back to bytes when a test ends.
class SizeUnitGuard {
public:
    ~SizeUnitGuard() { SetSizeUnit(kUnitByte); }
};

// Builds a chain of `depth` folders "d" below `top` without paths longer than
// the system allows, and removes it again.
class DeepChain {
public:
    DeepChain(const std::filesystem::path& top, int depth) : top_(top) {
        int fd = ::open(top.c_str(), O_RDONLY | O_DIRECTORY);
        for (int i = 0; i < depth; ++i) {
            ::mkdirat(fd, "d", 0755);
            const int next = ::openat(fd, "d", O_RDONLY | O_DIRECTORY);
            ::close(fd);
            fd = next;
        }
        ::close(::openat(fd, "f", O_CREAT | O_WRONLY, 0644));
        ::close(fd);
    }
    // Lifts each second level up in turn, so that no long path is needed.
    ~DeepChain() {
        const std::filesystem::path d = top_ / "d", dd = top_ / "d" / "d", lifted = top_ / "lifted";
        while (std::filesystem::exists(dd)) {
            std::filesystem::rename(dd, lifted);
            std::filesystem::remove_all(d);
            std::filesystem::rename(lifted, d);
        }
        std::filesystem::remove_all(d);
    }

private:
    std::filesystem::path top_;
};

}  // namespace kestavo::test
