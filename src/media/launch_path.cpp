// SPDX-License-Identifier: GPL-3.0-or-later
#include "media/launch_path.h"

#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <climits>
#include <cstdlib>
#include <memory>
#include <vector>

#include "catalog/catalog_set.h"
#include "catalog/catalog_writer.h"
#include "catalog/directory_lister.h"
#include "media/volume_info.h"

namespace kestavo::media {

std::string LaunchCatalogPath(FileData& entry) {
    CatalogSet& set = SetOf(entry);
    std::string archive;
    if (set.ArchivePathOf(entry, archive)) return archive;
    std::string path(set.PathOf(entry));
    if (path.empty()) return std::string(entry.GetName());  // a disk: its own root
    return path + "/" + std::string(entry.GetName());
}

namespace {

// A file's catalog stamp; none for a disk or folder, whose catalogued size
// is not the size of anything on the disk. A Zip Folder is the archive file.
std::optional<CatalogStamp> StampOf(const FileData& entry) {
    if (entry.IsContainer() && !entry.IsZipFolder()) return std::nullopt;
    return CatalogStamp{entry.Size(), entry.GetTime()};
}

}  // namespace

LaunchRequest OpenRequest(FileData& entry) {
    std::string archive;
    if (SetOf(entry).ArchivePathOf(entry, archive)) return {archive, {}, std::nullopt};
    return {LaunchCatalogPath(entry), {}, StampOf(entry)};
}

LaunchRequest SendToNotepadRequest(FileData& entry) {
    std::string archive;
    if (SetOf(entry).ArchivePathOf(entry, archive)) return {archive, {}, std::nullopt};
    return {LaunchCatalogPath(entry), kTextEditorProgram, StampOf(entry)};
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

bool HasStamp(const std::string& path, const CatalogStamp& stamp) {
    struct stat st {};
    return ::lstat(path.c_str(), &st) == 0 && st.st_size == stamp.size &&
           st.st_mtim.tv_sec == stamp.time;
}

// The name in `folder` that a catalog name stands for (names holding double
// quotes or runs of white space are written changed, so several names may
// be written alike). With a stamp: the name itself when it has the stamp's
// size and time, else the first in byte order of the names written alike
// that has them. Otherwise the name itself when it exists, else the one
// name written as it, else the catalog name unchanged.
std::string RealName(const std::string& folder, const std::string& catalogName,
                     const std::optional<CatalogStamp>& stamp) {
    const std::string exactPath = folder + "/" + catalogName;
    struct stat st {};
    const bool exists = ::lstat(exactPath.c_str(), &st) == 0;
    if (exists && (!stamp || HasStamp(exactPath, *stamp))) return catalogName;
    std::string sole;
    int matches = 0;
    std::optional<std::string> stamped;
    DirectoryLister().List(folder, [&](const ListedName& item) {
        if (CatalogName(item.name) != catalogName) return true;
        sole = item.name;
        ++matches;
        if (stamp && (!stamped || sole < *stamped) && HasStamp(folder + "/" + sole, *stamp))
            stamped = sole;
        return true;
    });
    if (stamped) return *stamped;
    if (exists) return catalogName;
    return matches == 1 ? sole : catalogName;
}

// Follows a path below a disk's directory part by part, as the system
// resolves it, to tell whether it stays on the disk. Symbolic links are read
// with readlink, never opened; the walk stops at the first step that would
// leave the disk, so nothing outside it is looked at. A part that is missing
// or below a file ends the walk: nothing further can be reached.
class DiskWalk {
public:
    explicit DiskWalk(const std::string& directory) : top_(directory), here_(directory) {
        if (char* canonical = ::realpath(directory.c_str(), nullptr)) {
            canonicalTop_ = canonical;
            std::free(canonical);
        }
    }

    // Steps into `name` of the current folder, through it when it is a
    // link; false when that leads off the disk.
    bool Enter(const std::string& name) {
        std::vector<std::string> pending{name};  // the next part last
        while (!pending.empty() && reachable_) {
            const std::string part = std::move(pending.back());
            pending.pop_back();
            if (!Step(part, pending)) return false;
        }
        return true;
    }

private:
    // The system's limit of links followed in one path.
    static constexpr int kMaxLinks = 40;

    bool Step(const std::string& part, std::vector<std::string>& pending) {
        if (!atFolder_) {
            reachable_ = false;
            return true;
        }
        if (part.empty() || part == ".") return true;
        if (part == "..") return StepUp();
        const std::string path = (here_ == "/" ? "" : here_) + "/" + part;
        struct stat st {};
        if (::lstat(path.c_str(), &st) != 0) {
            reachable_ = false;
            return true;
        }
        if (!S_ISLNK(st.st_mode)) {
            depths_.push_back(here_.size());
            here_ = path;
            atFolder_ = S_ISDIR(st.st_mode);
            return true;
        }
        if (++links_ > kMaxLinks) return false;
        return FollowLink(path, pending);
    }

    bool StepUp() {
        if (depths_.empty()) return top_ == "/";  // ".." of "/" is "/"
        here_.resize(depths_.back());
        depths_.pop_back();
        return true;
    }

    // Puts the parts of the link's target before the parts still to come;
    // an absolute target must name a place below the disk's directory.
    bool FollowLink(const std::string& path, std::vector<std::string>& pending) {
        char target[PATH_MAX];
        const ssize_t length = ::readlink(path.c_str(), target, sizeof target);
        if (length <= 0 || length == static_cast<ssize_t>(sizeof target)) {
            reachable_ = false;
            return true;
        }
        std::string_view rest(target, static_cast<std::size_t>(length));
        if (rest.front() == '/') {
            const std::optional<std::string_view> below = BelowTop(rest);
            if (!below) return false;
            rest = *below;
            here_ = top_;
            depths_.clear();
        }
        std::vector<std::string> parts;
        std::size_t start = 0;
        while (start <= rest.size()) {
            const std::size_t end = std::min(rest.find('/', start), rest.size());
            parts.emplace_back(rest.substr(start, end - start));
            start = end + 1;
        }
        pending.insert(pending.end(), parts.rbegin(), parts.rend());
        return true;
    }

    // The rest of an absolute path below the disk's directory, as given or
    // with its links resolved; nothing for a path elsewhere.
    std::optional<std::string_view> BelowTop(std::string_view path) const {
        for (const std::string* top : {&top_, &canonicalTop_}) {
            if (top->empty()) continue;
            if (*top == "/") return path.substr(1);
            if (path.starts_with(*top) && (path.size() == top->size() || path[top->size()] == '/'))
                return path.substr(top->size());
        }
        return std::nullopt;
    }

    std::string top_;
    std::string canonicalTop_;
    std::string here_;                 // where the walk stands, links resolved
    std::vector<std::size_t> depths_;  // the length of here_ before each step down
    bool atFolder_ = true;
    bool reachable_ = true;
    int links_ = 0;
};

// `directory` followed by the parts of `rest` ("/a/b"), each part the name
// it stands for on the disk, the last one told by `stamp`. `leavesTheDisk`
// is set, and the rest taken as it is, where a symbolic link leads off the
// disk; no folder off the disk is ever listed.
std::string PathOnDisk(const std::string& directory, std::string_view rest,
                       const std::optional<CatalogStamp>& stamp, bool& leavesTheDisk) {
    DiskWalk walk(directory);
    std::string path = directory == "/" ? std::string() : directory;
    std::size_t start = 1;
    while (start <= rest.size()) {
        const std::size_t end = std::min(rest.find('/', start), rest.size());
        const std::string name =
            RealName(path.empty() ? "/" : path, std::string(rest.substr(start, end - start)),
                     end == rest.size() ? stamp : std::nullopt);
        path += '/';
        path += name;
        if (!walk.Enter(name)) {
            leavesTheDisk = true;
            return path + std::string(rest.substr(end));
        }
        start = end + 1;
    }
    return path.empty() ? "/" : path;
}

}  // namespace

LaunchTarget ResolveLaunchPath(const DriveMap& drives, std::string_view catalogPath,
                               const std::optional<CatalogStamp>& stamp) {
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
    if (rest.empty()) {
        target.fullPath = directory;
        return target;
    }
    bool leavesTheDisk = false;
    target.fullPath = PathOnDisk(directory, rest, stamp, leavesTheDisk);
    if (leavesTheDisk) target.errorCode = kLaunchPathNotFound;
    return target;
}

std::optional<std::string> PresentFilePath(const DriveMap& drives, FileData& entry) {
    std::string archive;
    if (entry.IsDisk() || SetOf(entry).ArchivePathOf(entry, archive)) return std::nullopt;
    const LaunchRequest request = OpenRequest(entry);
    const LaunchTarget target = ResolveLaunchPath(drives, request.catalogPath, request.stamp);
    struct stat st {};
    if (!target.diskFound || target.errorCode != 0 || ::lstat(target.fullPath.c_str(), &st) != 0)
        return std::nullopt;
    return target.fullPath;
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

void LaunchFile(const LaunchRequest& request, const LaunchServices& services) {
    const std::string diskName(DiskNameOf(request.catalogPath));
    for (;;) {
        const LaunchTarget target =
            ResolveLaunchPath(services.drives(), request.catalogPath, request.stamp);
        if (target.diskFound) {
            const int code = target.errorCode != 0
                                 ? target.errorCode
                                 : services.starter->Start(target.fullPath, request.program);
            if (std::optional<Message> m = LaunchErrorText(code, target.fullPath))
                services.messages->Show(*m);
            return;
        }
        if (!services.prompt->AskForDisk("Disk labeled " + diskName + " was not found.")) return;
        if (services.waitBeforeRetry) services.waitBeforeRetry();
    }
}

}  // namespace kestavo::media
