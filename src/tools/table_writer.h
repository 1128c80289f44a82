// SPDX-License-Identifier: GPL-3.0-or-later
// Machine-readable results: rows of named, typed values written as CSV
// (RFC 4180), as one JSON array of objects, or as JSON Lines. The writers
// go through a ReportWriter, so output is buffered and write errors are
// caught as for the text reports.
#pragma once

#include <cstdint>
#include <memory>
#include <span>
#include <string_view>

#include "tools/report_writer.h"

namespace kestavo {

enum class TableFormat { Csv, Json, JsonLines };

// "csv", "json" or "jsonl"; false for any other text.
bool ParseTableFormat(std::string_view text, TableFormat& format);

// One value of a row: a text, an integer, or nothing (a compare row's side
// that does not exist).
struct TableValue {
    enum class Type : std::uint8_t { Text, Integer, Null };
    Type type = Type::Null;
    std::string_view text;
    std::int64_t number = 0;

    static TableValue Of(std::string_view text) { return {Type::Text, text, 0}; }
    static TableValue Of(std::int64_t number) { return {Type::Integer, {}, number}; }
    static TableValue None() { return {}; }
};

class TableWriter {
public:
    virtual ~TableWriter() = default;
    // The column names, once, before any row; rows give their values in
    // this order.
    virtual void Begin(std::span<const char* const> columns) = 0;
    virtual void Row(std::span<const TableValue> values) = 0;
    virtual void End() = 0;
};

// CSV: a header row, CR LF line ends, UTF-8 as the names are; a field that
// holds a comma, a double quote, CR or LF is quoted with its quotes
// doubled. Names are written exactly, with no escaping for spreadsheets.
class CsvTableWriter : public TableWriter {
public:
    explicit CsvTableWriter(ReportWriter& out) : out_(out) {}
    void Begin(std::span<const char* const> columns) override;
    void Row(std::span<const TableValue> values) override;
    void End() override {}

private:
    void Field(std::string_view text);
    ReportWriter& out_;
};

// JSON: an array with one object per row, each on its own line; with
// `lines` one object per line and no array (JSON Lines), so that any number
// of rows streams. Lines end with LF. Bytes of a text that are not UTF-8
// are written as U+FFFD, since JSON text must be UTF-8.
class JsonTableWriter : public TableWriter {
public:
    JsonTableWriter(ReportWriter& out, bool lines) : out_(out), lines_(lines) {}
    void Begin(std::span<const char* const> columns) override;
    void Row(std::span<const TableValue> values) override;
    void End() override;

private:
    void String(std::string_view text);
    ReportWriter& out_;
    bool lines_;
    std::span<const char* const> columns_;
    bool firstRow_ = true;
};

std::unique_ptr<TableWriter> MakeTableWriter(TableFormat format, ReportWriter& out);

// The JSON string form of `text` (quotes included) appended to `out`.
void AppendJsonString(std::string_view text, std::string& out);

}  // namespace kestavo
