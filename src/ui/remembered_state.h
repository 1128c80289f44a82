// SPDX-License-Identifier: GPL-3.0-or-later
// What the windows remember from one run to the next: the main window's
// place, size and bars, the splitter, the column widths the user chose in
// the lists, and the folder reports were last saved in. Kept with QSettings
// (organisation and application "Kestavo") where the desktop keeps
// settings. A damaged or foreign settings file reads as an empty one. The
// size unit is not remembered: every run starts in bytes.
#pragma once

#include <QHash>
#include <QSettings>
#include <QString>
#include <optional>

#include "ui/column_memory.h"

class QMainWindow;
class QSplitter;

namespace kestavo::ui {

class ResultView;

class RememberedState {
public:
    RememberedState();

    // Whether windows read and write the remembered state at all. The
    // desktop program turns it on; windows made for tests leave the user's
    // settings alone.
    static void SetEnabled(bool on);
    static bool Enabled();

    // False, with the window left as it was, where nothing usable is kept.
    bool RestoreWindow(QMainWindow& window, QSplitter& splitter);
    void SaveWindow(const QMainWindow& window, const QSplitter& splitter);

    // The column widths of one list ("list", "findFiles", ...), by column key.
    QHash<QString, int> ColumnWidths(const QString& list);
    void SaveColumnWidths(const QString& list, const QHash<QString, int>& widths);
    // The last sort of one list; nothing when none is kept or it does not read.
    std::optional<ListSort> Sorting(const QString& list);
    void SaveSorting(const QString& list, const ListSort& sort);

    // Where a report named `initialName` is first offered: a bare name in
    // the folder the last report went to, while that folder is there.
    QString ReportStartPath(const QString& initialName);
    void SaveReportFolderOf(const QString& reportPath);

private:
    // The settings can be read: the file is absent or well formed.
    bool Readable() const { return settings_.status() == QSettings::NoError; }

    QSettings settings_;
};

// Keeps the widths the user chooses in `memory` as those of `list`, while
// the state is remembered.
void RememberChosenWidths(UserColumnWidths& memory, const QString& list);
// Gives a tool window's result list the widths remembered for `list`, and
// keeps those the user chooses.
void RememberColumnWidths(ResultView& view, const QString& list);

}  // namespace kestavo::ui
