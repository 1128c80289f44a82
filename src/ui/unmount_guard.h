// SPDX-License-Identifier: GPL-3.0-or-later
// Stops a scan or a comparison of a disk that is being unmounted, as Cancel
// would, so that the work does not keep the disk busy and the unmount goes
// through.
#pragma once

#include <QObject>
#include <atomic>
#include <string>

#include "catalog/messages.h"
#include "media/drive_map.h"

namespace kestavo::ui {

class UnmountGuard : public QObject {
    Q_OBJECT
public:
    // Sets `stop` when UDisks2 begins to unmount the drive's device, or when
    // the drive map no longer holds its disk; nothing when no drive watch
    // runs.
    UnmountGuard(const media::Drive& drive, std::atomic<bool>& stop);

    // Whether the work was stopped for the unmount.
    bool Fired() const { return fired_; }
    // The message that says why the work stopped; `stopped` is the line
    // after ("The comparison was stopped.").
    Message Why(const std::string& stopped) const;

private:
    void Fire();

    media::Drive drive_;
    std::atomic<bool>& stop_;
    bool fired_ = false;
};

}  // namespace kestavo::ui
