// SPDX-License-Identifier: GPL-3.0-or-later
#include "ui/find_duplicates_dialog.h"

#include <QCheckBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QVBoxLayout>

#include "tools/tool_tables.h"
#include "ui/background_work.h"
#include "ui/prompter.h"
#include "ui/remembered_state.h"
#include "ui/report_saving.h"
#include "ui/result_row_menu.h"
#include "ui/utf8_text.h"
#include "ui/window_size.h"

namespace kestavo::ui {
namespace {

// Each set starts with a folder; a message row shows whether nothing could
// be searched for or nothing was found.
int RowPicture(const FindDuplicates& tool, std::size_t row) {
    switch (tool.KindOfRow(row)) {
        case FindDuplicates::RowKind::Separator:
            return KIND_FOLDER;
        case FindDuplicates::RowKind::Entry:
            return KindPicture(tool.RowEntry(row)->GetKind());
        case FindDuplicates::RowKind::NoCriteria:
            return IMAGE_DELETED;
        case FindDuplicates::RowKind::NoDuplicates:
            return IMAGE_IDENTICAL;
    }
    return IMAGE_IDENTICAL;
}

}  // namespace
namespace {

std::vector<ResultColumn> DuplicateColumns() {
    return {{.heading = "Name", .width = 160, .rightAligned = false},
            {.heading = "Size", .width = 70, .rightAligned = true},
            {.heading = "Date", .width = 140, .rightAligned = false},
            {.heading = "In Folder", .width = 180, .rightAligned = false}};
}

}  // namespace

FindDuplicatesDlg::FindDuplicatesDlg(CatalogSet& set, TreeItem searchRoot, Prompter& prompter,
                                     QWidget* parent)
    : QDialog(parent), tool_(set, searchRoot), prompter_(prompter) {
    setWindowTitle(QStringLiteral("Find Duplicates"));
    setWindowFlag(Qt::WindowContextHelpButtonHint, false);
    setSizeGripEnabled(true);

    findNow_ = new QPushButton(QStringLiteral("Find Now"), this);
    findNow_->setDefault(true);
    cancel_ = new QPushButton(QStringLiteral("Cancel"), this);
    searchRoot_ = new QLabel(this);
    searchRoot_->setTextFormat(Qt::PlainText);
    model_ = new ResultListModel(
        DuplicateColumns(),
        ResultRows{[this] { return tool_.RowCount(); },
                   [this](std::size_t row, int column) {
                       return tool_.RowText(row, static_cast<DuplicateColumn>(column));
                   },
                   [this](std::size_t row) { return RowPicture(tool_, row); }},
        this);
    model_->SetEntries([this](std::size_t row) {
        return tool_.KindOfRow(row) == FindDuplicates::RowKind::Entry ? tool_.RowEntry(row)
                                                                      : nullptr;
    });
    view_ = MakeResultView(model_, this);
    view_->setAccessibleName(QStringLiteral("Duplicate files"));
    rowMenu_ = new ResultRowMenu(view_, model_);
    RememberColumnWidths(*view_, QStringLiteral("findDuplicates"));
    names_ = new QCheckBox(QStringLiteral("Names"), this);
    sizes_ = new QCheckBox(QStringLiteral("Sizes"), this);
    dates_ = new QCheckBox(QStringLiteral("Date/Time"), this);
    saveReport_ = new QPushButton(QStringLiteral("Save Report ..."), this);
    threshold_ = new QLineEdit(this);
    constexpr int kThresholdChars = 10;
    threshold_->setMaximumWidth(threshold_->fontMetrics().averageCharWidth() * kThresholdChars);
    unit_ = new QLabel(this);

    auto* top = new QHBoxLayout;
    top->addWidget(new QLabel(QStringLiteral("Search root:"), this));
    top->addWidget(searchRoot_, 1);
    auto* thresholdLabel = new QLabel(QStringLiteral("Ignore duplicates smaller than"), this);
    thresholdLabel->setBuddy(threshold_);
    top->addWidget(thresholdLabel);
    top->addWidget(threshold_);
    top->addWidget(unit_);
    auto* controls = new QHBoxLayout;
    controls->addWidget(new QLabel(QStringLiteral("Compare Files Using"), this));
    controls->addWidget(names_);
    controls->addWidget(sizes_);
    controls->addWidget(dates_);
    controls->addStretch(1);
    controls->addWidget(findNow_);
    controls->addWidget(saveReport_);
    controls->addWidget(cancel_);
    auto* layout = new QVBoxLayout(this);
    layout->addLayout(top);
    layout->addLayout(controls);
    layout->addWidget(view_, 1);

    // The order of the keyboard follows the window's controls.
    setTabOrder(findNow_, cancel_);
    setTabOrder(cancel_, view_);
    setTabOrder(view_, names_);
    setTabOrder(names_, sizes_);
    setTabOrder(sizes_, dates_);
    setTabOrder(dates_, saveReport_);
    setTabOrder(saveReport_, threshold_);

    connect(findNow_, &QPushButton::clicked, this, &FindDuplicatesDlg::OnFindNow);
    connect(saveReport_, &QPushButton::clicked, this, &FindDuplicatesDlg::OnSaveReport);
    connect(cancel_, &QPushButton::clicked, this, &QDialog::reject);

    ShowMembers();
    constexpr QSize kLeastFirstSize(660, 380);
    ResizeToFirstSize(this, sizeHint().expandedTo(kLeastFirstSize));
    findNow_->setFocus();
}

void FindDuplicatesDlg::ShowMembers() {
    const DuplicateCriteria& criteria = tool_.Criteria();
    dates_->setChecked(criteria.dates);
    names_->setChecked(criteria.names);
    sizes_->setChecked(criteria.sizes);
    searchRoot_->setText(FromUtf8(tool_.SearchRootText()));
    threshold_->setText(QString::number(tool_.Threshold()));
    unit_->setText(FromUtf8(tool_.UnitLabel()));
}

void FindDuplicatesDlg::ReadControls() {
    tool_.SetCriteria(
        DuplicateCriteria{names_->isChecked(), sizes_->isChecked(), dates_->isChecked()});
    thresholdRefused_ = !tool_.SetThresholdText(threshold_->text().toStdString(), prompter_);
}

void FindDuplicatesDlg::SetLauncher(FileLauncher* launcher) {
    rowMenu_->SetLauncher(launcher);
}

void FindDuplicatesDlg::OnFindNow() {
    ReadControls();
    model_->BeginChange();
    RunInBackground(this, BackgroundWork{.title = QStringLiteral("Searching the catalogs"),
                                         .work =
                                             [this] {
                                                 tool_.FindNow();
                                                 model_->MeasureWidest();
                                             },
                                         .status = {}});
    model_->EndChange();
    FitResultColumns(view_, *model_);
    ShowMembers();
    if (thresholdRefused_) {
        threshold_->setFocus();
        threshold_->selectAll();
    }
}

void FindDuplicatesDlg::OnSaveReport() {
    const QString path = prompter_.ChooseReportFile(this, FromUtf8(tool_.ReportFileName()));
    if (path.isEmpty()) return;
    ReadControls();
    if (thresholdRefused_) {
        threshold_->setFocus();
        threshold_->selectAll();
    }
    SaveReportFile(
        prompter_, path, [this](const std::string& file) { return tool_.SaveReport(file); },
        [this](const std::string& file) {
            return SaveCsvFile(file,
                               [this](TableWriter& out) { WriteDuplicatesTable(tool_, out); });
        });
}

}  // namespace kestavo::ui
