// SPDX-License-Identifier: GPL-3.0-or-later
#include "catalog/catalog_cache_pruning.h"

#include <dirent.h>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <ctime>
#include <string_view>
#include <vector>

#include "catalog/catalog_cache.h"
#include "catalog/catalog_cache_format.h"
#include "catalog/directory_lister.h"

namespace kestavo {

namespace cf = cache_format;

namespace {

// The longest key read: the stamp and a path of PATH_MAX bytes with its
// length, with room to spare.
constexpr std::size_t kLongestKeyRead = 8192;

// A file descriptor closed when it goes.
class OpenFile {
public:
    explicit OpenFile(const std::string& path)
        : fd_(::open(path.c_str(), O_RDONLY | O_CLOEXEC | O_NOFOLLOW)) {}
    ~OpenFile() {
        if (fd_ >= 0) ::close(fd_);
    }
    OpenFile(const OpenFile&) = delete;
    OpenFile& operator=(const OpenFile&) = delete;
    int Fd() const { return fd_; }
    // Reads exactly `size` bytes at `offset`.
    bool ReadAt(void* data, std::size_t size, std::uint64_t offset) const {
        const ssize_t got = ::pread(fd_, data, size, static_cast<off_t>(offset));
        return got >= 0 && static_cast<std::size_t>(got) == size;
    }

private:
    int fd_;
};

bool IsHexDigits(std::string_view text) {
    return std::all_of(text.begin(), text.end(),
                       [](char c) { return (c >= '0' && c <= '9') || (c >= 'a' && c <= 'f'); });
}

// "<16 hex digits>.kvc", and the same with a temporary file's suffix.
constexpr std::string_view kCacheSuffix = ".kvc";
constexpr std::size_t kStemLength = 16;

bool IsCacheName(std::string_view name) {
    return name.size() == kStemLength + kCacheSuffix.size() &&
           IsHexDigits(name.substr(0, kStemLength)) && name.substr(kStemLength) == kCacheSuffix;
}

bool IsTemporaryCacheName(std::string_view name) {
    const std::size_t stem = kStemLength + kCacheSuffix.size();
    return name.size() > stem + 1 && IsCacheName(name.substr(0, stem)) && name[stem] == '.';
}

std::string_view FileNameOf(std::string_view path) {
    const std::size_t slash = path.rfind('/');
    return slash == std::string_view::npos ? path : path.substr(slash + 1);
}

bool IsOlderThan(const std::string& path, std::int64_t seconds) {
    struct stat st {};
    if (::lstat(path.c_str(), &st) != 0 || !S_ISREG(st.st_mode)) return false;
    return std::time(nullptr) - st.st_mtime > seconds;
}

// Whether nothing is at `path` any more (not merely out of reach now).
bool IsGone(const std::string& path) {
    struct stat st {};
    return ::lstat(path.c_str(), &st) != 0 && (errno == ENOENT || errno == ENOTDIR);
}

}  // namespace

std::string CatalogPathOfCache(const std::string& cacheFile) {
    const OpenFile file(cacheFile);
    struct stat st {};
    if (file.Fd() < 0 || ::fstat(file.Fd(), &st) != 0 || !S_ISREG(st.st_mode)) return std::string();
    const auto fileBytes = static_cast<std::uint64_t>(st.st_size);
    // The header and the longest section table there can be, or the whole
    // file when it is shorter.
    std::vector<std::byte> start(std::min<std::uint64_t>(
        fileBytes, sizeof(cf::Header) + cf::kMaxSections * sizeof(cf::Section)));
    std::vector<cf::Section> sections;
    if (!file.ReadAt(start.data(), start.size(), 0) ||
        !ReadCacheSectionTable(start, fileBytes, /*checkSum=*/true, sections))
        return std::string();
    for (const cf::Section& section : sections) {
        if (section.kind != static_cast<std::uint32_t>(cf::SectionKind::Key)) continue;
        if (section.offset > fileBytes || section.length > fileBytes - section.offset)
            return std::string();
        std::string key(std::min<std::uint64_t>(section.length, kLongestKeyRead), '\0');
        if (!file.ReadAt(key.data(), key.size(), section.offset)) return std::string();
        return CatalogCacheKey::CatalogPathIn(std::as_bytes(std::span(key)));
    }
    return std::string();
}

CachePruneCounts PruneCatalogCaches(const std::string& cacheDirectory,
                                    const std::vector<std::string>& inUse) {
    CachePruneCounts counts;
    if (cacheDirectory.empty()) return counts;
    std::vector<std::string> names;
    DirectoryLister().List(cacheDirectory, [&](const ListedName& item) {
        if (IsCacheName(item.name) || IsTemporaryCacheName(item.name))
            names.emplace_back(item.name);
        return true;
    });
    std::vector<std::string_view> inUseNames;
    for (const std::string& file : inUse) inUseNames.push_back(FileNameOf(file));
    for (const std::string& name : names) {
        const std::string path = cacheDirectory + "/" + name;
        if (IsTemporaryCacheName(name)) {
            if (IsOlderThan(path, kLeftoverTemporarySeconds) && ::unlink(path.c_str()) == 0)
                ++counts.leftoverTemporaries;
            continue;
        }
        if (std::find(inUseNames.begin(), inUseNames.end(), name) != inUseNames.end()) continue;
        const std::string catalog = CatalogPathOfCache(path);
        // Only a cache that is its catalog's own (named after that path)
        // and whose catalog is gone is removed.
        if (catalog.empty() || FileNameOf(CatalogCacheFile(catalog)) != name || !IsGone(catalog))
            continue;
        if (::unlink(path.c_str()) == 0) ++counts.staleCaches;
    }
    return counts;
}

}  // namespace kestavo
