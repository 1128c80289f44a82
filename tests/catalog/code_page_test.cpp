// SPDX-License-Identifier: GPL-3.0-or-later
#include <gtest/gtest.h>

#include <cstdlib>

#include "catalog/code_page_decoder.h"
#include "catalog/code_page_guess.h"
#include "catalog/properties.h"
#include "support/test_support.h"

namespace kestavo {
namespace {

using test::Child;
using test::LoadText;

std::string Catalog(const std::string& disk, const std::string& file) {
    return "kvx_version_1_1\r\n< %drivetype default >\r\n+ \"" + disk +
           "\" 100 10 1 1 2001 0 0 0 <\r\n\"" + file + "\" 5 1 1 2001 0 0 0\r\n>\r\n";
}

TEST(CodePageTest, Windows1252NamesAreReadAsUtf8AndThePageIsShown) {
    CatalogSet set;
    test::RecordingMessages messages;
    LoadText(set,
             Catalog("\xDC"
                     "bersicht",
                     "R\xE9sum\xE9 \x96 2001.doc"),
             messages);
    const TreeItem disk = Child(set, set.RootItem(), "Übersicht");
    ASSERT_NE(disk, kNoItem);
    EXPECT_EQ(test::EntryNames(set, disk), std::vector<std::string>{"Résumé – 2001.doc"});
    EXPECT_EQ(PropertiesOfEntry(*set.EntryOfItem(disk)).codePage, "Windows-1252");
}

TEST(CodePageTest, Utf8CatalogsNameNoCodePage) {
    CatalogSet set;
    test::RecordingMessages messages;
    LoadText(set, Catalog("Übersicht", "Café"), messages);
    const TreeItem disk = Child(set, set.RootItem(), "Übersicht");
    EXPECT_EQ(PropertiesOfEntry(*set.EntryOfItem(disk)).codePage, "");
}

TEST(CodePageTest, DoubleByteTrailBytesAndUndefinedBytes) {
    std::optional<CodePageDecoder> decoder = CodePageDecoder::Open("CP932");
    ASSERT_TRUE(decoder);
    std::string out;
    decoder->Decode("\x95\x5C\x8E\xA6\x81", out);  // trail 0x5C; a lead byte at the end
    EXPECT_EQ(out, "表示\xEF\xBF\xBD");
    std::optional<CodePageDecoder> latin = CodePageDecoder::Open("WINDOWS-1252");
    out.clear();
    latin->Decode(
        "a\x81"
        "b",
        out);
    EXPECT_EQ(out,
              "a\xEF\xBF\xBD"
              "b");
    EXPECT_EQ(WindowsCodePageOf("ISO-8859-1"), "WINDOWS-1252");
    EXPECT_EQ(WindowsCodePageOf("SHIFT_JIS"), "CP932");
    EXPECT_EQ(CodePageDisplayName("cp1251"), "Windows-1251");
}

// A lead byte at the end of a name, before its closing quote, is one
// undefined byte: the quote still ends the name and the next record is read.
TEST(CodePageTest, ALeadByteBeforeTheClosingQuoteCutsNeitherItsRecordNorTheNext) {
    ::setenv("KESTAVO_CODEPAGE", "CP932", 1);
    CatalogSet set;
    test::RecordingMessages messages;
    const LoadOutcome outcome = LoadText(
        set,
        "kvx_version_1_1\r\n< %drivetype default >\r\n+ \"\x8E\xCA\x90^\" 100 10 1 1 2001 0 0 "
        "0 <\r\n"
        "\"\x95\x5C\x81\" 5 1 1 2001 0 0 0\r\n\"\x82\x61\x83\x5C.txt\" 6 1 1 2001 0 0 0\r\n>\r\n",
        messages);
    ::unsetenv("KESTAVO_CODEPAGE");
    EXPECT_EQ(outcome, LoadOutcome::Loaded);
    const TreeItem disk = Child(set, set.RootItem(), "写真");
    ASSERT_NE(disk, kNoItem);
    EXPECT_EQ(test::EntryNames(set, disk),
              (std::vector<std::string>{"表\xEF\xBF\xBD", "Ｂソ.txt"}));
    EXPECT_EQ(PropertiesOfEntry(*set.EntryOfItem(disk)).codePage, "CP932");
}

// A setting iconv does not know, or a code page in which the records
// themselves would read as something else, is passed over for the guess.
TEST(CodePageTest, ASettingThatCannotBeTheCatalogsCodePageGivesWayToTheGuess) {
    for (const char* setting : {"NO-SUCH-PAGE", "UTF-16", "UTF-7", "IBM037"}) {
        ::setenv("KESTAVO_CODEPAGE", setting, 1);
        CatalogSet set;
        test::RecordingMessages messages;
        const LoadOutcome outcome = LoadText(set,
                                             Catalog("B\xFC"
                                                     "cher",
                                                     "Caf\xE9 + Cr\xE8me.txt"),
                                             messages);
        ::unsetenv("KESTAVO_CODEPAGE");
        EXPECT_EQ(outcome, LoadOutcome::Loaded) << setting;
        const TreeItem disk = Child(set, set.RootItem(), "Bücher");
        ASSERT_NE(disk, kNoItem) << setting;
        EXPECT_EQ(test::EntryNames(set, disk), std::vector<std::string>{"Café + Crème.txt"});
        EXPECT_EQ(PropertiesOfEntry(*set.EntryOfItem(disk)).codePage, "Windows-1252") << setting;
    }
    EXPECT_FALSE(CodePageDecoder::Open("UTF-16"));
    EXPECT_TRUE(CodePageDecoder::Open("CP949"));
}

TEST(CodePageTest, TheSettingWinsOverTheGuess) {
    ::setenv("KESTAVO_CODEPAGE", "CP1251", 1);
    CatalogSet set;
    test::RecordingMessages messages;
    LoadText(set, Catalog("\xC4\xEE\xEA", "a"), messages);
    ::unsetenv("KESTAVO_CODEPAGE");
    EXPECT_NE(Child(set, set.RootItem(), "Док"), kNoItem);
}

}  // namespace
}  // namespace kestavo
