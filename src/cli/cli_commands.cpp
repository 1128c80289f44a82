// SPDX-License-Identifier: GPL-3.0-or-later
#include "cli/cli_commands.h"

#include <cstdio>

#include "catalog/catalog_commands.h"
#include "catalog/properties.h"
#include "catalog/tree_path.h"
#include "cli/cli_output.h"

namespace kestavo::cli {
namespace {

std::string TreePathArgument(const Arguments& args) {
    return args.positional.empty() ? std::string() : args.positional.front();
}

int NoSuchItem(const std::string& path) {
    std::fprintf(stderr, "No such catalog item: %s\n", path.c_str());
    return kExitFailed;
}

void PrintField(const char* label, const std::string& text) {
    std::printf("%s %s\n", label, ForStdout(text).c_str());
}

}  // namespace

int RunLs(const Arguments& args) {
    StderrMessages messages;
    CatalogSet set;
    OpenAllCatalogs(set, messages);
    const std::string path = TreePathArgument(args);
    const TreePathTarget target = ResolveTreePath(set, path, false);
    if (!target.found) return NoSuchItem(path);
    ShownContents shown(set);
    shown.Show(target.node, set.Tree().Parent(target.node));
    PrintContents(shown, stdout, StdoutIsTerminal());
    return kExitDone;
}

int RunProperties(const Arguments& args) {
    StderrMessages messages;
    CatalogSet set;
    OpenAllCatalogs(set, messages);
    const std::string path = TreePathArgument(args);
    const TreePathTarget target = ResolveTreePath(set, path, true);
    if (!target.found) return NoSuchItem(path);
    PropertyFields fields;
    if (target.file) {
        fields = PropertiesOfEntry(*target.file);
    } else if (target.node == set.RootItem()) {
        fields = PropertiesOfRoot(set);
    } else {
        FileData* entry = set.EntryOfItem(target.node);
        if (!entry) return NoSuchItem(path);
        fields = PropertiesOfEntry(*entry);
    }
    PrintField("Name:", fields.name);
    PrintField("Type:", fields.type);
    PrintField("Location:", fields.location);
    PrintField("Size:", fields.size);
    PrintField("Contains:", fields.contains);
    if (!fields.note.empty()) std::printf("%s\n", ForStdout(fields.note).c_str());
    PrintField("Date:", fields.date);
    return kExitDone;
}

}  // namespace kestavo::cli
