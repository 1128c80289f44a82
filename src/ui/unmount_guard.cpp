// SPDX-License-Identifier: GPL-3.0-or-later
#include "ui/unmount_guard.h"

#include "ui/drive_watch.h"

namespace kestavo::ui {

UnmountGuard::UnmountGuard(const media::Drive& drive, std::atomic<bool>& stop)
    : drive_(drive), stop_(stop) {
    DriveWatch* watch = DriveWatch::Running();
    if (!watch) return;
    connect(watch, &DriveWatch::UnmountStarting, this, [this](const std::string& device) {
        if (!drive_.device.empty() && device == drive_.device) Fire();
    });
    // The label may change during the work (a label just given); the
    // folder is what the work holds busy.
    connect(watch, &DriveWatch::DrivesChanged, this, [this, watch] {
        for (const media::Drive& drive : watch->Drives().Drives())
            if (drive.directory == drive_.directory && media::HoldsMedium(drive)) return;
        Fire();
    });
}

void UnmountGuard::Fire() {
    fired_ = true;
    stop_.store(true);
}

Message UnmountGuard::Why(const std::string& stopped) const {
    Message m;
    m.caption = kApplicationName;
    m.text = "The disk in drive " + drive_.Name() + " is being unmounted.\n" + stopped;
    m.icon = MessageIcon::Exclamation;
    return m;
}

}  // namespace kestavo::ui
