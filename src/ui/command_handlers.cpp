// SPDX-License-Identifier: GPL-3.0-or-later
#include "ui/command_handlers.h"

#include <QApplication>
#include <QDir>
#include <atomic>
#include <optional>

#include "catalog/catalog_commands.h"
#include "catalog/properties.h"
#include "catalog/size_unit.h"
#include "media/catalog_new_disk.h"
#include "media/drive_map.h"
#include "media/drive_map_load.h"
#include "media/flush_eject.h"
#include "ui/background_work.h"
#include "ui/compare_dialog.h"
#include "ui/desktop_notifier.h"
#include "ui/drive_box.h"
#include "ui/drive_dialogs.h"
#include "ui/drive_watch.h"
#include "ui/find_duplicates_dialog.h"
#include "ui/find_files_dialog.h"
#include "ui/list_pane.h"
#include "ui/prompter.h"
#include "ui/properties_dialog.h"
#include "ui/tree_pane.h"
#include "ui/unmount_guard.h"
#include "ui/utf8_text.h"
#include "ui/view_options.h"

namespace kestavo::ui {
namespace {

// Shows the wait cursor for as long as it lives.
class WaitCursor {
public:
    WaitCursor() { QApplication::setOverrideCursor(Qt::WaitCursor); }
    ~WaitCursor() { QApplication::restoreOverrideCursor(); }
    WaitCursor(const WaitCursor&) = delete;
    WaitCursor& operator=(const WaitCursor&) = delete;
};

// Answers Catalog New Disk's questions with the drive choice and the label
// dialog.
// While the drive choice is open, `drives` follows the drives that come and
// go, so that the command finds the drive the user chose among them.
class DialogQuestions : public media::CatalogQuestions {
public:
    DialogQuestions(Prompter& prompter, QWidget* parent, media::DriveMap& drives,
                    const std::string& chosenEntry)
        : prompter_(prompter), parent_(parent), drives_(drives), chosenEntry_(chosenEntry) {}

    bool ChooseDrive(const media::DriveList& list, media::DriveChoice& choice) override {
        DriveSelection dialog(list, prompter_, parent_);
        if (!chosenEntry_.empty()) ChooseDriveEntry(*dialog.DriveBox(), chosenEntry_);
        if (DriveWatch* watch = DriveWatch::Running())
            QObject::connect(watch, &DriveWatch::DrivesChanged, &dialog,
                             [this, watch] { drives_ = watch->Drives(); });
        if (dialog.exec() != QDialog::Accepted) return false;
        choice.entryText = dialog.EntryText();
        choice.eject = dialog.EjectWhenFinished();
        choice.archives = dialog.Archives();
        return true;
    }
    bool AskLabel(const std::string& rootDirectory, std::string& label) override {
        LabelDialog dialog(rootDirectory, parent_);
        if (dialog.exec() != QDialog::Accepted) return false;
        label = dialog.NewLabel();
        return true;
    }

private:
    Prompter& prompter_;
    QWidget* parent_;
    media::DriveMap& drives_;
    const std::string& chosenEntry_;
};

}  // namespace

CommandHandlers::CommandHandlers(CatalogSet& set, ShownContents& shown, TreePane& tree,
                                 ListPane& list, Prompter& prompter, QWidget* window)
    : QObject(window),
      set_(set),
      shown_(shown),
      tree_(tree),
      list_(list),
      prompter_(prompter),
      window_(window),
      viewOptions_(new CViewOptions(window)) {}

CommandHandlers::~CommandHandlers() = default;

void CommandHandlers::OnOpenAllCatalogs() {
    WaitCursor wait;
    OpenAllCatalogs(set_, prompter_);
}

void CommandHandlers::OnOpenSelectedCatalog() {
    QString directory = QString::fromStdString(CatalogDirectory());
    // The file dialog opens in the catalog directory, or in the home folder
    // while there is none yet, never with a file name typed in.
    if (!QDir::setCurrent(directory)) directory = QDir::homePath();
    const QString path = prompter_.ChooseCatalogFile(&tree_, directory);
    if (!path.isEmpty()) LoadSelectedCatalog(path);
}

void CommandHandlers::LoadSelectedCatalog(const QString& path) {
    WaitCursor wait;
    OpenSelectedCatalog(set_, path.toStdString(), prompter_);
}

void CommandHandlers::OnProperties() {
    std::optional<PropertyFields> fields = PropertiesOfItem(set_, tree_.ContextItem());
    if (!fields) return;
    PropertiesDialog dialog(std::move(*fields), &tree_);
    dialog.exec();
}

void CommandHandlers::OnViewOptions() {
    CViewOptionsColumns* page = viewOptions_->Page();
    const bool total = page->totalSizeOn, free = page->freeSpaceOn, date = page->dateCatalogedOn;
    viewOptions_->Run();
    const QString unit = page->unitText;
    if (total != page->totalSizeOn || free != page->freeSpaceOn || date != page->dateCatalogedOn) {
        list_.SetDiskColumns(DiskColumnSwitches{.totalSize = page->totalSizeOn,
                                                .freeSpace = page->freeSpaceOn,
                                                .dateCataloged = page->dateCatalogedOn});
        shown_.Refresh();
    }
    if (SetSizeUnitByName(unit.toStdString())) set_.ReleaseAllSizeTexts();
}

void CommandHandlers::OnCatalogNewDisk() {
    CatalogNewDisk({});
}

void CommandHandlers::CatalogNewDiskOn(const std::string& entryText) {
    CatalogNewDisk(entryText);
}

void CommandHandlers::CatalogNewDisk(const std::string& chosenEntry) {
    media::DriveMap drives = media::LoadDriveMap(prompter_);
    media::CatalogNewDisk command(set_, drives, prompter_);
    DialogQuestions questions(prompter_, window_, drives, chosenEntry);
    media::CatalogJob job = command.Prepare(questions);
    if (!job.ready) return;
    // The scan runs on a worker; the window shows how far it has come and
    // can stop it. Loading the new catalog stays on this thread.
    WalkBoard<media::ScanCounts> board;
    std::atomic<bool> stop{false};
    std::optional<UnmountGuard> unmount;
    WorkNotice notice;
    if (const media::Drive* drive = job.drives.FindNamed(job.driveName))
        unmount.emplace(*drive, stop);
    RunInBackground(
        window_,
        BackgroundWork{.title = QStringLiteral("Catalog New Disk"),
                       .work =
                           [&] {
                               media::CatalogNewDisk::Scan(
                                   job, [&](const media::ScanCounts& c) { return board.Note(c); },
                                   &stop);
                           },
                       .status = [&] { return board.Lines(); },
                       .stop = &stop,
                       .dialogDelayMs = progressDelayMs_,
                       .notice = &notice});
    if (notice.dialogShown && notice.inBackground)
        NotifyWorkEnded(
            notifier_, window_, QStringLiteral("Catalog New Disk"),
            QStringLiteral("The scan of %1 has ended.")
                .arg(job.driveName.empty() ? FromUtf8(job.directory)
                                           : QStringLiteral("drive ") + FromUtf8(job.driveName)));
    WaitCursor wait;
    const media::CatalogOutcome outcome = command.Finish(job);
    if (unmount && unmount->Fired() && outcome.status == media::CatalogStatus::Stopped)
        prompter_.Show(unmount->Why("The scan was stopped and no catalog was changed."));
    if (outcome.status != media::CatalogStatus::Written) return;
    if (const std::string unread = media::UnreadableEntriesText(outcome.unreadable);
        !unread.empty()) {
        Message m;
        m.caption = kApplicationName;
        m.text = unread;
        m.icon = MessageIcon::Exclamation;
        prompter_.Show(m);
    }
}

void CommandHandlers::OnFindFiles() {
    const TreeItem context = tree_.ContextItem();
    FindFilesUnder(context != kNoItem ? context : tree_.RootItem());
}

void CommandHandlers::OnFindFilesAll() {
    FindFilesUnder(tree_.RootItem());
}

void CommandHandlers::FindFilesUnder(TreeItem root) {
    auto* dialog = new FindFilesDlg(set_, root, prompter_, window_);
    dialog->SetLauncher(list_.Launcher());
    dialog->show();
    tree_.ForgetContextItem();
}

void CommandHandlers::OnFindDuplicates() {
    const TreeItem context = tree_.ContextItem();
    FindDuplicatesUnder(context != kNoItem ? context : tree_.RootItem());
}

void CommandHandlers::OnFindDuplicatesAll() {
    FindDuplicatesUnder(tree_.RootItem());
}

void CommandHandlers::FindDuplicatesUnder(TreeItem root) {
    {
        FindDuplicatesDlg dialog(set_, root, prompter_, window_);
        dialog.SetLauncher(list_.Launcher());
        dialog.exec();
    }
    tree_.ForgetContextItem();
}

void CommandHandlers::OnCompareDisk() {
    CompareDiskOn({});
}

void CommandHandlers::CompareDiskOn(const std::string& entryText) {
    auto* dialog = new DriveCompare(set_, prompter_, window_);
    dialog->SetNotifier(notifier_);
    dialog->SetLauncher(list_.Launcher());
    if (!entryText.empty()) ChooseDriveEntry(*dialog->DriveBox(), entryText);
    dialog->show();
}

void CommandHandlers::OnOpenEntry() {
    if (FileData* entry = set_.EntryOfItem(tree_.ContextItem())) list_.LaunchEntry(*entry);
}

void CommandHandlers::OnOpenContainingFolder() {
    if (FileData* entry = set_.EntryOfItem(tree_.ContextItem())) list_.ShowEntryInFolder(*entry);
}

void CommandHandlers::EjectRemovableDisks() {
    WaitCursor wait;
    media::EjectRemovableDisks(media::LoadDriveMap(prompter_));
}

}  // namespace kestavo::ui
