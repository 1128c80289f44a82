// SPDX-License-Identifier: GPL-3.0-or-later
// What the benchmark programs share: messages counted instead of shown,
// resident memory, and elapsed time.
#pragma once

#include <sys/resource.h>

#include <chrono>
#include <fstream>
#include <string>

#include "catalog/messages.h"

namespace kestavo::bench {

class CountedMessages : public MessageSink {
public:
    MessageAnswer Show(const Message& message) override {
        ++count;
        return message.defaultAnswer;
    }
    int count = 0;
};

inline long CurrentRssKb() {
    std::ifstream status("/proc/self/status");
    std::string line;
    while (std::getline(status, line))
        if (line.rfind("VmRSS:", 0) == 0) return std::stol(line.substr(6));
    return 0;
}

// A field of /proc/self/smaps_rollup ("Rss", "Private_Dirty"), in KiB.
inline long RollupKb(const std::string& field) {
    std::ifstream rollup("/proc/self/smaps_rollup");
    std::string line;
    while (std::getline(rollup, line))
        if (line.rfind(field + ":", 0) == 0) return std::stol(line.substr(field.size() + 1));
    return 0;
}

inline long PeakRssKb() {
    rusage usage{};
    getrusage(RUSAGE_SELF, &usage);
    return usage.ru_maxrss;
}

inline double Seconds(std::chrono::steady_clock::time_point since) {
    return std::chrono::duration<double>(std::chrono::steady_clock::now() - since).count();
}

}  // namespace kestavo::bench
