// SPDX-License-Identifier: GPL-3.0-or-later
#include "media/member_tree.h"

#include <limits.h>

#include <algorithm>

namespace kestavo::media {

MemberTree::MemberTree(std::int64_t archiveTime) {
    nodes_.push_back({.name = "", .size = 0, .time = archiveTime, .folder = true, .children = {}});
}

void MemberTree::AddMember(std::string_view path, std::int64_t size, std::int64_t time) {
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
        Add(parent, parts.empty() ? std::string_view() : parts.back(), /*folder=*/false);
    nodes_[file].size = size;
    nodes_[file].time = time;
}

// A path no folder on a disk could have: its last part as a file right
// under the archive, so a hostile archive cannot make deep trees.
void MemberTree::AddOverlongMember(std::string_view path, bool directoryMember, std::int64_t size,
                                   std::int64_t time) {
    if (directoryMember) return;
    const std::size_t slash = path.rfind('/');
    const std::uint32_t file =
        Add(0, slash == std::string_view::npos ? path : path.substr(slash + 1), /*folder=*/false);
    nodes_[file].size = size;
    nodes_[file].time = time;
}

bool MemberTree::WriteArchive(const ArchiveFile& archive, CatalogWriter& out, LocalClock& clock,
                              const Tick& tick) {
    DateFields date{};
    clock.LocalFields(archive.time, date);
    out.BeginContainer(archive.name, archive.size, date);
    if (!WriteChildren(out, clock, tick)) return false;
    out.EndContainer();
    return true;
}

bool MemberTree::WriteChildren(CatalogWriter& out, LocalClock& clock, const Tick& tick) {
    struct Open {
        std::uint32_t node;
        std::size_t next;
    };
    std::vector<Open> stack{{0, 0}};
    Sort(/*index=*/0);
    while (!stack.empty()) {
        Open& top = stack.back();
        Node& node = nodes_[top.node];
        if (top.next == node.children.size()) {
            if (stack.size() > 1) out.EndContainer();
            stack.pop_back();
            continue;
        }
        if (tick && !tick()) return false;
        const std::uint32_t childIndex = node.children[top.next++];
        const Node& child = nodes_[childIndex];
        DateFields date{};
        clock.LocalFields(child.time, date);
        if (!child.folder) {
            out.File(child.name, child.size, date);
            continue;
        }
        out.BeginContainer(child.name, /*size=*/0, date);
        Sort(childIndex);
        stack.push_back({childIndex, 0});
    }
    return true;
}

std::uint32_t MemberTree::Folder(std::uint32_t parent, std::string_view name) {
    std::string key(reinterpret_cast<const char*>(&parent), sizeof parent);
    key.append(name);
    const auto [it, added] = folders_.try_emplace(std::move(key), 0);
    if (added) it->second = Add(parent, name, /*folder=*/true);
    return it->second;
}

std::uint32_t MemberTree::Add(std::uint32_t parent, std::string_view name, bool folder) {
    const auto index = static_cast<std::uint32_t>(nodes_.size());
    nodes_.push_back({std::string(name), 0, nodes_[0].time, folder, {}});
    nodes_[parent].children.push_back(index);
    return index;
}

void MemberTree::Sort(std::uint32_t index) {
    std::vector<std::uint32_t>& children = nodes_[index].children;
    std::stable_sort(children.begin(), children.end(), [this](std::uint32_t a, std::uint32_t b) {
        return nodes_[a].name < nodes_[b].name;
    });
}

}  // namespace kestavo::media
