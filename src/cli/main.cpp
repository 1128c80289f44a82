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
    {"ls",
     "kestavo-cli ls [TREEPATH] [--unit U] [--format F]",
     0,
     1,
     {"--format"},
     {},
     kestavo::cli::RunLs},
    {"properties",
     "kestavo-cli properties [TREEPATH] [--unit U]",
     0,
     1,
     {},
     {},
     kestavo::cli::RunProperties},
    {"drives", "kestavo-cli drives", 0, 0, {}, {}, kestavo::cli::RunDrives},
    {"catalog",
     "kestavo-cli catalog DRIVE [--label LABEL] [--eject] [--archives A] | DIRECTORY --label "
     "LABEL [--archives A]",
     1,
     1,
     {"--label", "--archives"},
     {"--eject"},
     kestavo::cli::RunCatalog},
    {"locate", "kestavo-cli locate CATALOGPATH", 1, 1, {}, {}, kestavo::cli::RunLocate},
    {"eject", "kestavo-cli eject", 0, 0, {}, {}, kestavo::cli::RunEject},
    {"find",
     "kestavo-cli find MASK [--root TREEPATH] [--no-subfolders] [--unit U] [--report FILE] "
     "[--format F]",
     1,
     1,
     {"--root", "--report", "--format"},
     {"--no-subfolders"},
     kestavo::cli::RunFind},
    {"duplicates",
     "kestavo-cli duplicates [--root TREEPATH] [--no-names] [--no-sizes] [--no-dates] "
     "[--threshold N] [--unit U] [--report FILE] [--format F]",
     0,
     0,
     {"--root", "--threshold", "--report", "--format"},
     {"--no-names", "--no-sizes", "--no-dates"},
     kestavo::cli::RunDuplicates},
    {"compare",
     "kestavo-cli compare DRIVE [--unit U] [--report FILE] [--format F]",
     1,
     1,
     {"--report", "--format"},
     {},
     kestavo::cli::RunCompare},
    {"export", "kestavo-cli export --sqlite FILE", 0, 0, {"--sqlite"}, {}, kestavo::cli::RunExport},
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
    if (argc < 2) return UsageError(nullptr, "no command given");
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
    return UsageError(nullptr, "unknown command " + std::string(name));
}
