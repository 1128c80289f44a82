// SPDX-License-Identifier: GPL-3.0-or-later
#include "ui/column_widths.h"

#include <QAbstractItemView>
#include <QHelpEvent>
#include <QToolTip>
#include <algorithm>

namespace kestavo::ui {

double FontScale(const QWidget& view) {
    return std::max(1.0, view.fontMetrics().height() / kDesignFontHeight);
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
