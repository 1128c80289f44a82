// SPDX-License-Identifier: GPL-3.0-or-later
#include "catalog/file_data.h"

namespace kestavo {

FileData::FileData(TextRef name, TreeItem parentItem, std::int64_t size, std::int64_t time,
                   int kind, std::uint32_t serial)
    : size_(size),
      time_(time),
      name_(name),
      parentItem_(parentItem),
      kind_(kind),
      serial_(serial & 0x7fffffffu),
      sizeCounted_(0) {}

namespace {

// Whether the first `lower` (or, when there is none, the first `upper`)
// starts after the first character and ends the name.
bool EndsWithOnce(std::string_view name, std::string_view lower, std::string_view upper) {
    std::size_t pos = name.find(lower);
    if (pos == std::string_view::npos) pos = name.find(upper);
    return pos != std::string_view::npos && pos > 0 && pos + lower.size() == name.size();
}

}  // namespace

bool PassesZipTest(std::string_view name) {
    return EndsWithOnce(name, ".zip", ".ZIP");
}

bool PassesArchiveTest(std::string_view name) {
    struct Ending {
        std::string_view lower, upper;
    };
    static constexpr Ending kEndings[] = {
        {".7z", ".7Z"},           {".rar", ".RAR"},       {".tar", ".TAR"},
        {".tgz", ".TGZ"},         {".tar.gz", ".TAR.GZ"}, {".tar.bz2", ".TAR.BZ2"},
        {".tbz2", ".TBZ2"},       {".tar.xz", ".TAR.XZ"}, {".txz", ".TXZ"},
        {".tar.zst", ".TAR.ZST"}, {".iso", ".ISO"},       {".cab", ".CAB"},
    };
    if (PassesZipTest(name)) return true;
    for (const Ending& ending : kEndings)
        if (EndsWithOnce(name, ending.lower, ending.upper)) return true;
    return false;
}

std::string_view ArchiveOfLocation(std::string_view location) {
    // The archive is the first part after the disk name that passes the
    // archive test; a disk name is never an archive, and ".zip" inside a
    // longer name ("my.zipfiles") makes no archive.
    std::size_t start = location.find('/');
    while (start != std::string_view::npos) {
        const std::size_t end = location.find('/', start + 1);
        const std::string_view part =
            location.substr(start + 1, end == std::string_view::npos ? end : end - start - 1);
        if (PassesArchiveTest(part)) return location.substr(0, start + 1 + part.size());
        start = end;
    }
    return {};
}

}  // namespace kestavo
