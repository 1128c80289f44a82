// SPDX-License-Identifier: GPL-3.0-or-later
// Finds a test's shown top-level windows of one class.
#pragma once

#include <QApplication>
#include <QWidget>

// The first shown window of class `Window`, or null.
template <class Window>
Window* OpenWindow() {
    for (QWidget* widget : QApplication::topLevelWidgets())
        if (auto* window = qobject_cast<Window*>(widget); window && window->isVisible())
            return window;
    return nullptr;
}

// How many windows of class `Window` are shown.
template <class Window>
int OpenWindows() {
    int count = 0;
    for (QWidget* widget : QApplication::topLevelWidgets())
        if (auto* window = qobject_cast<Window*>(widget); window && window->isVisible()) ++count;
    return count;
}
