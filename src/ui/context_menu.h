// SPDX-License-Identifier: GPL-3.0-or-later
// Context menus of the panes' views: from the mouse at the pointer, from the
// keyboard at the current item's row.
#pragma once

#include <QPoint>
#include <functional>

class QAbstractItemView;
class QEvent;
class QMenu;

namespace kestavo::ui {

// Handles a context-menu event sent to `view` or its viewport: builds the
// menu for the point (viewport coordinates) and shows it. Answers whether
// the event was one.
bool HandleContextMenuEvent(QAbstractItemView* view, QEvent* event,
                            const std::function<QMenu*(const QPoint&)>& build);

// Whether `event` is a press, release or double click of the right mouse
// button, which a view would take as a click that selects.
bool IsRightButtonEvent(const QEvent* event);

}  // namespace kestavo::ui
