#include "tools/folder_compare.h"

#include <memory>

#include "catalog/entry_kind.h"
#include "catalog/size_unit.h"
#include "media/catalog_writer.h"
#include "tools/disk_listing.h"
#include "tools/name_matcher.h"

namespace kestavo {

const char* StatusText(CompareStatus status) {
    switch (status) {
        case CompareStatus::NewDirectory: return "new directory";
        case CompareStatus::New: return "new";
        case CompareStatus::Modified: return "modified";
        case CompareStatus::DeletedDirectory: return "deleted directory";
        case CompareStatus::Deleted: return "deleted";
        case CompareStatus::Identical: return "Identical";
    }
    return "";
}

int StatusImage(CompareStatus status) {
    switch (status) {
        case CompareStatus::NewDirectory:
        case CompareStatus::New: return IMAGE_NEW;
        case CompareStatus::Modified: return IMAGE_MODIFIED;
        case CompareStatus::DeletedDirectory:
        case CompareStatus::Deleted: return IMAGE_DELETED;
        case CompareStatus::Identical: return IMAGE_IDENTICAL;
    }
    return 0;
}

// One folder being compared: its catalog subfolders and files, its disk
// listing, and how far the walk has come through them.
struct FolderComparison::Frame {
    // The folder's disk path and directory are the first so many characters
    // of the walk's path buffers, which hold those of the deepest folder.
    std::size_t pathLength = 0;
    std::size_t directoryLength = 0;
    TreeItem item = kNoItem;
    std::vector<TreeItem> subfolders;
    std::unique_ptr<NameMatcher> subfolderNames;
    std::vector<FileData*> files;
    std::unique_ptr<NameMatcher> fileNames;
    std::vector<DiskRecord> records;
    std::size_t nextRecord = 0;
    std::size_t nextSubfolder = 0;  // while deleted subfolders are reported
};

FolderComparison::FolderComparison(CatalogSet& set, EntryStore& diskEntries,
                                   std::vector<CompareRow>& rows)
    : set_(set), diskEntries_(diskEntries), rows_(rows) {}

// Appends "/" + `name` to the walk's paths and makes the frame of the
// folder they then name.
FolderComparison::Frame FolderComparison::EnterFolder(std::string_view name, TreeItem item) {
    path_.push_back('/');
    path_.append(name);
    // A folder of a disk that has no directory has none either.
    if (!directory_.empty()) {
        if (directory_.back() != '/') directory_.push_back('/');
        directory_.append(name);
    }
    return MakeFrame(item);
}

FolderComparison::Frame FolderComparison::MakeFrame(TreeItem item) const {
    Frame frame;
    frame.pathLength = path_.size();
    frame.directoryLength = directory_.size();
    frame.item = item;
    const ContainerTree& tree = set_.Tree();
    std::vector<std::string_view> names;
    if (item != kNoItem) {
        // Zip Folders are compared as the archive files they are on the disk.
        for (TreeItem child : tree.Children(item))
            if (!PassesZipTest(tree.GetItemText(child))) {
                frame.subfolders.push_back(child);
                names.push_back(tree.GetItemText(child));
            }
        set_.CollectFilesAndZipFolders(item, frame.files);
    }
    frame.subfolderNames = std::make_unique<NameMatcher>(std::move(names));
    names.clear();
    for (FileData* file : frame.files) names.push_back(file->Name());
    frame.fileNames = std::make_unique<NameMatcher>(std::move(names));
    // A folder that cannot be listed, or that vanished, counts as empty; so
    // does a file system mounted below the disk's, which the scanner does
    // not enter either.
    if (!directory_.empty()) ListDirectory(directory_, frame.records, knowsDevice_ ? &device_ : nullptr);
    return frame;
}

void FolderComparison::Run(const std::string& path, const std::string& directory, TreeItem item) {
    path_ = path;
    directory_ = directory;
    knowsDevice_ = DeviceOf(directory_, device_);
    // The walk keeps its own stack, so any depth of folders is compared.
    std::vector<Frame> stack;
    stack.push_back(MakeFrame(item));
    while (!stack.empty())
        if (!Step(stack)) stack.pop_back();
}

bool FolderComparison::Step(std::vector<Frame>& stack) {
    Frame& frame = stack.back();
    path_.resize(frame.pathLength);
    directory_.resize(frame.directoryLength);
    if (frame.nextRecord < frame.records.size()) {
        DiskRecord& record = frame.records[frame.nextRecord++];
        // Catalogs hold names as the writer wrote them.
        const std::string name = media::CatalogName(record.name);
        if (record.directory) {
            const std::ptrdiff_t found = frame.subfolderNames->Take(name);
            TreeItem childItem = kNoItem;
            if (found >= 0) {
                childItem = frame.subfolders[static_cast<std::size_t>(found)];
            } else {
                ReadDirectoryTime(directory_, record);
                FileData* disk = diskEntries_.Create(record.name, frame.item, 0, 0, record.time, KIND_FOLDER);
                disk->SetPath(path_);
                AddRow(CompareStatus::NewDirectory, disk, nullptr);
            }
            stack.push_back(EnterFolder(record.name, childItem));
            return true;
        }
        const std::ptrdiff_t found = frame.fileNames->Take(name);
        if (found < 0) {
            FileData* disk =
                diskEntries_.Create(record.name, frame.item, record.size, 0, record.time, KIND_FILE);
            disk->SetPath(path_);
            AddRow(CompareStatus::New, disk, nullptr);
        } else if (FileData* catalog = frame.files[static_cast<std::size_t>(found)];
                   record.time != catalog->GetTime() || record.size != catalog->Size()) {
            FileData* disk = diskEntries_.Create(record.name, catalog->GetParentItem(), record.size, 0,
                                                 record.time, KIND_FILE);
            AddRow(CompareStatus::Modified, disk, catalog);
        }
        return true;
    }
    // What the catalog holds and the disk no longer does: folders first,
    // each with everything below it, then files.
    while (frame.nextSubfolder < frame.subfolders.size()) {
        const std::size_t position = frame.nextSubfolder++;
        if (frame.subfolderNames->Taken(position)) continue;
        const TreeItem subfolder = frame.subfolders[position];
        const std::string_view text = set_.Tree().GetItemText(subfolder);
        if (FileData* catalog = ContainerEntry(frame.item, text))
            AddRow(CompareStatus::DeletedDirectory, nullptr, catalog);
        stack.push_back(EnterFolder(text, subfolder));
        return true;
    }
    for (std::size_t position = 0; position < frame.files.size(); ++position)
        if (!frame.fileNames->Taken(position))
            AddRow(CompareStatus::Deleted, nullptr, frame.files[position]);
    return false;
}

// The entry of a subfolder item: the one filed with exactly its name, else
// the first equal without regard to case.
FileData* FolderComparison::ContainerEntry(TreeItem parent, std::string_view name) const {
    FileData* exact = nullptr;
    set_.ForEachEntryUnder(parent, [&](FileData& e) {
        if (!exact && e.Name() == name) exact = &e;
    });
    return exact ? exact : set_.FindEntry(parent, name);
}

void FolderComparison::AddRow(CompareStatus status, FileData* disk, FileData* catalog) {
    CompareRow row{status, {}, {}, {}, {}, {}, {}};
    if (disk) {
        row.name = disk->Name();
        if (!catalog) row.folder = disk->GetPath();
    }
    if (catalog) {
        row.name = catalog->Name();
        row.folder = catalog->GetPath();
        row.sizeCatalog = catalog->GetSizeText();
        row.dateCatalog = catalog->GetDateText();
    }
    if (disk) {
        // A disk folder's size is 0 (no catalog item stands for it).
        row.sizeDisk = FormatSize(disk->Size());
        row.dateDisk = disk->GetDateText();
    }
    rows_.push_back(std::move(row));
}

}  // namespace kestavo
