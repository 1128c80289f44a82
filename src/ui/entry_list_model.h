// SPDX-License-Identifier: GPL-3.0-or-later
// The list pane's model: rows that point at catalog entries, with the file
// or disk columns. Texts come from the entries' caches.
#pragma once

#include <QAbstractTableModel>
#include <string_view>
#include <vector>

#include "catalog/file_data.h"
#include "catalog/list_rows.h"
#include "ui/pictures.h"

namespace kestavo::ui {

class EntryListModel : public QAbstractTableModel {
    Q_OBJECT
public:
    explicit EntryListModel(QObject* parent = nullptr);

    int rowCount(const QModelIndex& parent = {}) const override;
    int columnCount(const QModelIndex& parent = {}) const override;
    QVariant data(const QModelIndex& index, int role) const override;
    QVariant headerData(int section, Qt::Orientation orientation, int role) const override;
    // Rows are dragged out as the real files of their entries.
    Qt::ItemFlags flags(const QModelIndex& index) const override;
    QStringList mimeTypes() const override;
    QMimeData* mimeData(const QModelIndexList& indexes) const override;

    void SetColumns(std::vector<ListColumn> columns);
    const std::vector<ListColumn>& Columns() const { return columns_; }
    // Replaces every row; the rows come in the order given.
    void SetRows(std::vector<FileData*> rows);
    void Clear();
    // Sorts by one column (stable), ascending or descending.
    void SortByColumn(int column, bool descending);
    FileData* EntryAt(int row) const;

private:
    void MakeTexts();

    struct Row {
        FileData* entry;
        std::size_t texts;  // where the row's texts start in texts_
    };
    std::vector<ListColumn> columns_;
    std::vector<Row> rows_;
    // Each row's texts, column by column, as the entries' caches made them;
    // painting reads these alone.
    std::vector<std::string_view> texts_;
    ImageStrip pictures_;
};

}  // namespace kestavo::ui
