// SPDX-License-Identifier: GPL-3.0-or-later
#include "media/volume_label.h"

#include <unistd.h>

#include <vector>

#include "media/mount_detection.h"
#include "media/run_program.h"
#include "media/udisks_client.h"

namespace kestavo::media {
namespace {

// The label tool of a file system type, its arguments in order.
std::vector<std::string> LabelCommand(const Drive& drive, const std::string& label) {
    const std::string& type = drive.fsType;
    if (type == "ext2" || type == "ext3" || type == "ext4") return {"e2label", drive.device, label};
    if (type == "vfat" || type == "msdos") return {"fatlabel", drive.device, label};
    if (type == "exfat") return {"exfatlabel", drive.device, label};
    if (type == "ntfs" || type == "ntfs3") return {"ntfslabel", drive.device, label};
    if (type == "btrfs") return {"btrfs", "filesystem", "label", drive.directory, label};
    return {};
}

}  // namespace

bool SystemVolumeLabeler::SetLabel(const Drive& drive, const std::string& label) {
    if (drive.device.empty() || label.empty()) return false;
    if (std::unique_ptr<UDisksClient> udisks = UDisksClient::Connect()) {
        std::string error;
        if (udisks->SetLabel(drive.device, label, error)) return true;
    }
    if (::geteuid() != 0) return false;
    const std::vector<std::string> command = LabelCommand(drive, label);
    return !command.empty() && RunProgram(command) == 0;
}

}  // namespace kestavo::media

namespace kestavo::media {

std::string SystemVolumeLabeler::ReadLabel(const Drive& drive) {
    if (drive.device.empty()) return {};
    return SystemDeviceFacts().Label(drive.device);
}

}  // namespace kestavo::media
