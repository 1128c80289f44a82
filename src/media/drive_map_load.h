// SPDX-License-Identifier: GPL-3.0-or-later
// The drive map in force: KESTAVO_DRIVES when that is set, else the drives
// detected from the mounted file systems. It stands above both the map and
// the detection, so that neither has to know the other's way in.
#pragma once

#include "catalog/messages.h"
#include "media/drive_map.h"

namespace kestavo::media {

// The map of KESTAVO_DRIVES (its faulty entries told to `messages`) when the
// variable is set, else the mounted file systems.
DriveMap LoadDriveMap(MessageSink& messages);

}  // namespace kestavo::media
