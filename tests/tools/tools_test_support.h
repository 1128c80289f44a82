// SPDX-License-Identifier: GPL-3.0-or-later
// Helpers for the tests of the tools: reports captured as text.
#pragma once

#include <fcntl.h>
#include <sys/wait.h>
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

// What `work` answers when run by an ordinary user (nobody), who, unlike the
// superuser, is kept out of folders by their permissions: in a child process
// when the test runs as the superuser. Empty when the child failed.
template <class Work>
std::string AsOrdinaryUser(Work&& work) {
    if (::geteuid() != 0) return work();
    int ends[2];
    if (::pipe(ends) != 0) return {};
    const pid_t child = ::fork();
    if (child == 0) {
        ::close(ends[0]);
        if (::setgid(65534) != 0 || ::setuid(65534) != 0) ::_exit(1);
        const std::string text = work();
        const bool written =
            ::write(ends[1], text.data(), text.size()) == static_cast<ssize_t>(text.size());
        ::_exit(written ? 0 : 1);
    }
    ::close(ends[1]);
    std::string text;
    char buffer[4096];
    for (ssize_t n; (n = ::read(ends[0], buffer, sizeof buffer)) > 0;)
        text.append(buffer, static_cast<std::size_t>(n));
    ::close(ends[0]);
    int status = 0;
    ::waitpid(child, &status, 0);
    return WIFEXITED(status) && WEXITSTATUS(status) == 0 ? text : std::string();
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
