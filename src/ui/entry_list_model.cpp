// SPDX-License-Identifier: GPL-3.0-or-later
#include "ui/entry_list_model.h"

#include <QHash>
#include <algorithm>
#include <set>

#include "ui/file_drag.h"

namespace kestavo::ui {

EntryListModel::EntryListModel(QObject* parent)
    : QAbstractTableModel(parent), columns_(FileColumns()) {}

int EntryListModel::rowCount(const QModelIndex& parent) const {
    return parent.isValid() ? 0 : static_cast<int>(rows_.size());
}

int EntryListModel::columnCount(const QModelIndex& parent) const {
    return parent.isValid() ? 0 : static_cast<int>(columns_.size());
}

QVariant EntryListModel::data(const QModelIndex& index, int role) const {
    FileData* entry = EntryAt(index.row());
    if (!entry || index.column() < 0 || index.column() >= static_cast<int>(columns_.size()))
        return {};
    const ListColumn& column = columns_[static_cast<std::size_t>(index.column())];
    switch (role) {
        case Qt::DisplayRole: {
            const std::string_view text =
                texts_[rows_[static_cast<std::size_t>(index.row())].texts +
                       static_cast<std::size_t>(index.column())];
            return QString::fromUtf8(text.data(), static_cast<qsizetype>(text.size()));
        }
        case Qt::DecorationRole:
            return index.column() == 0 ? QVariant(pictures_.Picture(KindPicture(entry->GetKind())))
                                       : QVariant();
        case Qt::TextAlignmentRole:
            return QVariant::fromValue(Qt::AlignVCenter |
                                       (column.rightAligned ? Qt::AlignRight : Qt::AlignLeft));
        default:
            return {};
    }
}

QVariant EntryListModel::headerData(int section, Qt::Orientation orientation, int role) const {
    if (orientation != Qt::Horizontal || section < 0 ||
        section >= static_cast<int>(columns_.size()))
        return {};
    const ListColumn& column = columns_[static_cast<std::size_t>(section)];
    if (role == Qt::DisplayRole) return QString::fromUtf8(column.heading);
    if (role == Qt::TextAlignmentRole)
        return QVariant::fromValue(Qt::AlignVCenter |
                                   (column.rightAligned ? Qt::AlignRight : Qt::AlignLeft));
    return {};
}

Qt::ItemFlags EntryListModel::flags(const QModelIndex& index) const {
    Qt::ItemFlags flags = QAbstractTableModel::flags(index);
    if (EntryAt(index.row())) flags |= Qt::ItemIsDragEnabled;
    return flags;
}

QStringList EntryListModel::mimeTypes() const {
    return FileDragTypes();
}

QMimeData* EntryListModel::mimeData(const QModelIndexList& indexes) const {
    // Each row once, in the order shown, whichever cells were picked.
    std::set<int> rows;
    for (const QModelIndex& index : indexes) rows.insert(index.row());
    std::vector<FileData*> entries;
    for (const int row : rows) entries.push_back(EntryAt(row));
    return PresentFilesMimeData(entries);
}

void EntryListModel::SetColumns(std::vector<ListColumn> columns) {
    beginResetModel();
    columns_ = std::move(columns);
    MakeTexts();
    endResetModel();
}

void EntryListModel::SetRows(std::vector<FileData*> rows) {
    beginResetModel();
    rows_.clear();
    rows_.reserve(rows.size());
    for (FileData* entry : rows) rows_.push_back(Row{entry, 0});
    MakeTexts();
    endResetModel();
}

// Painting then reads neither the entries nor their stores, so that a
// search or a comparison on a worker thread may settle the same entries and
// add texts to the same stores meanwhile. The texts stay in place while
// their entries live, the size texts until they are dropped, after which
// the rows are read again.
void EntryListModel::MakeTexts() {
    texts_.clear();
    texts_.reserve(rows_.size() * columns_.size());
    for (Row& row : rows_) {
        row.texts = texts_.size();
        for (const ListColumn& column : columns_)
            texts_.push_back(CellText(*row.entry, column.content));
    }
}

void EntryListModel::Clear() {
    if (rows_.empty()) return;
    beginResetModel();
    rows_.clear();
    texts_.clear();
    endResetModel();
}

void EntryListModel::SortByColumn(int column, bool descending) {
    if (column < 0 || column >= static_cast<int>(columns_.size())) return;
    const ColumnContent content = columns_[static_cast<std::size_t>(column)].content;
    emit layoutAboutToBeChanged({}, QAbstractItemModel::VerticalSortHint);
    const QModelIndexList persistent = persistentIndexList();
    std::vector<FileData*> before;
    for (const QModelIndex& index : persistent) before.push_back(EntryAt(index.row()));
    std::stable_sort(rows_.begin(), rows_.end(), [&](const Row& a, const Row& b) {
        const int order = CompareRows(a.entry, b.entry, content);
        return descending ? order > 0 : order < 0;
    });
    QModelIndexList after;
    if (!persistent.isEmpty()) {
        QHash<FileData*, int> rowOf;
        for (std::size_t row = 0; row < rows_.size(); ++row)
            rowOf.insert(rows_[row].entry, static_cast<int>(row));
        for (std::size_t i = 0; i < before.size(); ++i) {
            const auto it = rowOf.constFind(before[i]);
            after.push_back(it == rowOf.cend()
                                ? QModelIndex()
                                : createIndex(*it, persistent[static_cast<int>(i)].column()));
        }
    }
    changePersistentIndexList(persistent, after);
    emit layoutChanged({}, QAbstractItemModel::VerticalSortHint);
}

FileData* EntryListModel::EntryAt(int row) const {
    return row >= 0 && row < static_cast<int>(rows_.size())
               ? rows_[static_cast<std::size_t>(row)].entry
               : nullptr;
}

}  // namespace kestavo::ui
