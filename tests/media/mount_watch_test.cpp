// SPDX-License-Identifier: GPL-3.0-or-later
// The mount watch against a stand-in UDisks2 service on a private system
// bus, and its fall-back to the mount table where no UDisks2 runs.
#include "media/mount_watch.h"

#include <gtest/gtest.h>
#include <poll.h>

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <optional>
#include <thread>

#include "media/run_program.h"
#include "support/test_support.h"

namespace kestavo {
namespace {

using namespace std::chrono_literals;

// Sets an environment variable for one test and puts the old value back.
class ScopedEnv {
public:
    ScopedEnv(const char* name, const std::string& value) : name_(name) {
        if (const char* old = std::getenv(name)) old_ = old;
        ::setenv(name, value.c_str(), 1);
    }
    ~ScopedEnv() {
        if (old_)
            ::setenv(name_, old_->c_str(), 1);
        else
            ::unsetenv(name_);
    }
    ScopedEnv(const ScopedEnv&) = delete;
    ScopedEnv& operator=(const ScopedEnv&) = delete;

private:
    const char* name_;
    std::optional<std::string> old_;
};

constexpr const char* kBlock = "/org/freedesktop/UDisks2/block_devices/kvtest1";

// The stand-in service: its own bus, a block object for /dev/kvtest1, and the
// signals it is told to send.
class UDisksMock {
public:
    explicit UDisksMock(const test::TempDir& dir) : ready_(dir.Str() + "/bus") {
        if (media::RunProgram({"/usr/bin/python3", "-c", "import dbusmock"}) != 0) return;
        const std::string command =
            "/usr/bin/python3 '" KESTAVO_UDISKS_MOCK "' '" + ready_ + "' >/dev/null";
        service_ = ::popen(command.c_str(), "w");
        for (int i = 0; service_ && i < 300 && !std::filesystem::exists(ready_); ++i)
            std::this_thread::sleep_for(50ms);
        if (std::filesystem::exists(ready_))
            bus_.emplace("DBUS_SYSTEM_BUS_ADDRESS", test::ReadWholeFile(ready_));
    }
    ~UDisksMock() {
        if (service_) ::pclose(service_);
    }
    UDisksMock(const UDisksMock&) = delete;
    UDisksMock& operator=(const UDisksMock&) = delete;

    bool Runs() const { return bus_.has_value(); }
    void Send(const std::string& line) {
        std::fputs((line + "\n").c_str(), service_);
        std::fflush(service_);
    }

private:
    std::string ready_;
    std::FILE* service_ = nullptr;
    std::optional<ScopedEnv> bus_;
};

// Polls and drains the watch until it reports a change or five seconds pass.
media::MountChange NextChange(media::MountWatch& watch) {
    const auto end = std::chrono::steady_clock::now() + 5s;
    while (std::chrono::steady_clock::now() < end) {
        pollfd ready{watch.Descriptor(), watch.Events(), 0};
        if (::poll(&ready, 1, 100) <= 0) continue;
        media::MountChange change = watch.Drain();
        if (change.mountsChanged || change.lost) return change;
    }
    return {};
}

TEST(MountWatchTest, UDisksSignalsReportMountsAndTheDevicesOfUnmountJobs) {
    test::TempDir dir;
    UDisksMock udisks(dir);
    if (!udisks.Runs()) GTEST_SKIP() << "python3-dbusmock is not installed";
    std::unique_ptr<media::MountWatch> watch = media::WatchMounts();
    ASSERT_NE(watch, nullptr);
    EXPECT_EQ(watch->Events() & POLLPRI, 0) << "UDisks2 runs, so its signals are watched";

    udisks.Send(std::string("mounted ") + kBlock);
    media::MountChange change = NextChange(*watch);
    EXPECT_TRUE(change.mountsChanged);
    EXPECT_TRUE(change.unmounting.empty());

    udisks.Send(std::string("added ") + kBlock + "_2");
    EXPECT_TRUE(NextChange(*watch).mountsChanged);

    // The device is read from the block object, else taken from its name.
    udisks.Send(std::string("unmount ") + kBlock);
    udisks.Send("unmount /org/freedesktop/UDisks2/block_devices/sdz9");
    std::vector<std::string> unmounting;
    for (int i = 0; i < 2 && unmounting.size() < 2; ++i) {
        change = NextChange(*watch);
        unmounting.insert(unmounting.end(), change.unmounting.begin(), change.unmounting.end());
    }
    EXPECT_EQ(unmounting, (std::vector<std::string>{"/dev/kvtest1", "/dev/sdz9"}));
}

TEST(MountWatchTest, WithoutUDisksTheMountTableIsWatched) {
    test::TempDir dir;
    {
        ScopedEnv noBus("DBUS_SYSTEM_BUS_ADDRESS", "unix:path=" + dir.Str() + "/no-bus");
        EXPECT_EQ(media::WatchUDisks(), nullptr);
        std::unique_ptr<media::MountWatch> watch = media::WatchMounts();
        ASSERT_NE(watch, nullptr);
        EXPECT_EQ(watch->Events(), POLLPRI);
    }
    EXPECT_EQ(media::WatchMountTable(dir.Str() + "/missing"), nullptr);
}

}  // namespace
}  // namespace kestavo
