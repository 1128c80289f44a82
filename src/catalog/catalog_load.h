// SPDX-License-Identifier: GPL-3.0-or-later
// One catalog file read on its own, apart from any catalog set, so that
// several files can be read side by side: the disk's tree under a top root
// item of its own, its entries, the labels of the disks it replaces and the
// messages it gives. The reader fills it; the catalog set then takes it in.
#pragma once

#include <cstdint>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

#include "catalog/code_page_guess.h"
#include "catalog/container_tree.h"
#include "catalog/entry_lists.h"
#include "catalog/entry_store.h"
#include "catalog/messages.h"

namespace kestavo {

enum class LoadOutcome {
    Loaded,        // read to the end of the disk's record (or found no disk)
    Incompatible,  // unreadable, empty, or not a catalog: nothing added
    Damaged,       // ended early: what was read stays loaded
};

class CatalogLoad : public MessageSink {
public:
    explicit CatalogLoad(std::string path, bool fromFile);

    const std::string& Path() const { return path_; }
    // Whether Path() names the file read (else it only names text).
    bool FromFile() const { return fromFile_; }

    ContainerTree& Tree() { return tree_; }
    const ContainerTree& Tree() const { return tree_; }
    // The item standing for the top root item; made on first request.
    TreeItem Root();
    // Starts the store of the entries read, before the first one.
    void StartStore();
    FileData* AddEntry(TreeItem parent, std::string_view name, std::int64_t size,
                       std::int64_t freeSpace, std::int64_t time, int kind);
    // A disk of this label (ignoring the case of a-z) is replaced.
    void ReplaceLabel(std::string_view label) { replacedLabels_.emplace_back(label); }
    void SetDisk(TreeItem disk) { disk_ = disk; }
    void SetOutcome(LoadOutcome outcome) { outcome_ = outcome; }
    // Forgets everything read, to read the catalog again from the start.
    void Restart() {
        const bool outOfMemory = outOfMemory_;
        *this = CatalogLoad(std::move(path_), fromFile_);
        outOfMemory_ = outOfMemory;
    }
    // For a load made again from what an earlier one kept: the root item
    // (already in the tree) and the store of the entries.
    void SetRoot(TreeItem root) { root_ = root; }
    void SetStore(std::unique_ptr<EntryStore> store) { store_ = std::move(store); }
    // Memory ran out while reading: what was read depends on more than the
    // file.
    void NoteOutOfMemory() { outOfMemory_ = true; }
    bool RanOutOfMemory() const { return outOfMemory_; }
    // The code page the names were decoded from; empty for UTF-8.
    void SetCodePage(std::string name) { codePage_ = std::move(name); }

    // Messages are kept, to be shown when the catalog joins a set.
    MessageAnswer Show(const Message& message) override;

    LoadOutcome Outcome() const { return outcome_; }
    bool HasRoot() const { return root_ != kNoItem; }
    TreeItem RootItem() const { return root_; }
    TreeItem Disk() const { return disk_; }
    const std::vector<std::string>& ReplacedLabels() const { return replacedLabels_; }
    const std::vector<Message>& Messages() const { return messages_; }
    std::unique_ptr<EntryStore> TakeStore() { return std::move(store_); }
    const EntryStore* Store() const { return store_.get(); }
    EntryStore* Store() { return store_.get(); }
    EntryLists& Lists() { return lists_; }
    const EntryLists& Lists() const { return lists_; }
    const std::string& CodePage() const { return codePage_; }
    // The names read that are not UTF-8, gathered for a guess of their code
    // page.
    CodePageGuess& LegacyNames() { return legacyNames_; }

private:
    std::string path_;
    bool fromFile_;
    ContainerTree tree_;
    TreeItem root_ = kNoItem;
    TreeItem disk_ = kNoItem;
    std::unique_ptr<EntryStore> store_;
    EntryLists lists_;
    std::vector<std::string> replacedLabels_;
    std::vector<Message> messages_;
    LoadOutcome outcome_ = LoadOutcome::Loaded;
    bool outOfMemory_ = false;
    CodePageGuess legacyNames_;
    std::string codePage_;
};

}  // namespace kestavo
