// SPDX-License-Identifier: GPL-3.0-or-later
#include "ui/context_menu.h"

#include <QAbstractItemView>
#include <QContextMenuEvent>
#include <QMenu>
#include <QMouseEvent>
#include <algorithm>

namespace kestavo::ui {
namespace {

// The menu key works on the item the keyboard is on: a point inside its row,
// brought into view first. With no current item, the pane's corner.
QPoint KeyboardMenuPoint(QAbstractItemView* view) {
    const QModelIndex current = view->currentIndex();
    if (!current.isValid()) return QPoint(5, 5);
    view->scrollTo(current);
    const QRect row = view->visualRect(current);
    if (row.isEmpty()) return QPoint(5, 5);
    return QPoint(row.left() + std::min(5, row.width() / 2), row.center().y());
}

}  // namespace

bool HandleContextMenuEvent(QAbstractItemView* view, QEvent* event,
                            const std::function<QMenu*(const QPoint&)>& build) {
    if (event->type() != QEvent::ContextMenu) return false;
    auto* menuEvent = static_cast<QContextMenuEvent*>(event);
    const QPoint point = menuEvent->reason() == QContextMenuEvent::Keyboard
                             ? KeyboardMenuPoint(view)
                             : view->viewport()->mapFromGlobal(menuEvent->globalPos());
    if (QMenu* menu = build(point)) {
        menu->setAttribute(Qt::WA_DeleteOnClose);
        menu->popup(view->viewport()->mapToGlobal(point));
    }
    return true;
}

bool IsRightButtonEvent(const QEvent* event) {
    switch (event->type()) {
        case QEvent::MouseButtonPress:
        case QEvent::MouseButtonRelease:
        case QEvent::MouseButtonDblClick:
            return static_cast<const QMouseEvent*>(event)->button() == Qt::RightButton;
        default:
            return false;
    }
}

}  // namespace kestavo::ui
