// SPDX-License-Identifier: GPL-3.0-or-later
#include "cli/cli_commands.h"

#include <cstdio>

#include "catalog/catalog_commands.h"
#include "catalog/properties.h"
#include "catalog/tree_path.h"
#include "cli/cli_output.h"
#include "tools/sqlite_export.h"
#include "tools/tool_tables.h"

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
    const TreePathTarget target = ResolveTreePath(set, path, /*allowEntry=*/false);
    if (!target.found) return NoSuchItem(path);
    ShownContents shown(set);
    shown.Show(target.node);
    if (const std::optional<TableFormat> format = FormatOption(args))
        return PrintTable(*format, [&shown](TableWriter& out) { WriteContentsTable(shown, out); });
    PrintContents(shown);
    return kExitDone;
}

int RunProperties(const Arguments& args) {
    StderrMessages messages;
    CatalogSet set;
    OpenAllCatalogs(set, messages);
    const std::string path = TreePathArgument(args);
    const TreePathTarget target = ResolveTreePath(set, path, /*allowEntry=*/true);
    if (!target.found) return NoSuchItem(path);
    const std::optional<PropertyFields> found =
        target.file ? PropertiesOfEntry(*target.file) : PropertiesOfItem(set, target.node);
    if (!found) return NoSuchItem(path);
    const PropertyFields& fields = *found;
    PrintField("Name:", fields.name);
    PrintField("Type:", fields.type);
    PrintField("Location:", fields.location);
    PrintField("Size:", fields.size);
    PrintField("Contains:", fields.contains);
    if (!fields.note.empty()) std::printf("%s\n", ForStdout(fields.note).c_str());
    if (!fields.codePage.empty()) PrintField("Code page:", fields.codePage);
    PrintField("Date:", fields.date);
    return kExitDone;
}

int RunExport(const Arguments& args) {
    const std::string* file = args.Option("--sqlite");
    if (!file) {
        std::fprintf(stderr, "kestavo-cli: export needs --sqlite FILE\nusage: %s\n",
                     "kestavo-cli export --sqlite FILE");
        return kExitUsage;
    }
    StderrMessages messages;
    CatalogSet set;
    OpenAllCatalogs(set, messages);
    const SqliteExportOutcome outcome = ExportToSqlite(set, *file);
    if (outcome.written) return kExitDone;
    std::fprintf(stderr, "Cannot write the database %s: %s\n", file->c_str(),
                 outcome.reason.c_str());
    return kExitFailed;
}

}  // namespace kestavo::cli
