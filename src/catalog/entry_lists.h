// SPDX-License-Identifier: GPL-3.0-or-later
// The entries filed under each tree item, in filing order: a list linked
// through the entries themselves, with its first and last entry kept by item.
#pragma once

#include <cstddef>
#include <vector>

#include "catalog/container_tree.h"
#include "catalog/entry_store.h"
#include "catalog/file_data.h"

namespace kestavo {

class EntryLists {
public:
    void Append(TreeItem item, FileData& entry);
    FileData* First(TreeItem item) const {
        return item < lists_.size() ? lists_[item].head : nullptr;
    }
    FileData* Last(TreeItem item) const {
        return item < lists_.size() ? lists_[item].tail : nullptr;
    }
    static FileData* Next(const FileData& entry) { return entry.Store().NextOf(entry); }
    // Takes lists whose entries are linked already: `item`'s runs from
    // `head` to `tail`.
    void SetList(TreeItem item, FileData* head, FileData* tail);
    // Takes `entry`, which follows `previous` (null: it is the first), out
    // of the list of `item`.
    void Unlink(TreeItem item, FileData* previous, FileData& entry);
    // Forgets the list of `item`; its entries keep their links.
    void Clear(TreeItem item);
    void ClearAll() { lists_.clear(); }
    // Appends every list of `other` to the list of the item `map` gives for
    // its item, emptying `other`.
    void AppendAll(EntryLists& other, const std::vector<TreeItem>& map);

private:
    struct List {
        FileData* head = nullptr;
        FileData* tail = nullptr;
    };
    std::vector<List> lists_;
};

}  // namespace kestavo
