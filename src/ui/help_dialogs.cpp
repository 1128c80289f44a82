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

namespace kestavo::ui {
namespace {

QLabel* Picture(const QIcon& icon, int size, QWidget* parent) {
    auto* label = new QLabel(parent);
    label->setPixmap(icon.pixmap(size, size));
    label->setAlignment(Qt::AlignTop | Qt::AlignHCenter);
    return label;
}

QGroupBox* Section(const QString& caption, const QIcon& icon, const QString& text, QWidget* parent) {
    auto* box = new QGroupBox(caption, parent);
    auto* row = new QHBoxLayout(box);
    if (!icon.isNull()) row->addWidget(Picture(icon, 32, box));
    auto* label = new QLabel(text, box);
    label->setWordWrap(true);
    row->addWidget(label, 1);
    return box;
}

QHBoxLayout* TitleRow(const QString& text, QWidget* parent) {
    auto* row = new QHBoxLayout;
    row->addWidget(Picture(ApplicationIcon(), 32, parent));
    auto* title = new QLabel(text, parent);
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
        QStringLiteral("Installation"), QIcon(),
        QStringLiteral("The environment variable Kestavo names the catalog directory. Without it, "
                       "the folder Kestavo in your home folder ($HOME/Kestavo) is used."),
        this));
    layout->addWidget(Section(
        QStringLiteral("Create a disk catalog file (*.kvx)"), ToolbarPicture("new_catalog"),
        QStringLiteral("Insert a disk in your removable disk drive, and click this icon.\n"
                       "A catalog (i.e. *.kvx file) will be created with a name corresponding to the "
                       "volume label of the disk. The catalog is immediately available for browsing."),
        this));
    layout->addWidget(Section(QStringLiteral("Open the complete archive for browsing and searching"),
                              ToolbarPicture("open_all"),
                              QStringLiteral("Click this icon: opens all .kvx files for browsing."), this));
    layout->addWidget(Section(QStringLiteral("Open a single Disk Catalog File for browsing and searching"),
                              ToolbarPicture("open_one"),
                              QStringLiteral("Click this icon: choose the .kvx file you want to browse."),
                              this));
    layout->addWidget(Section(
        QStringLiteral("Finding a file in the Archive"), ToolbarPicture("find_files"),
        QStringLiteral("1. Right-click any item in the tree: it becomes the search root. Choose Find "
                       "File ...\n2. Give a search mask such as *.doc and press Find Now."),
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
