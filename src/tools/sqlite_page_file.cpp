// SPDX-License-Identifier: GPL-3.0-or-later
#include "tools/sqlite_page_file.h"

#include <sqlite3.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>
#include <system_error>
#include <utility>

namespace kestavo::sqlite_file {

WriteFailure WriteAt(int fd, const std::uint8_t* data, std::size_t size, off_t offset) {
    while (size > 0) {
        const ssize_t wrote = ::pwrite(fd, data, size, offset);
        if (wrote < 0 && errno == EINTR) continue;
        if (wrote < 0) return errno == ENOSPC ? WriteFailure::kFull : WriteFailure::kIo;
        if (wrote == 0) return WriteFailure::kFull;
        data += wrote;
        size -= static_cast<std::size_t>(wrote);
        offset += wrote;
    }
    return WriteFailure::kNone;
}

std::string FailureReason(WriteFailure failure) {
    return sqlite3_errstr(failure == WriteFailure::kFull ? SQLITE_FULL : SQLITE_IOERR);
}

BackgroundWrites::BackgroundWrites(int fd) : fd_(fd) {
    try {
        thread_ = std::thread([this] { Run(); });
    } catch (const std::system_error&) {
        // Hand() writes each buffer itself.
    }
}

BackgroundWrites::~BackgroundWrites() {
    {
        const std::lock_guard lock(mutex_);
        closing_ = true;
    }
    changed_.notify_all();
    if (thread_.joinable()) thread_.join();
}

void BackgroundWrites::Perform(const Write& write) {
    if (Failure() != WriteFailure::kNone) return;
    const WriteFailure failure = WriteAt(fd_, write.bytes.data(), write.size, write.offset);
    if (failure != WriteFailure::kNone) failure_.store(failure, std::memory_order_relaxed);
}

std::vector<std::uint8_t> BackgroundWrites::Hand(std::vector<std::uint8_t> bytes, std::size_t size,
                                                 off_t offset) {
    if (!thread_.joinable()) {
        Perform({.bytes = std::move(bytes), .size = size, .offset = offset});
        return bytes;
    }
    std::unique_lock lock(mutex_);
    changed_.wait(lock, [this] { return waiting_.size() < kMostWaiting; });
    const std::size_t capacity = bytes.size();
    waiting_.push_back({.bytes = std::move(bytes), .size = size, .offset = offset});
    std::vector<std::uint8_t> next;
    if (!spare_.empty()) {
        next = std::move(spare_.back());
        spare_.pop_back();
    }
    lock.unlock();
    changed_.notify_all();
    if (next.size() != capacity) next.resize(capacity);
    return next;
}

void BackgroundWrites::Wait() {
    std::unique_lock lock(mutex_);
    changed_.wait(lock, [this] { return waiting_.empty() && !writing_; });
}

void BackgroundWrites::Run() {
    std::unique_lock lock(mutex_);
    for (;;) {
        changed_.wait(lock, [this] { return closing_ || !waiting_.empty(); });
        if (waiting_.empty()) return;
        Write write = std::move(waiting_.front());
        waiting_.pop_front();
        writing_ = true;
        lock.unlock();
        changed_.notify_all();
        Perform(write);
        lock.lock();
        writing_ = false;
        spare_.push_back(std::move(write.bytes));
        changed_.notify_all();
    }
}

FilePageSink::FilePageSink(int fd, std::uint32_t firstPage, BackgroundWrites* background)
    : PageSink(firstPage), fd_(fd), background_(background), buffer_(kBufferPages * kPageSize) {}

WriteFailure FilePageSink::Failure() const {
    if (failure_ != WriteFailure::kNone || !background_) return failure_;
    return background_->Failure();
}

void FilePageSink::Store(std::uint32_t number, const std::uint8_t* page) {
    if (failure_ != WriteFailure::kNone) return;
    if (held_ == 0) heldFrom_ = number;
    std::memcpy(buffer_.data() + held_ * kPageSize, page, kPageSize);
    if (++held_ == kBufferPages) WriteHeld();
}

void FilePageSink::WriteHeld() {
    if (held_ == 0) return;
    const off_t offset = static_cast<off_t>(heldFrom_ - 1) * static_cast<off_t>(kPageSize);
    if (background_)
        buffer_ = background_->Hand(std::move(buffer_), held_ * kPageSize, offset);
    else if (failure_ == WriteFailure::kNone)
        failure_ = WriteAt(fd_, buffer_.data(), held_ * kPageSize, offset);
    held_ = 0;
}

bool FilePageSink::Flush() {
    WriteHeld();
    if (background_) background_->Wait();
    return Failure() == WriteFailure::kNone;
}

}  // namespace kestavo::sqlite_file
