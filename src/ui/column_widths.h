// SPDX-License-Identifier: GPL-3.0-or-later
// Widths of the columns of lists and result lists.
#pragma once

#include <QStyledItemDelegate>
#include <vector>

class QAbstractItemView;
class QTreeView;

namespace kestavo::ui {

// A column that holds sizes, and the width it is given at the least.
struct SizeColumn {
    int column = 0;
    int minimumWidth = 0;
};

// Makes each size column as wide as its widest text (and its heading) needs,
// never narrower than its minimum, so that no digit is ever cut off. The
// texts are compared by length first, so a folder of 100 000 rows costs one
// pass over the texts and a few measurements.
void FitSizeColumns(QTreeView* view, const std::vector<SizeColumn>& columns);

// The width one column needs for its widest text, heading included.
int NeededColumnWidth(QTreeView* view, int column);

// Draws the rows as usual and, for a text cut off by its column, shows the
// whole text as the tooltip.
class WholeTextTipDelegate : public QStyledItemDelegate {
    Q_OBJECT
public:
    using QStyledItemDelegate::QStyledItemDelegate;
    bool helpEvent(QHelpEvent* event, QAbstractItemView* view, const QStyleOptionViewItem& option,
                   const QModelIndex& index) override;
};

// Gives `view` a WholeTextTipDelegate.
void ShowCutTextsAsTips(QAbstractItemView* view);

}  // namespace kestavo::ui
