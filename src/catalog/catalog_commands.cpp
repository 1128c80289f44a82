// SPDX-License-Identifier: GPL-3.0-or-later
#include "catalog/catalog_commands.h"

#include <dirent.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <memory>

#include "catalog/catalog_cache.h"
#include "catalog/catalog_cache_pruning.h"
#include "catalog/catalog_format.h"
#include "catalog/directory_lister.h"
#include "catalog/home_directory.h"
#include "catalog/name_compare.h"
#include "catalog/read_ahead.h"

namespace kestavo {

bool EndsWithCatalogExtension(std::string_view name) {
    return name.size() >= kCatalogExtension.size() &&
           EqualUpperCased(name.substr(name.size() - kCatalogExtension.size()), kCatalogExtension);
}

std::string CatalogDirectory() {
    if (const char* value = NonEmptyVariable("Kestavo")) return value;
    return HomeDirectory() + "/Kestavo";
}

std::vector<std::string> ListCatalogFiles(const std::string& directory) {
    std::vector<std::string> names;
    DirectoryLister().List(directory, [&](const ListedName& item) {
        const std::string_view name = item.name;
        if (!EndsWithCatalogExtension(name)) return true;
        // The listing tells most files' type; only links and unknown types
        // are looked up.
        if (item.type != DT_REG) {
            struct stat st {};
            const std::string full = directory + "/" + std::string(name);
            if (item.type != DT_LNK && item.type != DT_UNKNOWN) return true;
            if (::stat(full.c_str(), &st) != 0 || !S_ISREG(st.st_mode)) return true;
        }
        names.emplace_back(name);
        return true;
    });
    std::sort(names.begin(), names.end());
    return names;
}

int OpenAllCatalogs(CatalogSet& set, MessageSink& messages) {
    return OpenAllCatalogs(set, CatalogDirectory(), messages);
}

int OpenAllCatalogs(CatalogSet& set, const std::string& directory, MessageSink& messages) {
    ContainerTree& tree = set.Tree();
    const TreeItem root = set.RootItem();
    // Disks whose catalogs are not read again must not stay behind.
    tree.BeginBatch();
    set.RemoveAllEntries();
    while (TreeItem disk = tree.FirstChild(root)) tree.DeleteItem(disk);
    tree.EndBatch();

    const std::vector<std::string> files = ListCatalogFiles(directory);
    std::vector<std::string> paths;
    paths.reserve(files.size());
    for (const std::string& name : files) paths.push_back(directory + "/" + name);
    std::vector<std::string> cachesInUse;
    cachesInUse.reserve(paths.size());
    for (const std::string& path : paths) cachesInUse.push_back(CatalogCacheFile(path));
    // The files are read on two threads and joined in the order of their
    // names, which gives the set and the messages of reading them in turn.
    ReadAhead reads(std::move(paths));
    std::string buffer;
    // Each load would have the list show every disk loaded so far; only the
    // last list is ever seen, so the observers hear once at the end.
    set.BeginLoads();
    for (std::size_t i = 0; i < files.size(); ++i) {
        const std::unique_ptr<CatalogLoad> load = reads.Take(i, set.Clock(), buffer);
        JoinCatalog(set, *load, messages);
        tree.Expand(root);
    }
    set.EndLoads();
    PruneCatalogCaches(CatalogCacheDirectory(), cachesInUse);
    if (files.empty()) {
        Message m;
        m.caption = kApplicationName;
        m.text = "No catalogs found.\nUse File->Catalog New Disk ... to create.";
        m.icon = MessageIcon::Information;
        messages.Show(m);
    }
    return static_cast<int>(files.size());
}

LoadOutcome OpenSelectedCatalog(CatalogSet& set, const std::string& path, MessageSink& messages) {
    return LoadCatalog(set, path, messages);
}

bool IsUsableCatalogLabel(const std::string& label) {
    return label != "." && label != ".." && label.find('/') == std::string::npos &&
           label.find('\0') == std::string::npos;
}

std::string CatalogFilePath(const std::string& directory, const std::string& label) {
    return directory + "/" + label + std::string(kCatalogExtension);
}

DeleteOutcome DeleteCatalog(CatalogSet& set, TreeItem diskItem, MessageSink& messages) {
    return DeleteCatalog(set, diskItem, CatalogDirectory(), messages);
}

DeleteOutcome DeleteCatalog(CatalogSet& set, TreeItem diskItem, const std::string& directory,
                            MessageSink& messages) {
    ContainerTree& tree = set.Tree();
    const TreeItem root = set.FindRootItem();
    if (diskItem == kNoItem || !tree.IsValid(diskItem) || root == kNoItem ||
        tree.Parent(diskItem) != root)
        return DeleteOutcome::NotADisk;
    const std::string label(tree.ItemText(diskItem));
    // Only the file the disk was read from is ever deleted; the label is
    // never made into a path, so a label that differs from the file name,
    // or one holding "/" or "..", cannot reach another file.
    const std::string file = set.CatalogFileOf(diskItem);

    Message question;
    question.caption = kApplicationName;
    question.text = "Are you sure you want to permanently delete the " + label +
                    " catalog file?\n" + (file.empty() ? std::string() : file + "\n") +
                    "(Catalogs cannot be recreated without the original disk)";
    question.icon = MessageIcon::Question;
    question.buttons = MessageButtons::YesNo;
    question.defaultAnswer = MessageAnswer::No;
    if (messages.Show(question) != MessageAnswer::Yes) return DeleteOutcome::Declined;

    if (file.empty() || ::unlink(file.c_str()) != 0) {
        Message failure;
        failure.caption = kApplicationName;
        failure.text = "Unable to delete the file " +
                       (file.empty() ? CatalogFilePath(directory, label) : file) +
                       "\nCheck file protection" + "\nDelete operation cancelled (safely !)";
        messages.Show(failure);
        return DeleteOutcome::Failed;
    }
    RemoveCatalogCache(file);
    set.RemoveContainer(root, diskItem, label);
    return DeleteOutcome::Deleted;
}

}  // namespace kestavo
