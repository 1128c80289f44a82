// SPDX-License-Identifier: GPL-3.0-or-later
// Waits, the event loop running, until a Find Files window's search ended.
#pragma once

#include <QtTest>

#include "ui/find_files_dialog.h"

inline bool SearchEnds(kestavo::ui::FindFilesDlg* dialog, int timeoutMs = 120000) {
    QElapsedTimer clock;
    clock.start();
    while (dialog->Searching() && clock.elapsed() < timeoutMs)
        QCoreApplication::processEvents(QEventLoop::AllEvents, 20);
    return !dialog->Searching();
}
