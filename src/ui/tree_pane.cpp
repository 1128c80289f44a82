// SPDX-License-Identifier: GPL-3.0-or-later
#include "ui/tree_pane.h"

#include <QAction>
#include <QHeaderView>
#include <QKeyEvent>
#include <QMenu>
#include <QScrollBar>
#include <QTreeView>
#include <QVBoxLayout>

#include "catalog/catalog_commands.h"
#include "ui/command_source.h"
#include "ui/context_menu.h"
#include "ui/list_pane.h"
#include "ui/prompter.h"

namespace kestavo::ui {
namespace {

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
      model_(new ContainerTreeModel(set.Tree(), this)) {
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
    shown_.Show(item);
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
    shown_.Show(found);
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
        shown_.Show(rootItem_);
        return;
    }
    // Another disk went: the selection stays, with its highlight, its list
    // and the context commands.
    model_->SetHighlight(survivor);
    shown_.Show(survivor);
    contextItem_ = survivor;
}

void TreePane::ForgetContextItem() {
    contextItem_ = kNoItem;
}

void TreePane::ShowNothingSelected() {
    view_->selectionModel()->clear();
    model_->SetHighlight(kNoItem);
    contextItem_ = kNoItem;
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
        connect(open, &QAction::triggered, this, &TreePane::OpenRequested);
        QAction* folder = menu->addAction(QStringLiteral("Open Containing Folder"));
        folder->setProperty(kCommandProperty, CommandNumber(Command::ID_OPEN_CONTAINING_FOLDER));
        connect(folder, &QAction::triggered, this, &TreePane::OpenContainingFolderRequested);
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
    connect(properties, &QAction::triggered, this, &TreePane::PropertiesRequested);
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
