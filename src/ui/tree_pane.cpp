// SPDX-License-Identifier: GPL-3.0-or-later
#include "ui/tree_pane.h"

#include <QAction>
#include <QApplication>
#include <QDir>
#include <QHeaderView>
#include <QKeyEvent>
#include <QMenu>
#include <QScrollBar>
#include <QTreeView>
#include <QVBoxLayout>
#include <atomic>
#include <optional>

#include "catalog/catalog_commands.h"
#include "catalog/properties.h"
#include "catalog/size_unit.h"
#include "media/catalog_new_disk.h"
#include "media/drive_map.h"
#include "media/flush_eject.h"
#include "ui/background_work.h"
#include "ui/command_source.h"
#include "ui/compare_dialog.h"
#include "ui/context_menu.h"
#include "ui/desktop_notifier.h"
#include "ui/drive_box.h"
#include "ui/drive_dialogs.h"
#include "ui/drive_watch.h"
#include "ui/find_duplicates_dlg.h"
#include "ui/find_files_dlg.h"
#include "ui/list_pane.h"
#include "ui/prompter.h"
#include "ui/properties_dialog.h"
#include "ui/unmount_guard.h"
#include "ui/utf8_text.h"
#include "ui/view_options.h"

namespace kestavo::ui {
namespace {

// Shows the wait cursor for as long as it lives.
class WaitCursor {
public:
    WaitCursor() { QApplication::setOverrideCursor(Qt::WaitCursor); }
    ~WaitCursor() { QApplication::restoreOverrideCursor(); }
    WaitCursor(const WaitCursor&) = delete;
    WaitCursor& operator=(const WaitCursor&) = delete;
};

// Answers Catalog New Disk's questions with the drive choice and the label
// dialog.
// While the drive choice is open, `drives` follows the drives that come and
// go, so that the command finds the drive the user chose among them.
class DialogQuestions : public media::CatalogQuestions {
public:
    DialogQuestions(Prompter& prompter, QWidget* parent, media::DriveMap& drives,
                    const std::string& chosenEntry)
        : prompter_(prompter), parent_(parent), drives_(drives), chosenEntry_(chosenEntry) {}

    bool ChooseDrive(const media::DriveList& list, media::DriveChoice& choice) override {
        DriveSelection dialog(list, prompter_, parent_);
        if (!chosenEntry_.empty()) ChooseDriveEntry(*dialog.DriveBox(), chosenEntry_);
        if (DriveWatch* watch = DriveWatch::Running())
            QObject::connect(watch, &DriveWatch::DrivesChanged, &dialog,
                             [this, watch] { drives_ = watch->Drives(); });
        if (dialog.exec() != QDialog::Accepted) return false;
        choice.entryText = dialog.EntryText();
        choice.eject = dialog.EjectWhenFinished();
        choice.archives = dialog.Archives();
        return true;
    }
    bool AskLabel(const std::string& rootDirectory, std::string& label) override {
        LabelDialog dialog(rootDirectory, parent_);
        if (dialog.exec() != QDialog::Accepted) return false;
        label = dialog.NewLabel();
        return true;
    }

private:
    Prompter& prompter_;
    QWidget* parent_;
    media::DriveMap& drives_;
    const std::string& chosenEntry_;
};

// Brings items into view by scrolling up or down only: deep folders would
// otherwise scroll the disks and the top root item off the left edge. The
// horizontal position is the user's.
class VerticallyScrollingTreeView : public QTreeView {
public:
    using QTreeView::QTreeView;
    void scrollTo(const QModelIndex& index, ScrollHint hint = EnsureVisible) override {
        QScrollBar* sideways = horizontalScrollBar();
        const int left = sideways->value();
        QTreeView::scrollTo(index, hint);
        sideways->setValue(left);
    }
};

}  // namespace

// How many levels "*" expands below the current item.
constexpr int kExpandAllDepth = 64;

TreePane::TreePane(CatalogSet& set, ShownContents& shown, ListPane& list, CommandSource& commands,
                   Prompter& prompter, QWidget* parent)
    : QWidget(parent),
      set_(set),
      shown_(shown),
      list_(list),
      commands_(commands),
      prompter_(prompter),
      view_(new VerticallyScrollingTreeView(this)),
      model_(new ContainerTreeModel(set.Tree(), this)),
      viewOptions_(new CViewOptions(this)) {
    auto* layout = new QVBoxLayout(this);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->addWidget(view_);
    view_->setModel(model_);
    view_->setHeaderHidden(true);
    view_->setAccessibleName(QStringLiteral("Disks and folders"));
    view_->setUniformRowHeights(true);
    view_->setRootIsDecorated(true);
    view_->setSelectionMode(QAbstractItemView::SingleSelection);
    view_->setEditTriggers(QAbstractItemView::NoEditTriggers);
    view_->header()->setSectionResizeMode(QHeaderView::ResizeToContents);
    view_->header()->setStretchLastSection(false);
    view_->installEventFilter(this);
    view_->viewport()->installEventFilter(this);

    rootItem_ = set_.RootItem();
    connect(&list_, &ListPane::FolderRequested, this,
            [this](FileData* entry) { ShowEntryInTree(*entry); });

    connect(view_->selectionModel(), &QItemSelectionModel::currentChanged, this,
            [this](const QModelIndex& current) { OnSelectionChanged(current); });
    connect(model_, &ContainerTreeModel::ExpandItem, view_, &QTreeView::expand);
    connect(model_, &QAbstractItemModel::rowsAboutToBeRemoved, this, &TreePane::ForgetItemsBelow);
    connect(model_, &QAbstractItemModel::modelAboutToBeReset, this,
            [this] { contextItem_ = kNoItem; });
    connect(model_, &ContainerTreeModel::BatchFinished, this, &TreePane::ShowNothingSelected);
}

TreePane::~TreePane() = default;

void TreePane::OnSelectionChanged(const QModelIndex& current) {
    const TreeItem item = ContainerTreeModel::ItemOf(current);
    if (item == kNoItem || deleting_) return;
    model_->SetHighlight(kNoItem);
    shown_.Show(item, set_.Tree().Parent(item));
    model_->SetHighlight(item);
    contextItem_ = item;
}

void TreePane::SelectItem(TreeItem item) {
    view_->setCurrentIndex(model_->IndexOf(item));
}

void TreePane::ForgetItemsBelow(const QModelIndex& parent, int first, int last) {
    const ContainerTree& tree = set_.Tree();
    const auto children = tree.Children(ContainerTreeModel::ItemOf(parent));
    for (int row = first; row <= last && row < static_cast<int>(children.size()); ++row)
        for (TreeItem up = contextItem_; up != kNoItem; up = tree.Parent(up))
            if (up == children[static_cast<std::size_t>(row)]) {
                contextItem_ = kNoItem;
                break;
            }
}

void TreePane::ShowEntryInTree(FileData& entry) {
    const TreeItem found = set_.ItemOfEntry(entry);
    if (found == kNoItem) return;
    const QModelIndex index = model_->IndexOf(found);
    for (QModelIndex up = index.parent(); up.isValid(); up = up.parent()) view_->expand(up);
    view_->scrollTo(index, QAbstractItemView::PositionAtTop);
    model_->SetHighlight(found);
    shown_.Show(found, entry.GetParentItem());
}

void TreePane::OnOpenAllCatalogs() {
    WaitCursor wait;
    OpenAllCatalogs(set_, prompter_);
}

void TreePane::OnOpenSelectedCatalog() {
    QString directory = QString::fromStdString(CatalogDirectory());
    // The file dialog opens in the catalog directory, or in the home folder
    // while there is none yet, never with a file name typed in.
    if (!QDir::setCurrent(directory)) directory = QDir::homePath();
    const QString path = prompter_.ChooseCatalogFile(this, directory);
    if (!path.isEmpty()) LoadSelectedCatalog(path);
}

void TreePane::LoadSelectedCatalog(const QString& path) {
    WaitCursor wait;
    OpenSelectedCatalog(set_, path.toStdString(), prompter_);
}

void TreePane::OnDeleteCatalog() {
    const QPersistentModelIndex selected = view_->currentIndex();
    // The view moves its current index off the removed disk; that is not
    // the user's choice and lists nothing.
    deleting_ = true;
    const DeleteOutcome outcome = DeleteCatalog(set_, contextItem_, prompter_);
    deleting_ = false;
    if (outcome != DeleteOutcome::Deleted) return;
    const TreeItem survivor = ContainerTreeModel::ItemOf(selected);
    if (survivor == kNoItem) {
        ShowNothingSelected();
        shown_.Show(rootItem_, kNoItem);
        return;
    }
    // Another disk went: the selection stays, with its highlight, its list
    // and the context commands.
    model_->SetHighlight(survivor);
    shown_.Show(survivor, set_.Tree().Parent(survivor));
    contextItem_ = survivor;
}

void TreePane::ShowNothingSelected() {
    view_->selectionModel()->clear();
    model_->SetHighlight(kNoItem);
    contextItem_ = kNoItem;
}

void TreePane::OnProperties() {
    const TreeItem parent = set_.Tree().Parent(contextItem_);
    PropertyFields fields;
    if (contextItem_ != kNoItem && parent != kNoItem) {
        FileData* entry = set_.EntryOfItem(contextItem_);
        if (!entry) return;
        fields = PropertiesOfEntry(*entry);
    } else {
        fields = PropertiesOfRoot(set_);
    }
    PropertiesDialog dialog(std::move(fields), this);
    dialog.exec();
}

void TreePane::OnViewOptions() {
    CViewOptionsColumns* page = viewOptions_->Page();
    const bool total = page->totalSizeOn, free = page->freeSpaceOn, date = page->dateCatalogedOn;
    viewOptions_->Run();
    const QString unit = page->unitText;
    if (total != page->totalSizeOn || free != page->freeSpaceOn || date != page->dateCatalogedOn) {
        list_.SetDiskColumns(page->dateCatalogedOn, page->freeSpaceOn, page->totalSizeOn);
        shown_.Refresh();
    }
    if (SetSizeUnitByName(unit.toStdString())) set_.ReleaseAllSizeTexts();
}

void TreePane::OnCatalogNewDisk() {
    CatalogNewDisk({});
}

void TreePane::CatalogNewDiskOn(const std::string& entryText) {
    CatalogNewDisk(entryText);
}

void TreePane::CatalogNewDisk(const std::string& chosenEntry) {
    media::DriveMap drives = media::LoadDriveMap(prompter_);
    media::CatalogNewDisk command(set_, drives, prompter_);
    DialogQuestions questions(prompter_, window(), drives, chosenEntry);
    media::CatalogJob job = command.Prepare(questions);
    if (!job.ready) return;
    // The scan runs on a worker; the window shows how far it has come and
    // can stop it. Loading the new catalog stays on this thread.
    WalkBoard<media::ScanCounts> board;
    std::atomic<bool> stop{false};
    std::optional<UnmountGuard> unmount;
    WorkNotice notice;
    if (const media::Drive* drive = job.drives.FindNamed(job.driveName))
        unmount.emplace(*drive, stop);
    RunInBackground(
        window(), BackgroundWork{QStringLiteral("Catalog New Disk"),
                                 [&] {
                                     media::CatalogNewDisk::Scan(
                                         job,
                                         [&](const media::ScanCounts& c) { return board.Note(c); },
                                         &stop);
                                 },
                                 [&] { return board.Lines(); }, &stop, progressDelayMs_, &notice});
    if (notice.dialogShown && notice.inBackground)
        NotifyWorkEnded(
            notifier_, window(), QStringLiteral("Catalog New Disk"),
            QStringLiteral("The scan of %1 has ended.")
                .arg(job.driveName.empty() ? FromUtf8(job.directory)
                                           : QStringLiteral("drive ") + FromUtf8(job.driveName)));
    WaitCursor wait;
    const media::CatalogOutcome outcome = command.Finish(job);
    if (unmount && unmount->Fired() && outcome.status == media::CatalogStatus::Stopped)
        prompter_.Show(unmount->Why("The scan was stopped and no catalog was changed."));
    if (outcome.status != media::CatalogStatus::Written) return;
    if (const std::string unread = media::UnreadableEntriesText(outcome.unreadable);
        !unread.empty()) {
        Message m;
        m.caption = kApplicationName;
        m.text = unread;
        m.icon = MessageIcon::Exclamation;
        prompter_.Show(m);
    }
}

void TreePane::OnFindFiles() {
    const TreeItem root = contextItem_ != kNoItem ? contextItem_ : rootItem_;
    auto* dialog = new FindFilesDlg(set_, root, prompter_, window());
    dialog->SetLauncher(list_.Launcher());
    dialog->show();
    contextItem_ = kNoItem;
}

void TreePane::OnFindFilesAll() {
    contextItem_ = rootItem_;
    OnFindFiles();
}

void TreePane::OnFindDuplicates() {
    const TreeItem root = contextItem_ != kNoItem ? contextItem_ : rootItem_;
    {
        FindDuplicatesDlg dialog(set_, root, prompter_, window());
        dialog.SetLauncher(list_.Launcher());
        dialog.exec();
    }
    contextItem_ = kNoItem;
}

void TreePane::OnFindDuplicatesAll() {
    contextItem_ = rootItem_;
    OnFindDuplicates();
}

void TreePane::OnCompareDisk() {
    CompareDiskOn({});
}

void TreePane::CompareDiskOn(const std::string& entryText) {
    auto* dialog = new DriveCompare(set_, prompter_, window());
    dialog->SetNotifier(notifier_);
    dialog->SetLauncher(list_.Launcher());
    if (!entryText.empty()) ChooseDriveEntry(*dialog->DriveBox(), entryText);
    dialog->show();
}

void TreePane::OnOpenEntry() {
    if (FileData* entry = set_.EntryOfItem(contextItem_)) list_.LaunchEntry(*entry);
}

void TreePane::OnOpenContainingFolder() {
    if (FileData* entry = set_.EntryOfItem(contextItem_)) list_.ShowEntryInFolder(*entry);
}

void TreePane::EjectRemovableDisks() {
    WaitCursor wait;
    media::EjectRemovableDisks(media::LoadDriveMap(prompter_));
}

QMenu* TreePane::BuildContextMenu(const QPoint& pos) {
    const QModelIndex index = view_->indexAt(pos);
    const TreeItem item = ContainerTreeModel::ItemOf(index);
    if (item == kNoItem) return nullptr;
    contextItem_ = item;
    const TreeItem parent = set_.Tree().Parent(item);
    auto* menu = new QMenu(this);
    if (parent != kNoItem && parent != rootItem_) {
        QAction* open = menu->addAction(QStringLiteral("Open"));
        open->setProperty(kCommandProperty, CommandNumber(Command::ID_OPEN_ENTRY));
        connect(open, &QAction::triggered, this, &TreePane::OnOpenEntry);
        QAction* folder = menu->addAction(QStringLiteral("Open Containing Folder"));
        folder->setProperty(kCommandProperty, CommandNumber(Command::ID_OPEN_CONTAINING_FOLDER));
        connect(folder, &QAction::triggered, this, &TreePane::OnOpenContainingFolder);
    }
    menu->addAction(commands_.Action(Command::ID_FIND_FILE_CONTEXT));
    menu->addAction(commands_.Action(Command::ID_FIND_DUPLICATES_CONTEXT));
    if (parent == rootItem_) {
        menu->addSeparator();
        QAction* remove = menu->addAction(QStringLiteral("Delete Catalog"));
        remove->setProperty(kCommandProperty, CommandNumber(Command::ID_DELETE_CATALOG));
        connect(remove, &QAction::triggered, this, &TreePane::OnDeleteCatalog);
    }
    menu->addSeparator();
    QAction* properties = menu->addAction(QStringLiteral("Properties"));
    properties->setProperty(kCommandProperty, CommandNumber(Command::ID_PROPERTIES));
    connect(properties, &QAction::triggered, this, &TreePane::OnProperties);
    return menu;
}

bool TreePane::eventFilter(QObject* watched, QEvent* event) {
    // Delete removes the catalog of the disk in hand while the tree has the focus.
    if (event->type() == QEvent::KeyPress && watched == view_ &&
        static_cast<QKeyEvent*>(event)->key() == Qt::Key_Delete &&
        static_cast<QKeyEvent*>(event)->modifiers() == Qt::NoModifier) {
        OnDeleteCatalog();
        return true;
    }
    // A right click opens the context menu only; it selects nothing.
    if (watched == view_->viewport() && IsRightButtonEvent(event)) return true;
    // "*" expands everything below the current item, as far as a view can
    // lay out: a hostile catalog may nest folders a million deep.
    if (event->type() == QEvent::KeyPress && watched == view_ &&
        static_cast<QKeyEvent*>(event)->key() == Qt::Key_Asterisk) {
        const QModelIndex current = view_->currentIndex();
        if (current.isValid()) view_->expandRecursively(current, kExpandAllDepth);
        return true;
    }
    if ((watched == view_ || watched == view_->viewport()) &&
        HandleContextMenuEvent(view_, event,
                               [this](const QPoint& point) { return BuildContextMenu(point); }))
        return true;
    return QWidget::eventFilter(watched, event);
}

}  // namespace kestavo::ui
