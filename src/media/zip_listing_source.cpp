// SPDX-License-Identifier: GPL-3.0-or-later
#include "media/zip_listing_source.h"

#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <utility>

namespace kestavo::media {
namespace {

constexpr std::size_t kBufferSize = 64 * 1024;

}  // namespace

ZipFileSource::ZipFileSource(const ScanFileAccess& access, int fd, std::int64_t size, GoOn goOn)
    : access_(access), fd_(fd), size_(size), goOn_(std::move(goOn)), buffer_(kBufferSize) {
    zip_error_init(&error_);
}

ZipFileSource::~ZipFileSource() {
    zip_error_fini(&error_);
    if (fd_ >= 0) ::close(fd_);
}

zip_source_t* ZipFileSource::Create(zip_error_t* error) {
    return zip_source_function_create(&ZipFileSource::Command, this, error);
}

zip_int64_t ZipFileSource::Command(void* self, void* data, zip_uint64_t length,
                                   zip_source_cmd_t command) {
    auto& source = *static_cast<ZipFileSource*>(self);
    switch (command) {
        case ZIP_SOURCE_OPEN:
            source.position_ = 0;
            return 0;
        case ZIP_SOURCE_READ:
            return source.Read(data, length);
        case ZIP_SOURCE_CLOSE:
        case ZIP_SOURCE_FREE:
            return 0;
        case ZIP_SOURCE_STAT:
            return source.Stat(data, length);
        case ZIP_SOURCE_ERROR:
            return zip_error_to_data(&source.error_, data, length);
        case ZIP_SOURCE_SEEK: {
            const zip_int64_t at = zip_source_seek_compute_offset(
                static_cast<zip_uint64_t>(source.position_),
                static_cast<zip_uint64_t>(source.size_), data, length, &source.error_);
            if (at < 0) return -1;
            source.position_ = at;
            return 0;
        }
        case ZIP_SOURCE_TELL:
            return source.position_;
        case ZIP_SOURCE_ACCEPT_EMPTY:
            return 0;  // an empty file is no archive
        case ZIP_SOURCE_SUPPORTS:
            return zip_source_make_command_bitmap(
                ZIP_SOURCE_OPEN, ZIP_SOURCE_READ, ZIP_SOURCE_CLOSE, ZIP_SOURCE_STAT,
                ZIP_SOURCE_ERROR, ZIP_SOURCE_FREE, ZIP_SOURCE_SEEK, ZIP_SOURCE_TELL,
                ZIP_SOURCE_SUPPORTS, ZIP_SOURCE_ACCEPT_EMPTY, -1);
        default:
            return source.Fail(ZIP_ER_OPNOTSUPP, 0);
    }
}

zip_int64_t ZipFileSource::Fail(int zipError, int systemError) {
    zip_error_set(&error_, zipError, systemError);
    return -1;
}

// Copies from the buffer, refilling it where the position leaves it.
zip_int64_t ZipFileSource::Read(void* data, zip_uint64_t length) {
    if (goOn_ && !goOn_()) {
        stopped_ = true;
        return Fail(ZIP_ER_CANCELLED, 0);
    }
    auto* out = static_cast<char*>(data);
    zip_uint64_t done = 0;
    while (done < length && position_ < size_) {
        const bool inBuffer = position_ >= bufferStart_ &&
                              position_ < bufferStart_ + static_cast<std::int64_t>(buffered_);
        if (!inBuffer) {
            const zip_int64_t filled = Fill();
            if (filled < 0) return -1;
            if (filled == 0) break;  // the file ends sooner than it said
        }
        const auto offset = static_cast<std::size_t>(position_ - bufferStart_);
        const std::size_t n =
            static_cast<std::size_t>(std::min<zip_uint64_t>(length - done, buffered_ - offset));
        std::memcpy(out + done, buffer_.data() + offset, n);
        done += n;
        position_ += static_cast<std::int64_t>(n);
    }
    return static_cast<zip_int64_t>(done);
}

zip_int64_t ZipFileSource::Fill() {
    bufferStart_ = position_;
    buffered_ = 0;
    long got = 0;
    do {
        got = access_.ReadAt(fd_, buffer_.data(), buffer_.size(), position_);
    } while (got < 0 && errno == EINTR);
    if (got < 0) {
        readError_ = errno;
        return Fail(ZIP_ER_READ, readError_);
    }
    buffered_ = static_cast<std::size_t>(got);
    return got;
}

zip_int64_t ZipFileSource::Stat(void* data, zip_uint64_t length) {
    if (length < sizeof(zip_stat_t)) return Fail(ZIP_ER_INVAL, 0);
    auto* st = static_cast<zip_stat_t*>(data);
    zip_stat_init(st);
    st->size = static_cast<zip_uint64_t>(size_);
    st->valid |= ZIP_STAT_SIZE;
    return sizeof(zip_stat_t);
}

}  // namespace kestavo::media
