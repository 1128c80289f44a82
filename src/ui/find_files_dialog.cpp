// SPDX-License-Identifier: GPL-3.0-or-later
#include "ui/find_files_dialog.h"

#include <QCheckBox>
#include <QGridLayout>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QTimer>
#include <QVBoxLayout>
#include <algorithm>

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
// How many of the first rows found the columns are fitted to while the
// rest come in; the final rows are measured on the worker.
constexpr std::size_t kFirstFitRows = 4096;
// How long the list waits after taking rows before it takes more: each
// take makes the view lay out its rows again, and the user-interface thread
// shares the machine's cores with the search.
constexpr int kTakePauseMs = 250;
// How often the window looks for rows a running search has found.
constexpr int kFollowMs = 20;

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
    fillTimer_ = new QTimer(this);
    fillTimer_->setInterval(kFollowMs);
    connect(fillTimer_, &QTimer::timeout, this, &FindFilesDlg::FollowSearch);
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
    status_ = new QLabel(this);
    status_->setTextFormat(Qt::PlainText);
    status_->hide();
    // While a search runs the list shows the rows handed on so far; they
    // cannot be opened or dragged until it ends.
    const ResultRows toolRows = ToolRows();
    model_ = new ResultListModel(
        FindColumns(),
        ResultRows{[this, count = toolRows.count] { return filling_ ? shown_.size() : count(); },
                   [this, text = toolRows.text](std::size_t row, int column) -> std::string_view {
                       if (!filling_) return text(row, column);
                       thread_local RowTextScratch scratch;
                       return tool_.EntryText(*shown_[row], static_cast<FindColumn>(column),
                                              scratch);
                   },
                   [this, image = toolRows.image](std::size_t row) {
                       return filling_ ? KindPicture(shown_[row]->GetKind()) : image(row);
                   }},
        this);
    model_->SetEntries([this](std::size_t row) {
        return filling_ || tool_.FoundNothing() ? nullptr : tool_.RowEntry(row);
    });
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
    rootRow->addWidget(status_);
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
    // The worker reads this window's members: it stops before they go.
    tool_.SetListener(nullptr);
    tool_.StopSearch();
}

ResultRows FindFilesDlg::ToolRows() {
    // A search that found nothing shows one row that says so.
    return ResultRows{[this] { return tool_.FoundNothing() ? std::size_t{1} : tool_.RowCount(); },
                      [this](std::size_t row, int column) -> std::string_view {
                          if (tool_.FoundNothing())
                              return column == static_cast<int>(FindColumn::Name) ? kNothingFound
                                                                                  : "";
                          // The widest texts are looked for on two threads side by side:
                          // each makes size and date texts in its own scratch.
                          thread_local RowTextScratch scratch;
                          return tool_.RowText(row, static_cast<FindColumn>(column), scratch);
                      },
                      [this](std::size_t row) {
                          return tool_.FoundNothing() ? IMAGE_DELETED
                                                      : KindPicture(tool_.RowEntry(row)->GetKind());
                      }};
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
    tool_.StopSearch();
    tool_.SetMask(mask_->text().toStdString());
    tool_.SetLookInSubfolders(subfolders_->isChecked());
    const unsigned search = ++searchNumber_;
    inbox_.Clear();
    // The worker only leaves rows in the inbox and marks the end; the
    // window's own timer takes them, so nothing made on the worker is run
    // on this thread.
    auto found = [this](std::span<FileData* const> rows) { inbox_.Put(rows); };
    auto ended = [this, search](bool whole) {
        if (whole) {
            SortAsRemembered();
            finalWidest_ = model_->MeasureWidestOf(ToolRows());
        }
        endedSearch_.store(search, std::memory_order_release);
    };
    tool_.StartSearch(FindFeed{.found = found, .stop = nullptr}, ended);
    filling_ = true;
    sinceTake_.invalidate();
    model_->EndChange();
    ShowSearching(true);
    fillTimer_->start();
}

void FindFilesDlg::FollowSearch() {
    const unsigned search = searchNumber_;
    if (!filling_) {
        fillTimer_->stop();
        return;
    }
    if (endedSearch_.load(std::memory_order_acquire) == search) {
        fillTimer_->stop();
        EndSearch(search);
        return;
    }
    TakeFound(search);
}

void FindFilesDlg::TakeFound(unsigned search) {
    if (search != searchNumber_ || !filling_) return;
    // After the first rows the list grows a few times a second: each take
    // lays the view out again, on the cores the search runs on.
    if (sinceTake_.isValid() && sinceTake_.elapsed() < kTakePauseMs) return;
    std::vector<FileData*> rows = inbox_.Take();
    if (rows.empty()) return;
    sinceTake_.start();
    const bool first = shown_.empty();
    model_->AppendRows(rows.size(), [&] { shown_.insert(shown_.end(), rows.begin(), rows.end()); });
    if (first && !shown_.empty()) {
        const ResultRows shownRows = model_->Rows();
        const std::size_t fitted = std::min(shown_.size(), kFirstFitRows);
        model_->UseWidest(model_->MeasureWidestOf(
            ResultRows{[fitted] { return fitted; }, shownRows.text, shownRows.image}));
        FitResultColumns(view_, *model_);
    }
    status_->setText(QStringLiteral("Searching: %L1 found").arg(shown_.size()));
}

void FindFilesDlg::EndSearch(unsigned search) {
    if (search != searchNumber_ || !filling_ || !tool_.Searching()) return;
    const QModelIndex current = view_->currentIndex();
    const bool anySelected = view_->selectionModel() && view_->selectionModel()->hasSelection();
    const FileData* currentEntry =
        anySelected && current.isValid() && static_cast<std::size_t>(current.row()) < shown_.size()
            ? shown_[static_cast<std::size_t>(current.row())]
            : nullptr;
    // The listener leaves the fill and shows the final rows.
    if (!tool_.FinishSearch()) return;
    model_->UseWidest(std::move(finalWidest_));
    FitResultColumns(view_, *model_);
    ShowMembers();
    KeepCurrent(currentEntry);
    emit SearchEnded();
}

void FindFilesDlg::KeepCurrent(const FileData* entry) {
    if (!entry) return;
    const std::optional<std::size_t> row = tool_.RowOf(entry);
    if (!row) return;
    const QModelIndex index = model_->index(static_cast<int>(*row), 0);
    view_->setCurrentIndex(index);
    view_->scrollTo(index);
}

void FindFilesDlg::LeaveFill() {
    filling_ = false;
    fillTimer_->stop();
    std::vector<FileData*>().swap(shown_);
    inbox_.Clear();
    ShowSearching(false);
}

void FindFilesDlg::ShowSearching(bool searching) {
    status_->setText(searching ? QStringLiteral("Searching ...") : QString());
    status_->setVisible(searching);
    saveReport_->setEnabled(!searching);
    view_->header()->setSectionsClickable(!searching);
    if (searching)
        inputHold_ = std::make_unique<InputHold>(this);
    else
        inputHold_.reset();
}

void FindFilesDlg::SortAsRemembered() {
    if (!rememberedSort_ || tool_.FoundNothing() || tool_.RowCount() == 0) return;
    const std::vector<ResultColumn> columns = FindColumns();
    for (int column = 0; column < kFindColumnCount; ++column)
        if (QString::fromLatin1(columns[static_cast<std::size_t>(column)].heading) ==
            rememberedSort_->column) {
            tool_.SetDescendingNext(rememberedSort_->descending);
            tool_.SortRowsByColumn(column);
            break;
        }
    rememberedSort_.reset();
}

void FindFilesDlg::OnColumnClick(int column) {
    if (filling_ || column < 0 || column >= kFindColumnCount) return;
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
    if (filling_) return;
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
    if (filling_) LeaveFill();
    model_->EndChange();
}

void FindFilesDlg::SearchRootChanged() {
    searchRoot_->setText(FromUtf8(tool_.SearchRootText()));
}

}  // namespace kestavo::ui
