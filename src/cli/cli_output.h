// SPDX-License-Identifier: GPL-3.0-or-later
// How the command line shows what the desktop program shows in windows.
#pragma once

#include <cstdio>
#include <functional>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "catalog/list_rows.h"
#include "catalog/messages.h"
#include "catalog/shown_contents.h"
#include "tools/report_writer.h"
#include "tools/table_writer.h"

namespace kestavo::cli {

struct Arguments;

// Whether standard output is a terminal.
bool StdoutIsTerminal();
// `text` as it is printed on standard output: on a terminal every character
// the locale cannot print becomes "?" (as ls shows names); a file or a pipe
// gets the bytes.
std::string ForStdout(std::string_view text);
// Notes the reason (errno) of a failed write on standard output.
void NoteOutputError(int error);
// Flushes standard output at the end of a command. A write error is
// reported on standard error and gives exit status 1; a reader that closed
// the pipe ends the command quietly. Otherwise answers `status`.
int FinishOutput(int status);

// Messages go to standard error, their text only. Questions are answered
// with their default button.
class StderrMessages : public MessageSink {
public:
    MessageAnswer Show(const Message& message) override;
};

// Prints the rows of what is shown on standard output as TAB-separated
// lines under a heading line: the file columns, or every disk column; each
// cell as ForStdout gives it.
void PrintContents(const ShownContents& shown);

// The table format asked for with --format (the parser has checked it);
// nullopt for the command's usual output.
std::optional<TableFormat> FormatOption(const Arguments& args);
// Writes a report to standard output, its texts as ForStdout gives them; a
// write error is noted for FinishOutput. Answers the exit status.
int PrintReport(const std::function<void(ReportWriter&)>& write);
// The same for a table.
int PrintTable(TableFormat format, const std::function<void(TableWriter&)>& write);

}  // namespace kestavo::cli
