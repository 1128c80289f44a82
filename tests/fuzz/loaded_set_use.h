// SPDX-License-Identifier: GPL-3.0-or-later
// What the catalog fuzz targets do with a set once something is loaded into
// it: the messages are answered with their default, and every item and
// entry (up to a bound) is used the way the windows use them.
#pragma once

#include <string>
#include <vector>

#include "catalog/catalog_set.h"
#include "catalog/messages.h"
#include "catalog/properties.h"
#include "catalog/utf8_check.h"

namespace kestavo::fuzz {

class IgnoredMessages : public MessageSink {
public:
    MessageAnswer Show(const Message& message) override { return message.defaultAnswer; }
};

// Whether every name must be UTF-8 (as the text reader makes them), or may
// hold any bytes (as a cache made by hand may).
enum class Names { Utf8, AnyBytes };

// Paths, size and date texts, archive paths and properties of what was
// loaded; a name that must be UTF-8 and is not stops the run.
inline void UseWhatWasLoaded(CatalogSet& set, Names names) {
    const ContainerTree& tree = set.Tree();
    const bool utf8 = names == Names::Utf8;
    std::size_t visited = 0;
    std::vector<TreeItem> pending{set.RootItem()};
    while (!pending.empty() && visited < 2000) {
        const TreeItem item = pending.back();
        pending.pop_back();
        ++visited;
        if (utf8 && !IsUtf8(tree.ItemText(item))) __builtin_trap();
        set.ForEachEntryUnder(item, [&set, utf8](FileData& e) {
            if (utf8 && !IsUtf8(e.GetName())) __builtin_trap();
            set.PathOf(e);
            set.SizeTextOf(e);
            set.DateTextOf(e);
            std::string archive;
            set.ArchivePathOf(e, archive);
        });
        for (TreeItem child : tree.Children(item)) pending.push_back(child);
    }
    PropertiesOfRoot(set);
    for (TreeItem disk : tree.Children(set.RootItem()))
        if (FileData* entry = set.EntryOfItem(disk)) PropertiesOfEntry(*entry);
}

}  // namespace kestavo::fuzz
