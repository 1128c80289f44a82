// SPDX-License-Identifier: GPL-3.0-or-later
#include "ui/drive_watch.h"

#include <poll.h>

#include <QSocketNotifier>
#include <QTimer>

#include "media/drive_map_load.h"

namespace kestavo::ui {
namespace {

DriveWatch* running = nullptr;

// A map read in the background shows no messages: the windows that use a
// drive read the map again themselves and show what is wrong with it then.
class Unshown : public MessageSink {
public:
    MessageAnswer Show(const Message& message) override { return message.defaultAnswer; }
};

media::DriveMap ReadDrives() {
    Unshown messages;
    return media::LoadDriveMap(messages);
}

bool SameDisk(const media::Drive& a, const media::Drive& b) {
    return a.directory == b.directory && a.label == b.label;
}

bool SameMap(const media::DriveMap& a, const media::DriveMap& b) {
    const auto& x = a.Drives();
    const auto& y = b.Drives();
    if (x.size() != y.size()) return false;
    for (std::size_t i = 0; i < x.size(); ++i)
        if (x[i].letter != y[i].letter || !SameDisk(x[i], y[i]) || x[i].type != y[i].type ||
            media::HoldsMedium(x[i]) != media::HoldsMedium(y[i]))
            return false;
    return true;
}

// A disk counts as present when its drive's folder can be entered.
std::vector<media::Drive> PresentDisks(const media::DriveMap& drives) {
    std::vector<media::Drive> present;
    for (const media::Drive& drive : drives.Drives())
        if (media::HoldsMedium(drive)) present.push_back(drive);
    return present;
}

// After a mount, udev and UDisks2 bring the label a moment later; the changes
// of one mount come together within this time.
constexpr int kSettleMs = 150;

}  // namespace

bool HoldsSameDisk(const media::DriveMap& drives, const media::Drive& drive) {
    for (const media::Drive& held : PresentDisks(drives))
        if (SameDisk(held, drive)) return true;
    return false;
}

DriveWatch::DriveWatch(std::unique_ptr<media::MountWatch> watch, QObject* parent)
    : QObject(parent), settle_(new QTimer(this)), drives_(ReadDrives()) {
    settle_->setSingleShot(true);
    settle_->setInterval(kSettleMs);
    connect(settle_, &QTimer::timeout, this, &DriveWatch::Recheck);
    Listen(std::move(watch));
    running = this;
}

DriveWatch::~DriveWatch() {
    if (running == this) running = nullptr;
}

DriveWatch* DriveWatch::Running() {
    return running;
}

void DriveWatch::SetSettleDelay(int milliseconds) {
    settle_->setInterval(milliseconds);
}

void DriveWatch::Listen(std::unique_ptr<media::MountWatch> watch) {
    delete notifier_;
    notifier_ = nullptr;
    watch_ = std::move(watch);
    if (!watch_) return;
    const auto type =
        (watch_->Events() & POLLPRI) ? QSocketNotifier::Exception : QSocketNotifier::Read;
    notifier_ = new QSocketNotifier(watch_->Descriptor(), type, this);
    connect(notifier_, &QSocketNotifier::activated, this, &DriveWatch::OnReady);
}

void DriveWatch::OnReady() {
    const media::MountChange change = watch_->Drain();
    for (const std::string& device : change.unmounting) emit UnmountStarting(device);
    if (change.mountsChanged && !settle_->isActive()) settle_->start();
    // Without the bus, the mount table still tells of mounts.
    if (change.lost) {
        Listen(media::WatchMountTable());
        settle_->start();
    }
}

void DriveWatch::Recheck() {
    settle_->stop();
    media::DriveMap now = ReadDrives();
    if (SameMap(now, drives_)) return;
    const media::DriveMap before = std::exchange(drives_, std::move(now));
    emit DrivesChanged();
    for (const media::Drive& drive : PresentDisks(before))
        if (!HoldsSameDisk(drives_, drive)) emit DiskUnmounted(drive);
    for (const media::Drive& drive : PresentDisks(drives_))
        if (!HoldsSameDisk(before, drive)) emit DiskMounted(drive);
}

}  // namespace kestavo::ui
