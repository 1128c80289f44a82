// SPDX-License-Identifier: GPL-3.0-or-later
#include "tools/find_files.h"

#include <algorithm>
#include <cassert>
#include <memory>

#include "catalog/entry_kind.h"
#include "catalog/name_compare.h"
#include "catalog/row_order.h"
#include "catalog/tree_walk.h"
#include "support/large_buffer.h"
#include "support/side_by_side.h"
#include "tools/found_rows_feed.h"
#include "tools/indexed_name_search.h"

namespace kestavo {

FindFiles::FindFiles(CatalogSet& set, TreeItem searchRoot) : set_(set) {
    SetSearchRoot(searchRoot == kNoItem ? set_.RootItem() : searchRoot);
    set_.AddObserver(this);
    set_.Tree().AddObserver(this);
}

FindFiles::~FindFiles() {
    if (Searching()) {
        stopSearch_ = true;
        searcher_.join();
    }
    set_.Tree().RemoveObserver(this);
    set_.RemoveObserver(this);
}

void FindFiles::SetSearchRoot(TreeItem node) {
    searchRoot_ = node;
    searchRootChain_ = ItemTextChain(set_.Tree(), node);
    searchRootText_ =
        node == kNoItem ? std::string(kRootItemText) : kestavo::SearchRootText(set_.Tree(), node);
}

void FindFiles::CollectFrom(TreeItem node, std::vector<FileData*>& found) const {
    set_.CollectMatching(node, mask_, found);
}

void FindFiles::FindNow(const FindFeed& feed) {
    StopSearch();
    if (listener_) listener_->RowsAboutToBeReset();
    Find(feed);
    if (listener_) listener_->RowsReset();
}

void FindFiles::StartSearch(FindFeed feed, std::function<void(bool whole)> ended) {
    StopSearch();
    if (listener_) listener_->RowsAboutToBeReset();
    stopSearch_ = false;
    feed.stop = &stopSearch_;
    searcher_ = std::thread([this, feed = std::move(feed), ended = std::move(ended)] {
        Find(feed);
        ended(!stopSearch_.load());
    });
}

bool FindFiles::FinishSearch() {
    if (!Searching()) return false;
    searcher_.join();
    const bool whole = !stopSearch_.load();
    if (!whole) {
        rows_.clear();
        nothingFound_ = false;
    }
    if (listener_) listener_->RowsReset();
    return whole;
}

void FindFiles::StopSearch() {
    if (!Searching()) return;
    stopSearch_ = true;
    FinishSearch();
}

void FindFiles::Find(const FindFeed& feed) {
    rows_.clear();
    // Only the places of the rows' folders are read, and each is written
    // below before it is read: places left from an earlier search need no
    // clearing, which would cost as much as a small search.
    folderText_.resize(set_.Tree().ItemLimit());
    nothingFound_ = false;
    UpperCaseInPlace(mask_);
    if (searchRoot_ == kNoItem) SetSearchRoot(set_.RootItem());
    // The search runs from the root the window shows.
    if (searchRootLost_) {
        searchRootLost_ = false;
        SetSearchRoot(searchRoot_);
    }
    rowsSizeUnit_ = GetSizeUnit();

    const ContainerTree& tree = set_.Tree();
    const IndexedNameSearch indexed(set_, mask_);
    WalkFeed walkFeed(feed);
    const bool everyCatalog = lookInSubfolders_ && searchRoot_ == set_.RootItem();
    // A search of every catalog that hands its rows on or may be stopped
    // while it runs goes disk by disk, in the order of a walk; otherwise the
    // stores are read whole, which is quicker but finds rows only at the end.
    const bool feedEveryCatalog = everyCatalog && (feed.found || feed.stop) && !indexed.Applies();
    if (lookInSubfolders_ && !feedEveryCatalog && (indexed.Applies() || everyCatalog)) {
        // The stores' name indexes, or for a search of everything the stores
        // read whole, find the rows in creation order, which are then put in
        // the initial order the rows of a walk would have.
        indexed.Collect(searchRoot_, rows_);
        if (walkFeed.Stopped()) {
            rows_.clear();
            return;
        }
        SettleRows(rows_.begin(), rows_.end());
        walkFeed.Offer(rows_, /*last=*/true);
        SortFoundInInitialOrder(tree, rows_);
        nothingFound_ = rows_.empty();
        return;
    }
    if (feedEveryCatalog) {
        FindInEveryCatalog(feed);
    } else if (lookInSubfolders_) {
        ForEachNodeDepthFirst(tree, searchRoot_, [&](TreeItem node) {
            if (walkFeed.Stopped()) return;
            const std::size_t before = rows_.size();
            CollectFrom(node, rows_);
            SettleRows(rows_.begin() + static_cast<std::ptrdiff_t>(before), rows_.end());
            walkFeed.Offer(rows_);
        });
    } else {
        CollectFrom(searchRoot_, rows_);
        SettleRows(rows_.begin(), rows_.end());
    }
    if (walkFeed.Stopped()) {
        rows_.clear();
        return;
    }
    if (!feedEveryCatalog) walkFeed.Offer(rows_, /*last=*/true);
    SortInInitialOrder(rows_);
    nothingFound_ = rows_.empty();
}

void FindFiles::SettleRows(std::vector<FileData*>::iterator first,
                           std::vector<FileData*>::iterator last) {
    // Containers get their final sizes, which the size sort and texts read,
    // and each folder's text is made once for all its rows and kept in a
    // table by item, so that sorts, views and reports only read them. The
    // rows keep no texts of their own: size and date texts are made when
    // read, which costs less than keeping them for every row.
    TreeItem lastFolder = kNoItem;
    for (auto it = first; it != last; ++it) {
        FileData& entry = **it;
        set_.SettleSize(entry);
        if (entry.GetParentItem() != lastFolder) {
            lastFolder = entry.GetParentItem();
            folderText_[lastFolder] = set_.PathOf(entry);
        }
    }
}

void FindFiles::FindInEveryCatalog(const FindFeed& feed) {
    // Two workers take the disks one at a time. Each catalog's entries and
    // folder texts live in that catalog's own store, so the workers share
    // nothing they change. Each disk's rows are kept apart and joined in the
    // order of the disks: the rows of a walk from the top.
    const ContainerTree& tree = set_.Tree();
    const TreeItem root = set_.RootItem();
    const std::vector<TreeItem> disks(tree.Children(root).begin(), tree.Children(root).end());
    ReserveLarge(rows_, set_.EntryCount());
    CollectFrom(root, rows_);
    SettleRows(rows_.begin(), rows_.end());
    // Each folder's rows are settled right after they are found, while they
    // are still in the cache.
    auto searchDisk = [&](TreeItem disk, std::vector<FileData*>& found, auto&& afterFolder) {
        ForEachNodeDepthFirst(tree, disk, [&](TreeItem node) {
            if (feed.stop && feed.stop->load(std::memory_order_relaxed)) return;
            const std::size_t before = found.size();
            CollectFrom(node, found);
            SettleRows(found.begin() + static_cast<std::ptrdiff_t>(before), found.end());
            afterFolder();
        });
    };
    if (disks.size() < 2 || set_.EntryCount() < kSearchTwoThreadsFrom) {
        WalkFeed walkFeed(feed);
        walkFeed.Offer(rows_);
        for (const TreeItem disk : disks) searchDisk(disk, rows_, [&] { walkFeed.Offer(rows_); });
        walkFeed.Offer(rows_, /*last=*/true);
        return;
    }
    // The rows of the top level come first.
    if (feed.found && !rows_.empty()) feed.found(rows_);
    DiskOrderFeed diskFeed(feed, disks.size());
    // Each worker keeps its rows in one vector and notes where each of its
    // disks' rows lie in it.
    using Found = std::vector<FileData*>;
    struct Span {
        const Found* found = nullptr;
        std::size_t begin = 0, end = 0;
    };
    std::vector<Span> spanOfDisk(disks.size());
    std::atomic<std::size_t> nextDisk{0};
    auto work = [&](Found& found) {
        ReserveLarge(found, set_.EntryCount());
        for (std::size_t d = nextDisk++; d < disks.size() && !diskFeed.Stopped(); d = nextDisk++) {
            assert(spanOfDisk[d].found == nullptr);  // each disk is taken by one worker only
            const std::size_t begin = found.size();
            searchDisk(disks[d], found, [&] { diskFeed.Offer(d, found, begin); });
            diskFeed.Finished(d, found, begin);
            spanOfDisk[d] = {&found, begin, found.size()};
        }
    };
    Found first, second;
    const std::size_t entriesBefore = set_.EntryCount();
    RunSideBySide([&] { work(second); }, [&] { work(first); });
    if (diskFeed.Stopped()) return;
    // The entries were only read, and every disk was searched.
    assert(set_.EntryCount() == entriesBefore);
    assert(std::all_of(spanOfDisk.begin(), spanOfDisk.end(),
                       [](const Span& span) { return span.found != nullptr; }));
    (void)entriesBefore;
    for (const Span& span : spanOfDisk)
        rows_.insert(rows_.end(), span.found->begin() + static_cast<std::ptrdiff_t>(span.begin),
                     span.found->begin() + static_cast<std::ptrdiff_t>(span.end));
}

int FindFiles::CompareForSort(const FileData* a, const FileData* b, int key) {
    const int sign = key > 0 ? 1 : -1;
    auto order = [](auto x, auto y) { return x < y ? -1 : (x > y ? 1 : 0); };
    int result = 0;
    switch (key * sign) {
        case 1:
            result = CompareBytes(a->GetName(), b->GetName());
            break;
        case 3:
            result = order(a->Size(), b->Size());
            break;
        case 4:
            result = order(a->GetTime(), b->GetTime());
            break;
        default:
            break;
    }
    return order(result, 0) * sign;
}

void FindFiles::SortByColumn(int column) {
    const int number = column + 1;
    if (number < 1 || number > kFindColumnCount) return;
    if (listener_) listener_->RowsAboutToBeReset();
    SortRowsByColumn(column);
    if (listener_) listener_->RowsReset();
}

void FindFiles::SortRowsByColumn(int column) {
    const int number = column + 1;
    if (number < 1 || number > kFindColumnCount) return;
    const int key = descendingNext_ ? -number : number;
    if (column == static_cast<int>(FindColumn::InFolder)) {
        SortByFolder(key < 0);
    } else {
        std::stable_sort(rows_.begin(), rows_.end(), [key](const FileData* a, const FileData* b) {
            return CompareForSort(a, b, key) < 0;
        });
    }
    descendingNext_ = !descendingNext_;
}

void FindFiles::SortByFolder(bool descending) {
    // Each row's folder text is looked up once, not at every comparison.
    std::vector<std::pair<std::string_view, FileData*>> keyed;
    keyed.reserve(rows_.size());
    for (FileData* entry : rows_) keyed.emplace_back(FolderText(*entry), entry);
    std::stable_sort(keyed.begin(), keyed.end(), [descending](const auto& a, const auto& b) {
        const int order = CompareBytes(a.first, b.first);
        return descending ? order > 0 : order < 0;
    });
    for (std::size_t i = 0; i < keyed.size(); ++i) rows_[i] = keyed[i].second;
}

FileData* FindFiles::RowEntry(std::size_t row) const {
    return row < rows_.size() ? rows_[row] : nullptr;
}

std::string_view FindFiles::SizeText(std::size_t row, char (&buffer)[kSizeTextCapacity]) const {
    // Containers' sizes were settled when the rows were found, so this only
    // reads the entry.
    const FileData* entry = RowEntry(row);
    return entry ? FormatSizeIn(entry->Size(), rowsSizeUnit_, buffer) : std::string_view();
}

std::string_view FindFiles::RowText(std::size_t row, FindColumn column) {
    return RowText(row, column, scratch_);
}

std::string_view FindFiles::RowText(std::size_t row, FindColumn column,
                                    RowTextScratch& scratch) const {
    const FileData* entry = RowEntry(row);
    return entry ? EntryText(*entry, column, scratch) : std::string_view();
}

std::string_view FindFiles::EntryText(const FileData& entry, FindColumn column,
                                      RowTextScratch& scratch) const {
    switch (column) {
        case FindColumn::Name:
            return entry.GetName();
        case FindColumn::InFolder:
            return FolderText(entry);
        case FindColumn::Size:
            // Containers' sizes were settled when the rows were found.
            return FormatSizeIn(entry.Size(), rowsSizeUnit_, scratch.size);
        case FindColumn::Date:
            return scratch.clock.DateText(entry.GetTime());
    }
    return {};
}

std::optional<std::size_t> FindFiles::RowOf(const FileData* entry) const {
    const auto it = std::find(rows_.begin(), rows_.end(), entry);
    if (it == rows_.end()) return std::nullopt;
    return static_cast<std::size_t>(it - rows_.begin());
}

bool FindFiles::SaveReport(const std::string& path) {
    reportFileName_ = path;
    return WriteReportFile(path, [this](ReportWriter& report) { WriteReport(report); });
}

void FindFiles::WriteReport(ReportWriter& report) {
    report.Line(" Kestavo, Find Files report");
    report.Line(" -------------------------------");
    report.EndLine();
    report.Text(" Search root        : ");
    report.Line(searchRootText_);
    report.Text(" Search mask        : ");
    report.Line(mask_);
    report.Text(" Look in subfolders : ");
    report.Line(lookInSubfolders_ ? "Yes" : "No");
    report.EndLine();
    WriteEntryHeading(report);
    report.EndLine();
    std::int64_t written = 0;
    // A scratch of its own, so that a report written on a worker leaves
    // the rows the window reads alone.
    auto scratch = std::make_unique<RowTextScratch>();
    for (std::size_t row = 0; row < RowCount(); ++row) {
        // Rows in name order visit the entries out of memory order: fetch
        // each entry and the head of its segment well ahead, then its name
        // and folder slot, then the folder text.
        if (row + 32 < rows_.size()) {
            const FileData* far = rows_[row + 32];
            __builtin_prefetch(far);
            __builtin_prefetch(reinterpret_cast<const void*>(reinterpret_cast<std::uintptr_t>(far) &
                                                             ~(FileData::kSegmentBytes - 1)));
        }
        if (row + 16 < rows_.size()) {
            const FileData& ahead = *rows_[row + 16];
            __builtin_prefetch(ahead.GetName().data());
            __builtin_prefetch(&folderText_[ahead.GetParentItem()]);
        }
        if (row + 8 < rows_.size()) __builtin_prefetch(FolderText(*rows_[row + 8]).data());
        WriteEntryLine(report, RowText(row, FindColumn::Date, *scratch),
                       RowText(row, FindColumn::Size, *scratch),
                       RowText(row, FindColumn::Name, *scratch),
                       RowText(row, FindColumn::InFolder, *scratch));
        ++written;
    }
    report.EndLine();
    report.Text(" ");
    report.Number(written);
    report.Line(" Files found.");
}

void FindFiles::EntriesAboutToBeRemoved() {
    StopSearch();
    if (rows_.empty()) return;
    if (listener_) listener_->RowsAboutToBeReset();
    rows_.clear();
    folderText_.clear();
    if (listener_) listener_->RowsReset();
}

bool FindFiles::IsAtOrBelow(TreeItem node, TreeItem top) const {
    for (TreeItem item = node; item != kNoItem; item = set_.Tree().Parent(item))
        if (item == top) return true;
    return false;
}

void FindFiles::ItemAboutToBeInserted(TreeItem, int) {
    StopSearch();
}

void FindFiles::ChildrenAboutToBeSorted(TreeItem) {
    StopSearch();
}

void FindFiles::ResetStarted() {
    StopSearch();
}

void FindFiles::ItemAboutToBeRemoved(TreeItem item) {
    StopSearch();
    if (searchRoot_ != kNoItem && IsAtOrBelow(searchRoot_, item)) searchRootRemoved_ = true;
}

void FindFiles::ItemRemoved(TreeItem, int) {
    if (!searchRootRemoved_) return;
    searchRootRemoved_ = false;
    FindSearchRootAgain();
}

void FindFiles::ResetFinished() {
    FindSearchRootAgain();
}

// After a batch of changes the search root's handle may be gone or reused:
// the root stays where it was only when the same chain of names still
// leads to it; otherwise it becomes the top root item. The chain of the
// root that went is kept until the loads that follow have ended, so that a
// root whose disk is read again (Open All, a disk catalogued anew) is found
// on it again.
void FindFiles::FindSearchRootAgain() {
    const ContainerTree& tree = set_.Tree();
    if (!searchRootLost_ && searchRoot_ != kNoItem && tree.IsValid(searchRoot_) &&
        ItemTextChain(tree, searchRoot_) == searchRootChain_)
        return;
    const TreeItem found = FindItemByTextChain(tree, searchRootChain_);
    const std::string oldText = searchRootText_;
    if (found != kNoItem) {
        SetSearchRoot(found);
        searchRootLost_ = false;
    } else {
        const std::vector<std::string> lostChain = searchRootChain_;
        SetSearchRoot(set_.FindRootItem());
        searchRootChain_ = lostChain;
        searchRootLost_ = true;
    }
    if (searchRootText_ != oldText && listener_) listener_->SearchRootChanged();
}

void FindFiles::DisksLoaded() {
    if (!searchRootLost_) return;
    FindSearchRootAgain();
    // A root not read back by the loads no longer exists: the top root item
    // stays the root.
    if (searchRootLost_) {
        searchRootLost_ = false;
        SetSearchRoot(searchRoot_);
    }
}

}  // namespace kestavo
