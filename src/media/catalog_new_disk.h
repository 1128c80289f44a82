// SPDX-License-Identifier: GPL-3.0-or-later
// Catalog New Disk: the user picks a drive, the disk gets a label if it has
// none, the scan writes a new catalog named after the label, the disk is
// flushed (and ejected when asked), and the new catalog is loaded.
#pragma once

#include <atomic>
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "catalog/catalog_set.h"
#include "catalog/messages.h"
#include "media/drive_map.h"
#include "media/volume_info.h"
#include "media/volume_label.h"
#include "media/volume_scanner.h"

namespace kestavo::media {

// What the drive choice gives back.
struct DriveChoice {
    std::string entryText;                            // "E:  WORK", or what the user typed
    bool eject = false;                               // "If possible, eject disk when finished"
    ArchiveChoice archives = ArchiveChoice::Default;  // which archives are listed
};

// The two questions the command asks; the desktop program answers them
// with dialogs, the command line from its arguments.
class CatalogQuestions {
public:
    virtual ~CatalogQuestions() = default;
    // The drive choice over `list`; false on Cancel.
    virtual bool ChooseDrive(const DriveList& list, DriveChoice& choice) = 0;
    // A label for the unlabelled disk whose root is `rootDirectory`; false
    // on Cancel.
    virtual bool AskLabel(const std::string& rootDirectory, std::string& label) = 0;
};

enum class CatalogStatus {
    Written,    // the catalog was written and loaded
    Cancelled,  // the user cancelled, or gave no label: nothing changed
    NoDisk,     // the drive holds no medium
    Failed,     // stopped with a message; any older catalog is unchanged
    Stopped,    // the progress callback stopped the scan; nothing changed
};

struct CatalogOutcome {
    CatalogStatus status = CatalogStatus::Cancelled;
    std::string label;
    std::string path;              // the catalog file, once known
    UnreadableEntries unreadable;  // folders and files the scan could not read
};

// The message after a scan that could not read everything: a line for the
// folders, "3 folders could not be read: /a, /b, /c" (", ..." when more
// were counted than named), one for the files, "1 file could not be
// read: /x", and one for the archives, "2 archives could not be read:
// /a.7z, /b.iso", each only when there are such; empty when everything was
// read.
std::string UnreadableEntriesText(const UnreadableEntries& unreadable);

// One run of Catalog New Disk between its steps. Prepare gives it back;
// `ready` says whether there is a scan to do: when it is false the command
// has already ended and `outcome` says how (Cancelled, NoDisk, Failed,
// with its message shown). The scan stores the messages it would show in
// `messages`, in order; Finish shows them. A job can be moved to another
// thread: it holds everything the scan needs.
struct CatalogJob {
    bool ready = false;
    CatalogOutcome outcome;
    // What the scan works on.
    std::string directory;  // the folder to catalogue
    std::string driveName;  // "E:"; empty for a folder that is not a drive
    std::string driveTypeWord = "default";
    bool eject = false;
    ArchiveChoice archives = ArchiveChoice::Default;
    DriveMap drives;  // for the flush and eject
    std::string catalogDirectory;
    DiskRecord disk;                // label, space and time fields
    std::vector<Message> messages;  // shown by Finish, in order
};

// The label part of a drive entry text: from position 4 on, past blanks
// unless nothing else follows.
std::string LabelOfEntryText(const std::string& entryText);

class CatalogNewDisk {
public:
    CatalogNewDisk(CatalogSet& set, const DriveMap& drives, MessageSink& messages);

    void SetCatalogDirectory(std::string directory) { directory_ = std::move(directory); }
    void SetProgress(ScanProgress progress) { progress_ = std::move(progress); }
    void SetLabeler(VolumeLabeler& labeler) { labeler_ = &labeler; }

    // Every step of the command, from the drive choice to the load:
    // Prepare, Scan and Finish on the calling thread.
    CatalogOutcome Run(CatalogQuestions& questions);
    // A folder that is not a drive, catalogued as a disk of drive-type word
    // "default" under `label` exactly as given.
    CatalogOutcome RunOnDirectory(const std::string& directory, const std::string& label,
                                  ArchiveChoice archives = ArchiveChoice::Default);

    // On the user interface thread: the drive choice, the label (asked and
    // written to the volume), the checks, the catalog path and the time.
    CatalogJob Prepare(CatalogQuestions& questions);
    CatalogJob PrepareDirectory(const std::string& directory, const std::string& label,
                                ArchiveChoice archives = ArchiveChoice::Default);
    // On any thread, touching no catalog set and showing nothing: writes
    // the catalog to a temporary file, renames it over the catalog, then
    // flushes (and ejects) the drive. `stop`, when given, ends the scan
    // (status Stopped) with the old catalog unchanged.
    static void Scan(CatalogJob& job, const ScanProgress& progress, const std::atomic<bool>* stop);
    // On the user interface thread: shows the scan's messages, then loads
    // the new catalog in place of the disk of the same name.
    CatalogOutcome Finish(CatalogJob& job);

private:
    bool ChooseDrive(CatalogQuestions& questions, DriveChoice& choice);
    bool AskLabel(CatalogQuestions& questions, const Drive& drive, std::string& label);
    bool IsUsable(const std::string& label);
    void Ready(CatalogJob& job);
    std::string CatalogPathOf(const std::string& label) const;
    void Stop(const std::string& text, MessageIcon icon = MessageIcon::Stop);

    CatalogSet& set_;
    const DriveMap& drives_;
    MessageSink& messages_;
    std::string directory_;
    ScanProgress progress_;
    SystemVolumeLabeler systemLabeler_;
    VolumeLabeler* labeler_ = &systemLabeler_;
};

}  // namespace kestavo::media
