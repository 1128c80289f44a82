// SPDX-License-Identifier: GPL-3.0-or-later
// What the window's commands do: open and delete catalogs, catalog a new
// disk, the tool windows, the properties, the view options and the
// ejection of removable disks. The panes say which item a command is on.
#pragma once

#include <QObject>
#include <QString>
#include <string>

#include "catalog/catalog_set.h"
#include "catalog/shown_contents.h"

class QWidget;

namespace kestavo::ui {

class CViewOptions;
class DesktopNotifier;
class ListPane;
class Prompter;
class TreePane;

class CommandHandlers : public QObject {
    Q_OBJECT
public:
    // The dialogs open over `window`.
    CommandHandlers(CatalogSet& set, ShownContents& shown, TreePane& tree, ListPane& list,
                    Prompter& prompter, QWidget* window);
    ~CommandHandlers() override;

    void OnOpenAllCatalogs();
    void OnOpenSelectedCatalog();
    // Loads one catalog file beside those already loaded.
    void LoadSelectedCatalog(const QString& path);
    void OnProperties();
    void OnViewOptions();
    void OnCatalogNewDisk();
    // Catalog New Disk with the drive of `entryText` ("E:  WORK") chosen.
    void CatalogNewDiskOn(const std::string& entryText);
    // Find Files on the tree's pending context item, else on the top root
    // item; the Tools menu's command always on the top root item.
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
    CViewOptions* ViewOptions() const { return viewOptions_; }

private:
    void CatalogNewDisk(const std::string& chosenEntry);
    void FindFilesUnder(TreeItem root);
    void FindDuplicatesUnder(TreeItem root);

    CatalogSet& set_;
    ShownContents& shown_;
    TreePane& tree_;
    ListPane& list_;
    Prompter& prompter_;
    QWidget* window_;
    CViewOptions* viewOptions_;
    int progressDelayMs_ = 300;
    DesktopNotifier* notifier_ = nullptr;
};

}  // namespace kestavo::ui
