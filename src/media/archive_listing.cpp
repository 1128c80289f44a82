// SPDX-License-Identifier: GPL-3.0-or-later
#include "media/archive_listing.h"

#include <archive.h>
#include <archive_entry.h>
#include <fcntl.h>
#include <locale.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <chrono>
#include <cstdint>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

namespace kestavo::media {
namespace {

using SteadyClock = std::chrono::steady_clock;
constexpr std::size_t kReadSize = 64 * 1024;

struct ReaderFree {
    void operator()(archive* reader) const { archive_read_free(reader); }
};
using Reader = std::unique_ptr<archive, ReaderFree>;

// A reader for the formats beside ZIP, which stays with libzip, and the
// stream filters of compressed tars.
Reader NewReader() {
    Reader reader(archive_read_new());
    if (!reader) return reader;
    archive* a = reader.get();
    archive_read_support_format_7zip(a);
    archive_read_support_format_rar(a);
    archive_read_support_format_rar5(a);
    archive_read_support_format_tar(a);
    archive_read_support_format_iso9660(a);
    archive_read_support_format_cab(a);
    archive_read_support_filter_gzip(a);
    archive_read_support_filter_bzip2(a);
    archive_read_support_filter_xz(a);
    archive_read_support_filter_lzma(a);
    archive_read_support_filter_zstd(a);
    return reader;
}

// The time an archive may take: a base and a share of its size.
SteadyClock::time_point DeadlineFor(std::int64_t size, const ArchiveBounds& bounds) {
    const std::int64_t share =
        bounds.bytesPerMillisecond > 0 ? size / bounds.bytesPerMillisecond : 0;
    return SteadyClock::now() + std::chrono::milliseconds(bounds.baseMilliseconds + share);
}

// Asks the scan whether to go on and keeps the time bound of one archive.
class Watch {
public:
    Watch(const ArchiveLister::Tick& tick, SteadyClock::time_point deadline)
        : tick_(tick), deadline_(deadline) {}

    bool GoOn() {
        if (tick_ && !tick_()) stopped_ = true;
        if (!stopped_ && SteadyClock::now() > deadline_) late_ = true;
        return !stopped_ && !late_;
    }
    bool Stopped() const { return stopped_; }

private:
    const ArchiveLister::Tick& tick_;
    SteadyClock::time_point deadline_;
    bool stopped_ = false;
    bool late_ = false;
};

// libarchive's client callbacks over the descriptor of the archive: every
// read asks the watch first, so that a stop or the time bound ends the
// reading within one block, however slowly the format decodes.
class FileSource {
public:
    FileSource(const ScanFileAccess& access, int fd, std::int64_t size, Watch& watch)
        : access_(access), fd_(fd), size_(size), watch_(watch), buffer_(kReadSize) {}
    ~FileSource() { ::close(fd_); }
    FileSource(const FileSource&) = delete;
    FileSource& operator=(const FileSource&) = delete;

    int Open(archive* a) {
        archive_read_set_read_callback(a, &FileSource::Read);
        archive_read_set_seek_callback(a, &FileSource::Seek);
        archive_read_set_skip_callback(a, &FileSource::Skip);
        archive_read_set_callback_data(a, this);
        return archive_read_open1(a);
    }
    int ReadError() const { return readError_; }

private:
    static la_ssize_t Read(archive* a, void* self, const void** block) {
        auto& source = *static_cast<FileSource*>(self);
        *block = source.buffer_.data();
        if (!source.watch_.GoOn()) {
            archive_set_error(a, ECANCELED, "stopped");
            return -1;
        }
        const long got =
            source.access_.ReadAt(source.fd_, source.buffer_.data(), kReadSize, source.position_);
        if (got < 0) {
            source.readError_ = errno ? errno : EIO;
            archive_set_error(a, source.readError_, "read failed");
            return -1;
        }
        source.position_ += got;
        return got;
    }

    static la_int64_t Seek(archive*, void* self, la_int64_t offset, int whence) {
        auto& source = *static_cast<FileSource*>(self);
        std::int64_t base = 0;
        if (whence == SEEK_CUR) base = source.position_;
        if (whence == SEEK_END) base = source.size_;
        const std::int64_t to = base + offset;
        if (to < 0) return ARCHIVE_FATAL;
        source.position_ = to;
        return to;
    }

    static la_int64_t Skip(archive*, void* self, la_int64_t request) {
        auto& source = *static_cast<FileSource*>(self);
        const std::int64_t left = std::max<std::int64_t>(source.size_ - source.position_, 0);
        const std::int64_t skipped = std::clamp<std::int64_t>(request, 0, left);
        source.position_ += skipped;
        return skipped;
    }

    const ScanFileAccess& access_;
    int fd_;
    std::int64_t size_;
    Watch& watch_;
    std::vector<char> buffer_;
    std::int64_t position_ = 0;
    int readError_ = 0;
};

// libarchive turns the names of formats that store them as UTF-16 (7-Zip,
// RAR, Joliet) into the character set of the thread's locale. While an
// archive is read that is UTF-8, whatever the user's locale, so that a
// name a locale such as "C" cannot hold is not lost.
class Utf8Names {
public:
    Utf8Names() : utf8_(::newlocale(LC_CTYPE_MASK, "C.UTF-8", locale_t{})) {
        if (utf8_) previous_ = ::uselocale(utf8_);
    }
    ~Utf8Names() {
        if (!utf8_) return;
        ::uselocale(previous_);
        ::freelocale(utf8_);
    }
    Utf8Names(const Utf8Names&) = delete;
    Utf8Names& operator=(const Utf8Names&) = delete;

private:
    locale_t utf8_;
    locale_t previous_{};
};

enum class ReadEnd { Done, Refused, Stopped };

std::uint32_t PathParts(std::string_view path) {
    return static_cast<std::uint32_t>(std::count(path.begin(), path.end(), '/')) + 1;
}

// A member's name as UTF-8 where the archive says how its names are
// written; else its bytes as they are, which the catalog reader decodes by
// the legacy code page when they are not UTF-8.
std::string_view MemberPath(archive_entry* entry) {
    if (const char* utf8 = archive_entry_pathname_utf8(entry)) return utf8;
    if (const char* bytes = archive_entry_pathname(entry)) return bytes;
    return {};
}

// Reads every member header into `tree`, skipping the data. Refused when
// the archive is damaged, encrypted or breaks a bound.
ReadEnd ReadMembers(archive* a, MemberTree& tree, const ArchiveBounds& bounds, Watch& watch,
                    std::int64_t archiveTime, std::uint64_t& members) {
    std::uint64_t nameBytes = 0;
    archive_entry* entry = nullptr;
    for (;;) {
        const int status = archive_read_next_header(a, &entry);
        if (status == ARCHIVE_EOF) return ReadEnd::Done;
        if (watch.Stopped()) return ReadEnd::Stopped;
        if (status < ARCHIVE_WARN || !watch.GoOn())
            return watch.Stopped() ? ReadEnd::Stopped : ReadEnd::Refused;
        if (archive_entry_is_encrypted(entry)) return ReadEnd::Refused;
        const std::string_view path = MemberPath(entry);
        nameBytes += path.size();
        if (++members > bounds.members || nameBytes > bounds.nameBytes ||
            PathParts(path) > bounds.depth)
            return ReadEnd::Refused;
        const bool directory = archive_entry_filetype(entry) == AE_IFDIR;
        const std::int64_t size = archive_entry_size_is_set(entry)
                                      ? std::max<std::int64_t>(archive_entry_size(entry), 0)
                                      : 0;
        const std::int64_t time =
            archive_entry_mtime_is_set(entry) ? archive_entry_mtime(entry) : archiveTime;
        if (directory && (path.empty() || path.back() != '/'))
            tree.AddMember(std::string(path) + '/', 0, time);
        else
            tree.AddMember(path, directory ? 0 : size, time);
    }
}

bool IsCompressedStream(archive* a) {
    for (int i = 0; i < archive_filter_count(a); ++i)
        if (archive_filter_code(a, i) != ARCHIVE_FILTER_NONE) return true;
    return false;
}

}  // namespace

ArchiveLister::Outcome ArchiveLister::Write(const ArchiveFile& archive, CatalogWriter& out,
                                            std::uint64_t& members, const Tick& tick) {
    members = 0;
    if (choice_ == ArchiveChoice::ZipOnly) return Outcome::Skipped;
    struct stat opened {};
    const int fd = OpenRegularFile(access_, archive.directoryFd, archive.name, opened);
    if (fd < 0) return errno == ENOENT ? Outcome::Gone : Outcome::NotListed;
    Watch watch(tick, DeadlineFor(opened.st_size, bounds_));
    FileSource source(access_, fd, opened.st_size, watch);
    const Utf8Names names;
    Reader reader = NewReader();
    if (!reader) return Outcome::NotListed;
    const int opening = source.Open(reader.get());
    if (watch.Stopped()) return Outcome::Stopped;
    if (source.ReadError() != 0) return Outcome::Unreadable;
    if (opening != ARCHIVE_OK) return Outcome::NotListed;
    if (choice_ == ArchiveChoice::Default && IsCompressedStream(reader.get()) &&
        opened.st_size > bounds_.compressedLimit)
        return Outcome::Skipped;
    MemberTree tree(archive.time);
    const ReadEnd end = ReadMembers(reader.get(), tree, bounds_, watch, archive.time, members);
    if (end == ReadEnd::Stopped) return Outcome::Stopped;
    if (source.ReadError() != 0) return Outcome::Unreadable;
    if (end == ReadEnd::Refused) {
        members = 0;
        return Outcome::NotListed;
    }
    return tree.WriteArchive(archive, out, clock_, tick) ? Outcome::Listed : Outcome::Stopped;
}

std::int64_t ListArchiveInMemory(const void* data, std::size_t size, const ArchiveBounds& bounds) {
    const Utf8Names names;
    Reader reader = NewReader();
    if (!reader || archive_read_open_memory(reader.get(), data, size) != ARCHIVE_OK) return -1;
    const ArchiveLister::Tick none;
    Watch watch(none, DeadlineFor(static_cast<std::int64_t>(size), bounds));
    MemberTree tree(0);
    std::uint64_t members = 0;
    if (ReadMembers(reader.get(), tree, bounds, watch, 0, members) != ReadEnd::Done) return -1;
    return static_cast<std::int64_t>(members);
}

}  // namespace kestavo::media
