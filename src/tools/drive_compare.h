// Compare Disk vs Catalog: the disk in a drive against the loaded catalog
// of the same name, its result rows and its report. One object per window.
#pragma once

#include <memory>
#include <string>
#include <string_view>
#include <vector>

#include "catalog/catalog_set.h"
#include "catalog/entry_store.h"
#include "catalog/messages.h"
#include "media/drive_map.h"
#include "tools/folder_compare.h"
#include "tools/report_writer.h"

namespace kestavo {

inline constexpr const char* kCatalogNotLoaded = "Catalog for this disk is not loaded";

enum class CompareColumn { Status = 0, Name, InFolder, SizeCatalog, SizeDisk, DateCatalog, DateDisk };
inline constexpr int kCompareColumnCount = 7;

// The drive of a drive box text: its first two characters.
std::string_view DriveOfText(std::string_view driveText);
// The disk label of a drive box text: all after its first four characters.
std::string_view LabelOfText(std::string_view driveText);

class DriveCompare {
public:
    // `set` must outlive this object.
    explicit DriveCompare(CatalogSet& set);

    void SetDriveText(std::string_view text) { driveText_.assign(text); }
    const std::string& DriveText() const { return driveText_; }
    const std::string& ReportFileName() const { return reportFileName_; }

    // Compares the drive named by the drive text, through the drive map,
    // with the loaded catalog of its label. When no such catalog is loaded,
    // shows "Catalog for this disk is not loaded", leaves no rows and
    // answers false. A drive without a medium counts as an empty disk.
    bool CompareNow(const media::DriveMap& drives, MessageSink& messages);
    // Compares `directory`, shown as the disk path `diskPath` (E:), with the
    // catalog disk `diskItem`: the comparison CompareNow runs once it has
    // found them.
    void CompareDirectory(const std::string& diskPath, const std::string& directory, TreeItem diskItem);

    std::size_t RowCount() const { return rows_.size(); }
    const CompareRow& Row(std::size_t row) const { return rows_[row]; }
    int RowImage(std::size_t row) const { return StatusImage(rows_[row].status); }
    std::string_view RowText(std::size_t row, CompareColumn column) const;

    bool SaveReport(const std::string& path);
    void WriteReport(ReportWriter& report) const;

private:
    void Clear();
    TreeItem FindDiskItem(std::string_view label) const;

    CatalogSet& set_;
    std::string driveText_;
    std::string reportFileName_ = "CompareDisk.txt";
    std::unique_ptr<EntryStore> diskEntries_;
    std::vector<CompareRow> rows_;
};

}  // namespace kestavo
