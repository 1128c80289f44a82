// SPDX-License-Identifier: GPL-3.0-or-later
// Generates the scanner benchmark's tree: 200 top folders with 99
// subfolders each (20 000 folders), 10 files in every subfolder and in
// every top folder but one file per top folder is a ZIP archive of 500
// members, so 200 000 files with 200 archives and 100 000 members. File
// sizes are set without writing data; dates are spread over 25 years.
// With --big-archive, one ZIP64 archive of 100 000 members instead.
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cstdint>
#include <cstdio>
#include <ctime>
#include <random>
#include <string>

namespace {

constexpr int kTopFolders = 200;
constexpr int kSubfolders = 99;
constexpr int kFilesPerFolder = 10;
constexpr int kMembersPerArchive = 500;

void Put(std::string& out, std::uint64_t value, int bytes) {
    for (int i = 0; i < bytes; ++i) out += static_cast<char>((value >> (8 * i)) & 0xff);
}

// A ZIP archive of stored, empty members under nested folders, with DOS
// dates, written the way archivers write one.
std::string ArchiveBytes(std::mt19937& random, int members) {
    std::string body, directory;
    for (int i = 0; i < members; ++i) {
        const std::string name = "src" + std::to_string(i % 7) + "/part" + std::to_string(i % 23) +
                                 "/member_" + std::to_string(i) + ".txt";
        const std::uint32_t when = ((20u + random() % 20) << 25) | ((1u + random() % 12) << 21) |
                                   ((1u + random() % 28) << 16) | (random() % 0xbf7f);
        const std::uint64_t offset = body.size();
        Put(body, 0x04034b50, 4);
        Put(body, 20, 2);
        Put(body, 0x800, 2);
        Put(body, 0, 2);
        Put(body, when, 4);
        Put(body, 0, 12);
        Put(body, name.size(), 2);
        Put(body, 0, 2);
        body += name;
        Put(directory, 0x02014b50, 4);
        Put(directory, 20, 2);
        Put(directory, 20, 2);
        Put(directory, 0x800, 2);
        Put(directory, 0, 2);
        Put(directory, when, 4);
        Put(directory, 0, 12);
        Put(directory, name.size(), 2);
        Put(directory, 0, 12);
        Put(directory, offset, 4);
        directory += name;
    }
    std::string out = body + directory;
    const bool zip64 = members > 0xffff;
    if (zip64) {
        const std::uint64_t record = out.size();
        Put(out, 0x06064b50, 4);
        Put(out, 44, 8);
        Put(out, 45, 2);
        Put(out, 45, 2);
        Put(out, 0, 8);
        Put(out, members, 8);
        Put(out, members, 8);
        Put(out, directory.size(), 8);
        Put(out, body.size(), 8);
        Put(out, 0x07064b50, 4);
        Put(out, 0, 4);
        Put(out, record, 8);
        Put(out, 1, 4);
    }
    Put(out, 0x06054b50, 4);
    Put(out, 0, 4);
    Put(out, zip64 ? 0xffff : members, 2);
    Put(out, zip64 ? 0xffff : members, 2);
    Put(out, zip64 ? 0xffffffffu : directory.size(), 4);
    Put(out, zip64 ? 0xffffffffu : body.size(), 4);
    Put(out, 0, 2);
    return out;
}

bool MakeFile(const std::string& path, const std::string& content, std::int64_t size,
              std::int64_t time) {
    const int fd = ::open(path.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
    if (fd < 0) return false;
    bool ok = content.empty() ? ::ftruncate(fd, size) == 0
                              : ::write(fd, content.data(), content.size()) ==
                                    static_cast<ssize_t>(content.size());
    const struct timespec times[2] = {{time, 0}, {time, 0}};
    ok = ::futimens(fd, times) == 0 && ok;
    return ::close(fd) == 0 && ok;
}

}  // namespace

int main(int argc, char** argv) {
    const bool bigArchive = argc == 3 && std::string(argv[1]) == "--big-archive";
    if (argc != 2 && !bigArchive) {
        std::fprintf(stderr, "usage: kestavo-generate-tree DIRECTORY | --big-archive FILE\n");
        return 2;
    }
    std::mt19937 random(2024);
    if (bigArchive)  // one ZIP64 archive of 100 000 members
        return MakeFile(argv[2], ArchiveBytes(random, 100000), 0, 1000000000) ? 0 : 1;
    const std::string root = argv[1];
    ::mkdir(root.c_str(), 0755);
    for (int top = 0; top < kTopFolders; ++top) {
        const std::string topPath = root + "/Folder " + std::to_string(top);
        ::mkdir(topPath.c_str(), 0755);
        for (int sub = -1; sub < kSubfolders; ++sub) {
            const std::string folder = sub < 0 ? topPath : topPath + "/sub_" + std::to_string(sub);
            if (sub >= 0) ::mkdir(folder.c_str(), 0755);
            for (int f = 0; f < kFilesPerFolder; ++f) {
                const std::int64_t time =
                    800000000 + static_cast<std::int64_t>(random() % 800000000);
                const bool archive = sub < 0 && f == 0;
                const std::string name =
                    archive ? "archive_" + std::to_string(top) + ".zip"
                            : "file_" + std::to_string(f) + (f % 3 ? ".txt" : ".DAT");
                const std::string content =
                    archive ? ArchiveBytes(random, kMembersPerArchive) : std::string();
                if (!MakeFile(folder + "/" + name, content, random() % 2000000, time)) {
                    std::perror((folder + "/" + name).c_str());
                    return 1;
                }
            }
        }
    }
    return 0;
}
