// SPDX-License-Identifier: GPL-3.0-or-later
#include "ui/result_list.h"

#include <QHeaderView>
#include <QStyle>
#include <algorithm>
#include <set>

#include "support/side_by_side.h"
#include "ui/column_memory.h"
#include "ui/column_widths.h"
#include "ui/file_drag.h"
#include "ui/utf8_text.h"

namespace kestavo::ui {
namespace {

Qt::Alignment AlignmentOf(const ResultColumn& column) {
    return Qt::AlignVCenter | (column.rightAligned ? Qt::AlignRight : Qt::AlignLeft);
}

// Room beside a right-aligned text: the focus frame's margins and a gap.
int TextMargin(const QWidget& view) {
    return view.style()->pixelMetric(QStyle::PM_FocusFrameHMargin, nullptr, &view) * 2 + 12;
}

}  // namespace

CharWidths CharWidths::Of(const QFontMetrics& metrics) {
    CharWidths widths;
    for (char16_t c = 0x20; c < 0x7f; ++c) {
        const int width = metrics.horizontalAdvance(QChar(c));
        widths.ascii[c] = width;
        widths.other = std::max(widths.other, width);
    }
    return widths;
}

int CharWidths::Of(std::string_view text) const {
    // UTF-8: a character other than ASCII is one lead byte (0xC0 and up) and
    // continuation bytes, which add nothing.
    int width = 0;
    for (const char byte : text) {
        const auto c = static_cast<unsigned char>(byte);
        width += c < 0x80 ? ascii[c] : (c >= 0xc0 ? other : 0);
    }
    return width;
}

void WidestTexts::Offer(int width, int row) {
    if (kept_.size() < kKept) {
        kept_.emplace_back(width, row);
        return;
    }
    // Most rows are no wider than the narrowest kept and are passed over at
    // once; an equal width keeps the earlier row.
    const auto narrowest =
        std::min_element(kept_.begin(), kept_.end(), [](const auto& a, const auto& b) {
            return a.first < b.first || (a.first == b.first && a.second > b.second);
        });
    if (width > narrowest->first) *narrowest = {width, row};
}

void WidestTexts::Join(const WidestTexts& other) {
    kept_.insert(kept_.end(), other.kept_.begin(), other.kept_.end());
    std::sort(kept_.begin(), kept_.end(), [](const auto& a, const auto& b) {
        return a.first > b.first || (a.first == b.first && a.second < b.second);
    });
    if (kept_.size() > kKept) kept_.resize(kKept);
}

std::vector<int> WidestTexts::Rows() const {
    std::vector<int> rows;
    for (const auto& [width, row] : kept_) rows.push_back(row);
    std::sort(rows.begin(), rows.end());
    return rows;
}

ResultListModel::ResultListModel(std::vector<ResultColumn> columns, ResultRows rows,
                                 QObject* parent)
    : QAbstractTableModel(parent), columns_(std::move(columns)), rows_(std::move(rows)) {}

void ResultListModel::SetColumns(std::vector<ResultColumn> columns) {
    beginResetModel();
    columns_ = std::move(columns);
    widest_ = {};
    endResetModel();
}

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

FileData* ResultListModel::Entry(int row) const {
    if (changing_ || !entries_ || row < 0 || row >= static_cast<int>(rows_.count())) return nullptr;
    return entries_(static_cast<std::size_t>(row));
}

Qt::ItemFlags ResultListModel::flags(const QModelIndex& index) const {
    Qt::ItemFlags flags = QAbstractTableModel::flags(index);
    if (index.isValid() && Entry(index.row())) flags |= Qt::ItemIsDragEnabled;
    return flags;
}

QStringList ResultListModel::mimeTypes() const {
    return FileDragTypes();
}

QMimeData* ResultListModel::mimeData(const QModelIndexList& indexes) const {
    std::set<int> rows;
    for (const QModelIndex& index : indexes) rows.insert(index.row());
    std::vector<FileData*> entries;
    for (const int row : rows) entries.push_back(Entry(row));
    return PresentFilesMimeData(entries);
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

ResultView::ResultView(QWidget* parent)
    : QTableView(parent), userWidths_(new UserColumnWidths(horizontalHeader(), [this](int column) {
          return model() ? model()->headerData(column, Qt::Horizontal).toString() : QString();
      })) {
    setSelectionBehavior(QAbstractItemView::SelectRows);
    setSelectionMode(QAbstractItemView::ExtendedSelection);
    setShowGrid(false);
    setWordWrap(false);
    setCornerButtonEnabled(false);
    verticalHeader()->hide();
    verticalHeader()->setSectionResizeMode(QHeaderView::Fixed);
    // A row is the font's height and a little room, never less than its
    // pictures need.
    constexpr int kLeastRowHeight = 18;
    constexpr int kRowRoom = 4;
    verticalHeader()->setDefaultSectionSize(
        std::max(kLeastRowHeight, fontMetrics().height() + kRowRoom));
    horizontalHeader()->setHighlightSections(false);
    horizontalHeader()->setSectionsClickable(true);
}

void ResultView::UseColumnWidths(const QHash<QString, int>& widths) {
    userWidths_->SetWidths(widths);
    const int columns = model() ? model()->columnCount() : 0;
    for (int column = 0; column < columns; ++column)
        if (const std::optional<int> width = userWidths_->Width(column))
            horizontalHeader()->resizeSection(column, *width);
}

QStyleOptionViewItem ResultView::ItemOption() const {
    QStyleOptionViewItem option;
    initViewItemOption(&option);
    return option;
}

ResultView* MakeResultView(ResultListModel* model, QWidget* parent) {
    auto* view = new ResultView(parent);
    view->setModel(model);
    view->setEditTriggers(QAbstractItemView::NoEditTriggers);
    view->setDragEnabled(true);
    view->setDragDropMode(QAbstractItemView::DragOnly);
    view->setDefaultDropAction(Qt::CopyAction);
    view->header()->setStretchLastSection(false);
    view->header()->setSortIndicatorShown(false);
    model->SetCharWidths(CharWidths::Of(view->fontMetrics()));
    const auto& columns = model->Columns();
    for (std::size_t i = 0; i < columns.size(); ++i)
        view->header()->resizeSection(
            static_cast<int>(i),
            DesignedWidth(*view, *view->ColumnMemory(), columns[i], static_cast<int>(i)));
    return view;
}

WidestRows ResultListModel::MeasureWidestOf(const ResultRows& source) const {
    WidestRows widest{std::vector<int>(columns_.size(), -1),
                      std::vector<WidestTexts>(columns_.size())};
    const std::size_t rows = source.count();
    if (rows == 0) return widest;
    // The rows are only read, so millions of them are measured in two
    // halves side by side.
    const std::size_t half = rows < kMeasureTwoThreadsFrom ? rows : rows / 2;
    const auto inHalves = [&](auto measure, auto join) {
        if (half == rows) return measure(std::size_t{0}, rows);
        decltype(measure(std::size_t{0}, rows)) first, second;
        RunSideBySide([&] { second = measure(half, rows); }, [&] { first = measure(0, half); });
        return join(first, second);
    };
    for (std::size_t c = 0; c < columns_.size(); ++c) {
        const int column = static_cast<int>(c);
        if (!columns_[c].rightAligned) {
            if (!columns_[c].growsToWidestText) continue;
            widest.widestTexts[c] = inHalves(
                [&](std::size_t first, std::size_t last) {
                    WidestTexts kept;
                    for (std::size_t row = first; row < last; ++row)
                        kept.Offer(charWidths_.Of(source.text(row, column)), static_cast<int>(row));
                    return kept;
                },
                [](WidestTexts first, const WidestTexts& second) {
                    first.Join(second);
                    return first;
                });
            continue;
        }
        // Size texts are digits and a unit: the longest is the widest.
        const auto longestIn = [&](std::size_t first, std::size_t last) {
            std::size_t best = first;
            std::size_t longest = source.text(first, column).size();
            for (std::size_t row = first + 1; row < last; ++row)
                if (const std::size_t length = source.text(row, column).size(); length > longest)
                    longest = length, best = row;
            return std::pair{longest, best};
        };
        using Longest = std::pair<std::size_t, std::size_t>;
        widest.longest[c] =
            static_cast<int>(inHalves(longestIn, [](const Longest& first, const Longest& second) {
                                 return second.first > first.first ? second : first;
                             }).second);
    }
    return widest;
}

void ResultListModel::UseWidest(WidestRows widest) {
    widest_ = std::move(widest);
}

void ResultListModel::AppendRows(std::size_t count, const std::function<void()>& add) {
    if (count == 0 || changing_) {
        add();
        return;
    }
    const int first = rowCount();
    beginInsertRows(QModelIndex(), first, first + static_cast<int>(count) - 1);
    add();
    endInsertRows();
}

int ResultListModel::WidestRow(int column) const {
    return column >= 0 && column < static_cast<int>(widest_.longest.size())
               ? widest_.longest[static_cast<std::size_t>(column)]
               : -1;
}

std::vector<int> ResultListModel::WidestTextRows(int column) const {
    return column >= 0 && column < static_cast<int>(widest_.widestTexts.size())
               ? widest_.widestTexts[static_cast<std::size_t>(column)].Rows()
               : std::vector<int>();
}

int DesignedWidth(const QAbstractItemView& view, const UserColumnWidths& memory,
                  const ResultColumn& column, int index) {
    if (const std::optional<int> chosen = memory.Width(index)) return *chosen;
    const int designed = static_cast<int>(column.width * FontScale(view));
    if (column.leastDigits <= 0) return designed;
    const int digits =
        view.fontMetrics().horizontalAdvance(QString(column.leastDigits, QLatin1Char('0')));
    return std::max(designed, digits + TextMargin(view));
}

void FitColumns(QAbstractItemView& view, QHeaderView& header, const UserColumnWidths& memory,
                const QStyleOptionViewItem& option, const ResultListModel& model) {
    const auto& columns = model.Columns();
    const int margin = TextMargin(view);
    // A text column may take the whole width the list shows, no more.
    const int widestTextColumn = view.viewport()->width();
    for (std::size_t c = 0; c < columns.size(); ++c) {
        const int column = static_cast<int>(c);
        const int designed = DesignedWidth(view, memory, columns[c], column);
        if (!columns[c].rightAligned) {
            // The same measure as painting, picture and margins included.
            int needed = 0;
            for (const int row : model.WidestTextRows(column)) {
                const QModelIndex index = model.index(row, column);
                needed = std::max(
                    needed, view.itemDelegateForIndex(index)->sizeHint(option, index).width());
            }
            header.resizeSection(column, std::max(designed, std::min(needed, widestTextColumn)));
            continue;
        }
        const int longestRow = model.WidestRow(column);
        int width = designed;
        if (longestRow >= 0)
            width = std::max(
                width,
                view.fontMetrics().horizontalAdvance(model.Text(longestRow, column)) + margin);
        header.resizeSection(column, width);
    }
}

void FitResultColumns(ResultView* view, const ResultListModel& model) {
    FitColumns(*view, *view->header(), *view->ColumnMemory(), view->ItemOption(), model);
}

}  // namespace kestavo::ui
