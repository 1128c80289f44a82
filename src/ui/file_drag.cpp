// SPDX-License-Identifier: GPL-3.0-or-later
#include "ui/file_drag.h"

#include <QFile>
#include <QMimeData>
#include <QUrl>

#include "media/drive_map.h"
#include "media/drive_map_load.h"
#include "media/launch_path.h"

namespace kestavo::ui {
namespace {

// A drag shows no messages: a drive map that cannot be read drags nothing.
class SilentMessages : public MessageSink {
public:
    MessageAnswer Show(const Message& message) override { return message.defaultAnswer; }
};

}  // namespace

QStringList FileDragTypes() {
    return {QStringLiteral("text/uri-list")};
}

QMimeData* PresentFilesMimeData(const std::vector<FileData*>& entries) {
    if (entries.empty()) return nullptr;
    SilentMessages messages;
    const media::DriveMap drives = media::LoadDriveMap(messages);
    QList<QUrl> urls;
    for (FileData* entry : entries) {
        if (!entry) continue;
        if (const std::optional<std::string> path = media::PresentFilePath(drives, *entry))
            urls << QUrl::fromLocalFile(QFile::decodeName(path->c_str()));
    }
    if (urls.isEmpty()) return nullptr;
    auto* data = new QMimeData;
    data->setUrls(urls);
    return data;
}

}  // namespace kestavo::ui
