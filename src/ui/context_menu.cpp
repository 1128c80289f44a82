// SPDX-License-Identifier: GPL-3.0-or-later
#include "ui/context_menu.h"

#include <QAbstractItemView>
#include <QContextMenuEvent>
#include <QMenu>
#include <QMouseEvent>

namespace kestavo::ui {

bool HandleContextMenuEvent(QAbstractItemView* view, QEvent* event,
                            const std::function<QMenu*(const QPoint&)>& build) {
    if (event->type() != QEvent::ContextMenu) return false;
    auto* menuEvent = static_cast<QContextMenuEvent*>(event);
    const QPoint point = menuEvent->reason() == QContextMenuEvent::Keyboard
                             ? QPoint(5, 5)
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
