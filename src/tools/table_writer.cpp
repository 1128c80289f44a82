// SPDX-License-Identifier: GPL-3.0-or-later
#include "tools/table_writer.h"

#include <charconv>
#include <string>

namespace kestavo {
namespace {

// The length of the well-formed UTF-8 sequence at the start of `text`, or 0
// when its first byte does not begin one (overlong forms, surrogates and
// values above U+10FFFF are not well formed).
std::size_t Utf8SequenceLength(std::string_view text) {
    const auto byte = [&](std::size_t i) { return static_cast<unsigned char>(text[i]); };
    const unsigned char lead = byte(0);
    std::size_t length = 0;
    unsigned char low = 0x80, high = 0xbf;  // range of the second byte
    if (lead < 0x80) return 1;
    if (lead >= 0xc2 && lead <= 0xdf) {
        length = 2;
    } else if (lead >= 0xe0 && lead <= 0xef) {
        length = 3;
        if (lead == 0xe0) low = 0xa0;
        if (lead == 0xed) high = 0x9f;
    } else if (lead >= 0xf0 && lead <= 0xf4) {
        length = 4;
        if (lead == 0xf0) low = 0x90;
        if (lead == 0xf4) high = 0x8f;
    } else {
        return 0;
    }
    if (text.size() < length || byte(1) < low || byte(1) > high) return 0;
    for (std::size_t i = 2; i < length; ++i)
        if (byte(i) < 0x80 || byte(i) > 0xbf) return 0;
    return length;
}

void AppendEscapedControl(unsigned char c, std::string& out) {
    switch (c) {
        case '\b':
            out += "\\b";
            return;
        case '\f':
            out += "\\f";
            return;
        case '\n':
            out += "\\n";
            return;
        case '\r':
            out += "\\r";
            return;
        case '\t':
            out += "\\t";
            return;
        default:
            static const char kHex[] = "0123456789abcdef";
            out += "\\u00";
            out += kHex[c >> 4];
            out += kHex[c & 0xf];
    }
}

bool NeedsCsvQuotes(std::string_view text) {
    return text.find_first_of(",\"\r\n") != std::string_view::npos;
}

std::string_view IntegerText(std::int64_t value, char (&digits)[24]) {
    const auto end = std::to_chars(digits, digits + sizeof digits, value).ptr;
    return std::string_view(digits, static_cast<std::size_t>(end - digits));
}

}  // namespace

bool ParseTableFormat(std::string_view text, TableFormat& format) {
    if (text == "csv")
        format = TableFormat::Csv;
    else if (text == "json")
        format = TableFormat::Json;
    else if (text == "jsonl")
        format = TableFormat::JsonLines;
    else
        return false;
    return true;
}

void AppendJsonString(std::string_view text, std::string& out) {
    out += '"';
    while (!text.empty()) {
        const unsigned char c = static_cast<unsigned char>(text.front());
        const std::size_t length = Utf8SequenceLength(text);
        if (length == 0) {
            out += "\xef\xbf\xbd";  // U+FFFD for a byte that is not UTF-8
            text.remove_prefix(1);
            continue;
        }
        if (c == '"' || c == '\\') {
            out += '\\';
            out += static_cast<char>(c);
        } else if (c < 0x20) {
            AppendEscapedControl(c, out);
        } else {
            out.append(text.substr(0, length));
        }
        text.remove_prefix(length);
    }
    out += '"';
}

void CsvTableWriter::Field(std::string_view text) {
    if (!NeedsCsvQuotes(text)) {
        out_.Text(text);
        return;
    }
    std::string quoted = "\"";
    for (const char c : text) {
        if (c == '"') quoted += '"';
        quoted += c;
    }
    quoted += '"';
    out_.Text(quoted);
}

void CsvTableWriter::Begin(std::span<const char* const> columns) {
    for (std::size_t i = 0; i < columns.size(); ++i) {
        if (i) out_.Text(",");
        Field(columns[i]);
    }
    out_.EndLine();
}

void CsvTableWriter::Row(std::span<const TableValue> values) {
    char digits[24];
    for (std::size_t i = 0; i < values.size(); ++i) {
        if (i) out_.Text(",");
        const TableValue& value = values[i];
        if (value.type == TableValue::Type::Text)
            Field(value.text);
        else if (value.type == TableValue::Type::Integer)
            out_.Text(IntegerText(value.number, digits));
    }
    out_.EndLine();
}

void JsonTableWriter::Begin(std::span<const char* const> columns) {
    columns_ = columns;
    if (!lines_) out_.Text("[");
}

void JsonTableWriter::String(std::string_view text) {
    std::string quoted;
    quoted.reserve(text.size() + 2);
    AppendJsonString(text, quoted);
    out_.Text(quoted);
}

void JsonTableWriter::Row(std::span<const TableValue> values) {
    if (!lines_) {
        out_.Text(firstRow_ ? "" : ",");
        out_.EndLineLf();
    }
    firstRow_ = false;
    char digits[24];
    out_.Text("{");
    for (std::size_t i = 0; i < values.size() && i < columns_.size(); ++i) {
        if (i) out_.Text(",");
        String(columns_[i]);
        out_.Text(":");
        const TableValue& value = values[i];
        if (value.type == TableValue::Type::Text)
            String(value.text);
        else if (value.type == TableValue::Type::Integer)
            out_.Text(IntegerText(value.number, digits));
        else
            out_.Text("null");
    }
    out_.Text("}");
    if (lines_) out_.EndLineLf();
}

void JsonTableWriter::End() {
    if (lines_) return;
    if (!firstRow_) out_.EndLineLf();
    out_.Text("]");
    out_.EndLineLf();
}

std::unique_ptr<TableWriter> MakeTableWriter(TableFormat format, ReportWriter& out) {
    if (format == TableFormat::Csv) return std::make_unique<CsvTableWriter>(out);
    return std::make_unique<JsonTableWriter>(out, format == TableFormat::JsonLines);
}

}  // namespace kestavo
