// SPDX-License-Identifier: GPL-3.0-or-later
#include "catalog_generator.h"

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <filesystem>
#include <random>
#include <vector>

namespace kestavo::bench {
namespace {

// A small, fully specified generator, so that every machine makes the same data.
class Random {
public:
    explicit Random(std::uint64_t seed) : engine_(seed) {}
    std::uint64_t Below(std::uint64_t n) { return n ? engine_() % n : 0; }
    bool Chance(double p) { return static_cast<double>(engine_() >> 11) * 0x1.0p-53 < p; }
    double Unit() { return static_cast<double>(engine_() >> 11) * 0x1.0p-53; }

private:
    std::mt19937_64 engine_;
};

const char* const kWords[] = {
    "report",  "holiday",      "invoice",  "backup", "photo",   "summer", "project", "draft",
    "notes",   "budget",       "family",   "scan",   "letter",  "music",  "video",   "archive",
    "final",   "old",          "new",      "copy",   "meeting", "thesis", "chapter", "data",
    "results", "presentation", "contract", "manual", "readme",  "setup",  "source",  "test",
};
const char* const kExtensions[] = {
    ".jpg", ".JPG", ".png", ".txt", ".pdf",  ".doc", ".docx", ".xls",  ".mp3", ".mp4",
    ".mov", ".c",   ".h",   ".cpp", ".html", ".css", ".js",   ".json", ".xml", ".iso",
    ".exe", ".dll", ".log", ".csv", ".odt",  ".tif", ".wav",  ".flac", ".7z",  ".tar",
};
const char* const kFolderWords[] = {
    "Documents", "Photos", "Music",  "Projects", "src",  "include", "lib",    "Archive",
    "2019",      "2020",   "2021",   "Holidays", "Work", "Private", "Scans",  "Backup",
    "old",       "tmp",    "assets", "images",   "docs", "build",   "Videos", "Downloads",
};

template <std::size_t N>
const char* Pick(Random& r, const char* const (&list)[N]) {
    return list[r.Below(N)];
}

class CatalogWriter {
public:
    CatalogWriter(Random& random, std::string& out) : random_(random), out_(out) {}

    void Header(const char* driveType) {
        out_ += "kvx_version_1_1\r\n< \r\n   %drivetype ";
        out_ += driveType;
        out_ += "\r\n> \r\n+\r\n";
    }
    void OpenContainer(const std::string& name, std::int64_t size, std::int64_t second) {
        out_.append("+ \"").append(name).append("\" ").append(std::to_string(size));
        out_.append(" ").append(std::to_string(second)).append(" ");
        Date();
        out_ += " <\r\n";
    }
    void Close() { out_ += ">\r\n"; }
    void File(const std::string& name, std::int64_t size) {
        out_.append("\"").append(name).append("\" ").append(std::to_string(size)).append(" ");
        Date();
        out_ += "\r\n";
    }
    std::string FileName() {
        std::string name;
        switch (random_.Below(4)) {
            case 0:
                name = "IMG_" + std::to_string(1000 + random_.Below(9000));
                break;
            case 1:
                name =
                    std::string(Pick(random_, kWords)) + "_" + std::to_string(random_.Below(3000));
                break;
            case 2:
                name = std::string(Pick(random_, kWords)) + " " + Pick(random_, kWords) + " " +
                       std::to_string(random_.Below(100));
                break;
            default:
                name = std::string(Pick(random_, kWords)) + "-" + Pick(random_, kWords);
                break;
        }
        return name + Pick(random_, kExtensions);
    }
    std::string FolderName() {
        std::string name = Pick(random_, kFolderWords);
        if (random_.Chance(0.6)) name += " " + std::to_string(random_.Below(500));
        return name;
    }
    // Sizes spread over many orders of magnitude, a few of several GiB.
    std::int64_t FileSize() {
        if (random_.Chance(0.02)) return 0;
        return static_cast<std::int64_t>(std::exp(random_.Unit() * std::log(6.0e9)));
    }

private:
    void Date() {
        const auto year = 1999 + random_.Below(25);
        const auto month = 1 + random_.Below(12);
        const auto day = 1 + random_.Below(28);
        out_ += std::to_string(day) + " " + std::to_string(month) + " " + std::to_string(year) +
                " " + std::to_string(random_.Below(24)) + " " + std::to_string(random_.Below(60)) +
                " " + std::to_string(random_.Below(60));
    }

    Random& random_;
    std::string& out_;
};

bool WriteFile(const std::string& path, const std::string& text) {
    std::FILE* file = std::fopen(path.c_str(), "wb");
    if (!file) return false;
    const bool ok = std::fwrite(text.data(), 1, text.size(), file) == text.size();
    return std::fclose(file) == 0 && ok;
}

// One disk: folders nested up to maxDepth, files in each, now and then a
// ZIP archive with its own folders, until `budget` entries are written.
std::int64_t WriteDisk(Random& random, std::string& out, const std::string& label,
                       std::int64_t budget, int largeFolderSize, const GeneratorSettings& s) {
    CatalogWriter writer(random, out);
    writer.Header(random.Chance(0.5) ? "removable" : (random.Chance(0.5) ? "cdrom" : "default"));
    writer.OpenContainer(label, 64LL << 30, static_cast<std::int64_t>(random.Below(32LL << 30)));
    std::int64_t written = 1;
    if (largeFolderSize > 0) {
        writer.OpenContainer("Camera Roll", 0, 0);
        for (int i = 0; i < largeFolderSize; ++i)
            writer.File("IMG_" + std::to_string(100000 + i) + ".JPG", writer.FileSize());
        writer.Close();
        written += 1 + largeFolderSize;
        budget += 1 + largeFolderSize;
    }
    // Containers get distinct names: a catalog replaces a folder by a later
    // one of the same name.
    struct Level {
        int foldersLeft;
    };
    int containersMade = 0;
    auto uniqueName = [&containersMade](const std::string& name) {
        return name + " (" + std::to_string(++containersMade) + ")";
    };
    std::vector<Level> stack{{4 + static_cast<int>(random.Below(8))}};
    while (written < budget && !stack.empty()) {
        const int depth = static_cast<int>(stack.size());
        const int files = static_cast<int>(random.Below(30));
        for (int i = 0; i < files && written < budget; ++i) {
            writer.File(writer.FileName(), writer.FileSize());
            ++written;
        }
        if (written < budget && random.Chance(s.zippedShare * 0.35)) {
            const int members = 5 + static_cast<int>(random.Below(60));
            writer.OpenContainer(uniqueName(writer.FolderName()) + ".zip",
                                 1 + static_cast<std::int64_t>(random.Below(200'000'000)), 0);
            int inFolder = 0;
            for (int m = 0; m < members; ++m) {
                if (m % 15 == 14) {
                    writer.OpenContainer(writer.FolderName() + " " + std::to_string(m), 0, 0);
                    ++inFolder;
                    ++written;
                }
                writer.File(writer.FileName(), writer.FileSize() / 64);
                ++written;
            }
            while (inFolder-- > 0) writer.Close();
            writer.Close();
            ++written;
        }
        Level& level = stack.back();
        if (level.foldersLeft > 0 && depth < s.maxDepth && written < budget) {
            --level.foldersLeft;
            writer.OpenContainer(uniqueName(writer.FolderName()), 0, 0);
            ++written;
            stack.push_back({static_cast<int>(random.Below(depth < 4 ? 7 : 3))});
        } else {
            stack.pop_back();
            if (!stack.empty()) writer.Close();
        }
        if (stack.empty() && written < budget) {
            stack.push_back({2 + static_cast<int>(random.Below(6))});
        }
    }
    while (stack.size() > 1) {
        stack.pop_back();
        writer.Close();
    }
    writer.Close();  // the disk
    return written;
}

}  // namespace

std::int64_t GenerateCatalogDirectory(const std::string& directory, const GeneratorSettings& s) {
    std::error_code ignored;
    std::filesystem::create_directories(directory, ignored);
    Random random(s.seed);
    const std::int64_t bigEntries = std::int64_t{s.largeFolders} * (s.largeFolderSize + 1);
    const std::int64_t perDisk = (s.entries - bigEntries) / s.catalogs;
    std::int64_t total = 0;
    std::string text;
    for (int c = 0; c < s.catalogs; ++c) {
        char label[32];
        std::snprintf(label, sizeof label, "DISK%03d", c);
        // The large folders sit on evenly spread disks.
        const int step = std::max(1, s.catalogs / std::max(1, s.largeFolders));
        const bool large = s.largeFolders > 0 && c % step == 7 % step && c / step < s.largeFolders;
        std::int64_t budget = perDisk;
        if (c == s.catalogs - 1) budget = s.entries - total - (large ? s.largeFolderSize + 1 : 0);
        text.clear();
        total += WriteDisk(random, text, label, budget, large ? s.largeFolderSize : 0, s);
        if (!WriteFile(directory + "/" + label + ".kvx", text)) return -1;
    }
    return total;
}

bool GenerateWideCatalog(const std::string& path, int subfolders) {
    Random random(99);
    std::string text;
    CatalogWriter writer(random, text);
    writer.Header("fixed");
    writer.OpenContainer("WIDE", 1LL << 40, 1LL << 39);
    writer.OpenContainer("many", 0, 0);
    // Written in descending order, so that sorting has work to do.
    for (int i = subfolders - 1; i >= 0; --i) {
        writer.OpenContainer("folder " + std::to_string(1000000 + i), 0, 0);
        writer.File("file.txt", 100);
        writer.Close();
    }
    writer.Close();
    writer.Close();
    return WriteFile(path, text);
}

}  // namespace kestavo::bench
