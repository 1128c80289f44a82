// Catalog New Disk: the user picks a drive, the disk gets a label if it has
// none, the scan writes a new catalog named after the label, the disk is
// flushed (and ejected when asked), and the new catalog is loaded.
#pragma once

#include <cstdint>
#include <string>

#include "catalog/catalog_set.h"
#include "catalog/messages.h"
#include "media/drive_map.h"
#include "media/volume_info.h"
#include "media/volume_label.h"
#include "media/volume_scanner.h"

namespace kestavo::media {

// What the drive choice gives back.
struct DriveChoice {
    std::string entryText;  // "E:  WORK", or what the user typed
    bool eject = false;     // "If possible, eject disk when finished"
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
    std::string path;  // the catalog file, once known
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

    // Every step of the command, from the drive choice to the load.
    CatalogOutcome Run(CatalogQuestions& questions);
    // A folder that is not a drive, catalogued as a disk of drive-type word
    // "default" under `label` exactly as given.
    CatalogOutcome RunOnDirectory(const std::string& directory, const std::string& label);

private:
    struct Target {
        std::string directory;
        std::string driveName;  // empty for a folder that is not a drive
        const char* driveTypeWord = "default";
        DiskSpace space;
        bool eject = false;
    };

    bool ChooseDrive(CatalogQuestions& questions, DriveChoice& choice);
    std::string AskLabel(CatalogQuestions& questions, const Drive& drive);
    CatalogOutcome Write(const Target& target, const std::string& label);
    bool ScanIntoFile(const Target& target, const std::string& label, int fd, CatalogOutcome& outcome);
    void Stop(const std::string& text, MessageIcon icon = MessageIcon::Stop);
    void CannotWrite(const std::string& path, int error);

    CatalogSet& set_;
    const DriveMap& drives_;
    MessageSink& messages_;
    std::string directory_;
    ScanProgress progress_;
    SystemVolumeLabeler systemLabeler_;
    VolumeLabeler* labeler_ = &systemLabeler_;
};

}  // namespace kestavo::media
