// SPDX-License-Identifier: GPL-3.0-or-later
#include "tools/table_writer.h"

#include <gtest/gtest.h>

#include <cstdio>
#include <cstdlib>
#include <ctime>
#include <string>
#include <type_traits>

#include "tools/tool_tables.h"

namespace kestavo {
namespace {

using V = TableValue;

// What a table writer writes for `write`, through a report writer.
template <class Writer, class Write>
std::string Written(Write&& write, bool lines = false) {
    char* data = nullptr;
    std::size_t size = 0;
    std::FILE* memory = ::open_memstream(&data, &size);
    {
        ReportWriter report(memory);
        if constexpr (std::is_same_v<Writer, CsvTableWriter>) {
            CsvTableWriter table(report);
            write(table);
        } else {
            JsonTableWriter table(report, lines);
            write(table);
        }
    }
    std::fclose(memory);
    std::string text(data, size);
    std::free(data);
    return text;
}

constexpr const char* kColumns[] = {"name", "size", "side"};

void TwoRows(TableWriter& table) {
    table.Begin(kColumns);
    const TableValue first[] = {V::Of("plain.txt"), V::Of(std::int64_t{3000000000}), V::None()};
    const TableValue second[] = {V::Of("a, \"b\"\r\nc"), V::Of(std::int64_t{-1}), V::Of("")};
    table.Row(first);
    table.Row(second);
    table.End();
}

TEST(CsvTableWriterTest, QuotesOnlyFieldsThatNeedItAndEndsLinesWithCrLf) {
    EXPECT_EQ(Written<CsvTableWriter>(TwoRows),
              "name,size,side\r\n"
              "plain.txt,3000000000,\r\n"
              "\"a, \"\"b\"\"\r\nc\",-1,\r\n");
}

TEST(CsvTableWriterTest, KeepsNamesExactlyAsTheyAre) {
    // No spreadsheet escaping: a leading "=" stays, bytes that are not
    // UTF-8 stay.
    auto write = [](TableWriter& table) {
        constexpr const char* columns[] = {"name"};
        table.Begin(columns);
        const TableValue row[] = {
            V::Of("=1+2 B\xfc"
                  "cher")};
        table.Row(row);
        table.End();
    };
    EXPECT_EQ(Written<CsvTableWriter>(write),
              "name\r\n=1+2 B\xfc"
              "cher\r\n");
}

TEST(JsonTableWriterTest, WritesOneArrayOfTypedObjects) {
    EXPECT_EQ(Written<JsonTableWriter>(TwoRows),
              "[\n"
              "{\"name\":\"plain.txt\",\"size\":3000000000,\"side\":null},\n"
              "{\"name\":\"a, \\\"b\\\"\\r\\nc\",\"size\":-1,\"side\":\"\"}\n"
              "]\n");
    EXPECT_EQ(Written<JsonTableWriter>([](TableWriter& table) {
                  table.Begin(kColumns);
                  table.End();
              }),
              "[]\n");
}

TEST(JsonTableWriterTest, JsonLinesHoldOneObjectPerLineAndNothingElse) {
    EXPECT_EQ(Written<JsonTableWriter>(TwoRows, true),
              "{\"name\":\"plain.txt\",\"size\":3000000000,\"side\":null}\n"
              "{\"name\":\"a, \\\"b\\\"\\r\\nc\",\"size\":-1,\"side\":\"\"}\n");
    EXPECT_EQ(Written<JsonTableWriter>(
                  [](TableWriter& table) {
                      table.Begin(kColumns);
                      table.End();
                  },
                  true),
              "");
}

TEST(JsonStringTest, EscapesControlsAndReplacesBytesThatAreNotUtf8) {
    auto json = [](std::string_view text) {
        std::string out;
        AppendJsonString(text, out);
        return out;
    };
    EXPECT_EQ(json("Caf\xc3\xa9 \xe2\x80\x93 \xf0\x9f\x93\x81"),
              "\"Caf\xc3\xa9 \xe2\x80\x93 \xf0\x9f\x93\x81\"");
    EXPECT_EQ(json(std::string("a\\b\tc\x01\x1f\x7f")), "\"a\\\\b\\tc\\u0001\\u001f\x7f\"");
    const std::string replacement = "\xef\xbf\xbd";
    // A Windows-1252 byte, a cut sequence, an overlong form, a surrogate and
    // a value above U+10FFFF: each bad byte is one replacement character.
    EXPECT_EQ(json("R\xe9sum\xe9"), "\"R" + replacement + "sum" + replacement + "\"");
    EXPECT_EQ(json("x\xc3"), "\"x" + replacement + "\"");
    EXPECT_EQ(json("\xc0\xaf"), "\"" + replacement + replacement + "\"");
    EXPECT_EQ(json("\xed\xa0\x80"), "\"" + replacement + replacement + replacement + "\"");
    EXPECT_EQ(json("\xf4\x90\x80\x80"),
              "\"" + replacement + replacement + replacement + replacement + "\"");
}

TEST(TableFormatTest, KnowsTheThreeFormatNames) {
    TableFormat format = TableFormat::Csv;
    EXPECT_TRUE(ParseTableFormat("jsonl", format));
    EXPECT_EQ(format, TableFormat::JsonLines);
    EXPECT_TRUE(ParseTableFormat("json", format));
    EXPECT_EQ(format, TableFormat::Json);
    EXPECT_FALSE(ParseTableFormat("CSV", format));
    EXPECT_FALSE(ParseTableFormat("", format));
    EXPECT_EQ(format, TableFormat::Json);
}

// Runs with the time zone `zone`, restoring the one before.
class ZoneScope {
public:
    explicit ZoneScope(const char* zone) {
        if (const char* old = std::getenv("TZ")) old_ = old, hadOld_ = true;
        ::setenv("TZ", zone, 1);
        ::tzset();
    }
    ~ZoneScope() {
        if (hadOld_)
            ::setenv("TZ", old_.c_str(), 1);
        else
            ::unsetenv("TZ");
        ::tzset();
    }

private:
    std::string old_;
    bool hadOld_ = false;
};

std::string Iso(std::int64_t time) {
    char buffer[kIsoTimeCapacity];
    return std::string(IsoLocalTime(time, buffer));
}

TEST(IsoLocalTimeTest, GivesLocalTimeWithTheOffsetInForceThen) {
    {
        ZoneScope zone("Europe/Berlin");
        EXPECT_EQ(Iso(1714561320), "2024-05-01T13:02:00+02:00");  // summer time
        EXPECT_EQ(Iso(1704067200), "2024-01-01T01:00:00+01:00");
    }
    {
        ZoneScope zone("America/St_Johns");
        EXPECT_EQ(Iso(1704067200), "2023-12-31T20:30:00-03:30");
    }
    ZoneScope zone("UTC");
    EXPECT_EQ(Iso(0), "1970-01-01T00:00:00+00:00");
    EXPECT_EQ(Iso(-86400 * 366), "1968-12-31T00:00:00+00:00");
}

TEST(KindWordTest, NamesEveryKindOfEntry) {
    EXPECT_STREQ(KindWord(KIND_FILE), "file");
    EXPECT_STREQ(KindWord(KIND_FOLDER), "folder");
    EXPECT_STREQ(KindWord(KIND_ZIP_FOLDER), "zip-folder");
    EXPECT_STREQ(KindWord(KIND_FIXED_DISK), "fixed-disk");
    EXPECT_STREQ(KindWord(KIND_DEFAULT_DISK), "disk");
    EXPECT_STREQ(KindWord(KIND_CDROM_DISK), "cdrom-disk");
    EXPECT_STREQ(KindWord(KIND_REMOVABLE_DISK), "removable-disk");
}

}  // namespace
}  // namespace kestavo
