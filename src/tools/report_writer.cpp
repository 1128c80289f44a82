// SPDX-License-Identifier: GPL-3.0-or-later
#include "tools/report_writer.h"

#include <cerrno>
#include <charconv>

#include "tools/terminal_text.h"

namespace kestavo {

ReportWriter::ReportWriter(std::FILE* out) : out_(out) {
    buffer_.reserve(kFlushAt + 1024);
}

ReportWriter::~ReportWriter() {
    Flush();
}

void ReportWriter::Text(std::string_view text) {
    Aligned(text, /*width=*/0, Padding::After);
}

void ReportWriter::Aligned(std::string_view text, std::size_t width, Padding padding) {
    std::string shown;
    if (forTerminal_) {
        shown = TerminalText(text);
        text = shown;
    }
    const std::size_t blanks = text.size() < width ? width - text.size() : 0;
    if (padding == Padding::Before) buffer_.append(blanks, ' ');
    buffer_.append(text);
    if (padding == Padding::After) buffer_.append(blanks, ' ');
    if (buffer_.size() >= kFlushAt) Flush();
}

void ReportWriter::Blanks(std::size_t count) {
    buffer_.append(count, ' ');
}

void ReportWriter::RightAligned(std::string_view text, std::size_t width) {
    Aligned(text, width, Padding::Before);
}

void ReportWriter::LeftAligned(std::string_view text, std::size_t width) {
    Aligned(text, width, Padding::After);
}

void ReportWriter::Number(std::int64_t value) {
    char digits[24];
    const auto end = std::to_chars(digits, digits + sizeof digits, value).ptr;
    Text(std::string_view(digits, static_cast<std::size_t>(end - digits)));
}

void ReportWriter::EndLine() {
    buffer_.append("\r\n");
    if (buffer_.size() >= kFlushAt) Flush();
}

void ReportWriter::EndLineLf() {
    buffer_.push_back('\n');
    if (buffer_.size() >= kFlushAt) Flush();
}

void ReportWriter::Line(std::string_view text) {
    Text(text);
    EndLine();
}

bool ReportWriter::Flush() {
    if (buffer_.empty()) return !failed_;
    auto noteFailure = [this] {
        if (!failed_) errorNumber_ = errno;
        failed_ = true;
    };
    if (std::fwrite(buffer_.data(), 1, buffer_.size(), out_) != buffer_.size()) noteFailure();
    buffer_.clear();
    if (std::fflush(out_) != 0) noteFailure();
    return !failed_;
}

void WriteEntryLine(ReportWriter& report, std::string_view date, std::string_view size,
                    std::string_view name, std::string_view folder) {
    report.RightAligned(date, kDateColumnWidth);
    report.RightAligned(size, kSizeColumnWidth);
    report.Blanks(1);
    report.LeftAligned(name, kNameColumnWidth);
    report.Blanks(1);
    report.Text(folder);
    report.EndLine();
}

void WriteEntryHeading(ReportWriter& report) {
    report.RightAligned("time", kDateColumnWidth);
    report.RightAligned("size", kSizeColumnWidth);
    report.Text(" name                         ");
    report.Line("  path");
}

}  // namespace kestavo
