// SPDX-License-Identifier: GPL-3.0-or-later
// What every command of kestavo-cli is given and answers: its parsed
// arguments, its entry in the command table and the exit statuses.
#pragma once

#include <map>
#include <set>
#include <string>
#include <vector>

namespace kestavo::cli {

inline constexpr int kExitDone = 0;
inline constexpr int kExitFailed = 1;
inline constexpr int kExitUsage = 2;

// The arguments of one command: positional words, options with a value
// ("--root X" or "--root=X") and flags ("--eject"). "--unit" has been
// checked and applied before a command runs.
struct Arguments {
    std::vector<std::string> positional;
    std::map<std::string, std::string> options;
    std::set<std::string> flags;

    bool Has(const std::string& flag) const { return flags.count(flag) > 0; }
    const std::string* Option(const std::string& name) const {
        auto it = options.find(name);
        return it == options.end() ? nullptr : &it->second;
    }
};

// One command: its name, usage line, how many positional words it takes,
// the options it knows, and what runs it.
struct Command {
    const char* name;
    const char* usage;
    int minPositional;
    int maxPositional;
    std::vector<std::string> valueOptions;  // besides --unit
    std::vector<std::string> flagOptions;
    int (*run)(const Arguments&);
};

}  // namespace kestavo::cli
