// SPDX-License-Identifier: GPL-3.0-or-later
// The side-by-side walk of a disk's folder tree (read beforehand) and its
// catalog container that finds what is new, modified or deleted on the
// disk, row by row.
#pragma once

#include <cstdint>
#include <span>
#include <string>
#include <string_view>
#include <vector>

#include "catalog/catalog_set.h"
#include "catalog/entry_store.h"
#include "support/growing_texts.h"
#include "tools/disk_tree.h"

namespace kestavo {

// In descending order of their texts, the order the rows are shown in.
enum class CompareStatus : std::uint8_t {
    NewDirectory,
    New,
    Modified,
    DeletedDirectory,
    Deleted,
    Identical
};

const char* StatusText(CompareStatus status);

// One result row: copies of the texts, so that later changes to the loaded
// catalogs do not alter a result. The folder text is kept by the rows' folder
// texts, shared by the rows of one folder.
struct CompareRow {
    CompareStatus status;
    std::string name;
    std::string_view folder;
    std::string sizeCatalog;
    std::string sizeDisk;
    std::string dateCatalog;
    std::string dateDisk;
    // The byte counts and times the texts were made from; 0 for a side the
    // row does not have.
    std::int64_t catalogSize = 0;
    std::int64_t diskSize = 0;
    std::int64_t catalogTime = 0;
    std::int64_t diskTime = 0;
};

// The rows of one comparison with the folder texts they point at: disk paths
// (E:/DOCS) and catalog paths (WORK/DOCS) apart, so that each kind of text
// of a chain of nested folders extends the one before it in place.
class CompareResults {
public:
    void Clear();
    void Add(CompareRow row) { rows_.push_back(std::move(row)); }
    // In the order the rows are shown in: by status, equal ones as added.
    void SortByStatus();
    bool Empty() const { return rows_.empty(); }
    std::size_t Size() const { return rows_.size(); }
    const CompareRow& operator[](std::size_t row) const { return rows_[row]; }
    std::vector<CompareRow>::const_iterator begin() const { return rows_.begin(); }
    std::vector<CompareRow>::const_iterator end() const { return rows_.end(); }
    GrowingTexts& DiskFolders() { return diskFolders_; }
    GrowingTexts& CatalogFolders() { return catalogFolders_; }

private:
    std::vector<CompareRow> rows_;
    GrowingTexts diskFolders_;
    GrowingTexts catalogFolders_;
};

class FolderComparison {
public:
    // Disk entries made for rows go into `diskEntries`; rows are appended
    // to `rows` in the order the walk finds them.
    FolderComparison(CatalogSet& set, EntryStore& diskEntries, CompareResults& rows);

    // Compares the whole of `disk`, shown as the disk path `path` (E:), with
    // the catalog container `item` (kNoItem: none), depth first. Every disk
    // name comes from the snapshot; a catalog folder missing from the disk is
    // reported from the catalog alone. Keeps its own stack; the cost grows
    // with the number of entries, not with their depth.
    void Run(const std::string& path, const DiskTree& disk, TreeItem item);

private:
    // What a disk entry was matched with: a catalog folder (or Zip Folder)
    // item for a directory, a catalog file (or Zip Folder) entry for a file.
    struct Match {
        TreeItem item = kNoItem;
        FileData* file = nullptr;
    };
    struct Frame;

    Frame MakeFrame(std::uint32_t diskFolder, TreeItem item, std::size_t catalogShown);
    void MatchFolder(std::span<const DiskEntry> entries, Match* matches, TreeItem item,
                     Frame& frame);
    void PushChild(std::vector<Frame>& stack, std::string_view diskName, std::uint32_t diskFolder,
                   TreeItem item);
    // Handles the next step of the folder on top of `stack`; answers false
    // when the folder is done.
    bool Step(std::vector<Frame>& stack);
    bool StepDiskEntry(std::vector<Frame>& stack);
    void AddRow(CompareStatus status, FileData* disk, FileData* catalog, std::string_view folder);
    std::string_view DiskPath(const Frame& frame) const;
    // The folder texts of the folder on top of `stack`, kept by the rows: the
    // catalog path as CatalogSet::PathOf shows it, and the disk path.
    std::string_view KeptCatalogPath(std::vector<Frame>& stack);
    std::string_view KeptDiskPath(std::vector<Frame>& stack);

    CatalogSet& set_;
    EntryStore& diskEntries_;
    CompareResults& rows_;
    const DiskTree* disk_ = nullptr;
    // The disk path (E:/DOCS) and catalog path (WORK/DOCS) of the deepest
    // folder of the walk; each frame knows how much of them is its own.
    std::string diskPath_;
    std::string catalogPath_;
    // Per-folder results kept for the folders on the stack, each frame's
    // part after its parent's, so that a frame holds only offsets.
    std::vector<Match> matches_;
    std::vector<TreeItem> deletedFolders_;
    std::vector<FileData*> deletedFolderEntries_;
    std::vector<FileData*> deletedFiles_;
    // Scratch lists for making one frame.
    std::vector<TreeItem> subfolders_;
    std::vector<TreeItem> zipFolders_;
    std::vector<FileData*> files_;
};

}  // namespace kestavo
