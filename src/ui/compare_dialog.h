// SPDX-License-Identifier: GPL-3.0-or-later
// The Compare Disk vs. Catalog window: a drive's disk against its loaded
// catalog, what is new, modified or deleted, and the text report. Modeless;
// several may be open.
#pragma once

#include <QDialog>

#include "tools/disk_comparison.h"
#include "ui/result_list.h"

class QComboBox;
class QPushButton;

namespace kestavo::ui {

class Prompter;

class DriveCompare : public QDialog {
    Q_OBJECT
public:
    // The window deletes itself when it is closed.
    DriveCompare(CatalogSet& set, Prompter& prompter, QWidget* parent = nullptr);

    void OnCompareNow();
    void OnSaveReport();

    const kestavo::DiskComparison& Tool() const { return tool_; }
    QComboBox* DriveBox() const { return driveBox_; }
    QPushButton* CompareNowButton() const { return compareNow_; }
    ResultListModel* Results() const { return model_; }
    ui::ResultView* ResultView() const { return view_; }

private:
    kestavo::DiskComparison tool_;
    Prompter& prompter_;
    QComboBox* driveBox_;
    QPushButton* compareNow_;
    QPushButton* saveReport_;
    QPushButton* cancel_;
    ResultListModel* model_;
    ui::ResultView* view_;
};

}  // namespace kestavo::ui
