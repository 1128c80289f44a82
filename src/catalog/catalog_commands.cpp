#include "catalog/catalog_commands.h"

#include <dirent.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <memory>

#include "catalog/name_compare.h"

namespace kestavo {

std::string CatalogDirectory() {
    if (const char* value = std::getenv("Kestavo")) return value;
    const char* home = std::getenv("HOME");
    return std::string(home ? home : "") + "/Kestavo";
}

std::vector<std::string> ListCatalogFiles(const std::string& directory) {
    std::vector<std::string> names;
    std::unique_ptr<DIR, int (*)(DIR*)> dir(::opendir(directory.c_str()), ::closedir);
    if (!dir) return names;
    constexpr std::string_view kExtension = ".kvx";
    while (const dirent* item = ::readdir(dir.get())) {
        const std::string_view name = item->d_name;
        if (name.size() < kExtension.size() || !name.ends_with(kExtension)) continue;
        struct stat st {};
        const std::string full = directory + "/" + std::string(name);
        if (::stat(full.c_str(), &st) != 0 || !S_ISREG(st.st_mode)) continue;
        names.emplace_back(name);
    }
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
    set.DeleteAllEntries();
    if (ListSink* list = set.GetListSink()) list->ClearRows();
    while (TreeItem disk = tree.GetChildItem(root)) tree.DeleteItem(disk);
    tree.EndBatch();

    const std::vector<std::string> files = ListCatalogFiles(directory);
    std::string buffer;
    for (const std::string& name : files) {
        LoadCatalog(set, directory + "/" + name, messages, buffer);
        tree.Expand(root);
    }
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
    return directory + "/" + label + ".kvx";
}

void RemoveChildNamed(CatalogSet& set, TreeItem parent, std::string_view name) {
    ContainerTree& tree = set.Tree();
    for (TreeItem child : tree.Children(parent))
        if (EqualUpperCased(tree.GetItemText(child), name)) {
            set.RemoveContainer(parent, child, name);
            return;
        }
}

DeleteOutcome DeleteCatalog(CatalogSet& set, TreeItem diskItem, MessageSink& messages) {
    return DeleteCatalog(set, diskItem, CatalogDirectory(), messages);
}

DeleteOutcome DeleteCatalog(CatalogSet& set, TreeItem diskItem, const std::string& directory,
                            MessageSink& messages) {
    ContainerTree& tree = set.Tree();
    if (diskItem == kNoItem || !tree.IsValid(diskItem) ||
        tree.GetParentItem(diskItem) != set.FindRootItem() || set.FindRootItem() == kNoItem)
        return DeleteOutcome::NotADisk;
    const std::string label(tree.GetItemText(diskItem));

    Message question;
    question.caption = kApplicationName;
    question.text = "Are you sure you want to permanently delete the " + label +
                    " catalog file?\n" + "(Catalogs cannot be recreated without the original disk)";
    question.icon = MessageIcon::Question;
    question.buttons = MessageButtons::YesNo;
    question.defaultAnswer = MessageAnswer::No;
    if (messages.Show(question) != MessageAnswer::Yes) return DeleteOutcome::Declined;

    const std::string path = CatalogFilePath(directory, label);
    if (!IsUsableCatalogLabel(label) || ::unlink(path.c_str()) != 0) {
        Message failure;
        failure.caption = kApplicationName;
        failure.text = "Unable to delete the file " + path + "\nCheck file protection" +
                       "\nDelete operation cancelled (safely !)";
        messages.Show(failure);
        return DeleteOutcome::Failed;
    }
    RemoveChildNamed(set, set.FindRootItem(), label);
    if (ListSink* list = set.GetListSink()) list->ClearRows();
    return DeleteOutcome::Deleted;
}

}  // namespace kestavo
