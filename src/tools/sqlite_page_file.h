// SPDX-License-Identifier: GPL-3.0-or-later
// Pages written into an open database file at their places, a megabyte at
// a time. A failed write is kept and ends the writing; it is reported with
// SQLite's own words for it.
#pragma once

#include <sys/types.h>

#include <atomic>
#include <condition_variable>
#include <cstdint>
#include <deque>
#include <memory>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

#include "tools/sqlite_btree.h"

namespace kestavo::sqlite_file {

enum class WriteFailure { kNone, kFull, kIo };

// Writes `size` bytes at `offset` as SQLite does: a short write or ENOSPC
// means the disk is full, any other error an I/O error.
WriteFailure WriteAt(int fd, const std::uint8_t* data, std::size_t size, off_t offset);

// What SQLite says for the failure: "database or disk is full" or
// "disk I/O error".
std::string FailureReason(WriteFailure failure);

// Writes the buffers it is handed on a thread of its own, in turn, so that
// the copying into the file's pages goes on beside the work that fills the
// next buffer. Without a thread it writes them at once.
class BackgroundWrites {
public:
    explicit BackgroundWrites(int fd);
    ~BackgroundWrites();
    BackgroundWrites(const BackgroundWrites&) = delete;
    BackgroundWrites& operator=(const BackgroundWrites&) = delete;

    // Takes `size` bytes of `bytes` to write at `offset`; answers a buffer
    // to fill next.
    std::vector<std::uint8_t> Hand(std::vector<std::uint8_t> bytes, std::size_t size, off_t offset);
    // Waits until every buffer handed is written.
    void Wait();
    WriteFailure Failure() const { return failure_.load(std::memory_order_relaxed); }

private:
    // Buffers waiting: enough to keep the writer busy, few enough to keep
    // the memory small.
    static constexpr std::size_t kMostWaiting = 4;
    struct Write {
        std::vector<std::uint8_t> bytes;
        std::size_t size = 0;
        off_t offset = 0;
    };
    void Run();
    void Perform(const Write& write);

    int fd_;
    std::mutex mutex_;
    std::condition_variable changed_;
    std::deque<Write> waiting_;
    std::vector<std::vector<std::uint8_t>> spare_;
    bool writing_ = false;
    bool closing_ = false;
    std::atomic<WriteFailure> failure_{WriteFailure::kNone};
    std::thread thread_;
};

class FilePageSink : public PageSink {
public:
    // With `background`, full buffers are written by it.
    FilePageSink(int fd, std::uint32_t firstPage, BackgroundWrites* background = nullptr);
    // Writes the pages still held and waits for them; answers false when
    // any write failed.
    bool Flush();
    WriteFailure Failure() const;

protected:
    void Store(std::uint32_t number, const std::uint8_t* page) override;

private:
    static constexpr std::size_t kBufferPages = 256;
    void WriteHeld();

    int fd_;
    BackgroundWrites* background_;
    std::vector<std::uint8_t> buffer_;
    std::size_t held_ = 0;
    std::uint32_t heldFrom_ = 0;
    WriteFailure failure_ = WriteFailure::kNone;
};

}  // namespace kestavo::sqlite_file
