// kestavo-cli: the catalog model and tools of Kestavo on the command line.
#include <clocale>
#include <cstdio>
#include <cstring>
#include <string>
#include <string_view>

#include "catalog/size_unit.h"
#include "cli/cli_commands.h"

namespace {

using kestavo::cli::Arguments;

struct Command {
    const char* name;
    const char* usage;
    int maxPositional;
    int (*run)(const Arguments&);
};

const Command kCommands[] = {
    {"ls", "kestavo-cli ls [TREEPATH] [--unit byte|KB|MB]", 1, kestavo::cli::RunLs},
    {"properties", "kestavo-cli properties [TREEPATH] [--unit byte|KB|MB]", 1,
     kestavo::cli::RunProperties},
};

void PrintMainUsage(std::FILE* out) {
    std::fputs("usage: kestavo-cli COMMAND [ARGUMENTS]\n\ncommands:\n", out);
    for (const Command& c : kCommands) std::fprintf(out, "  %s\n", c.usage);
    std::fputs("\n  kestavo-cli --version\n  kestavo-cli COMMAND --help\n", out);
}

int UsageError(const Command* command, const std::string& problem) {
    std::fprintf(stderr, "kestavo-cli: %s\n", problem.c_str());
    if (command) std::fprintf(stderr, "usage: %s\n", command->usage);
    else PrintMainUsage(stderr);
    return kestavo::cli::kExitUsage;
}

// Parses the words after the command name; answers false with `problem`
// set on a usage error.
bool ParseArguments(int argc, char** argv, int first, const Command& command, Arguments& args,
                    std::string& problem) {
    for (int i = first; i < argc; ++i) {
        const std::string_view word = argv[i];
        if (word == "--help" || word == "-h") {
            args.help = true;
        } else if (word == "--unit" || word.starts_with("--unit=")) {
            if (word == "--unit") {
                if (i + 1 >= argc) {
                    problem = "--unit needs a value";
                    return false;
                }
                args.unit = argv[++i];
            } else {
                args.unit = std::string(word.substr(7));
            }
            if (args.unit != "byte" && args.unit != "KB" && args.unit != "MB") {
                problem = "--unit takes byte, KB or MB";
                return false;
            }
        } else if (word.size() > 1 && word.starts_with("--")) {
            problem = "unknown option " + std::string(word);
            return false;
        } else {
            args.positional.emplace_back(word);
        }
    }
    if (!args.help && static_cast<int>(args.positional.size()) > command.maxPositional) {
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
        std::puts("kestavo-cli 3.0");
        return kestavo::cli::kExitDone;
    }
    if (name == "--help" || name == "-h") {
        PrintMainUsage(stdout);
        return kestavo::cli::kExitDone;
    }
    for (const Command& command : kCommands) {
        if (name != command.name) continue;
        Arguments args;
        std::string problem;
        if (!ParseArguments(argc, argv, 2, command, args, problem))
            return UsageError(&command, problem);
        if (args.help) {
            std::printf("usage: %s\n", command.usage);
            return kestavo::cli::kExitDone;
        }
        if (!args.unit.empty()) kestavo::SetSizeUnitByName(args.unit);
        return command.run(args);
    }
    return UsageError(nullptr, "unknown command " + std::string(name));
}
