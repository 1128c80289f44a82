// SPDX-License-Identifier: GPL-3.0-or-later
// The drive map: which directory each drive letter (A: to Z:) stands for,
// with the drive's type and volume label, and the parsing of KESTAVO_DRIVES.
// LoadDriveMap (drive_map_load.h) gives the map in force.
#pragma once

#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "catalog/messages.h"

namespace kestavo::media {

enum class DriveType { Removable, Fixed, Cdrom, Remote, Ramdisk };

std::optional<DriveType> DriveTypeFromName(std::string_view name);

struct Drive {
    char letter = 'C';  // 'A' to 'Z'
    DriveType type = DriveType::Fixed;
    std::string label;
    std::string directory;
    std::string device;  // the block device of a detected drive, else empty
    std::string fsType;  // the file system type of a detected drive, else empty

    // Letter and colon, as drives are named ("E:").
    std::string Name() const { return {letter, ':'}; }
};

class DriveMap {
public:
    // Adds a drive; a drive already mapped to the same letter is replaced.
    void Add(Drive drive);
    const Drive* Find(char letter) const;
    // The drive named by the letter and colon that `text` begins with.
    const Drive* FindNamed(std::string_view text) const;
    // The drives in letter order.
    const std::vector<Drive>& Drives() const { return drives_; }

private:
    std::vector<Drive> drives_;
};

// The letter of a text beginning with a drive letter and a colon ("e:" and
// "E:  WORK" give 'E').
std::optional<char> DriveLetterOf(std::string_view text);

// Whether a drive holds a readable medium: its directory can be entered.
bool HoldsMedium(const Drive& drive);

// Parses the value of KESTAVO_DRIVES: entries separated by ";", each
// LETTER:|TYPE|LABEL|PATH. An entry that does not fit is skipped with one
// message naming it.
DriveMap ParseDriveMap(std::string_view text, MessageSink& messages);

}  // namespace kestavo::media
