// SPDX-License-Identifier: GPL-3.0-or-later
#include "ui/prompter.h"

#include <QDir>
#include <QFileDialog>
#include <QFileInfo>
#include <QMessageBox>

#include "ui/plain_text.h"
#include "ui/remembered_state.h"

namespace kestavo::ui {
namespace {

QMessageBox::Icon IconOf(MessageIcon icon) {
    switch (icon) {
        case MessageIcon::Information:
            return QMessageBox::Information;
        case MessageIcon::Exclamation:
            return QMessageBox::Warning;
        case MessageIcon::Question:
            return QMessageBox::Question;
        case MessageIcon::Stop:
            return QMessageBox::Critical;
        case MessageIcon::None:
            break;
    }
    return QMessageBox::NoIcon;
}

}  // namespace

MessageAnswer DialogPrompter::Show(const Message& message) {
    QMessageBox box(IconOf(message.icon), QString::fromStdString(message.caption),
                    QString::fromStdString(message.text), QMessageBox::NoButton, parent_);
    MakePlainText(box);  // names in the text are never read as formatting
    if (message.buttons == MessageButtons::YesNo) {
        box.setStandardButtons(QMessageBox::Yes | QMessageBox::No);
        box.setDefaultButton(message.defaultAnswer == MessageAnswer::Yes ? QMessageBox::Yes
                                                                         : QMessageBox::No);
        return box.exec() == QMessageBox::Yes ? MessageAnswer::Yes : MessageAnswer::No;
    }
    box.setStandardButtons(QMessageBox::Ok);
    box.exec();
    return MessageAnswer::Ok;
}

QString DialogPrompter::ChooseCatalogFile(QWidget* parent, const QString& directory) {
    // A folder that is not there would be taken apart into a folder and a
    // typed-in file name: open in the home folder instead.
    const QString start = QFileInfo(directory).isDir() ? directory : QDir::homePath();
    QFileDialog dialog(parent, QString(), start,
                       QStringLiteral("Kestavo archive Files (*.kvx);;All Files (*)"));
    dialog.setFileMode(QFileDialog::ExistingFile);
    dialog.setAcceptMode(QFileDialog::AcceptOpen);
    dialog.setDefaultSuffix(QStringLiteral("kvx"));
    if (dialog.exec() != QDialog::Accepted || dialog.selectedFiles().isEmpty()) return QString();
    return dialog.selectedFiles().front();
}

QString DialogPrompter::ChooseReportFile(QWidget* parent, const QString& initialName) {
    const QString csvFilter = QStringLiteral("CSV File (*.csv)");
    // A bare name is offered in the folder the last report went to.
    const bool remembered = RememberedState::Enabled();
    const QString start = remembered ? RememberedState().ReportStartPath(initialName) : initialName;
    QFileDialog dialog(
        parent, QString(), start,
        QStringLiteral("Text File (*.txt);;") + csvFilter + QStringLiteral(";;All Files (*)"));
    dialog.setAcceptMode(QFileDialog::AcceptSave);
    dialog.setFileMode(QFileDialog::AnyFile);
    dialog.setDefaultSuffix(QStringLiteral("txt"));
    // With the CSV filter a name typed without a suffix gets ".csv", which
    // is what makes the rows be saved as CSV.
    QObject::connect(&dialog, &QFileDialog::filterSelected, &dialog,
                     [&dialog, csvFilter](const QString& filter) {
                         dialog.setDefaultSuffix(filter == csvFilter ? QStringLiteral("csv")
                                                                     : QStringLiteral("txt"));
                     });
    dialog.setOption(QFileDialog::DontConfirmOverwrite, false);
    if (dialog.exec() != QDialog::Accepted || dialog.selectedFiles().isEmpty()) return QString();
    const QString chosen = dialog.selectedFiles().front();
    if (remembered) RememberedState().SaveReportFolderOf(chosen);
    return chosen;
}

}  // namespace kestavo::ui
