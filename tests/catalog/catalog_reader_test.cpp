// SPDX-License-Identifier: GPL-3.0-or-later
#include "catalog/catalog_reader.h"

#include <gtest/gtest.h>

#include <limits>

#include "support/test_support.h"

namespace kestavo {
namespace {

using test::CatalogHeader;
using test::Child;
using test::ChildTexts;
using test::EntryNames;
using test::LoadText;
using test::RecordingMessages;

// The diskette of the format's description: one file, one folder holding
// one ZIP archive, tokens spread over lines as a writer may spread them.
const char* kDisk1 =
    "kvx_version_1_1\n< \n   %drivetype default\n> \n+\n"
    "\"DISK1\" 1048576 262144 7 10 1998 14 30 5 <\n"
    "\"read me.txt\" 1200 5 10 1998 9 0 0\n"
    "+\"photos\" 0 0 6 10 1998 20 15 0\n<\n"
    "+ \"old.zip\"\n30500 0 1 9 1998 12 0 0 < >\n"
    ">\n>\n";

class ReaderTest : public ::testing::Test {
protected:
    LoadOutcome Load(const std::string& text) { return LoadText(set, text, messages); }
    TreeItem Root() { return set.RootItem(); }
    FileData* Entry(TreeItem parent, const std::string& name) {
        return set.EntryNamed(parent, name, SiblingMatch::FirstIgnoringCase);
    }
    TreeItem Disk(const std::string& label) { return Child(set, Root(), label); }

    CatalogSet set;
    RecordingMessages messages;
};

TEST_F(ReaderTest, ReadsTheDiskFolderFileAndZipFolderOfASmallCatalog) {
    ASSERT_EQ(Load(kDisk1), LoadOutcome::Loaded);
    EXPECT_TRUE(messages.shown.empty());
    const TreeItem disk = Disk("DISK1");
    ASSERT_NE(disk, kNoItem);
    FileData* root = Entry(Root(), "DISK1");
    ASSERT_NE(root, nullptr);
    EXPECT_EQ(root->GetKind(), KIND_DEFAULT_DISK);
    EXPECT_EQ(root->Size(), 1048576);
    EXPECT_EQ(set.FreeSpaceOf(*root), 262144);
    EXPECT_EQ(set.DateTextOf(*root), "10/07/98 14:30:05");
    EXPECT_EQ(set.Tree().ItemKind(disk), KIND_DEFAULT_DISK);

    EXPECT_EQ(EntryNames(set, disk), (std::vector<std::string>{"read me.txt", "photos"}));
    FileData* file = Entry(disk, "read me.txt");
    EXPECT_EQ(file->GetKind(), KIND_FILE);
    EXPECT_EQ(file->Size(), 1200);
    EXPECT_EQ(set.DateTextOf(*file), "10/05/98 09:00:00");

    const TreeItem photos = Child(set, disk, "photos");
    EXPECT_EQ(set.Tree().ItemKind(photos), KIND_FOLDER);
    FileData* zip = Entry(photos, "old.zip");
    ASSERT_NE(zip, nullptr);
    EXPECT_EQ(zip->GetKind(), KIND_ZIP_FOLDER);
    EXPECT_EQ(zip->Size(), 30500);
    const TreeItem zipItem = Child(set, photos, "old.zip");
    EXPECT_EQ(set.Tree().ItemKind(zipItem), KIND_ZIP_FOLDER);
    EXPECT_FALSE(set.Tree().ItemHasChildren(zipItem));
}

TEST_F(ReaderTest, DriveTypeWordGivesTheDiskKind) {
    const std::pair<std::string, int> cases[] = {
        {"cdrom", KIND_CDROM_DISK},     {"fixed", KIND_FIXED_DISK},
        {"default", KIND_DEFAULT_DISK}, {"removable", KIND_REMOVABLE_DISK},
        {"floppy", KIND_DEFAULT_DISK},
    };
    for (const auto& [word, kind] : cases) {
        CatalogSet fresh;
        RecordingMessages quiet;
        LoadText(fresh, CatalogHeader(word) + "+ \"D\" 1 1 1 1 2000 0 0 0 < >", quiet);
        FileData* disk = fresh.EntryNamed(fresh.RootItem(), "D", SiblingMatch::FirstIgnoringCase);
        ASSERT_NE(disk, nullptr) << word;
        EXPECT_EQ(disk->GetKind(), kind) << word;
    }
}

TEST_F(ReaderTest, HeaderDirectivesOtherThanDriveTypeAreSkippedAndTheLastKnownWordWins) {
    Load(
        "kvx_version_1_1 < %comment hello %drivetype fixed %drivetype bogus junk > "
        "+ \"D\" 1 1 1 1 2000 0 0 0 < >");
    EXPECT_EQ(Entry(Root(), "D")->GetKind(), KIND_FIXED_DISK);
}

TEST_F(ReaderTest, OlderVersionHasNoHeaderAndAlwaysADefaultDisk) {
    ASSERT_EQ(Load("kvx_version_1_0 + \"OLD\" 5 2 1 1 1999 0 0 0 < \"f\" 3 1 1 1999 0 0 0 >"),
              LoadOutcome::Loaded);
    EXPECT_EQ(Entry(Root(), "OLD")->GetKind(), KIND_DEFAULT_DISK);
    EXPECT_EQ(EntryNames(set, Disk("OLD")), std::vector<std::string>{"f"});
}

TEST_F(ReaderTest, CurrentVersionWithoutHeaderLoadsNothingAndSaysNothing) {
    EXPECT_EQ(Load("kvx_version_1_1 + \"D\" 1 1 1 1 2000 0 0 0 < >"), LoadOutcome::Loaded);
    EXPECT_TRUE(messages.shown.empty());
    EXPECT_TRUE(ChildTexts(set, Root()).empty());
}

TEST_F(ReaderTest, NotACatalogShowsTheIncompatibilityMessageAndAddsNothing) {
    for (const std::string text :
         {"kvx_version_2_0 < > + \"D\" 1 1 1 1 2000 0 0 0 < >", "", "  \n", "DISK1"}) {
        CatalogSet fresh;
        RecordingMessages recorded;
        EXPECT_EQ(LoadText(fresh, text, recorded, "/cat/x.kvx"), LoadOutcome::Incompatible);
        ASSERT_EQ(recorded.shown.size(), 1u);
        const Message& m = recorded.shown[0];
        EXPECT_EQ(m.caption, "Please re-catalog this disk");
        EXPECT_EQ(m.icon, MessageIcon::Exclamation);
        EXPECT_EQ(m.text,
                  "Cannot read /cat/x.kvx\nThe file is not compatible with this version of "
                  "Kestavo,\nwhich requires *.kvx files with version id: kvx_version_1_1\n\n"
                  "To proceed, please re-catalog this disk, i.e. File->Catalog New Disk ...\n");
        EXPECT_TRUE(ChildTexts(fresh, fresh.RootItem()).empty());
        EXPECT_EQ(fresh.EntryCount(), 0u);
    }
}

TEST_F(ReaderTest, MissingFileIsIncompatible) {
    EXPECT_EQ(LoadCatalog(set, "/nonexistent/dir/none.kvx", messages), LoadOutcome::Incompatible);
    ASSERT_EQ(messages.shown.size(), 1u);
    EXPECT_EQ(messages.shown[0].text.rfind("Cannot read /nonexistent/dir/none.kvx\n", 0), 0u);
    EXPECT_NE(set.FindRootItem(), kNoItem);
}

TEST_F(ReaderTest, OnlyRegularFilesAreRead) {
    for (const char* path : {"/dev/zero", "/tmp"}) {
        RecordingMessages recorded;
        EXPECT_EQ(LoadCatalog(set, path, recorded), LoadOutcome::Incompatible) << path;
        EXPECT_EQ(recorded.shown.size(), 1u);
    }
}

TEST_F(ReaderTest, QuotedNamesFoldWhiteSpaceAndEndAtTheFirstQuote) {
    Load(CatalogHeader() +
         "+ \"D\" 1 1 1 1 2000 0 0 0 <\n"
         "\"two  \t blanks\" 1 1 1 2000 0 0 0\n"
         "\"   leading\" 2 1 1 2000 0 0 0\n"
         "\"trailing  \" 3 1 1 2000 0 0 0\n"
         "\"  \" 4 1 1 2000 0 0 0\n"
         "\"\" 5 1 1 2000 0 0 0\n"
         "\"cut\"here 6 1 1 2000 0 0 0\n"
         "\"line\r\nbreak\" 7 1 1 2000 0 0 0\n"
         ">");
    EXPECT_EQ(EntryNames(set, Disk("D")),
              (std::vector<std::string>{"two blanks", "leading", "trailing ", "", "", "cut",
                                        "line break"}));
    EXPECT_TRUE(messages.shown.empty());
}

TEST_F(ReaderTest, ClosingQuoteTouchingTheSizeLosesTheSize) {
    Load(CatalogHeader() + "+ \"D\" 1 1 1 1 2000 0 0 0 < \"a.txt\"7 100 1 1 2000 0 0 0 >");
    EXPECT_EQ(Entry(Disk("D"), "a.txt")->Size(), 100);
}

TEST_F(ReaderTest, MarkersMayTouchTheirNeighboursButOpenersMustStandAlone) {
    Load(CatalogHeader() +
         "+ \"D\" 1 1 1 1 2000 0 0 0 < +\"a\" 0 0 1 1 2000 0 0 0 < \"f\" 1 1 1 2000 0 0 0>"
         "+\"b\" 0 0 1 1 2000 0 0 0 <>  \"g\" 1 1 1 2000 0 0 0 "
         "+\"c\" 0 0 1 1 2000 0 0 0 < > x \"h\" 1 1 1 2000 0 0 0>");
    const TreeItem disk = Disk("D");
    EXPECT_EQ(ChildTexts(set, disk), (std::vector<std::string>{"a", "b", "c"}));
    EXPECT_EQ(EntryNames(set, Child(set, disk, "a")), std::vector<std::string>{"f"});
    // "<>" is not the opener: b has no children and the word is lost, so g
    // and h belong to the disk.
    EXPECT_TRUE(EntryNames(set, Child(set, disk, "b")).empty());
    EXPECT_EQ(EntryNames(set, disk), (std::vector<std::string>{"a", "b", "g", "c", "h"}));
}

TEST_F(ReaderTest, ZipTestLooksAtTheFirstOccurrenceOnly) {
    Load(CatalogHeader() +
         "+ \"D\" 1 1 1 1 2000 0 0 0 < "
         "+\"x.zip\" 1 0 1 1 2000 0 0 0 < > +\"y.ZIP\" 1 0 1 1 2000 0 0 0 < >"
         "+\"x.zip.old\" 0 0 1 1 2000 0 0 0 < > +\"w.Zip\" 0 0 1 1 2000 0 0 0 < >"
         "+\"a.zip.zip\" 0 0 1 1 2000 0 0 0 < > +\".zip\" 0 0 1 1 2000 0 0 0 < > >");
    const TreeItem disk = Disk("D");
    EXPECT_EQ(Entry(disk, "x.zip")->GetKind(), KIND_ZIP_FOLDER);
    EXPECT_EQ(Entry(disk, "y.ZIP")->GetKind(), KIND_ZIP_FOLDER);
    for (const char* name : {"x.zip.old", "w.Zip", "a.zip.zip", ".zip"})
        EXPECT_EQ(Entry(disk, name)->GetKind(), KIND_FOLDER) << name;
}

// The other archive endings follow the Zip test's rule: all lower or all
// upper case, after at least one other character, ending the name.
TEST_F(ReaderTest, OtherArchiveEndingsMakeZipFoldersByTheSameRule) {
    const std::vector<std::string> archives = {
        "a.7z",     "b.RAR", "c.tar",     "d.TGZ", "e.tar.gz", "f.TAR.BZ2",   "g.tbz2",
        "h.tar.xz", "i.TXZ", "j.tar.zst", "k.iso", "l.CAB",    "m.tar.tar.gz"};
    const std::vector<std::string> folders = {"n.Iso", "o.tar.GZ", ".7z",      "p.rar.old",
                                              "q.gz",  "r.7z.7z",  "s.tar.Gz", "t.xz"};
    std::string text = CatalogHeader() + "+ \"D\" 1 1 1 1 2000 0 0 0 < ";
    for (const std::vector<std::string>* names : {&archives, &folders})
        for (const std::string& name : *names) text += "+\"" + name + "\" 0 0 1 1 2000 0 0 0 < > ";
    Load(text + ">");
    const TreeItem disk = Disk("D");
    for (const std::string& name : archives)
        EXPECT_EQ(Entry(disk, name.c_str())->GetKind(), KIND_ZIP_FOLDER) << name;
    for (const std::string& name : folders)
        EXPECT_EQ(Entry(disk, name.c_str())->GetKind(), KIND_FOLDER) << name;
}

TEST_F(ReaderTest, DiskLabelledLikeAnArchiveIsAZipFolderRoot) {
    Load(CatalogHeader("cdrom") + "+ \"DISK.ZIP\" 1 1 1 1 2000 0 0 0 < >");
    EXPECT_EQ(Entry(Root(), "DISK.ZIP")->GetKind(), KIND_ZIP_FOLDER);
    EXPECT_EQ(set.Tree().ItemKind(Disk("DISK.ZIP")), KIND_ZIP_FOLDER);
}

TEST_F(ReaderTest, DatesPast2035BecomeFebruaryFifth2036WithOneWarningForTheCatalog) {
    Load(CatalogHeader() +
         "+ \"D\" 1 1 1 1 2000 0 0 0 < "
         "+\"dir\" 0 0 3 3 2040 10 10 10 < "
         "\"late.txt\" 10 1 1 2037 12 0 0 "
         "\"feb5.txt\" 10 5 2 2036 14 0 0 "
         "\"later.txt\" 10 1 1 2038 12 0 0 "
         "\"latest.txt\" 10 1 1 2039 12 0 0 "
         "\"ok.txt\" 10 31 12 2035 23 59 59 >>");
    const TreeItem dir = Child(set, Disk("D"), "dir");
    EXPECT_EQ(set.DateTextOf(*Entry(Disk("D"), "dir")), "02/05/36 00:00:00");
    EXPECT_EQ(set.DateTextOf(*Entry(dir, "late.txt")), "02/05/36 00:00:00");
    EXPECT_EQ(set.DateTextOf(*Entry(dir, "feb5.txt")), "02/05/36 00:00:00");
    EXPECT_EQ(set.DateTextOf(*Entry(dir, "ok.txt")), "12/31/35 23:59:59");
    ASSERT_EQ(messages.shown.size(), 1u);
    EXPECT_EQ(messages.shown[0].caption, "Warning: file date invalid");
    EXPECT_EQ(messages.shown[0].text,
              "The file D/dir/late.txt has invalid date information.\n"
              "A default date will be presented: Feb 5, 2036\n\n"
              "You may re-catalog the disk to eliminate this message.\n\n"
              "Press OK to continue\n\n(and 2 more files with the same problem)");
    // Each catalog has its own message.
    Load(CatalogHeader() +
         "+ \"E\" 1 1 1 1 2000 0 0 0 < \"x\" 1 1 1 2040 0 0 0 \"y\" 1 1 1 2040 0 0 0 >");
    ASSERT_EQ(messages.shown.size(), 2u);
    EXPECT_EQ(messages.shown[1].text.substr(0, 42), "The file E/x has invalid date information.");
    EXPECT_TRUE(messages.shown[1].text.ends_with("\n\n(and 1 more file with the same problem)"));
}

TEST_F(ReaderTest, AFolderNamedSlashStaysInLocationsAndWarnings) {
    // Only a hand-written catalog holds such names; an empty name at the
    // bottom still leaves the location that of the folder above.
    Load(CatalogHeader() +
         "+ \"WORK\" 0 0 1 1 2000 0 0 0 < +\"/\" 0 0 1 1 2000 0 0 0 < \"f\" 1 1 1 2037 0 0 0 "
         "+\"\" 0 0 1 1 2000 0 0 0 < \"g\" 1 1 1 2000 0 0 0 > > >");
    const TreeItem slash = Child(set, Disk("WORK"), "/");
    EXPECT_EQ(set.PathOf(*Entry(slash, "f")), "WORK//");
    EXPECT_EQ(set.PathOf(*Entry(Child(set, slash, ""), "g")), "WORK//");
    ASSERT_EQ(messages.shown.size(), 1u);
    EXPECT_EQ(messages.shown[0].text.substr(0, 46),
              "The file WORK///f has invalid date information");
}

TEST_F(ReaderTest, FileSizesAreSixtyFourBitAndClampedAtTheLimits) {
    Load(CatalogHeader() +
         "+ \"D\" 1 1 1 1 2000 0 0 0 < "
         "\"big\" 3000000000 1 1 2000 0 0 0 "
         "\"huge\" 99999999999999999999999 1 1 2000 0 0 0 "
         "\"negative\" -5 1 1 2000 0 0 0 "
         "\"zeros\" 0100 1 1 2000 0 0 0 >");
    const TreeItem disk = Disk("D");
    EXPECT_EQ(Entry(disk, "big")->Size(), 3000000000);
    EXPECT_EQ(Entry(disk, "huge")->Size(), std::numeric_limits<std::int64_t>::max());
    EXPECT_EQ(Entry(disk, "negative")->Size(), -5);
    EXPECT_EQ(Entry(disk, "zeros")->Size(), 100);
}

TEST_F(ReaderTest, ContainerNumbersAreWordsThatWrapAndMayHoldJunk) {
    Load(CatalogHeader() + "+ \"D\" 18446744073709551617 12abc 1 1 2000 0 0 0 < >");
    FileData* disk = Entry(Root(), "D");
    EXPECT_EQ(disk->Size(), 1);
    EXPECT_EQ(set.FreeSpaceOf(*disk), 12);
}

TEST_F(ReaderTest, IntegerFieldsFollowTheirPrefixAndLength) {
    // 0x0A is ten, 012 is octal ten; "08" reads as 0 and leaves the 8, so
    // the fields after it shift by one.
    Load(CatalogHeader() +
         "+ \"D\" 1 1 1 1 2000 0 0 0 < "
         "\"hex\" 1 0x0A 0x0A 2000 0 0 0 "
         "\"octal\" 1 012 012 2000 0 0 0 "
         "\"shifted\" 1 08 1 2000 0 0 0 >");
    const TreeItem disk = Disk("D");
    EXPECT_EQ(set.DateTextOf(*Entry(disk, "hex")), "10/10/00 00:00:00");
    EXPECT_EQ(set.DateTextOf(*Entry(disk, "octal")), "10/10/00 00:00:00");
    // day 0, month 8, year 1, hour 2000: carried over as mktime carries.
    LocalClock clock;
    EXPECT_EQ(Entry(disk, "shifted")->GetTime(), clock.MakeTime(1, 8, 0, 2000, 0, 0));
}

TEST_F(ReaderTest, IntegerReadsAtMostFifteenCharactersAndClamps) {
    // The first 15 digits clamp to the largest day; the last two digits are
    // read as the month.
    Load(CatalogHeader() + "+ \"D\" 1 1 1 1 2000 0 0 0 < \"f\" 1 12345678901234512 2000 0 0 0 0 >");
    LocalClock clock;
    EXPECT_EQ(Entry(Disk("D"), "f")->GetTime(),
              clock.MakeTime(2000, 12, std::numeric_limits<std::int32_t>::max(), 0, 0, 0));
}

TEST_F(ReaderTest, DateFieldsAtTheLimitsOfTheirRangeLoad) {
    EXPECT_EQ(Load(CatalogHeader() +
                   "+ \"D\" 1 1 -2147483648 -2147483648 2000 -2147483648 -2147483648 -2147483648 < "
                   "\"f\" 1 2147483647 2147483647 -2147483648 2147483647 2147483647 2147483647 "
                   "\"g\" 1 -0x80000000 -99999999999 1 1 1 1 >"),
              LoadOutcome::Loaded);
    EXPECT_EQ(EntryNames(set, Disk("D")), (std::vector<std::string>{"f", "g"}));
    for (FileData* e : {Entry(Root(), "D"), Entry(Disk("D"), "f"), Entry(Disk("D"), "g")})
        set.DateTextOf(*e);
}

TEST_F(ReaderTest, LoadingTheSameDiskAgainReplacesItWhateverTheCase) {
    Load(kDisk1);
    const std::size_t entries = set.EntryCount();
    Load(kDisk1);
    EXPECT_EQ(ChildTexts(set, Root()), std::vector<std::string>{"DISK1"});
    EXPECT_EQ(set.EntryCount(), entries);
    Load(CatalogHeader("fixed") + "+ \"disk1\" 99 7 8 8 2008 8 8 8 < \"new\" 1 1 1 2000 0 0 0 >");
    EXPECT_EQ(ChildTexts(set, Root()), std::vector<std::string>{"disk1"});
    EXPECT_EQ(EntryNames(set, Root()), std::vector<std::string>{"disk1"});
    EXPECT_EQ(Entry(Root(), "disk1")->Size(), 99);
    EXPECT_EQ(set.EntryCount(), 2u);
}

TEST_F(ReaderTest, SiblingFoldersWithTheSameNameIgnoringCaseAreAllKept) {
    // Docs, docs and DOCS are three folders on Linux; two folders the
    // writer's clean-up made equal ("a b" and "a  b") are two as well.
    Load(CatalogHeader() +
         "+ \"D\" 1 1 1 1 2000 0 0 0 < "
         "+\"Dup\" 0 0 1 1 2000 0 0 0 < +\"inner\" 0 0 1 1 2000 0 0 0 < \"x\" 1 1 1 2000 0 0 0 > > "
         "\"between\" 1 1 1 2000 0 0 0 "
         "+\"DUP\" 0 0 2 2 2002 0 0 0 < \"y\" 1 1 1 2000 0 0 0 > "
         "+\"a b\" 0 0 1 1 2000 0 0 0 < \"p\" 1 1 1 2000 0 0 0 > "
         "+\"a  b\" 0 0 1 1 2000 0 0 0 < \"q\" 1 1 1 2000 0 0 0 > >");
    const TreeItem disk = Disk("D");
    EXPECT_EQ(ChildTexts(set, disk), (std::vector<std::string>{"a b", "a b", "DUP", "Dup"}));
    EXPECT_EQ(EntryNames(set, disk),
              (std::vector<std::string>{"Dup", "between", "DUP", "a b", "a b"}));
    EXPECT_EQ(EntryNames(set, Child(set, disk, "DUP")), std::vector<std::string>{"y"});
    EXPECT_EQ(ChildTexts(set, Child(set, disk, "Dup")), std::vector<std::string>{"inner"});
    const auto sameText = set.Tree().Children(disk);
    EXPECT_EQ(EntryNames(set, sameText[0]), std::vector<std::string>{"p"});
    EXPECT_EQ(EntryNames(set, sameText[1]), std::vector<std::string>{"q"});
    EXPECT_EQ(set.EntryCount(), 11u);
    // A reloaded disk still replaces the disk of the same name.
    Load(CatalogHeader() + "+ \"d\" 1 1 1 1 2000 0 0 0 < \"only\" 1 1 1 2000 0 0 0 >");
    EXPECT_EQ(ChildTexts(set, Root()), std::vector<std::string>{"d"});
    EXPECT_EQ(set.EntryCount(), 2u);
}

TEST_F(ReaderTest, TreeChildrenEndUpInDisplayOrderWhileEntriesKeepFileOrder) {
    Load(CatalogHeader() +
         "+ \"D\" 1 1 1 1 2000 0 0 0 < "
         "+\"beta\" 0 0 1 1 2000 0 0 0 < > +\"Alpha\" 0 0 1 1 2000 0 0 0 < >"
         "+\"_x\" 0 0 1 1 2000 0 0 0 < > +\"Gamma\" 0 0 1 1 2000 0 0 0 < > >");
    Load(CatalogHeader() + "+ \"c\" 1 1 1 1 2000 0 0 0 < >");
    Load(CatalogHeader() + "+ \"B\" 1 1 1 1 2000 0 0 0 < >");
    EXPECT_EQ(ChildTexts(set, Disk("D")),
              (std::vector<std::string>{"_x", "Alpha", "beta", "Gamma"}));
    EXPECT_EQ(EntryNames(set, Disk("D")),
              (std::vector<std::string>{"beta", "Alpha", "_x", "Gamma"}));
    EXPECT_EQ(ChildTexts(set, Root()), (std::vector<std::string>{"B", "c", "D"}));
}

TEST_F(ReaderTest, TruncatedCatalogKeepsWhatWasReadAndWarns) {
    const std::string full(kDisk1);
    const std::string truncated = full.substr(0, full.find("30500"));
    EXPECT_EQ(LoadText(set, truncated, messages, "/c/DISK1.kvx"), LoadOutcome::Damaged);
    ASSERT_EQ(messages.shown.size(), 1u);
    EXPECT_EQ(messages.shown[0].caption, "Please re-catalog this disk");
    EXPECT_NE(messages.shown[0].text.find("/c/DISK1.kvx"), std::string::npos);
    const TreeItem disk = Disk("DISK1");
    EXPECT_EQ(EntryNames(set, disk), (std::vector<std::string>{"read me.txt", "photos"}));
    EXPECT_EQ(EntryNames(set, Child(set, disk, "photos")), std::vector<std::string>{});
}

TEST_F(ReaderTest, EveryPrefixOfACatalogLoadsWithoutHarm) {
    const std::string full(kDisk1);
    for (std::size_t n = 0; n <= full.size(); ++n) {
        CatalogSet fresh;
        RecordingMessages recorded;
        const LoadOutcome outcome = LoadText(fresh, full.substr(0, n), recorded);
        EXPECT_LE(recorded.shown.size(), 1u) << n;
        if (outcome == LoadOutcome::Loaded) {
            EXPECT_TRUE(recorded.shown.empty()) << n;
        }
    }
}

TEST_F(ReaderTest, IntegerWithoutDigitsEndsTheLoadAsDamaged) {
    EXPECT_EQ(Load(CatalogHeader() + "+ \"D\" 1 1 1 1 2000 0 0 0 < \"good\" 1 1 1 2000 0 0 0 "
                                     "\"bad\" 1 x 1 2000 0 0 0 \"never\" 1 1 1 2000 0 0 0 >"),
              LoadOutcome::Damaged);
    EXPECT_EQ(EntryNames(set, Disk("D")), std::vector<std::string>{"good"});
    ASSERT_EQ(messages.shown.size(), 1u);
}

TEST_F(ReaderTest, StrayCharactersBetweenRecordsAreSkipped) {
    EXPECT_EQ(Load(CatalogHeader() +
                   "+ \"D\" 1 1 1 1 2000 0 0 0 < ; junk \"f\" 1 1 1 2000 0 0 0 ! > trailing"),
              LoadOutcome::Loaded);
    // Every stray character is read alone, so "junk" is skipped letter by letter.
    EXPECT_EQ(EntryNames(set, Disk("D")), std::vector<std::string>{"f"});
    EXPECT_TRUE(messages.shown.empty());
}

TEST_F(ReaderTest, AnyDepthOfNestingLoads) {
    constexpr int kDepth = 200000;
    std::string text = CatalogHeader() + "+ \"D\" 1 1 1 1 2000 0 0 0 < ";
    text.reserve(text.size() + kDepth * 32);
    for (int i = 0; i < kDepth; ++i) text += "+\"n\" 0 0 1 1 2000 0 0 0 < ";
    text += "\"leaf\" 7 1 1 2000 0 0 0";
    text.append(kDepth + 1, '>');
    ASSERT_EQ(Load(text), LoadOutcome::Loaded);
    TreeItem item = Disk("D");
    int depth = 0;
    while (TreeItem child = set.Tree().FirstChild(item)) {
        item = child;
        ++depth;
    }
    EXPECT_EQ(depth, kDepth);
    EXPECT_EQ(EntryNames(set, item), std::vector<std::string>{"leaf"});
    // Counting, replacing and deleting walk the same depth.
    ContentCounts counts;
    set.CountContents(Disk("D"), counts);
    EXPECT_EQ(counts.files, 1);
    EXPECT_EQ(counts.folders, kDepth);
    EXPECT_EQ(counts.size, 7);
    ASSERT_EQ(Load(text), LoadOutcome::Loaded);
    EXPECT_EQ(set.EntryCount(), static_cast<std::size_t>(kDepth + 2));
}

TEST_F(ReaderTest, ManySiblingFoldersLoadInOrder) {
    constexpr int kCount = 20000;
    std::string text = CatalogHeader() + "+ \"D\" 1 1 1 1 2000 0 0 0 < ";
    for (int i = kCount - 1; i >= 0; --i)
        text += "+\"f" + std::to_string(100000 + i) +
                "\" 0 0 1 1 2000 0 0 0 < \"x\" 1 1 1 2000 0 0 0 >";
    text += ">";
    ASSERT_EQ(Load(text), LoadOutcome::Loaded);
    const auto texts = ChildTexts(set, Disk("D"));
    ASSERT_EQ(texts.size(), static_cast<std::size_t>(kCount));
    EXPECT_TRUE(std::is_sorted(texts.begin(), texts.end()));
}

}  // namespace
}  // namespace kestavo
