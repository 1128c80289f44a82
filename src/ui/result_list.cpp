// SPDX-License-Identifier: GPL-3.0-or-later
#include "ui/result_list.h"

#include <QHeaderView>
#include <QStyle>
#include <algorithm>

#include "support/side_by_side.h"
#include "ui/utf8_text.h"

namespace kestavo::ui {
namespace {

Qt::Alignment AlignmentOf(const ResultColumn& column) {
    return Qt::AlignVCenter | (column.rightAligned ? Qt::AlignRight : Qt::AlignLeft);
}

// From this many rows a column is measured on two threads.
constexpr std::size_t kTwoHalvesFrom = 200000;

// Column widths are given for a 13-pixel font; they grow with the font.
double FontScale(const QWidget* view) {
    return std::max(1.0, view->fontMetrics().height() / 13.0);
}

}  // namespace

ResultListModel::ResultListModel(std::vector<ResultColumn> columns, ResultRows rows,
                                 QObject* parent)
    : QAbstractTableModel(parent), columns_(std::move(columns)), rows_(std::move(rows)) {}

int ResultListModel::rowCount(const QModelIndex& parent) const {
    return parent.isValid() || changing_ ? 0 : static_cast<int>(rows_.count());
}

int ResultListModel::columnCount(const QModelIndex& parent) const {
    return parent.isValid() ? 0 : static_cast<int>(columns_.size());
}

QString ResultListModel::Text(int row, int column) const {
    if (changing_ || row < 0 || row >= static_cast<int>(rows_.count())) return {};
    return FromUtf8(rows_.text(static_cast<std::size_t>(row), column));
}

QVariant ResultListModel::data(const QModelIndex& index, int role) const {
    if (changing_ || !index.isValid() || index.column() >= static_cast<int>(columns_.size()))
        return {};
    const ResultColumn& column = columns_[static_cast<std::size_t>(index.column())];
    switch (role) {
        case Qt::DisplayRole:
            return Text(index.row(), index.column());
        case Qt::ToolTipRole:
            // Names and folders may be cut off by their column: the whole text.
            return column.rightAligned ? QVariant() : QVariant(Text(index.row(), index.column()));
        case Qt::DecorationRole:
            return index.column() == 0 ? QVariant(pictures_.Picture(
                                             rows_.image(static_cast<std::size_t>(index.row()))))
                                       : QVariant();
        case Qt::TextAlignmentRole:
            return QVariant::fromValue(AlignmentOf(column));
        default:
            return {};
    }
}

QVariant ResultListModel::headerData(int section, Qt::Orientation orientation, int role) const {
    if (orientation != Qt::Horizontal || section < 0 ||
        section >= static_cast<int>(columns_.size()))
        return {};
    const ResultColumn& column = columns_[static_cast<std::size_t>(section)];
    if (role == Qt::DisplayRole) return QString::fromUtf8(column.heading);
    if (role == Qt::TextAlignmentRole) return QVariant::fromValue(AlignmentOf(column));
    return {};
}

void ResultListModel::BeginChange() {
    beginResetModel();
    changing_ = true;
    endResetModel();
}

void ResultListModel::EndChange() {
    beginResetModel();
    changing_ = false;
    endResetModel();
}

ResultView::ResultView(QWidget* parent) : QTableView(parent) {
    setSelectionBehavior(QAbstractItemView::SelectRows);
    setSelectionMode(QAbstractItemView::ExtendedSelection);
    setShowGrid(false);
    setWordWrap(false);
    setCornerButtonEnabled(false);
    verticalHeader()->hide();
    verticalHeader()->setSectionResizeMode(QHeaderView::Fixed);
    verticalHeader()->setDefaultSectionSize(std::max(18, fontMetrics().height() + 4));
    horizontalHeader()->setHighlightSections(false);
    horizontalHeader()->setSectionsClickable(true);
}

ResultView* MakeResultView(ResultListModel* model, QWidget* parent) {
    auto* view = new ResultView(parent);
    view->setModel(model);
    view->setEditTriggers(QAbstractItemView::NoEditTriggers);
    view->header()->setStretchLastSection(false);
    view->header()->setSortIndicatorShown(false);
    const double scale = FontScale(view);
    const auto& columns = model->Columns();
    for (std::size_t i = 0; i < columns.size(); ++i)
        view->header()->resizeSection(static_cast<int>(i),
                                      static_cast<int>(columns[i].width * scale));
    return view;
}

void ResultListModel::MeasureWidest() {
    widestRow_.assign(columns_.size(), -1);
    const std::size_t rows = rows_.count();
    for (std::size_t c = 0; c < columns_.size(); ++c) {
        if (!columns_[c].rightAligned || rows == 0) continue;
        const int column = static_cast<int>(c);
        // Size texts are digits and a unit: the longest is the widest. The
        // rows are only read, so millions of them are measured in two halves
        // side by side.
        const auto longestIn = [&](std::size_t first, std::size_t last) {
            std::size_t best = first;
            std::size_t longest = rows_.text(first, column).size();
            for (std::size_t row = first + 1; row < last; ++row)
                if (const std::size_t length = rows_.text(row, column).size(); length > longest)
                    longest = length, best = row;
            return std::pair{longest, best};
        };
        const std::size_t half = rows < kTwoHalvesFrom ? rows : rows / 2;
        std::pair<std::size_t, std::size_t> first{0, 0}, second{0, 0};
        if (half < rows) {
            RunSideBySide([&] { second = longestIn(half, rows); },
                          [&] { first = longestIn(0, half); });
        } else {
            first = longestIn(0, half);
        }
        widestRow_[c] = static_cast<int>(half < rows && second.first > first.first ? second.second
                                                                                   : first.second);
    }
}

int ResultListModel::WidestRow(int column) const {
    return column >= 0 && column < static_cast<int>(widestRow_.size())
               ? widestRow_[static_cast<std::size_t>(column)]
               : -1;
}

void FitResultColumns(ResultView* view, const ResultListModel& model) {
    const double scale = FontScale(view);
    const auto& columns = model.Columns();
    const int margin =
        view->style()->pixelMetric(QStyle::PM_FocusFrameHMargin, nullptr, view) * 2 + 12;
    for (std::size_t c = 0; c < columns.size(); ++c) {
        if (!columns[c].rightAligned) continue;
        const int longestRow = model.WidestRow(static_cast<int>(c));
        int width = static_cast<int>(columns[c].width * scale);
        if (longestRow >= 0) {
            const QString text = model.Text(longestRow, static_cast<int>(c));
            width = std::max(width, view->fontMetrics().horizontalAdvance(text) + margin);
        }
        view->header()->resizeSection(static_cast<int>(c), width);
    }
}

}  // namespace kestavo::ui
