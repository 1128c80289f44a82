// SPDX-License-Identifier: GPL-3.0-or-later
// Helpers shared by the tests: recorded messages, a recording list, a set
// with the contents its list shows, and temporary directories.
#pragma once

#include <deque>
#include <filesystem>
#include <string>
#include <vector>

#include "catalog/catalog_reader.h"
#include "catalog/catalog_set.h"
#include "catalog/messages.h"
#include "catalog/shown_contents.h"

namespace kestavo::test {

// Records every message; answers questions from a queue (default: their
// default button).
class RecordingMessages : public MessageSink {
public:
    MessageAnswer Show(const Message& message) override;
    std::vector<Message> shown;
    std::deque<MessageAnswer> answers;
};

// Copies the rows of the contents it listens to, as a list pane would.
class RecordingList : public ShownContentsListener {
public:
    void Listen(ShownContents& shown);
    void RowsCleared() override {
        rows.clear();
        ++clears;
    }
    void RowsRead() override;
    std::vector<std::string> Names() const;

    std::vector<FileData*> rows;
    bool diskColumns = false;
    int clears = 0;
    int reads = 0;

private:
    const ShownContents* shown_ = nullptr;
};

// A catalog set with the contents its list shows, driven the way the
// catalog tests drive them.
class ListedCatalogSet : public CatalogSet {
public:
    void SetListSink(RecordingList* list) { list->Listen(shown_); }
    void ShowContents(TreeItem item) { shown_.Show(item); }
    void Refresh() { shown_.Refresh(); }
    TreeItem ShownItem() const { return shown_.Item(); }
    TreeItem ShownParent() const { return shown_.Parent(); }

private:
    ShownContents shown_{*this};
};

// A directory removed with everything in it at the end of the test.
class TempDir {
public:
    TempDir();
    ~TempDir();
    const std::filesystem::path& Path() const { return path_; }
    std::string Str() const { return path_.string(); }
    std::string Write(const std::string& name, const std::string& content) const;

private:
    std::filesystem::path path_;
};

// Points the cache directory ($XDG_CACHE_HOME) at a fresh directory for
// as long as it lives.
class CacheDirectory {
public:
    CacheDirectory();
    ~CacheDirectory();
    CacheDirectory(const CacheDirectory&) = delete;
    CacheDirectory& operator=(const CacheDirectory&) = delete;
    // The directory the caches go to.
    std::string Str() const { return dir_.Str() + "/kestavo"; }

private:
    TempDir dir_;
    std::string old_;
};

// Waits until catalog files written just now have settled, so that caches
// may be written for them.
void WaitForCatalogsToSettle();

// Loads catalog text into `set`, recording messages in `messages`.
LoadOutcome LoadText(CatalogSet& set, const std::string& text, RecordingMessages& messages,
                     const std::string& path = "test.kvx");

// The names of the child items of `item`, in order.
std::vector<std::string> ChildTexts(const CatalogSet& set, TreeItem item);
// The names of the entries filed under `item`, in filing order.
std::vector<std::string> EntryNames(const CatalogSet& set, TreeItem item);
// The child item of `parent` with exactly this text.
TreeItem Child(const CatalogSet& set, TreeItem parent, const std::string& text);

// What a program run printed and how it ended.
struct CliRun {
    int status = -1;
    std::string out;
    std::string err;
};
// Runs `program` with `args` and the environment variables `env` added,
// in UTC and a UTF-8 locale.
CliRun RunProgram(const std::string& program,
                  const std::vector<std::pair<std::string, std::string>>& env,
                  const std::vector<std::string>& args);
// The whole content of a file ("" when it cannot be read).
std::string ReadWholeFile(const std::string& path);

// A catalog with the header of a disk of drive type `driveType`.
std::string CatalogHeader(const std::string& driveType = "default");

// Whether the tests may mount file systems: not inside a package build
// (its rules set KESTAVO_PACKAGE_BUILD), which must leave the machine's
// mounts alone even when it runs as the superuser.
bool MayMount();

}  // namespace kestavo::test
