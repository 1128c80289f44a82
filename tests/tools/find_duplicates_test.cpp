// SPDX-License-Identifier: GPL-3.0-or-later
#include "tools/find_duplicates.h"

#include <gtest/gtest.h>

#include <map>
#include <random>

#include "catalog/entry_kind.h"
#include "support/test_support.h"
#include "tools_test_support.h"

namespace kestavo {
namespace {

using test::CatalogHeader;
using test::Child;
using test::LoadText;
using test::ReportOf;
using Names = std::vector<std::string>;

class FindDuplicatesTest : public ::testing::Test {
protected:
    void Load(const std::string& label, const std::string& body) {
        LoadText(set, CatalogHeader() + "+ \"" + label + "\" 1 1 1 1 2000 0 0 0 < " + body + " >",
                 messages, label + ".kvx");
    }
    // Each row as its name, separators as "---".
    Names Rows(const DuplicateCriteria& criteria, std::int32_t threshold = 0,
               TreeItem node = kNoItem) {
        FindDuplicates tool(set, node);
        tool.SetCriteria(criteria);
        tool.SetThreshold(threshold);
        tool.FindNow();
        Names rows;
        for (std::size_t row = 0; row < tool.RowCount(); ++row)
            rows.emplace_back(tool.RowText(row, DuplicateColumn::Name));
        return rows;
    }

    CatalogSet set;
    test::RecordingMessages messages;
    static constexpr DuplicateCriteria kNamesOnly{true, false, false};
    static constexpr DuplicateCriteria kSizesOnly{false, true, false};
    static constexpr DuplicateCriteria kDatesOnly{false, false, true};
};

TEST(DuplicateKeyTest, EnabledPartsInOrderWithTheirSeparators) {
    CatalogSet set;
    test::RecordingMessages messages;
    LoadText(set,
             CatalogHeader() + "+ \"D\" 1 1 1 1 2000 0 0 0 < \"readme.txt\" 1234 1 1 2000 0 0 0 >",
             messages);
    FileData* entry = set.EntryNamed(Child(set, set.RootItem(), "D"), "readme.txt",
                                     SiblingMatch::FirstIgnoringCase);
    auto key = [entry](DuplicateCriteria criteria) {
        std::string text;
        AppendDuplicateKey(*entry, criteria, text);
        return text;
    };
    EXPECT_EQ(key({true, true, true}), "README.TXT~1234~946684800");
    EXPECT_EQ(key({true, false, false}), "README.TXT~");
    EXPECT_EQ(key({false, true, false}), "1234~");
    EXPECT_EQ(key({false, false, true}), "946684800");
}

TEST_F(FindDuplicatesTest, NamesOnlyIgnoreTheCaseOfLettersAndNeverTakeFolders) {
    Load("A", "\"readme.txt\" 1 1 1 2000 0 0 0 +\"README.TXT\" 0 0 1 1 2000 0 0 0 < >");
    Load("B", "\"README.TXT\" 2 2 2 2001 0 0 0 \"other\" 1 1 1 2000 0 0 0");
    EXPECT_EQ(Rows(kNamesOnly), (Names{"---", "readme.txt", "README.TXT"}));
    EXPECT_EQ(Rows({true, true, true}), (Names{"No duplicate files found"}));
}

TEST_F(FindDuplicatesTest, SizesCompareAsTextsOfTheCurrentUnit) {
    test::SizeUnitGuard guard;
    Load("A",
         "\"x\" 1500 1 1 2000 0 0 0 \"y\" 2000 1 1 2001 0 0 0 \"p\" 9 1 1 2000 0 0 0 "
         "\"q\" 9 1 1 2000 0 0 0 \"r\" 10 1 1 2000 0 0 0 \"s\" 10 1 1 2000 0 0 0");
    // In bytes, text order puts the set of size 10 before that of 9.
    EXPECT_EQ(Rows(kSizesOnly), (Names{"---", "r", "s", "---", "p", "q"}));
    SetSizeUnit(kUnitKB);
    set.ReleaseAllSizeTexts();
    EXPECT_EQ(Rows(kSizesOnly), (Names{"---", "p", "q", "r", "s", "---", "x", "y"}));
}

TEST_F(FindDuplicatesTest, DatesOnlyAndTheOrderOfSets) {
    Load("A",
         "\"one\" 1 1 1 2000 10 0 0 \"two\" 2 1 1 2000 10 0 0 \"AB\" 3 1 1 2000 0 0 0 "
         "\"A\" 4 1 1 2000 0 0 0");
    Load("B", "\"ab\" 5 1 1 2000 0 0 0 \"a\" 6 1 1 2000 0 0 0");
    EXPECT_EQ(Rows(kDatesOnly), (Names{"---", "AB", "A", "ab", "a", "---", "one", "two"}));
    // "~" orders above letters: AB~ comes before A~.
    EXPECT_EQ(Rows(kNamesOnly), (Names{"---", "AB", "ab", "---", "A", "a"}));
}

TEST_F(FindDuplicatesTest, ThresholdKeepsSetsWithOneFileLargeEnough) {
    test::SizeUnitGuard guard;
    Load("A", "\"small\" 5000 1 1 2000 0 0 0 \"mixed\" 5000 1 1 2000 0 0 0");
    Load("B", "\"small\" 5000 1 1 2000 0 0 0 \"mixed\" 11000 1 1 2000 0 0 0");
    SetSizeUnit(kUnitKB);
    EXPECT_EQ(Rows(kNamesOnly, 10), (Names{"---", "mixed", "mixed"}));
    EXPECT_EQ(Rows(kNamesOnly, 0).size(), 6u);
    EXPECT_EQ(Rows(kNamesOnly, -3).size(), 6u);
    EXPECT_EQ(Rows(kNamesOnly, 11), (Names{"No duplicate files found"}));
}

TEST_F(FindDuplicatesTest, ThresholdInBytesDoesNotWrapAround) {
    test::SizeUnitGuard guard;
    Load("A", "\"big\" 3000000000 1 1 2000 0 0 0 \"huge\" 4000000000 1 1 2000 0 0 0");
    Load("B", "\"big\" 3000000000 1 1 2000 0 0 0 \"huge\" 4000000000 1 1 2000 0 0 0");
    SetSizeUnit(kUnitMB);
    // 3000 MB is 3145728000 bytes, beyond a 32-bit product.
    EXPECT_EQ(Rows(kNamesOnly, 3000), (Names{"---", "huge", "huge"}));
}

TEST_F(FindDuplicatesTest, SubtreeSearchTakesEachFileOnceInCreationOrder) {
    Load("A",
         "\"f\" 1 1 1 2000 0 0 0 +\"dir\" 0 0 1 1 2000 0 0 0 < \"f\" 1 1 1 2000 0 0 0 "
         "+\"deeper\" 0 0 1 1 2000 0 0 0 < \"f\" 1 1 1 2000 0 0 0 > >");
    Load("B", "\"f\" 1 1 1 2000 0 0 0");
    const TreeItem a = Child(set, set.RootItem(), "A");
    FindDuplicates tool(set, Child(set, a, "dir"));
    tool.SetCriteria(kNamesOnly);
    tool.FindNow();
    ASSERT_EQ(tool.RowCount(), 3u);
    EXPECT_EQ(tool.RowText(1, DuplicateColumn::InFolder), "A/dir");
    EXPECT_EQ(tool.RowText(2, DuplicateColumn::InFolder), "A/dir/deeper");
    EXPECT_EQ(Rows(kNamesOnly, 0, set.RootItem()).size(), 5u);
    EXPECT_EQ(Rows(kNamesOnly).size(), 5u);
}

TEST_F(FindDuplicatesTest, NoCriteriaGivesTheErrorRowAndAnEmptySetGivesNone) {
    FindDuplicates empty(set, set.RootItem());
    empty.FindNow();
    ASSERT_EQ(empty.RowCount(), 1u);
    EXPECT_EQ(empty.RowText(0, DuplicateColumn::Name), "No duplicate files found");
    EXPECT_EQ(empty.KindOfRow(0), FindDuplicates::RowKind::NoDuplicates);
    EXPECT_EQ(empty.RowEntry(0), nullptr);

    Load("A", "\"f\" 1 1 1 2000 0 0 0");
    Load("B", "\"f\" 1 1 1 2000 0 0 0");
    FindDuplicates none(set, set.RootItem());
    none.SetCriteria({false, false, false});
    none.FindNow();
    ASSERT_EQ(none.RowCount(), 1u);
    EXPECT_EQ(none.RowText(0, DuplicateColumn::Name),
              "Error: All file comparison criteria disabled, please enable at least one.");
    EXPECT_EQ(none.KindOfRow(0), FindDuplicates::RowKind::NoCriteria);
    EXPECT_EQ(ReportOf(none),
              " Kestavo, Duplicate Files report\r\n"
              " ------------------------------------\r\n"
              " Search root        : My Removable Disk Drive\r\n"
              "\r\n"
              "                time      size name                           path\r\n"
              "\r\n"
              " 0 Duplicate sets found.\r\n");
}

TEST_F(FindDuplicatesTest, ReportListsEachSetUnderItsMarker) {
    Load("A",
         "\"same.txt\" 10 1 1 2000 10 0 0 +\"sub\" 0 0 1 1 2000 0 0 0 < \"SAME.TXT\" 10 1 1 2000 "
         "10 0 0 >");
    Load("B", "\"Same.txt\" 10 1 1 2000 10 0 0 \"lone\" 1 1 1 2000 0 0 0");
    FindDuplicates tool(set, set.RootItem());
    tool.FindNow();
    ASSERT_EQ(tool.RowCount(), 4u);
    EXPECT_EQ(tool.KindOfRow(0), FindDuplicates::RowKind::Separator);
    EXPECT_EQ(tool.RowText(1, DuplicateColumn::Size), "10");
    EXPECT_EQ(ReportOf(tool),
              " Kestavo, Duplicate Files report\r\n"
              " ------------------------------------\r\n"
              " Search root        : My Removable Disk Drive\r\n"
              "\r\n"
              "                time      size name                           path\r\n"
              "--->\r\n"
              "   01/01/00 10:00:00        10 same.txt                       A\r\n"
              "   01/01/00 10:00:00        10 SAME.TXT                       A/sub\r\n"
              "   01/01/00 10:00:00        10 Same.txt                       B\r\n"
              "\r\n"
              " 1 Duplicate sets found.\r\n");
}

TEST(ThresholdTextTest, TheDialogsIntegerRules) {
    std::int32_t value = 99;
    const struct {
        const char* text;
        bool ok;
        std::int32_t value;
    } cases[] = {
        {"12", true, 12},
        {"+5", true, 5},
        {" \t7 \t", true, 7},
        {"-40", true, -40},
        {"0", true, 0},
        {"00", true, 0},
        {"12abc", false, 0},
        {"", false, 0},
        {"   ", false, 0},
        {"-0", false, 0},
        {"+0", false, 0},
        {"1 2", false, 0},
        {"0x10", false, 0},
        {"2147483647", true, 2147483647},
        {"-2147483648", true, INT32_MIN},
        {"2147483648", false, 0},
        {"99999999999999999999", false, 0},
    };
    for (const auto& c : cases) {
        value = 99;
        EXPECT_EQ(ParseThresholdText(c.text, value), c.ok) << '"' << c.text << '"';
        if (c.ok) {
            EXPECT_EQ(value, c.value) << c.text;
        }
    }
    // Only the first 31 characters are read.
    EXPECT_TRUE(ParseThresholdText("5" + std::string(30, ' ') + "x", value));
    EXPECT_EQ(value, 5);
    EXPECT_FALSE(ParseThresholdText(std::string(31, ' ') + "5", value));
}

TEST_F(FindDuplicatesTest, AFailingThresholdTextKeepsThePreviousOneAndSaysWhy) {
    FindDuplicates tool(set, set.RootItem());
    EXPECT_TRUE(tool.SetThresholdText(" 12 ", messages));
    EXPECT_FALSE(tool.SetThresholdText("12abc", messages));
    EXPECT_EQ(tool.Threshold(), 12);
    ASSERT_EQ(messages.shown.size(), 1u);
    EXPECT_EQ(messages.shown[0].text, "Please enter an integer.");
}

TEST(UnitLabelTest, NamesTheUnitInForce) {
    test::SizeUnitGuard guard;
    CatalogSet set;
    EXPECT_EQ(FindDuplicates(set, kNoItem).UnitLabel(), "bytes");
    SetSizeUnit(kUnitMB);
    EXPECT_EQ(FindDuplicates(set, kNoItem).UnitLabel(), "MB");
    EXPECT_EQ(UnitLabel(kUnitKB), "KB");
    EXPECT_EQ(UnitLabel(7), "error");
}

// Enough files for the hashing and the sorting to share the work between
// two threads: the sets, their order and their members must be those of a
// plain grouping of the files by key.
TEST_F(FindDuplicatesTest, ManyFilesGiveTheSetsOfAPlainGroupingByKey) {
    std::mt19937 random(11);
    for (int disk = 0; disk < 3; ++disk) {
        std::string body;
        for (int folder = 0; folder < 40; ++folder) {
            body += "+\"f" + std::to_string(folder) + "\" 0 0 1 1 2000 0 0 0 < ";
            for (int file = 0; file < 1000; ++file) {
                std::string name =
                    "n" + std::to_string(random() % 20000) + (random() % 2 ? ".jpg" : ".JPG");
                body += "\"" + name + "\" " + std::to_string(random() % 8 * 1000) + " 1 1 " +
                        std::to_string(2000 + random() % 3) + " 0 0 0 ";
            }
            body += "> ";
        }
        Load("D" + std::to_string(disk), body);
    }
    std::vector<FileData*> files;
    set.CollectAllFiles(files);
    ASSERT_GT(files.size(), 100000u);

    for (const DuplicateCriteria criteria : {kNamesOnly, DuplicateCriteria{true, true, true}}) {
        std::map<std::string, std::vector<FileData*>> byKey;
        for (FileData* file : files) {
            std::string key;
            AppendDuplicateKey(*file, criteria, key);
            byKey[key].push_back(file);
        }
        std::vector<FileData*> expected;  // null for a separator
        for (const auto& [key, members] : byKey) {
            if (members.size() < 2) continue;
            expected.push_back(nullptr);
            expected.insert(expected.end(), members.begin(), members.end());
        }
        FindDuplicates tool(set, kNoItem);
        tool.SetCriteria(criteria);
        tool.FindNow();
        std::vector<FileData*> rows;
        for (std::size_t row = 0; row < tool.RowCount(); ++row) rows.push_back(tool.RowEntry(row));
        EXPECT_EQ(rows, expected) << criteria.sizes;
    }
}

}  // namespace
}  // namespace kestavo
