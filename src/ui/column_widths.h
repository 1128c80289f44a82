// SPDX-License-Identifier: GPL-3.0-or-later
// How the columns of every list grow with the font, and the tooltips of
// texts cut off by their columns.
#pragma once

#include <QStyledItemDelegate>

class QAbstractItemView;
class QWidget;

namespace kestavo::ui {

// Column widths are designed for a font this many pixels high; they grow
// with a taller font (a larger font setting, or a scale factor above one).
constexpr double kDesignFontHeight = 13.0;

// How much wider than designed the columns of `view` are.
double FontScale(const QWidget& view);

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
