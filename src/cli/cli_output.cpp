// SPDX-License-Identifier: GPL-3.0-or-later
#include "cli/cli_output.h"

#include <unistd.h>

#include <cerrno>
#include <cstring>

#include "cli/arguments.h"
#include "tools/terminal_text.h"

namespace kestavo::cli {
namespace {

int firstOutputError = 0;

// Appends `text` as ForStdout gives it.
void AppendForStdout(std::string& out, std::string_view text) {
    if (StdoutIsTerminal())
        out += TerminalText(text);
    else
        out += text;
}

}  // namespace

bool StdoutIsTerminal() {
    static const bool terminal = ::isatty(STDOUT_FILENO) == 1;
    return terminal;
}

std::string ForStdout(std::string_view text) {
    std::string shown;
    AppendForStdout(shown, text);
    return shown;
}

void NoteOutputError(int error) {
    if (firstOutputError == 0) firstOutputError = error;
}

int FinishOutput(int status) {
    errno = 0;
    if (std::fflush(stdout) != 0) NoteOutputError(errno);
    if (!std::ferror(stdout) && firstOutputError == 0) return status;
    const int error = firstOutputError != 0 ? firstOutputError : EIO;
    // A reader that stopped reading (head, a pager) is no error to report.
    if (error != EPIPE)
        std::fprintf(stderr, "kestavo-cli: write error: %s\n", std::strerror(error));
    return kExitFailed;
}

MessageAnswer StderrMessages::Show(const Message& message) {
    std::fprintf(stderr, "%s\n", message.text.c_str());
    if (message.buttons == MessageButtons::Ok) return MessageAnswer::Ok;
    return message.defaultAnswer;
}

void PrintContents(const ShownContents& shown) {
    const std::vector<ListColumn> columns =
        shown.ListsDisks() ? DiskColumns(DiskColumnSwitches{}) : FileColumns();
    std::string line;
    for (const ListColumn& column : columns) {
        if (!line.empty()) line += '\t';
        line += column.heading;
    }
    line += '\n';
    std::fputs(line.c_str(), stdout);
    for (FileData* row : shown.RowsInInitialOrder()) {
        line.clear();
        for (std::size_t i = 0; i < columns.size(); ++i) {
            if (i) line += '\t';
            AppendForStdout(line, CellText(*row, columns[i].content));
        }
        line += '\n';
        if (std::fwrite(line.data(), 1, line.size(), stdout) != line.size()) NoteOutputError(errno);
    }
}

std::optional<TableFormat> FormatOption(const Arguments& args) {
    TableFormat format;
    const std::string* text = args.Option("--format");
    if (!text || !ParseTableFormat(*text, format)) return std::nullopt;
    return format;
}

int PrintReport(const std::function<void(ReportWriter&)>& write) {
    ReportWriter out(stdout);
    if (StdoutIsTerminal()) out.ShowForTerminal();
    write(out);
    if (out.Flush()) return kExitDone;
    NoteOutputError(out.ErrorNumber());
    return kExitFailed;
}

int PrintTable(TableFormat format, const std::function<void(TableWriter&)>& write) {
    return PrintReport(
        [&write, format](ReportWriter& out) { write(*MakeTableWriter(format, out)); });
}

}  // namespace kestavo::cli
