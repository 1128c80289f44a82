// SPDX-License-Identifier: GPL-3.0-or-later
#include <gtest/gtest.h>

#include <locale>

#include "catalog/mask.h"
#include "catalog/name_compare.h"

namespace kestavo {
namespace {

TEST(UpperCaseTest, ChangesOnlyAsciiLetters) {
    EXPECT_EQ(UpperCased("readMe-1.txt"), "README-1.TXT");
    EXPECT_EQ(UpperCased("café"), "CAFé");
    EXPECT_TRUE(EqualUpperCased("Photos", "PHOTOS"));
    EXPECT_FALSE(EqualUpperCased("café", "CAFÉ"));
    EXPECT_FALSE(EqualUpperCased("ab", "abc"));
}

TEST(UpperCaseTest, EveryByteCasesAsTheClassicLocaleDoes) {
    const auto& classic = std::use_facet<std::ctype<char>>(std::locale::classic());
    for (int i = 0; i < 256; ++i) {
        const char c = static_cast<char>(i);
        EXPECT_EQ(UpperCasedAscii(c), classic.toupper(c)) << i;
        EXPECT_EQ(LowerCasedAscii(c), classic.tolower(c)) << i;
        const std::string one(1, c);
        EXPECT_EQ(UpperCased(one), std::string(1, classic.toupper(c))) << i;
        EXPECT_EQ(EqualUpperCased(one, std::string(1, classic.tolower(c))), true) << i;
        EXPECT_EQ(CompareFoldedAscii(one, std::string(1, classic.toupper(c))), 0) << i;
    }
}

TEST(CaseInsensitiveTest, FoldsLettersOfTheLocale) {
    EXPECT_TRUE(SameNameIgnoringCase("README.TXT", "readme.txt"));
    EXPECT_TRUE(SameNameIgnoringCase("CAFÉ.TXT", "café.txt"));
    EXPECT_TRUE(SameNameIgnoringCase("ΣΟΦΙΑ", "σοφια"));
    EXPECT_FALSE(SameNameIgnoringCase("cafe", "café"));
    // Bytes that do not decode compare as bytes.
    EXPECT_TRUE(SameNameIgnoringCase("A\xff", "a\xff"));
    EXPECT_FALSE(SameNameIgnoringCase("a\xff", "a\xfe"));
    EXPECT_EQ(FoldedNameKey("Été"), FoldedNameKey("éTÉ"));
}

TEST(DisplayOrderTest, FoldsAsciiCaseThenOrdersByBytes) {
    EXPECT_LT(CompareDisplayOrder("apple", "Banana"), 0);
    EXPECT_LT(CompareDisplayOrder("Apple", "apple"), 0);
    EXPECT_EQ(CompareDisplayOrder("same", "same"), 0);
    EXPECT_LT(CompareDisplayOrder("ab", "abc"), 0);
    EXPECT_LT(CompareBytes("B", "a"), 0);
    EXPECT_GT(CompareBytes("\xc3\xa9", "z"), 0);
}

TEST(MaskTest, StarAndQuestionMark) {
    EXPECT_TRUE(MatchMask("*", "ANYTHING"));
    EXPECT_TRUE(MatchMask("*", ""));
    EXPECT_TRUE(MatchMask("", "NAME"));
    EXPECT_TRUE(MatchMask("README.TXT", "README.TXT"));
    EXPECT_FALSE(MatchMask("README.TXT", "README.TX"));
    EXPECT_TRUE(MatchMask("*.*", "A.B"));
    EXPECT_FALSE(MatchMask("*.*", "NODOT"));
    EXPECT_TRUE(MatchMask("?.TXT", "A.TXT"));
    EXPECT_FALSE(MatchMask("?.TXT", ".TXT"));
    EXPECT_FALSE(MatchMask("?.TXT", "AB.TXT"));
    // A star needs a character after the literal before it, unless it is
    // the whole mask.
    EXPECT_FALSE(MatchMask("A*", "A"));
    EXPECT_TRUE(MatchMask("A*", "AB"));
    EXPECT_TRUE(MatchMask("*.JPG", "HOLIDAY.JPG"));
    EXPECT_FALSE(MatchMask("*.JPG", "HOLIDAY.JPEG"));
    EXPECT_TRUE(MatchMask("F?LE*.D?C", "FILE12.DOC"));
}

TEST(MaskTest, QuestionMarkTakesOneCharacterOfTheLocale) {
    // In a UTF-8 locale "é" is two bytes and one character.
    EXPECT_TRUE(MatchMask("CAF?", "CAF\xc3\xa9"));
    EXPECT_FALSE(MatchMask("CAF??", "CAF\xc3\xa9"));
    EXPECT_TRUE(MatchMask("?AF?",
                          "\xc3\x89"
                          "AF\xc3\xa9"));
    EXPECT_TRUE(MatchMask("?", "\xe2\x82\xac"));
    EXPECT_TRUE(MatchMask("?.TXT", "\xe2\x82\xac.TXT"));
    EXPECT_TRUE(MatchMask("?*", "\xf0\x9f\x98\x80X"));
    // Bytes that do not decode count one each.
    EXPECT_TRUE(MatchMask("A??", "A\xff\xfe"));
    EXPECT_FALSE(MatchMask("A?", "A\xff\xfe"));
    EXPECT_TRUE(MatchMask("A??",
                          "A\xc3"
                          "B"));
    // "*" is unchanged: it matches any run of bytes.
    EXPECT_TRUE(MatchMask("CAF*", "CAF\xc3\xa9"));
}

TEST(MaskTest, LiteralAfterAStarMatchesAtItsRightmostPlace) {
    EXPECT_TRUE(MatchMask("*.DOC", "A.DOC.DOC"));
    EXPECT_FALSE(MatchMask("*A*A", "AXA"));
    // The first run takes the rightmost A, leaving none for the second.
    EXPECT_FALSE(MatchMask("*A*A", "AXAA"));
    EXPECT_TRUE(MatchMask("*X*A", "AXAA"));
    EXPECT_FALSE(MatchMask("*.DOC", "A.DOC.TXT"));
    EXPECT_TRUE(MatchMask("*X", "X"));
}

TEST(MaskTest, StarFollowedByAWildcardMatchesOnlyItself) {
    EXPECT_FALSE(MatchMask("**", "ABC"));
    EXPECT_FALSE(MatchMask("*?", "ABC"));
    EXPECT_FALSE(MatchMask("A**", "ABC"));
    EXPECT_TRUE(MatchMask("**", "**"));
    EXPECT_FALSE(MatchMask("**", ""));
}

TEST(MaskTest, StarAndLiteralIsTheSameAsASuffix) {
    const char* names[] = {"A.JPG", "a.jpg", "B.JPG.JPG", ".JPG", "JPG", "X.JPGX",
                           "",      "*.JPG", "photo.Jpg", "G",    "AB",  "ÉTÉ.JPG"};
    for (const char* mask : {"*.JPG", "*G", "*B", "*.jpg", "*ÉTÉ.JPG"}) {
        ASSERT_FALSE(SuffixOfStarMask(mask).empty()) << mask;
        for (const char* name : names)
            EXPECT_EQ(UpperCasedEndsWith(name, SuffixOfStarMask(mask)),
                      MatchMask(mask, UpperCased(name)))
                << mask << " " << name;
    }
    for (const char* mask : {"*", "**", "*?", "*.J?G", "A*", "*A*", ""})
        EXPECT_TRUE(SuffixOfStarMask(mask).empty()) << mask;
}

}  // namespace
}  // namespace kestavo
