// SPDX-License-Identifier: GPL-3.0-or-later
// The fixed-layout text reports of the tools: lines ending with CR LF,
// fields padded with blanks. A report is written through one buffer, to a
// file or to a caller's stream.
#pragma once

#include <cstdint>
#include <cstdio>
#include <string>
#include <string_view>

namespace kestavo {

class ReportWriter {
public:
    // Writes to `out`, which stays open and owned by the caller.
    explicit ReportWriter(std::FILE* out);
    ~ReportWriter();
    ReportWriter(const ReportWriter&) = delete;
    ReportWriter& operator=(const ReportWriter&) = delete;

    void Text(std::string_view text);
    void Blanks(std::size_t count);
    // `text` preceded by blanks up to `width` characters; a longer text is
    // written whole.
    void RightAligned(std::string_view text, std::size_t width);
    // `text` followed by blanks up to `width` characters; a longer text is
    // written whole.
    void LeftAligned(std::string_view text, std::size_t width);
    void Number(std::int64_t value);
    void EndLine();
    // A line ending of LF alone (JSON output).
    void EndLineLf();
    // Writes a whole line: `text` and the line ending.
    void Line(std::string_view text);
    // Hands everything buffered to the stream; false when a write failed.
    bool Flush();
    bool Failed() const { return failed_; }
    // The system's reason for the first failed write (errno), 0 if none.
    int ErrorNumber() const { return errorNumber_; }
    // From now on texts are written as a terminal may show them (every
    // character the locale cannot print as "?", see TerminalText), and are
    // padded by what is written; line ends stay as they are.
    void ShowForTerminal() { forTerminal_ = true; }

private:
    static constexpr std::size_t kFlushAt = 1 << 16;
    enum class Padding { Before, After };
    void Aligned(std::string_view text, std::size_t width, Padding padding);
    std::FILE* out_;
    std::string buffer_;
    bool failed_ = false;
    bool forTerminal_ = false;
    int errorNumber_ = 0;
};

// Creates or truncates `path` and fills it through `write`; answers false
// when the file cannot be created or written (the caller decides whether
// anyone is told).
template <class Write>
bool WriteReportFile(const std::string& path, Write&& write) {
    std::FILE* file = std::fopen(path.c_str(), "wb");
    if (!file) return false;
    bool written = false;
    {
        ReportWriter report(file);
        write(report);
        written = report.Flush();
    }
    return (std::fclose(file) == 0) && written;
}

// The widths of the report columns, in bytes: a date and time, a size, and
// a name (padded, never cut).
inline constexpr std::size_t kDateColumnWidth = 20;
inline constexpr std::size_t kSizeColumnWidth = 10;
inline constexpr std::size_t kNameColumnWidth = 30;

// The row line shared by the Find Files and Duplicate Files reports: the
// date right-aligned in its column, the size likewise, a blank, the name
// padded to its column, a blank and the folder.
void WriteEntryLine(ReportWriter& report, std::string_view date, std::string_view size,
                    std::string_view name, std::string_view folder);
// The column heading over those lines.
void WriteEntryHeading(ReportWriter& report);

}  // namespace kestavo
