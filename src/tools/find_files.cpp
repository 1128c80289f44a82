// SPDX-License-Identifier: GPL-3.0-or-later
#include "tools/find_files.h"

#include <algorithm>
#include <cassert>
#include <memory>

#include "catalog/entry_kind.h"
#include "catalog/name_compare.h"
#include "catalog/row_order.h"
#include "catalog/tree_walk.h"
#include "tools/indexed_name_search.h"

namespace kestavo {

FindFiles::FindFiles(CatalogSet& set, TreeItem searchRoot) : set_(set) {
    SetSearchRoot(searchRoot == kNoItem ? set_.RootItem() : searchRoot);
    set_.AddObserver(this);
    set_.Tree().AddObserver(this);
}

FindFiles::~FindFiles() {
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

void FindFiles::FindNow() {
    if (listener_) listener_->RowsAboutToBeReset();
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
    if (lookInSubfolders_ && (indexed.Applies() || searchRoot_ == set_.RootItem())) {
        // The stores' name indexes, or for a search of everything the stores
        // read whole, find the rows in creation order, which are then put in
        // the initial order the rows of a walk would have.
        indexed.Collect(searchRoot_, rows_);
        SettleRows(rows_.begin(), rows_.end());
        SortFoundInInitialOrder(tree, rows_);
        nothingFound_ = rows_.empty();
        if (listener_) listener_->RowsReset();
        return;
    }
    if (lookInSubfolders_) {
        ForEachNodeDepthFirst(tree, searchRoot_, [&](TreeItem node) { CollectFrom(node, rows_); });
    } else {
        CollectFrom(searchRoot_, rows_);
    }
    SettleRows(rows_.begin(), rows_.end());
    SortInInitialOrder(rows_);
    nothingFound_ = rows_.empty();
    if (listener_) listener_->RowsReset();
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
    const int key = descendingNext_ ? -number : number;
    if (listener_) listener_->RowsAboutToBeReset();
    if (column == static_cast<int>(FindColumn::InFolder)) {
        SortByFolder(key < 0);
    } else {
        std::stable_sort(rows_.begin(), rows_.end(), [key](const FileData* a, const FileData* b) {
            return CompareForSort(a, b, key) < 0;
        });
    }
    descendingNext_ = !descendingNext_;
    if (listener_) listener_->RowsReset();
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
    FileData* entry = RowEntry(row);
    if (!entry) return {};
    switch (column) {
        case FindColumn::Name:
            return entry->GetName();
        case FindColumn::InFolder:
            return FolderText(*entry);
        case FindColumn::Size:
            return SizeText(row, scratch.size);
        case FindColumn::Date:
            return scratch.clock.DateText(entry->GetTime());
    }
    return {};
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

void FindFiles::ItemAboutToBeRemoved(TreeItem item) {
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
