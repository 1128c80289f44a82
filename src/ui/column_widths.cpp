// SPDX-License-Identifier: GPL-3.0-or-later
#include "ui/column_widths.h"

#include <QAbstractItemView>
#include <QApplication>
#include <QHeaderView>
#include <QHelpEvent>
#include <QToolTip>
#include <QTreeView>
#include <algorithm>

namespace kestavo::ui {
namespace {

// Texts with the same number of characters differ little in width (digits
// are all as wide as each other in most fonts); a few of the longest are
// measured, and the widest wins.
constexpr int kLongestTextsMeasured = 8;

std::vector<QModelIndex> LongestTexts(const QAbstractItemModel& model, int column) {
    std::vector<QModelIndex> longest;
    qsizetype longestLength = 0;
    const int rows = model.rowCount();
    for (int row = 0; row < rows; ++row) {
        const QModelIndex index = model.index(row, column);
        const qsizetype length = index.data(Qt::DisplayRole).toString().size();
        if (length > longestLength) {
            longest.clear();
            longestLength = length;
        }
        if (length == longestLength && longest.size() < kLongestTextsMeasured)
            longest.push_back(index);
    }
    return longest;
}

QStyleOptionViewItem ItemOption(const QTreeView& view) {
    QStyleOptionViewItem option;
    option.initFrom(&view);
    option.font = view.font();
    option.fontMetrics = view.fontMetrics();
    option.features = QStyleOptionViewItem::HasDisplay;
    return option;
}

}  // namespace

int NeededColumnWidth(QTreeView* view, int column) {
    const QAbstractItemModel* model = view->model();
    if (!model) return 0;
    int width = view->header()->sectionSizeHint(column);
    const QStyleOptionViewItem option = ItemOption(*view);
    for (const QModelIndex& index : LongestTexts(*model, column)) {
        QAbstractItemDelegate* delegate = view->itemDelegateForIndex(index);
        width = std::max(width, delegate->sizeHint(option, index).width());
    }
    return width;
}

void FitSizeColumns(QTreeView* view, const std::vector<SizeColumn>& columns) {
    QHeaderView* header = view->header();
    for (const SizeColumn& size : columns) {
        if (size.column < 0 || size.column >= header->count()) continue;
        header->resizeSection(size.column,
                              std::max(size.minimumWidth, NeededColumnWidth(view, size.column)));
    }
}

bool WholeTextTipDelegate::helpEvent(QHelpEvent* event, QAbstractItemView* view,
                                     const QStyleOptionViewItem& option, const QModelIndex& index) {
    if (event && view && index.isValid() && event->type() == QEvent::ToolTip &&
        !index.data(Qt::ToolTipRole).isValid()) {
        const QString text = index.data(Qt::DisplayRole).toString();
        // The text is cut off when it needs more room than its cell has.
        if (!text.isEmpty() && sizeHint(option, index).width() > option.rect.width()) {
            QToolTip::showText(event->globalPos(), text, view->viewport(), option.rect);
            return true;
        }
        QToolTip::hideText();
        event->ignore();
        return true;
    }
    return QStyledItemDelegate::helpEvent(event, view, option, index);
}

void ShowCutTextsAsTips(QAbstractItemView* view) {
    view->setItemDelegate(new WholeTextTipDelegate(view));
}

}  // namespace kestavo::ui
