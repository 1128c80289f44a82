// SPDX-License-Identifier: GPL-3.0-or-later
// Find Files: the entries below one node of the catalog tree whose names
// match a wildcard mask, their result rows, column sort and report. One
// object per dialog, so that several dialogs keep their own results.
#pragma once

#include <atomic>
#include <cstdint>
#include <functional>
#include <optional>
#include <span>
#include <string>
#include <string_view>
#include <thread>
#include <vector>

#include "catalog/catalog_set.h"
#include "catalog/catalog_set_observer.h"
#include "catalog/local_time.h"
#include "catalog/size_unit.h"
#include "tools/report_writer.h"

namespace kestavo {

enum class FindColumn { Name = 0, InFolder = 1, Size = 2, Date = 3 };
inline constexpr int kFindColumnCount = 4;

// Told when the rows or the search root change by themselves (catalogs
// reopened, replaced or deleted), so that a view can follow.
class FindFilesListener {
public:
    virtual ~FindFilesListener() = default;
    virtual void RowsAboutToBeReset() = 0;
    virtual void RowsReset() = 0;
    virtual void SearchRootChanged() = 0;
};

// Where the size and date texts of rows are made: the rows keep no texts of
// their own, so each thread that reads them brings one.
struct RowTextScratch {
    char size[kSizeTextCapacity];
    LocalClock clock;
};

// Where a search hands on the rows as it finds them, so that they can be
// shown before it ends.
struct FindFeed {
    // Given, on the thread searching, the rows found since it was last
    // given any, in the order found (a walk of the tree), before they are
    // put in the initial order; a few dozen times a second at most. The
    // rows stay valid while the catalogs are unchanged.
    std::function<void(std::span<FileData* const>)> found;
    // Set on any thread to stop the search: it then ends soon, with no rows.
    const std::atomic<bool>* stop = nullptr;
};

class FindFiles : private CatalogSetObserver, private TreeObserver {
public:
    // `searchRoot` kNoItem stands for the top root item. `set` must outlive
    // this object.
    FindFiles(CatalogSet& set, TreeItem searchRoot);
    ~FindFiles() override;
    FindFiles(const FindFiles&) = delete;
    FindFiles& operator=(const FindFiles&) = delete;

    void SetListener(FindFilesListener* listener) { listener_ = listener; }

    // The inputs, as the dialog's controls give them.
    void SetMask(std::string_view mask) { mask_.assign(mask); }
    const std::string& Mask() const { return mask_; }
    void SetLookInSubfolders(bool on) { lookInSubfolders_ = on; }
    bool LookInSubfolders() const { return lookInSubfolders_; }
    TreeItem SearchRoot() const { return searchRoot_; }
    const std::string& SearchRootText() const { return searchRootText_; }
    const std::string& ReportFileName() const { return reportFileName_; }
    bool DescendingNext() const { return descendingNext_; }
    void SetDescendingNext(bool descending) { descendingNext_ = descending; }

    // Upper-cases the mask and replaces the rows by the entries found below
    // the search root, in the initial order. The folder texts and the containers' sizes are made
    // here; size and date texts are made when a row is read, in the size unit in force now.
    void FindNow() { FindNow(FindFeed{}); }
    // The same, handing the rows to `feed` as they are found; the listener
    // hears of the change before and after.
    void FindNow(const FindFeed& feed);

    // FindNow on a thread of its own, so that the calling thread stays free
    // while it runs: a search running is first stopped. `ended` is called
    // last on that thread, told whether the search ran to its end; the rows
    // are then final and may be sorted there (SortRowsByColumn). The
    // listener hears RowsAboutToBeReset now and RowsReset in FinishSearch.
    // Nothing else of this object may be used until FinishSearch: a change
    // of the catalogs meanwhile stops the search, as StopSearch does.
    void StartSearch(FindFeed feed, std::function<void(bool whole)> ended);
    bool Searching() const { return searcher_.joinable(); }
    // Waits for the search's thread (after `ended`, it is about to end);
    // the rows of a stopped search are none. Answers whether it was whole.
    bool FinishSearch();
    // Asks a running search to stop, then FinishSearch.
    void StopSearch();
    // Sorts by the column clicked (0 to 3): descending when the
    // descending-next flag is set, then the flag flips. Equal rows keep
    // their order.
    void SortByColumn(int column);
    // The same without telling the listener, as on a search's own thread.
    void SortRowsByColumn(int column);

    std::size_t RowCount() const { return rows_.size(); }
    // Whether the last search found nothing (a view shows so).
    bool FoundNothing() const { return nothingFound_; }
    FileData* RowEntry(std::size_t row) const;
    // Valid until the next call or the next change of the rows.
    std::string_view RowText(std::size_t row, FindColumn column);
    // The same, with the size and date texts made in `scratch` and valid
    // while it is unchanged.
    std::string_view RowText(std::size_t row, FindColumn column, RowTextScratch& scratch) const;
    // A row's size text made in `buffer`; unlike the other texts it may be
    // read on any thread.
    std::string_view SizeText(std::size_t row, char (&buffer)[kSizeTextCapacity]) const;
    // The text of `column` for a row standing for `entry`, as RowText makes
    // it; also for the rows a running search has handed on.
    std::string_view EntryText(const FileData& entry, FindColumn column,
                               RowTextScratch& scratch) const;
    // The row showing `entry`, if any (a look through every row).
    std::optional<std::size_t> RowOf(const FileData* entry) const;

    // Writes the report into `path` and remembers it as the report file
    // name; false when the file cannot be written.
    bool SaveReport(const std::string& path);
    void WriteReport(ReportWriter& report);

private:
    // Catalog set and tree changes. A search running reads the catalogs:
    // each change that is about to come stops it first.
    void EntriesAboutToBeRemoved() override;
    void DisksLoaded() override;
    void ItemAboutToBeInserted(TreeItem, int) override;
    void ItemInserted(TreeItem) override {}
    void ItemAboutToBeRemoved(TreeItem item) override;
    void ItemRemoved(TreeItem, int) override;
    void ChildrenAboutToBeSorted(TreeItem) override;
    void ChildrenSorted(TreeItem) override {}
    void ResetStarted() override;
    void ResetFinished() override;
    void ExpandRequested(TreeItem) override {}

    void Find(const FindFeed& feed);
    void SetSearchRoot(TreeItem node);
    void FindSearchRootAgain();
    bool IsAtOrBelow(TreeItem node, TreeItem top) const;
    void CollectFrom(TreeItem node, std::vector<FileData*>& found) const;
    void SettleRows(std::vector<FileData*>::iterator first, std::vector<FileData*>::iterator last);
    std::string_view FolderText(const FileData& entry) const {
        return folderText_[entry.GetParentItem()];
    }
    void FindInEveryCatalog(const FindFeed& feed);
    void SortByFolder(bool descending);
    static int CompareForSort(const FileData* a, const FileData* b, int key);

    CatalogSet& set_;
    FindFilesListener* listener_ = nullptr;
    std::string mask_;
    bool lookInSubfolders_ = true;
    TreeItem searchRoot_ = kNoItem;
    std::string searchRootText_;
    std::vector<std::string> searchRootChain_;
    bool searchRootRemoved_ = false;
    // The root went and the top root item stands in for it, while
    // searchRootChain_ still names the root that went.
    bool searchRootLost_ = false;
    std::string reportFileName_ = "FindFiles.txt";
    bool descendingNext_ = true;
    std::vector<FileData*> rows_;
    // The location text of the rows filed under each tree item, by item
    // handle; made with the rows, and kept by the entries' stores.
    std::vector<std::string_view> folderText_;
    bool nothingFound_ = false;
    int rowsSizeUnit_ = 1;  // the size unit the rows' size texts are made in
    RowTextScratch scratch_;
    std::thread searcher_;
    std::atomic<bool> stopSearch_{false};
};

}  // namespace kestavo
