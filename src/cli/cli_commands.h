// The commands of kestavo-cli. Each answers the process exit status.
#pragma once

#include <string>
#include <vector>

namespace kestavo::cli {

inline constexpr int kExitDone = 0;
inline constexpr int kExitFailed = 1;
inline constexpr int kExitUsage = 2;

// The arguments of one command: positional words and options.
struct Arguments {
    std::vector<std::string> positional;
    std::string unit;  // empty: not given
    bool help = false;
};

int RunLs(const Arguments& args);
int RunProperties(const Arguments& args);

}  // namespace kestavo::cli
