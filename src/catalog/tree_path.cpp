// SPDX-License-Identifier: GPL-3.0-or-later
#include "catalog/tree_path.h"

#include <vector>

namespace kestavo {
namespace {

std::vector<std::string_view> SplitPath(std::string_view path) {
    std::vector<std::string_view> parts;
    if (path.empty()) return parts;
    std::size_t start = 0;
    for (;;) {
        const std::size_t slash = path.find('/', start);
        parts.push_back(path.substr(start, slash - start));
        if (slash == std::string_view::npos) break;
        start = slash + 1;
    }
    return parts;
}

}  // namespace

TreePathTarget ResolveTreePath(CatalogSet& set, std::string_view path, bool allowEntry) {
    TreePathTarget target;
    TreeItem node = set.RootItem();
    // A container's path completed with its "/" names the container itself.
    if (path.ends_with('/')) path.remove_suffix(1);
    const std::vector<std::string_view> parts = SplitPath(path);
    for (std::size_t i = 0; i < parts.size(); ++i) {
        const TreeItem child = set.ItemNamed(node, parts[i], SiblingMatch::ExactFirst);
        if (child != kNoItem) {
            node = child;
            continue;
        }
        if (!allowEntry || i + 1 != parts.size()) return target;
        FileData* entry = set.EntryNamed(node, parts[i], SiblingMatch::ExactFirst);
        if (!entry) return target;
        target.found = true;
        target.node = node;
        target.file = entry;
        return target;
    }
    target.found = true;
    target.node = node;
    return target;
}

}  // namespace kestavo
