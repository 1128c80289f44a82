// SPDX-License-Identifier: GPL-3.0-or-later
#include "tools/report_writer.h"

#include <cerrno>
#include <charconv>

namespace kestavo {

ReportWriter::ReportWriter(std::FILE* out) : out_(out) {
    buffer_.reserve(kFlushAt + 1024);
}

ReportWriter::~ReportWriter() {
    Flush();
}

void ReportWriter::Text(std::string_view text) {
    if (replaceControls_)
        AppendReplacingControls(text);
    else
        buffer_.append(text);
    if (buffer_.size() >= kFlushAt) Flush();
}

void ReportWriter::AppendReplacingControls(std::string_view text) {
    for (const char c : text) {
        const unsigned char byte = static_cast<unsigned char>(c);
        buffer_.push_back(byte < 0x20 || byte == 0x7f ? '?' : c);
    }
}

void ReportWriter::Blanks(std::size_t count) {
    buffer_.append(count, ' ');
}

void ReportWriter::RightAligned(std::string_view text, std::size_t width) {
    if (text.size() < width) Blanks(width - text.size());
    Text(text);
}

void ReportWriter::LeftAligned(std::string_view text, std::size_t width) {
    Text(text);
    if (text.size() < width) Blanks(width - text.size());
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
    report.RightAligned(date, 20);
    report.RightAligned(size, 10);
    report.Blanks(1);
    report.LeftAligned(name, 30);
    report.Blanks(1);
    report.Text(folder);
    report.EndLine();
}

void WriteEntryHeading(ReportWriter& report) {
    report.RightAligned("time", 20);
    report.RightAligned("size", 10);
    report.Text(" name                         ");
    report.Line("  path");
}

}  // namespace kestavo
