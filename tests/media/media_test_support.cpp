// SPDX-License-Identifier: GPL-3.0-or-later
#include "media/media_test_support.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <sys/time.h>
#include <unistd.h>
#include <zip.h>

#include <ctime>
#include <filesystem>
#include <fstream>
#include <stdexcept>

#include "catalog/catalog_reader.h"

namespace kestavo::test {

void SetTime(const std::string& path, std::int64_t time) {
    const struct timespec times[2] = {{time, 0}, {time, 0}};
    ::utimensat(AT_FDCWD, path.c_str(), times, AT_SYMLINK_NOFOLLOW);
}

void MakeFile(const std::string& root, const std::string& relative, const std::string& content,
              std::int64_t time) {
    const std::filesystem::path path = std::filesystem::path(root) / relative;
    std::filesystem::create_directories(path.parent_path());
    std::ofstream(path, std::ios::binary) << content;
    SetTime(path.string(), time);
}

void MakeFolder(const std::string& root, const std::string& relative, std::int64_t time) {
    const std::filesystem::path path = std::filesystem::path(root) / relative;
    std::filesystem::create_directories(path);
    SetTime(path.string(), time);
}

void MakeZip(const std::string& path, const std::vector<ZipMember>& members) {
    int error = 0;
    zip_t* archive = zip_open(path.c_str(), ZIP_CREATE | ZIP_TRUNCATE, &error);
    if (!archive) throw std::runtime_error("cannot create " + path);
    for (const ZipMember& m : members) {
        zip_int64_t index = -1;
        const zip_flags_t encoding = m.rawName ? ZIP_FL_ENC_CP437 : ZIP_FL_ENC_UTF_8;
        if (!m.name.empty() && m.name.back() == '/') {
            index = zip_dir_add(archive, m.name.c_str(), encoding);
        } else {
            zip_source_t* source =
                zip_source_buffer(archive, m.content.data(), m.content.size(), 0);
            index = zip_file_add(archive, m.name.c_str(), source, encoding | ZIP_FL_OVERWRITE);
            if (index < 0) zip_source_free(source);
        }
        if (index < 0) throw std::runtime_error("cannot add " + m.name);
        zip_file_set_mtime(archive, static_cast<zip_uint64_t>(index), static_cast<time_t>(m.time),
                           0);
    }
    if (zip_close(archive) != 0) throw std::runtime_error("cannot write " + path);
}

namespace {

std::uint32_t Crc32(const std::string& data) {
    std::uint32_t crc = 0xffffffffu;
    for (unsigned char byte : data) {
        crc ^= byte;
        for (int k = 0; k < 8; ++k) crc = (crc >> 1) ^ (0xedb88320u & (0u - (crc & 1u)));
    }
    return ~crc;
}

void Put(std::string& out, std::uint64_t value, int bytes) {
    for (int i = 0; i < bytes; ++i) out += static_cast<char>((value >> (8 * i)) & 0xff);
}

// DOS date and time of a calendar time, in local time.
std::uint32_t DosTime(std::int64_t time) {
    const std::time_t t = static_cast<std::time_t>(time);
    std::tm tm{};
    localtime_r(&t, &tm);
    const std::uint32_t date =
        static_cast<std::uint32_t>(((tm.tm_year - 80) << 9) | ((tm.tm_mon + 1) << 5) | tm.tm_mday);
    const std::uint32_t clock =
        static_cast<std::uint32_t>((tm.tm_hour << 11) | (tm.tm_min << 5) | (tm.tm_sec / 2));
    return (date << 16) | clock;
}

}  // namespace

std::string ZipBytes(const std::vector<ZipMember>& members, bool zip64) {
    std::string body;
    std::string directory;
    for (const ZipMember& m : members) {
        const std::uint64_t offset = body.size();
        const std::uint32_t crc = Crc32(m.content);
        const std::uint16_t flags = m.rawName ? 0 : 0x800;
        const std::uint32_t when = DosTime(m.time);
        Put(body, 0x04034b50, 4);
        Put(body, 20, 2);
        Put(body, flags, 2);
        Put(body, 0, 2);  // stored
        Put(body, when, 4);
        Put(body, crc, 4);
        Put(body, m.content.size(), 4);
        Put(body, m.content.size(), 4);
        Put(body, m.name.size(), 2);
        Put(body, 0, 2);
        body += m.name;
        body += m.content;

        Put(directory, 0x02014b50, 4);
        Put(directory, 20, 2);
        Put(directory, 20, 2);
        Put(directory, flags, 2);
        Put(directory, 0, 2);
        Put(directory, when, 4);
        Put(directory, crc, 4);
        Put(directory, m.content.size(), 4);
        Put(directory, m.content.size(), 4);
        Put(directory, m.name.size(), 2);
        Put(directory, 0, 2);  // extra
        Put(directory, 0, 2);  // comment
        Put(directory, 0, 2);  // disk
        Put(directory, 0, 2);
        Put(directory, 0, 4);
        Put(directory, offset, 4);
        directory += m.name;
    }
    std::string out = body + directory;
    const std::uint64_t count = members.size();
    if (zip64) {
        const std::uint64_t record = out.size();
        Put(out, 0x06064b50, 4);
        Put(out, 44, 8);
        Put(out, 45, 2);
        Put(out, 45, 2);
        Put(out, 0, 4);
        Put(out, 0, 4);
        Put(out, count, 8);
        Put(out, count, 8);
        Put(out, directory.size(), 8);
        Put(out, body.size(), 8);
        Put(out, 0x07064b50, 4);
        Put(out, 0, 4);
        Put(out, record, 8);
        Put(out, 1, 4);
    }
    Put(out, 0x06054b50, 4);
    Put(out, 0, 2);
    Put(out, 0, 2);
    Put(out, zip64 ? 0xffff : count, 2);
    Put(out, zip64 ? 0xffff : count, 2);
    Put(out, zip64 ? 0xffffffffu : directory.size(), 4);
    Put(out, zip64 ? 0xffffffffu : body.size(), 4);
    Put(out, 0, 2);
    return out;
}

std::string ScanToText(const std::string& directory, const std::string& label,
                       media::ScanResult* result, const media::ScanProgress& progress,
                       const std::atomic<bool>* stop, const media::ScanFileAccess& access,
                       media::ArchiveChoice archives) {
    TempDir scratch;
    const std::string path = (scratch.Path() / "out.kvx").string();
    const int fd = ::open(path.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
    {
        CatalogWriter writer(fd);
        writer.Header("default");
        media::DiskRecord disk;
        disk.label = label;
        disk.total = 1000;
        disk.free = 500;
        disk.date = {2024, 5, 6, 7, 8, 9};
        const media::ScanResult scan =
            media::ScanVolume(directory, disk, writer, progress, stop, access, archives);
        if (result) *result = scan;
    }
    ::close(fd);
    std::ifstream in(path, std::ios::binary);
    return std::string(std::istreambuf_iterator<char>(in), {});
}

TreeItem ScanAndLoad(CatalogSet& set, const std::string& directory, const std::string& label,
                     RecordingMessages& messages) {
    const std::string text = ScanToText(directory, label);
    LoadCatalogText(set, text, "scan.kvx", messages);
    return set.Tree().FindChild(set.RootItem(), label);
}

FileData* EntryAt(CatalogSet& set, TreeItem item, const std::string& path) {
    std::size_t start = 0;
    for (;;) {
        const std::size_t slash = path.find('/', start);
        const std::string part =
            path.substr(start, slash == std::string::npos ? std::string::npos : slash - start);
        if (slash == std::string::npos) {
            FileData* found = nullptr;
            set.ForEachEntryUnder(item, [&](FileData& e) {
                if (!found && e.GetName() == part) found = &e;
            });
            return found;
        }
        item = set.Tree().FindChild(item, part);
        if (item == kNoItem) return nullptr;
        start = slash + 1;
    }
}

}  // namespace kestavo::test
