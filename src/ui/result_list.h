// SPDX-License-Identifier: GPL-3.0-or-later
// The result lists of the tool windows: a model over the rows a core tool
// object holds (no widget item per row), and the list view that shows it.
#pragma once

#include <QAbstractTableModel>
#include <QFontMetrics>
#include <QHash>
#include <QHeaderView>
#include <QStyleOptionViewItem>
#include <QTableView>
#include <array>
#include <functional>
#include <string_view>
#include <utility>
#include <vector>

#include "catalog/file_data.h"
#include "ui/pictures.h"

namespace kestavo::ui {

class UserColumnWidths;

struct ResultColumn {
    const char* heading;
    int width;  // pixels for a font of kDesignFontHeight
    bool rightAligned;
    // A left-aligned column widens to its widest text, as far as the list
    // shows at once; a right-aligned one always does, without that bound.
    bool growsToWidestText = true;
    // A right-aligned column is never narrower than this many digits.
    int leastDigits = 0;
};

// Where the model reads its rows: their number, the text of a cell and the
// picture of a row.
struct ResultRows {
    std::function<std::size_t()> count;
    std::function<std::string_view(std::size_t row, int column)> text;
    std::function<int(std::size_t row)> image;
};

// The catalog entry a result row stands for; null for a row of none.
using RowEntries = std::function<FileData*(std::size_t row)>;

// How wide texts are, as a worker can judge without a font: the width of
// each ASCII character and one width for every other character.
struct CharWidths {
    std::array<int, 128> ascii{};
    int other = 0;

    static CharWidths Of(const QFontMetrics& metrics);
    int Of(std::string_view text) const;
};

// The rows of one column whose texts are likely the widest: the few with
// the largest judged widths, ties by the earlier row.
class WidestTexts {
public:
    static constexpr std::size_t kKept = 16;
    void Offer(int width, int row);
    // Keeps the widest of both.
    void Join(const WidestTexts& other);
    std::vector<int> Rows() const;

private:
    std::vector<std::pair<int, int>> kept_;  // judged width, row
};

// What MeasureWidest finds, per column.
struct WidestRows {
    std::vector<int> longest;  // -1 for none
    std::vector<WidestTexts> widestTexts;
};

class ResultListModel : public QAbstractTableModel {
    Q_OBJECT
public:
    ResultListModel(std::vector<ResultColumn> columns, ResultRows rows, QObject* parent = nullptr);

    int rowCount(const QModelIndex& parent = {}) const override;
    int columnCount(const QModelIndex& parent = {}) const override;
    QVariant data(const QModelIndex& index, int role) const override;
    QVariant headerData(int section, Qt::Orientation orientation, int role) const override;
    Qt::ItemFlags flags(const QModelIndex& index) const override;
    QStringList mimeTypes() const override;
    QMimeData* mimeData(const QModelIndexList& indexes) const override;

    const std::vector<ResultColumn>& Columns() const { return columns_; }
    const ResultRows& Rows() const { return rows_; }
    // Shows other columns; the rows are read again.
    void SetColumns(std::vector<ResultColumn> columns);
    // Rows that stand for catalog entries can be dragged out as files.
    void SetEntries(RowEntries entries) { entries_ = std::move(entries); }
    // The entry a row stands for; null for a row of none.
    FileData* Entry(int row) const;
    // While the rows change (perhaps on a worker thread) the list shows
    // none, so that painting never reads them half made.
    void BeginChange();
    void EndChange();
    QString Text(int row, int column) const;
    // The widths of the characters of the list's font, judged on the
    // user-interface thread for MeasureWidest.
    void SetCharWidths(const CharWidths& widths) { charWidths_ = widths; }
    // Finds the row with the longest text of each right-aligned column, and
    // the rows whose texts are likely the widest of each other column that
    // grows to its widest text. Reads
    // the rows only, so it may run on the worker that made them, before
    // EndChange; FitResultColumns then measures those texts alone.
    void MeasureWidest() { UseWidest(MeasureWidestOf(rows_)); }
    // The same over other rows read the same way, keeping nothing: it reads
    // only the columns and the character widths, so it may run on a worker
    // while the list shows other rows.
    WidestRows MeasureWidestOf(const ResultRows& rows) const;
    void UseWidest(WidestRows widest);
    // Rows are added at the end: `add` makes the count grow by `count`.
    void AppendRows(std::size_t count, const std::function<void()>& add);
    int WidestRow(int column) const;
    // The rows MeasureWidest found for a left-aligned column; all of them
    // when there are no more than WidestTexts::kKept.
    std::vector<int> WidestTextRows(int column) const;

private:
    std::vector<ResultColumn> columns_;
    ResultRows rows_;
    RowEntries entries_;
    ImageStrip pictures_;
    bool changing_ = false;
    CharWidths charWidths_;
    WidestRows widest_;
};

// A report-style list of result rows: whole rows selected, no grid, and no
// structure kept per row, so that millions of rows show at once.
class ResultView : public QTableView {
    Q_OBJECT
public:
    explicit ResultView(QWidget* parent = nullptr);
    QHeaderView* header() const { return horizontalHeader(); }
    // The style of a cell as the view paints it.
    QStyleOptionViewItem ItemOption() const;
    // The widths the user gave columns by hand, by heading; they stand in
    // for the designed widths.
    UserColumnWidths* ColumnMemory() const { return userWidths_; }
    // Takes remembered widths and gives them to the columns.
    void UseColumnWidths(const QHash<QString, int>& widths);

private:
    UserColumnWidths* userWidths_;
};

// A report-style list view over `model`, with the columns' widths.
ResultView* MakeResultView(ResultListModel* model, QWidget* parent);

// The width a column is given before its texts are measured: the one the
// user chose by hand, else its designed width grown with the font (and
// never less than its least digits).
int DesignedWidth(const QAbstractItemView& view, const UserColumnWidths& memory,
                  const ResultColumn& column, int index);
// The one rule by which every list fits its columns, MeasureWidest having
// run: each column as wide as its designed width, a right-aligned column
// wider for its widest text, a left-aligned one that grows to its texts
// wider for them but no wider than the list shows at once (its whole text
// stays the tooltip). `option` is the style of a cell as the view paints it.
void FitColumns(QAbstractItemView& view, QHeaderView& header, const UserColumnWidths& memory,
                const QStyleOptionViewItem& option, const ResultListModel& model);
// FitColumns on a result view.
void FitResultColumns(ResultView* view, const ResultListModel& model);

}  // namespace kestavo::ui
