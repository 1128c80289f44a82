// SPDX-License-Identifier: GPL-3.0-or-later
#include "ui/find_files_dialog.h"

#include <QCheckBox>
#include <QGridLayout>
#include <QHBoxLayout>
#include <QHeaderView>
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

constexpr const char* kNothingFound = "No files found";

std::vector<ResultColumn> FindColumns() {
    return {{.heading = "Name", .width = 160, .rightAligned = false},
            {.heading = "In Folder", .width = 180, .rightAligned = false},
            {.heading = "Size", .width = 70, .rightAligned = true},
            {.heading = "Date", .width = 140, .rightAligned = false}};
}

}  // namespace

FindFilesDlg::FindFilesDlg(CatalogSet& set, TreeItem searchRoot, Prompter& prompter,
                           QWidget* parent)
    : QDialog(parent, Qt::Window), tool_(set, searchRoot), prompter_(prompter) {
    setAttribute(Qt::WA_DeleteOnClose);
    setWindowTitle(QStringLiteral("Find Files or Folders"));
    setSizeGripEnabled(true);

    mask_ = new QLineEdit(this);
    findNow_ = new QPushButton(QStringLiteral("Find Now"), this);
    findNow_->setDefault(true);
    saveReport_ = new QPushButton(QStringLiteral("Save Report ..."), this);
    cancel_ = new QPushButton(QStringLiteral("Cancel"), this);
    searchRoot_ = new QLabel(this);
    searchRoot_->setTextFormat(Qt::PlainText);
    subfolders_ = new QCheckBox(QStringLiteral("Look in subfolders"), this);
    model_ = new ResultListModel(
        FindColumns(),
        // A search that found nothing shows one row that says so.
        ResultRows{[this] { return tool_.FoundNothing() ? std::size_t{1} : tool_.RowCount(); },
                   [this](std::size_t row, int column) -> std::string_view {
                       if (tool_.FoundNothing())
                           return column == static_cast<int>(FindColumn::Name) ? kNothingFound : "";
                       // The widest texts are looked for on two threads side
                       // by side: each makes size and date texts in its own
                       // scratch.
                       thread_local RowTextScratch scratch;
                       return tool_.RowText(row, static_cast<FindColumn>(column), scratch);
                   },
                   [this](std::size_t row) {
                       return tool_.FoundNothing() ? IMAGE_DELETED
                                                   : KindPicture(tool_.RowEntry(row)->GetKind());
                   }},
        this);
    model_->SetEntries(
        [this](std::size_t row) { return tool_.FoundNothing() ? nullptr : tool_.RowEntry(row); });
    view_ = MakeResultView(model_, this);
    rowMenu_ = new ResultRowMenu(view_, model_);
    RememberColumnWidths(*view_, QStringLiteral("findFiles"));
    if (RememberedState::Enabled()) {
        rememberedSort_ = RememberedState().Sorting(QStringLiteral("findFiles"));
        if (rememberedSort_) tool_.SetDescendingNext(!rememberedSort_->descending);
    }
    view_->header()->setSectionsClickable(true);
    view_->setAccessibleName(QStringLiteral("Files found"));
    constexpr int kMaskChars = 18;
    mask_->setMinimumWidth(mask_->fontMetrics().averageCharWidth() * kMaskChars);

    auto* rootRow = new QHBoxLayout;
    rootRow->addWidget(new QLabel(QStringLiteral("Search root:"), this));
    rootRow->addWidget(searchRoot_, 1);
    auto* controls = new QHBoxLayout;
    auto* maskLabel = new QLabel(QStringLiteral("Find file(s):"), this);
    maskLabel->setBuddy(mask_);
    controls->addWidget(maskLabel);
    controls->addWidget(mask_);
    controls->addWidget(subfolders_);
    controls->addStretch(1);
    controls->addWidget(findNow_);
    controls->addWidget(saveReport_);
    controls->addWidget(cancel_);
    auto* layout = new QVBoxLayout(this);
    layout->addLayout(rootRow);
    layout->addLayout(controls);
    layout->addWidget(view_, 1);

    // The order of the keyboard: mask, the three buttons, the check box, the list.
    setTabOrder(mask_, findNow_);
    setTabOrder(findNow_, saveReport_);
    setTabOrder(saveReport_, cancel_);
    setTabOrder(cancel_, subfolders_);
    setTabOrder(subfolders_, view_);

    connect(findNow_, &QPushButton::clicked, this, &FindFilesDlg::OnFindNow);
    connect(saveReport_, &QPushButton::clicked, this, &FindFilesDlg::OnSaveReport);
    connect(cancel_, &QPushButton::clicked, this, &QDialog::reject);
    connect(view_->header(), &QHeaderView::sectionClicked, this, &FindFilesDlg::OnColumnClick);

    tool_.SetListener(this);
    ShowMembers();
    constexpr QSize kLeastFirstSize(640, 380);
    ResizeToFirstSize(this, sizeHint().expandedTo(kLeastFirstSize));
    mask_->setFocus();
}

FindFilesDlg::~FindFilesDlg() {
    tool_.SetListener(nullptr);
}

// Writes the tool's members into the controls.
void FindFilesDlg::ShowMembers() {
    mask_->setText(FromUtf8(tool_.Mask()));
    subfolders_->setChecked(tool_.LookInSubfolders());
    searchRoot_->setText(FromUtf8(tool_.SearchRootText()));
}

void FindFilesDlg::RunOnTool(const QString& title, const std::function<void()>& work) {
    tool_.SetListener(nullptr);
    model_->BeginChange();
    RunInBackground(this, BackgroundWork{.title = title, .work = work, .status = {}});
    model_->EndChange();
    tool_.SetListener(this);
}

void FindFilesDlg::SetLauncher(FileLauncher* launcher) {
    rowMenu_->SetLauncher(launcher);
}

void FindFilesDlg::OnFindNow() {
    tool_.SetMask(mask_->text().toStdString());
    tool_.SetLookInSubfolders(subfolders_->isChecked());
    RunOnTool(QStringLiteral("Searching the catalogs"), [this] {
        tool_.FindNow();
        SortAsRemembered();
        model_->MeasureWidest();
    });
    FitResultColumns(view_, *model_);
    ShowMembers();
}

void FindFilesDlg::SortAsRemembered() {
    if (!rememberedSort_ || tool_.FoundNothing() || tool_.RowCount() == 0) return;
    const std::vector<ResultColumn> columns = FindColumns();
    for (int column = 0; column < kFindColumnCount; ++column)
        if (QString::fromLatin1(columns[static_cast<std::size_t>(column)].heading) ==
            rememberedSort_->column) {
            tool_.SetDescendingNext(rememberedSort_->descending);
            tool_.SortByColumn(column);
            break;
        }
    rememberedSort_.reset();
}

void FindFilesDlg::OnColumnClick(int column) {
    if (column < 0 || column >= kFindColumnCount) return;
    const ListSort sort{
        QString::fromLatin1(FindColumns()[static_cast<std::size_t>(column)].heading),
        tool_.DescendingNext()};
    RunOnTool(QStringLiteral("Sorting"), [this, column] { tool_.SortByColumn(column); });
    rememberedSort_.reset();
    if (RememberedState::Enabled())
        RememberedState().SaveSorting(QStringLiteral("findFiles"), sort);
    ShowMembers();
}

void FindFilesDlg::OnSaveReport() {
    const QString path = prompter_.ChooseReportFile(this, FromUtf8(tool_.ReportFileName()));
    if (path.isEmpty()) return;
    tool_.SetMask(mask_->text().toStdString());
    tool_.SetLookInSubfolders(subfolders_->isChecked());
    SaveReportFile(
        prompter_, path, [this](const std::string& file) { return tool_.SaveReport(file); },
        [this](const std::string& file) {
            return SaveCsvFile(file, [this](TableWriter& out) { WriteFindFilesTable(tool_, out); });
        });
}

void FindFilesDlg::RowsAboutToBeReset() {
    model_->BeginChange();
}

void FindFilesDlg::RowsReset() {
    model_->EndChange();
}

void FindFilesDlg::SearchRootChanged() {
    searchRoot_->setText(FromUtf8(tool_.SearchRootText()));
}

}  // namespace kestavo::ui
