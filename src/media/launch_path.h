// SPDX-License-Identifier: GPL-3.0-or-later
// Opening a catalogued file on the real disk: from its catalog path
// (DISK/folder/name) to the full path through the drive that holds the
// disk, asking for the disk while no drive holds it.
#pragma once

#include <cstdint>
#include <functional>
#include <optional>
#include <string>
#include <string_view>

#include "catalog/file_data.h"
#include "catalog/messages.h"
#include "media/drive_map.h"

namespace kestavo::media {

// The launch error codes of the platform the catalogs come from.
inline constexpr int kLaunchFileNotFound = 2;
inline constexpr int kLaunchPathNotFound = 3;
inline constexpr int kLaunchAccessDenied = 5;
inline constexpr int kLaunchNotEnoughMemory = 8;
inline constexpr int kLaunchNoAssociation = 1155;

// The program name the catalogs' platform used for its text editor; a
// launcher starts the desktop's text editor for it.
inline constexpr const char* kTextEditorProgram = "notepad.exe";

// The catalog path to open for an entry: the archive's path for an entry
// inside a Zip Folder, else its location, "/" and its name.
std::string LaunchCatalogPath(FileData& entry);

// The size and time the catalog holds for a file. Where several names on
// the disk are written as the same catalog name, they tell which one the
// entry stands for.
struct CatalogStamp {
    std::int64_t size = 0;
    std::int64_t time = 0;
};

// What to start for an entry: a catalog path, the program (empty for the
// desktop's default application) and, for a file, its catalog stamp.
struct LaunchRequest {
    std::string catalogPath;
    std::string program;
    std::optional<CatalogStamp> stamp;
};

// Open: the entry itself, or the archive holding an entry inside a Zip
// Folder, with the default application.
LaunchRequest OpenRequest(FileData& entry);
// Send To Notepad: the entry with the text editor; an entry inside a Zip
// Folder opens its archive with the default application, as Open does.
LaunchRequest SendToNotepadRequest(FileData& entry);

// The disk name a catalog path begins with: everything before its first "/".
std::string_view DiskNameOf(std::string_view catalogPath);

struct LaunchTarget {
    bool diskFound = false;
    std::string fullPath;
    int errorCode = 0;  // kLaunchPathNotFound for a path that would leave the disk
};

// Maps a catalog path to the full path on the drive holding its disk. A path
// with a part "." or "..", or holding a NUL byte, is never made into a
// full path, nor one that a symbolic link on the disk leads off the disk.
// Among names on the disk written as the same catalog name, the last part is
// the one with the size and time of `stamp`, when given.
LaunchTarget ResolveLaunchPath(const DriveMap& drives, std::string_view catalogPath,
                               const std::optional<CatalogStamp>& stamp = std::nullopt);

// The file an entry stands for on the drive holding its disk, when that
// file is there: nothing for a disk, for an entry inside a Zip Folder (it is
// no file of its own), while no drive holds the disk, or for a path that
// would leave the disk.
std::optional<std::string> PresentFilePath(const DriveMap& drives, FileData& entry);

// The launch error code for a full path that could not be started: missing
// file, missing folder or no permission.
int LaunchErrorCodeOf(const std::string& fullPath);

// The "File launch failed" message for `code`; nothing for code 0.
std::optional<Message> LaunchErrorText(int code, const std::string& fullPath);

// Starts the program for a full path; answers 0 or a launch error code.
class LaunchStarter {
public:
    virtual ~LaunchStarter() = default;
    // `program` is empty for the desktop's default application.
    virtual int Start(const std::string& fullPath, const std::string& program) = 0;
};

// The insert-disk prompt: true for Retry, false for Cancel.
class InsertDiskPrompt {
public:
    virtual ~InsertDiskPrompt() = default;
    virtual bool AskForDisk(const std::string& message) = 0;
};

struct LaunchServices {
    std::function<DriveMap()> drives;  // read again on every attempt
    InsertDiskPrompt* prompt = nullptr;
    LaunchStarter* starter = nullptr;
    MessageSink* messages = nullptr;
    std::function<void()> waitBeforeRetry;  // two seconds in the desktop program
};

// Opens the file of the request's catalog path with its program (empty: the
// default application), asking for the disk until it is found or the user
// cancels.
void LaunchFile(const LaunchRequest& request, const LaunchServices& services);

}  // namespace kestavo::media
