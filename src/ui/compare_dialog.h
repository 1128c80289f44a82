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

class DesktopNotifier;
class FileLauncher;
class Prompter;
class ResultRowMenu;

class DriveCompare : public QDialog {
    Q_OBJECT
public:
    // The window deletes itself when it is closed.
    DriveCompare(CatalogSet& set, Prompter& prompter, QWidget* parent = nullptr);

    void OnCompareNow();
    void OnSaveReport();
    // Open Containing Folder for the rows goes through `launcher`.
    void SetLauncher(FileLauncher* launcher);
    // Tells the desktop when a long comparison ends while the user is
    // elsewhere; null: it is not told.
    void SetNotifier(DesktopNotifier* notifier) { notifier_ = notifier; }
    // How long the disk may be read before the progress window appears.
    void SetProgressDelay(int milliseconds) { progressDelayMs_ = milliseconds; }

    const kestavo::DiskComparison& Tool() const { return tool_; }
    QComboBox* DriveBox() const { return driveBox_; }
    QPushButton* CompareNowButton() const { return compareNow_; }
    ResultListModel* Results() const { return model_; }
    ui::ResultView* ResultView() const { return view_; }
    ResultRowMenu* RowMenu() const { return rowMenu_; }

private:
    kestavo::DiskComparison tool_;
    Prompter& prompter_;
    QComboBox* driveBox_;
    QPushButton* compareNow_;
    QPushButton* saveReport_;
    QPushButton* cancel_;
    ResultListModel* model_;
    ui::ResultView* view_;
    ResultRowMenu* rowMenu_;
    DesktopNotifier* notifier_ = nullptr;
    int progressDelayMs_ = 300;
};

}  // namespace kestavo::ui
