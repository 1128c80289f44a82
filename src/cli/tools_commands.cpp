// SPDX-License-Identifier: GPL-3.0-or-later
#include "cli/tools_commands.h"

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <string>

#include "catalog/catalog_commands.h"
#include "catalog/tree_path.h"
#include "cli/cli_output.h"
#include "media/drive_map.h"
#include "media/drive_map_load.h"
#include "media/volume_info.h"
#include "tools/disk_comparison.h"
#include "tools/find_duplicates.h"
#include "tools/find_files.h"
#include "tools/report_writer.h"
#include "tools/tool_tables.h"

namespace kestavo::cli {
namespace {

// The node named by --root; the top root item without it.
bool ResolveRoot(CatalogSet& set, const Arguments& args, TreeItem& node) {
    const std::string* root = args.Option("--root");
    const std::string path = root ? *root : std::string();
    const TreePathTarget target = ResolveTreePath(set, path, /*allowEntry=*/false);
    if (!target.found) {
        std::fprintf(stderr, "No such catalog item: %s\n", path.c_str());
        return false;
    }
    node = target.node;
    return true;
}

// Writes a report to --report FILE, else to standard output.
template <class Write>
int WriteReport(const Arguments& args, Write&& write) {
    if (const std::string* file = args.Option("--report")) {
        errno = 0;
        if (WriteReportFile(*file, write)) return kExitDone;
        std::fprintf(stderr, "Cannot write the report %s: %s\n", file->c_str(),
                     errno ? std::strerror(errno) : "write failed");
        return kExitFailed;
    }
    // Reports to files keep their bytes.
    return PrintReport(write);
}

// Writes the table of --format, where the report would go.
template <class WriteTable>
int WriteTableOutput(const Arguments& args, TableFormat format, WriteTable&& write) {
    return WriteReport(args,
                       [&](ReportWriter& report) { write(*MakeTableWriter(format, report)); });
}

}  // namespace

int RunFind(const Arguments& args) {
    StderrMessages messages;
    CatalogSet set;
    OpenAllCatalogs(set, messages);
    TreeItem root = kNoItem;
    if (!ResolveRoot(set, args, root)) return kExitFailed;
    FindFiles tool(set, root);
    tool.SetMask(args.positional.front());
    tool.SetLookInSubfolders(!args.Has("--no-subfolders"));
    tool.FindNow();
    if (const std::optional<TableFormat> format = FormatOption(args))
        return WriteTableOutput(args, *format,
                                [&tool](TableWriter& out) { WriteFindFilesTable(tool, out); });
    return WriteReport(args, [&tool](ReportWriter& report) { tool.WriteReport(report); });
}

int RunDuplicates(const Arguments& args) {
    std::int32_t threshold = 0;
    if (const std::string* text = args.Option("--threshold");
        text && !ParseThresholdText(*text, threshold)) {
        std::fprintf(stderr, "%s\n", kPleaseEnterAnInteger);
        return kExitUsage;
    }
    StderrMessages messages;
    CatalogSet set;
    OpenAllCatalogs(set, messages);
    TreeItem root = kNoItem;
    if (!ResolveRoot(set, args, root)) return kExitFailed;
    FindDuplicates tool(set, root);
    tool.SetCriteria(DuplicateCriteria{.names = !args.Has("--no-names"),
                                       .sizes = !args.Has("--no-sizes"),
                                       .dates = !args.Has("--no-dates")});
    tool.SetThreshold(threshold);
    tool.FindNow();
    if (const std::optional<TableFormat> format = FormatOption(args))
        return WriteTableOutput(args, *format,
                                [&tool](TableWriter& out) { WriteDuplicatesTable(tool, out); });
    return WriteReport(args, [&tool](ReportWriter& report) { tool.WriteReport(report); });
}

int RunCompare(const Arguments& args) {
    const std::string& target = args.positional.front();
    if (!media::IsDriveFieldValid(target)) {
        std::fprintf(stderr, "%s\n", media::kChooseADrive);
        return kExitUsage;
    }
    StderrMessages messages;
    const media::DriveMap drives = media::LoadDriveMap(messages);
    const media::Drive* drive = drives.FindNamed(target);
    if (!drive || !media::HoldsMedium(*drive)) {
        std::fprintf(stderr, "No disk in drive %s\n", target.substr(0, 2).c_str());
        return kExitFailed;
    }
    const std::string driveText = media::EntryTextOfField(target, drives);
    CatalogSet set;
    OpenAllCatalogs(set, messages);
    DiskComparison tool(set);
    tool.SetDriveText(driveText);
    if (!tool.CompareNow(drives, messages)) return kExitFailed;
    if (const std::optional<TableFormat> format = FormatOption(args)) {
        const std::string label(LabelOfText(driveText));
        return WriteTableOutput(args, *format, [&tool, &label](TableWriter& out) {
            WriteCompareTable(tool, label, out);
        });
    }
    return WriteReport(args, [&tool](ReportWriter& report) { tool.WriteReport(report); });
}

}  // namespace kestavo::cli
