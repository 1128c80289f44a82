// SPDX-License-Identifier: GPL-3.0-or-later
#include "ui/entry_list_model.h"

#include <QHash>

namespace kestavo::ui {
namespace {

// A column's width in pixels for a font of kDesignFontHeight.
int DesignWidth(ColumnContent content, bool diskList) {
    switch (content) {
        case ColumnContent::Name:
            return diskList ? 140 : 200;
        case ColumnContent::Size:
            return diskList ? 90 : 70;
        case ColumnContent::FreeSpace:
            return 90;
        case ColumnContent::Date:
            return 140;
    }
    return 140;
}

// Names and dates keep their widths; a size column always fits ten digits.
constexpr int kSizeDigitsShown = 10;

ResultColumn ShownColumn(const ListColumn& column, bool diskList) {
    return ResultColumn{.heading = column.heading,
                        .width = DesignWidth(column.content, diskList),
                        .rightAligned = column.rightAligned,
                        .growsToWidestText = false,
                        .leastDigits = column.rightAligned ? kSizeDigitsShown : 0};
}

}  // namespace

EntryListModel::EntryListModel(QObject* parent)
    : ResultListModel(
          {},
          ResultRows{
              .count = [this] { return rows_.RowCount(); },
              .text =
                  [this](std::size_t row, int column) {
                      return rows_.RowText(row, static_cast<std::size_t>(column));
                  },
              .image =
                  [this](std::size_t row) { return KindPicture(rows_.RowEntry(row)->GetKind()); }},
          parent) {
    SetEntries([this](std::size_t row) { return rows_.RowEntry(row); });
}

QVariant EntryListModel::data(const QModelIndex& index, int role) const {
    return role == Qt::ToolTipRole ? QVariant() : ResultListModel::data(index, role);
}

void EntryListModel::SetColumns(std::vector<ListColumn> columns, bool diskList) {
    std::vector<ResultColumn> shown;
    for (const ListColumn& column : columns) shown.push_back(ShownColumn(column, diskList));
    rows_.SetColumns(std::move(columns));
    ResultListModel::SetColumns(std::move(shown));
}

void EntryListModel::SetRows(std::vector<FileData*> rows) {
    beginResetModel();
    rows_.SetRows(std::move(rows));
    endResetModel();
}

void EntryListModel::Clear() {
    if (rows_.RowCount() == 0) return;
    beginResetModel();
    rows_.Clear();
    endResetModel();
}

void EntryListModel::SortByColumn(int column, bool descending) {
    if (column < 0 || column >= static_cast<int>(ListColumns().size())) return;
    emit layoutAboutToBeChanged({}, QAbstractItemModel::VerticalSortHint);
    const QModelIndexList persistent = persistentIndexList();
    std::vector<FileData*> before;
    for (const QModelIndex& index : persistent) before.push_back(EntryAt(index.row()));
    rows_.SortByColumn(static_cast<std::size_t>(column), descending);
    QModelIndexList after;
    if (!persistent.isEmpty()) {
        QHash<FileData*, int> rowOf;
        for (std::size_t row = 0; row < rows_.RowCount(); ++row)
            rowOf.insert(rows_.RowEntry(row), static_cast<int>(row));
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
    return row >= 0 && row < static_cast<int>(rows_.RowCount())
               ? rows_.RowEntry(static_cast<std::size_t>(row))
               : nullptr;
}

}  // namespace kestavo::ui
