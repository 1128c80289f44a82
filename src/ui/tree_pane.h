// SPDX-License-Identifier: GPL-3.0-or-later
// The left-hand pane: the tree of disks, folders and Zip Folders, and the
// handlers of the catalog commands, the properties and the view options.
#pragma once

#include <QWidget>
#include <string>

#include "catalog/catalog_set.h"
#include "catalog/shown_contents.h"
#include "ui/commands.h"
#include "ui/tree_model.h"

class QMenu;
class QTreeView;

namespace kestavo::ui {

class CommandSource;
class DesktopNotifier;
class CViewOptions;
class ListPane;
class Prompter;

class TreePane : public QWidget {
    Q_OBJECT
public:
    TreePane(CatalogSet& set, ShownContents& shown, ListPane& list, CommandSource& commands,
             Prompter& prompter, QWidget* parent = nullptr);
    ~TreePane() override;

    // Brings the tree item of a container entry into view and lists its
    // contents.
    void ShowEntryInTree(FileData& entry);

    void OnOpenAllCatalogs();
    void OnOpenSelectedCatalog();
    // Loads one catalog file beside those already loaded.
    void LoadSelectedCatalog(const QString& path);
    void OnDeleteCatalog();
    void OnProperties();
    void OnViewOptions();
    void OnCatalogNewDisk();
    // Catalog New Disk with the drive of `entryText` ("E:  WORK") chosen.
    void CatalogNewDiskOn(const std::string& entryText);
    // Find Files on the pending context item, else on the top root item; the
    // Tools menu's command always on the top root item.
    void OnFindFiles();
    void OnFindFilesAll();
    void OnFindDuplicates();
    void OnFindDuplicatesAll();
    void OnCompareDisk();
    // The compare window with the drive of `entryText` chosen.
    void CompareDiskOn(const std::string& entryText);
    // Open on a folder or Zip Folder of the tree.
    void OnOpenEntry();
    // Open Containing Folder on a folder or Zip Folder of the tree.
    void OnOpenContainingFolder();
    void EjectRemovableDisks();
    // How long a scan may run before its progress window appears.
    void SetProgressDelay(int milliseconds) { progressDelayMs_ = milliseconds; }
    // Tells the desktop when a long scan or comparison ends while the user
    // is elsewhere; null: it is not told.
    void SetNotifier(DesktopNotifier* notifier) { notifier_ = notifier; }

    // The context menu for the item at `pos` (viewport coordinates), or null
    // where there is no item; the caller shows it.
    QMenu* BuildContextMenu(const QPoint& pos);

    TreeItem RootItem() const { return rootItem_; }
    TreeItem ContextItem() const { return contextItem_; }
    TreeItem HighlightItem() const { return model_->Highlight(); }
    void SelectItem(TreeItem item);
    QTreeView* View() const { return view_; }
    ContainerTreeModel* Model() const { return model_; }
    CViewOptions* ViewOptions() const { return viewOptions_; }

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    void CatalogNewDisk(const std::string& chosenEntry);
    void OnSelectionChanged(const QModelIndex& current);
    void ForgetItemsBelow(const QModelIndex& parent, int first, int last);
    // No item selected, highlighted or in hand for the context commands.
    void ShowNothingSelected();

    CatalogSet& set_;
    ShownContents& shown_;
    ListPane& list_;
    CommandSource& commands_;
    Prompter& prompter_;
    QTreeView* view_;
    ContainerTreeModel* model_;
    CViewOptions* viewOptions_;
    TreeItem rootItem_ = kNoItem;
    TreeItem contextItem_ = kNoItem;
    int progressDelayMs_ = 300;
    bool deleting_ = false;
    DesktopNotifier* notifier_ = nullptr;
};

}  // namespace kestavo::ui
