// SPDX-License-Identifier: GPL-3.0-or-later
#include "ui/drive_box.h"

#include <QComboBox>
#include <QLineEdit>
#include <QSignalBlocker>
#include <QStringList>
#include <algorithm>

#include "ui/drive_watch.h"
#include "ui/utf8_text.h"

namespace kestavo::ui {
namespace {

QStringList SortedEntries(const media::DriveList& drives) {
    std::vector<std::string> entries = drives.entries;
    std::sort(entries.begin(), entries.end());
    QStringList texts;
    for (const std::string& entry : entries) texts.push_back(FromUtf8(entry));
    return texts;
}

QStringList EntriesOf(const QComboBox& box) {
    QStringList texts;
    for (int i = 0; i < box.count(); ++i) texts.push_back(box.itemText(i));
    return texts;
}

}  // namespace

void RefillDriveBox(QComboBox& box, const media::DriveList& drives) {
    const QStringList entries = SortedEntries(drives);
    if (entries == EntriesOf(box)) return;
    const QString text = box.currentText();
    const bool typed = !text.isEmpty() && box.findText(text) < 0;
    const QSignalBlocker quiet(box);
    box.clear();
    box.addItems(entries);
    if (const int kept = box.findText(text); !text.isEmpty() && kept >= 0) {
        box.setCurrentIndex(kept);
    } else if (typed) {
        box.setCurrentIndex(-1);
        box.setEditText(text);
    } else {
        const int selected =
            drives.selected >= 0
                ? box.findText(FromUtf8(drives.entries[static_cast<std::size_t>(drives.selected)]))
                : -1;
        box.setCurrentIndex(selected);
        if (selected < 0) box.setEditText(QString());
    }
}

void ChooseDriveEntry(QComboBox& box, const std::string& entryText) {
    if (const int index = box.findText(FromUtf8(entryText)); index >= 0) box.setCurrentIndex(index);
}

void FollowDrives(QComboBox& box, std::function<void()> changed) {
    DriveWatch* watch = DriveWatch::Running();
    if (!watch) return;
    QObject::connect(watch, &DriveWatch::DrivesChanged, &box,
                     [&box, watch, changed = std::move(changed)] {
                         if (changed) changed();
                         RefillDriveBox(box, media::FillDriveList(watch->Drives()));
                     });
}

}  // namespace kestavo::ui
