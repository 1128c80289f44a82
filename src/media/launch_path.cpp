// SPDX-License-Identifier: GPL-3.0-or-later
#include "media/launch_path.h"

#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <memory>

#include "catalog/directory_lister.h"
#include "media/catalog_writer.h"
#include "media/volume_info.h"

namespace kestavo::media {

std::string LaunchCatalogPath(FileData& entry) {
    std::string archive;
    if (entry.GetZipArchivePath(archive)) return archive;
    std::string path(entry.GetPath());
    if (path.empty()) return std::string(entry.GetName());  // a disk: its own root
    return path + "/" + std::string(entry.GetName());
}

LaunchRequest OpenRequest(FileData& entry) {
    return {LaunchCatalogPath(entry), {}};
}

LaunchRequest SendToNotepadRequest(FileData& entry) {
    std::string archive;
    if (entry.GetZipArchivePath(archive)) return {archive, {}};
    return {LaunchCatalogPath(entry), kTextEditorProgram};
}

std::string_view DiskNameOf(std::string_view catalogPath) {
    return catalogPath.substr(0, std::min(catalogPath.find('/'), catalogPath.size()));
}

namespace {

// A part "." or ".." would step out of its folder; a NUL byte would cut
// the path short.
bool LeavesTheDisk(std::string_view rest) {
    if (rest.find('\0') != std::string_view::npos) return true;
    std::size_t start = 0;
    while (start <= rest.size()) {
        const std::size_t end = std::min(rest.find('/', start), rest.size());
        const std::string_view part = rest.substr(start, end - start);
        if (part == "." || part == "..") return true;
        start = end + 1;
    }
    return false;
}

// The name in `folder` that a catalog name stands for: the name itself
// when it exists, else the one name that the catalog writes as it (names
// holding double quotes or runs of white space are written changed).
std::string RealName(const std::string& folder, const std::string& catalogName) {
    struct stat st {};
    if (::lstat((folder + "/" + catalogName).c_str(), &st) == 0) return catalogName;
    std::string found;
    int matches = 0;
    DirectoryLister().List(folder, [&](const ListedName& item) {
        if (CatalogName(item.name) == catalogName) {
            found = item.name;
            ++matches;
        }
        return true;
    });
    return matches == 1 ? found : catalogName;
}

// `directory` followed by the parts of `rest` ("/a/b"), each part the name
// it stands for on the disk.
std::string PathOnDisk(const std::string& directory, std::string_view rest) {
    std::string path = directory == "/" ? std::string() : directory;
    std::size_t start = 1;
    while (start <= rest.size()) {
        const std::size_t end = std::min(rest.find('/', start), rest.size());
        const std::string name =
            RealName(path.empty() ? "/" : path, std::string(rest.substr(start, end - start)));
        path += '/';
        path += name;
        start = end + 1;
    }
    return path.empty() ? "/" : path;
}

}  // namespace

LaunchTarget ResolveLaunchPath(const DriveMap& drives, std::string_view catalogPath) {
    LaunchTarget target;
    const std::string_view diskName = DiskNameOf(catalogPath);
    // An empty disk name would match any unlabelled drive.
    const std::optional<std::string> drive =
        diskName.empty() ? std::nullopt : FindDriveByLabel(drives, diskName);
    if (!drive) return target;
    target.diskFound = true;
    const std::string_view rest = catalogPath.substr(diskName.size());
    std::string directory = drives.FindNamed(*drive)->directory;
    while (directory.size() > 1 && directory.back() == '/') directory.pop_back();
    if (LeavesTheDisk(rest)) {
        target.errorCode = kLaunchPathNotFound;
        target.fullPath = (directory == "/" ? std::string() : directory) + std::string(rest);
        std::replace(target.fullPath.begin(), target.fullPath.end(), '\0',
                     '?');  // shown, never opened
        return target;
    }
    target.fullPath = rest.empty() ? directory : PathOnDisk(directory, rest);
    return target;
}

int LaunchErrorCodeOf(const std::string& fullPath) {
    struct stat st {};
    if (::lstat(fullPath.c_str(), &st) != 0) {
        if (errno == EACCES) return kLaunchAccessDenied;
        if (errno == ENOMEM) return kLaunchNotEnoughMemory;
        const std::size_t slash = fullPath.rfind('/');
        const std::string folder = slash == std::string::npos ? "." : fullPath.substr(0, slash + 1);
        return ::stat(folder.c_str(), &st) == 0 ? kLaunchFileNotFound : kLaunchPathNotFound;
    }
    if (::access(fullPath.c_str(), R_OK) != 0) return kLaunchAccessDenied;
    return kLaunchNoAssociation;
}

std::optional<Message> LaunchErrorText(int code, const std::string& fullPath) {
    if (code == 0) return std::nullopt;
    const char* reason = "Could not launch the file";
    switch (code) {
        case 2:
            reason = "The specified file was not found.";
            break;
        case 3:
            reason = "The specified path was not found.";
            break;
        case 5:
            reason = "Access denied.";
            break;
        case 8:
            reason = "Not enough memory.";
            break;
        case 32:
            reason = "A sharing violation occurred.";
            break;
        case 1155:
            reason = "There is no application associated with the given filename extension.";
            break;
        case 1156:
            reason = "The DDE transaction failed.";
            break;
        case 1157:
            reason = "A Required DLL was not found.";
            break;
        case 1223:
            reason = "The user cancelled the request.";
            break;
        default:
            break;
    }
    Message m;
    m.caption = "File launch failed";
    m.icon = MessageIcon::Exclamation;
    m.text = fullPath + "\n" + reason +
             "\n\nThe disk contents may have changed since you last cataloged it.\n"
             "Check using Tools->Compare Disk/Catalog.";
    return m;
}

void LaunchFile(const std::string& catalogPath, const std::string& program,
                const LaunchServices& services) {
    const std::string diskName(DiskNameOf(catalogPath));
    for (;;) {
        const LaunchTarget target = ResolveLaunchPath(services.drives(), catalogPath);
        if (target.diskFound) {
            const int code = target.errorCode != 0
                                 ? target.errorCode
                                 : services.starter->Start(target.fullPath, program);
            if (std::optional<Message> m = LaunchErrorText(code, target.fullPath))
                services.messages->Show(*m);
            return;
        }
        if (!services.prompt->AskForDisk("Disk labeled " + diskName + " was not found.")) return;
        if (services.waitBeforeRetry) services.waitBeforeRetry();
    }
}

}  // namespace kestavo::media
