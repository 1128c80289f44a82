// SPDX-License-Identifier: GPL-3.0-or-later
#include "catalog/catalog_set.h"

#include <algorithm>
#include <string>
#include <unordered_map>

#include "catalog/entry_store.h"
#include "catalog/mask.h"
#include "catalog/name_compare.h"

namespace kestavo {

CatalogSet::CatalogSet() = default;
CatalogSet::~CatalogSet() = default;

TreeItem CatalogSet::RootItem() {
    if (rootItem_ == kNoItem || !tree_.IsValid(rootItem_))
        rootItem_ = tree_.InsertItem(kRootItemText, kRootItemKind, kNoItem);
    return rootItem_;
}

std::string CatalogSet::CatalogFileOf(TreeItem disk) const {
    if (disk == kNoItem || !tree_.IsValid(disk) || tree_.Parent(disk) != rootItem_) return {};
    auto it = catalogFiles_.find(disk);
    return it == catalogFiles_.end() ? std::string() : it->second;
}

void CatalogSet::SetCatalogFile(TreeItem disk, std::string path) {
    if (disk != kNoItem) catalogFiles_[disk] = std::move(path);
}

std::string CatalogSet::CodePageOf(TreeItem disk) const {
    if (disk == kNoItem || !tree_.IsValid(disk) || tree_.Parent(disk) != rootItem_) return {};
    auto it = codePages_.find(disk);
    return it == codePages_.end() ? std::string() : it->second;
}

void CatalogSet::SetCodePage(TreeItem disk, std::string codePage) {
    if (disk == kNoItem) return;
    if (codePage.empty())
        codePages_.erase(disk);
    else
        codePages_[disk] = std::move(codePage);
}

void CatalogSet::StartNewStore() {
    // The previous load's store, always the last one, goes when it holds
    // nothing; the others are dropped as soon as they empty.
    if (current_ && current_->LiveCount() == 0 && !stores_.empty() &&
        stores_.back().get() == current_)
        stores_.pop_back();
    stores_.push_back(std::make_unique<EntryStore>(this, nextStoreSerial_++));
    current_ = stores_.back().get();
    DropEmptyStores();
}

void CatalogSet::AdoptDisks(ContainerTree& tree, TreeItem top, std::unique_ptr<EntryStore> store,
                            EntryLists& lists, std::vector<TreeItem>& map) {
    const TreeItem root = RootItem();
    tree_.GraftChildren(tree, top, root, map);
    if (!store) return;
    ++filingChanges_;
    StartNewStore();
    // The store made just now gives way to the one read, which takes its
    // place and number.
    store->MoveTo(this, stores_.back()->Serial());
    // The entries keep the items they were read with, each turned into the
    // set's through the map: nothing is written per entry, so that entries
    // mapped from a cache stay the file's pages.
    store->MapItems(map);
    store->ForgetPathsOfItems();
    stores_.back() = std::move(store);
    // Entries added later hold the set's items, so they go to a store of
    // their own.
    current_ = nullptr;
    if (stores_.back()->LiveCount() == 0) storeEmptied_ = true;
    lists_.AppendAll(lists, map);
}

FileData* CatalogSet::AddEntry(TreeItem parent, std::string_view name, std::int64_t size,
                               std::int64_t freeSpace, std::int64_t time, int kind) {
    if (!current_) StartNewStore();
    ++filingChanges_;
    FileData* entry = current_->Create(name, parent, size, freeSpace, time, kind);
    lists_.Append(parent, *entry);
    return entry;
}

void CatalogSet::NotifyRemoval() {
    ++filingChanges_;
    for (auto* o : observers_) o->EntriesAboutToBeRemoved();
}

void CatalogSet::DropEmptyStores() {
    // Looking through every store only after one emptied keeps loading many
    // catalogs, and removing many containers, linear.
    if (!storeEmptied_) return;
    storeEmptied_ = false;
    std::erase_if(stores_, [this](const std::unique_ptr<EntryStore>& store) {
        return store.get() != current_ && store->LiveCount() == 0;
    });
}

void CatalogSet::RemoveAllEntries() {
    NotifyRemoval();
    stores_.clear();
    storeEmptied_ = false;
    current_ = nullptr;
    lists_.ClearAll();
    catalogFiles_.clear();
    codePages_.clear();
}

void CatalogSet::RemoveEntriesUnder(TreeItem item) {
    if (!lists_.First(item)) return;
    NotifyRemoval();
    EntryStore* lastStore = nullptr;
    for (FileData* e = lists_.First(item); e;) {
        FileData* next = EntryLists::Next(*e);
        if (&e->Store() != lastStore) {
            lastStore = &e->Store();
            lastStore->ForgetPathOfItem(item);
        }
        e->Store().Destroy(*e);
        if (e->Store().LiveCount() == 0) storeEmptied_ = true;
        e = next;
    }
    lists_.Clear(item);
    DropEmptyStores();
}

void CatalogSet::RemoveEntryNamed(TreeItem parent, std::string_view name) {
    FileData* previous = nullptr;
    for (FileData* e = lists_.First(parent); e; previous = e, e = EntryLists::Next(*e)) {
        if (!EqualUpperCased(e->GetName(), name)) continue;
        NotifyRemoval();
        lists_.Unlink(parent, previous, *e);
        e->Store().Destroy(*e);
        if (e->Store().LiveCount() == 0) storeEmptied_ = true;
        DropEmptyStores();
        return;
    }
}

void CatalogSet::RemoveEntriesBelow(TreeItem top) {
    std::vector<TreeItem> pending{top};
    while (!pending.empty()) {
        const TreeItem item = pending.back();
        pending.pop_back();
        RemoveEntriesUnder(item);
        for (TreeItem child : tree_.Children(item)) pending.push_back(child);
    }
}

void CatalogSet::RemoveContainer(TreeItem parent, TreeItem item, std::string_view name) {
    RemoveEntriesBelow(item);
    RemoveEntryNamed(parent, name);
    catalogFiles_.erase(item);
    codePages_.erase(item);
    tree_.DeleteItem(item);
}

void CatalogSet::RemoveContainerNamed(TreeItem parent, std::string_view name) {
    const TreeItem child = tree_.FindChildUpperCased(parent, name);
    if (child != kNoItem) RemoveContainer(parent, child, name);
}

FileData* CatalogSet::EntryNamed(TreeItem parent, std::string_view name, SiblingMatch match) const {
    FileData* caseless = nullptr;
    for (FileData* e = lists_.First(parent); e; e = EntryLists::Next(*e)) {
        if (match != SiblingMatch::FirstIgnoringCase && e->GetName() == name) return e;
        if (match != SiblingMatch::Exact && !caseless && SameNameIgnoringCase(e->GetName(), name)) {
            if (match == SiblingMatch::FirstIgnoringCase) return e;
            caseless = e;
        }
    }
    return caseless;
}

TreeItem CatalogSet::ItemNamed(TreeItem parent, std::string_view name, SiblingMatch match) const {
    if (parent != kNoItem && !tree_.IsValid(parent)) return kNoItem;
    if (match != SiblingMatch::FirstIgnoringCase) {
        const TreeItem exact = tree_.FindChild(parent, name);
        if (exact != kNoItem || match == SiblingMatch::Exact) return exact;
    }
    for (TreeItem child : tree_.Children(parent))
        if (SameNameIgnoringCase(tree_.ItemText(child), name)) return child;
    return kNoItem;
}

namespace {

bool IsContainerNamed(const FileData& e, std::string_view name) {
    return e.IsContainer() && e.GetName() == name;
}

}  // namespace

TreeItem CatalogSet::ItemOfEntry(const FileData& entry) const {
    if (!entry.IsContainer()) return kNoItem;
    const TreeItem parent = entry.GetParentItem();
    const std::string_view name = entry.GetName();
    const TreeItem first = tree_.FindChild(parent, name, /*nth=*/0);
    // An item whose text no sibling shares shows the only container so named.
    if (first == kNoItem || tree_.FindChild(parent, name, /*nth=*/1) == kNoItem) return first;
    return tree_.FindChild(parent, name, PlaceAmongNamesakes(entry));
}

std::size_t CatalogSet::PlaceAmongNamesakes(const FileData& entry) const {
    // Made for all the containers of the parent at once, so that the rows
    // of a folder full of namesakes do not each walk the folder again.
    std::lock_guard lock(placesLock_);
    if (placesMadeAt_ != filingChanges_) {
        places_.clear();
        placesMadeAt_ = filingChanges_;
    }
    const TreeItem parent = entry.GetParentItem();
    auto [at, made] = places_.try_emplace(parent);
    auto& places = at->second;
    if (made) {
        std::unordered_map<std::string_view, std::size_t> seen;
        for (FileData* e = lists_.First(parent); e; e = EntryLists::Next(*e))
            if (e->IsContainer()) places.emplace(e, seen[e->GetName()]++);
    }
    auto it = places.find(&entry);
    return it == places.end() ? 0 : it->second;
}

FileData* CatalogSet::EntryOfItem(TreeItem item) const {
    if (item == kNoItem || !tree_.IsValid(item)) return nullptr;
    const TreeItem parent = tree_.Parent(item);
    if (parent == kNoItem) return nullptr;
    const std::string_view name = tree_.ItemText(item);
    std::size_t before = tree_.SameTextBefore(item);
    for (FileData* e = lists_.First(parent); e; e = EntryLists::Next(*e))
        if (IsContainerNamed(*e, name) && before-- == 0) return e;
    return nullptr;
}

void CatalogSet::ReleaseAllSizeTexts() {
    for (auto& store : stores_) store->ReleaseSizeTexts();
    for (auto* o : observers_) o->SizeTextsReleased();
}

void CatalogSet::SettleSize(FileData& entry) {
    if (!entry.IsContainer() || entry.size_ != 0 || entry.sizeCounted_) return;
    const TreeItem item = ItemOfEntry(entry);
    if (item != kNoItem) entry.size_ = ContentSize(item);
    entry.sizeCounted_ = 1;
}

std::string_view CatalogSet::SizeTextOf(FileData& entry) {
    SettleSize(entry);
    return entry.Store().SizeTextOf(entry);
}

std::int64_t CatalogSet::FreeSpaceOf(const FileData& entry) const {
    return entry.Store().FreeSpaceOf(entry);
}

std::string_view CatalogSet::FreeSpaceTextOf(const FileData& entry) {
    return entry.Store().FreeSpaceTextOf(entry);
}

std::string_view CatalogSet::DateTextOf(const FileData& entry) {
    return entry.Store().DateTextOf(entry, clock_);
}

std::string_view CatalogSet::PathOf(const FileData& entry) {
    return entry.Store().PathOf(entry, &tree_);
}

bool CatalogSet::ArchivePathOf(const FileData& entry, std::string& out) {
    out.assign(ArchiveOfLocation(PathOf(entry)));
    return !out.empty();
}

void CatalogSet::CollectMatching(TreeItem item, std::string_view mask,
                                 std::vector<FileData*>& list) const {
    NameMaskTest test(mask);
    // "*" and the empty mask match every name: the names need not be read.
    if (test.MatchesEveryName()) {
        ForEachEntryUnder(item, [&](FileData& e) { list.push_back(&e); });
        return;
    }
    ForEachEntryUnder(item, [&](FileData& e) {
        if (test.Matches(e.GetName())) list.push_back(&e);
    });
}

void CatalogSet::CollectFilesAndZipFolders(TreeItem item, std::vector<FileData*>& list) const {
    list.clear();
    ForEachEntryUnder(item, [&](FileData& e) {
        if (e.IsZipFolder() || !e.IsContainer()) list.push_back(&e);
    });
}

void CatalogSet::CollectAllFiles(std::vector<FileData*>& set) const {
    set.clear();
    for (const auto& store : stores_)
        store->ForEachLive([&](FileData& e) {
            if (!e.IsContainer()) set.push_back(&e);
        });
}

void CatalogSet::CollectFilesUnder(TreeItem item, std::vector<FileData*>& set) const {
    ForEachEntryUnder(item, [&](FileData& e) {
        if (!e.IsContainer()) set.push_back(&e);
    });
}

std::size_t CatalogSet::EntryCount() const {
    std::size_t count = 0;
    for (const auto& store : stores_) count += store->LiveCount();
    return count;
}

void CatalogSet::NotifyDisksLoaded() {
    if (inLoads_) {
        disksLoadedInLoads_ = true;
        return;
    }
    for (auto* o : observers_) o->DisksLoaded();
}

void CatalogSet::BeginLoads() {
    inLoads_ = true;
    disksLoadedInLoads_ = false;
}

void CatalogSet::EndLoads() {
    inLoads_ = false;
    if (disksLoadedInLoads_) NotifyDisksLoaded();
    disksLoadedInLoads_ = false;
}

void CatalogSet::AddObserver(CatalogSetObserver* observer) {
    observers_.push_back(observer);
}

void CatalogSet::RemoveObserver(CatalogSetObserver* observer) {
    std::erase(observers_, observer);
}

ChildItemEntries::ChildItemEntries(const CatalogSet& set, TreeItem parent, std::size_t expected)
    : set_(set), parent_(parent), asked_(expected > kIndexFrom ? kIndexAfter : 0) {}

FileData* ChildItemEntries::Find(TreeItem child) {
    if (!indexed_ && ++asked_ <= kIndexAfter) return set_.EntryOfItem(child);
    if (!indexed_) Index();
    auto it = paired_.find(child);
    return it == paired_.end() ? nullptr : it->second;
}

// One pass over the entries and one over the children: the containers of
// each name in filing order, handed to the items of that text in tree order.
void ChildItemEntries::Index() {
    indexed_ = true;
    struct Named {
        std::vector<FileData*> entries;
        std::size_t taken = 0;
    };
    std::unordered_map<std::string_view, Named> byName;
    set_.ForEachEntryUnder(parent_, [&byName](FileData& e) {
        if (e.IsContainer()) byName[e.GetName()].entries.push_back(&e);
    });
    const ContainerTree& tree = set_.Tree();
    for (TreeItem child : tree.Children(parent_)) {
        auto it = byName.find(tree.ItemText(child));
        if (it == byName.end() || it->second.taken == it->second.entries.size()) continue;
        paired_.emplace(child, it->second.entries[it->second.taken++]);
    }
}

namespace {

// The child items of one container that stand for a container entry, in
// tree order, each with that entry.
class ChildContainers {
public:
    ChildContainers(const CatalogSet& set, TreeItem item) : set_(set), item_(item) {}
    bool Next(TreeItem& child, FileData*& entry) {
        const auto children = set_.Tree().Children(item_);
        while (next_ < children.size()) {
            if (!entries_)
                entries_ = std::make_unique<ChildItemEntries>(set_, item_, children.size());
            child = children[next_++];
            entry = entries_->Find(child);
            if (entry && entry->IsContainer()) return true;
        }
        return false;
    }

private:
    const CatalogSet& set_;
    TreeItem item_;
    std::size_t next_ = 0;
    std::unique_ptr<ChildItemEntries> entries_;
};

void AddFileSizes(const CatalogSet& set, TreeItem item, ContentCounts& counts) {
    set.ForEachEntryUnder(item, [&counts](FileData& e) {
        if (e.IsContainer()) return;
        counts.size = AddSizes(counts.size, e.Size());
        counts.files += 1;
    });
}

// Adds what a walked child container holds to its parent's counts: a Zip
// Folder adds its own (archive) size, a folder the size of its contents.
void AddChildCounts(const FileData& child, const ContentCounts& inside, ContentCounts& parent) {
    if (child.IsZipFolder()) {
        parent.size = AddSizes(parent.size, child.Size());
        parent.zipFolders += inside.zipFolders + 1;
    } else {
        parent.size = AddSizes(parent.size, inside.size);
        parent.folders += 1;
        parent.zipFolders += inside.zipFolders;
    }
    parent.files += inside.files;
    parent.folders += inside.folders;
}

}  // namespace

template <class TakeWhole, class Counted>
void CatalogSet::WalkContents(TreeItem item, ContentCounts& counts, TakeWhole&& takeWhole,
                              Counted&& counted) const {
    AddFileSizes(*this, item, counts);
    if (item == kNoItem || !tree_.IsValid(item)) return;

    // Depth first without recursion, so that any nesting depth is counted.
    struct Frame {
        TreeItem item;
        FileData* entry;  // the container's own entry; null at the top
        ContentCounts acc;
        ChildContainers children;
    };
    std::vector<Frame> stack;
    stack.push_back(Frame{item, nullptr, counts, ChildContainers(*this, item)});
    while (!stack.empty()) {
        TreeItem child = kNoItem;
        FileData* entry = nullptr;
        if (stack.back().children.Next(child, entry)) {
            if (takeWhole(*entry, child)) {
                ContentCounts& acc = stack.back().acc;
                acc.size = AddSizes(acc.size, entry->Size());
                continue;
            }
            Frame next{child, entry, ContentCounts{}, ChildContainers(*this, child)};
            AddFileSizes(*this, child, next.acc);
            stack.push_back(std::move(next));
            continue;
        }
        Frame done = std::move(stack.back());
        stack.pop_back();
        if (stack.empty()) {
            counts = done.acc;
            break;
        }
        counted(*done.entry, done.item, done.acc);
        AddChildCounts(*done.entry, done.acc, stack.back().acc);
    }
}

void CatalogSet::CountContents(TreeItem item, ContentCounts& counts) const {
    WalkContents(
        item, counts, [](const FileData&, TreeItem) { return false; },
        [](const FileData&, TreeItem, const ContentCounts&) {});
}

std::int64_t CatalogSet::ContentSize(TreeItem item) {
    // A folder's own entry (each item is walked with the entry it shows)
    // keeps its count when its catalogued size was 0; Zip Folders count at
    // their own size, so what is inside them need not be walked.
    auto takeWhole = [](const FileData& entry, TreeItem) {
        return entry.IsZipFolder() || entry.sizeCounted_;
    };
    auto keep = [](FileData& entry, TreeItem, const ContentCounts& inside) {
        if (entry.IsZipFolder() || entry.size_ != 0 || entry.sizeCounted_) return;
        entry.size_ = inside.size;
        entry.sizeCounted_ = 1;
    };
    ContentCounts counts;
    WalkContents(item, counts, takeWhole, keep);
    return counts.size;
}

CatalogSet& SetOf(const FileData& entry) {
    return *entry.Store().Owner();
}

bool IdentityLess(const FileData* a, const FileData* b) {
    const auto sa = a->Store().Serial(), sb = b->Store().Serial();
    return sa != sb ? sa < sb : a->Serial() < b->Serial();
}

namespace {

// Below this many entries a comparison sort is as quick as marking.
constexpr std::size_t kSortByMarksFrom = 4096;

// The entries of one store that were given, by serial.
struct StoreMarks {
    EntryStore* store;
    std::vector<bool> marked;
};

// Marks every entry in its store's table; false when two stores share a
// serial, so that store order alone would not give identity order.
bool MarkByStore(const std::vector<FileData*>& entries, std::vector<StoreMarks>& marks) {
    std::unordered_map<const EntryStore*, std::size_t> indexOf;
    std::size_t last = 0;
    for (FileData* entry : entries) {
        EntryStore& store = entry->Store();
        if (marks.empty() || marks[last].store != &store) {
            const auto [at, added] = indexOf.try_emplace(&store, marks.size());
            if (added) marks.push_back(StoreMarks{&store, {}});
            last = at->second;
        }
        std::vector<bool>& marked = marks[last].marked;
        if (entry->Serial() >= marked.size()) marked.resize(entry->Serial() + 1);
        marked[entry->Serial()] = true;
    }
    std::sort(marks.begin(), marks.end(), [](const StoreMarks& a, const StoreMarks& b) {
        return a.store->Serial() < b.store->Serial();
    });
    return std::adjacent_find(marks.begin(), marks.end(),
                              [](const StoreMarks& a, const StoreMarks& b) {
                                  return a.store->Serial() == b.store->Serial();
                              }) == marks.end();
}

}  // namespace

// Many entries are put in order by marking them and walking their stores in
// creation order: one pass instead of a sort whose every comparison reads
// two entries lying anywhere in memory (5 M files: see the tools benchmark).
void SortByIdentity(std::vector<FileData*>& entries) {
    std::vector<StoreMarks> marks;
    if (entries.size() < kSortByMarksFrom || !MarkByStore(entries, marks)) {
        std::sort(entries.begin(), entries.end(), IdentityLess);
        entries.erase(std::unique(entries.begin(), entries.end()), entries.end());
        return;
    }
    entries.clear();
    for (StoreMarks& m : marks)
        m.store->ForEachEntry([&](FileData& entry) {
            if (entry.Serial() < m.marked.size() && m.marked[entry.Serial()])
                entries.push_back(&entry);
        });
}

}  // namespace kestavo
