// SPDX-License-Identifier: GPL-3.0-or-later
// The desktop program's command line: catalog files to load, and the
// --help and --version answers, which need no display.
#pragma once

#include <QString>
#include <QStringList>
#include <optional>
#include <string>

namespace kestavo::ui {

// The text and exit status of an answer given on the terminal instead of
// opening a window.
struct TerminalAnswer {
    std::string text;
    bool toStandardError = false;
    int exitStatus = 0;
};

// --help (-h) and --version, looked for before anything else is made, so
// that they answer without a display. Nothing when neither is given.
std::optional<TerminalAnswer> EarlyAnswer(int argc, const char* const* argv);

// The catalog files given after the window system took its own options:
// each as an absolute path (file: URLs as their local paths). An unknown
// option is an error answer; "--" ends the options.
struct StartFiles {
    QStringList files;
    std::optional<TerminalAnswer> error;
};
StartFiles FilesOfArguments(const QStringList& arguments, const QString& currentFolder);

}  // namespace kestavo::ui
