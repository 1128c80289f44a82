// SPDX-License-Identifier: GPL-3.0-or-later
#include "cli/media_commands.h"

#include <cstdio>

#include "catalog/catalog_commands.h"
#include "catalog/tree_path.h"
#include "cli/cli_output.h"
#include "media/catalog_new_disk.h"
#include "media/drive_map_load.h"
#include "media/flush_eject.h"
#include "media/launch_path.h"
#include "media/volume_info.h"

namespace kestavo::cli {
namespace {

using media::DriveMap;

void Error(const std::string& text) {
    std::fprintf(stderr, "%s\n", text.c_str());
}

// Answers the questions of Catalog New Disk from the command's arguments.
class ArgumentAnswers : public media::CatalogQuestions {
public:
    ArgumentAnswers(std::string entryText, const std::string* label, bool eject,
                    media::ArchiveChoice archives)
        : entryText_(std::move(entryText)), label_(label), eject_(eject), archives_(archives) {}

    bool ChooseDrive(const media::DriveList&, media::DriveChoice& choice) override {
        if (asked_++) return false;  // the argument was refused: no second answer
        choice.entryText = entryText_;
        choice.eject = eject_;
        choice.archives = archives_;
        return true;
    }
    bool AskLabel(const std::string&, std::string& label) override {
        labelAsked_ = true;
        if (!label_) return false;
        label = *label_;
        return true;
    }
    bool LabelAsked() const { return labelAsked_; }

private:
    std::string entryText_;
    const std::string* label_;
    bool eject_;
    media::ArchiveChoice archives_;
    int asked_ = 0;
    bool labelAsked_ = false;
};

int CatalogExitStatus(const media::CatalogOutcome& outcome) {
    if (outcome.status != media::CatalogStatus::Written) return kExitFailed;
    const std::string unreadable = media::UnreadableEntriesText(outcome.unreadable);
    if (!unreadable.empty()) Error(unreadable);
    std::printf("%s\n", ForStdout(outcome.path).c_str());
    return kExitDone;
}

constexpr const char* kCatalogUsage =
    "kestavo-cli catalog DRIVE [--label LABEL] [--eject] [--archives A] | DIRECTORY --label LABEL "
    "[--archives A]";

// The archives --archives asks for (default when it is not given); false
// for any other word than all, default or zip.
bool ArchiveChoiceOf(const Arguments& args, media::ArchiveChoice& choice) {
    const std::string* word = args.Option("--archives");
    choice = media::ArchiveChoice::Default;
    if (!word || *word == "default") return true;
    if (*word == "all") {
        choice = media::ArchiveChoice::All;
        return true;
    }
    if (*word == "zip") {
        choice = media::ArchiveChoice::ZipOnly;
        return true;
    }
    std::fprintf(stderr, "kestavo-cli: --archives takes all, default or zip\nusage: %s\n",
                 kCatalogUsage);
    return false;
}

int CatalogFolder(const std::string& directory, const Arguments& args,
                  media::ArchiveChoice archives) {
    const std::string* label = args.Option("--label");
    if (!label) {
        std::fprintf(stderr, "kestavo-cli: a directory needs --label\nusage: %s\n",
                     "kestavo-cli catalog DIRECTORY --label LABEL");
        return kExitUsage;
    }
    StderrMessages messages;
    const DriveMap drives = media::LoadDriveMap(messages);
    CatalogSet set;
    media::CatalogNewDisk command(set, drives, messages);
    return CatalogExitStatus(command.RunOnDirectory(directory, *label, archives));
}

}  // namespace

int RunDrives(const Arguments&) {
    StderrMessages messages;
    const DriveMap drives = media::LoadDriveMap(messages);
    for (const media::Drive& drive : drives.Drives()) {
        if (!media::HoldsMedium(drive)) continue;
        std::printf("%s\t%s\t%s\n", ForStdout(media::DriveEntryText(drive)).c_str(),
                    media::DriveTypeWord(drive.type), ForStdout(drive.directory).c_str());
    }
    return kExitDone;
}

int RunCatalog(const Arguments& args) {
    const std::string& target = args.positional.front();
    media::ArchiveChoice archives = media::ArchiveChoice::Default;
    if (!ArchiveChoiceOf(args, archives)) return kExitUsage;
    if (target.find('/') != std::string::npos) return CatalogFolder(target, args, archives);
    if (!media::IsDriveFieldValid(target)) {
        Error(media::kChooseADrive);
        return kExitUsage;
    }
    StderrMessages messages;
    const DriveMap drives = media::LoadDriveMap(messages);
    const std::string entryText = media::EntryTextOfField(target, drives);

    ArgumentAnswers answers(entryText, args.Option("--label"), args.Has("--eject"), archives);
    CatalogSet set;
    media::CatalogNewDisk command(set, drives, messages);
    const media::CatalogOutcome outcome = command.Run(answers);
    if (outcome.status == media::CatalogStatus::Cancelled && answers.LabelAsked())
        Error("The disk in drive " + target.substr(0, 2) + " has no label; give one with --label.");
    return CatalogExitStatus(outcome);
}

int RunLocate(const Arguments& args) {
    const std::string& path = args.positional.front();
    StderrMessages messages;
    CatalogSet set;
    OpenAllCatalogs(set, messages);
    const TreePathTarget target = ResolveTreePath(set, path, /*allowEntry=*/true);
    FileData* entry = target.file;
    if (target.found && !entry && target.node != set.RootItem())
        entry = set.EntryOfItem(target.node);
    if (!entry) {
        Error("No such catalog item: " + path);
        return kExitFailed;
    }
    const media::LaunchRequest request = media::OpenRequest(*entry);
    const std::string& catalogPath = request.catalogPath;
    const DriveMap drives = media::LoadDriveMap(messages);
    const media::LaunchTarget launch = media::ResolveLaunchPath(drives, catalogPath, request.stamp);
    if (!launch.diskFound) {
        Error("Disk labeled " + std::string(media::DiskNameOf(catalogPath)) + " was not found.");
        return kExitFailed;
    }
    if (launch.errorCode != 0) {
        messages.Show(*media::LaunchErrorText(launch.errorCode, launch.fullPath));
        return kExitFailed;
    }
    std::printf("%s\n", ForStdout(launch.fullPath).c_str());
    return kExitDone;
}

int RunEject(const Arguments&) {
    StderrMessages messages;
    media::EjectRemovableDisks(media::LoadDriveMap(messages));
    return kExitDone;
}

}  // namespace kestavo::cli
