// SPDX-License-Identifier: GPL-3.0-or-later
#include "tools/folder_compare.h"

#include <algorithm>
#include <memory>
#include <unordered_map>

#include "catalog/catalog_writer.h"
#include "catalog/entry_kind.h"
#include "catalog/size_unit.h"
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
    // names, as CatalogSet::PathOf does.
    std::size_t diskPathLength = 0;
    std::size_t catalogPathLength = 0;
    std::size_t catalogShownLength = 0;
    // The same paths kept by the rows (the catalog path whole, with its
    // empty names), once a row needs them; null data until then.
    std::string_view diskText;
    std::string_view catalogText;
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

enum class NamePass { Exact, IgnoringCase };

std::ptrdiff_t Take(NameMatcher& matcher, std::string_view name, NamePass pass) {
    return pass == NamePass::Exact ? matcher.TakeExact(name) : matcher.TakeIgnoringCase(name);
}

// The catalog side of one folder, taken one to one by the names of the disk
// side: its subfolders, its Zip Folders (the same container as a disk
// directory of their name) and its files, Zip Folder entries among them.
class CatalogCandidates {
public:
    CatalogCandidates(const ContainerTree& tree, const std::vector<TreeItem>& subfolders,
                      const std::vector<TreeItem>& zipFolders, const std::vector<FileData*>& files)
        : tree_(tree),
          subfolders_(subfolders),
          zipFolders_(zipFolders),
          files_(files),
          folderNames_(NamesOf(tree, subfolders)),
          fileNames_(NamesOf(files)) {}

    bool FolderTaken(std::size_t position) const { return folderNames_.Taken(position); }
    bool FileTaken(std::size_t position) const { return fileNames_.Taken(position); }
    bool RepeatsAFileName() const { return fileNames_.HasRepeatedNames(); }

    // The folder `name` of the disk stands for: a catalog folder, else a Zip
    // Folder, whose entry is then no deleted file.
    TreeItem TakeFolder(std::string_view name, NamePass pass) {
        if (const std::ptrdiff_t found = Take(folderNames_, name, pass); found >= 0)
            return subfolders_[static_cast<std::size_t>(found)];
        if (zipFolders_.empty()) return kNoItem;
        if (!zipNames_) zipNames_ = std::make_unique<NameMatcher>(NamesOf(tree_, zipFolders_));
        const std::ptrdiff_t found = Take(*zipNames_, name, pass);
        if (found < 0) return kNoItem;
        const TreeItem zipFolder = zipFolders_[static_cast<std::size_t>(found)];
        TakeZipFolderEntry(tree_.ItemText(zipFolder));
        return zipFolder;
    }

    FileData* TakeFile(std::string_view name, NamePass pass) {
        const std::ptrdiff_t found = Take(fileNames_, name, pass);
        return found >= 0 ? files_[static_cast<std::size_t>(found)] : nullptr;
    }

    // The first remaining file of exactly that name, size and time; to be
    // asked before any other file is taken.
    FileData* TakeUnchangedFile(std::string_view name, std::int64_t size, std::int64_t time) {
        if (!unchangedIndexed_) {
            unchangedIndexed_ = true;
            for (std::size_t i = 0; i < files_.size(); ++i)
                unchanged_[UnchangedKey(files_[i]->GetName(), files_[i]->Size(),
                                        files_[i]->GetTime())]
                    .positions.push_back(i);
        }
        auto it = unchanged_.find(UnchangedKey(name, size, time));
        if (it == unchanged_.end() || it->second.next == it->second.positions.size())
            return nullptr;
        const std::size_t position = it->second.positions[it->second.next++];
        fileNames_.TakeAt(position);
        return files_[position];
    }

private:
    void TakeZipFolderEntry(std::string_view name) {
        if (!zipEntriesIndexed_) {
            zipEntriesIndexed_ = true;
            for (std::size_t f = 0; f < files_.size(); ++f)
                if (files_[f]->IsZipFolder()) zipEntries_[files_[f]->GetName()].push_back(f);
        }
        if (auto it = zipEntries_.find(name); it != zipEntries_.end())
            for (std::size_t f : it->second)
                if (!fileNames_.Taken(f)) {
                    fileNames_.TakeAt(f);
                    return;
                }
    }

    const ContainerTree& tree_;
    const std::vector<TreeItem>& subfolders_;
    const std::vector<TreeItem>& zipFolders_;
    const std::vector<FileData*>& files_;
    NameMatcher folderNames_;
    NameMatcher fileNames_;
    std::unique_ptr<NameMatcher> zipNames_;
    bool zipEntriesIndexed_ = false;
    std::unordered_map<std::string_view, std::vector<std::size_t>> zipEntries_;
    struct Queue {
        std::vector<std::size_t> positions;
        std::size_t next = 0;  // first not yet taken
    };
    bool unchangedIndexed_ = false;
    std::unordered_map<std::string, Queue> unchanged_;
};

}  // namespace

void CompareResults::Clear() {
    rows_.clear();
    diskFolders_.Clear();
    catalogFolders_.Clear();
}

void CompareResults::SortByStatus() {
    std::stable_sort(rows_.begin(), rows_.end(),
                     [](const CompareRow& a, const CompareRow& b) { return a.status < b.status; });
}

FolderComparison::FolderComparison(CatalogSet& set, EntryStore& diskEntries, CompareResults& rows)
    : set_(set), diskEntries_(diskEntries), rows_(rows) {}

// Matches the disk entries of one folder with the catalog container `item`
// and notes, in the shared lists, what each entry matched and what the
// catalog holds that the disk does not. The matching goes in passes over the
// whole folder: files of the same written name, size and time; then exact
// names; then names without regard to case.
void FolderComparison::MatchFolder(std::span<const DiskEntry> entries, Match* matches,
                                   TreeItem item, Frame& frame) {
    const ContainerTree& tree = set_.Tree();
    subfolders_.clear();
    zipFolders_.clear();
    for (TreeItem child : tree.Children(item))
        (PassesArchiveTest(tree.ItemText(child)) ? zipFolders_ : subfolders_).push_back(child);
    set_.CollectFilesAndZipFolders(item, files_);
    CatalogCandidates candidates(tree, subfolders_, zipFolders_, files_);

    // Catalogs hold names as the writer wrote them, which may make names of
    // one side equal ("a b" for both "a b" and "a  b"). Without such names
    // the first pass would pair nothing the second does not.
    std::vector<std::string> names(entries.size());
    bool cleanedName = false;
    for (std::size_t i = 0; i < entries.size(); ++i) {
        const std::string_view name = disk_->Name(entries[i]);
        names[i] = CatalogName(name);
        cleanedName = cleanedName || (!entries[i].directory && names[i] != name);
    }
    if (cleanedName || candidates.RepeatsAFileName())
        for (std::size_t i = 0; i < entries.size(); ++i)
            if (!entries[i].directory)
                matches[i].file =
                    candidates.TakeUnchangedFile(names[i], entries[i].size, entries[i].time);
    for (const NamePass pass : {NamePass::Exact, NamePass::IgnoringCase}) {
        for (std::size_t i = 0; i < entries.size(); ++i)
            if (entries[i].directory && matches[i].item == kNoItem)
                matches[i].item = candidates.TakeFolder(names[i], pass);
        for (std::size_t i = 0; i < entries.size(); ++i)
            if (!entries[i].directory && !matches[i].file)
                matches[i].file = candidates.TakeFile(names[i], pass);
    }

    frame.firstDeletedFolder = deletedFolders_.size();
    // A deleted folder's own entry: the one its item shows.
    ChildItemEntries containerEntries(set_, item);
    for (std::size_t i = 0; i < subfolders_.size(); ++i)
        if (!candidates.FolderTaken(i)) {
            deletedFolders_.push_back(subfolders_[i]);
            deletedFolderEntries_.push_back(containerEntries.Find(subfolders_[i]));
        }
    frame.deletedFolderCount = deletedFolders_.size() - frame.firstDeletedFolder;
    frame.firstDeletedFile = deletedFiles_.size();
    for (std::size_t i = 0; i < files_.size(); ++i)
        if (!candidates.FileTaken(i)) deletedFiles_.push_back(files_[i]);
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

std::string_view FolderComparison::DiskPath(const Frame& frame) const {
    return std::string_view(diskPath_).substr(0, frame.diskPathLength);
}

// A folder's kept text extends its parent's when the parent has one, which
// costs nothing more than the folder's own name when the parent's was the
// last text kept.
std::string_view FolderComparison::KeptCatalogPath(std::vector<Frame>& stack) {
    Frame& frame = stack.back();
    if (!frame.catalogText.data()) {
        GrowingTexts& texts = rows_.CatalogFolders();
        const std::string_view path =
            std::string_view(catalogPath_).substr(0, frame.catalogPathLength);
        const Frame* parent = stack.size() > 1 ? &stack[stack.size() - 2] : nullptr;
        frame.catalogText =
            parent && parent->catalogText.data()
                ? texts.Append(parent->catalogText, {path.substr(parent->catalogText.size())})
                : texts.Copy(path);
    }
    return frame.catalogText.substr(0, frame.catalogShownLength);
}

std::string_view FolderComparison::KeptDiskPath(std::vector<Frame>& stack) {
    Frame& frame = stack.back();
    if (!frame.diskText.data()) {
        GrowingTexts& texts = rows_.DiskFolders();
        const Frame* parent = stack.size() > 1 ? &stack[stack.size() - 2] : nullptr;
        frame.diskText =
            parent && parent->diskText.data()
                ? texts.Append(parent->diskText, {DiskPath(frame).substr(parent->diskText.size())})
                : texts.Copy(DiskPath(frame));
    }
    return frame.diskText;
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
        // The catalog path of the first container, made as CatalogSet::PathOf
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
    // A new entry's disk path is kept by its row, not by the entry.
    if (entry.directory) {
        if (match.item == kNoItem) {
            FileData* disk = diskEntries_.Create(name, frame.item, 0, 0, entry.time, KIND_FOLDER);
            AddRow(CompareStatus::NewDirectory, disk, /*catalog=*/nullptr, KeptDiskPath(stack));
        }
        PushChild(stack, name, entry.folder, match.item);
        return true;
    }
    if (!match.file) {
        FileData* disk =
            diskEntries_.Create(name, frame.item, entry.size, 0, entry.time, KIND_FILE);
        AddRow(CompareStatus::New, disk, /*catalog=*/nullptr, KeptDiskPath(stack));
    } else if (entry.time != match.file->GetTime() || entry.size != match.file->Size()) {
        FileData* disk = diskEntries_.Create(name, match.file->GetParentItem(), entry.size, 0,
                                             entry.time, KIND_FILE);
        AddRow(CompareStatus::Modified, disk, match.file, KeptCatalogPath(stack));
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
            AddRow(CompareStatus::DeletedDirectory, /*disk=*/nullptr, catalog,
                   KeptCatalogPath(stack));
        const TreeItem subfolder = deletedFolders_[at];
        PushChild(stack, set_.Tree().ItemText(subfolder), DiskEntry::kNoFolder, subfolder);
        return true;
    }
    for (std::size_t at = frame.firstDeletedFile; at < deletedFiles_.size(); ++at)
        AddRow(CompareStatus::Deleted, /*disk=*/nullptr, deletedFiles_[at], KeptCatalogPath(stack));
    return false;
}

void FolderComparison::AddRow(CompareStatus status, FileData* disk, FileData* catalog,
                              std::string_view folder) {
    CompareRow row{status, {}, folder, {}, {}, {}, {}};
    if (disk) row.name = disk->GetName();
    if (catalog) {
        row.name = catalog->GetName();
        row.sizeCatalog = set_.SizeTextOf(*catalog);
        row.dateCatalog = set_.DateTextOf(*catalog);
        row.catalogSize = catalog->Size();
        row.catalogTime = catalog->GetTime();
    }
    if (disk) {
        // A disk folder's size is 0 (no catalog item stands for it).
        row.sizeDisk = FormatSize(disk->Size());
        row.dateDisk = set_.DateTextOf(*disk);
        row.diskSize = disk->Size();
        row.diskTime = disk->GetTime();
    }
    rows_.Add(std::move(row));
}

}  // namespace kestavo
