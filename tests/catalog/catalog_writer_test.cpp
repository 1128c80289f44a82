// SPDX-License-Identifier: GPL-3.0-or-later
#include "catalog/catalog_writer.h"

#include <gtest/gtest.h>
#include <unistd.h>

#include <csignal>
#include <fstream>

#include "catalog/catalog_reader.h"
#include "support/test_support.h"

namespace kestavo {
namespace {

// Writes with a CatalogWriter into a file and gives back the text.
class WriterTest : public ::testing::Test {
protected:
    template <class Write>
    std::string Written(Write write) {
        const std::string path = (dir.Path() / "w.kvx").string();
        std::FILE* file = std::fopen(path.c_str(), "wb");
        {
            CatalogWriter writer(::fileno(file));
            write(writer);
        }
        std::fclose(file);
        std::ifstream in(path, std::ios::binary);
        return std::string(std::istreambuf_iterator<char>(in), {});
    }
    test::TempDir dir;
};

TEST(CatalogNameTest, QuotesBecomeApostrophesAndWhiteSpaceRunsOneBlank) {
    EXPECT_EQ(CatalogName("plain.txt"), "plain.txt");
    EXPECT_EQ(CatalogName("say \"hi\".txt"), "say 'hi'.txt");
    EXPECT_EQ(CatalogName("  \t lead"), "lead");
    EXPECT_EQ(CatalogName("a \t\r\n\v\fb"), "a b");
    EXPECT_EQ(CatalogName("trail \t "), "trail ");
    EXPECT_EQ(CatalogName("caf\xc3\xa9"), "caf\xc3\xa9");
}

// A name the clean-up would turn into a path step keeps a "_" in front, so
// that no catalog path leaves its folder.
TEST(CatalogNameTest, NoNameIsWrittenAsEmptyDotDotDotOrWithASlash) {
    EXPECT_EQ(CatalogName(" \t "), "_");
    EXPECT_EQ(CatalogName(""), "_");
    EXPECT_EQ(CatalogName(" .."), "_..");
    EXPECT_EQ(CatalogName("\t."), "_.");
    EXPECT_EQ(CatalogName("..."), "...");
    EXPECT_EQ(CatalogName("a/b"), "a_b");
    EXPECT_EQ(CleanedName(" .."), "..");  // labels are checked on the cleaned name
}

TEST_F(WriterTest, WritesTheHeaderAndRecordsWithCrLfAndPlainDecimals) {
    const DateFields date{1998, 10, 7, 14, 30, 5};
    const std::string text = Written([&](CatalogWriter& w) {
        w.Header("fixed");
        w.BeginDisk("DISK1", 1048576, 262144, date);
        w.File("read me.txt", 1200, {1998, 10, 5, 9, 0, 0});
        w.BeginContainer("old.zip", 30500, {1998, 9, 1, 12, 0, 0});
        w.EndContainer();
        w.EndContainer();
    });
    EXPECT_EQ(text,
              "kvx_version_1_1\r\n< \r\n   %drivetype fixed\r\n> \r\n"
              "+\r\n\"DISK1\" 1048576 262144 7 10 1998 14 30 5 <\r\n"
              "\"read me.txt\" 1200 5 10 1998 9 0 0\r\n"
              "+\"old.zip\" 30500 0 1 9 1998 12 0 0 <\r\n>\r\n>\r\n");
}

// Whatever a name holds, the reader gets back the normalised name and the
// numbers after it.
TEST_F(WriterTest, NamesTheFormatCannotHoldReadBackNormalised) {
    const std::vector<std::string> names = {
        "\"quoted\"", "  leading",  "two  blanks", "tab\there", "line\r\nbreak",
        "trailing  ", " ",          "\"",          "<",         ">",
        "+",          "%drivetype", "caf\xc3\xa9", "x\"y z"};
    const DateFields date{2001, 2, 3, 4, 5, 6};
    const std::string text = Written([&](CatalogWriter& w) {
        w.Header("default");
        w.BeginDisk("D", 1, 0, date);
        w.BeginContainer("folder  \"x\"", 0, date);
        for (const std::string& name : names) w.File(name, 3000000000LL, date);
        w.EndContainer();
        w.EndContainer();
    });
    CatalogSet set;
    test::RecordingMessages messages;
    ASSERT_EQ(test::LoadText(set, text, messages), LoadOutcome::Loaded);
    EXPECT_TRUE(messages.shown.empty());
    const TreeItem disk = test::Child(set, set.RootItem(), "D");
    const TreeItem folder = test::Child(set, disk, "folder 'x'");
    ASSERT_NE(folder, kNoItem);
    std::vector<std::string> expected;
    for (const std::string& name : names) expected.push_back(CatalogName(name));
    EXPECT_EQ(test::EntryNames(set, folder), expected);
    set.ForEachEntryUnder(folder, [&](FileData& e) {
        EXPECT_EQ(e.Size(), 3000000000LL) << e.GetName();
        EXPECT_EQ(set.DateTextOf(e), "02/03/01 04:05:06") << e.GetName();
    });
}

TEST_F(WriterTest, AFailedWriteIsReportedNotLost) {
    int pipeEnds[2];
    ASSERT_EQ(::pipe(pipeEnds), 0);
    ::close(pipeEnds[0]);  // writing now fails with EPIPE
    std::signal(SIGPIPE, SIG_IGN);
    CatalogWriter writer(pipeEnds[1]);
    writer.Header("default");
    EXPECT_TRUE(writer.Failed());
    EXPECT_EQ(writer.Error(), EPIPE);
    ::close(pipeEnds[1]);
}

}  // namespace
}  // namespace kestavo
