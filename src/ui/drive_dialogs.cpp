// SPDX-License-Identifier: GPL-3.0-or-later
#include "ui/drive_dialogs.h"

#include <QCheckBox>
#include <QComboBox>
#include <QDialogButtonBox>
#include <QFormLayout>
#include <QHBoxLayout>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QVBoxLayout>
#include <QValidator>
#include <algorithm>

#include "catalog/name_compare.h"
#include "media/catalog_new_disk.h"
#include "media/drive_map.h"
#include "ui/drive_box.h"
#include "ui/drive_watch.h"
#include "ui/prompter.h"
#include "ui/utf8_text.h"

namespace kestavo::ui {
namespace {

// Turns a to z into A to Z as they are typed or pasted; every other
// character stays as it is, as the label written to the volume will.
class UpperCaseValidator : public QValidator {
public:
    using QValidator::QValidator;
    State validate(QString& input, int&) const override {
        for (QChar& c : input)
            if (c.unicode() < 0x80) c = QChar(UpperCasedAscii(static_cast<char>(c.unicode())));
        return Acceptable;
    }
};

}  // namespace

DriveSelection::DriveSelection(const media::DriveList& drives, Prompter& prompter, QWidget* parent)
    : QDialog(parent), prompter_(prompter) {
    setWindowTitle(QStringLiteral("Catalog New Disk"));
    setWindowFlag(Qt::WindowContextHelpButtonHint, false);
    driveBox_ = new QComboBox(this);
    driveBox_->setEditable(true);
    driveBox_->setInsertPolicy(QComboBox::NoInsert);
    constexpr int kDriveEntryChars = 24;
    driveBox_->setMinimumContentsLength(kDriveEntryChars);
    driveBox_->setAccessibleName(QStringLiteral("Drive"));
    std::vector<std::string> entries = drives.entries;
    const std::string selected = drives.selected >= 0
                                     ? drives.entries[static_cast<std::size_t>(drives.selected)]
                                     : std::string();
    std::sort(entries.begin(), entries.end());  // the list keeps its entries sorted
    for (const std::string& entry : entries) driveBox_->addItem(FromUtf8(entry));
    driveBox_->setCurrentIndex(selected.empty() ? -1 : driveBox_->findText(FromUtf8(selected)));
    if (selected.empty()) driveBox_->setEditText(QString());
    ejectBox_ = new QCheckBox(QStringLiteral("If possible, eject disk when finished"), this);
    // In the order of media::ArchiveChoice.
    archiveBox_ = new QComboBox(this);
    archiveBox_->addItem(QStringLiteral("Archives: default"));
    archiveBox_->addItem(QStringLiteral("Archives: all, however large"));
    archiveBox_->addItem(QStringLiteral("Archives: ZIP only"));
    archiveBox_->setToolTip(
        QStringLiteral("Which archives are catalogued with their contents. Default: ZIP, 7-Zip, "
                       "RAR, ISO and CAB archives, and compressed tars up to 64 MiB."));

    auto* buttons = new QDialogButtonBox(QDialogButtonBox::Ok | QDialogButtonBox::Cancel, this);
    buttons->button(QDialogButtonBox::Ok)->setDefault(true);
    connect(buttons, &QDialogButtonBox::accepted, this, &DriveSelection::accept);
    connect(buttons, &QDialogButtonBox::rejected, this, &QDialog::reject);
    auto* layout = new QVBoxLayout(this);
    layout->addWidget(driveBox_);
    auto* choices = new QHBoxLayout;
    choices->addWidget(ejectBox_);
    choices->addStretch(1);
    choices->addWidget(archiveBox_);
    layout->addLayout(choices);
    layout->addWidget(buttons);
    // The drive field's own handling of Return would first take the
    // completion it offers; here Return is OK at once.
    driveBox_->lineEdit()->installEventFilter(this);
    driveBox_->setFocus();
    FollowDrives(*driveBox_);
}

void DriveSelection::showEvent(QShowEvent* event) {
    QDialog::showEvent(event);
    // Typing replaces the entry shown, as in any field a dialog opens with.
    driveBox_->lineEdit()->selectAll();
}

bool DriveSelection::eventFilter(QObject* watched, QEvent* event) {
    if (watched == driveBox_->lineEdit() && event->type() == QEvent::KeyPress) {
        const auto* key = static_cast<QKeyEvent*>(event);
        const bool enter = key->key() == Qt::Key_Return || key->key() == Qt::Key_Enter;
        if (enter && (key->modifiers() & ~Qt::KeypadModifier) == Qt::NoModifier) {
            accept();
            return true;
        }
    }
    return QDialog::eventFilter(watched, event);
}

void DriveSelection::accept() {
    const std::string text = driveBox_->currentText().toStdString();
    if (!media::IsDriveFieldValid(text)) {
        Message m;
        m.caption = kApplicationName;
        m.text = media::kChooseADrive;
        m.icon = MessageIcon::Exclamation;
        prompter_.Show(m);
        driveBox_->setFocus();
        return;
    }
    entryText_ = text;
    eject_ = ejectBox_->isChecked();
    archives_ = static_cast<media::ArchiveChoice>(archiveBox_->currentIndex());
    QDialog::accept();
}

LabelDialog::LabelDialog(const std::string& rootPath, QWidget* parent)
    : QDialog(parent), rootPath_(rootPath) {
    setWindowTitle(QStringLiteral("Disk must have a label"));
    setWindowFlag(Qt::WindowContextHelpButtonHint, false);
    label_ = new QLineEdit(this);
    label_->setValidator(new UpperCaseValidator(label_));
    constexpr int kLabelChars = 24;
    label_->setMinimumWidth(label_->fontMetrics().averageCharWidth() * kLabelChars);
    auto* form = new QFormLayout;
    form->addRow(QStringLiteral("New label:"), label_);
    auto* buttons = new QDialogButtonBox(QDialogButtonBox::Ok | QDialogButtonBox::Cancel, this);
    connect(buttons, &QDialogButtonBox::accepted, this, &QDialog::accept);
    connect(buttons, &QDialogButtonBox::rejected, this, &QDialog::reject);
    auto* layout = new QVBoxLayout(this);
    layout->addWidget(new QLabel(
        QStringLiteral("To proceed with cataloging, you must specify a label now"), this));
    layout->addLayout(form);
    layout->addWidget(buttons);
    label_->setFocus();
}

std::string LabelDialog::NewLabel() const {
    return label_->text().toStdString();
}

CInstertDisk::CInstertDisk(const QString& message, std::function<void()> ejectRemovableDisks,
                           QWidget* parent)
    : QDialog(parent) {
    setWindowTitle(QStringLiteral("Insert Removable Disk"));
    setWindowFlag(Qt::WindowContextHelpButtonHint, false);
    message_ = new QLabel(message, this);
    message_->setTextFormat(Qt::PlainText);
    message_->setWordWrap(true);
    eject_ = new QPushButton(QStringLiteral("Eject Removable Disk"), this);
    eject_->setAutoDefault(false);
    connect(eject_, &QPushButton::clicked, this, [eject = std::move(ejectRemovableDisks)] {
        if (eject) eject();
    });
    auto* buttons = new QDialogButtonBox(this);
    retry_ = buttons->addButton(QStringLiteral("Retry"), QDialogButtonBox::AcceptRole);
    retry_->setDefault(true);
    buttons->addButton(QDialogButtonBox::Cancel);
    connect(buttons, &QDialogButtonBox::accepted, this, &QDialog::accept);
    connect(buttons, &QDialogButtonBox::rejected, this, &QDialog::reject);

    auto* ejectRow = new QHBoxLayout;
    ejectRow->addStretch(1);
    ejectRow->addWidget(eject_);
    ejectRow->addStretch(1);
    auto* layout = new QVBoxLayout(this);
    layout->addWidget(message_);
    layout->addWidget(
        new QLabel(QStringLiteral("If there is a disk in the drive, click here to eject"), this));
    layout->addLayout(ejectRow);
    layout->addWidget(
        new QLabel(QStringLiteral("When ready, insert the disk and press RETRY."), this));
    layout->addWidget(buttons);
    retry_->setFocus();
}

void CInstertDisk::CloseWhenArrived(std::function<bool(const media::DriveMap&)> diskArrived) {
    DriveWatch* watch = DriveWatch::Running();
    if (!watch || !diskArrived) return;
    connect(watch, &DriveWatch::DrivesChanged, this,
            [this, watch, arrived = std::move(diskArrived)] {
                if (arrived_ || !isVisible() || !arrived(watch->Drives())) return;
                arrived_ = true;
                accept();
            });
}

}  // namespace kestavo::ui
