// SPDX-License-Identifier: GPL-3.0-or-later
#include "ui/tree_model.h"

#include <QApplication>
#include <QPalette>

namespace kestavo::ui {

ContainerTreeModel::ContainerTreeModel(ContainerTree& tree, QObject* parent)
    : QAbstractItemModel(parent), tree_(tree) {
    tree_.AddObserver(this);
}

ContainerTreeModel::~ContainerTreeModel() {
    tree_.RemoveObserver(this);
}

TreeItem ContainerTreeModel::ItemOf(const QModelIndex& index) {
    return index.isValid() ? static_cast<TreeItem>(index.internalId()) : kNoItem;
}

QModelIndex ContainerTreeModel::IndexOf(TreeItem item) const {
    if (!tree_.IsValid(item)) return {};
    return createIndex(tree_.RowOf(item), 0, static_cast<quintptr>(item));
}

QModelIndex ContainerTreeModel::index(int row, int column, const QModelIndex& parent) const {
    if (column != 0 || row < 0) return {};
    const auto children = tree_.Children(ItemOf(parent));
    if (static_cast<std::size_t>(row) >= children.size()) return {};
    return createIndex(row, 0, static_cast<quintptr>(children[static_cast<std::size_t>(row)]));
}

QModelIndex ContainerTreeModel::parent(const QModelIndex& child) const {
    return IndexOf(tree_.Parent(ItemOf(child)));
}

int ContainerTreeModel::rowCount(const QModelIndex& parent) const {
    if (parent.column() > 0) return 0;
    return static_cast<int>(tree_.Children(ItemOf(parent)).size());
}

int ContainerTreeModel::columnCount(const QModelIndex&) const {
    return 1;
}

bool ContainerTreeModel::hasChildren(const QModelIndex& parent) const {
    return tree_.ItemHasChildren(ItemOf(parent));
}

QVariant ContainerTreeModel::data(const QModelIndex& index, int role) const {
    const TreeItem item = ItemOf(index);
    if (!tree_.IsValid(item)) return {};
    switch (role) {
        case Qt::DisplayRole: {
            const std::string_view text = tree_.ItemText(item);
            return QString::fromUtf8(text.data(), static_cast<qsizetype>(text.size()));
        }
        case Qt::DecorationRole:
            if (item == highlight_)
                return pictures_.Picture(SelectedKindPicture(tree_.ItemKind(item)));
            return pictures_.ItemPicture(tree_.ItemKind(item));
        case Qt::BackgroundRole:
            if (item == highlight_)
                return QApplication::palette().brush(QPalette::Inactive, QPalette::Highlight);
            return {};
        case Qt::ForegroundRole:
            if (item == highlight_)
                return QApplication::palette().brush(QPalette::Inactive, QPalette::HighlightedText);
            return {};
        default:
            return {};
    }
}

void ContainerTreeModel::SetHighlight(TreeItem item) {
    const TreeItem old = highlight_;
    highlight_ = item;
    for (TreeItem changed : {old, item}) {
        const QModelIndex index = IndexOf(changed);
        if (index.isValid()) emit dataChanged(index, index);
    }
}

void ContainerTreeModel::ItemAboutToBeInserted(TreeItem parent, int row) {
    beginInsertRows(IndexOf(parent), row, row);
}

void ContainerTreeModel::ItemInserted(TreeItem) {
    endInsertRows();
}

void ContainerTreeModel::ItemAboutToBeRemoved(TreeItem item) {
    // A highlight inside the removed branch goes with it.
    for (TreeItem up = highlight_; up != kNoItem; up = tree_.Parent(up))
        if (up == item) {
            highlight_ = kNoItem;
            break;
        }
    const int row = tree_.RowOf(item);
    beginRemoveRows(IndexOf(tree_.Parent(item)), row, row);
}

void ContainerTreeModel::ItemRemoved(TreeItem, int) {
    endRemoveRows();
}

void ContainerTreeModel::ChildrenAboutToBeSorted(TreeItem parent) {
    emit layoutAboutToBeChanged({QPersistentModelIndex(IndexOf(parent))},
                                QAbstractItemModel::VerticalSortHint);
    sortingPersistent_.clear();
    sortingItems_.clear();
    for (const QModelIndex& index : persistentIndexList()) {
        sortingPersistent_.push_back(index);
        sortingItems_.push_back(ItemOf(index));
    }
}

void ContainerTreeModel::ChildrenSorted(TreeItem parent) {
    QModelIndexList moved;
    for (TreeItem item : sortingItems_) moved.push_back(IndexOf(item));
    changePersistentIndexList(sortingPersistent_, moved);
    sortingPersistent_.clear();
    sortingItems_.clear();
    emit layoutChanged({QPersistentModelIndex(IndexOf(parent))},
                       QAbstractItemModel::VerticalSortHint);
}

void ContainerTreeModel::ResetStarted() {
    // A batch (a load) adds and removes whole branches and re-sorts. It is
    // passed on as a change of layout, not a reset, so that the views keep
    // what they know of the items that stay: expanded branches above all.
    emit layoutAboutToBeChanged();
    batchPersistent_ = persistentIndexList();
    batchItems_.clear();
    for (const QModelIndex& index : batchPersistent_) {
        const TreeItem item = ItemOf(index);
        batchItems_.push_back({item, tree_.Parent(item), std::string(tree_.ItemText(item))});
    }
}

bool ContainerTreeModel::Survived(const KeptItem& kept) const {
    // A handle freed during the batch may have been given to a new item.
    return tree_.IsValid(kept.item) && tree_.Parent(kept.item) == kept.parent &&
           tree_.ItemText(kept.item) == kept.text;
}

void ContainerTreeModel::ResetFinished() {
    QModelIndexList moved;
    for (const KeptItem& kept : batchItems_)
        moved.push_back(Survived(kept) ? IndexOf(kept.item) : QModelIndex());
    changePersistentIndexList(batchPersistent_, moved);
    batchPersistent_.clear();
    batchItems_.clear();
    if (!tree_.IsValid(highlight_)) highlight_ = kNoItem;
    emit layoutChanged();
    emit BatchFinished();
}

void ContainerTreeModel::ExpandRequested(TreeItem item) {
    emit ExpandItem(IndexOf(item));
}

}  // namespace kestavo::ui
