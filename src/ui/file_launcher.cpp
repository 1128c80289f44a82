// SPDX-License-Identifier: GPL-3.0-or-later
#include "ui/file_launcher.h"

#include <sys/stat.h>

#include <QDBusConnection>
#include <QDBusMessage>
#include <QFile>
#include <QUrl>

#include "media/drive_map.h"
#include "media/drive_map_load.h"
#include "ui/background_work.h"
#include "ui/drive_dialogs.h"
#include "ui/prompter.h"

namespace kestavo::ui {
namespace {

// Starting a program or the file manager usually takes a moment: the
// dialog that says so appears only when it takes longer.
constexpr int kOpeningDialogDelayMs = 2000;

}  // namespace

int BackgroundStarter::Start(const std::string& fullPath, const std::string& program) {
    int code = 0;
    RunInBackground(parent_,
                    BackgroundWork{.title = QStringLiteral("Opening"),
                                   .work = [&] { code = processes_.Start(fullPath, program); },
                                   .status = {},
                                   .dialogDelayMs = kOpeningDialogDelayMs});
    return code;
}

bool ShowItemsInFileManager(const QString& uri) {
    QDBusConnection bus = QDBusConnection::sessionBus();
    if (!bus.isConnected()) return false;
    QDBusMessage call = QDBusMessage::createMethodCall(
        QStringLiteral("org.freedesktop.FileManager1"),
        QStringLiteral("/org/freedesktop/FileManager1"),
        QStringLiteral("org.freedesktop.FileManager1"), QStringLiteral("ShowItems"));
    call << QStringList{uri} << QString();
    // The file manager may first have to be started by the bus.
    constexpr int kFileManagerWaitMs = 10000;
    return bus.call(call, QDBus::Block, kFileManagerWaitMs).type() == QDBusMessage::ReplyMessage;
}

FolderShower::FolderShower(QWidget* parent)
    : showItems(ShowItemsInFileManager),
      openFolder([](const std::string& folder) {
          return media::ProcessLauncher().Start(folder, std::string());
      }),
      parent_(parent) {}

int FolderShower::Start(const std::string& fullPath, const std::string&) {
    struct stat st {};
    if (::lstat(fullPath.c_str(), &st) != 0) return media::LaunchErrorCodeOf(fullPath);
    const std::size_t slash = fullPath.rfind('/');
    const std::string folder =
        slash == 0 || slash == std::string::npos ? std::string("/") : fullPath.substr(0, slash);
    int code = 0;
    // The bus and the folder's program are waited for off the user-interface thread.
    RunInBackground(
        parent_, BackgroundWork{.title = QStringLiteral("Opening"),
                                .work =
                                    [&] {
                                        const QString uri =
                                            QUrl::fromLocalFile(QFile::decodeName(fullPath.c_str()))
                                                .toString(QUrl::FullyEncoded);
                                        code = showItems(uri) ? 0 : openFolder(folder);
                                    },
                                .status = {},
                                .dialogDelayMs = kOpeningDialogDelayMs});
    return code;
}

int FolderOpener::Start(const std::string& fullPath, const std::string&) {
    struct stat st {};
    if (::stat(fullPath.c_str(), &st) != 0 || !S_ISDIR(st.st_mode))
        return media::kLaunchPathNotFound;
    int code = 0;
    RunInBackground(parent_, BackgroundWork{QStringLiteral("Opening"),
                                            [&] { code = folders_.openFolder(fullPath); },
                                            {},
                                            nullptr,
                                            2000});
    return code;
}

FileLauncher::FileLauncher(Prompter& prompter, std::function<void()> ejectRemovableDisks,
                           QWidget* parent)
    : prompter_(prompter),
      ejectRemovableDisks_(std::move(ejectRemovableDisks)),
      parent_(parent),
      starter_(parent),
      folders_(parent),
      folderOpener_(folders_, parent) {}

void FileLauncher::Open(FileData& entry) {
    LaunchFile(media::OpenRequest(entry));
}

void FileLauncher::SendToNotepad(FileData& entry) {
    LaunchFile(media::SendToNotepadRequest(entry));
}

void FileLauncher::LaunchFile(const media::LaunchRequest& request) {
    Launch(request, starter_);
}

void FileLauncher::ShowContainingFolder(FileData& entry) {
    ShowInFolder(media::OpenRequest(entry));
}

void FileLauncher::ShowInFolder(const media::LaunchRequest& request) {
    Launch(request, folders_);
}

void FileLauncher::OpenFolder(const media::LaunchRequest& request) {
    Launch(request, folderOpener_);
}

void FileLauncher::Launch(const media::LaunchRequest& request, media::LaunchStarter& starter) {
    media::LaunchServices services;
    // The drives are read again at every attempt: the disk may have come.
    services.drives = [this] { return media::LoadDriveMap(prompter_); };
    services.prompt = this;
    services.starter = &starter;
    services.messages = &prompter_;
    services.waitBeforeRetry = [this] {
        if (!arrived_) WaitPainting(retryWaitMs_);
    };
    request_ = &request;
    media::LaunchFile(request, services);
    request_ = nullptr;
}

bool FileLauncher::AskForDisk(const std::string& message) {
    CInstertDisk prompt(QString::fromUtf8(message.data(), static_cast<qsizetype>(message.size())),
                        ejectRemovableDisks_, parent_);
    if (const media::LaunchRequest* request = request_)
        prompt.CloseWhenArrived([request](const media::DriveMap& drives) {
            return media::ResolveLaunchPath(drives, request->catalogPath, request->stamp).diskFound;
        });
    const bool retry = prompt.exec() == QDialog::Accepted;
    arrived_ = prompt.Arrived();
    return retry;
}

}  // namespace kestavo::ui
