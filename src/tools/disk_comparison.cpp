// SPDX-License-Identifier: GPL-3.0-or-later
#include "tools/disk_comparison.h"

#include "catalog/catalog_writer.h"

namespace kestavo {
namespace {

// The compare report's status column, and the run of blanks that puts a
// modified row's disk size and date under its catalog size and date: the
// blank before the status, the status, a blank and the name.
constexpr std::size_t kStatusColumnWidth = 15;
constexpr std::size_t kUnderCatalogPart = 1 + kStatusColumnWidth + 1 + kNameColumnWidth;

}  // namespace

std::string_view DriveOfText(std::string_view driveText) {
    return driveText.substr(0, 2);
}

std::string_view LabelOfText(std::string_view driveText) {
    return driveText.size() > 4 ? driveText.substr(4) : std::string_view();
}

DiskComparison::DiskComparison(CatalogSet& set) : set_(set) {}

void DiskComparison::Clear() {
    rows_.Clear();
    diskEntries_ = std::make_unique<EntryStore>(&set_, /*serial=*/0);
}

// The disk item of `label`: named exactly so, or with the name the catalog
// writer makes of it (runs of blanks as one); else the first equal to one of
// them without regard to case.
TreeItem DiskComparison::FindDiskItem(std::string_view label) const {
    const TreeItem root = set_.FindRootItem();
    if (root == kNoItem) return kNoItem;
    const std::string written = CatalogName(label);
    for (SiblingMatch match : {SiblingMatch::Exact, SiblingMatch::FirstIgnoringCase})
        for (std::string_view name : {label, std::string_view(written)})
            if (const TreeItem disk = set_.ItemNamed(root, name, match); disk != kNoItem)
                return disk;
    return kNoItem;
}

std::string DiskNotReadText(std::string_view drive, std::string_view reason) {
    std::string text = "The disk in drive ";
    text.append(drive);
    text += " could not be read: ";
    text.append(reason);
    text += "\nThe comparison was stopped.";
    return text;
}

bool DiskComparison::CompareNow(const media::DriveMap& drives, MessageSink& messages) {
    std::optional<CompareJob> job = Prepare(drives, messages);
    if (!job) return false;
    ReadDisk(*job, /*progress=*/{}, /*stop=*/nullptr);
    return Finish(*job, messages) == CompareOutcome::Compared;
}

std::optional<CompareJob> DiskComparison::Prepare(const media::DriveMap& drives,
                                                  MessageSink& messages) {
    Clear();
    CompareJob job;
    job.drive = DriveOfText(driveText_);
    job.label = LabelOfText(driveText_);
    if (FindDiskItem(job.label) == kNoItem) {
        messages.Show(Message{kApplicationName, kCatalogNotLoaded, MessageIcon::Stop,
                              MessageButtons::Ok, MessageAnswer::Ok});
        return std::nullopt;
    }
    // A drive without a directory cannot be listed: its disk counts as empty.
    if (const media::Drive* mapped = drives.FindNamed(job.drive);
        mapped && media::HoldsMedium(*mapped))
        job.directory = mapped->directory;
    return job;
}

void DiskComparison::ReadDisk(CompareJob& job, const DiskReadProgress& progress,
                              const std::atomic<bool>* stop) {
    job.status = ReadDiskTree(job.directory, job.disk, progress, stop);
}

CompareOutcome DiskComparison::Finish(CompareJob& job, MessageSink& messages) {
    Clear();
    if (job.status == DiskReadStatus::Stopped) return CompareOutcome::Stopped;
    if (job.status == DiskReadStatus::Failed) {
        // Nothing is reported as deleted from a disk that could not be read.
        messages.Show(Message{kApplicationName,
                              DiskNotReadText(job.drive, job.disk.Failure().reason),
                              MessageIcon::Stop, MessageButtons::Ok, MessageAnswer::Ok});
        return CompareOutcome::Failed;
    }
    const TreeItem disk = FindDiskItem(job.label);
    if (disk == kNoItem) {
        messages.Show(Message{kApplicationName, kCatalogNotLoaded, MessageIcon::Stop,
                              MessageButtons::Ok, MessageAnswer::Ok});
        return CompareOutcome::NotLoaded;
    }
    CompareTree(job.drive, job.disk, disk);
    return CompareOutcome::Compared;
}

void DiskComparison::CompareDirectory(const std::string& diskPath, const std::string& directory,
                                      TreeItem diskItem) {
    Clear();
    DiskTree disk;
    if (ReadDiskTree(directory, disk, /*progress=*/{}, /*stop=*/nullptr) == DiskReadStatus::Read)
        CompareTree(diskPath, disk, diskItem);
}

void DiskComparison::CompareTree(const std::string& diskPath, const DiskTree& disk,
                                 TreeItem diskItem) {
    Clear();
    comparedPath_ = diskPath;
    comparedDisk_ = diskItem != kNoItem ? set_.Tree().ItemText(diskItem) : std::string_view();
    FolderComparison(set_, *diskEntries_, rows_).Run(diskPath, disk, diskItem);
    rows_.SortByStatus();
    if (rows_.Empty())
        rows_.Add(CompareRow{CompareStatus::Identical, "All files", {}, {}, {}, {}, {}});
}

std::string_view DiskComparison::RowText(std::size_t row, CompareColumn column) const {
    const CompareRow& r = rows_[row];
    switch (column) {
        case CompareColumn::Status:
            return StatusText(r.status);
        case CompareColumn::Name:
            return r.name;
        case CompareColumn::InFolder:
            return r.folder;
        case CompareColumn::SizeCatalog:
            return r.sizeCatalog;
        case CompareColumn::SizeDisk:
            return r.sizeDisk;
        case CompareColumn::DateCatalog:
            return r.dateCatalog;
        case CompareColumn::DateDisk:
            return r.dateDisk;
    }
    return {};
}

std::optional<std::string> DiskComparison::RowCatalogPath(std::size_t row) const {
    const CompareRow& r = rows_[row];
    std::string path;
    switch (r.status) {
        case CompareStatus::Identical:
            return std::nullopt;
        case CompareStatus::NewDirectory:
        case CompareStatus::New:
            if (!r.folder.starts_with(comparedPath_)) return std::nullopt;
            path = comparedDisk_;
            path.append(r.folder.substr(comparedPath_.size()));
            break;
        case CompareStatus::Modified:
        case CompareStatus::DeletedDirectory:
        case CompareStatus::Deleted:
            path.assign(r.folder);
            break;
    }
    path += '/';
    path += r.name;
    return path;
}

bool DiskComparison::SaveReport(const std::string& path) {
    reportFileName_ = path;
    return WriteReportFile(path, [this](ReportWriter& report) { WriteReport(report); });
}

void DiskComparison::WriteReport(ReportWriter& report) const {
    report.Line(" Kestavo, Disk/catalog compare report");
    report.Line(" -----------------------------------------");
    report.EndLine();
    report.Text(" Disk compared is ");
    report.Line(driveText_);
    report.EndLine();
    report.Line(
        " status          name                                size date                 path");
    report.EndLine();
    for (const CompareRow& row : rows_) {
        report.Blanks(1);
        report.LeftAligned(StatusText(row.status), kStatusColumnWidth);
        report.Blanks(1);
        report.LeftAligned(row.name, kNameColumnWidth);
        const bool catalogPart = !row.sizeCatalog.empty() || !row.dateCatalog.empty();
        if (catalogPart) {
            report.RightAligned(row.sizeCatalog, kSizeColumnWidth);
            report.Blanks(1);
            report.LeftAligned(row.dateCatalog, kDateColumnWidth);
            report.Blanks(1);
            report.Line(row.folder);
        }
        if (!row.sizeDisk.empty() || !row.dateDisk.empty()) {
            // A modified row puts the disk's size and date under the catalog's.
            if (catalogPart) report.Blanks(kUnderCatalogPart);
            report.RightAligned(row.sizeDisk, kSizeColumnWidth);
            report.Blanks(1);
            report.LeftAligned(row.dateDisk, kDateColumnWidth);
            if (!catalogPart) {
                report.Blanks(1);
                report.Text(row.folder);
            }
            report.EndLine();
        }
    }
    report.EndLine();
    report.Text(" ");
    report.Number(static_cast<std::int64_t>(rows_.Size()));
    report.Line(" Differences found.");
}

}  // namespace kestavo
