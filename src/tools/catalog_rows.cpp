// SPDX-License-Identifier: GPL-3.0-or-later
#include "tools/catalog_rows.h"

#include <unordered_map>
#include <vector>

#include "tools/tool_tables.h"

namespace kestavo {
namespace {

// The code page of a disk whose catalog was written in UTF-8. Names are
// always written as they are held, in UTF-8; the column says what they were
// read in.
constexpr std::string_view kUtf8CodePage = "UTF-8";

class CatalogRowWalk {
public:
    CatalogRowWalk(CatalogSet& set, CatalogRowConsumer& consumer)
        : set_(set), consumer_(consumer) {}

    CatalogRowCount WalkAll() {
        CatalogRowCount count;
        const TreeItem root = set_.FindRootItem();
        if (root != kNoItem) {
            std::vector<FileData*> disks;
            set_.ForEachEntryUnder(root, [&](FileData& disk) { disks.push_back(&disk); });
            for (FileData* disk : disks) {
                if (!disk->IsDisk()) continue;
                ++count.disks;
                if (!WalkDisk(*disk, static_cast<std::int64_t>(count.disks))) return count;
            }
        }
        count.entries = static_cast<std::uint64_t>(nextEntry_ - 1);
        count.complete = true;
        return count;
    }

private:
    struct Pending {
        TreeItem item;
        std::int64_t parent;  // 0: the disk's top level
    };

    bool WalkDisk(FileData& disk, std::int64_t id) {
        set_.SettleSize(disk);
        const TreeItem item = set_.ItemOfEntry(disk);
        const std::string source = item == kNoItem ? std::string() : set_.CatalogFileOf(item);
        const std::string codePage = item == kNoItem ? std::string() : set_.CodePageOf(item);
        const DiskRow row{.id = id,
                          .label = disk.GetName(),
                          .kind = KindWord(disk.GetKind()),
                          .total = disk.Size(),
                          .free = disk.Store().FreeSpaceOf(disk),
                          .cataloged = disk.GetTime(),
                          .sourceFile = source,
                          .codePage = codePage.empty() ? kUtf8CodePage : codePage};
        if (!consumer_.Disk(row)) return false;
        if (item == kNoItem) return true;
        diskId_ = id;
        return WalkBelow(item);
    }

    // Every entry below the disk item, containers before what they hold.
    bool WalkBelow(TreeItem diskItem) {
        std::vector<Pending> pending{{diskItem, 0}};
        while (!pending.empty()) {
            const Pending at = pending.back();
            pending.pop_back();
            containers_.clear();
            bool ok = true;
            set_.ForEachEntryUnder(at.item, [&](FileData& entry) {
                if (ok) ok = AddEntry(entry, at.parent);
            });
            if (!ok) return false;
            const auto children = set_.Tree().Children(at.item);
            ChildItemEntries entries(set_, at.item, children.size());
            for (auto it = children.rbegin(); it != children.rend(); ++it) {
                FileData* entry = entries.Find(*it);
                const auto id = entry ? containers_.find(entry) : containers_.end();
                pending.push_back({*it, id == containers_.end() ? at.parent : id->second});
            }
        }
        return true;
    }

    bool AddEntry(FileData& entry, std::int64_t parent) {
        set_.SettleSize(entry);
        const std::int64_t id = nextEntry_++;
        if (entry.IsContainer()) containers_.emplace(&entry, id);
        return consumer_.Entry({.id = id,
                                .disk = diskId_,
                                .parent = parent,
                                .name = entry.GetName(),
                                .kind = KindWord(entry.GetKind()),
                                .size = entry.Size(),
                                .time = entry.GetTime()});
    }

    CatalogSet& set_;
    CatalogRowConsumer& consumer_;
    std::int64_t diskId_ = 0;
    std::int64_t nextEntry_ = 1;
    // The row ids of the containers filed under the item being walked.
    std::unordered_map<const FileData*, std::int64_t> containers_;
};

}  // namespace

CatalogRowCount WalkCatalogRows(CatalogSet& set, CatalogRowConsumer& consumer) {
    return CatalogRowWalk(set, consumer).WalkAll();
}

}  // namespace kestavo
