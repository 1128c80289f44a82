// SPDX-License-Identifier: GPL-3.0-or-later
// The rows of the tools and of the list pane as machine-readable tables:
// what each report or listing shows, with sizes in bytes, dates as ISO 8601
// local times with their offset, the kind as a word and the disk label.
// The window's CSV and kestavo-cli's come from the same functions.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>

#include "catalog/file_data.h"
#include "catalog/shown_contents.h"
#include "tools/disk_comparison.h"
#include "tools/find_duplicates.h"
#include "tools/find_files.h"
#include "tools/table_writer.h"

namespace kestavo {

// "file", "folder", "zip-folder", or for a disk "fixed-disk", "disk",
// "cdrom-disk", "removable-disk".
const char* KindWord(int kind);

// `time` in local time with the offset from UTC in force then, for example
// 2024-05-01T13:02:00+02:00.
inline constexpr std::size_t kIsoTimeCapacity = 40;
std::string_view IsoLocalTime(std::int64_t time, char (&buffer)[kIsoTimeCapacity]);

// The label of the disk `entry` is on; a disk's own name for a disk.
std::string_view DiskLabelOf(const FileData& entry);

// Each writes the header and one row per result row; rows that stand for
// no entry (messages, separators) give none.
// Find Files: name, folder, disk, kind, size, size_text, date.
void WriteFindFilesTable(FindFiles& tool, TableWriter& out);
// Find Duplicates: set (numbered from 1), name, folder, disk, kind, size,
// size_text, date.
void WriteDuplicatesTable(const FindDuplicates& tool, TableWriter& out);
// Compare: status, name, folder, disk (the label compared), and for each
// side the row has, catalog_size, catalog_size_text, catalog_date,
// disk_size, disk_size_text, disk_date (null for a side it has not).
void WriteCompareTable(const DiskComparison& tool, std::string_view diskLabel, TableWriter& out);
// A listing: for the disks disk, kind, size, size_text, free, free_text,
// date (the cataloguing date); for a container's contents name, folder,
// disk, kind, size, size_text, date. Rows in the initial order.
void WriteContentsTable(const ShownContents& shown, TableWriter& out);

// Creates or truncates `path` and writes the table into it as CSV; false
// when the file cannot be written.
template <class Write>
bool SaveCsvFile(const std::string& path, Write&& write) {
    return WriteReportFile(path, [&](ReportWriter& report) {
        CsvTableWriter table(report);
        write(static_cast<TableWriter&>(table));
    });
}

}  // namespace kestavo
