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

}  // namespace kestavo::ui
