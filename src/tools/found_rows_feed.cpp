// SPDX-License-Identifier: GPL-3.0-or-later
#include "tools/found_rows_feed.h"

#include <span>

namespace kestavo {

bool FeedClock::Due() const {
    if (!handedAny_.load(std::memory_order_relaxed)) return true;
    const auto now = std::chrono::steady_clock::now().time_since_epoch().count();
    return now - last_.load(std::memory_order_relaxed) >=
           std::chrono::duration_cast<std::chrono::steady_clock::duration>(kPause).count();
}

void FeedClock::Handed() {
    last_.store(std::chrono::steady_clock::now().time_since_epoch().count(),
                std::memory_order_relaxed);
    handedAny_.store(true, std::memory_order_relaxed);
}

void WalkFeed::Offer(const std::vector<FileData*>& rows, bool last) {
    if (!feed_.found || rows.size() == handed_ || (!last && !clock_.Due())) return;
    feed_.found(std::span<FileData* const>(rows).subspan(handed_));
    handed_ = rows.size();
    clock_.Handed();
}

DiskOrderFeed::DiskOrderFeed(const FindFeed& feed, std::size_t disks)
    : feed_(feed), waiting_(disks), finished_(disks, false) {}

void DiskOrderFeed::HandFront(const std::vector<FileData*>& found, std::size_t begin) {
    const std::size_t from = begin + frontHanded_;
    if (from >= found.size()) return;
    feed_.found(std::span<FileData* const>(found).subspan(from));
    frontHanded_ = found.size() - begin;
    clock_.Handed();
}

void DiskOrderFeed::Offer(std::size_t disk, const std::vector<FileData*>& found,
                          std::size_t begin) {
    // Only the worker on the front disk hands rows on as it goes; the front
    // moves past a disk only when that disk's own worker has finished it.
    if (!feed_.found || front_.load(std::memory_order_acquire) != disk || !clock_.Due()) return;
    const std::lock_guard lock(mutex_);
    HandFront(found, begin);
}

void DiskOrderFeed::Finished(std::size_t disk, const std::vector<FileData*>& found,
                             std::size_t begin) {
    if (!feed_.found) return;
    const std::lock_guard lock(mutex_);
    std::size_t front = front_.load(std::memory_order_relaxed);
    if (disk != front) {
        waiting_[disk].assign(found.begin() + static_cast<std::ptrdiff_t>(begin), found.end());
        finished_[disk] = true;
        return;
    }
    HandFront(found, begin);
    frontHanded_ = 0;
    for (++front; front < finished_.size() && finished_[front]; ++front) {
        if (!waiting_[front].empty()) feed_.found(waiting_[front]);
        std::vector<FileData*>().swap(waiting_[front]);
    }
    front_.store(front, std::memory_order_release);
}

}  // namespace kestavo
