// SPDX-License-Identifier: GPL-3.0-or-later
// The set of loaded catalogs: owns every entry, files each one under the
// tree item of the container that holds it, answers the lookups and
// collections of the panes and tools, and tells its observers what changed.
#pragma once

#include <cstdint>
#include <memory>
#include <mutex>
#include <span>
#include <string>
#include <string_view>
#include <unordered_map>
#include <vector>

#include "catalog/catalog_set_observer.h"
#include "catalog/container_tree.h"
#include "catalog/entry_lists.h"
#include "catalog/file_data.h"
#include "catalog/local_time.h"

namespace kestavo {

class EntryStore;

// Counters that CatalogSet::CountContents adds to.
struct ContentCounts {
    std::int64_t size = 0;
    int files = 0;
    int folders = 0;
    int zipFolders = 0;
};

// Which of the entries filed under a container, or of its child items, a
// name stands for when sibling names are equal ignoring case. "First" is in
// filing order for entries and in tree order for items.
enum class SiblingMatch {
    // The first with exactly that name.
    Exact,
    // The first whose name equals it ignoring case.
    FirstIgnoringCase,
    // The first with exactly that name, else the first equal ignoring case.
    ExactFirst,
};

class CatalogSet {
public:
    CatalogSet();
    ~CatalogSet();
    CatalogSet(const CatalogSet&) = delete;
    CatalogSet& operator=(const CatalogSet&) = delete;

    ContainerTree& Tree() { return tree_; }
    const ContainerTree& Tree() const { return tree_; }
    LocalClock& Clock() { return clock_; }

    // The top root item "My Removable Disk Drive", created when missing.
    TreeItem RootItem();
    // The top root item, or kNoItem before it exists.
    TreeItem FindRootItem() const { return rootItem_; }

    // The file the disk `disk` was read from; empty when it is not known
    // (a disk read from text, or an item that is not a loaded disk).
    std::string CatalogFileOf(TreeItem disk) const;
    void SetCatalogFile(TreeItem disk, std::string path);
    // The code page the names of disk `disk` were read in ("Windows-1252");
    // empty when they were UTF-8, as catalogs written on Linux are.
    std::string CodePageOf(TreeItem disk) const;
    void SetCodePage(TreeItem disk, std::string codePage);

    // Entries added from now on are kept together (one catalog load).
    void StartNewStore();
    // Takes in a disk read on its own, as if its entries had been added here
    // one by one after those already loaded: the item `top` of `tree` (a
    // top-level item standing for the top root item) becomes the top root
    // item, its children go under it after the disks loaded, and `store`
    // becomes the current store. `map` gets, for each item of `tree`, the
    // item it became.
    void AdoptDisks(ContainerTree& tree, TreeItem top, std::unique_ptr<EntryStore> store,
                    EntryLists& lists, std::vector<TreeItem>& map);

    FileData* AddEntry(TreeItem parent, std::string_view name, std::int64_t size,
                       std::int64_t freeSpace, std::int64_t time, int kind);
    // The removals. Each tells the observers before it destroys entries.
    // "Under" an item means filed directly under it, "below" it means under
    // it or under any item below it; names match with a-z upper-cased.
    //
    // Every entry of the set; the tree items stay.
    void RemoveAllEntries();
    // The entries filed under `item`.
    void RemoveEntriesUnder(TreeItem item);
    // The first entry under `parent` whose name matches `name`.
    void RemoveEntryNamed(TreeItem parent, std::string_view name);
    // The entries below `item`.
    void RemoveEntriesBelow(TreeItem item);
    // The container `item` under `parent`: the entries below it, its own
    // entry (found by `name`) and its tree item with all below.
    void RemoveContainer(TreeItem parent, TreeItem item, std::string_view name);
    // The first child container of `parent` whose name matches `name`, as
    // RemoveContainer removes it.
    void RemoveContainerNamed(TreeItem parent, std::string_view name);
    // The entry filed under `parent` that `name` stands for, as `match` says.
    FileData* EntryNamed(TreeItem parent, std::string_view name, SiblingMatch match) const;

    // The child item of `parent` that `name` stands for, as `match` says.
    TreeItem ItemNamed(TreeItem parent, std::string_view name, SiblingMatch match) const;

    // Tree items and container entries are paired one to one: among the
    // children of one item with exactly the same text, the first in tree
    // order shows the first container entry of exactly that name filed
    // under the item, the second the second, and so on. Siblings that
    // differ only in letter case, or that were written with the same name,
    // each keep their own.

    // The tree item showing the container `entry`; kNoItem for a file or
    // when there is none.
    TreeItem ItemOfEntry(const FileData& entry) const;
    // The container entry that `item` shows; nullptr for the top root item
    // or when none does.
    FileData* EntryOfItem(TreeItem item) const;
    // Drops every cached size text (the size unit changed) and tells the
    // observers.
    void ReleaseAllSizeTexts();

    // The answers about an entry of the set that take its tree, clock or
    // contents; what its store answers alone is asked of entry.Store().
    //
    // Gives a container with a catalogued size of 0 the size of its
    // contents, once; other entries keep theirs.
    void SettleSize(FileData& entry);
    // The display texts, made on first request and kept by the entry's
    // store (see EntryStore); the size text after settling the size.
    std::string_view SizeTextOf(FileData& entry);
    std::int64_t FreeSpaceOf(const FileData& entry) const;
    std::string_view FreeSpaceTextOf(const FileData& entry);
    std::string_view DateTextOf(const FileData& entry);
    // The entry's location in the set's tree (see EntryStore::PathOf).
    std::string_view PathOf(const FileData& entry);
    // Whether the entry lies inside a Zip Folder: a part of its location
    // after the disk name passes the archive test. `out` gets the path of the
    // first such part, the archive (Label/dir/archive.zip).
    bool ArchivePathOf(const FileData& entry, std::string& out);

    void CollectMatching(TreeItem item, std::string_view mask, std::vector<FileData*>& list) const;
    void CollectFilesAndZipFolders(TreeItem item, std::vector<FileData*>& list) const;
    // Every file of the whole set, each once, in the order of creation.
    void CollectAllFiles(std::vector<FileData*>& set) const;
    // Appends the files under `item`; see SortByIdentity for making a set.
    void CollectFilesUnder(TreeItem item, std::vector<FileData*>& set) const;

    // Adds the sizes and counts of everything below `item`: files under it
    // and, through its child items, every folder and Zip Folder below.
    void CountContents(TreeItem item, ContentCounts& counts) const;
    // The size CountContents finds for `item`. Folders counted on the way
    // keep their content size, so that asking for every folder's size does
    // not count the same entries again and again.
    std::int64_t ContentSize(TreeItem item);

    // Calls `visit` for each entry filed under `item`, in filing order.
    template <class Visit>
    void ForEachEntryUnder(TreeItem item, Visit&& visit) const {
        for (FileData* e = lists_.First(item); e;) {
            FileData* next = EntryLists::Next(*e);
            visit(*e);
            e = next;
        }
    }
    std::size_t EntryCount() const;
    // The stores of the entries, in the order of creation: an item's
    // entries are filed in that order, and within a store by serial.
    std::span<const std::unique_ptr<EntryStore>> Stores() const { return stores_; }

    // A catalog load has finished: the observers hear that disks were
    // loaded, at once or, during a run of loads, at its end.
    void NotifyDisksLoaded();
    // A run of loads (Open All): the observers hear once, at EndLoads, that
    // disks were loaded, and only when at least one load said so.
    void BeginLoads();
    void EndLoads();

    void AddObserver(CatalogSetObserver* observer);
    void RemoveObserver(CatalogSetObserver* observer);

private:
    // Adds up the contents of `item` into `counts`, walking the containers
    // below it. A child container for which `takeWhole(entry, child)` holds
    // adds only its entry's size and is not walked; `counted(entry, child,
    // counts)` gets the counts of each container walked below `item`.
    template <class TakeWhole, class Counted>
    void WalkContents(TreeItem item, ContentCounts& counts, TakeWhole&& takeWhole,
                      Counted&& counted) const;
    void NotifyRemoval();
    void DropEmptyStores();
    // The place of the container `entry` among the containers of exactly its
    // name filed under its parent item, counting from 0.
    std::size_t PlaceAmongNamesakes(const FileData& entry) const;

    ContainerTree tree_;
    LocalClock clock_;
    TreeItem rootItem_ = kNoItem;
    std::vector<std::unique_ptr<EntryStore>> stores_;  // in order of creation
    EntryStore* current_ = nullptr;
    bool storeEmptied_ = false;  // a store other than the current may be empty
    std::uint64_t nextStoreSerial_ = 1;
    EntryLists lists_;
    bool inLoads_ = false;
    bool disksLoadedInLoads_ = false;
    std::vector<CatalogSetObserver*> observers_;
    std::unordered_map<TreeItem, std::string> catalogFiles_;  // by disk item
    // Counts every change to which entries are filed where.
    std::uint64_t filingChanges_ = 0;
    // The places of the containers under the items asked about, kept until
    // the filing changes; asked for by two search workers at once.
    mutable std::mutex placesLock_;
    mutable std::uint64_t placesMadeAt_ = 0;
    mutable std::unordered_map<TreeItem, std::unordered_map<const FileData*, std::size_t>> places_;
    std::unordered_map<TreeItem, std::string> codePages_;  // by disk item, when not UTF-8
};

// The entries that the child items of one container show, paired as
// CatalogSet::EntryOfItem pairs them; all paired at once through the
// children once many are asked for, or from the start when `expected`
// lookups are many.
class ChildItemEntries {
public:
    ChildItemEntries(const CatalogSet& set, TreeItem parent, std::size_t expected = 0);
    FileData* Find(TreeItem child);

private:
    static constexpr std::size_t kIndexFrom = 16;  // expected lookups
    static constexpr std::size_t kIndexAfter = 8;  // lookups made
    void Index();

    const CatalogSet& set_;
    TreeItem parent_;
    std::size_t asked_ = 0;
    bool indexed_ = false;
    std::unordered_map<TreeItem, FileData*> paired_;
};

// The catalog set whose store holds `entry`, for the answers that take the
// set where only the entry is at hand. Every entry shown, opened or
// reported belongs to one; only an entry being read apart from a set
// (CatalogLoad) does not yet.
CatalogSet& SetOf(const FileData& entry);

// Sorts entry pointers into identity order (the order of creation) and
// drops repeats, making a set of them.
void SortByIdentity(std::vector<FileData*>& entries);
bool IdentityLess(const FileData* a, const FileData* b);

}  // namespace kestavo
