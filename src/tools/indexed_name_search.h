// SPDX-License-Identifier: GPL-3.0-or-later
// Find Files through the stores: for a mask holding a literal run of 3
// bytes or more, only the names of the blocks where every trigram of its
// runs occurs are tested, instead of every name below the search root;
// for any other mask every store is read whole, in the order its entries
// lie in memory, which is quicker than following the tree. The entries are
// found store by store, in the order of creation; OrderNamesakesAsWalked
// then gives rows put in the initial order the order that rows found by a
// walk of the tree would have.
#pragma once

#include <cstdint>
#include <span>
#include <string_view>
#include <vector>

#include "catalog/catalog_set.h"

namespace kestavo {

class IndexedNameSearch {
public:
    // `mask` upper-cased, as Find Files matches it.
    IndexedNameSearch(const CatalogSet& set, std::string_view mask);

    // Whether the mask holds a literal run of 3 bytes or more and the
    // stores' indexes leave few enough names to test that Collect beats a
    // walk of the tree: at most a quarter of the entries. A mask whose
    // trigrams occur almost everywhere (*.JPG) is searched by the walk.
    bool Applies() const { return applies_; }

    // Appends, with the set unchanged since the search was made, the live
    // entries at or below `top` (filed under any item of the subtree) whose
    // names match the mask, store by store in the order of creation and
    // within a store by serial: through the indexes when Applies(), else
    // by reading every store whole.
    void Collect(TreeItem top, std::vector<FileData*>& found) const;

private:
    // What the index of one store leaves to test: the blocks where every
    // trigram occurs, of the first `indexed` entries; the entries made after
    // the index are all tested.
    struct StorePlan {
        std::vector<std::uint32_t> blocks;
        std::uint32_t indexed = 0;
        unsigned blockShift = 0;
    };
    static StorePlan PlanStore(const EntryStore& store, std::span<const std::uint32_t> trigrams,
                               std::size_t& namesToTest);
    // Plans every store to be read whole.
    void PlanEveryName();
    // Appends the matching live entries of store `s`, anywhere in the tree.
    void CollectFromStore(std::size_t s, std::vector<FileData*>& found) const;

    static constexpr std::size_t kMostTestedShare = 4;

    const CatalogSet& set_;
    std::string_view mask_;
    std::vector<StorePlan> plans_;  // by store
    std::size_t namesToTest_ = 0;
    bool applies_ = false;
};

// Rows in the initial order (SortInInitialOrder) that came in creation
// order: each run of rows with exactly the same name is put in the order a
// walk of the tree (depth first, each item's entries in filing order, before
// those of its children) meets them. Rows of the same item keep their order.
void OrderNamesakesAsWalked(const ContainerTree& tree, std::vector<FileData*>& rows);
// Rows found in creation order put in the order a walk of the tree meets
// them: by item as the walk meets the items, each item's rows in their order.
void OrderAsWalked(const ContainerTree& tree, std::vector<FileData*>& rows);
// Rows found in creation order put in the initial order, as rows found by
// a walk of the tree and sorted (SortInInitialOrder) would be.
void SortFoundInInitialOrder(const ContainerTree& tree, std::vector<FileData*>& rows);

}  // namespace kestavo
