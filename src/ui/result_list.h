// SPDX-License-Identifier: GPL-3.0-or-later
// The result lists of the tool windows: a model over the rows a core tool
// object holds (no widget item per row), and the list view that shows it.
#pragma once

#include <QAbstractTableModel>
#include <QHeaderView>
#include <QTableView>
#include <functional>
#include <string_view>
#include <vector>

#include "ui/pictures.h"

namespace kestavo::ui {

struct ResultColumn {
    const char* heading;
    int width;  // pixels at normal scale
    bool rightAligned;
};

// Where the model reads its rows: their number, the text of a cell and the
// picture of a row.
struct ResultRows {
    std::function<std::size_t()> count;
    std::function<std::string_view(std::size_t row, int column)> text;
    std::function<int(std::size_t row)> image;
};

class ResultListModel : public QAbstractTableModel {
    Q_OBJECT
public:
    ResultListModel(std::vector<ResultColumn> columns, ResultRows rows, QObject* parent = nullptr);

    int rowCount(const QModelIndex& parent = {}) const override;
    int columnCount(const QModelIndex& parent = {}) const override;
    QVariant data(const QModelIndex& index, int role) const override;
    QVariant headerData(int section, Qt::Orientation orientation, int role) const override;

    const std::vector<ResultColumn>& Columns() const { return columns_; }
    // While the rows change (perhaps on a worker thread) the list shows
    // none, so that painting never reads them half made.
    void BeginChange();
    void EndChange();
    QString Text(int row, int column) const;
    // Finds the row with the longest text of each right-aligned column. Reads
    // the rows only, so it may run on the worker that made them, before
    // EndChange; FitResultColumns then measures those texts alone.
    void MeasureWidest();
    int WidestRow(int column) const;

private:
    std::vector<ResultColumn> columns_;
    ResultRows rows_;
    ImageStrip pictures_;
    bool changing_ = false;
    std::vector<int> widestRow_;  // per column; -1 for none
};

// A report-style list of result rows: whole rows selected, no grid, and no
// structure kept per row, so that millions of rows show at once.
class ResultView : public QTableView {
    Q_OBJECT
public:
    explicit ResultView(QWidget* parent = nullptr);
    QHeaderView* header() const { return horizontalHeader(); }
};

// A report-style list view over `model`, with the columns' widths.
ResultView* MakeResultView(ResultListModel* model, QWidget* parent);
// Widens each right-aligned column to its widest text, never below its
// given width.
void FitResultColumns(ResultView* view, const ResultListModel& model);

}  // namespace kestavo::ui
