// SPDX-License-Identifier: GPL-3.0-or-later
#include "media/mount_detection.h"

#include <blkid/blkid.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <fstream>
#include <map>
#include <memory>
#include <set>
#include <sstream>

#include "catalog/directory_lister.h"

namespace kestavo::media {
namespace {

// mountinfo writes blank, tab, newline and backslash as \ooo.
std::string UnescapeMountField(std::string_view field) {
    std::string out;
    out.reserve(field.size());
    for (std::size_t i = 0; i < field.size(); ++i) {
        if (field[i] == '\\' && i + 3 < field.size()) {
            const std::string_view digits = field.substr(i + 1, 3);
            if (std::all_of(digits.begin(), digits.end(),
                            [](char c) { return c >= '0' && c <= '7'; })) {
                out += static_cast<char>((digits[0] - '0') * 64 + (digits[1] - '0') * 8 +
                                         (digits[2] - '0'));
                i += 3;
                continue;
            }
        }
        out += field[i];
    }
    return out;
}

std::vector<std::string_view> SplitBlanks(std::string_view line) {
    std::vector<std::string_view> words;
    std::size_t i = 0;
    while (i < line.size()) {
        while (i < line.size() && line[i] == ' ') ++i;
        const std::size_t start = i;
        while (i < line.size() && line[i] != ' ') ++i;
        if (i > start) words.push_back(line.substr(start, i - start));
    }
    return words;
}

std::string ReadSmallFile(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    std::ostringstream text;
    text << in.rdbuf();
    return text.str();
}

std::string SysBlock(const std::string& majorMinor) {
    return "/sys/dev/block/" + majorMinor;
}

// The sysfs folder of the whole disk of a device: the partition's parent
// when the device is a partition.
std::string WholeDiskFolder(const std::string& majorMinor) {
    const std::string folder = SysBlock(majorMinor);
    struct stat st {};
    if (::stat((folder + "/partition").c_str(), &st) == 0) return folder + "/..";
    return folder;
}

std::string ResolvedPath(const std::string& path) {
    std::unique_ptr<char, void (*)(void*)> real(::realpath(path.c_str(), nullptr), std::free);
    return real ? std::string(real.get()) : std::string();
}

bool StartsWith(std::string_view text, std::string_view prefix) {
    return text.starts_with(prefix);
}

// The folder name of media that desktops mount as /media/USER/NAME or
// /run/media/USER/NAME.
std::string MediaFolderName(const std::string& mountPoint) {
    for (std::string_view base : {"/media/", "/run/media/"}) {
        if (!StartsWith(mountPoint, base)) continue;
        const std::string_view rest = std::string_view(mountPoint).substr(base.size());
        const std::size_t slash = rest.find('/');
        if (slash == std::string_view::npos || slash == 0) continue;
        const std::string_view name = rest.substr(slash + 1);
        if (!name.empty() && name.find('/') == std::string_view::npos) return std::string(name);
    }
    return {};
}

bool IsHiddenSystemMount(const MountRecord& m) {
    for (std::string_view base : {"/proc", "/sys", "/dev"})
        if (m.mountPoint == base || StartsWith(m.mountPoint, std::string(base) + "/")) return true;
    return m.fsType == "squashfs" && StartsWith(m.mountPoint, "/snap/");
}

}  // namespace

std::vector<MountRecord> ParseMountInfo(std::string_view text) {
    std::vector<MountRecord> mounts;
    while (!text.empty()) {
        const std::size_t end = std::min(text.find('\n'), text.size());
        const std::vector<std::string_view> words = SplitBlanks(text.substr(0, end));
        text.remove_prefix(std::min(end + 1, text.size()));
        // id parent major:minor root mountpoint options [optional...] - type source superoptions
        const auto dash = std::find(words.begin(), words.end(), "-");
        if (words.size() < 6 || dash == words.end() || dash - words.begin() < 6 ||
            words.end() - dash < 3)
            continue;
        MountRecord m;
        m.device = std::string(words[2]);
        m.root = UnescapeMountField(words[3]);
        m.mountPoint = UnescapeMountField(words[4]);
        m.fsType = UnescapeMountField(dash[1]);
        m.source = UnescapeMountField(dash[2]);
        mounts.push_back(std::move(m));
    }
    return mounts;
}

bool IsNetworkFileSystem(std::string_view fsType) {
    static const std::set<std::string_view> kNetwork = {
        "nfs",   "nfs4",        "cifs",      "smb3",           "smbfs",      "ncpfs",
        "afs",   "ceph",        "glusterfs", "fuse.glusterfs", "fuse.sshfs", "sshfs",
        "davfs", "fuse.davfs2", "9p",        "fuse.rclone"};
    return kNetwork.count(fsType) > 0;
}

DriveMap DrivesFromMounts(const std::vector<MountRecord>& mounts, DeviceFacts& facts) {
    // A later mount on the same mount point hides the earlier one.
    std::map<std::string, const MountRecord*> byMountPoint;
    for (const MountRecord& m : mounts) byMountPoint[m.mountPoint] = &m;

    DriveMap map;
    auto describe = [&facts](const MountRecord& m, char letter) {
        Drive d;
        d.letter = letter;
        d.directory = m.mountPoint;
        d.fsType = m.fsType;
        if (IsNetworkFileSystem(m.fsType)) {
            d.type = DriveType::Remote;
            return d;
        }
        if (facts.IsBlockDevice(m.device) && StartsWith(m.source, "/dev/")) d.device = m.source;
        if (m.fsType == "iso9660" || m.fsType == "udf" || facts.IsOptical(m.device))
            d.type = DriveType::Cdrom;
        else if (m.fsType == "tmpfs" || m.fsType == "ramfs")
            d.type = DriveType::Ramdisk;
        else if (facts.IsRemovable(m.device))
            d.type = DriveType::Removable;
        else
            d.type = DriveType::Fixed;
        if (!d.device.empty()) d.label = facts.Label(d.device);
        if (d.label.empty()) d.label = MediaFolderName(m.mountPoint);
        return d;
    };

    std::set<std::pair<std::string, std::string>> seenFileSystems;
    if (auto root = byMountPoint.find("/"); root != byMountPoint.end()) {
        map.Add(describe(*root->second, 'C'));
        seenFileSystems.insert({root->second->device, root->second->root});
    }
    char next = 'D';
    for (const auto& [mountPoint, m] : byMountPoint) {  // in order of mount path
        if (next > 'Z') break;
        if (mountPoint == "/" || IsHiddenSystemMount(*m)) continue;
        const bool network = IsNetworkFileSystem(m->fsType);
        const bool block = StartsWith(m->source, "/dev/") && facts.IsBlockDevice(m->device);
        if (!network && !block) continue;
        // The same folder of one file system mounted again (a bind mount).
        if (!seenFileSystems.insert({m->device, m->root}).second) continue;
        if (!facts.IsDirectory(mountPoint)) continue;  // a file bound over a file
        map.Add(describe(*m, next++));
    }
    return map;
}

DriveMap DetectDrives() {
    SystemDeviceFacts facts;
    return DrivesFromMounts(ParseMountInfo(ReadSmallFile("/proc/self/mountinfo")), facts);
}

bool SystemDeviceFacts::IsBlockDevice(const std::string& majorMinor) {
    struct stat st {};
    return ::stat(SysBlock(majorMinor).c_str(), &st) == 0;
}

bool SystemDeviceFacts::IsRemovable(const std::string& majorMinor) {
    const std::string disk = WholeDiskFolder(majorMinor);
    if (ReadSmallFile(disk + "/removable").starts_with("1")) return true;
    return ResolvedPath(disk).find("/usb") != std::string::npos;
}

bool SystemDeviceFacts::IsOptical(const std::string& majorMinor) {
    // SCSI peripheral type 5 is a CD/DVD drive.
    return ReadSmallFile(WholeDiskFolder(majorMinor) + "/device/type").starts_with("5");
}

std::string UnescapeUdevName(std::string_view name) {
    std::string out;
    auto hex = [](char c) -> int {
        if (c >= '0' && c <= '9') return c - '0';
        if (c >= 'a' && c <= 'f') return c - 'a' + 10;
        if (c >= 'A' && c <= 'F') return c - 'A' + 10;
        return -1;
    };
    for (std::size_t i = 0; i < name.size(); ++i) {
        if (name[i] == '\\' && i + 3 < name.size() && name[i + 1] == 'x' && hex(name[i + 2]) >= 0 &&
            hex(name[i + 3]) >= 0) {
            out += static_cast<char>(hex(name[i + 2]) * 16 + hex(name[i + 3]));
            i += 3;
            continue;
        }
        out += name[i];
    }
    return out;
}

namespace {

std::string LabelFromUdevLinks(const std::string& devicePath) {
    struct stat device {};
    if (::stat(devicePath.c_str(), &device) != 0 || !S_ISBLK(device.st_mode)) return {};
    std::string label;
    DirectoryLister().List("/dev/disk/by-label", [&](const ListedName& item) {
        const std::string name = item.name;
        struct stat target {};
        if (::stat(("/dev/disk/by-label/" + name).c_str(), &target) != 0 ||
            !S_ISBLK(target.st_mode) || target.st_rdev != device.st_rdev)
            return true;
        label = UnescapeUdevName(name);
        return false;
    });
    return label;
}

std::string LabelFromProbe(const std::string& devicePath) {
    blkid_probe probe = ::blkid_new_probe_from_filename(devicePath.c_str());
    if (!probe) return {};
    std::string label;
    ::blkid_probe_enable_superblocks(probe, 1);
    ::blkid_probe_set_superblocks_flags(probe, BLKID_SUBLKS_LABEL);
    const char* value = nullptr;
    std::size_t length = 0;
    if (::blkid_do_safeprobe(probe) == 0 &&
        ::blkid_probe_lookup_value(probe, "LABEL", &value, &length) == 0 && value)
        label = value;
    ::blkid_free_probe(probe);
    return label;
}

}  // namespace

std::string SystemDeviceFacts::Label(const std::string& devicePath) {
    std::string label = LabelFromUdevLinks(devicePath);
    if (label.empty()) label = LabelFromProbe(devicePath);
    return label;
}

bool SystemDeviceFacts::IsDirectory(const std::string& path) {
    struct stat st {};
    return ::stat(path.c_str(), &st) == 0 && S_ISDIR(st.st_mode);
}

}  // namespace kestavo::media
