// SPDX-License-Identifier: GPL-3.0-or-later
// The size a window opens with, kept on the screen.
#pragma once

#include <QSize>

class QWidget;

namespace kestavo::ui {

// The designed size where it fits the screen's available area; a side that
// does not fit gets nine tenths of that area's side. An empty area leaves
// the designed size.
QSize FirstWindowSize(const QSize& designed, const QSize& available);

// Gives `window` its first size on the screen it opens on.
void ResizeToFirstSize(QWidget* window, const QSize& designed);

}  // namespace kestavo::ui
