// SPDX-License-Identifier: GPL-3.0-or-later
// The context menu of result rows that stand for files on a disk: Open
// Containing Folder, which shows the row's file on its disk in the
// desktop's file manager.
#pragma once

#include <QObject>
#include <QPoint>
#include <functional>
#include <optional>

#include "media/launch_path.h"

class QMenu;

namespace kestavo::ui {

class FileLauncher;
class ResultListModel;
class ResultView;

// What Open Containing Folder shows for a row: its file or folder picked out
// in its folder, or, for one that is no longer on the disk, the folder it
// was in, opened.
struct RowPlace {
    media::LaunchRequest request;
    bool gone = false;
};
// The place of a row; nothing for a row that stands for no file.
using RowPlaces = std::function<std::optional<RowPlace>(int row)>;

class ResultRowMenu : public QObject {
    Q_OBJECT
public:
    // Serves the context menus of `view` for the rows' catalog entries; rows
    // without an entry, and disks, get none.
    ResultRowMenu(ResultView* view, ResultListModel* model);
    // The same for rows whose places `places` tells.
    ResultRowMenu(ResultView* view, RowPlaces places);

    void SetLauncher(FileLauncher* launcher) { launcher_ = launcher; }
    // The menu for the row at `pos` (viewport coordinates), or null; the
    // caller shows it.
    QMenu* BuildContextMenu(const QPoint& pos);

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    ResultView* view_;
    RowPlaces places_;
    FileLauncher* launcher_ = nullptr;
};

}  // namespace kestavo::ui
