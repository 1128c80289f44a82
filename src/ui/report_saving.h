// SPDX-License-Identifier: GPL-3.0-or-later
// Saving a tool's report where the user chose, and saying so when the file
// cannot be written (a full disk, a folder without permission).
#pragma once

#include <QString>
#include <functional>
#include <string>

namespace kestavo::ui {

class Prompter;

// Calls `save` with the chosen path; a report that could not be written
// gets a message naming the file and the reason.
void SaveReportFile(Prompter& prompter, const QString& path,
                    const std::function<bool(const std::string&)>& save);

// Whether the chosen file is to hold CSV: its name ends in ".csv", as the
// save dialog's "CSV File (*.csv)" filter makes it.
bool IsCsvFileName(const QString& path);

// The same, writing the rows shown as CSV through `saveCsv` when the file
// is a CSV file, else the text report through `saveReport`.
void SaveReportFile(Prompter& prompter, const QString& path,
                    const std::function<bool(const std::string&)>& saveReport,
                    const std::function<bool(const std::string&)>& saveCsv);

}  // namespace kestavo::ui
