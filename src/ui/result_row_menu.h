// SPDX-License-Identifier: GPL-3.0-or-later
// The context menu of result rows that stand for catalog entries: Open
// Containing Folder, which shows the row's file on its disk in the
// desktop's file manager.
#pragma once

#include <QObject>
#include <QPoint>

class QMenu;

namespace kestavo::ui {

class FileLauncher;
class ResultListModel;
class ResultView;

class ResultRowMenu : public QObject {
    Q_OBJECT
public:
    // Serves the context menus of `view`; rows without an entry get none.
    ResultRowMenu(ResultView* view, ResultListModel* model);

    void SetLauncher(FileLauncher* launcher) { launcher_ = launcher; }
    // The menu for the row at `pos` (viewport coordinates), or null; the
    // caller shows it.
    QMenu* BuildContextMenu(const QPoint& pos);

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    ResultView* view_;
    ResultListModel* model_;
    FileLauncher* launcher_ = nullptr;
};

}  // namespace kestavo::ui
