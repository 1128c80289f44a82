// SPDX-License-Identifier: GPL-3.0-or-later
#include "ui/compare_dialog.h"

#include <QComboBox>
#include <QHBoxLayout>
#include <QPushButton>
#include <QVBoxLayout>

#include "media/drive_map.h"
#include "media/drive_map_load.h"
#include "media/volume_info.h"
#include "tools/tool_tables.h"
#include "ui/background_work.h"
#include "ui/desktop_notifier.h"
#include "ui/drive_box.h"
#include "ui/prompter.h"
#include "ui/remembered_state.h"
#include "ui/report_saving.h"
#include "ui/result_row_menu.h"
#include "ui/unmount_guard.h"
#include "ui/utf8_text.h"
#include "ui/window_size.h"

namespace kestavo::ui {
namespace {

int StatusPicture(CompareStatus status) {
    switch (status) {
        case CompareStatus::NewDirectory:
        case CompareStatus::New:
            return IMAGE_NEW;
        case CompareStatus::Modified:
            return IMAGE_MODIFIED;
        case CompareStatus::DeletedDirectory:
        case CompareStatus::Deleted:
            return IMAGE_DELETED;
        case CompareStatus::Identical:
            return IMAGE_IDENTICAL;
    }
    return IMAGE_IDENTICAL;
}

}  // namespace
namespace {

// The place of a compare row on the disk compared: a new or modified file
// (told apart from names written alike by its size and time on the disk) or
// a new folder, picked out in its folder; for what is deleted, the folder it
// was in.
std::optional<RowPlace> PlaceOfRow(const kestavo::DiskComparison& tool, int row) {
    if (row < 0 || static_cast<std::size_t>(row) >= tool.RowCount()) return std::nullopt;
    const std::size_t at = static_cast<std::size_t>(row);
    std::optional<std::string> path = tool.RowCatalogPath(at);
    if (!path) return std::nullopt;
    const CompareRow& shown = tool.Row(at);
    switch (shown.status) {
        case CompareStatus::New:
        case CompareStatus::Modified:
            return RowPlace{{*path, {}, media::CatalogStamp{shown.diskSize, shown.diskTime}}};
        case CompareStatus::NewDirectory:
            return RowPlace{{*path, {}, std::nullopt}};
        case CompareStatus::DeletedDirectory:
        case CompareStatus::Deleted:
            path->resize(path->rfind('/'));
            return RowPlace{{*path, {}, std::nullopt}, true};
        case CompareStatus::Identical:
            break;
    }
    return std::nullopt;
}

std::vector<ResultColumn> CompareColumns() {
    return {{.heading = "Status", .width = 70, .rightAligned = false},
            {.heading = "Name", .width = 160, .rightAligned = false},
            {.heading = "In Folder", .width = 140, .rightAligned = false},
            {.heading = "Size Catalog", .width = 80, .rightAligned = true},
            {.heading = "Size Disk", .width = 80, .rightAligned = true},
            {.heading = "Date Catalog", .width = 140, .rightAligned = false},
            {.heading = "Date Disk", .width = 140, .rightAligned = false}};
}

}  // namespace

DriveCompare::DriveCompare(CatalogSet& set, Prompter& prompter, QWidget* parent)
    : QDialog(parent, Qt::Window), tool_(set), prompter_(prompter) {
    setAttribute(Qt::WA_DeleteOnClose);
    setWindowTitle(QStringLiteral("Compare Disk vs. Catalog"));
    setSizeGripEnabled(true);

    driveBox_ = new QComboBox(this);
    driveBox_->setEditable(true);
    driveBox_->setInsertPolicy(QComboBox::NoInsert);
    constexpr int kDriveEntryChars = 22;
    driveBox_->setMinimumContentsLength(kDriveEntryChars);
    compareNow_ = new QPushButton(QStringLiteral("Compare Now"), this);
    compareNow_->setDefault(true);
    saveReport_ = new QPushButton(QStringLiteral("Save Report ..."), this);
    cancel_ = new QPushButton(QStringLiteral("Cancel"), this);
    model_ = new ResultListModel(
        CompareColumns(),
        ResultRows{[this] { return tool_.RowCount(); },
                   [this](std::size_t row, int column) {
                       return tool_.RowText(row, static_cast<CompareColumn>(column));
                   },
                   [this](std::size_t row) { return StatusPicture(tool_.RowStatus(row)); }},
        this);
    view_ = MakeResultView(model_, this);
    // Neither has a label on screen; a screen reader names them by these.
    driveBox_->setAccessibleName(QStringLiteral("Drive"));
    view_->setAccessibleName(QStringLiteral("Differences"));
    RememberColumnWidths(*view_, QStringLiteral("compare"));
    rowMenu_ = new ResultRowMenu(view_, [this](int row) { return PlaceOfRow(tool_, row); });

    const media::DriveList drives = media::FillDriveList(media::LoadDriveMap(prompter_));
    for (const std::string& entry : drives.entries) driveBox_->addItem(FromUtf8(entry));
    driveBox_->model()->sort(0);
    driveBox_->setCurrentIndex(drives.selected >= 0
                                   ? driveBox_->findText(FromUtf8(
                                         drives.entries[static_cast<std::size_t>(drives.selected)]))
                                   : -1);
    FollowDrives(*driveBox_);

    auto* controls = new QHBoxLayout;
    controls->addWidget(driveBox_);
    controls->addWidget(compareNow_);
    controls->addWidget(saveReport_);
    controls->addStretch(1);
    controls->addWidget(cancel_);
    auto* layout = new QVBoxLayout(this);
    layout->addLayout(controls);
    layout->addWidget(view_, 1);

    connect(compareNow_, &QPushButton::clicked, this, &DriveCompare::OnCompareNow);
    connect(saveReport_, &QPushButton::clicked, this, &DriveCompare::OnSaveReport);
    connect(cancel_, &QPushButton::clicked, this, &QDialog::reject);
    constexpr QSize kLeastFirstSize(860, 380);
    ResizeToFirstSize(this, sizeHint().expandedTo(kLeastFirstSize));
    driveBox_->setFocus();
}

void DriveCompare::OnCompareNow() {
    tool_.SetDriveText(driveBox_->currentText().toStdString());
    model_->BeginChange();
    const media::DriveMap drives = media::LoadDriveMap(prompter_);
    std::optional<CompareJob> job = tool_.Prepare(drives, prompter_);
    if (job) {
        WalkBoard<DiskReadCounts> board;
        std::atomic<bool> stop{false};
        std::optional<UnmountGuard> unmount;
        WorkNotice notice;
        if (const media::Drive* drive = drives.FindNamed(job->drive);
            drive && media::HoldsMedium(*drive))
            unmount.emplace(*drive, stop);
        RunInBackground(
            this, BackgroundWork{.title = QStringLiteral("Compare Disk vs. Catalog"),
                                 .work =
                                     [&] {
                                         kestavo::DiskComparison::ReadDisk(
                                             *job,
                                             [&](const DiskReadCounts& c) { return board.Note(c); },
                                             &stop);
                                     },
                                 .status = [&] { return board.Lines(); },
                                 .stop = &stop,
                                 .dialogDelayMs = progressDelayMs_,
                                 .notice = &notice});
        if (notice.dialogShown && notice.inBackground)
            NotifyWorkEnded(
                notifier_, this, windowTitle(),
                QStringLiteral("The comparison of drive %1 has ended.").arg(FromUtf8(job->drive)));
        tool_.Finish(*job, prompter_);
        if (unmount && unmount->Fired())
            prompter_.Show(unmount->Why("The comparison was stopped."));
    }
    model_->MeasureWidest();
    model_->EndChange();
    FitResultColumns(view_, *model_);
}

void DriveCompare::SetLauncher(FileLauncher* launcher) {
    rowMenu_->SetLauncher(launcher);
}

void DriveCompare::OnSaveReport() {
    const QString path = prompter_.ChooseReportFile(this, FromUtf8(tool_.ReportFileName()));
    if (path.isEmpty()) return;
    // The report names the drive box's text at the time of saving.
    const std::string driveText = driveBox_->currentText().toStdString();
    tool_.SetDriveText(driveText);
    SaveReportFile(
        prompter_, path, [this](const std::string& file) { return tool_.SaveReport(file); },
        [this, &driveText](const std::string& file) {
            return SaveCsvFile(file, [&](TableWriter& out) {
                WriteCompareTable(tool_, LabelOfText(driveText), out);
            });
        });
}

}  // namespace kestavo::ui
