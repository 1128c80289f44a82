// SPDX-License-Identifier: GPL-3.0-or-later
// A libzip source over the descriptor of an archive on the disk being
// scanned. It reads through a buffer of its own and asks before every read
// whether to go on, so that reading a central directory of millions of
// members can be stopped at once; it tells a stop and a failed read apart
// from an archive that libzip refuses.
#pragma once

#include <zip.h>

#include <cstdint>
#include <functional>
#include <vector>

#include "media/volume_scanner_access.h"

namespace kestavo::media {

class ZipFileSource {
public:
    using GoOn = std::function<bool()>;

    // Reads the regular file open as `fd` (taken over) of `size` bytes;
    // `goOn` may be empty.
    ZipFileSource(const ScanFileAccess& access, int fd, std::int64_t size, GoOn goOn);
    ~ZipFileSource();
    ZipFileSource(const ZipFileSource&) = delete;
    ZipFileSource& operator=(const ZipFileSource&) = delete;

    // A new libzip source reading through this object, which must outlive
    // it; null (with `error` set) when libzip cannot make one.
    zip_source_t* Create(zip_error_t* error);

    // Whether `goOn` answered false.
    bool Stopped() const { return stopped_; }
    // The errno of a read of the file that failed; 0 when none did.
    int ReadError() const { return readError_; }

private:
    static zip_int64_t Command(void* self, void* data, zip_uint64_t length,
                               zip_source_cmd_t command);
    zip_int64_t Read(void* data, zip_uint64_t length);
    zip_int64_t Fill();
    zip_int64_t Stat(void* data, zip_uint64_t length);
    zip_int64_t Fail(int zipError, int systemError);

    const ScanFileAccess& access_;
    int fd_;
    std::int64_t size_;
    GoOn goOn_;
    std::int64_t position_ = 0;
    std::vector<char> buffer_;
    std::int64_t bufferStart_ = 0;  // file offset of buffer_[0]
    std::size_t buffered_ = 0;      // bytes of buffer_ holding the file
    zip_error_t error_;
    bool stopped_ = false;
    int readError_ = 0;
};

}  // namespace kestavo::media
