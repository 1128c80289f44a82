#include "tools/drive_compare.h"

#include <algorithm>

#include "catalog/name_compare.h"

namespace kestavo {

std::string_view DriveOfText(std::string_view driveText) { return driveText.substr(0, 2); }

std::string_view LabelOfText(std::string_view driveText) {
    return driveText.size() > 4 ? driveText.substr(4) : std::string_view();
}

DriveCompare::DriveCompare(CatalogSet& set) : set_(set) {}

void DriveCompare::Clear() {
    rows_.clear();
    diskEntries_ = std::make_unique<EntryStore>(&set_, 0);
}

// The disk item named `label`: exactly, else the first equal without
// regard to case.
TreeItem DriveCompare::FindDiskItem(std::string_view label) const {
    const TreeItem root = set_.FindRootItem();
    if (root == kNoItem) return kNoItem;
    const ContainerTree& tree = set_.Tree();
    for (TreeItem disk : tree.Children(root))
        if (tree.GetItemText(disk) == label) return disk;
    for (TreeItem disk : tree.Children(root))
        if (SameNameIgnoringCase(tree.GetItemText(disk), label)) return disk;
    return kNoItem;
}

bool DriveCompare::CompareNow(const media::DriveMap& drives, MessageSink& messages) {
    Clear();
    const std::string drive(DriveOfText(driveText_));
    const TreeItem disk = FindDiskItem(LabelOfText(driveText_));
    if (disk == kNoItem) {
        messages.Show(Message{kApplicationName, kCatalogNotLoaded, MessageIcon::Stop,
                              MessageButtons::Ok, MessageAnswer::Ok});
        return false;
    }
    // A drive without a directory cannot be listed: its disk counts as empty.
    std::string directory;
    if (const media::Drive* mapped = drives.FindNamed(drive); mapped && media::HoldsMedium(*mapped))
        directory = mapped->directory;
    CompareDirectory(drive, directory, disk);
    return true;
}

void DriveCompare::CompareDirectory(const std::string& diskPath, const std::string& directory,
                                    TreeItem diskItem) {
    Clear();
    FolderComparison(set_, *diskEntries_, rows_).Run(diskPath, directory, diskItem);
    std::stable_sort(rows_.begin(), rows_.end(),
                     [](const CompareRow& a, const CompareRow& b) { return a.status < b.status; });
    if (rows_.empty()) rows_.push_back(CompareRow{CompareStatus::Identical, "All files", {}, {}, {}, {}, {}});
}

std::string_view DriveCompare::RowText(std::size_t row, CompareColumn column) const {
    const CompareRow& r = rows_[row];
    switch (column) {
        case CompareColumn::Status: return StatusText(r.status);
        case CompareColumn::Name: return r.name;
        case CompareColumn::InFolder: return r.folder;
        case CompareColumn::SizeCatalog: return r.sizeCatalog;
        case CompareColumn::SizeDisk: return r.sizeDisk;
        case CompareColumn::DateCatalog: return r.dateCatalog;
        case CompareColumn::DateDisk: return r.dateDisk;
    }
    return {};
}

bool DriveCompare::SaveReport(const std::string& path) {
    reportFileName_ = path;
    return WriteReportFile(path, [this](ReportWriter& report) { WriteReport(report); });
}

void DriveCompare::WriteReport(ReportWriter& report) const {
    report.Line(" Kestavo, Disk/catalog compare report");
    report.Line(" -----------------------------------------");
    report.EndLine();
    report.Text(" Disk compared is ");
    report.Line(driveText_);
    report.EndLine();
    report.Line(" status          name                                size date                 path");
    report.EndLine();
    for (const CompareRow& row : rows_) {
        report.Blanks(1);
        report.LeftAligned(StatusText(row.status), 15);
        report.Blanks(1);
        report.LeftAligned(row.name, 30);
        const bool catalogPart = !row.sizeCatalog.empty() || !row.dateCatalog.empty();
        if (catalogPart) {
            report.RightAligned(row.sizeCatalog, 10);
            report.Blanks(1);
            report.LeftAligned(row.dateCatalog, 20);
            report.Blanks(1);
            report.Line(row.folder);
        }
        if (!row.sizeDisk.empty() || !row.dateDisk.empty()) {
            // A modified row puts the disk's size and date under the catalog's.
            if (catalogPart) report.Blanks(47);
            report.RightAligned(row.sizeDisk, 10);
            report.Blanks(1);
            report.LeftAligned(row.dateDisk, 20);
            if (!catalogPart) {
                report.Blanks(1);
                report.Text(row.folder);
            }
            report.EndLine();
        }
    }
    report.EndLine();
    report.Text(" ");
    report.Number(static_cast<std::int64_t>(rows_.size()));
    report.Line(" Differences found.");
}

}  // namespace kestavo
