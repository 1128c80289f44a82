// SPDX-License-Identifier: GPL-3.0-or-later
// kestavo-cli: the catalog model and tools of Kestavo on the command line.
#include <algorithm>
#include <clocale>
#include <cstdio>
#include <string>
#include <string_view>

#include "catalog/size_unit.h"
#include "cli/cli_commands.h"
#include "cli/cli_output.h"
#include "cli/media_commands.h"
#include "cli/tools_commands.h"
#include "kestavo_version.h"
#include "tools/table_writer.h"

namespace {

using kestavo::cli::Arguments;
using kestavo::cli::Command;

const Command kCommands[] = {
    {.name = "ls",
     .usage = "kestavo-cli ls [TREEPATH] [--unit U] [--format F]",
     .minPositional = 0,
     .maxPositional = 1,
     .valueOptions = {"--format"},
     .flagOptions = {},
     .run = kestavo::cli::RunLs},
    {.name = "properties",
     .usage = "kestavo-cli properties [TREEPATH] [--unit U]",
     .minPositional = 0,
     .maxPositional = 1,
     .valueOptions = {},
     .flagOptions = {},
     .run = kestavo::cli::RunProperties},
    {.name = "drives",
     .usage = "kestavo-cli drives",
     .minPositional = 0,
     .maxPositional = 0,
     .valueOptions = {},
     .flagOptions = {},
     .run = kestavo::cli::RunDrives},
    {.name = "catalog",
     .usage =
         "kestavo-cli catalog DRIVE [--label LABEL] [--eject] [--archives A] | DIRECTORY --label "
         "LABEL [--archives A]",
     .minPositional = 1,
     .maxPositional = 1,
     .valueOptions = {"--label", "--archives"},
     .flagOptions = {"--eject"},
     .run = kestavo::cli::RunCatalog},
    {.name = "locate",
     .usage = "kestavo-cli locate CATALOGPATH",
     .minPositional = 1,
     .maxPositional = 1,
     .valueOptions = {},
     .flagOptions = {},
     .run = kestavo::cli::RunLocate},
    {.name = "eject",
     .usage = "kestavo-cli eject",
     .minPositional = 0,
     .maxPositional = 0,
     .valueOptions = {},
     .flagOptions = {},
     .run = kestavo::cli::RunEject},
    {.name = "find",
     .usage =
         "kestavo-cli find MASK [--root TREEPATH] [--no-subfolders] [--unit U] [--report FILE] "
         "[--format F]",
     .minPositional = 1,
     .maxPositional = 1,
     .valueOptions = {"--root", "--report", "--format"},
     .flagOptions = {"--no-subfolders"},
     .run = kestavo::cli::RunFind},
    {.name = "duplicates",
     .usage = "kestavo-cli duplicates [--root TREEPATH] [--no-names] [--no-sizes] [--no-dates] "
              "[--threshold N] [--unit U] [--report FILE] [--format F]",
     .minPositional = 0,
     .maxPositional = 0,
     .valueOptions = {"--root", "--threshold", "--report", "--format"},
     .flagOptions = {"--no-names", "--no-sizes", "--no-dates"},
     .run = kestavo::cli::RunDuplicates},
    {.name = "compare",
     .usage = "kestavo-cli compare DRIVE [--unit U] [--report FILE] [--format F]",
     .minPositional = 1,
     .maxPositional = 1,
     .valueOptions = {"--report", "--format"},
     .flagOptions = {},
     .run = kestavo::cli::RunCompare},
    {.name = "export",
     .usage = "kestavo-cli export --sqlite FILE",
     .minPositional = 0,
     .maxPositional = 0,
     .valueOptions = {"--sqlite"},
     .flagOptions = {},
     .run = kestavo::cli::RunExport},
};

void PrintMainUsage(std::FILE* out) {
    std::fputs("usage: kestavo-cli COMMAND [ARGUMENTS]\n\ncommands:\n", out);
    for (const Command& c : kCommands) std::fprintf(out, "  %s\n", c.usage);
    std::fputs(
        "\n  kestavo-cli --version\n  kestavo-cli COMMAND --help\n\n"
        "U is byte, KB or MB. Catalogs are read from $Kestavo, else $HOME/Kestavo.\n"
        "F is csv (RFC 4180, CR LF line ends, names exactly as catalogued), json (one array of\n"
        "objects) or jsonl (one object per line); sizes are bytes, dates ISO 8601 local time.\n"
        "Without --format the usual text is written.\n"
        "A is default (ZIP, 7-Zip, RAR, ISO and CAB archives listed, compressed tars up to\n"
        "64 MiB), all (every archive, however large) or zip (ZIP archives only).\n",
        out);
}

int UsageError(const Command* command, const std::string& problem) {
    std::fprintf(stderr, "kestavo-cli: %s\n", problem.c_str());
    if (command)
        std::fprintf(stderr, "usage: %s\n", command->usage);
    else
        PrintMainUsage(stderr);
    return kestavo::cli::kExitUsage;
}

bool Knows(const std::vector<std::string>& names, const std::string& name) {
    return std::find(names.begin(), names.end(), name) != names.end();
}

// Parses the words after the command name; answers false with `problem`
// set on a usage error. "--help" is kept as a flag.
bool ParseArguments(int argc, char** argv, const Command& command, Arguments& args,
                    std::string& problem) {
    bool onlyPositional = false;
    for (int i = 2; i < argc; ++i) {
        const std::string word = argv[i];
        if (onlyPositional || word.size() < 2 || !word.starts_with("--")) {
            args.positional.push_back(word);
            continue;
        }
        if (word == "--") {
            onlyPositional = true;
            continue;
        }
        const std::size_t equals = word.find('=');
        const std::string name = word.substr(0, equals);
        if (name == "--help" || Knows(command.flagOptions, name)) {
            if (equals != std::string::npos) {
                problem = name + " takes no value";
                return false;
            }
            args.flags.insert(name);
        } else if (name == "--unit" || Knows(command.valueOptions, name)) {
            if (equals != std::string::npos) {
                args.options[name] = word.substr(equals + 1);
            } else if (i + 1 < argc) {
                args.options[name] = argv[++i];
            } else {
                problem = name + " needs a value";
                return false;
            }
        } else {
            problem = "unknown option " + name;
            return false;
        }
    }
    if (args.Has("--help")) return true;
    if (const std::string* unit = args.Option("--unit"); unit && !kestavo::SizeUnitNamed(*unit)) {
        problem = "--unit takes byte, KB or MB";
        return false;
    }
    if (kestavo::TableFormat format;
        args.Option("--format") && !kestavo::ParseTableFormat(*args.Option("--format"), format)) {
        problem = "--format takes csv, json or jsonl";
        return false;
    }
    const int count = static_cast<int>(args.positional.size());
    if (count < command.minPositional) {
        problem = "missing arguments";
        return false;
    }
    if (count > command.maxPositional) {
        problem = "too many arguments";
        return false;
    }
    return true;
}

}  // namespace

int main(int argc, char** argv) {
    std::setlocale(LC_ALL, "");
    if (argc < 2) return UsageError(/*command=*/nullptr, "no command given");
    const std::string_view name = argv[1];
    if (name == "--version") {
        std::puts("kestavo-cli " KESTAVO_VERSION);
        return kestavo::cli::FinishOutput(kestavo::cli::kExitDone);
    }
    if (name == "--help" || name == "-h") {
        PrintMainUsage(stdout);
        return kestavo::cli::FinishOutput(kestavo::cli::kExitDone);
    }
    for (const Command& command : kCommands) {
        if (name != command.name) continue;
        Arguments args;
        std::string problem;
        if (!ParseArguments(argc, argv, command, args, problem))
            return UsageError(&command, problem);
        if (args.Has("--help")) {
            std::printf("usage: %s\n", command.usage);
            return kestavo::cli::FinishOutput(kestavo::cli::kExitDone);
        }
        if (const std::string* unit = args.Option("--unit")) kestavo::SetSizeUnitByName(*unit);
        // Every command's output is checked once it is done.
        return kestavo::cli::FinishOutput(command.run(args));
    }
    return UsageError(/*command=*/nullptr, "unknown command " + std::string(name));
}
