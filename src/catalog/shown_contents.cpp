// SPDX-License-Identifier: GPL-3.0-or-later
#include "catalog/shown_contents.h"

#include "catalog/list_rows.h"
#include "catalog/row_order.h"

namespace kestavo {

ShownContents::ShownContents(CatalogSet& set) : set_(set) {
    set_.AddObserver(this);
}

ShownContents::~ShownContents() {
    set_.RemoveObserver(this);
}

void ShownContents::Show(TreeItem item) {
    item_ = item;
    parent_ = set_.Tree().Parent(item);
    ReadRows();
}

void ShownContents::ReadRows() {
    rows_.clear();
    set_.ForEachEntryUnder(item_, [this](FileData& e) { rows_.push_back(&e); });
    if (listener_) listener_->RowsRead();
}

void ShownContents::ShowDisks() {
    Show(set_.RootItem());
}

void ShownContents::Refresh() {
    ReadRows();
}

std::vector<FileData*> ShownContents::RowsInInitialOrder() const {
    std::vector<FileData*> rows = rows_;
    SortInInitialOrder(rows);
    return rows;
}

void ShownContents::EntriesAboutToBeRemoved() {
    // The rows point at entries, some of which are about to go.
    rows_.clear();
    if (listener_) listener_->RowsCleared();
}

void ShownContents::DisksLoaded() {
    ShowDisks();
}

void ShownContents::SizeTextsReleased() {
    Refresh();
}

}  // namespace kestavo
