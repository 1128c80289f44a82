#include "ui/context_menu.h"

#include <QAbstractItemView>
#include <QContextMenuEvent>
#include <QMenu>

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

}  // namespace kestavo::ui
