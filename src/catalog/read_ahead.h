// SPDX-License-Identifier: GPL-3.0-or-later
// Reads the catalog files of a directory on two threads: a worker reads
// files ahead while the caller takes them in the order of their names,
// reading files itself whenever the next one is not ready. The files are
// independent, so each is read apart from the catalog set (into a
// CatalogLoad) and only the caller's thread joins them to the set.
#pragma once

#include <atomic>
#include <condition_variable>
#include <exception>
#include <memory>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

#include "catalog/catalog_load.h"
#include "catalog/local_time.h"

namespace kestavo {

class ReadAhead {
public:
    explicit ReadAhead(std::vector<std::string> paths);
    // Stops the worker after the file it is reading.
    ~ReadAhead();
    ReadAhead(const ReadAhead&) = delete;
    ReadAhead& operator=(const ReadAhead&) = delete;

    // The load of file `index`; each index is taken once, in any order.
    // `clock` and `buffer` serve the files this thread reads itself.
    std::unique_ptr<CatalogLoad> Take(std::size_t index, LocalClock& clock, std::string& buffer);

private:
    struct Slot {
        std::unique_ptr<CatalogLoad> load;
        std::exception_ptr failure;
        bool ready = false;
    };
    // Claims the next file nobody reads yet and reads it; false when every
    // file is claimed.
    bool ReadNext(LocalClock& clock, std::string& buffer);
    void Work();

    std::vector<std::string> paths_;
    std::vector<Slot> slots_;  // guarded by mutex_
    std::atomic<std::size_t> next_{0};
    std::mutex mutex_;
    std::condition_variable ready_;
    std::thread worker_;  // last, so that it starts with the rest made
};

}  // namespace kestavo
