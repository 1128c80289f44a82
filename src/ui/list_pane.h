// SPDX-License-Identifier: GPL-3.0-or-later
// The right-hand pane: the rows of the shown contents, sortable by any column,
// with a context menu for each row.
#pragma once

#include <QHash>
#include <QWidget>
#include <optional>
#include <vector>

#include "catalog/list_rows.h"
#include "catalog/shown_contents.h"
#include "ui/column_memory.h"
#include "ui/column_widths.h"
#include "ui/entry_list_model.h"

class QTreeView;
class QMenu;

namespace kestavo::ui {

class FileLauncher;
class UserColumnWidths;

class ListPane : public QWidget, private ShownContentsListener {
    Q_OBJECT
public:
    explicit ListPane(ShownContents& shown, QWidget* parent = nullptr);
    ~ListPane() override;

    // The disk columns shown from now on.
    void SetDiskColumns(const DiskColumnSwitches& switches);

    // A click on a column heading; the one direction flag serves every column.
    void OnColumnClick(int column);
    void OnDoubleClick(const QModelIndex& index);
    // The context menu for the row at `pos` (viewport coordinates), or null
    // where there is no row; the caller shows it.
    QMenu* BuildContextMenu(const QPoint& pos);
    void OnProperties();
    // Open and Send To Notepad on the context menu's row.
    void OnOpen();
    void OnSendToNotepad();
    // Open Containing Folder on the context menu's row.
    void OnOpenContainingFolder();
    // Shows an entry in its folder in the desktop's file manager.
    void ShowEntryInFolder(FileData& entry);
    // Opens an entry on its disk: the entry itself, or the archive that
    // holds an entry of a Zip Folder.
    void LaunchEntry(FileData& entry);
    void SetLauncher(FileLauncher* launcher) { launcher_ = launcher; }
    FileLauncher* Launcher() const { return launcher_; }
    int ContextRow() const { return contextRow_; }
    bool SortDescendingNext() const { return sortDescending_; }

    QTreeView* View() const { return view_; }
    EntryListModel* Model() const { return model_; }
    // The widths the user gave columns by hand, by list kind and heading.
    UserColumnWidths* ColumnMemory() const { return userWidths_; }
    // Takes remembered widths and gives them to the columns shown.
    void UseColumnWidths(const QHash<QString, int>& widths);
    // Takes the sort the user made last (in the last run): the first rows
    // shown that have its column are sorted so, and the next click goes on
    // from its order.
    void UseSorting(const std::optional<ListSort>& sort);

signals:
    // A folder, Zip Folder or disk row was opened: its tree item is to be
    // shown, with its contents.
    void FolderRequested(kestavo::FileData* entry);
    // The user sorted the rows by a column.
    void SortChosen(const kestavo::ui::ListSort& sort);

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    void RowsCleared() override;
    void RowsRead() override;
    void ShowFileColumns();
    void ShowDiskColumns();
    void ApplyColumns(std::vector<ListColumn> columns, bool diskList);
    // Widens the columns for the rows' texts by the rule of every list.
    void FitColumnsToRows();
    QString ColumnKey(int column) const;
    void SortAsRemembered();

    ShownContents& shown_;
    QTreeView* view_;
    EntryListModel* model_;
    DiskColumnSwitches switches_;
    bool fileColumnsShown_ = false;
    bool diskList_ = false;  // the columns shown are those of a disk list
    UserColumnWidths* userWidths_;
    bool sortDescending_ = true;
    std::optional<ListSort> rememberedSort_;  // until rows with its column are shown
    int contextRow_ = -1;
    FileLauncher* launcher_ = nullptr;
};

}  // namespace kestavo::ui
