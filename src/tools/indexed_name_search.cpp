// SPDX-License-Identifier: GPL-3.0-or-later
#include "tools/indexed_name_search.h"

#include <algorithm>
#include <atomic>
#include <numeric>

#include "catalog/entry_store.h"
#include "catalog/mask.h"
#include "catalog/name_index.h"
#include "catalog/row_order.h"
#include "catalog/tree_walk.h"
#include "support/large_buffer.h"
#include "support/side_by_side.h"

namespace kestavo {
namespace {

// Found rows are put in the walk's order before they are sorted once they
// number at least this share of the items.
constexpr std::size_t kWalkOrderFromShare = 4;

// Which items lie at or below one item, found by walking up from each item
// asked about once and remembered for every item on the way.
class SubtreeTest {
public:
    SubtreeTest(const ContainerTree& tree, TreeItem top)
        : tree_(tree), top_(top), state_(tree.ItemLimit(), kUnknown) {}

    bool Contains(TreeItem item) {
        if (item >= state_.size()) return false;
        if (state_[item] != kUnknown) return state_[item] == kInside;
        path_.clear();
        TreeItem at = item;
        std::uint8_t found = kOutside;
        while (at != kNoItem && at < state_.size() && tree_.IsValid(at)) {
            if (at == top_ || state_[at] != kUnknown) {
                found = at == top_ ? kInside : state_[at];
                break;
            }
            path_.push_back(at);
            at = tree_.Parent(at);
        }
        for (const TreeItem passed : path_) state_[passed] = found;
        return found == kInside;
    }

private:
    static constexpr std::uint8_t kUnknown = 0, kInside = 1, kOutside = 2;
    const ContainerTree& tree_;
    TreeItem top_;
    std::vector<std::uint8_t> state_;
    std::vector<TreeItem> path_;
};

}  // namespace

IndexedNameSearch::IndexedNameSearch(const CatalogSet& set, std::string_view mask)
    : set_(set), mask_(mask) {
    const std::vector<std::uint32_t> trigrams = TrigramsOfMask(mask);
    if (trigrams.empty()) {
        PlanEveryName();
        return;
    }
    const auto stores = set_.Stores();
    std::size_t namesToTest = 0, entries = 0;
    bool anyIndex = false;
    plans_.reserve(stores.size());
    for (const auto& store : stores) {
        anyIndex = anyIndex || store->NameIndex();
        entries += store->CreatedCount();
        plans_.push_back(PlanStore(*store, trigrams, namesToTest));
    }
    applies_ = anyIndex && namesToTest <= entries / kMostTestedShare;
    namesToTest_ = namesToTest;
    if (!applies_) PlanEveryName();
}

void IndexedNameSearch::PlanEveryName() {
    const auto stores = set_.Stores();
    plans_.assign(stores.size(), StorePlan{});
    namesToTest_ = 0;
    for (const auto& store : stores) namesToTest_ += store->CreatedCount();
}

IndexedNameSearch::StorePlan IndexedNameSearch::PlanStore(const EntryStore& store,
                                                          std::span<const std::uint32_t> trigrams,
                                                          std::size_t& namesToTest) {
    StorePlan plan;
    const std::uint32_t created = store.CreatedCount();
    const NameIndexView* index = store.NameIndex();
    // A damaged index answers nothing: the store is read whole.
    if (index && index->BlocksWithAll(trigrams, plan.blocks)) {
        plan.indexed = std::min(index->NameCount(), created);
        plan.blockShift = index->BlockShift();
        namesToTest += plan.blocks.size() << plan.blockShift;
    }
    namesToTest += created - plan.indexed;
    return plan;
}

void IndexedNameSearch::CollectFromStore(std::size_t s, std::vector<FileData*>& found) const {
    // The entries are only read; the rows hold them as the walk would.
    EntryStore& store = *set_.Stores()[s];
    const StorePlan& plan = plans_[s];
    NameMaskTest test(mask_);
    auto testRange = [&](std::uint32_t from, std::uint32_t to) {
        if (test.MatchesEveryName()) {
            found.reserve(found.size() + (to - from));
            for (std::uint32_t serial = from; serial < to; ++serial)
                if (FileData& entry = store.EntryAt(serial); entry.IsAlive())
                    found.push_back(&entry);
            return;
        }
        for (std::uint32_t serial = from; serial < to; ++serial) {
            FileData& entry = store.EntryAt(serial);
            if (entry.IsAlive() && test.Matches(entry.GetName())) found.push_back(&entry);
        }
    };
    for (const std::uint32_t block : plan.blocks) {
        const std::uint64_t from = std::uint64_t{block} << plan.blockShift;
        const std::uint64_t to =
            std::min<std::uint64_t>(from + (1u << plan.blockShift), plan.indexed);
        if (from < to) testRange(static_cast<std::uint32_t>(from), static_cast<std::uint32_t>(to));
    }
    // Entries made after the index was built are read one by one.
    testRange(plan.indexed, store.CreatedCount());
}

void IndexedNameSearch::Collect(TreeItem top, std::vector<FileData*>& found) const {
    const auto stores = set_.Stores();
    const std::size_t before = found.size();
    if (stores.size() < 2 || namesToTest_ < kSearchTwoThreadsFrom) {
        for (std::size_t s = 0; s < stores.size(); ++s) CollectFromStore(s, found);
    } else {
        // Two workers take the stores one at a time; each store's rows are
        // kept apart and joined in the order of the stores.
        std::vector<std::vector<FileData*>> ofStore(stores.size());
        std::atomic<std::size_t> next{0};
        auto work = [&] {
            for (std::size_t s = next++; s < stores.size(); s = next++)
                CollectFromStore(s, ofStore[s]);
        };
        RunSideBySide(work, work);
        // The stores' rows joined in their order, those of one store freed
        // as soon as they are in.
        std::size_t total = 0;
        for (const auto& rows : ofStore) total += rows.size();
        ReserveLarge(found, found.size() + total);
        for (auto& rows : ofStore) {
            found.insert(found.end(), rows.begin(), rows.end());
            std::vector<FileData*>().swap(rows);
        }
    }
    // Only the entries filed below the search root are rows.
    SubtreeTest below(set_.Tree(), top);
    const auto kept =
        std::remove_if(found.begin() + static_cast<std::ptrdiff_t>(before), found.end(),
                       [&](const FileData* e) { return !below.Contains(e->GetParentItem()); });
    found.erase(kept, found.end());
}

namespace {

// The rows of `tree` from the top level down to `item`, which order items
// as a depth-first walk meets them: an item before the items below it.
void AppendRowChain(const ContainerTree& tree, TreeItem item, std::vector<int>& out) {
    const std::size_t start = out.size();
    for (TreeItem at = item; at != kNoItem; at = tree.Parent(at)) out.push_back(tree.RowOf(at));
    std::reverse(out.begin() + static_cast<std::ptrdiff_t>(start), out.end());
}

bool AllOfOneItem(std::span<FileData* const> run) {
    const TreeItem first = run.front()->GetParentItem();
    return std::all_of(run.begin(), run.end(),
                       [first](const FileData* e) { return e->GetParentItem() == first; });
}

// Orders a run by the chains of rows of the rows' items.
void OrderRunByChains(const ContainerTree& tree, std::span<FileData*> run) {
    struct Keyed {
        std::size_t chainAt, chainEnd;
        FileData* entry;
    };
    std::vector<int> chains;
    std::vector<Keyed> keyed;
    keyed.reserve(run.size());
    for (FileData* entry : run) {
        const std::size_t at = chains.size();
        AppendRowChain(tree, entry->GetParentItem(), chains);
        keyed.push_back({at, chains.size(), entry});
    }
    std::stable_sort(keyed.begin(), keyed.end(), [&chains](const Keyed& a, const Keyed& b) {
        return std::lexicographical_compare(
            chains.begin() + static_cast<std::ptrdiff_t>(a.chainAt),
            chains.begin() + static_cast<std::ptrdiff_t>(a.chainEnd),
            chains.begin() + static_cast<std::ptrdiff_t>(b.chainAt),
            chains.begin() + static_cast<std::ptrdiff_t>(b.chainEnd));
    });
    for (std::size_t i = 0; i < run.size(); ++i) run[i] = keyed[i].entry;
}

// Where a depth-first walk of the whole tree meets each item, by handle:
// the order of the items' chains of rows.
std::vector<std::uint32_t> WalkPositions(const ContainerTree& tree) {
    std::vector<std::uint32_t> position(tree.ItemLimit(), 0);
    std::uint32_t next = 0;
    ForEachNodeDepthFirst(tree, kNoItem, [&](TreeItem item) {
        if (item != kNoItem) position[item] = next++;
    });
    return position;
}

// Calls `order` for each run of two rows or more with exactly the same name
// whose rows are not all filed under one item.
template <class Order>
void ForEachRunOfNamesakes(std::vector<FileData*>& rows, Order&& order) {
    for (std::size_t begin = 0; begin < rows.size();) {
        const std::string_view name = rows[begin]->GetName();
        std::size_t end = begin + 1;
        while (end < rows.size() && rows[end]->GetName() == name) ++end;
        const auto run = std::span<FileData*>(rows).subspan(begin, end - begin);
        if (run.size() > 1 && !AllOfOneItem(run)) order(run);
        begin = end;
    }
}

}  // namespace

void OrderNamesakesAsWalked(const ContainerTree& tree, std::vector<FileData*>& rows) {
    ForEachRunOfNamesakes(rows, [&tree](std::span<FileData*> run) { OrderRunByChains(tree, run); });
}

void OrderAsWalked(const ContainerTree& tree, std::vector<FileData*>& rows) {
    // A counting sort by the walk's position of each row's item: the rows
    // of each item are counted, each item's rows given their place after
    // those of the items the walk meets before it, and moved there in
    // their order.
    const std::vector<std::uint32_t> position = WalkPositions(tree);
    std::vector<std::uint32_t> next(position.size() + 1, 0);
    for (const FileData* row : rows) ++next[position[row->GetParentItem()] + 1];
    std::partial_sum(next.begin(), next.end(), next.begin());
    std::vector<FileData*> walked(rows.size());
    for (FileData* row : rows) walked[next[position[row->GetParentItem()]]++] = row;
    rows.swap(walked);
}

void SortFoundInInitialOrder(const ContainerTree& tree, std::vector<FileData*>& rows) {
    // For rows of a good share of the items, putting them in the walk's
    // order first costs less than ordering the namesakes afterwards.
    if (rows.size() * kWalkOrderFromShare < tree.ItemLimit()) {
        SortInInitialOrder(rows);
        OrderNamesakesAsWalked(tree, rows);
        return;
    }
    OrderAsWalked(tree, rows);
    SortInInitialOrder(rows);
}

}  // namespace kestavo
