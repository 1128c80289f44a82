// SPDX-License-Identifier: GPL-3.0-or-later
#include "media/zip_listing.h"

#include <fcntl.h>
#include <limits.h>
#include <sys/stat.h>
#include <unistd.h>
#include <zip.h>

#include <algorithm>
#include <cerrno>
#include <memory>
#include <string>
#include <unordered_map>
#include <vector>

#include "media/zip_listing_source.h"

namespace kestavo::media {
namespace {

// One folder or file of the member tree; node 0 is the archive itself.
struct MemberNode {
    std::string name;
    std::int64_t size = 0;
    std::int64_t time = 0;
    bool folder = false;
    std::vector<std::uint32_t> children;
};

// The member paths of an archive as a tree: each path split at "/", empty
// parts dropped; folders take the date of their own directory member.
class MemberTree {
public:
    explicit MemberTree(std::int64_t archiveTime) {
        nodes_.push_back({"", 0, archiveTime, true, {}});
    }

    void AddMember(std::string_view path, std::int64_t size, std::int64_t time) {
        const bool directoryMember = !path.empty() && path.back() == '/';
        if (path.size() >= PATH_MAX) {
            AddOverlongMember(path, directoryMember, size, time);
            return;
        }
        std::vector<std::string_view> parts;
        std::size_t start = 0;
        while (start <= path.size()) {
            const std::size_t end = std::min(path.find('/', start), path.size());
            if (end > start) parts.push_back(path.substr(start, end - start));
            start = end + 1;
        }
        if (directoryMember && parts.empty()) return;  // "/": the archive itself
        std::uint32_t parent = 0;
        const std::size_t folderParts =
            directoryMember ? parts.size() : (parts.empty() ? 0 : parts.size() - 1);
        for (std::size_t i = 0; i < folderParts; ++i) parent = Folder(parent, parts[i]);
        if (directoryMember) {
            nodes_[parent].time = time;
            return;
        }
        const std::uint32_t file =
            Add(parent, parts.empty() ? std::string_view() : parts.back(), false);
        nodes_[file].size = size;
        nodes_[file].time = time;
    }

    // A path no folder on a disk could have: its last part as a file right
    // under the archive, so a hostile archive cannot make deep trees.
    void AddOverlongMember(std::string_view path, bool directoryMember, std::int64_t size,
                           std::int64_t time) {
        if (directoryMember) return;
        const std::size_t slash = path.rfind('/');
        const std::uint32_t file =
            Add(0, slash == std::string_view::npos ? path : path.substr(slash + 1), false);
        nodes_[file].size = size;
        nodes_[file].time = time;
    }

    // Writes the children of the archive node, depth first, each folder's
    // children in ascending byte order of their names. False when `tick`
    // asked to stop.
    bool WriteChildren(CatalogWriter& out, LocalClock& clock, const ZipLister::Tick& tick) {
        struct Open {
            std::uint32_t node;
            std::size_t next;
        };
        std::vector<Open> stack{{0, 0}};
        Sort(0);
        while (!stack.empty()) {
            Open& top = stack.back();
            MemberNode& node = nodes_[top.node];
            if (top.next == node.children.size()) {
                if (stack.size() > 1) out.EndContainer();
                stack.pop_back();
                continue;
            }
            if (tick && !tick()) return false;
            const std::uint32_t childIndex = node.children[top.next++];
            const MemberNode& child = nodes_[childIndex];
            DateFields date{};
            clock.LocalFields(child.time, date);
            if (!child.folder) {
                out.File(child.name, child.size, date);
                continue;
            }
            out.BeginContainer(child.name, 0, date);
            Sort(childIndex);
            stack.push_back({childIndex, 0});
        }
        return true;
    }

private:
    std::uint32_t Folder(std::uint32_t parent, std::string_view name) {
        std::string key(reinterpret_cast<const char*>(&parent), sizeof parent);
        key.append(name);
        const auto [it, added] = folders_.try_emplace(std::move(key), 0);
        if (added) it->second = Add(parent, name, true);
        return it->second;
    }

    std::uint32_t Add(std::uint32_t parent, std::string_view name, bool folder) {
        const auto index = static_cast<std::uint32_t>(nodes_.size());
        nodes_.push_back({std::string(name), 0, nodes_[0].time, folder, {}});
        nodes_[parent].children.push_back(index);
        return index;
    }

    void Sort(std::uint32_t index) {
        std::vector<std::uint32_t>& children = nodes_[index].children;
        std::stable_sort(
            children.begin(), children.end(),
            [this](std::uint32_t a, std::uint32_t b) { return nodes_[a].name < nodes_[b].name; });
    }

    std::vector<MemberNode> nodes_;
    std::unordered_map<std::string, std::uint32_t> folders_;
};

struct ArchiveCloser {
    void operator()(zip_t* archive) const { zip_discard(archive); }
};

}  // namespace

ZipLister::Outcome ZipLister::Write(const ArchiveFile& archive, CatalogWriter& out,
                                    std::uint64_t& members, const Tick& tick) {
    members = 0;
    const int fd = access_.OpenAt(archive.directoryFd, archive.name,
                                  O_RDONLY | O_NOFOLLOW | O_NONBLOCK | O_CLOEXEC);
    if (fd < 0) return errno == ENOENT ? Outcome::Gone : Outcome::NotAZip;
    struct stat opened {};
    if (::fstat(fd, &opened) != 0 || !S_ISREG(opened.st_mode)) {
        ::close(fd);
        return Outcome::NotAZip;
    }
    // The source closes the descriptor; it outlives the archive reading it.
    ZipFileSource source(access_, fd, opened.st_size, tick);
    zip_error_t error;
    zip_error_init(&error);
    zip_source_t* from = source.Create(&error);
    std::unique_ptr<zip_t, ArchiveCloser> zip(from ? zip_open_from_source(from, ZIP_RDONLY, &error)
                                                   : nullptr);
    zip_error_fini(&error);
    if (!zip) {
        if (from) zip_source_free(from);
        if (source.Stopped()) return Outcome::Stopped;
        return source.ReadError() != 0 ? Outcome::Unreadable : Outcome::NotAZip;
    }
    const zip_int64_t count = zip_get_num_entries(zip.get(), 0);
    MemberTree tree(archive.time);
    for (zip_int64_t i = 0; i < count; ++i) {
        if (tick && !tick()) return Outcome::Stopped;
        zip_stat_t st;
        zip_stat_init(&st);
        if (zip_stat_index(zip.get(), static_cast<zip_uint64_t>(i), ZIP_FL_ENC_GUESS, &st) != 0 ||
            !(st.valid & ZIP_STAT_NAME) || !st.name)
            continue;
        const std::int64_t size =
            (st.valid & ZIP_STAT_SIZE)
                ? static_cast<std::int64_t>(std::min<zip_uint64_t>(st.size, INT64_MAX))
                : 0;
        const std::int64_t time = (st.valid & ZIP_STAT_MTIME) ? st.mtime : archive.time;
        tree.AddMember(st.name, size, time);
        ++members;
    }
    DateFields date{};
    clock_.LocalFields(archive.time, date);
    out.BeginContainer(archive.name, archive.size, date);
    if (!tree.WriteChildren(out, clock_, tick)) return Outcome::Stopped;
    out.EndContainer();
    return Outcome::Listed;
}

}  // namespace kestavo::media
