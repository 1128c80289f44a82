// SPDX-License-Identifier: GPL-3.0-or-later
// Compare Disk vs Catalog: the disk in a drive against the loaded catalog
// of the same name, its result rows and its report. One object per window.
#pragma once

#include <atomic>
#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "catalog/catalog_set.h"
#include "catalog/entry_store.h"
#include "catalog/messages.h"
#include "media/drive_map.h"
#include "tools/disk_tree.h"
#include "tools/folder_compare.h"
#include "tools/report_writer.h"

namespace kestavo {

inline constexpr const char* kCatalogNotLoaded = "Catalog for this disk is not loaded";

// The message of a disk that could not be read: "The disk in drive E: could
// not be read: REASON\nThe comparison was stopped."
std::string DiskNotReadText(std::string_view drive, std::string_view reason);

enum class CompareColumn {
    Status = 0,
    Name,
    InFolder,
    SizeCatalog,
    SizeDisk,
    DateCatalog,
    DateDisk
};

// The drive of a drive box text: its first two characters.
std::string_view DriveOfText(std::string_view driveText);
// The disk label of a drive box text: all after its first four characters.
std::string_view LabelOfText(std::string_view driveText);

// One comparison between its steps: what Prepare found, and the snapshot
// of the disk ReadDisk took.
struct CompareJob {
    std::string drive;      // the drive as shown in the rows (E:)
    std::string label;      // the disk name the catalog is looked up by
    std::string directory;  // the drive's directory; empty: no medium
    DiskTree disk;
    DiskReadStatus status = DiskReadStatus::Read;
};

enum class CompareOutcome { Compared, NotLoaded, Stopped, Failed };

// Compare Now in three steps, so that a window can read the disk on a
// worker thread while the catalogs (which are not thread-safe) are touched
// on its own thread only:
//
//   std::optional<CompareJob> job = tool.Prepare(drives, messages);  // UI thread
//   DiskComparison::ReadDisk(*job, progress, &stop);                   // any thread
//   CompareOutcome outcome = tool.Finish(*job, messages);            // UI thread
//
// Prepare empties the rows, finds the catalog of the drive text's disk and
// answers nullopt (after "Catalog for this disk is not loaded") when none is
// loaded. ReadDisk touches neither this object nor the catalogs. Finish
// looks the catalog up again (the catalogs may have changed meanwhile) and
// fills the rows; a stopped read leaves no rows and shows nothing, a failed
// one leaves no rows and shows why.
class DiskComparison {
public:
    // `set` must outlive this object.
    explicit DiskComparison(CatalogSet& set);

    void SetDriveText(std::string_view text) { driveText_.assign(text); }
    const std::string& ReportFileName() const { return reportFileName_; }

    // Compares the drive named by the drive text, through the drive map,
    // with the loaded catalog of its label: the three steps above in a row.
    // A drive without a medium counts as an empty disk. Answers whether rows
    // were made.
    bool CompareNow(const media::DriveMap& drives, MessageSink& messages);

    std::optional<CompareJob> Prepare(const media::DriveMap& drives, MessageSink& messages);
    static void ReadDisk(CompareJob& job, const DiskReadProgress& progress,
                         const std::atomic<bool>* stop);
    CompareOutcome Finish(CompareJob& job, MessageSink& messages);

    // Compares `directory`, shown as the disk path `diskPath` (E:), with the
    // catalog disk `diskItem`, in one go and without messages; a disk that
    // cannot be read leaves no rows.
    void CompareDirectory(const std::string& diskPath, const std::string& directory,
                          TreeItem diskItem);

    std::size_t RowCount() const { return rows_.Size(); }
    const CompareRow& Row(std::size_t row) const { return rows_[row]; }
    CompareStatus RowStatus(std::size_t row) const { return rows_[row].status; }
    std::string_view RowText(std::size_t row, CompareColumn column) const;
    // Where a row's file or folder lies, as a catalog path (DISK/folder/name)
    // on the disk compared: the rows of new entries name their folder by the
    // disk path (E:/DOCS), the others by the catalog path. Nothing for the
    // row that says all files are identical.
    std::optional<std::string> RowCatalogPath(std::size_t row) const;

    bool SaveReport(const std::string& path);
    void WriteReport(ReportWriter& report) const;

private:
    void Clear();
    void CompareTree(const std::string& diskPath, const DiskTree& disk, TreeItem diskItem);
    TreeItem FindDiskItem(std::string_view label) const;

    CatalogSet& set_;
    std::string driveText_;
    std::string reportFileName_ = "CompareDisk.txt";
    std::unique_ptr<EntryStore> diskEntries_;
    CompareResults rows_;
    // The disk path (E:) and the catalog disk name of the last comparison.
    std::string comparedPath_;
    std::string comparedDisk_;
};

}  // namespace kestavo
