// SPDX-License-Identifier: GPL-3.0-or-later
// Starting a program for a file on the real disk: the desktop's default
// application (xdg-open), the desktop's text editor, or a named program.
#pragma once

#include <chrono>
#include <string>
#include <string_view>
#include <vector>

#include "media/launch_path.h"

namespace kestavo::media {

// The command line that opens `fullPath` with `program`: xdg-open for no
// program, the text editor rule for kTextEditorProgram, else the program
// with the full path as its one argument.
std::vector<std::string> LaunchCommand(const std::string& fullPath, const std::string& program);

// The words of a command line as a POSIX shell splits them, with nothing
// expanded and no shell run: blanks (space, tab, line end) separate words;
// a backslash keeps the next character as it is; single quotes keep all up
// to the next single quote; double quotes keep all up to the next double
// quote, a backslash there keeping only $ ` " \ and a line end. A
// backslash before a line end joins the lines. A quote left open runs to
// the end of the text; a backslash at the end stands for itself.
std::vector<std::string> ShellWords(std::string_view text);

// The desktop's text editor: the words of $VISUAL when it has any, else the
// first common graphical editor found on PATH, else xdg-open.
std::vector<std::string> TextEditorCommand();

// Starts real processes without a shell. Start never blocks for long: it
// waits a short while for an early exit to learn the child's status, and a
// child still running then counts as started (it is reaped when it ends).
class ProcessLauncher : public LaunchStarter {
public:
    explicit ProcessLauncher(
        std::chrono::milliseconds earlyExitWait = std::chrono::milliseconds(1500))
        : earlyExitWait_(earlyExitWait) {}

    int Start(const std::string& fullPath, const std::string& program) override;

private:
    std::chrono::milliseconds earlyExitWait_;
};

}  // namespace kestavo::media
