// SPDX-License-Identifier: GPL-3.0-or-later
// Opening a catalogued file on its real disk from the window: the drive
// that holds the disk, the insert-disk prompt while none does, the start of
// the desktop's application or text editor, and the message of a failed
// start.
#pragma once

#include <QObject>
#include <functional>
#include <string>

#include "catalog/file_data.h"
#include "media/launch_path.h"
#include "media/launch_starter.h"

class QWidget;

namespace kestavo::ui {

class Prompter;

// Starts the program on a worker thread, so that the window keeps painting
// while the start is waited for.
class BackgroundStarter : public media::LaunchStarter {
public:
    explicit BackgroundStarter(QWidget* parent) : parent_(parent) {}
    int Start(const std::string& fullPath, const std::string& program) override;

private:
    QWidget* parent_;
    media::ProcessLauncher processes_;
};

// Shows a file on its disk in the desktop's file manager: the file picked
// out in its folder (org.freedesktop.FileManager1 ShowItems with the file's
// URI), else its folder opened with the desktop's default application.
class FolderShower : public media::LaunchStarter {
public:
    explicit FolderShower(QWidget* parent);
    // The program is not used: the file manager shows every kind of file.
    int Start(const std::string& fullPath, const std::string& program) override;

    // The two ways of showing, replaceable for tests: true when the file
    // manager took the URI; 0 or a launch error code for the folder.
    std::function<bool(const QString& uri)> showItems;
    std::function<int(const std::string& folder)> openFolder;

private:
    QWidget* parent_;
};

// Opens the folder of a full path itself, with the way of opening folders
// of a FolderShower.
class FolderOpener : public media::LaunchStarter {
public:
    FolderOpener(FolderShower& folders, QWidget* parent) : folders_(folders), parent_(parent) {}
    int Start(const std::string& fullPath, const std::string& program) override;

private:
    FolderShower& folders_;
    QWidget* parent_;
};

// Asks the session's file manager to show the URI picked out in its folder;
// false where there is no session bus or no file manager answers.
bool ShowItemsInFileManager(const QString& uri);

class FileLauncher : private media::InsertDiskPrompt {
public:
    // `ejectRemovableDisks` serves the insert-disk prompt's eject button.
    FileLauncher(Prompter& prompter, std::function<void()> ejectRemovableDisks, QWidget* parent);

    // Open: the entry itself, or the archive of an entry inside a Zip Folder.
    void Open(FileData& entry);
    // Send To Notepad: the entry in the text editor, or the archive of an
    // entry inside a Zip Folder with its own application.
    void SendToNotepad(FileData& entry);
    // Opens the request's catalog path (DISK/folder/name) with its program,
    // empty for the desktop's default application.
    void LaunchFile(const media::LaunchRequest& request);
    // Open Containing Folder: the entry (the archive of an entry inside a
    // Zip Folder) shown in its folder, asking for its disk as Open does.
    void ShowContainingFolder(FileData& entry);
    // The same for the request's catalog path.
    void ShowInFolder(const media::LaunchRequest& request);
    // Opens the folder of the request's catalog path itself.
    void OpenFolder(const media::LaunchRequest& request);
    FolderShower& Folders() { return folders_; }

    // The wait after Retry before the disk is looked for again.
    void SetRetryWait(int milliseconds) { retryWaitMs_ = milliseconds; }

private:
    bool AskForDisk(const std::string& message) override;
    void Launch(const media::LaunchRequest& request, media::LaunchStarter& starter);

    Prompter& prompter_;
    std::function<void()> ejectRemovableDisks_;
    QWidget* parent_;
    BackgroundStarter starter_;
    FolderShower folders_;
    FolderOpener folderOpener_;
    int retryWaitMs_ = 2000;
    // The request being launched, while its disk is asked for.
    const media::LaunchRequest* request_ = nullptr;
    // The prompt went on by itself: the disk is there, no wait is needed.
    bool arrived_ = false;
};

}  // namespace kestavo::ui
