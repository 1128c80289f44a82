// SPDX-License-Identifier: GPL-3.0-or-later
// Detecting the drive map from the mounted file systems: C: is "/", then
// every other file system on a block device or a network share, in order
// of mount path, gets the next letter from D:.
#pragma once

#include <string>
#include <string_view>
#include <vector>

#include "media/drive_map.h"

namespace kestavo::media {

// One line of /proc/self/mountinfo, with its escapes undone.
struct MountRecord {
    std::string device;  // "major:minor"
    std::string root;    // the folder of the file system mounted here
    std::string mountPoint;
    std::string fsType;
    std::string source;
};

std::vector<MountRecord> ParseMountInfo(std::string_view text);

// What the detection asks of the system about a block device, given as
// "major:minor" and its device path.
class DeviceFacts {
public:
    virtual ~DeviceFacts() = default;
    virtual bool IsBlockDevice(const std::string& majorMinor) = 0;
    virtual bool IsRemovable(const std::string& majorMinor) = 0;
    virtual bool IsOptical(const std::string& majorMinor) = 0;
    // The volume label: the udev by-label link, else a libblkid probe.
    virtual std::string Label(const std::string& devicePath) = 0;
    virtual bool IsDirectory(const std::string& path) = 0;
};

// The facts from sysfs, /dev/disk/by-label and libblkid.
class SystemDeviceFacts : public DeviceFacts {
public:
    bool IsBlockDevice(const std::string& majorMinor) override;
    bool IsRemovable(const std::string& majorMinor) override;
    bool IsOptical(const std::string& majorMinor) override;
    std::string Label(const std::string& devicePath) override;
    bool IsDirectory(const std::string& path) override;
};

bool IsNetworkFileSystem(std::string_view fsType);

// The drive map of the given mount table.
DriveMap DrivesFromMounts(const std::vector<MountRecord>& mounts, DeviceFacts& facts);
// The drive map of this process's mount table.
DriveMap DetectDrives();

// Undoes the \xHH escapes of udev link names.
std::string UnescapeUdevName(std::string_view name);

}  // namespace kestavo::media
