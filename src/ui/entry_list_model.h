// SPDX-License-Identifier: GPL-3.0-or-later
// The list pane's model: a result list over the rows of the contents shown,
// with the file or disk columns, sortable by any column.
#pragma once

#include <vector>

#include "catalog/file_data.h"
#include "catalog/list_rows.h"
#include "ui/result_list.h"

namespace kestavo::ui {

class EntryListModel : public ResultListModel {
    Q_OBJECT
public:
    explicit EntryListModel(QObject* parent = nullptr);

    // The list pane's delegate shows a whole text as the tooltip only when
    // its column cuts it off: no tooltip of the model's own.
    QVariant data(const QModelIndex& index, int role) const override;

    // The columns of a file list or, with `diskList`, of a disk list.
    void SetColumns(std::vector<ListColumn> columns, bool diskList);
    const std::vector<ListColumn>& ListColumns() const { return rows_.Columns(); }
    // Replaces every row; the rows come in the order given.
    void SetRows(std::vector<FileData*> rows);
    void Clear();
    // Sorts by one column (stable), ascending or descending; the selection
    // stays with its entries.
    void SortByColumn(int column, bool descending);
    FileData* EntryAt(int row) const;

private:
    ListedRows rows_;
};

}  // namespace kestavo::ui
