// SPDX-License-Identifier: GPL-3.0-or-later
// The Find Files window: entries below one node of the catalog tree whose
// names match a wildcard mask, sortable by any column and saved as a text
// report. Modeless; several may be open, each with its own search.
#pragma once

#include <QDialog>
#include <QElapsedTimer>
#include <QTimer>
#include <atomic>
#include <memory>
#include <optional>
#include <vector>

#include "tools/find_files.h"
#include "ui/column_memory.h"
#include "ui/found_rows_inbox.h"
#include "ui/result_list.h"

class QCheckBox;
class QLabel;
class QLineEdit;
class QPushButton;

namespace kestavo::ui {

class FileLauncher;
class InputHold;
class Prompter;
class ResultRowMenu;

class FindFilesDlg : public QDialog, private FindFilesListener {
    Q_OBJECT
public:
    // `searchRoot` is the node searched; the window deletes itself when it
    // is closed.
    FindFilesDlg(CatalogSet& set, TreeItem searchRoot, Prompter& prompter,
                 QWidget* parent = nullptr);
    ~FindFilesDlg() override;

    // Starts the search on a worker: the rows show as they are found, in
    // the order found, and are laid out in their final order at the end. A
    // search running is stopped first.
    void OnFindNow();
    // Whether a search is running, its rows still coming in.
    bool Searching() const { return filling_; }
    // Serves Open Containing Folder on the rows.
    void SetLauncher(FileLauncher* launcher);
    ResultRowMenu* RowMenu() const { return rowMenu_; }
    void OnSaveReport();
    void OnColumnClick(int column);

    const FindFiles& Tool() const { return tool_; }
    QLineEdit* MaskBox() const { return mask_; }
    QCheckBox* SubfoldersBox() const { return subfolders_; }
    QLabel* SearchRootLabel() const { return searchRoot_; }
    ui::ResultView* ResultView() const { return view_; }
    ResultListModel* Results() const { return model_; }
    QLabel* StatusLabel() const { return status_; }

signals:
    // A search ended and its rows are final (not when it was stopped).
    void SearchEnded();

private:
    void RowsAboutToBeReset() override;
    void RowsReset() override;
    void SearchRootChanged() override;
    // Runs `work` on the tool off the user-interface thread; the list shows
    // no rows meanwhile.
    void RunOnTool(const QString& title, const std::function<void()>& work);
    // The first search's rows sorted as the user sorted last (in the last
    // run); on the search's worker.
    void SortAsRemembered();
    void ShowMembers();
    // The rows of the tool, for the list and for measuring on a worker.
    ResultRows ToolRows();
    // The rows handed on so far by the search numbered `search`.
    void TakeFound(unsigned search);
    // On the window's timer while a search runs: takes its rows, or ends it.
    void FollowSearch();
    void EndSearch(unsigned search);
    void LeaveFill();
    void ShowSearching(bool searching);
    // The row the user made current while the rows came in, made current
    // again among the final rows.
    void KeepCurrent(const FileData* entry);

    FindFiles tool_;
    Prompter& prompter_;
    QLineEdit* mask_;
    QCheckBox* subfolders_;
    QLabel* searchRoot_;
    QLabel* status_;

    QPushButton* findNow_;
    QPushButton* saveReport_;
    QPushButton* cancel_;
    ResultListModel* model_;
    ui::ResultView* view_;
    ResultRowMenu* rowMenu_;
    std::optional<ListSort> rememberedSort_;  // until the first search
    // While a search runs, the list shows the rows it has handed on.
    bool filling_ = false;
    unsigned searchNumber_ = 0;  // of the search running or last run
    FoundRowsInbox inbox_;
    std::vector<FileData*> shown_;
    QElapsedTimer sinceTake_;  // since the rows were last taken
    QTimer* fillTimer_;
    // The number of the last search whose worker has ended.
    std::atomic<unsigned> endedSearch_{0};
    WidestRows finalWidest_;  // measured on the worker over the final rows
    std::unique_ptr<InputHold> inputHold_;
};

}  // namespace kestavo::ui
