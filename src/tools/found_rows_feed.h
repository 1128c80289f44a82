// SPDX-License-Identifier: GPL-3.0-or-later
// Handing the rows a Find Files search finds to its feed while it runs: a
// few dozen times a second, in the order of a walk of the tree, also when
// two workers search the disks side by side.
#pragma once

#include <atomic>
#include <chrono>
#include <cstddef>
#include <mutex>
#include <vector>

#include "tools/find_files.h"

namespace kestavo {

// When the next rows are handed on: the first rows at once, then after a
// pause, so that handing them costs the search nothing it would notice.
class FeedClock {
public:
    bool Due() const;
    void Handed();

private:
    static constexpr std::chrono::milliseconds kPause{25};
    std::atomic<std::chrono::steady_clock::rep> last_{0};
    std::atomic<bool> handedAny_{false};
};

// The rows of one walk growing in one vector.
class WalkFeed {
public:
    explicit WalkFeed(const FindFeed& feed) : feed_(feed) {}
    bool Stopped() const { return feed_.stop && feed_.stop->load(std::memory_order_relaxed); }
    // `rows` grew since the last call: the new rows are handed on when due,
    // or now when `last`.
    void Offer(const std::vector<FileData*>& rows, bool last = false);

private:
    const FindFeed& feed_;
    FeedClock clock_;
    std::size_t handed_ = 0;
};

// The rows of disks that two workers search side by side, each disk's rows
// growing in the vector of the worker that took it: those of the first disk
// not yet handed on whole are handed on as they are found, every other
// disk's once each disk before it has been.
class DiskOrderFeed {
public:
    DiskOrderFeed(const FindFeed& feed, std::size_t disks);
    bool Stopped() const { return feed_.stop && feed_.stop->load(std::memory_order_relaxed); }
    // After each folder of disk `disk`, whose rows are found[begin, end).
    void Offer(std::size_t disk, const std::vector<FileData*>& found, std::size_t begin);
    // Disk `disk` is searched whole; its rows are found[begin, end).
    void Finished(std::size_t disk, const std::vector<FileData*>& found, std::size_t begin);

private:
    void HandFront(const std::vector<FileData*>& found, std::size_t begin);

    const FindFeed& feed_;
    FeedClock clock_;
    std::mutex mutex_;
    std::atomic<std::size_t> front_{0};  // the first disk not handed on whole
    std::size_t frontHanded_ = 0;        // rows of the front disk handed on
    // Rows of disks searched whole before their turn, kept until it comes.
    std::vector<std::vector<FileData*>> waiting_;
    std::vector<bool> finished_;
};

}  // namespace kestavo
