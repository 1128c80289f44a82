// SPDX-License-Identifier: GPL-3.0-or-later
// Learning that file systems were mounted or unmounted: from UDisks2 on the
// system bus where its service runs, else from the mount table of this
// process. A watch gives a descriptor to poll; the caller polls it with its
// own loop and drains the watch when the descriptor is ready.
#pragma once

#include <memory>
#include <string>
#include <vector>

namespace kestavo::media {

// What a watch learnt since it was last drained.
struct MountChange {
    // Something was mounted or unmounted: the drive map is to be read again.
    bool mountsChanged = false;
    // Block devices ("/dev/sdb1") that UDisks2 has begun to unmount.
    std::vector<std::string> unmounting;
    // The watch no longer works (the bus went away); another must take over.
    bool lost = false;
};

class MountWatch {
public:
    virtual ~MountWatch() = default;
    // The descriptor to poll, and the poll() events to wait for on it.
    virtual int Descriptor() const = 0;
    virtual short Events() const = 0;
    // Called when poll() reported the events on the descriptor; never
    // blocks.
    virtual MountChange Drain() = 0;
};

// The mount table at `path` (poll() reports POLLPRI when it changes); null
// when it cannot be opened.
std::unique_ptr<MountWatch> WatchMountTable(const std::string& path = "/proc/self/mountinfo");

// UDisks2's signals on the system bus (DBUS_SYSTEM_BUS_ADDRESS when set):
// objects added and removed, mount points changed, unmount jobs begun. Null
// when there is no system bus or no UDisks2 service on it.
std::unique_ptr<MountWatch> WatchUDisks();

// UDisks2 where it runs, else the mount table; null when neither works.
std::unique_ptr<MountWatch> WatchMounts();

}  // namespace kestavo::media
