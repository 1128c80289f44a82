// Find Files: the entries below one node of the catalog tree whose names
// match a wildcard mask, their result rows, column sort and report. One
// object per dialog, so that several dialogs keep their own results.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "catalog/catalog_set.h"
#include "catalog/catalog_set_observer.h"
#include "catalog/local_time.h"
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

    // Upper-cases the mask and replaces the rows by the entries found below
    // the search root, each with its folder, size and date texts made, in
    // the initial order; "No files found" when there is none.
    void FindNow();
    // Sorts by the column clicked (0 to 3): descending when the
    // descending-next flag is set, then the flag flips. Equal rows keep
    // their order.
    void SortByColumn(int column);

    std::size_t RowCount() const { return nothingFound_ ? 1 : rows_.size(); }
    // The entry of a row; null for the "No files found" row.
    FileData* RowEntry(std::size_t row) const;
    int RowImage(std::size_t row) const;
    // Valid until the next call or the next change of the rows.
    std::string_view RowText(std::size_t row, FindColumn column);

    // Writes the report into `path` and remembers it as the report file
    // name; false when the file cannot be written.
    bool SaveReport(const std::string& path);
    void WriteReport(ReportWriter& report);

private:
    // Catalog set and tree changes.
    void EntriesAboutToBeRemoved() override;
    void ItemAboutToBeInserted(TreeItem, int) override {}
    void ItemInserted(TreeItem) override {}
    void ItemAboutToBeRemoved(TreeItem item) override;
    void ItemRemoved(TreeItem, int) override;
    void ChildrenAboutToBeSorted(TreeItem) override {}
    void ChildrenSorted(TreeItem) override {}
    void ResetStarted() override {}
    void ResetFinished() override;
    void ExpandRequested(TreeItem) override {}

    void SetSearchRoot(TreeItem node);
    void FindSearchRootAgain();
    bool IsAtOrBelow(TreeItem node, TreeItem top) const;
    void CollectFrom(TreeItem node, std::vector<FileData*>& found) const;
    static void PrefetchTexts(const FileData& entry);
    void MakeTexts(std::vector<FileData*>::iterator first, std::vector<FileData*>::iterator last,
                   LocalClock& clock, int sizeUnit) const;
    void FindInEveryCatalog();
    static int CompareForSort(FileData* a, FileData* b, int key);

    CatalogSet& set_;
    FindFilesListener* listener_ = nullptr;
    std::string mask_;
    bool lookInSubfolders_ = true;
    TreeItem searchRoot_ = kNoItem;
    std::string searchRootText_;
    std::vector<std::string> searchRootChain_;
    bool searchRootRemoved_ = false;
    std::string reportFileName_ = "FindFiles.txt";
    bool descendingNext_ = true;
    std::vector<FileData*> rows_;
    bool nothingFound_ = false;
    int rowsSizeUnit_ = 1;  // the size unit the rows' size texts were made in
    std::string scratch_;
};

}  // namespace kestavo
