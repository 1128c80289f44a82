// SPDX-License-Identifier: GPL-3.0-or-later
#include "cli/cli_output.h"

#include <unistd.h>

#include <cerrno>
#include <cstring>

#include "cli/cli_commands.h"
#include "tools/report_writer.h"
#include "tools/terminal_text.h"

namespace kestavo::cli {
namespace {

int firstOutputError = 0;

}  // namespace

bool StdoutIsTerminal() {
    static const bool terminal = ::isatty(STDOUT_FILENO) == 1;
    return terminal;
}

std::string ForStdout(std::string_view text) {
    return StdoutIsTerminal() ? TerminalText(text) : std::string(text);
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

void PrintContents(const ShownContents& shown, std::FILE* out, bool forTerminal) {
    const std::vector<ListColumn> columns =
        shown.ListsDisks() ? DiskColumns(DiskColumnSwitches{}) : FileColumns();
    std::string line;
    for (const ListColumn& column : columns) {
        if (!line.empty()) line += '\t';
        line += column.heading;
    }
    line += '\n';
    std::fputs(line.c_str(), out);
    for (FileData* row : shown.RowsInInitialOrder()) {
        line.clear();
        for (std::size_t i = 0; i < columns.size(); ++i) {
            if (i) line += '\t';
            if (forTerminal)
                line += TerminalText(CellText(*row, columns[i].content));
            else
                line += CellText(*row, columns[i].content);
        }
        line += '\n';
        if (std::fwrite(line.data(), 1, line.size(), out) != line.size()) NoteOutputError(errno);
    }
}

std::optional<TableFormat> FormatOption(const Arguments& args) {
    TableFormat format;
    const std::string* text = args.Option("--format");
    if (!text || !ParseTableFormat(*text, format)) return std::nullopt;
    return format;
}

int PrintTable(TableFormat format, const std::function<void(TableWriter&)>& write) {
    ReportWriter out(stdout);
    if (StdoutIsTerminal()) out.ShowForTerminal();
    write(*MakeTableWriter(format, out));
    if (out.Flush()) return kExitDone;
    NoteOutputError(out.ErrorNumber());
    return kExitFailed;
}

}  // namespace kestavo::cli
