// SPDX-License-Identifier: GPL-3.0-or-later
#include "catalog/read_ahead.h"

#include <cassert>

#include "catalog/catalog_reader.h"

namespace kestavo {

ReadAhead::ReadAhead(std::vector<std::string> paths)
    : paths_(std::move(paths)), slots_(paths_.size()) {
    // One file needs no second thread.
    if (paths_.size() > 1) worker_ = std::thread([this] { Work(); });
}

ReadAhead::~ReadAhead() {
    next_ = paths_.size();
    if (worker_.joinable()) worker_.join();
}

bool ReadAhead::ReadNext(LocalClock& clock, std::string& buffer) {
    const std::size_t index = next_++;
    if (index >= paths_.size()) return false;
    Slot done;
    try {
        // A load touches nothing but itself, the clock and the buffer of the
        // thread reading it.
        done.load = std::make_unique<CatalogLoad>(paths_[index], /*fromFile=*/true);
        ReadCatalogFile(*done.load, buffer, clock);
    } catch (...) {
        done.load.reset();
        done.failure = std::current_exception();
    }
    done.ready = true;
    {
        std::lock_guard lock(mutex_);
        assert(!slots_[index].ready);
        slots_[index] = std::move(done);
    }
    ready_.notify_one();
    return true;
}

void ReadAhead::Work() {
    // The worker's own clock and buffer: it shares nothing it changes.
    LocalClock clock;
    std::string buffer;
    while (ReadNext(clock, buffer)) {
    }
}

std::unique_ptr<CatalogLoad> ReadAhead::Take(std::size_t index, LocalClock& clock,
                                             std::string& buffer) {
    assert(index < slots_.size());
    for (;;) {
        {
            std::unique_lock lock(mutex_);
            if (!slots_[index].ready && next_ >= paths_.size())
                ready_.wait(lock, [&] { return slots_[index].ready; });
            if (slots_[index].ready) {
                Slot slot = std::move(slots_[index]);
                slots_[index].ready = false;
                if (slot.failure) std::rethrow_exception(slot.failure);
                return std::move(slot.load);
            }
        }
        ReadNext(clock, buffer);
    }
}

}  // namespace kestavo
