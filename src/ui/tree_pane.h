// SPDX-License-Identifier: GPL-3.0-or-later
// The left-hand pane: the tree of disks, folders and Zip Folders, which item
// is selected and in hand for the commands, and the tree's context menu.
#pragma once

#include <QWidget>

#include "catalog/catalog_set.h"
#include "catalog/shown_contents.h"
#include "ui/commands.h"
#include "ui/tree_model.h"

class QMenu;
class QTreeView;

namespace kestavo::ui {

class CommandSource;
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

    // Delete Catalog on the disk in hand: the selection moves off the
    // disk removed as the user left it.
    void OnDeleteCatalog();

    // The context menu for the item at `pos` (viewport coordinates), or null
    // where there is no item; the caller shows it.
    QMenu* BuildContextMenu(const QPoint& pos);

    TreeItem RootItem() const { return rootItem_; }
    // The item the tree's commands are on: the one selected or whose
    // context menu was opened last.
    TreeItem ContextItem() const { return contextItem_; }
    // A command on the context item is done with it.
    void ForgetContextItem();
    TreeItem HighlightItem() const { return model_->Highlight(); }
    void SelectItem(TreeItem item);
    QTreeView* View() const { return view_; }
    ContainerTreeModel* Model() const { return model_; }

signals:
    // The context menu's commands on the context item.
    void OpenRequested();
    void OpenContainingFolderRequested();
    void PropertiesRequested();

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
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
    TreeItem rootItem_ = kNoItem;
    TreeItem contextItem_ = kNoItem;
    bool deleting_ = false;
};

}  // namespace kestavo::ui
