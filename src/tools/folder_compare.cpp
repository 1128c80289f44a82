// SPDX-License-Identifier: GPL-3.0-or-later
#include "tools/folder_compare.h"

#include <memory>
#include <unordered_map>

#include "catalog/entry_kind.h"
#include "catalog/size_unit.h"
#include "media/catalog_writer.h"
#include "tools/name_matcher.h"

namespace kestavo {

const char* StatusText(CompareStatus status) {
    switch (status) {
        case CompareStatus::NewDirectory:
            return "new directory";
        case CompareStatus::New:
            return "new";
        case CompareStatus::Modified:
            return "modified";
        case CompareStatus::DeletedDirectory:
            return "deleted directory";
        case CompareStatus::Deleted:
            return "deleted";
        case CompareStatus::Identical:
            return "Identical";
    }
    return "";
}

// One folder being compared: where its results lie in the walk's shared
// lists, and how far the walk has come through them.
struct FolderComparison::Frame {
    std::uint32_t diskFolder = DiskEntry::kNoFolder;
    TreeItem item = kNoItem;
    std::size_t entryCount = 0;
    std::size_t nextEntry = 0;
    std::size_t firstMatch = 0;
    std::size_t firstDeletedFolder = 0;
    std::size_t deletedFolderCount = 0;
    std::size_t nextDeletedFolder = 0;
    std::size_t firstDeletedFile = 0;
    // The folder's paths are the first so many characters of the walk's
    // path buffers; its catalog path as shown leaves out trailing empty
    // names, as FileData::GetPath does.
    std::size_t diskPathLength = 0;
    std::size_t catalogPathLength = 0;
    std::size_t catalogShownLength = 0;
};

namespace {

std::vector<std::string_view> NamesOf(const ContainerTree& tree,
                                      const std::vector<TreeItem>& items) {
    std::vector<std::string_view> names;
    names.reserve(items.size());
    for (TreeItem item : items) names.push_back(tree.ItemText(item));
    return names;
}

std::vector<std::string_view> NamesOf(const std::vector<FileData*>& files) {
    std::vector<std::string_view> names;
    names.reserve(files.size());
    for (const FileData* file : files) names.push_back(file->GetName());
    return names;
}

std::string UnchangedKey(std::string_view name, std::int64_t size, std::int64_t time) {
    std::string key(name);
    key.push_back('\0');
    key.append(reinterpret_cast<const char*>(&size), sizeof size);
    key.append(reinterpret_cast<const char*>(&time), sizeof time);
    return key;
}

// When the writer's clean-up made catalog names equal ("a b" for both
// "a b" and "a  b"), a disk file first takes a catalog file of its name
// with its own size and time, so that an unchanged disk matches one to one.
void PairUnchangedFiles(std::span<const DiskEntry> entries, const std::vector<std::string>& names,
                        const std::vector<FileData*>& files, NameMatcher& fileNames,
                        std::vector<FileData*>& matched) {
    struct Queue {
        std::vector<std::size_t> positions;
        std::size_t next = 0;
    };
    std::unordered_map<std::string, Queue> unchanged;
    for (std::size_t i = 0; i < files.size(); ++i)
        unchanged[UnchangedKey(files[i]->GetName(), files[i]->Size(), files[i]->GetTime())]
            .positions.push_back(i);
    for (std::size_t i = 0; i < entries.size(); ++i) {
        if (entries[i].directory) continue;
        auto it = unchanged.find(UnchangedKey(names[i], entries[i].size, entries[i].time));
        if (it == unchanged.end() || it->second.next == it->second.positions.size()) continue;
        const std::size_t position = it->second.positions[it->second.next++];
        fileNames.TakeAt(position);
        matched[i] = files[position];
    }
}

}  // namespace

FolderComparison::FolderComparison(CatalogSet& set, EntryStore& diskEntries,
                                   std::vector<CompareRow>& rows)
    : set_(set), diskEntries_(diskEntries), rows_(rows) {}

// Matches the disk entries of one folder with the catalog container `item`
// and notes, in the shared lists, what each entry matched and what the
// catalog holds that the disk does not.
void FolderComparison::MatchFolder(std::span<const DiskEntry> entries, Match* matches,
                                   TreeItem item, Frame& frame) {
    const ContainerTree& tree = set_.Tree();
    subfolders_.clear();
    zipFolders_.clear();
    // Zip Folders are compared as the archive files they are on the disk,
    // or as the same container when the disk holds a directory of that name.
    for (TreeItem child : tree.Children(item))
        (PassesZipTest(tree.ItemText(child)) ? zipFolders_ : subfolders_).push_back(child);
    set_.CollectFilesAndZipFolders(item, files_);
    NameMatcher folderNames(NamesOf(tree, subfolders_));
    NameMatcher fileNames(NamesOf(files_));

    // Catalogs hold names as the writer wrote them.
    std::vector<std::string> names(entries.size());
    for (std::size_t i = 0; i < entries.size(); ++i)
        names[i] = media::CatalogName(disk_->Name(entries[i]));
    std::vector<FileData*> matchedFiles(entries.size(), nullptr);
    if (fileNames.HasRepeatedNames())
        PairUnchangedFiles(entries, names, files_, fileNames, matchedFiles);

    std::unique_ptr<NameMatcher> zipNames;
    std::unordered_map<std::string_view, std::vector<std::size_t>> zipEntries;
    bool zipEntriesIndexed = false;
    for (std::size_t i = 0; i < entries.size(); ++i) {
        Match& match = matches[i];
        if (!entries[i].directory) {
            match.file = matchedFiles[i];
            if (!match.file)
                if (const std::ptrdiff_t found = fileNames.Take(names[i]); found >= 0)
                    match.file = files_[static_cast<std::size_t>(found)];
            continue;
        }
        if (const std::ptrdiff_t found = folderNames.Take(names[i]); found >= 0) {
            match.item = subfolders_[static_cast<std::size_t>(found)];
            continue;
        }
        if (zipFolders_.empty()) continue;
        if (!zipNames) zipNames = std::make_unique<NameMatcher>(NamesOf(tree, zipFolders_));
        if (const std::ptrdiff_t found = zipNames->Take(names[i]); found >= 0) {
            match.item = zipFolders_[static_cast<std::size_t>(found)];
            // Its Zip Folder entry is then no deleted file.
            if (!zipEntriesIndexed && (zipEntriesIndexed = true))
                for (std::size_t f = 0; f < files_.size(); ++f)
                    if (files_[f]->IsZipFolder()) zipEntries[files_[f]->GetName()].push_back(f);
            if (auto it = zipEntries.find(tree.ItemText(match.item)); it != zipEntries.end())
                for (std::size_t f : it->second)
                    if (!fileNames.Taken(f)) {
                        fileNames.TakeAt(f);
                        break;
                    }
        }
    }

    frame.firstDeletedFolder = deletedFolders_.size();
    // A deleted folder's own entry: the one filed with exactly its name, else
    // the first equal without regard to case.
    ChildItemEntries containerEntries(set_, item, SiblingMatch::ExactFirst);
    for (std::size_t i = 0; i < subfolders_.size(); ++i)
        if (!folderNames.Taken(i)) {
            deletedFolders_.push_back(subfolders_[i]);
            deletedFolderEntries_.push_back(containerEntries.Find(subfolders_[i]));
        }
    frame.deletedFolderCount = deletedFolders_.size() - frame.firstDeletedFolder;
    frame.firstDeletedFile = deletedFiles_.size();
    for (std::size_t i = 0; i < files_.size(); ++i)
        if (!fileNames.Taken(i)) deletedFiles_.push_back(files_[i]);
}

FolderComparison::Frame FolderComparison::MakeFrame(std::uint32_t diskFolder, TreeItem item,
                                                    std::size_t catalogShown) {
    Frame frame;
    frame.diskFolder = diskFolder;
    frame.item = item;
    frame.diskPathLength = diskPath_.size();
    frame.catalogPathLength = catalogPath_.size();
    frame.catalogShownLength = catalogShown;
    std::span<const DiskEntry> entries;
    if (diskFolder != DiskEntry::kNoFolder) entries = disk_->Entries(diskFolder);
    frame.entryCount = entries.size();
    frame.firstMatch = matches_.size();
    matches_.resize(matches_.size() + entries.size());
    frame.firstDeletedFolder = deletedFolders_.size();
    frame.firstDeletedFile = deletedFiles_.size();
    if (item != kNoItem) MatchFolder(entries, matches_.data() + frame.firstMatch, item, frame);
    return frame;
}

// Enters the folder `diskName` (on the disk) / `item` (in the catalog)
// below the folder on top of the stack.
void FolderComparison::PushChild(std::vector<Frame>& stack, std::string_view diskName,
                                 std::uint32_t diskFolder, TreeItem item) {
    diskPath_.push_back('/');
    diskPath_.append(diskName);
    std::size_t shown = stack.back().catalogShownLength;
    if (item != kNoItem) {
        const std::string_view text = set_.Tree().ItemText(item);
        catalogPath_.push_back('/');
        catalogPath_.append(text);
        if (!text.empty()) shown = catalogPath_.size();
    }
    stack.push_back(MakeFrame(diskFolder, item, shown));
}

std::string_view FolderComparison::CatalogPath(const Frame& frame) const {
    return std::string_view(catalogPath_).substr(0, frame.catalogShownLength);
}

std::string_view FolderComparison::DiskPath(const Frame& frame) const {
    return std::string_view(diskPath_).substr(0, frame.diskPathLength);
}

void FolderComparison::Run(const std::string& path, const DiskTree& disk, TreeItem item) {
    disk_ = &disk;
    diskPath_ = path;
    catalogPath_.clear();
    matches_.clear();
    deletedFolders_.clear();
    deletedFolderEntries_.clear();
    deletedFiles_.clear();
    std::size_t shown = 0;
    if (item != kNoItem) {
        // The catalog path of the first container, made as FileData::GetPath
        // makes it; those below are made from it one name at a time.
        std::vector<std::string_view> parts;
        const ContainerTree& tree = set_.Tree();
        for (TreeItem at = item; tree.Parent(at) != kNoItem; at = tree.Parent(at))
            parts.push_back(tree.ItemText(at));
        for (auto part = parts.rbegin(); part != parts.rend(); ++part) {
            if (part != parts.rbegin()) catalogPath_.push_back('/');
            catalogPath_.append(*part);
            if (!part->empty()) shown = catalogPath_.size();
        }
    }
    std::vector<Frame> stack;
    stack.push_back(MakeFrame(DiskTree::kRoot, item, shown));
    while (!stack.empty())
        if (!Step(stack)) {
            const Frame& done = stack.back();
            matches_.resize(done.firstMatch);
            deletedFolders_.resize(done.firstDeletedFolder);
            deletedFolderEntries_.resize(done.firstDeletedFolder);
            deletedFiles_.resize(done.firstDeletedFile);
            stack.pop_back();
        }
}

// The next entry of the disk folder on top of the stack.
bool FolderComparison::StepDiskEntry(std::vector<Frame>& stack) {
    Frame& frame = stack.back();
    const std::size_t index = frame.nextEntry++;
    const DiskEntry& entry = disk_->Entries(frame.diskFolder)[index];
    const Match match = matches_[frame.firstMatch + index];
    const std::string_view name = disk_->Name(entry);
    if (entry.directory) {
        if (match.item == kNoItem) {
            FileData* disk = diskEntries_.Create(name, frame.item, 0, 0, entry.time, KIND_FOLDER);
            disk->SetPath(DiskPath(frame));
            AddRow(CompareStatus::NewDirectory, disk, nullptr, DiskPath(frame));
        }
        PushChild(stack, name, entry.folder, match.item);
        return true;
    }
    if (!match.file) {
        FileData* disk =
            diskEntries_.Create(name, frame.item, entry.size, 0, entry.time, KIND_FILE);
        disk->SetPath(DiskPath(frame));
        AddRow(CompareStatus::New, disk, nullptr, DiskPath(frame));
    } else if (entry.time != match.file->GetTime() || entry.size != match.file->Size()) {
        FileData* disk = diskEntries_.Create(name, match.file->GetParentItem(), entry.size, 0,
                                             entry.time, KIND_FILE);
        AddRow(CompareStatus::Modified, disk, match.file, CatalogPath(frame));
    }
    return true;
}

bool FolderComparison::Step(std::vector<Frame>& stack) {
    Frame& frame = stack.back();
    diskPath_.resize(frame.diskPathLength);
    catalogPath_.resize(frame.catalogPathLength);
    if (frame.nextEntry < frame.entryCount) return StepDiskEntry(stack);
    // What the catalog holds and the disk no longer does: folders first,
    // each with everything below it, then files. Nothing of the disk is read
    // for them.
    if (frame.nextDeletedFolder < frame.deletedFolderCount) {
        const std::size_t at = frame.firstDeletedFolder + frame.nextDeletedFolder++;
        if (FileData* catalog = deletedFolderEntries_[at])
            AddRow(CompareStatus::DeletedDirectory, nullptr, catalog, CatalogPath(frame));
        const TreeItem subfolder = deletedFolders_[at];
        PushChild(stack, set_.Tree().ItemText(subfolder), DiskEntry::kNoFolder, subfolder);
        return true;
    }
    for (std::size_t at = frame.firstDeletedFile; at < deletedFiles_.size(); ++at)
        AddRow(CompareStatus::Deleted, nullptr, deletedFiles_[at], CatalogPath(frame));
    return false;
}

void FolderComparison::AddRow(CompareStatus status, FileData* disk, FileData* catalog,
                              std::string_view folder) {
    CompareRow row{status, {}, std::string(folder), {}, {}, {}, {}};
    if (disk) row.name = disk->GetName();
    if (catalog) {
        row.name = catalog->GetName();
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
