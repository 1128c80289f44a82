// SPDX-License-Identifier: GPL-3.0-or-later
#include "media/drive_map_load.h"

#include <cstdlib>

#include "media/mount_detection.h"

namespace kestavo::media {

DriveMap LoadDriveMap(MessageSink& messages) {
    if (const char* value = std::getenv("KESTAVO_DRIVES")) return ParseDriveMap(value, messages);
    return DetectDrives();
}

}  // namespace kestavo::media
