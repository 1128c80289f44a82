// SPDX-License-Identifier: GPL-3.0-or-later
// The side-by-side walk of a disk's folder tree (read beforehand) and its
// catalog container that finds what is new, modified or deleted on the
// disk, row by row.
#pragma once

#include <cstdint>
#include <span>
#include <string>
#include <vector>

#include "catalog/catalog_set.h"
#include "catalog/entry_store.h"
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
// catalogs do not alter a result.
struct CompareRow {
    CompareStatus status;
    std::string name;
    std::string folder;
    std::string sizeCatalog;
    std::string sizeDisk;
    std::string dateCatalog;
    std::string dateDisk;
};

class FolderComparison {
public:
    // Disk entries made for rows go into `diskEntries`; rows are appended
    // to `rows` in the order the walk finds them.
    FolderComparison(CatalogSet& set, EntryStore& diskEntries, std::vector<CompareRow>& rows);

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
    std::string_view CatalogPath(const Frame& frame) const;
    std::string_view DiskPath(const Frame& frame) const;

    CatalogSet& set_;
    EntryStore& diskEntries_;
    std::vector<CompareRow>& rows_;
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
