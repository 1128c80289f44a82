// SPDX-License-Identifier: GPL-3.0-or-later
// The tree pane's model: a view of the core's container tree, following its
// changes. Indexes carry tree item handles; nothing is copied per item.
#pragma once

#include <QAbstractItemModel>
#include <string>
#include <vector>

#include "catalog/container_tree.h"
#include "ui/pictures.h"

namespace kestavo::ui {

class ContainerTreeModel : public QAbstractItemModel, private TreeObserver {
    Q_OBJECT
public:
    explicit ContainerTreeModel(ContainerTree& tree, QObject* parent = nullptr);
    ~ContainerTreeModel() override;

    QModelIndex index(int row, int column, const QModelIndex& parent = {}) const override;
    QModelIndex parent(const QModelIndex& child) const override;
    int rowCount(const QModelIndex& parent = {}) const override;
    int columnCount(const QModelIndex& parent = {}) const override;
    bool hasChildren(const QModelIndex& parent = {}) const override;
    QVariant data(const QModelIndex& index, int role) const override;

    QModelIndex IndexOf(TreeItem item) const;
    static TreeItem ItemOf(const QModelIndex& index);
    // The item drawn with the selected look besides the selection itself.
    void SetHighlight(TreeItem item);
    TreeItem Highlight() const { return highlight_; }

signals:
    void ExpandItem(const QModelIndex& index);
    // A batch of changes (a load) has been passed on to the views.
    void BatchFinished();

private:
    void ItemAboutToBeInserted(TreeItem parent, int row) override;
    void ItemInserted(TreeItem item) override;
    void ItemAboutToBeRemoved(TreeItem item) override;
    void ItemRemoved(TreeItem parent, int row) override;
    void ChildrenAboutToBeSorted(TreeItem parent) override;
    void ChildrenSorted(TreeItem parent) override;
    void ResetStarted() override;
    void ResetFinished() override;
    void ExpandRequested(TreeItem item) override;

    ContainerTree& tree_;
    ImageStrip pictures_;
    TreeItem highlight_ = kNoItem;
    struct KeptItem {
        TreeItem item;
        TreeItem parent;
        std::string text;
    };
    bool Survived(const KeptItem& kept) const;

    QModelIndexList sortingPersistent_;
    std::vector<TreeItem> sortingItems_;
    QModelIndexList batchPersistent_;
    std::vector<KeptItem> batchItems_;
};

}  // namespace kestavo::ui
