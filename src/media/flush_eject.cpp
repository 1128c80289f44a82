// SPDX-License-Identifier: GPL-3.0-or-later
#include "media/flush_eject.h"

#include <fcntl.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>

#include "media/run_program.h"
#include "media/udisks_client.h"

namespace kestavo::media {
namespace {

std::string Reason(int error) {
    return std::strerror(error);
}

std::string Eject(const Drive& drive) {
    if (drive.device.empty())
        return "Drive " + drive.Name() + " is the folder " + drive.directory +
               ", not a device; it cannot be ejected.";
    std::string udisksError = "UDisks2 is not available";
    if (std::unique_ptr<UDisksClient> udisks = UDisksClient::Connect())
        if (udisks->UnmountAndEject(drive.device, udisksError)) return {};
    if (RunProgram({"eject", drive.device}) == 0) return {};
    return "Cannot eject drive " + drive.Name() + " (" + drive.device + "): " + udisksError;
}

}  // namespace

std::string FlushDrive(const DriveMap& drives, const std::string& name, bool eject) {
    const Drive* drive = drives.FindNamed(name);
    if (!drive) return "There is no drive " + name.substr(0, 2) + ".";
    const int fd = ::open(drive->directory.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (fd < 0) return "No disk in drive " + drive->Name();
    const bool synced = ::syncfs(fd) == 0;
    const int syncError = errno;
    ::close(fd);
    if (!synced) return "Cannot flush drive " + drive->Name() + ": " + Reason(syncError);
    if (!eject || (drive->type != DriveType::Removable && drive->type != DriveType::Cdrom))
        return {};
    return Eject(*drive);
}

bool flushdisk(const DriveMap& drives, const std::string& drive, bool eject, char*& error) {
    const std::string problem = FlushDrive(drives, drive, eject);
    if (problem.empty()) return true;
    error = new char[problem.size() + 1];
    std::memcpy(error, problem.c_str(), problem.size() + 1);
    return false;
}

void strdelete(char* text) {
    delete[] text;
}

std::vector<std::string> RemovableDrivesToEject(const DriveMap& drives) {
    std::vector<std::string> names;
    for (char letter = 'C'; letter <= 'Z'; ++letter) {
        const Drive* drive = drives.Find(letter);
        if (drive && drive->type == DriveType::Removable) names.push_back(drive->Name());
    }
    return names;
}

void EjectRemovableDisks(const DriveMap& drives) {
    for (const std::string& name : RemovableDrivesToEject(drives)) {
        char* error = nullptr;
        flushdisk(drives, name, /*eject=*/true, error);
        if (error) strdelete(error);
    }
}

}  // namespace kestavo::media
