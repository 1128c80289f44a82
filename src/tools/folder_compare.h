// The side-by-side walk of a disk folder and its catalog container that
// finds what is new, modified or deleted on the disk, row by row.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "catalog/catalog_set.h"
#include "catalog/entry_store.h"

namespace kestavo {

// In descending order of their texts, the order the rows are shown in.
enum class CompareStatus : std::uint8_t { NewDirectory, New, Modified, DeletedDirectory, Deleted, Identical };

const char* StatusText(CompareStatus status);
int StatusImage(CompareStatus status);

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

    // Compares the disk folder shown as `path` (E: or E:/DOCS), which is
    // the directory `directory` (empty: none), with the catalog container
    // `item` (kNoItem: none), and everything below both, depth first.
    void Run(const std::string& path, const std::string& directory, TreeItem item);

private:
    struct Frame;
    Frame EnterFolder(std::string_view name, TreeItem item);
    Frame MakeFrame(TreeItem item) const;
    // Handles the next step of the folder on top of `stack`; answers false
    // when the folder is done.
    bool Step(std::vector<Frame>& stack);
    void AddRow(CompareStatus status, FileData* disk, FileData* catalog);
    FileData* ContainerEntry(TreeItem parent, std::string_view name) const;

    CatalogSet& set_;
    EntryStore& diskEntries_;
    std::vector<CompareRow>& rows_;
    // The disk path and directory of the folder on top of the walk's stack.
    std::string path_;
    std::string directory_;
    // The file system of the disk's directory, when known.
    std::uint64_t device_ = 0;
    bool knowsDevice_ = false;
};

}  // namespace kestavo
