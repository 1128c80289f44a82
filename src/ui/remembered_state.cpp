// SPDX-License-Identifier: GPL-3.0-or-later
#include "ui/remembered_state.h"

#include <QDir>
#include <QFileInfo>
#include <QMainWindow>
#include <QSplitter>
#include <QStatusBar>

#include "ui/column_memory.h"
#include "ui/result_list.h"

namespace kestavo::ui {
namespace {

bool stateRemembered = false;

// The layout of the main window's bars as saveState writes it.
constexpr int kWindowStateVersion = 1;

const QString kGeometry = QStringLiteral("window/geometry");
const QString kBars = QStringLiteral("window/bars");
const QString kStatusBarShown = QStringLiteral("window/statusBarShown");
const QString kSplitter = QStringLiteral("window/splitter");
const QString kReportFolder = QStringLiteral("reports/folder");

QString ColumnsGroup(const QString& list) {
    return QStringLiteral("columns/") + list;
}

QString SortingGroup(const QString& list) {
    return QStringLiteral("sorting/") + list;
}

}  // namespace

RememberedState::RememberedState()
    : settings_(QSettings::NativeFormat, QSettings::UserScope, QStringLiteral("Kestavo"),
                QStringLiteral("Kestavo")) {}

void RememberedState::SetEnabled(bool on) {
    stateRemembered = on;
}

bool RememberedState::Enabled() {
    return stateRemembered;
}

bool RememberedState::RestoreWindow(QMainWindow& window, QSplitter& splitter) {
    if (!Readable()) return false;
    // Each part is taken on its own: one that does not read leaves its
    // part as the program makes it.
    const bool placed = window.restoreGeometry(settings_.value(kGeometry).toByteArray());
    window.restoreState(settings_.value(kBars).toByteArray(), kWindowStateVersion);
    splitter.restoreState(settings_.value(kSplitter).toByteArray());
    // Only the two words the settings write count; anything else leaves the bar shown.
    const QString statusBarShown = settings_.value(kStatusBarShown).toString();
    if (statusBarShown == QStringLiteral("true") || statusBarShown == QStringLiteral("false"))
        window.statusBar()->setVisible(statusBarShown == QStringLiteral("true"));
    return placed;
}

void RememberedState::SaveWindow(const QMainWindow& window, const QSplitter& splitter) {
    settings_.setValue(kGeometry, window.saveGeometry());
    settings_.setValue(kBars, window.saveState(kWindowStateVersion));
    settings_.setValue(kSplitter, splitter.saveState());
    settings_.setValue(kStatusBarShown, !window.statusBar()->isHidden());
}

QHash<QString, int> RememberedState::ColumnWidths(const QString& list) {
    QHash<QString, int> widths;
    if (!Readable()) return widths;
    settings_.beginGroup(ColumnsGroup(list));
    for (const QString& key : settings_.allKeys()) {
        bool isNumber = false;
        const int width = settings_.value(key).toInt(&isNumber);
        if (isNumber && UserColumnWidths::IsPlausible(width)) widths.insert(key, width);
    }
    settings_.endGroup();
    return widths;
}

void RememberedState::SaveColumnWidths(const QString& list, const QHash<QString, int>& widths) {
    settings_.remove(ColumnsGroup(list));
    settings_.beginGroup(ColumnsGroup(list));
    for (auto it = widths.cbegin(); it != widths.cend(); ++it) settings_.setValue(it.key(), *it);
    settings_.endGroup();
}

std::optional<ListSort> RememberedState::Sorting(const QString& list) {
    if (!Readable()) return std::nullopt;
    settings_.beginGroup(SortingGroup(list));
    const QVariant column = settings_.value(QStringLiteral("column"));
    const QString descending = settings_.value(QStringLiteral("descending")).toString();
    settings_.endGroup();
    // Only a text for the column and one of the two words the settings write.
    if (column.typeId() != QMetaType::QString || column.toString().isEmpty() ||
        (descending != QStringLiteral("true") && descending != QStringLiteral("false")))
        return std::nullopt;
    return ListSort{column.toString(), descending == QStringLiteral("true")};
}

void RememberedState::SaveSorting(const QString& list, const ListSort& sort) {
    settings_.beginGroup(SortingGroup(list));
    settings_.setValue(QStringLiteral("column"), sort.column);
    settings_.setValue(QStringLiteral("descending"), sort.descending);
    settings_.endGroup();
}

QString RememberedState::ReportStartPath(const QString& initialName) {
    if (!Readable() || !QFileInfo(initialName).isRelative()) return initialName;
    const QString folder = settings_.value(kReportFolder).toString();
    if (folder.isEmpty() || !QFileInfo(folder).isAbsolute() || !QFileInfo(folder).isDir())
        return initialName;
    return QDir(folder).filePath(initialName);
}

void RememberedState::SaveReportFolderOf(const QString& reportPath) {
    if (!reportPath.isEmpty())
        settings_.setValue(kReportFolder, QFileInfo(reportPath).absolutePath());
}

void RememberChosenWidths(UserColumnWidths& memory, const QString& list) {
    if (!RememberedState::Enabled()) return;
    QObject::connect(&memory, &UserColumnWidths::WidthsChosen, &memory, [&memory, list] {
        RememberedState().SaveColumnWidths(list, memory.Widths());
    });
}

void RememberColumnWidths(ResultView& view, const QString& list) {
    if (!RememberedState::Enabled()) return;
    view.UseColumnWidths(RememberedState().ColumnWidths(list));
    RememberChosenWidths(*view.ColumnMemory(), list);
}

}  // namespace kestavo::ui
