// SPDX-License-Identifier: GPL-3.0-or-later
// The drive drop-downs of Catalog New Disk and Compare, kept up to date
// while they are open: the entries follow the drives as disks come and go,
// and the user's choice stays while its drive is still there.
#pragma once

#include <functional>
#include <string>

#include "media/volume_info.h"

class QComboBox;

namespace kestavo::ui {

// Replaces the entries of `box` by those of `drives`, in sorted order. The
// entry chosen, or a text typed that is not an entry, stays; a chosen entry
// that is gone, or an empty field, gives way to the list's selection.
void RefillDriveBox(QComboBox& box, const media::DriveList& drives);

// Chooses the entry `entryText` ("E:  WORK") when the box has it.
void ChooseDriveEntry(QComboBox& box, const std::string& entryText);

// Refills `box` from the running drive watch whenever the drives change, and
// calls `changed` (when given) before; nothing when no watch runs.
void FollowDrives(QComboBox& box, std::function<void()> changed = {});

}  // namespace kestavo::ui
