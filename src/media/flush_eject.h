// SPDX-License-Identifier: GPL-3.0-or-later
// Flushing a drive's file system and ejecting its medium.
#pragma once

#include <string>
#include <vector>

#include "media/drive_map.h"

namespace kestavo::media {

// Flushes the file system of `drive` ("E:"); with `eject`, unmounts it and
// ejects the medium where the drive allows it (removable and CD-ROM
// drives). Answers an error text, empty when all went well.
std::string FlushDrive(const DriveMap& drives, const std::string& drive, bool eject);

// The scanner's flush operation: on a problem `error` gets a newly
// allocated message, which the caller frees with strdelete.
bool flushdisk(const DriveMap& drives, const std::string& drive, bool eject, char*& error);
void strdelete(char* text);

// The drives Eject Removable Disks hands to flushdisk: the removable ones
// from C: to Z: (A: and B: are never touched), in letter order.
std::vector<std::string> RemovableDrivesToEject(const DriveMap& drives);

// Flushes and ejects every removable drive from C: to Z:; errors are
// dropped unseen.
void EjectRemovableDisks(const DriveMap& drives);

}  // namespace kestavo::media
