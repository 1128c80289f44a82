// SPDX-License-Identifier: GPL-3.0-or-later
// The small dialogs around drives: the drive choice of Catalog New Disk,
// the label question for an unlabelled disk, and the insert-disk prompt.
#pragma once

#include <QDialog>
#include <functional>
#include <string>

#include "media/archive_listing.h"
#include "media/volume_info.h"

class QCheckBox;
class QComboBox;
class QLabel;
class QLineEdit;
class QPushButton;

namespace kestavo::ui {

class Prompter;

// "Catalog New Disk": the drive list, open to typing, the eject choice and,
// beside it, which archives are listed.
class DriveSelection : public QDialog {
    Q_OBJECT
public:
    DriveSelection(const media::DriveList& drives, Prompter& prompter, QWidget* parent = nullptr);

    // The fields, valid after OK.
    const std::string& EntryText() const { return entryText_; }
    bool EjectWhenFinished() const { return eject_; }
    media::ArchiveChoice Archives() const { return archives_; }

    QComboBox* DriveBox() const { return driveBox_; }
    QComboBox* ArchiveBox() const { return archiveBox_; }

    // A field that does not begin with a drive letter and a colon is refused
    // with a message, and the dialog stays open.
    void accept() override;

protected:
    void showEvent(QShowEvent* event) override;
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    Prompter& prompter_;
    QComboBox* driveBox_;
    QCheckBox* ejectBox_;
    QComboBox* archiveBox_;
    std::string entryText_;
    bool eject_ = false;
    media::ArchiveChoice archives_ = media::ArchiveChoice::Default;
};

// "Disk must have a label": what is typed or pasted shows in upper case.
class LabelDialog : public QDialog {
    Q_OBJECT
public:
    explicit LabelDialog(const std::string& rootPath, QWidget* parent = nullptr);

    const std::string& RootPath() const { return rootPath_; }
    // The typed label, valid after OK; may be empty.
    std::string NewLabel() const;
    QLineEdit* LabelBox() const { return label_; }

private:
    std::string rootPath_;
    QLineEdit* label_;
};

// "Insert Removable Disk": asks for the disk that holds a catalogued file,
// with a button that ejects the disk in the drive now. Retry accepts.
class CInstertDisk : public QDialog {
    Q_OBJECT
public:
    CInstertDisk(const QString& message, std::function<void()> ejectRemovableDisks,
                 QWidget* parent = nullptr);

    // While the prompt is open, each change of the drives asks `diskArrived`
    // of the new drive map; when it answers true the prompt accepts by
    // itself, as Retry does.
    void CloseWhenArrived(std::function<bool(const media::DriveMap&)> diskArrived);
    // Whether the prompt accepted by itself.
    bool Arrived() const { return arrived_; }

    QLabel* MessageLabel() const { return message_; }
    QPushButton* EjectButton() const { return eject_; }
    QPushButton* RetryButton() const { return retry_; }

private:
    QLabel* message_;
    QPushButton* eject_;
    QPushButton* retry_;
    bool arrived_ = false;
};

}  // namespace kestavo::ui
