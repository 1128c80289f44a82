// SPDX-License-Identifier: GPL-3.0-or-later
// Times the search and compare tools on the benchmark data.
//   kestavo-bench-tools --catalogs DIR
//       Find Files *.JPG and * over every loaded entry (search, containers'
//       sizes and folder texts, sorted rows; then, apart, every row's texts
//       made once in row order), the memory a * search adds, Find
//       Duplicates with all three criteria, the time the Find Files report
//       takes per million rows, and the time of the Duplicate Files report
//       of the sets found by name.
//   kestavo-bench-tools --duplicates DIR
//       Find Duplicates with all three criteria, seven times: the median.
//   kestavo-bench-tools --find-index DIR [RUNS [BLOCK_SHIFT]]
//       Find Files with a literal mask, *.JPG and * over every loaded entry,
//       medians of RUNS (5) Find Now, before and after every store is given
//       a name index built in memory (its build time and size apart).
//   kestavo-bench-tools --find DIR RUNS MASK [MASK ...]
//       Find Files with each mask over every loaded entry from the top:
//       the rows and the median of RUNS Find Now (rows found and sorted).
//   kestavo-bench-tools --compare TREE WORKDIR
//       catalogs TREE into WORKDIR, changes 1 % of the file records of the
//       catalog, loads it and times the comparison of TREE with it.
//   kestavo-bench-tools --compare-scaling WORKDIR
//       times the comparison of 3 000 and 30 000 catalogued sibling folders
//       gone from the disk, and of chains of 20 000 and 200 000 nested
//       folders on the disk and in the catalog, each at both sizes.
//   kestavo-bench-tools --compare-gone-chain DEPTH WORKDIR
//       generates a catalog holding a chain of DEPTH nested folders (a file
//       at the bottom) that the disk, an empty folder in WORKDIR, does not
//       have, loads it and compares: prints the seconds and the megabytes of
//       peak memory above what the loaded catalog takes. One depth per run,
//       so that memory freed by an earlier comparison hides nothing.
#include <fcntl.h>
#include <sys/resource.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <clocale>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <memory>
#include <span>
#include <sstream>
#include <string>
#include <vector>

#include "bench_support.h"
#include "catalog/catalog_commands.h"
#include "catalog/catalog_reader.h"
#include "catalog/catalog_set.h"
#include "catalog/entry_store.h"
#include "catalog/name_index.h"
#include "media/catalog_new_disk.h"
#include "tools/disk_comparison.h"
#include "tools/find_duplicates.h"
#include "tools/find_files.h"

namespace {

using kestavo::bench::CountedMessages;
using kestavo::bench::CurrentRssKb;
using kestavo::bench::PeakRssKb;
using kestavo::bench::Seconds;

template <class Work>
double Timed(Work&& work) {
    const auto start = std::chrono::steady_clock::now();
    work();
    return Seconds(start);
}

// Makes the text of every cell of the rows once, as a view scrolled
// through them all or a report does.
std::size_t MakeEveryText(kestavo::FindFiles& tool) {
    auto scratch = std::make_unique<kestavo::RowTextScratch>();
    std::size_t length = 0;
    for (std::size_t row = 0; row < tool.RowCount(); ++row)
        for (int column = 0; column < kestavo::kFindColumnCount; ++column)
            length += tool.RowText(row, static_cast<kestavo::FindColumn>(column), *scratch).size();
    return length;
}

// Find Now (rows found and sorted, containers' sizes and folder texts
// made), then, timed apart, every row's texts made once in row order.
double FindSeconds(kestavo::CatalogSet& set, const char* mask, std::size_t& rows,
                   double& textSeconds) {
    kestavo::FindFiles tool(set, set.RootItem());
    tool.SetMask(mask);
    const double seconds = Timed([&] { tool.FindNow(); });
    textSeconds = Timed([&] { MakeEveryText(tool); });
    rows = tool.RowCount();
    return seconds;
}

double MedianFindSeconds(kestavo::CatalogSet& set, const char* mask, int runs, std::size_t& rows) {
    std::vector<double> times;
    kestavo::FindFiles tool(set, set.RootItem());
    for (int run = 0; run < runs; ++run) {
        tool.SetMask(mask);
        times.push_back(Timed([&] { tool.FindNow(); }));
    }
    rows = tool.RowCount();
    std::sort(times.begin(), times.end());
    return times[times.size() / 2];
}

void PrintFinds(kestavo::CatalogSet& set, int runs, const char* when) {
    for (const char* mask : {"*_1491*", "*QZX*", "*.JPG", "*"}) {
        std::size_t rows = 0;
        const double seconds = MedianFindSeconds(set, mask, runs, rows);
        std::printf("find %-8s %s: %zu rows, median %.4f s\n", mask, when, rows, seconds);
    }
}

int BenchFindIndex(const std::string& directory, int runs, unsigned blockShift) {
    CountedMessages messages;
    kestavo::CatalogSet set;
    kestavo::OpenAllCatalogs(set, directory, messages);
    const std::size_t entries = set.EntryCount();
    std::printf("loaded %zu entries in %zu stores\n", entries, set.Stores().size());
    PrintFinds(set, runs, "without index");
    std::size_t bytes = 0;
    const double buildSeconds = Timed([&] {
        for (const auto& store : set.Stores()) {
            auto blob = std::make_shared<std::vector<std::byte>>(
                kestavo::BuildNameIndex(*store, blockShift));
            bytes += blob->size();
            store->SetNameIndex(kestavo::NameIndexView::Open(*blob, blob));
        }
    });
    std::printf("name indexes built in %.3f s (one thread), %zu bytes, %.2f bytes per entry\n",
                buildSeconds, bytes, static_cast<double>(bytes) / static_cast<double>(entries));
    PrintFinds(set, runs, "with index");
    return 0;
}

int BenchFind(const std::string& directory, int runs, std::span<char*> masks) {
    CountedMessages messages;
    kestavo::CatalogSet set;
    const double loadSeconds = Timed([&] { kestavo::OpenAllCatalogs(set, directory, messages); });
    std::printf("loaded %zu entries in %zu stores in %.3f s\n", set.EntryCount(),
                set.Stores().size(), loadSeconds);
    for (const char* mask : masks) {
        std::size_t rows = 0;
        const double seconds = MedianFindSeconds(set, mask, runs, rows);
        std::printf("find %-10s %zu rows, median of %d: %.4f s\n", mask, rows, runs, seconds);
    }
    return 0;
}

int BenchCatalogs(const std::string& directory) {
    CountedMessages messages;
    kestavo::CatalogSet set;
    kestavo::OpenAllCatalogs(set, directory, messages);
    const std::size_t entries = set.EntryCount();
    if (entries == 0) {
        std::fprintf(stderr, "no catalogs in %s\n", directory.c_str());
        return 1;
    }
    std::printf("loaded %zu entries\n", entries);

    std::size_t rows = 0;
    double textSeconds = 0;
    double seconds = FindSeconds(set, "*.JPG", rows, textSeconds);
    std::printf("find *.JPG: %zu rows in %.3f s (target <= 0.3 s); every row's texts: %.3f s\n",
                rows, seconds, textSeconds);

    // What the first * search adds stays with the rows and the folders'
    // location texts.
    {
        const long beforeKb = CurrentRssKb();
        kestavo::FindFiles all(set, set.RootItem());
        all.SetMask("*");
        seconds = Timed([&] { all.FindNow(); });
        const long afterKb = CurrentRssKb();
        std::printf("find *: %zu rows in %.3f s (target <= 1.5 s)\n", all.RowCount(), seconds);
        std::printf("memory added by the * search: %.1f bytes per entry (target <= 64)\n",
                    (afterKb - beforeKb) * 1024.0 / static_cast<double>(entries));

        // The Find Files report of every row, written to a file.
        const std::string path = directory + "/../tools-bench-report.txt";
        seconds = Timed([&] { all.SaveReport(path); });
        std::printf(
            "Find Files report of %zu rows: %.3f s, %.3f s per million rows (target <= 1 s)\n",
            all.RowCount(), seconds, seconds * 1e6 / static_cast<double>(all.RowCount()));
        std::filesystem::remove(path);
    }
    seconds = FindSeconds(set, "*", rows, textSeconds);
    std::printf("find * again: %zu rows in %.3f s; every row's texts: %.3f s\n", rows, seconds,
                textSeconds);

    kestavo::FindDuplicates duplicates(set, set.RootItem());
    seconds = Timed([&] { duplicates.FindNow(); });
    std::printf("duplicates, all criteria: %zu rows in %.3f s (target <= 2.5 s)\n",
                duplicates.RowCount(), seconds);
    // Names alone make many large sets: the grouping and set order at scale.
    kestavo::FindDuplicates byName(set, set.RootItem());
    byName.SetCriteria(kestavo::DuplicateCriteria{true, false, false});
    seconds = Timed([&] { byName.FindNow(); });
    std::printf("duplicates, names only: %zu rows in %.3f s\n", byName.RowCount(), seconds);
    // The Duplicate Files report of those sets, written to a file.
    const std::string path = directory + "/../tools-bench-duplicates.txt";
    seconds = Timed([&] { byName.SaveReport(path); });
    std::printf("Duplicate Files report of %zu rows: %.3f s\n", byName.RowCount(), seconds);
    std::filesystem::remove(path);
    return 0;
}

// Changes the size of every 100th file record of a catalog's text.
std::string ChangeOnePercent(const std::string& text, int& changed) {
    std::istringstream in(text);
    std::string out, line;
    int files = 0;
    while (std::getline(in, line)) {
        const std::size_t quote = line.rfind('"');
        if (!line.empty() && line.front() == '"' && quote != 0 && ++files % 100 == 0) {
            // "name" size day month year hour minute second
            const std::size_t sizeStart = quote + 2;
            const std::size_t sizeEnd = line.find(' ', sizeStart);
            line = line.substr(0, sizeStart) +
                   std::to_string(std::stoll(line.substr(sizeStart, sizeEnd - sizeStart)) + 1) +
                   line.substr(sizeEnd);
            ++changed;
        }
        out += line;
        out += '\n';
    }
    return out;
}

int BenchCompare(const std::string& tree, const std::string& work) {
    CountedMessages messages;
    const std::string catalogs = work + "/catalogs";
    std::filesystem::create_directories(catalogs);
    {
        kestavo::CatalogSet scratch;
        kestavo::media::DriveMap none;
        kestavo::media::CatalogNewDisk command(scratch, none, messages);
        command.SetCatalogDirectory(catalogs);
        if (command.RunOnDirectory(tree, "TREE").status != kestavo::media::CatalogStatus::Written) {
            std::fprintf(stderr, "cannot catalog %s\n", tree.c_str());
            return 1;
        }
    }
    std::ifstream in(catalogs + "/TREE.kvx", std::ios::binary);
    std::stringstream text;
    text << in.rdbuf();
    int changed = 0;
    const std::string altered = ChangeOnePercent(text.str(), changed);

    kestavo::CatalogSet set;
    kestavo::LoadCatalogText(set, altered, catalogs + "/TREE.kvx", messages);
    const kestavo::TreeItem disk = set.Tree().FirstChild(set.RootItem());
    kestavo::DiskComparison tool(set);
    double best = 1e9;
    for (int run = 0; run < 3; ++run)
        best = std::min(best, Timed([&] { tool.CompareDirectory("T:", tree, disk); }));
    std::printf("%.3f\n", best);
    std::fprintf(stderr, "compare: %zu rows for %d changed files of %zu entries\n", tool.RowCount(),
                 changed, set.EntryCount());
    return 0;
}

const char* const kBenchHeader = "kvx_version_1_1\r\n< \r\n   %drivetype removable\r\n> \r\n";
const char* const kBenchDate = " 1 1 2001 10 0 0";

double TimedCompare(const std::string& body, const std::string& directory) {
    CountedMessages messages;
    kestavo::CatalogSet set;
    kestavo::LoadCatalogText(
        set, std::string(kBenchHeader) + "+ \"DISK\" 1000 10" + kBenchDate + " < " + body + " >",
        "DISK.kvx", messages);
    const kestavo::TreeItem disk = set.Tree().FirstChild(set.RootItem());
    kestavo::DiskComparison tool(set);
    const double seconds = Timed([&] { tool.CompareDirectory("T:", directory, disk); });
    std::fprintf(stderr, "  %zu rows\n", tool.RowCount());
    return seconds;
}

// `count` catalogued folders of one file each, none of them on the disk.
double GoneFolders(int count, const std::string& work) {
    std::string body;
    for (int i = 0; i < count; ++i)
        body += "+\"folder" + std::to_string(i) + "\" 0 0" + kBenchDate + " < \"f\" 1" +
                kBenchDate + " > ";
    std::filesystem::create_directories(work + "/empty");
    return TimedCompare(body, work + "/empty");
}

// A chain of `depth` folders "d" on the disk and the same in the catalog.
double DeepChain(int depth, const std::string& work) {
    const std::string top = work + "/deep";
    std::filesystem::create_directories(top);
    int fd = ::open(top.c_str(), O_RDONLY | O_DIRECTORY);
    std::string body;
    for (int i = 0; i < depth; ++i) {
        ::mkdirat(fd, "d", 0755);
        const int next = ::openat(fd, "d", O_RDONLY | O_DIRECTORY);
        ::close(fd);
        fd = next;
        // Folder dates are not compared.
        body += "+\"d\" 0 0";
        body += kBenchDate;
        body += " < ";
    }
    ::close(fd);
    for (int i = 0; i < depth; ++i) body += "> ";
    const double seconds = TimedCompare(body, top);
    // Lift each second level up in turn, so that no long path is needed.
    namespace fs = std::filesystem;
    while (fs::exists(top + "/d/d")) {
        fs::rename(top + "/d/d", top + "/lifted");
        fs::remove_all(top + "/d");
        fs::rename(top + "/lifted", top + "/d");
    }
    fs::remove_all(top);
    return seconds;
}

int BenchCompareScaling(const std::string& work) {
    const double gone3k = GoneFolders(3000, work);
    const double gone30k = GoneFolders(30000, work);
    std::printf(
        "compare, catalogued folders gone from the disk: 3 000 %.3f s, 30 000 %.3f s, ratio %.1f "
        "(target <= 20)\n",
        gone3k, gone30k, gone30k / gone3k);
    const double deep20k = DeepChain(20000, work);
    const double deep200k = DeepChain(200000, work);
    std::printf(
        "compare, nested folders on disk and catalog: 20 000 %.3f s, 200 000 %.3f s, ratio %.1f "
        "(target <= 20)\n",
        deep20k, deep200k, deep200k / deep20k);
    return 0;
}

// The generated catalog text of a chain of `depth` folders "d" with one
// file at the bottom.
std::string GoneChainCatalog(int depth) {
    const std::string open = std::string("+\"d\" 0 0") + kBenchDate + " < ";
    std::string text = std::string(kBenchHeader) + "+ \"DISK\" 1000 10" + kBenchDate + " < ";
    text.reserve(text.size() + static_cast<std::size_t>(depth) * (open.size() + 2) + 64);
    for (int i = 0; i < depth; ++i) text += open;
    text += std::string("\"f\" 1") + kBenchDate + " ";
    for (int i = 0; i < depth; ++i) text += "> ";
    text += ">";
    return text;
}

// The peak resident memory since ResetPeakRss, in kB (the peak of the whole
// run where the system cannot reset it).
void ResetPeakRss() {
    std::ofstream("/proc/self/clear_refs") << "5";
}

long PeakRssSinceResetKb() {
    std::ifstream status("/proc/self/status");
    std::string line;
    while (std::getline(status, line))
        if (line.rfind("VmHWM:", 0) == 0) return std::stol(line.substr(6));
    return PeakRssKb();
}

int BenchGoneChain(int depth, const std::string& work) {
    const std::string disk = work + "/empty";
    std::filesystem::create_directories(disk);
    CountedMessages messages;
    kestavo::CatalogSet set;
    kestavo::LoadCatalogText(set, GoneChainCatalog(depth), "DISK.kvx", messages);
    const kestavo::TreeItem top = set.Tree().FirstChild(set.RootItem());
    const long loadedKb = CurrentRssKb();
    ResetPeakRss();
    kestavo::DiskComparison tool(set);
    const double seconds = Timed([&] { tool.CompareDirectory("T:", disk, top); });
    const long peakKb = std::max(PeakRssSinceResetKb(), CurrentRssKb());
    std::printf("%.3f %.1f\n", seconds, static_cast<double>(peakKb - loadedKb) / 1024.0);
    std::fprintf(stderr, "  depth %d: %zu rows, %.1f MB loaded\n", depth, tool.RowCount(),
                 static_cast<double>(loadedKb) / 1024.0);
    return tool.RowCount() == static_cast<std::size_t>(depth) + 1 ? 0 : 1;
}

}  // namespace

// Find Duplicates with all three criteria over every loaded entry, seven
// times on the same set: the median and the spread.
int BenchDuplicates(const std::string& directory) {
    CountedMessages messages;
    kestavo::CatalogSet set;
    kestavo::OpenAllCatalogs(set, directory, messages);
    std::vector<double> seconds;
    std::size_t rows = 0;
    for (int run = 0; run < 7; ++run) {
        kestavo::FindDuplicates duplicates(set, set.RootItem());
        seconds.push_back(Timed([&] { duplicates.FindNow(); }));
        rows = duplicates.RowCount();
    }
    std::sort(seconds.begin(), seconds.end());
    std::printf("duplicates, all criteria, %zu entries: %zu rows, median %.3f s (%.3f to %.3f)\n",
                set.EntryCount(), rows, seconds[3], seconds.front(), seconds.back());
    return 0;
}

int main(int argc, char** argv) {
    std::setlocale(LC_ALL, "");
    const std::string mode = argc > 1 ? argv[1] : "";
    if (mode == "--catalogs" && argc == 3) return BenchCatalogs(argv[2]);
    if (mode == "--duplicates" && argc == 3) return BenchDuplicates(argv[2]);
    if (mode == "--find-index" && argc >= 3 && argc <= 5)
        return BenchFindIndex(
            argv[2], argc >= 4 ? std::atoi(argv[3]) : 5,
            argc >= 5 ? static_cast<unsigned>(std::atoi(argv[4])) : kestavo::kNameIndexBlockShift);
    if (mode == "--find" && argc >= 5)
        return BenchFind(argv[2], std::max(1, std::atoi(argv[3])),
                         std::span<char*>(argv + 4, static_cast<std::size_t>(argc - 4)));
    if (mode == "--compare" && argc == 4) return BenchCompare(argv[2], argv[3]);
    if (mode == "--compare-scaling" && argc == 3) return BenchCompareScaling(argv[2]);
    if (mode == "--compare-gone-chain" && argc == 4)
        return BenchGoneChain(std::atoi(argv[2]), argv[3]);
    std::fprintf(stderr,
                 "usage: kestavo-bench-tools --catalogs DIR | --find DIR RUNS MASK... | "
                 "--compare TREE WORKDIR | "
                 "--compare-scaling WORKDIR | --compare-gone-chain DEPTH WORKDIR\n");
    return 2;
}
