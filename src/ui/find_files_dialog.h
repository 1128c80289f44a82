// SPDX-License-Identifier: GPL-3.0-or-later
// The Find Files window: entries below one node of the catalog tree whose
// names match a wildcard mask, sortable by any column and saved as a text
// report. Modeless; several may be open, each with its own search.
#pragma once

#include <QDialog>
#include <optional>

#include "tools/find_files.h"
#include "ui/column_memory.h"
#include "ui/result_list.h"

class QCheckBox;
class QLabel;
class QLineEdit;
class QPushButton;

namespace kestavo::ui {

class FileLauncher;
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

    void OnFindNow();
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

private:
    void RowsAboutToBeReset() override;
    void RowsReset() override;
    void SearchRootChanged() override;
    // Runs `work` on the tool off the user-interface thread; the list shows
    // no rows meanwhile.
    void RunOnTool(const QString& title, const std::function<void()>& work);
    // The first search's rows sorted as the user sorted last (in the last run).
    void SortAsRemembered();
    void ShowMembers();

    FindFiles tool_;
    Prompter& prompter_;
    QLineEdit* mask_;
    QCheckBox* subfolders_;
    QLabel* searchRoot_;
    QPushButton* findNow_;
    QPushButton* saveReport_;
    QPushButton* cancel_;
    ResultListModel* model_;
    ui::ResultView* view_;
    ResultRowMenu* rowMenu_;
    std::optional<ListSort> rememberedSort_;  // until the first search
};

}  // namespace kestavo::ui
