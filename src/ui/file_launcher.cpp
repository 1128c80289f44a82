// SPDX-License-Identifier: GPL-3.0-or-later
#include "ui/file_launcher.h"

#include "media/drive_map.h"
#include "ui/background_work.h"
#include "ui/drive_dialogs.h"
#include "ui/prompter.h"

namespace kestavo::ui {

int BackgroundStarter::Start(const std::string& fullPath, const std::string& program) {
    int code = 0;
    RunInBackground(parent_, BackgroundWork{QStringLiteral("Opening"),
                                            [&] { code = processes_.Start(fullPath, program); },
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
      starter_(parent) {}

void FileLauncher::Open(FileData& entry) {
    LaunchFile(media::OpenRequest(entry));
}

void FileLauncher::SendToNotepad(FileData& entry) {
    LaunchFile(media::SendToNotepadRequest(entry));
}

void FileLauncher::LaunchFile(const media::LaunchRequest& request) {
    media::LaunchServices services;
    // The drives are read again at every attempt: the disk may have come.
    services.drives = [this] { return media::LoadDriveMap(prompter_); };
    services.prompt = this;
    services.starter = &starter_;
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
