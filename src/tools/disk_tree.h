// SPDX-License-Identifier: GPL-3.0-or-later
// A snapshot of a disk's folder tree, read by directory listings alone, so
// that the slow part of a comparison (reading a live disk) can run on any
// thread without touching the loaded catalogs.
//
// What a listing holds: every entry, hidden ones included, "." and ".."
// left out, in listing order; symbolic links are taken as they are and
// never followed; a directory of another file system (one mounted below
// the disk's directory) is kept as an empty folder, as the scanner does.
// A folder that cannot be opened or looked into for lack of permission
// fails the read.
#pragma once

#include <atomic>
#include <cstdint>
#include <functional>
#include <span>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

namespace kestavo {

// One entry of a listing.
struct DiskEntry {
    static constexpr std::uint32_t kNoFolder = UINT32_MAX;

    std::size_t nameOffset = 0;
    std::uint32_t nameLength = 0;
    bool directory = false;
    // The folder holding a directory's own listing.
    std::uint32_t folder = kNoFolder;
    std::int64_t size = 0;  // 0 for a directory
    std::int64_t time = 0;  // last change of the contents, calendar time
};

// The reason a read failed, for the message that stops a comparison.
struct DiskReadFailure {
    std::string reason;  // the system's text, e.g. "Input/output error"
    std::string folder;  // below the disk's directory, as in DiskReadCounts
};

class DiskTree {
public:
    static constexpr std::uint32_t kRoot = 0;

    DiskTree() { Clear(); }

    // Leaves only the root folder, empty, and no failure.
    void Clear();

    // The entries of `folder`, in listing order.
    std::span<const DiskEntry> Entries(std::uint32_t folder) const;
    std::string_view Name(const DiskEntry& entry) const {
        return std::string_view(names_).substr(entry.nameOffset, entry.nameLength);
    }
    // Why the last read failed; empty after a read that did not fail.
    const DiskReadFailure& Failure() const { return failure_; }
    void SetFailure(DiskReadFailure failure) { failure_ = std::move(failure); }

    // Building, for the reader: a folder's entries are added in one run,
    // before any other folder gets entries.
    std::uint32_t AddFolder();
    void BeginEntries(std::uint32_t folder);
    DiskEntry& AddEntry(std::string_view name);
    DiskEntry& EntryAt(std::size_t index) { return entries_[index]; }
    std::size_t EntryCount() const { return entries_.size(); }

private:
    struct Folder {
        std::size_t firstEntry = 0;
        std::size_t entryCount = 0;
    };
    std::vector<Folder> folders_;
    std::vector<DiskEntry> entries_;
    std::string names_;
    std::uint32_t filling_ = kRoot;
    DiskReadFailure failure_;
};

enum class DiskReadStatus { Read, Stopped, Failed };

// What a read has counted so far: folders and files listed, and the folder
// being read, below the disk's directory ("/" for the directory itself,
// "/DOCS" for a folder in it).
struct DiskReadCounts {
    std::uint64_t folders = 0, files = 0;
    std::string folder;
};
// Called at least every 50 ms while a read works (and once at its start and
// end); answering false stops the read.
using DiskReadProgress = std::function<bool(const DiskReadCounts&)>;

// Reads the tree below `directory` into `out`. No directory (the empty
// text) reads as an empty disk. Any thread; `progress` may be empty and
// `stop` null. A listing that fails (input/output error, the directory
// gone, the tree moved while read) answers Failed with out.Failure() set;
// a stop request answers Stopped within a few entries. The walk keeps its
// own stack and one open directory at a time, so any depth is read.
DiskReadStatus ReadDiskTree(const std::string& directory, DiskTree& out,
                            const DiskReadProgress& progress, const std::atomic<bool>* stop);

}  // namespace kestavo
