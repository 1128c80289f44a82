// The right-hand pane: the contents of what the tree pane shows, sortable by
// any column, with a context menu for each row.
#pragma once

#include <QWidget>
#include <vector>

#include "catalog/catalog_set.h"
#include "catalog/list_rows.h"
#include "catalog/list_sink.h"
#include "ui/column_widths.h"
#include "ui/entry_list_model.h"

class QTreeView;
class QMenu;

namespace kestavo::ui {

class CommandSource;
class FileLauncher;

class ListPane : public QWidget, public ListSink, private CatalogSetObserver {
    Q_OBJECT
public:
    ListPane(CatalogSet& set, CommandSource& commands, QWidget* parent = nullptr);
    ~ListPane() override;

    // Filled by the catalog set.
    void ClearRows() override;
    void ShowFileColumns() override;
    void ShowDiskColumns() override;
    void AddFileRow(FileData& entry) override;
    void AddDiskRow(FileData& entry) override;
    void EndRows() override;

    void SetDiskColumns(bool dateCataloged, bool freeSpace, bool totalSize);
    DiskColumnSwitches Switches() const { return switches_; }

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
    // Opens an entry on its disk: the entry itself, or the archive that
    // holds an entry of a Zip Folder.
    void LaunchEntry(FileData& entry);
    void SetLauncher(FileLauncher* launcher) { launcher_ = launcher; }
    int ContextRow() const { return contextRow_; }
    bool SortDescendingNext() const { return sortDescending_; }

    QTreeView* View() const { return view_; }
    EntryListModel* Model() const { return model_; }

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    void EntriesAboutToBeRemoved() override;
    void ApplyColumns(std::vector<ListColumn> columns);

    CatalogSet& set_;
    CommandSource& commands_;
    QTreeView* view_;
    EntryListModel* model_;
    std::vector<FileData*> pending_;
    std::vector<SizeColumn> sizeColumns_;  // with their widths before the rows came
    DiskColumnSwitches switches_;
    bool fileColumnsShown_ = false;
    bool sortDescending_ = true;
    int contextRow_ = -1;
    FileLauncher* launcher_ = nullptr;
};

}  // namespace kestavo::ui
