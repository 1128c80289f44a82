// SPDX-License-Identifier: GPL-3.0-or-later
// The Find Duplicates window: files below one node of the catalog tree
// that agree on the chosen criteria, set by set, and their text report.
// Modal.
#pragma once

#include <QDialog>

#include "tools/find_duplicates.h"
#include "ui/result_list.h"

class QCheckBox;
class QLabel;
class QLineEdit;
class QPushButton;

namespace kestavo::ui {

class FileLauncher;
class Prompter;
class ResultRowMenu;

class FindDuplicatesDlg : public QDialog {
    Q_OBJECT
public:
    FindDuplicatesDlg(CatalogSet& set, TreeItem searchRoot, Prompter& prompter,
                      QWidget* parent = nullptr);

    void OnFindNow();
    // Serves Open Containing Folder on the rows.
    void SetLauncher(FileLauncher* launcher);
    ResultRowMenu* RowMenu() const { return rowMenu_; }
    void OnSaveReport();

    const FindDuplicates& Tool() const { return tool_; }
    QCheckBox* NamesBox() const { return names_; }
    QCheckBox* SizesBox() const { return sizes_; }
    QCheckBox* DatesBox() const { return dates_; }
    QLineEdit* ThresholdBox() const { return threshold_; }
    QLabel* UnitLabel() const { return unit_; }
    QLabel* SearchRootLabel() const { return searchRoot_; }
    ResultListModel* Results() const { return model_; }
    ui::ResultView* ResultView() const { return view_; }

private:
    // Reads the check boxes and the threshold box into the tool; a threshold
    // that is not an integer is refused with its message.
    void ReadControls();
    void ShowMembers();

    FindDuplicates tool_;
    Prompter& prompter_;
    QPushButton* findNow_;
    QPushButton* cancel_;
    QPushButton* saveReport_;
    QLabel* searchRoot_;
    QCheckBox* names_;
    QCheckBox* sizes_;
    QCheckBox* dates_;
    QLineEdit* threshold_;
    QLabel* unit_;
    ResultListModel* model_;
    ui::ResultView* view_;
    ResultRowMenu* rowMenu_;
    bool thresholdRefused_ = false;
};

}  // namespace kestavo::ui
