// SPDX-License-Identifier: GPL-3.0-or-later
#include "media/catalog_new_disk.h"

#include <dirent.h>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>
#include <ctime>

#include "catalog/catalog_commands.h"
#include "catalog/catalog_format.h"
#include "catalog/catalog_reader.h"
#include "catalog/catalog_writer.h"
#include "catalog/directory_lister.h"
#include "catalog/name_compare.h"
#include "media/catalog_new_disk_temporary.h"
#include "media/flush_eject.h"

namespace kestavo::media {
namespace {

Message StopMessage(const std::string& text, MessageIcon icon = MessageIcon::Stop) {
    Message m;
    m.caption = kApplicationName;
    m.text = text;
    m.icon = icon;
    return m;
}

Message CannotWrite(const std::string& path, int error) {
    return StopMessage("Cannot write the catalog file " + path + "\n" + std::strerror(error));
}

std::string Unusable(const std::string& label) {
    return "The label " + label + " cannot be used as a catalog file name.";
}

bool IsRegularFile(const std::string& path) {
    struct stat st {};
    return ::stat(path.c_str(), &st) == 0 && S_ISREG(st.st_mode);
}

// The catalog file of a disk: LABEL.kvx, or the file of the directory
// named LABEL and ".kvx" in another letter case, which is the one Open All
// read for that disk.
std::string CatalogPathFor(const std::string& directory, const std::string& label) {
    const std::string exact = CatalogFilePath(directory, label);
    if (IsRegularFile(exact)) return exact;
    std::string found;
    DirectoryLister().List(directory, [&](const ListedName& item) {
        const std::string_view name = item.name;
        const bool labelAndExtension = name.size() == label.size() + kCatalogExtension.size() &&
                                       name.starts_with(label) && EndsWithCatalogExtension(name);
        if (!labelAndExtension) return true;
        const std::string path = directory + "/" + std::string(name);
        if (IsRegularFile(path) && (found.empty() || path < found)) found = path;
        return true;
    });
    return found.empty() ? exact : found;
}

// The new catalog keeps the read and write bits of the one it replaces,
// never more. Only the old catalog itself counts: a symbolic link in its
// place (which anyone who may write to a shared folder can plant) is no
// old catalog, so a first catalog, or one replacing a link, has the mode
// the umask leaves.
void KeepModeOf(const std::string& catalogPath, int fd) {
    constexpr mode_t kReadWrite = 0666;
    struct stat st {};
    if (::lstat(catalogPath.c_str(), &st) == 0 && S_ISREG(st.st_mode))
        ::fchmod(fd, st.st_mode & kReadWrite);
}

// The longest label, in characters, that a file system type holds; 0 when
// not known.
std::size_t LabelLimit(std::string_view fsType) {
    if (fsType == "vfat" || fsType == "msdos") return 11;
    if (fsType == "xfs") return 12;
    if (fsType == "exfat") return 15;
    if (fsType == "ext2" || fsType == "ext3" || fsType == "ext4") return 16;
    if (fsType == "ntfs" || fsType == "ntfs3") return 128;
    if (fsType == "btrfs") return 255;
    return 0;
}

std::size_t CharacterCount(std::string_view text) {
    std::size_t count = 0;
    for (unsigned char c : text) count += (c & 0xC0) != 0x80;
    return count;
}

// Writes header and body into `fd`; false, with its message stored, when
// the scan did not finish.
bool ScanIntoFile(CatalogJob& job, int fd, const ScanProgress& progress,
                  const std::atomic<bool>* stop) {
    CatalogWriter writer(fd);
    writer.Header(job.driveTypeWord);
    const ScanResult result = ScanVolume(job.directory, job.disk, writer, progress, stop,
                                         ScanFileAccess::System(), job.archives);
    writer.Flush();
    job.outcome.unreadable = result.unreadable;
    const std::string where = job.driveName.empty() ? "The folder " + job.directory
                                                    : "The disk in drive " + job.driveName;
    switch (result.status) {
        case ScanStatus::Done:
            if (!writer.Failed()) return true;
            job.messages.push_back(CannotWrite(job.outcome.path, writer.Error()));
            return false;
        case ScanStatus::WriteFailed:
            job.messages.push_back(CannotWrite(job.outcome.path, result.error));
            return false;
        case ScanStatus::RootUnreadable:
            job.messages.push_back(StopMessage(where +
                                               " cannot be read: " + std::strerror(result.error) +
                                               "\nThe catalog was not changed."));
            return false;
        case ScanStatus::MediumLost:
            job.messages.push_back(StopMessage(
                where + " could not be read to the end: " + std::strerror(result.error) +
                "\nThe catalog was not changed."));
            return false;
        case ScanStatus::Stopped:
            job.outcome.status = CatalogStatus::Stopped;
            return false;
    }
    return false;
}

void FlushAndEject(CatalogJob& job) {
    if (job.driveName.empty()) return;
    char* error = nullptr;
    flushdisk(job.drives, job.driveName, job.eject, error);
    if (!error) return;
    Message m;
    m.caption = "Disk flush/eject error";
    m.text = error;
    job.messages.push_back(m);
    strdelete(error);
}

}  // namespace

std::string LabelOfEntryText(const std::string& entryText) {
    constexpr std::size_t kLabelStart = 4;
    if (entryText.size() <= kLabelStart) return {};
    std::size_t start = entryText.find_first_not_of(' ', kLabelStart);
    if (start == std::string::npos) start = kLabelStart;
    return entryText.substr(start);
}

namespace {

std::string UnreadablePathsText(const UnreadablePaths& paths, const char* one, const char* many) {
    std::string text = std::to_string(paths.count) + (paths.count == 1 ? one : many);
    for (std::size_t i = 0; i < paths.first.size(); ++i) text += (i ? ", " : "") + paths.first[i];
    if (paths.count > paths.first.size()) text += ", ...";
    return text;
}

}  // namespace

std::string UnreadableEntriesText(const UnreadableEntries& unreadable) {
    std::string text;
    if (unreadable.folders.count != 0)
        text = UnreadablePathsText(unreadable.folders,
                                   " folder could not be read: ", " folders could not be read: ");
    if (unreadable.files.count != 0)
        text += (text.empty() ? "" : "\n") +
                UnreadablePathsText(unreadable.files,
                                    " file could not be read: ", " files could not be read: ");
    if (unreadable.archives.count != 0)
        text +=
            (text.empty() ? "" : "\n") +
            UnreadablePathsText(unreadable.archives,
                                " archive could not be read: ", " archives could not be read: ");
    return text;
}

CatalogNewDisk::CatalogNewDisk(CatalogSet& set, const DriveMap& drives, MessageSink& messages)
    : set_(set), drives_(drives), messages_(messages), directory_(CatalogDirectory()) {}

void CatalogNewDisk::Stop(const std::string& text, MessageIcon icon) {
    messages_.Show(StopMessage(text, icon));
}

bool CatalogNewDisk::IsUsable(const std::string& label) {
    if (IsUsableCatalogLabel(label)) return true;
    Stop(Unusable(label));
    return false;
}

// The drive choice; false on Cancel.
bool CatalogNewDisk::ChooseDrive(CatalogQuestions& questions, DriveChoice& choice) {
    return questions.ChooseDrive(FillDriveList(drives_), choice);
}

// The label typed for an unlabelled disk, upper-cased and normalised,
// checked, and only then given to the volume; what the volume then holds
// is the label. False when the user gives none (the outcome stays
// Cancelled) or it is refused (with its message).
bool CatalogNewDisk::AskLabel(CatalogQuestions& questions, const Drive& drive, std::string& label) {
    std::string typed;
    if (!questions.AskLabel(drive.directory, typed)) return false;
    label = CleanedName(UpperCased(typed));
    if (label.empty() || !IsUsable(label)) return false;
    const std::size_t limit = LabelLimit(drive.fsType);
    if (limit != 0 && CharacterCount(label) > limit) {
        Stop("The label " + label + " is too long for the file system of drive " + drive.Name() +
             " (at most " + std::to_string(limit) + " characters).");
        return false;
    }
    if (labeler_->SetLabel(drive, label)) {
        const std::string held = CleanedName(labeler_->ReadLabel(drive));
        if (!held.empty() && held != label) {
            label = held;
            return IsUsable(label);
        }
    }
    return true;
}

CatalogJob CatalogNewDisk::Prepare(CatalogQuestions& questions) {
    CatalogJob job;
    DriveChoice choice;
    if (!ChooseDrive(questions, choice)) return job;
    if (!IsDriveFieldValid(choice.entryText)) {
        Stop(kChooseADrive, MessageIcon::Exclamation);
        job.outcome.status = CatalogStatus::Failed;
        return job;
    }
    const std::string driveName = choice.entryText.substr(0, 2);
    const Drive* drive = drives_.FindNamed(driveName);
    std::string label = CleanedName(LabelOfEntryText(choice.entryText));

    const DiskSpace space = GetDiskSpace(drives_, driveName);
    if (!drive || !HoldsMedium(*drive)) {
        Stop("No disk in drive " + std::string(1, *DriveLetterOf(driveName)) + ":",
             MessageIcon::Exclamation);
        job.outcome.status = CatalogStatus::NoDisk;
        return job;
    }
    job.directory = drive->directory;
    job.driveName = drive->Name();
    job.driveTypeWord = DriveTypeWord(drive->type);
    job.eject = choice.eject;
    job.archives = choice.archives;
    job.drives = drives_;
    job.disk.total = space.total;
    job.disk.free = space.free;

    const bool typed = label.empty();
    if (typed && !AskLabel(questions, *drive, label)) {
        if (!label.empty())
            job.outcome.status = CatalogStatus::Failed;  // refused, with its message
        return job;
    }
    job.outcome.label = label;
    if (!typed && !IsUsable(label)) {
        job.outcome.status = CatalogStatus::Failed;
        return job;
    }
    Ready(job);
    return job;
}

CatalogJob CatalogNewDisk::PrepareDirectory(const std::string& directory, const std::string& label,
                                            ArchiveChoice archives) {
    CatalogJob job;
    job.directory = directory;
    job.archives = archives;
    const DiskSpace space = DiskSpaceOf(directory);
    job.disk.total = space.total;
    job.disk.free = space.free;
    const std::string name = CleanedName(label);
    job.outcome.label = name;
    if (name.empty() || !IsUsableCatalogLabel(name)) {
        Stop(Unusable(label));
        job.outcome.status = CatalogStatus::Failed;
        return job;
    }
    Ready(job);
    return job;
}

// The file the loaded disk of that name was read from, when it lies in the
// catalog directory (a disk may live in a file named otherwise); else the
// file the directory holds for the label.
std::string CatalogNewDisk::CatalogPathOf(const std::string& label) const {
    const TreeItem disk = set_.Tree().FindChild(set_.RootItem(), label);
    if (disk != kNoItem) {
        const std::string loaded = set_.CatalogFileOf(disk);
        const std::size_t slash = loaded.rfind('/');
        if (slash != std::string::npos && loaded.compare(0, slash, directory_) == 0 &&
            slash == directory_.size() && IsRegularFile(loaded))
            return loaded;
    }
    return CatalogPathFor(directory_, label);
}

// The catalog path and the time fields: the job is ready for its scan.
void CatalogNewDisk::Ready(CatalogJob& job) {
    job.disk.label = job.outcome.label;
    job.catalogDirectory = directory_;
    job.outcome.path = CatalogPathOf(job.outcome.label);
    set_.Clock().LocalFields(static_cast<std::int64_t>(std::time(nullptr)), job.disk.date);
    job.ready = true;
}

void CatalogNewDisk::Scan(CatalogJob& job, const ScanProgress& progress,
                          const std::atomic<bool>* stop) {
    if (!job.ready) return;
    job.ready = false;
    CatalogOutcome& outcome = job.outcome;
    outcome.status = CatalogStatus::Failed;
    ::mkdir(job.catalogDirectory.c_str(), 0777);  // one level; it may exist already
    RemoveLeftTemporaries(job.catalogDirectory, outcome.label);

    std::string temporary;
    const int fd = CreateTemporary(job.catalogDirectory, outcome.label, temporary);
    if (fd < 0) {
        job.messages.push_back(CannotWrite(outcome.path, errno));
        return;
    }
    KeepModeOf(outcome.path, fd);
    const bool scanned = ScanIntoFile(job, fd, progress, stop);
    const int syncError = scanned && ::fsync(fd) != 0 ? errno : 0;
    const int closeError = ::close(fd) != 0 ? errno : 0;
    if (!scanned || syncError || closeError ||
        ::rename(temporary.c_str(), outcome.path.c_str()) != 0) {
        const int error = syncError ? syncError : closeError ? closeError : errno;
        ::unlink(temporary.c_str());
        if (scanned) job.messages.push_back(CannotWrite(outcome.path, error));
        return;
    }
    FlushAndEject(job);
    outcome.status = CatalogStatus::Written;
}

CatalogOutcome CatalogNewDisk::Finish(CatalogJob& job) {
    for (const Message& m : job.messages) messages_.Show(m);
    job.messages.clear();
    if (job.outcome.status == CatalogStatus::Written) {
        set_.RemoveEntryNamed(set_.RootItem(), job.outcome.label);
        LoadCatalog(set_, job.outcome.path, messages_);
    }
    return job.outcome;
}

CatalogOutcome CatalogNewDisk::Run(CatalogQuestions& questions) {
    CatalogJob job = Prepare(questions);
    Scan(job, progress_, /*stop=*/nullptr);
    return Finish(job);
}

CatalogOutcome CatalogNewDisk::RunOnDirectory(const std::string& directory,
                                              const std::string& label, ArchiveChoice archives) {
    CatalogJob job = PrepareDirectory(directory, label, archives);
    Scan(job, progress_, /*stop=*/nullptr);
    return Finish(job);
}

}  // namespace kestavo::media
