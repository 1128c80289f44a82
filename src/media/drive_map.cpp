// SPDX-License-Identifier: GPL-3.0-or-later
#include "media/drive_map.h"

#include <fcntl.h>
#include <unistd.h>

#include <algorithm>

#include "catalog/name_compare.h"

namespace kestavo::media {

std::optional<DriveType> DriveTypeFromName(std::string_view name) {
    if (name == "removable") return DriveType::Removable;
    if (name == "fixed") return DriveType::Fixed;
    if (name == "cdrom") return DriveType::Cdrom;
    if (name == "remote") return DriveType::Remote;
    if (name == "ramdisk") return DriveType::Ramdisk;
    return std::nullopt;
}

void DriveMap::Add(Drive drive) {
    auto at = std::lower_bound(drives_.begin(), drives_.end(), drive.letter,
                               [](const Drive& d, char letter) { return d.letter < letter; });
    if (at != drives_.end() && at->letter == drive.letter)
        *at = std::move(drive);
    else
        drives_.insert(at, std::move(drive));
}

const Drive* DriveMap::Find(char letter) const {
    for (const Drive& d : drives_)
        if (d.letter == letter) return &d;
    return nullptr;
}

const Drive* DriveMap::FindNamed(std::string_view text) const {
    const std::optional<char> letter = DriveLetterOf(text);
    return letter ? Find(*letter) : nullptr;
}

std::optional<char> DriveLetterOf(std::string_view text) {
    if (text.size() < 2 || text[1] != ':') return std::nullopt;
    const char c = UpperCasedAscii(text[0]);
    if (c >= 'A' && c <= 'Z') return c;
    return std::nullopt;
}

bool HoldsMedium(const Drive& drive) {
    if (drive.directory.empty()) return false;
    const int fd = ::open(drive.directory.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (fd < 0) return false;
    ::close(fd);
    return true;
}

namespace {

// One entry LETTER:|TYPE|LABEL|PATH; PATH is the rest, so it may hold "|".
std::optional<Drive> ParseDriveEntry(std::string_view entry) {
    const std::size_t first = entry.find('|');
    if (first == std::string_view::npos) return std::nullopt;
    const std::size_t second = entry.find('|', first + 1);
    if (second == std::string_view::npos) return std::nullopt;
    const std::size_t third = entry.find('|', second + 1);
    if (third == std::string_view::npos) return std::nullopt;
    const std::string_view letterPart = entry.substr(0, first);
    const std::optional<char> letter = DriveLetterOf(letterPart);
    const std::optional<DriveType> type =
        DriveTypeFromName(entry.substr(first + 1, second - first - 1));
    const std::string_view path = entry.substr(third + 1);
    if (letterPart.size() != 2 || !letter || !type || path.empty()) return std::nullopt;
    Drive drive;
    drive.letter = *letter;
    drive.type = *type;
    drive.label = std::string(entry.substr(second + 1, third - second - 1));
    drive.directory = std::string(path);
    return drive;
}

}  // namespace

DriveMap ParseDriveMap(std::string_view text, MessageSink& messages) {
    DriveMap map;
    std::vector<char> seen;
    while (!text.empty()) {
        const std::size_t end = std::min(text.find(';'), text.size());
        const std::string_view entry = text.substr(0, end);
        text.remove_prefix(std::min(end + 1, text.size()));
        if (entry.empty()) continue;
        std::optional<Drive> drive = ParseDriveEntry(entry);
        if (drive && std::find(seen.begin(), seen.end(), drive->letter) != seen.end())
            drive.reset();  // a letter mapped twice is an error, not a silent override
        if (!drive) {
            Message m;
            m.caption = kApplicationName;
            m.icon = MessageIcon::Exclamation;
            m.text = "KESTAVO_DRIVES: the entry \"" + std::string(entry) +
                     "\" is not LETTER:|TYPE|LABEL|PATH with a new letter and a known type; "
                     "it is skipped.";
            messages.Show(m);
            continue;
        }
        seen.push_back(drive->letter);
        map.Add(std::move(*drive));
    }
    return map;
}

}  // namespace kestavo::media
