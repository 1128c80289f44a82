// SPDX-License-Identifier: GPL-3.0-or-later
// Where a search running on a worker leaves the rows it finds for the
// user-interface thread, which takes them on its own timer.
#pragma once

#include <mutex>
#include <span>
#include <vector>

#include "catalog/file_data.h"

namespace kestavo::ui {

class FoundRowsInbox {
public:
    // On the worker: keeps `rows`.
    void Put(std::span<FileData* const> rows) {
        const std::lock_guard lock(mutex_);
        waiting_.insert(waiting_.end(), rows.begin(), rows.end());
    }
    // On the taker's thread: the rows kept since the last take.
    std::vector<FileData*> Take() {
        std::vector<FileData*> rows;
        const std::lock_guard lock(mutex_);
        rows.swap(waiting_);
        return rows;
    }
    // Drops what a search left, before another starts.
    void Clear() { (void)Take(); }

private:
    std::mutex mutex_;
    std::vector<FileData*> waiting_;
};

}  // namespace kestavo::ui
