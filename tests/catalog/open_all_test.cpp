// SPDX-License-Identifier: GPL-3.0-or-later
// Open All reads files on two threads and joins them in name order: the set
// it builds, and the messages it gives, must be those of loading the same
// files one after another.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "catalog/catalog_commands.h"
#include "catalog/catalog_reader.h"
#include "catalog/catalog_set.h"
#include "catalog/entry_store.h"
#include "support/test_support.h"

namespace kestavo {
namespace {

using test::CatalogHeader;
using test::RecordingList;
using test::RecordingMessages;
using test::TempDir;

// Everything a user can see of a set: the tree with its pictures, every
// entry under every item with its texts, the files in identity order, and
// the file each disk was read from.
std::string Describe(CatalogSet& set) {
    std::string out;
    std::vector<std::pair<TreeItem, int>> pending{{set.RootItem(), 0}};
    while (!pending.empty()) {
        const auto [item, depth] = pending.back();
        pending.pop_back();
        const ContainerTree& tree = set.Tree();
        out += std::string(static_cast<std::size_t>(depth), ' ') +
               std::string(tree.ItemText(item)) + " [" + std::to_string(tree.ItemKind(item)) +
               "] " + set.CatalogFileOf(item) + "\n";
        set.ForEachEntryUnder(item, [&](FileData& e) {
            out += std::string(static_cast<std::size_t>(depth) + 2, ' ') +
                   std::string(e.GetName()) + "|" + std::to_string(e.Size()) + "|" +
                   std::to_string(set.FreeSpaceOf(e)) + "|" + std::to_string(e.GetTime()) + "|" +
                   std::to_string(e.GetKind()) + "|" + std::string(set.PathOf(e)) + "|" +
                   std::string(set.SizeTextOf(e)) + "|" + std::string(set.DateTextOf(e)) + "|" +
                   std::string(set.FreeSpaceTextOf(e)) + "\n";
        });
        const auto children = tree.Children(item);
        for (auto it = children.rbegin(); it != children.rend(); ++it)
            pending.emplace_back(*it, depth + 1);
    }
    std::vector<FileData*> files;
    set.CollectAllFiles(files);
    for (FileData* e : files)
        out += std::string(set.PathOf(*e)) + "/" + std::string(e->GetName()) + "\n";
    return out;
}

std::string DescribeMessages(const RecordingMessages& messages) {
    std::string out;
    for (const Message& m : messages.shown) out += m.caption + ": " + m.text + "\n---\n";
    return out;
}

std::string Disk(const std::string& label, const std::string& body) {
    return CatalogHeader("removable") + "+ \"" + label + "\" 0 777 2 3 2001 4 5 6 < " + body +
           " >\r\n";
}

std::string Files(const std::string& stem, int count, int year = 2004) {
    std::string body;
    for (int i = 0; i < count; ++i)
        body += "\"" + stem + std::to_string(i) + ".JPG\" " + std::to_string(i * 1000 + 7) + " " +
                std::to_string(i % 28 + 1) + " 6 " + std::to_string(year) + " 10 20 30 ";
    return body;
}

// A directory of many catalogs that exercise what a join must keep: disks
// replaced by later files of the same label in other letter case, folders of
// equal names, Zip Folders, dates past 2035, damaged and foreign files.
void WriteCatalogs(const TempDir& dir) {
    for (int i = 0; i < 40; ++i) {
        const std::string n = std::to_string(i);
        std::string body = Files("f" + n + "_", i % 7) + "+ \"Sub\" 0 0 1 1 2000 0 0 0 < " +
                           Files("s", 3) + "+ \"deeper.zip\" 5000 0 1 1 2000 0 0 0 < " +
                           Files("z", 2) + " > > + \"sub\" 0 0 1 1 2000 0 0 0 < " + Files("t", 2) +
                           " >";
        dir.Write("c" + std::string(i < 10 ? "0" : "") + n + ".kvx", Disk("Disk " + n, body));
    }
    // Later files replace earlier disks of the same label.
    dir.Write("c05b.kvx", Disk("DISK 5", Files("again", 4)));
    dir.Write("c31b.kvx", Disk("disk 31", Files("late", 2, 2040)));
    dir.Write("c12b.kvx", "not a catalog at all");
    dir.Write("c20b.kvx", Disk("Disk 20", Files("cut", 3)).substr(0, 120));
    dir.Write("c33b.kvx", "");
    dir.Write("c07b.kvx", Disk("Future", Files("x", 5, 2050)));
}

TEST(OpenAllTest, ReadingOnTwoThreadsGivesTheSetAndMessagesOfReadingInTurn) {
    TempDir dir;
    WriteCatalogs(dir);

    test::ListedCatalogSet together;
    RecordingList togetherList;
    together.SetListSink(&togetherList);
    RecordingMessages togetherMessages;
    const int read = OpenAllCatalogs(together, dir.Str(), togetherMessages);

    test::ListedCatalogSet inTurn;
    RecordingList inTurnList;
    inTurn.SetListSink(&inTurnList);
    RecordingMessages inTurnMessages;
    const std::vector<std::string> files = ListCatalogFiles(dir.Str());
    for (const std::string& name : files)
        LoadCatalog(inTurn, dir.Str() + "/" + name, inTurnMessages);

    EXPECT_EQ(read, static_cast<int>(files.size()));
    EXPECT_EQ(DescribeMessages(togetherMessages), DescribeMessages(inTurnMessages));
    EXPECT_EQ(togetherList.Names(), inTurnList.Names());
    EXPECT_EQ(together.EntryCount(), inTurn.EntryCount());
    EXPECT_EQ(Describe(together), Describe(inTurn));
    // Damaged, foreign and empty files each had their say.
    EXPECT_GE(togetherMessages.shown.size(), 4u);
}

TEST(OpenAllTest, ReadingAgainGivesTheSameSet) {
    TempDir dir;
    WriteCatalogs(dir);
    CatalogSet set;
    RecordingMessages first, second;
    OpenAllCatalogs(set, dir.Str(), first);
    const std::string once = Describe(set);
    OpenAllCatalogs(set, dir.Str(), second);
    EXPECT_EQ(Describe(set), once);
    EXPECT_EQ(DescribeMessages(first), DescribeMessages(second));
}

TEST(OpenAllTest, EntriesKnowTheirStoreAcrossManySegments) {
    // Enough entries for several segments and blocks: each entry still
    // finds its own store, and identity order follows creation.
    CatalogSet set;
    RecordingMessages messages;
    test::LoadText(set, Disk("Big", Files("n", 20000)), messages);
    test::LoadText(set, Disk("Small", Files("m", 3)), messages);
    std::vector<FileData*> files;
    set.CollectAllFiles(files);
    ASSERT_EQ(files.size(), 20003u);
    for (std::size_t i = 1; i < files.size(); ++i) {
        ASSERT_EQ(files[i]->Store().Owner(), &set);
        ASSERT_TRUE(IdentityLess(files[i - 1], files[i]));
    }
    EXPECT_EQ(files[19999]->GetName(), "n19999.JPG");
    EXPECT_EQ(&files[0]->Store(), &files[19999]->Store());
    EXPECT_NE(&files[0]->Store(), &files[20000]->Store());
}

}  // namespace
}  // namespace kestavo
