// SPDX-License-Identifier: GPL-3.0-or-later
// Times the catalog shapes whose cost once grew with the square of their
// size, each at two sizes ten times apart, with data it makes itself:
//   - files dated past 2035 in one catalog (load, one message);
//   - many files and then many folders of one name (load, find, sizes);
//   - Open All of many small catalogs against few catalogs holding the
//     same entries;
//   - a chain of nested folders (find '*' with its report).
//   kestavo-bench-scaling [WORK_DIR]
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <clocale>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <functional>
#include <string>

#include "bench_support.h"
#include "catalog/catalog_commands.h"
#include "catalog/catalog_set.h"
#include "tools/find_files.h"
#include "tools/report_writer.h"

namespace {

using kestavo::bench::CountedMessages;
using kestavo::bench::PeakRssKb;
using kestavo::bench::Seconds;
namespace fs = std::filesystem;

const char* kHeader = "kvx_version_1_1\r\n< \r\n   %drivetype default\r\n> \r\n";

std::string Disk(const std::string& label, const std::string& body) {
    return std::string(kHeader) + "+\r\n\"" + label + "\" 100 50 1 1 2000 0 0 0 <\r\n" + body +
           ">\r\n";
}

std::string File(const std::string& name, int year = 2000) {
    return "\"" + name + "\" 1 1 1 " + std::to_string(year) + " 0 0 0\r\n";
}

void WriteFile(const fs::path& path, const std::string& text) {
    std::ofstream(path, std::ios::binary) << text;
}

// A fresh directory for one case.
fs::path CaseDir(const fs::path& work, const std::string& name) {
    const fs::path dir = work / name;
    fs::remove_all(dir);
    fs::create_directories(dir);
    return dir;
}

// Open All, then Find Files '*' over everything with its report thrown away.
double OpenAllAndFind(const fs::path& dir, bool find) {
    CountedMessages messages;
    kestavo::CatalogSet set;
    const auto start = std::chrono::steady_clock::now();
    kestavo::OpenAllCatalogs(set, dir.string(), messages);
    if (find) {
        kestavo::FindFiles tool(set, kestavo::kNoItem);
        tool.SetMask("*");
        tool.FindNow();
        std::FILE* sink = std::fopen("/dev/null", "wb");
        {
            kestavo::ReportWriter report(sink);
            tool.WriteReport(report);
        }
        std::fclose(sink);
        // The sizes of every disk, as ls and properties show them.
        for (kestavo::TreeItem disk : set.Tree().Children(set.RootItem())) {
            kestavo::ContentCounts counts;
            set.CountContents(disk, counts);
            set.ForEachEntryUnder(disk, [&set](kestavo::FileData& e) { set.SizeTextOf(e); });
        }
    }
    return Seconds(start);
}

// The best of three runs.
double Best(const std::function<double()>& run) {
    double best = run();
    for (int i = 0; i < 2; ++i) best = std::min(best, run());
    return best;
}

void Report(const char* what, int small, double smallSeconds, int large, double largeSeconds) {
    std::printf("%-34s %8d: %7.3f s  %8d: %7.3f s  ratio %5.1f\n", what, small, smallSeconds, large,
                largeSeconds, smallSeconds > 0 ? largeSeconds / smallSeconds : 0.0);
}

double LateDates(const fs::path& work, int count) {
    const fs::path dir = CaseDir(work, "late");
    std::string body;
    for (int i = 0; i < count; ++i) body += File("f" + std::to_string(i), 2040);
    WriteFile(dir / "LATE.kvx", Disk("LATE", body));
    return OpenAllAndFind(dir, true);
}

double SameNames(const fs::path& work, int count) {
    const fs::path dir = CaseDir(work, "same");
    std::string body;
    for (int i = 0; i < count; ++i) body += File("x");
    for (int i = 0; i < count; ++i) body += "+\"x\" 0 0 1 1 2000 0 0 0 < >\r\n";
    WriteFile(dir / "SAME.kvx", Disk("SAME", body));
    return OpenAllAndFind(dir, true);
}

// `catalogs` catalogs sharing `entries` files between them.
double ManyCatalogs(const fs::path& work, int catalogs, int entries) {
    const fs::path dir = CaseDir(work, "many");
    const int each = entries / catalogs;
    for (int c = 0; c < catalogs; ++c) {
        std::string body;
        for (int i = 0; i < each; ++i) body += File("file" + std::to_string(i) + ".txt");
        WriteFile(dir / ("D" + std::to_string(c) + ".kvx"), Disk("D" + std::to_string(c), body));
    }
    return OpenAllAndFind(dir, false);
}

double DeepChain(const fs::path& work, int depth) {
    const fs::path dir = CaseDir(work, "deep");
    std::string body;
    body.reserve(static_cast<std::size_t>(depth) * 32);
    for (int i = 0; i < depth; ++i) body += "+\"d\" 0 0 1 1 2000 0 0 0 <\r\n";
    body += File("leaf");
    body.append(static_cast<std::size_t>(depth), '>');
    WriteFile(dir / "DEEP.kvx", Disk("DEEP", body));
    return OpenAllAndFind(dir, true);
}

}  // namespace

int main(int argc, char** argv) {
    std::setlocale(LC_ALL, "");
    const fs::path work =
        argc > 1 ? fs::path(argv[1]) : fs::temp_directory_path() / "kestavo-scaling";
    fs::create_directories(work);
    Report("dates past 2035 (load, find)", 3000, Best([&] { return LateDates(work, 3000); }), 30000,
           Best([&] { return LateDates(work, 30000); }));
    Report("one name, files then folders", 10000, Best([&] { return SameNames(work, 10000); }),
           100000, Best([&] { return SameNames(work, 100000); }));
    Report("open all, 100-file catalogs", 1000,
           Best([&] { return ManyCatalogs(work, 1000, 100000); }), 10000,
           Best([&] { return ManyCatalogs(work, 10000, 1000000); }));
    const double many = Best([&] { return ManyCatalogs(work, 10000, 1000000); });
    const double few = Best([&] { return ManyCatalogs(work, 200, 1000000); });
    std::printf("%-34s 10000 catalogs %.3f s, 200 catalogs %.3f s, ratio %.1f\n",
                "open all, the same 1000000 files", many, few, few > 0 ? many / few : 0.0);
    Report("folder chain (find '*')", 3000, Best([&] { return DeepChain(work, 3000); }), 30000,
           Best([&] { return DeepChain(work, 30000); }));
    std::printf("peak resident memory %.1f MiB\n", PeakRssKb() / 1024.0);
    fs::remove_all(work);
    return 0;
}
