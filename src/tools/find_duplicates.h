// SPDX-License-Identifier: GPL-3.0-or-later
// Find Duplicates: files below one node of the catalog tree that agree on
// every enabled criterion (name ignoring the case of a-z, size text,
// date-time value), listed set by set under separator rows, and their
// report. One object per dialog.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "catalog/catalog_set.h"
#include "catalog/messages.h"
#include "tools/report_writer.h"

namespace kestavo {

enum class DuplicateColumn { Name = 0, Size = 1, Date = 2, InFolder = 3 };

inline constexpr const char* kPleaseEnterAnInteger = "Please enter an integer.";
inline constexpr const char* kNoDuplicatesFound = "No duplicate files found";
inline constexpr const char* kAllCriteriaDisabled =
    "Error: All file comparison criteria disabled, please enable at least one.";

// Reads a threshold box by the dialog's integer rules: blanks and tabs
// around an optional sign and decimal digits, a zero written starting with
// the digit 0 (so -0 and +0 fail), only the first 31 characters read, and
// a value that fits a signed 32-bit integer. False for anything else.
bool ParseThresholdText(std::string_view text, std::int32_t& value);

// "bytes", "KB", "MB", or "error" for any other unit.
std::string UnitLabel(int sizeUnit);

struct DuplicateCriteria {
    bool names = true;
    bool sizes = true;
    bool dates = true;
    bool Any() const { return names || sizes || dates; }
};

// The key that groups duplicates: the upper-cased name and "~", the size
// text and "~", the date-time value in decimal, each when enabled. The
// size text is in `sizeUnit`, which worker threads are given; the first
// form uses the unit now in force.
void AppendDuplicateKey(FileData& entry, const DuplicateCriteria& criteria, std::string& key);
void AppendDuplicateKey(FileData& entry, const DuplicateCriteria& criteria, int sizeUnit,
                        std::string& key);

class FindDuplicates {
public:
    // A separator row starts each set; a message row tells that all
    // criteria are off, or that no set was found.
    enum class RowKind : std::uint8_t { Separator, Entry, NoCriteria, NoDuplicates };

    // `searchRoot` kNoItem searches every catalog. The unit label is taken
    // from the size unit now in force.
    FindDuplicates(CatalogSet& set, TreeItem searchRoot);

    void SetCriteria(const DuplicateCriteria& criteria) { criteria_ = criteria; }
    const DuplicateCriteria& Criteria() const { return criteria_; }
    // Takes the threshold box's text; on failure shows "Please enter an
    // integer." and keeps the threshold in force.
    bool SetThresholdText(std::string_view text, MessageSink& messages);
    void SetThreshold(std::int32_t threshold) { threshold_ = threshold; }
    std::int32_t Threshold() const { return threshold_; }
    const std::string& UnitLabel() const { return unitLabel_; }
    const std::string& SearchRootText() const { return searchRootText_; }
    const std::string& ReportFileName() const { return reportFileName_; }

    // Replaces the rows: for each duplicate set, in ascending byte order of
    // its key, whose largest file reaches the threshold, a separator row and
    // one row per file; else one message row.
    void FindNow();

    std::size_t RowCount() const { return rows_.size(); }
    RowKind KindOfRow(std::size_t row) const { return rows_[row].kind; }
    FileData* RowEntry(std::size_t row) const { return rows_[row].entry; }
    std::string_view RowText(std::size_t row, DuplicateColumn column) const;

    bool SaveReport(const std::string& path);
    void WriteReport(ReportWriter& report) const;

private:
    struct Row {
        FileData* entry;
        const char* message;  // the text of a separator or message row
        RowKind kind;
    };
    void Collect(std::vector<FileData*>& collection) const;
    void ListSets(std::vector<FileData*>& collection, std::int64_t thresholdBytes, int sizeUnit);

    CatalogSet& set_;
    TreeItem searchRoot_;
    std::string searchRootText_;
    DuplicateCriteria criteria_;
    std::int32_t threshold_ = 0;
    std::string unitLabel_;
    std::string reportFileName_ = "DuplicateFiles.txt";
    std::vector<Row> rows_;
};

}  // namespace kestavo
