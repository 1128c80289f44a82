// SPDX-License-Identifier: GPL-3.0-or-later
// What the list pane shows: one tree item's entries, as a list of disks (the
// top root item's) or of files, in filing order. It follows the catalog set:
// the rows go when entries are removed, the disk list comes after a load, and
// the rows are read again when the size texts were dropped.
#pragma once

#include <vector>

#include "catalog/catalog_set.h"

namespace kestavo {

// Told when the rows changed; it then asks the ShownContents for them.
class ShownContentsListener {
public:
    virtual ~ShownContentsListener() = default;
    // The rows were emptied; the item shown stays the same.
    virtual void RowsCleared() = 0;
    // The rows were read: of a newly shown item or of the same one again.
    virtual void RowsRead() = 0;
};

class ShownContents : private CatalogSetObserver {
public:
    explicit ShownContents(CatalogSet& set);
    ~ShownContents() override;
    ShownContents(const ShownContents&) = delete;
    ShownContents& operator=(const ShownContents&) = delete;

    // Shows the entries under `item`: the disks when it is the top root
    // item (the one item without a parent), files otherwise.
    void Show(TreeItem item);
    // The disks under the top root item.
    void ShowDisks();
    // Reads the rows of the item shown again.
    void Refresh();

    // The set whose entries are shown.
    CatalogSet& Set() const { return set_; }
    TreeItem Item() const { return item_; }
    TreeItem Parent() const { return parent_; }
    bool ListsDisks() const { return parent_ == kNoItem; }
    const std::vector<FileData*>& Rows() const { return rows_; }
    // The rows as a freshly filled list shows them (see SortInInitialOrder).
    std::vector<FileData*> RowsInInitialOrder() const;

    // One listener at a time; null for none.
    void SetListener(ShownContentsListener* listener) { listener_ = listener; }

private:
    void ReadRows();
    void EntriesAboutToBeRemoved() override;
    void DisksLoaded() override;
    void SizeTextsReleased() override;

    CatalogSet& set_;
    TreeItem item_ = kNoItem;
    TreeItem parent_ = kNoItem;
    std::vector<FileData*> rows_;
    ShownContentsListener* listener_ = nullptr;
};

}  // namespace kestavo
