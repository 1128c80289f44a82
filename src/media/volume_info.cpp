// SPDX-License-Identifier: GPL-3.0-or-later
#include "media/volume_info.h"

#include <sys/statvfs.h>

#include "catalog/catalog_format.h"
#include "catalog/catalog_writer.h"

namespace kestavo::media {

std::string DriveEntryText(const Drive& drive) {
    return drive.Name() + "  " + drive.label;
}

bool IsDriveFieldValid(std::string_view field) {
    return DriveLetterOf(field).has_value();
}

std::string EntryTextOfField(std::string_view field, const DriveMap& drives) {
    constexpr std::size_t kBareDriveLength = 2;  // "E:"
    const Drive* drive = drives.FindNamed(field);
    if (field.size() == kBareDriveLength && drive) return DriveEntryText(*drive);
    return std::string(field);
}

DriveList FillDriveList(const DriveMap& drives) {
    DriveList list;
    for (const Drive& drive : drives.Drives()) {
        if (!HoldsMedium(drive)) continue;
        list.entries.push_back(DriveEntryText(drive));
        if (drive.type == DriveType::Removable)
            list.selected = static_cast<int>(list.entries.size()) - 1;
    }
    return list;
}

const char* DriveTypeWord(DriveType type) {
    switch (type) {
        case DriveType::Fixed:
            return kDriveTypeFixed;
        case DriveType::Cdrom:
            return kDriveTypeCdrom;
        default:
            return kDriveTypeDefault;
    }
}

const char* DriveTypeWord(const DriveMap& drives, std::string_view drive) {
    const Drive* found = drives.FindNamed(drive);
    return found ? DriveTypeWord(found->type) : kDriveTypeDefault;
}

DiskSpace DiskSpaceOf(const std::string& directory) {
    DiskSpace space;
    struct statvfs st {};
    if (directory.empty() || ::statvfs(directory.c_str(), &st) != 0) return space;
    const auto fragment = static_cast<std::uint64_t>(st.f_frsize ? st.f_frsize : st.f_bsize);
    const auto clamp = [](unsigned __int128 bytes) {
        return bytes > INT64_MAX ? INT64_MAX : static_cast<std::int64_t>(bytes);
    };
    space.total = clamp(static_cast<unsigned __int128>(st.f_blocks) * fragment);
    space.free = clamp(static_cast<unsigned __int128>(st.f_bfree) * fragment);
    return space;
}

DiskSpace GetDiskSpace(const DriveMap& drives, std::string_view drive) {
    const Drive* found = drives.FindNamed(drive);
    return found ? DiskSpaceOf(found->directory) : DiskSpace{};
}

// Disk names are written the way the catalog format can hold them, so a
// volume label with double quotes or runs of white space matches the name
// it was written as. Labels are only cleaned, never given the "_" that
// record names get: an unlabelled drive must not match a disk named "_".
std::optional<std::string> FindDriveByLabel(const DriveMap& drives, std::string_view diskName) {
    const std::vector<Drive>& all = drives.Drives();
    for (auto it = all.rbegin(); it != all.rend(); ++it)
        if ((it->label == diskName || CleanedName(it->label) == diskName) && HoldsMedium(*it))
            return it->Name();
    return std::nullopt;
}

}  // namespace kestavo::media
