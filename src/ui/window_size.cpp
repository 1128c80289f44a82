// SPDX-License-Identifier: GPL-3.0-or-later
#include "ui/window_size.h"

#include <QScreen>
#include <QWidget>

namespace kestavo::ui {
namespace {

int FittedSide(int designed, int available) {
    return available <= 0 || designed <= available ? designed : available * 9 / 10;
}

}  // namespace

QSize FirstWindowSize(const QSize& designed, const QSize& available) {
    return {FittedSide(designed.width(), available.width()),
            FittedSide(designed.height(), available.height())};
}

void ResizeToFirstSize(QWidget* window, const QSize& designed) {
    const QScreen* screen = window->screen();
    window->resize(
        FirstWindowSize(designed, screen ? screen->availableGeometry().size() : QSize()));
}

}  // namespace kestavo::ui
