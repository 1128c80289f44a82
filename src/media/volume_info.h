// SPDX-License-Identifier: GPL-3.0-or-later
// What Kestavo asks of the drives besides the scan: the drive list, the
// drive-type word, capacity and free space, and the drive holding a disk
// of a given name.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "media/drive_map.h"

namespace kestavo::media {

// The drive list of the drive choice: one entry text per drive holding a
// medium, in letter order; the last removable drive is the selected one.
struct DriveList {
    std::vector<std::string> entries;
    int selected = -1;  // index into entries, -1 for none
};

// "E:  WORK": letter, colon, two blanks, label.
std::string DriveEntryText(const Drive& drive);
DriveList FillDriveList(const DriveMap& drives);

// The drive field of a drive choice (or a drive argument) must begin with a
// drive letter and a colon; any other text is refused with kChooseADrive.
bool IsDriveFieldValid(std::string_view field);
inline constexpr const char* kChooseADrive =
    "Choose a drive from the list, or type a drive letter and a colon.";
// The drive list entry text that a drive field stands for: a bare drive
// ("E:") stands for its drive's entry text ("E:  WORK") when the map has
// that drive; any other text stands for itself.
std::string EntryTextOfField(std::string_view field, const DriveMap& drives);

// "fixed", "cdrom", or "default" for every other type.
const char* DriveTypeWord(DriveType type);
// The word of the drive named by `drive` ("E:"); "default" for no drive.
const char* DriveTypeWord(const DriveMap& drives, std::string_view drive);

struct DiskSpace {
    std::int64_t total = 0;
    std::int64_t free = 0;  // every free byte, not only those the caller may use
};
// Capacity and free space of the file system holding `directory`; 0 and 0
// when it cannot be asked.
DiskSpace DiskSpaceOf(const std::string& directory);
DiskSpace GetDiskSpace(const DriveMap& drives, std::string_view drive);

// The drive ("E:") whose volume label equals `diskName` byte for byte,
// searching Z: down to A: among drives that hold a medium.
std::optional<std::string> FindDriveByLabel(const DriveMap& drives, std::string_view diskName);

}  // namespace kestavo::media
