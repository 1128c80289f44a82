// SPDX-License-Identifier: GPL-3.0-or-later
#include "catalog/entry_lists.h"

#include <algorithm>

namespace kestavo {

void EntryLists::Append(TreeItem item, FileData& entry) {
    if (item >= lists_.size()) lists_.resize(std::max<std::size_t>(item + 1, lists_.size() * 2));
    List& list = lists_[item];
    if (list.tail)
        list.tail->Store().SetNext(*list.tail, &entry);
    else
        list.head = &entry;
    list.tail = &entry;
}

void EntryLists::Unlink(TreeItem item, FileData* previous, FileData& entry) {
    if (item >= lists_.size()) return;
    List& list = lists_[item];
    FileData* const next = Next(entry);
    if (previous)
        previous->Store().SetNext(*previous, next);
    else
        list.head = next;
    if (list.tail == &entry) list.tail = previous;
}

void EntryLists::SetList(TreeItem item, FileData* head, FileData* tail) {
    if (item >= lists_.size()) lists_.resize(std::max<std::size_t>(item + 1, lists_.size() * 2));
    lists_[item] = List{head, tail};
}

void EntryLists::Clear(TreeItem item) {
    if (item < lists_.size()) lists_[item] = List{};
}

void EntryLists::AppendAll(EntryLists& other, const std::vector<TreeItem>& map) {
    for (TreeItem from = 0; from < other.lists_.size() && from < map.size(); ++from) {
        const List list = other.lists_[from];
        if (!list.head) continue;
        const TreeItem to = map[from];
        if (to >= lists_.size()) lists_.resize(std::max<std::size_t>(to + 1, lists_.size() * 2));
        List& into = lists_[to];
        if (into.tail)
            into.tail->Store().SetNext(*into.tail, list.head);
        else
            into.head = list.head;
        into.tail = list.tail;
    }
    other.lists_.clear();
}

}  // namespace kestavo
