// SPDX-License-Identifier: GPL-3.0-or-later
// The drive map kept up to date while the window runs: a mount watch polled
// by the window's event loop, the map read again after each change, and
// signals for the windows that show drives.
#pragma once

#include <QObject>
#include <memory>
#include <string>
#include <vector>

#include "media/drive_map.h"
#include "media/mount_watch.h"

class QSocketNotifier;
class QTimer;

namespace kestavo::ui {

class DriveWatch : public QObject {
    Q_OBJECT
public:
    // `watch` may be null: then the map changes only when Recheck is called.
    explicit DriveWatch(std::unique_ptr<media::MountWatch> watch, QObject* parent = nullptr);
    ~DriveWatch() override;

    // The watch the program runs, for the windows that show drives; null
    // when there is none.
    static DriveWatch* Running();

    // The drive map as last read.
    const media::DriveMap& Drives() const { return drives_; }
    // Reads the drive map again now and signals what changed.
    void Recheck();
    // How long a change waits for the changes that come with it before the
    // map is read again.
    void SetSettleDelay(int milliseconds);

signals:
    // After the map was read again and differs from the one before.
    void DrivesChanged();
    // A drive that holds a disk it did not hold before (by folder and label).
    void DiskMounted(const media::Drive& drive);
    // A drive of the map before that holds that disk no more.
    void DiskUnmounted(const media::Drive& drive);
    // UDisks2 has begun to unmount this block device ("/dev/sdb1").
    void UnmountStarting(const std::string& device);

private:
    void Listen(std::unique_ptr<media::MountWatch> watch);
    void OnReady();

    std::unique_ptr<media::MountWatch> watch_;
    QSocketNotifier* notifier_ = nullptr;
    QTimer* settle_;
    media::DriveMap drives_;
};

// Whether `drives` has a drive holding the same disk as `drive`: the same
// folder and label.
bool HoldsSameDisk(const media::DriveMap& drives, const media::Drive& drive);

}  // namespace kestavo::ui
