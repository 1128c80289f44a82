#include "media/catalog_new_disk.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>
#include <ctime>
#include <random>

#include "catalog/catalog_commands.h"
#include "catalog/catalog_reader.h"
#include "catalog/name_compare.h"
#include "media/catalog_writer.h"
#include "media/flush_eject.h"

namespace kestavo::media {

std::string LabelOfEntryText(const std::string& entryText) {
    constexpr std::size_t kLabelStart = 4;
    if (entryText.size() <= kLabelStart) return {};
    std::size_t start = entryText.find_first_not_of(' ', kLabelStart);
    if (start == std::string::npos) start = kLabelStart;
    return entryText.substr(start);
}

CatalogNewDisk::CatalogNewDisk(CatalogSet& set, const DriveMap& drives, MessageSink& messages)
    : set_(set), drives_(drives), messages_(messages), directory_(CatalogDirectory()) {}

// The drive choice, asked again while the field does not begin with a
// drive letter and a colon; false on Cancel.
bool CatalogNewDisk::ChooseDrive(CatalogQuestions& questions, DriveChoice& choice) {
    const DriveList list = FillDriveList(drives_);
    if (!questions.ChooseDrive(list, choice)) return false;
    while (!DriveLetterOf(choice.entryText)) {
        Stop("Choose a drive from the list, or type a drive letter and a colon.",
             MessageIcon::Exclamation);
        if (!questions.ChooseDrive(list, choice)) return false;
    }
    return true;
}

// The label typed for an unlabelled disk, upper-cased and normalised, and
// given to the volume so that its label and the disk name agree. Empty
// when the user gives none.
std::string CatalogNewDisk::AskLabel(CatalogQuestions& questions, const Drive& drive) {
    std::string typed;
    if (!questions.AskLabel(drive.directory, typed)) return {};
    const std::string label = CatalogName(UpperCased(typed));
    if (!label.empty()) labeler_->SetLabel(drive, label);
    return label;
}

CatalogOutcome CatalogNewDisk::Run(CatalogQuestions& questions) {
    CatalogOutcome outcome;
    DriveChoice choice;
    if (!ChooseDrive(questions, choice)) return outcome;
    const std::string driveName = choice.entryText.substr(0, 2);
    const Drive* drive = drives_.FindNamed(driveName);
    std::string label = CatalogName(LabelOfEntryText(choice.entryText));

    Target target;
    target.space = GetDiskSpace(drives_, driveName);
    if (!drive || !HoldsMedium(*drive)) {
        Stop("No disk in drive " + std::string(1, *DriveLetterOf(driveName)) + ":",
             MessageIcon::Exclamation);
        outcome.status = CatalogStatus::NoDisk;
        return outcome;
    }
    target.directory = drive->directory;
    target.driveName = drive->Name();
    target.driveTypeWord = DriveTypeWord(drive->type);
    target.eject = choice.eject;

    if (label.empty()) label = AskLabel(questions, *drive);
    if (label.empty()) return outcome;  // no label: nothing is written
    return Write(target, label);
}

CatalogOutcome CatalogNewDisk::RunOnDirectory(const std::string& directory, const std::string& label) {
    Target target;
    target.directory = directory;
    target.space = DiskSpaceOf(directory);
    CatalogOutcome outcome;
    const std::string name = CatalogName(label);
    if (name.empty()) {
        Stop("The label " + label + " cannot be used as a catalog file name.");
        outcome.status = CatalogStatus::Failed;
        return outcome;
    }
    return Write(target, name);
}

void CatalogNewDisk::Stop(const std::string& text, MessageIcon icon) {
    Message m;
    m.caption = kApplicationName;
    m.text = text;
    m.icon = icon;
    messages_.Show(m);
}

void CatalogNewDisk::CannotWrite(const std::string& path, int error) {
    Stop("Cannot write the catalog file " + path + "\n" + std::strerror(error));
}

namespace {

// A new file beside the catalog, named so that Open All never reads it.
int CreateTemporary(const std::string& directory, std::string& path) {
    std::random_device random;
    for (int attempt = 0; attempt < 100; ++attempt) {
        path = directory + "/.kvx-new-" + std::to_string(::getpid()) + "-" +
               std::to_string(random() & 0xffffff);
        const int fd = ::open(path.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0666);
        if (fd >= 0 || errno != EEXIST) return fd;
    }
    return -1;
}

}  // namespace

CatalogOutcome CatalogNewDisk::Write(const Target& target, const std::string& label) {
    CatalogOutcome outcome;
    outcome.label = label;
    outcome.status = CatalogStatus::Failed;
    if (!IsUsableCatalogLabel(label)) {
        Stop("The label " + label + " cannot be used as a catalog file name.");
        return outcome;
    }
    ::mkdir(directory_.c_str(), 0777);  // one level; it may exist already
    outcome.path = CatalogFilePath(directory_, label);

    std::string temporary;
    const int fd = CreateTemporary(directory_, temporary);
    if (fd < 0) {
        CannotWrite(outcome.path, errno);
        return outcome;
    }
    const bool scanned = ScanIntoFile(target, label, fd, outcome);
    const int syncError = scanned && ::fsync(fd) != 0 ? errno : 0;
    const int closeError = ::close(fd) != 0 ? errno : 0;
    if (!scanned || syncError || closeError || ::rename(temporary.c_str(), outcome.path.c_str()) != 0) {
        const int error = syncError ? syncError : closeError ? closeError : errno;
        ::unlink(temporary.c_str());
        if (scanned) CannotWrite(outcome.path, error);
        return outcome;
    }

    if (!target.driveName.empty()) {
        char* error = nullptr;
        flushdisk(drives_, target.driveName, target.eject, error);
        if (error) {
            Message m;
            m.caption = "Disk flush/eject error";
            m.text = error;
            messages_.Show(m);
            strdelete(error);
        }
    }
    set_.RemoveNamedEntry(set_.RootItem(), label);
    LoadCatalog(set_, outcome.path, messages_);
    outcome.status = CatalogStatus::Written;
    return outcome;
}

// Writes header and body into `fd`; false, with its message shown, when
// the scan did not finish.
bool CatalogNewDisk::ScanIntoFile(const Target& target, const std::string& label, int fd,
                                  CatalogOutcome& outcome) {
    DiskRecord disk;
    disk.label = label;
    disk.total = target.space.total;
    disk.free = target.space.free;
    set_.Clock().LocalFields(static_cast<std::int64_t>(std::time(nullptr)), disk.date);

    CatalogWriter writer(fd);
    writer.Header(target.driveTypeWord);
    const ScanResult result = ScanVolume(target.directory, disk, writer, progress_);
    writer.Flush();
    const std::string where =
        target.driveName.empty() ? "The folder " + target.directory : "The disk in drive " + target.driveName;
    switch (result.status) {
        case ScanStatus::Done:
            if (!writer.Failed()) return true;
            CannotWrite(outcome.path, writer.Error());
            return false;
        case ScanStatus::WriteFailed:
            CannotWrite(outcome.path, result.error);
            return false;
        case ScanStatus::RootUnreadable:
            Stop(where + " cannot be read: " + std::strerror(result.error) +
                 "\nThe catalog was not changed.");
            return false;
        case ScanStatus::MediumLost:
            Stop(where + " could not be read to the end: " + std::strerror(result.error) +
                 "\nThe catalog was not changed.");
            return false;
        case ScanStatus::Stopped:
            outcome.status = CatalogStatus::Stopped;
            return false;
    }
    return false;
}

}  // namespace kestavo::media
