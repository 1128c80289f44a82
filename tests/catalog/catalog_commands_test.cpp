// SPDX-License-Identifier: GPL-3.0-or-later
#include "catalog/catalog_commands.h"

#include <gtest/gtest.h>
#include <pwd.h>
#include <unistd.h>

#include <filesystem>

#include "support/test_support.h"

namespace kestavo {
namespace {

using test::CatalogHeader;
using test::Child;
using test::ChildTexts;
using test::RecordingList;
using test::RecordingMessages;
using test::TempDir;

std::string DiskCatalog(const std::string& label, const std::string& body = "") {
    return CatalogHeader() + "+ \"" + label + "\" 100 50 1 1 2000 0 0 0 < " + body + " >\r\n";
}

class CatalogCommandsTest : public ::testing::Test {
protected:
    void SetUp() override { set.SetListSink(&list); }
    TreeItem Root() { return set.RootItem(); }

    TempDir dir;
    test::ListedCatalogSet set;
    RecordingList list;
    RecordingMessages messages;
};

TEST_F(CatalogCommandsTest, OpenAllReadsEveryCatalogInByteOrderOfTheFileNames) {
    dir.Write("b.kvx", DiskCatalog("beta"));
    dir.Write("A.kvx", DiskCatalog("Zulu"));
    dir.Write("c.kvx", DiskCatalog("alpha", "\"f\" 1 1 1 2000 0 0 0"));
    dir.Write("notes.txt", "not a catalog");
    dir.Write(".kvx", DiskCatalog("unlabelled-looking"));
    std::filesystem::create_directory(dir.Path() / "folder.kvx");
    EXPECT_EQ(OpenAllCatalogs(set, dir.Str(), messages), 4);
    EXPECT_TRUE(messages.shown.empty());
    EXPECT_EQ(ChildTexts(set, Root()),
              (std::vector<std::string>{"alpha", "beta", "unlabelled-looking", "Zulu"}));
    // The disk list is in loading order: ".kvx", "A.kvx", "b.kvx", "c.kvx".
    EXPECT_TRUE(list.diskColumns);
    EXPECT_EQ(list.Names(),
              (std::vector<std::string>{"unlabelled-looking", "Zulu", "beta", "alpha"}));
}

TEST_F(CatalogCommandsTest, OpenAllWithNothingToReadSaysSoOnce) {
    for (const std::string& path : {dir.Str(), dir.Str() + "/missing"}) {
        RecordingMessages recorded;
        EXPECT_EQ(OpenAllCatalogs(set, path, recorded), 0);
        ASSERT_EQ(recorded.shown.size(), 1u);
        EXPECT_EQ(recorded.shown[0].caption, "Kestavo");
        EXPECT_EQ(recorded.shown[0].icon, MessageIcon::Information);
        EXPECT_EQ(recorded.shown[0].text,
                  "No catalogs found.\nUse File->Catalog New Disk ... to create.");
    }
}

TEST_F(CatalogCommandsTest, OpenAllReportsBadFilesAndLoadsTheOthers) {
    dir.Write("a.kvx", "something else");
    dir.Write("b.kvx", DiskCatalog("GOOD"));
    EXPECT_EQ(OpenAllCatalogs(set, dir.Str(), messages), 2);
    ASSERT_EQ(messages.shown.size(), 1u);
    EXPECT_EQ(messages.shown[0].text.rfind("Cannot read " + dir.Str() + "/a.kvx\n", 0), 0u);
    EXPECT_EQ(ChildTexts(set, Root()), std::vector<std::string>{"GOOD"});
}

TEST_F(CatalogCommandsTest, OpenAllDropsDisksWhoseCatalogsAreGone) {
    const std::string old = dir.Write("old.kvx", DiskCatalog("OLD", "\"x\" 1 1 1 2000 0 0 0"));
    dir.Write("new.kvx", DiskCatalog("NEW"));
    OpenAllCatalogs(set, dir.Str(), messages);
    std::filesystem::remove(old);
    OpenAllCatalogs(set, dir.Str(), messages);
    EXPECT_EQ(ChildTexts(set, Root()), std::vector<std::string>{"NEW"});
    EXPECT_EQ(set.EntryCount(), 1u);
}

TEST_F(CatalogCommandsTest, OpenSelectedAddsToTheLoadedDisks) {
    dir.Write("a.kvx", DiskCatalog("A"));
    OpenAllCatalogs(set, dir.Str(), messages);
    const std::string other = dir.Write("elsewhere.txt", DiskCatalog("B"));
    EXPECT_EQ(OpenSelectedCatalog(set, other, messages), LoadOutcome::Loaded);
    EXPECT_EQ(ChildTexts(set, Root()), (std::vector<std::string>{"A", "B"}));
}

TEST_F(CatalogCommandsTest, DeleteCatalogAsksThenDeletesFileDiskAndEntries) {
    const std::string file = dir.Write(
        "WORK.kvx", DiskCatalog("WORK", "+\"d\" 0 0 1 1 2000 0 0 0 < \"f\" 1 1 1 2000 0 0 0 >"));
    dir.Write("KEEP.kvx", DiskCatalog("KEEP"));
    OpenAllCatalogs(set, dir.Str(), messages);
    const TreeItem work = Child(set, Root(), "WORK");

    messages.answers = {MessageAnswer::No};
    EXPECT_EQ(DeleteCatalog(set, work, dir.Str(), messages), DeleteOutcome::Declined);
    const Message& question = messages.shown.back();
    EXPECT_EQ(question.text,
              "Are you sure you want to permanently delete the WORK catalog file?\n" + file +
                  "\n(Catalogs cannot be recreated without the original disk)");
    EXPECT_EQ(question.icon, MessageIcon::Question);
    EXPECT_EQ(question.buttons, MessageButtons::YesNo);
    EXPECT_EQ(question.defaultAnswer, MessageAnswer::No);
    EXPECT_TRUE(std::filesystem::exists(file));

    // Folders and the top root item are not disks: nothing is asked.
    const std::size_t asked = messages.shown.size();
    EXPECT_EQ(DeleteCatalog(set, Child(set, work, "d"), dir.Str(), messages),
              DeleteOutcome::NotADisk);
    EXPECT_EQ(DeleteCatalog(set, Root(), dir.Str(), messages), DeleteOutcome::NotADisk);
    EXPECT_EQ(messages.shown.size(), asked);

    set.ShowContents(Root());
    messages.answers = {MessageAnswer::Yes};
    EXPECT_EQ(DeleteCatalog(set, work, dir.Str(), messages), DeleteOutcome::Deleted);
    EXPECT_FALSE(std::filesystem::exists(file));
    EXPECT_EQ(ChildTexts(set, Root()), std::vector<std::string>{"KEEP"});
    EXPECT_EQ(set.EntryCount(), 1u);
    EXPECT_TRUE(list.rows.empty());
}

TEST_F(CatalogCommandsTest, DeleteCatalogDeletesTheFileTheDiskWasReadFrom) {
    // A.kvx holds disk B, B.kvx holds disk C: deleting disk B deletes A.kvx
    // and nothing else.
    const std::string a = dir.Write("A.kvx", DiskCatalog("B", "\"f\" 1 1 1 2000 0 0 0"));
    const std::string b = dir.Write("B.kvx", DiskCatalog("C"));
    OpenAllCatalogs(set, dir.Str(), messages);
    EXPECT_EQ(set.CatalogFileOf(Child(set, Root(), "B")), a);
    EXPECT_EQ(set.CatalogFileOf(Child(set, Root(), "C")), b);
    EXPECT_EQ(set.CatalogFileOf(Root()), "");
    messages.answers = {MessageAnswer::Yes};
    EXPECT_EQ(DeleteCatalog(set, Child(set, Root(), "B"), dir.Str(), messages),
              DeleteOutcome::Deleted);
    EXPECT_NE(messages.shown.back().text.find("\n" + a + "\n"), std::string::npos);
    EXPECT_FALSE(std::filesystem::exists(a));
    EXPECT_TRUE(std::filesystem::exists(b));
    EXPECT_EQ(ChildTexts(set, Root()), std::vector<std::string>{"C"});
    EXPECT_EQ(set.EntryCount(), 1u);

    // A disk replaced by a catalog read from elsewhere follows the new file.
    const std::string moved = dir.Write("moved.txt", DiskCatalog("c"));
    OpenSelectedCatalog(set, moved, messages);
    EXPECT_EQ(set.CatalogFileOf(Child(set, Root(), "c")), moved);
}

TEST_F(CatalogCommandsTest, DeleteCatalogOfADiskReadFromNoFileDeletesNothing) {
    const std::string same = dir.Write("X.kvx", "keep me");
    LoadCatalogText(set, DiskCatalog("X"), "memory", messages);
    messages.answers = {MessageAnswer::Yes};
    EXPECT_EQ(DeleteCatalog(set, Child(set, Root(), "X"), dir.Str(), messages),
              DeleteOutcome::Failed);
    EXPECT_EQ(messages.shown.back().text, "Unable to delete the file " + dir.Str() +
                                              "/X.kvx\nCheck file protection"
                                              "\nDelete operation cancelled (safely !)");
    EXPECT_EQ(messages.shown.back().icon, MessageIcon::None);
    EXPECT_EQ(ChildTexts(set, Root()), std::vector<std::string>{"X"});
    EXPECT_TRUE(std::filesystem::exists(same));
}

TEST_F(CatalogCommandsTest, DeleteCatalogNeverLeavesTheCatalogDirectory) {
    TempDir outside;
    const std::string victim = outside.Write("secret.kvx", "keep me");
    const std::string escape = "../" + outside.Path().filename().string() + "/secret";
    const std::string a = dir.Write("a.kvx", DiskCatalog(escape));
    dir.Write("b.kvx", DiskCatalog(".."));
    OpenAllCatalogs(set, dir.Str(), messages);
    messages.answers = {MessageAnswer::Yes};
    EXPECT_EQ(DeleteCatalog(set, Child(set, Root(), escape), dir.Str(), messages),
              DeleteOutcome::Deleted);
    EXPECT_TRUE(std::filesystem::exists(victim));
    EXPECT_FALSE(std::filesystem::exists(a));
    EXPECT_EQ(set.Tree().Children(Root()).size(), 1u);
}

TEST_F(CatalogCommandsTest, DeleteCatalogThatCannotBeRemovedChangesNothing) {
    // A directory in place of the catalog file cannot be unlinked, even by root.
    const std::string file = dir.Write("ro-file.kvx", DiskCatalog("RO", "\"f\" 1 1 1 2000 0 0 0"));
    OpenAllCatalogs(set, dir.Str(), messages);
    std::filesystem::remove(file);
    std::filesystem::create_directory(file);
    std::filesystem::create_directory(dir.Path() / "ro-file.kvx" / "inside");
    messages.answers = {MessageAnswer::Yes};
    EXPECT_EQ(DeleteCatalog(set, Child(set, Root(), "RO"), dir.Str(), messages),
              DeleteOutcome::Failed);
    EXPECT_EQ(messages.shown.back().text.rfind("Unable to delete the file " + file + "\n", 0), 0u);
    EXPECT_EQ(ChildTexts(set, Root()), std::vector<std::string>{"RO"});
    EXPECT_EQ(set.EntryCount(), 2u);
}

TEST(CatalogDirectoryTest, ComesFromTheVariableOrTheHomeFolder) {
    const char* saved = std::getenv("Kestavo");
    const std::string keep = saved ? saved : "";
    const char* savedHome = std::getenv("HOME");
    const std::string keepHome = savedHome ? savedHome : "";
    setenv("Kestavo", "/srv/catalogs", 1);
    EXPECT_EQ(CatalogDirectory(), "/srv/catalogs");
    unsetenv("Kestavo");
    setenv("HOME", "/home/someone", 1);
    EXPECT_EQ(CatalogDirectory(), "/home/someone/Kestavo");
    // An empty variable counts as unset; without HOME the password
    // database gives the home directory.
    setenv("Kestavo", "", 1);
    EXPECT_EQ(CatalogDirectory(), "/home/someone/Kestavo");
    const struct passwd* user = getpwuid(getuid());
    ASSERT_NE(user, nullptr);
    for (bool empty : {false, true}) {
        if (empty)
            setenv("HOME", "", 1);
        else
            unsetenv("HOME");
        EXPECT_EQ(CatalogDirectory(), std::string(user->pw_dir) + "/Kestavo");
    }
    if (savedHome) setenv("HOME", keepHome.c_str(), 1);
    if (saved)
        setenv("Kestavo", keep.c_str(), 1);
    else
        unsetenv("Kestavo");
    EXPECT_FALSE(IsUsableCatalogLabel(".."));
    EXPECT_FALSE(IsUsableCatalogLabel("a/b"));
    EXPECT_TRUE(IsUsableCatalogLabel("MY DISK"));
}

TEST_F(CatalogCommandsTest, OpenAllTakesTheExtensionInAnyLetterCase) {
    dir.Write("FLOPPY.KVX", DiskCatalog("FLOPPY"));
    dir.Write("mixed.Kvx", DiskCatalog("MIXED"));
    dir.Write("other.kvxx", DiskCatalog("NOT"));
    EXPECT_EQ(OpenAllCatalogs(set, dir.Str(), messages), 2);
    EXPECT_TRUE(messages.shown.empty());
    EXPECT_EQ(ChildTexts(set, Root()), (std::vector<std::string>{"FLOPPY", "MIXED"}));
    EXPECT_EQ(set.CatalogFileOf(Child(set, Root(), "FLOPPY")), dir.Str() + "/FLOPPY.KVX");
}

}  // namespace
}  // namespace kestavo
