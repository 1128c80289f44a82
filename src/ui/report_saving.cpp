// SPDX-License-Identifier: GPL-3.0-or-later
#include "ui/report_saving.h"

#include <cerrno>
#include <cstring>

#include "ui/prompter.h"

namespace kestavo::ui {

void SaveReportFile(Prompter& prompter, const QString& path,
                    const std::function<bool(const std::string&)>& save) {
    const std::string file = path.toStdString();
    errno = 0;
    if (save(file)) return;
    const int error = errno;
    Message m;
    m.caption = kApplicationName;
    m.text = "Cannot write the report " + file + "\n" +
             (error ? std::strerror(error) : "The file could not be written.");
    m.icon = MessageIcon::Exclamation;
    prompter.Show(m);
}

bool IsCsvFileName(const QString& path) {
    return path.endsWith(QStringLiteral(".csv"), Qt::CaseInsensitive);
}

void SaveReportFile(Prompter& prompter, const QString& path,
                    const std::function<bool(const std::string&)>& saveReport,
                    const std::function<bool(const std::string&)>& saveCsv) {
    SaveReportFile(prompter, path, IsCsvFileName(path) ? saveCsv : saveReport);
}

}  // namespace kestavo::ui
