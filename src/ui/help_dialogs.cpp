// SPDX-License-Identifier: GPL-3.0-or-later
#include "ui/help_dialogs.h"

#include <QCoreApplication>
#include <QDialogButtonBox>
#include <QFileInfo>
#include <QGridLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QVBoxLayout>
#include <cstdlib>

#include "kestavo_version.h"
#include "ui/pictures.h"
#include "ui/plain_text.h"

namespace kestavo::ui {
namespace {

QLabel* Picture(const QIcon& icon, int size, QWidget* parent) {
    auto* label = new QLabel(parent);
    label->setPixmap(icon.pixmap(size, size));
    label->setAlignment(Qt::AlignTop | Qt::AlignHCenter);
    return label;
}

QLabel* WrappedText(const QString& text, QWidget* parent) {
    QLabel* label = PlainLabel(text, parent);
    label->setWordWrap(true);
    return label;
}

// A framed section: a text alone, or a lead-in text with the picture the
// user is to click after it, followed by what the click does.
QGroupBox* Section(const QString& caption, const QString& lead, const QIcon& icon,
                   const QString& text, QWidget* parent) {
    auto* box = new QGroupBox(caption, parent);
    auto* layout = new QVBoxLayout(box);
    if (!lead.isEmpty()) {
        auto* row = new QHBoxLayout;
        row->addWidget(PlainLabel(lead, box));  // short: kept on one line with its picture
        row->addWidget(Picture(icon, 32, box));
        row->addStretch(1);
        layout->addLayout(row);
    }
    layout->addWidget(WrappedText(text, box));
    return box;
}

QHBoxLayout* TitleRow(const QString& text, QWidget* parent) {
    auto* row = new QHBoxLayout;
    row->addWidget(Picture(ApplicationIcon(), 32, parent));
    QLabel* title = PlainLabel(text, parent);
    QFont font = title->font();
    font.setBold(true);
    title->setFont(font);
    row->addWidget(title, 1);
    return row;
}

}  // namespace

HelpDialog::HelpDialog(QWidget* parent) : QDialog(parent) {
    setWindowTitle(QStringLiteral("Simple Instructions"));
    auto* layout = new QVBoxLayout(this);
    auto* top = TitleRow(QStringLiteral("Kestavo Version " KESTAVO_VERSION), this);
    auto* buttons = new QDialogButtonBox(QDialogButtonBox::Ok, this);
    connect(buttons, &QDialogButtonBox::accepted, this, &QDialog::accept);
    top->addWidget(buttons, 0, Qt::AlignTop);
    layout->addLayout(top);
    layout->addWidget(Section(
        QStringLiteral("Installation"), {}, {},
        QStringLiteral("The environment variable Kestavo names the catalog directory. Without it, "
                       "the folder Kestavo in your home folder ($HOME/Kestavo) is used."),
        this));
    layout->addWidget(Section(
        QStringLiteral("Create a disk catalog file (*.kvx)"),
        QStringLiteral("Insert a diskette in your removable disk drive, and click this icon:"),
        ToolbarPicture("new_catalog"),
        QStringLiteral(
            "A catalog (i.e. *.kvx file) will be created with a name corresponding to the "
            "volume label of the diskette. The catalog is immediately available for browsing."),
        this));
    layout->addWidget(
        Section(QStringLiteral("Open the complete archive for browsing and searching"),
                QStringLiteral("Click this icon:"), ToolbarPicture("open_all"),
                QStringLiteral("Opens all .kvx files for browsing"), this));
    layout->addWidget(
        Section(QStringLiteral("Open a single Disk Catalog File for browsing and searching"),
                QStringLiteral("Click this icon:"), ToolbarPicture("open_one"),
                QStringLiteral("Choose the .kvx file you want to browse."), this));
    // A no-break space keeps "..." with the command's name at any width.
    layout->addWidget(
        Section(QStringLiteral("Finding a file in the Archive"), {}, {},
                QStringLiteral(
                    "1. Right-click any item in the tree: it becomes the search root. Choose Find "
                    "File\u00A0...\n2. Give a search mask such as *.doc and press Find Now."),
                this));
    resize(560, sizeHint().height());
}

CAboutDlg::CAboutDlg(QWidget* parent) : QDialog(parent) {
    setWindowTitle(QStringLiteral("About Kestavo"));
    auto* layout = new QVBoxLayout(this);
    auto* row = TitleRow(QStringLiteral("Kestavo, version " KESTAVO_VERSION), this);
    auto* buttons = new QDialogButtonBox(QDialogButtonBox::Ok, this);
    connect(buttons, &QDialogButtonBox::accepted, this, &QDialog::accept);
    row->addWidget(buttons, 0, Qt::AlignTop);
    layout->addLayout(row);
}

QString DataFolder() {
    const QString installed =
        QCoreApplication::applicationDirPath() + QStringLiteral("/" KESTAVO_BIN_TO_DATA);
    if (QFileInfo(installed).isDir()) return QFileInfo(installed).canonicalFilePath();
    return QStringLiteral(KESTAVO_DATA_DIR);
}

QString HelpFilePath() {
    const QString page = QStringLiteral("Help/Kestavo_help.htm");
    if (const char* value = std::getenv("Kestavo"); value && *value) {
        const QString directory = QString::fromLocal8Bit(value);
        const qsizetype cut = directory.indexOf(QStringLiteral("Catalogs"));
        if (cut >= 0) return directory.left(cut) + page;
    }
    // Without a catalog directory of the form INSTALL/Catalogs the page is the one shipped with
    // the program, whatever the current directory is.
    return DataFolder() + QStringLiteral("/") + page;
}

}  // namespace kestavo::ui
