// What the catalog set fills when it shows a container's contents: the list
// pane of the desktop program, or the rows `kestavo-cli ls` prints.
#pragma once

namespace kestavo {

class FileData;

class ListSink {
public:
    virtual ~ListSink() = default;
    virtual void ClearRows() = 0;
    // Name, Size and Date.
    virtual void ShowFileColumns() = 0;
    // Disk, then Total Size, Free Space and Date Cataloged as switched on.
    virtual void ShowDiskColumns() = 0;
    virtual void AddFileRow(FileData& entry) = 0;
    virtual void AddDiskRow(FileData& entry) = 0;
    // Every row of this filling has been added.
    virtual void EndRows() {}
};

// Brings a container's tree item into view and lists its contents.
class TreeNavigator {
public:
    virtual ~TreeNavigator() = default;
    virtual void ShowEntryInTree(FileData& entry) = 0;
};

// Told before entries are destroyed, so that anything holding entry
// pointers (result lists) can let go of them.
class CatalogSetObserver {
public:
    virtual ~CatalogSetObserver() = default;
    virtual void EntriesAboutToBeRemoved() = 0;
};

}  // namespace kestavo
