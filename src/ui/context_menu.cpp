// SPDX-License-Identifier: GPL-3.0-or-later
#include "ui/context_menu.h"

#include <QAbstractItemView>
#include <QContextMenuEvent>
#include <QMenu>
#include <QMouseEvent>
#include <algorithm>

namespace kestavo::ui {
namespace {

// How far inside the pane's corner, or a row's left edge, the menu opens.
constexpr int kMenuInset = 5;

// The menu key works on the item the keyboard is on: a point inside its row,
// brought into view first. With no current item, the pane's corner.
QPoint KeyboardMenuPoint(QAbstractItemView* view) {
    const QPoint corner(kMenuInset, kMenuInset);
    const QModelIndex current = view->currentIndex();
    if (!current.isValid()) return corner;
    view->scrollTo(current);
    const QRect row = view->visualRect(current);
    if (row.isEmpty()) return corner;
    return QPoint(row.left() + std::min(kMenuInset, row.width() / 2), row.center().y());
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
