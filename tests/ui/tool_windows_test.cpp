// SPDX-License-Identifier: GPL-3.0-or-later
// Drives the tool windows of the desktop program (Catalog New Disk, Find
// Files, Find Duplicates, Compare, the insert-disk prompt, opening files)
// on the offscreen platform, with real files, drives and processes.
#include <QAction>
#include <QApplication>
#include <QCheckBox>
#include <QComboBox>
#include <QDir>
#include <QFile>
#include <QHeaderView>
#include <QLabel>
#include <QLineEdit>
#include <QMenu>
#include <QPointer>
#include <QProcess>
#include <QPushButton>
#include <QTemporaryDir>
#include <QTimer>
#include <QTreeView>
#include <QtTest>
#include <clocale>
#include <deque>
#include <functional>

#include "catalog/size_unit.h"
#include "ui/background_work.h"
#include "ui/command_handlers.h"
#include "ui/compare_dialog.h"
#include "ui/dialog_script.h"
#include "ui/disk_offer_bar.h"
#include "ui/drive_dialogs.h"
#include "ui/drive_watch.h"
#include "ui/file_launcher.h"
#include "ui/find_duplicates_dialog.h"
#include "ui/find_files_dialog.h"
#include "ui/list_pane.h"
#include "ui/main_frame.h"
#include "ui/open_windows.h"
#include "ui/result_list.h"
#include "ui/scripted_prompter.h"
#include "ui/search_wait.h"
#include "ui/tree_pane.h"

using namespace kestavo;
using namespace kestavo::ui;
using enum kestavo::ui::Command;

namespace {

// Pictures of the windows for a person to look at, when asked for.
void SaveShot(QWidget* widget, const char* name) {
    const QByteArray dir = qgetenv("KESTAVO_SCREENSHOT_DIR");
    if (dir.isEmpty()) return;
    QApplication::processEvents();
    widget->grab().save(QString::fromUtf8(dir) + QLatin1Char('/') + QLatin1String(name));
}

QString ReadFile(const QString& path) {
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? QString::fromUtf8(file.readAll()) : QString();
}

QByteArray ReadBytes(const QString& path) {
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
}

void WriteFile(const QString& path, const QByteArray& content, bool executable = false) {
    QDir().mkpath(QFileInfo(path).path());
    QFile file(path);
    QVERIFY(file.open(QIODevice::WriteOnly | QIODevice::Truncate));
    file.write(content);
    file.close();
    if (executable)
        file.setPermissions(QFileDevice::ReadOwner | QFileDevice::WriteOwner |
                            QFileDevice::ExeOwner);
}

// What kestavo-cli writes for `args`, with the environment of the test.
QByteArray Cli(const QStringList& args) {
    QProcess cli;
    cli.start(QStringLiteral(KESTAVO_CLI), args);
    cli.waitForFinished(60000);
    return cli.readAllStandardOutput();
}

// Whether every text of every column shows whole: its cell is as wide as
// painting needs, or the column already takes the list's whole width. Each
// column is at least as wide as it was designed.
bool TextsFit(ResultView* view, const ResultListModel* model) {
    const QStyleOptionViewItem option = view->ItemOption();
    for (int column = 0; column < model->columnCount(); ++column) {
        const int width = view->header()->sectionSize(column);
        if (width < model->Columns()[static_cast<std::size_t>(column)].width) return false;
        for (int row = 0; row < model->rowCount(); ++row) {
            const QModelIndex index = model->index(row, column);
            const int needed = view->itemDelegateForIndex(index)->sizeHint(option, index).width();
            if (needed > width && width < view->viewport()->width()) {
                qWarning() << "cut:" << model->Text(row, column) << needed << width;
                return false;
            }
        }
    }
    return true;
}

QStringList ColumnTexts(const ResultListModel* model, int column) {
    QStringList texts;
    for (int row = 0; row < model->rowCount(); ++row) texts << model->Text(row, column);
    return texts;
}

}  // namespace

class ToolWindowsTest : public QObject {
    Q_OBJECT

private:
    std::unique_ptr<QTemporaryDir> temp_;
    std::unique_ptr<CKestavo2Doc> doc_;
    std::unique_ptr<CMainFrame> frame_;
    ScriptedPrompter prompter_;
    QString catalogs_;

    TreePane* Tree() { return frame_->Tree(); }
    TreeItem Node(const char* path) {
        TreeItem item = Tree()->RootItem();
        for (const QString& part :
             QString::fromUtf8(path).split(QLatin1Char('/'), Qt::SkipEmptyParts))
            item = doc_->Catalogs().Tree().FindChild(item, part.toStdString());
        return item;
    }
    // Right-clicks a tree node and chooses a command of its menu.
    void TreeCommand(const char* path, const QString& command) {
        const QModelIndex index = Tree()->Model()->IndexOf(Node(path));
        Tree()->View()->scrollTo(index);
        std::unique_ptr<QMenu> menu(
            Tree()->BuildContextMenu(Tree()->View()->visualRect(index).center()));
        QVERIFY(menu);
        for (QAction* action : menu->actions())
            if (action->text() == command) {
                action->trigger();
                return;
            }
        QFAIL(qPrintable(QStringLiteral("no command ") + command));
    }
    QString Path(const QString& name) const { return temp_->filePath(name); }
    void MapDrives(const QString& map) { qputenv("KESTAVO_DRIVES", map.toUtf8()); }
    void CloseToolWindows() {
        for (QWidget* widget : QApplication::topLevelWidgets())
            if (widget != frame_.get() && widget->isWindow() && widget->isVisible())
                widget->close();
        QApplication::processEvents();
    }

private slots:
    void init() {
        temp_ = std::make_unique<QTemporaryDir>();
        QVERIFY(temp_->isValid());
        catalogs_ = Path(QStringLiteral("catalogs"));
        QDir().mkpath(catalogs_);
        for (const QString& name :
             QDir(QStringLiteral(KESTAVO_TEST_DATA "/catalogs")).entryList(QDir::Files))
            QVERIFY(QFile::copy(QStringLiteral(KESTAVO_TEST_DATA "/catalogs/") + name,
                                catalogs_ + QLatin1Char('/') + name));
        qputenv("Kestavo", catalogs_.toUtf8());
        MapDrives(QString());
        qunsetenv("KESTAVO_DRIVES");
        SetSizeUnit(kUnitByte);
        prompter_ = ScriptedPrompter();
        doc_ = std::make_unique<CKestavo2Doc>();
        frame_ = std::make_unique<CMainFrame>(*doc_, &prompter_);
        frame_->resize(900, 600);
        frame_->show();
        QVERIFY(QTest::qWaitForWindowExposed(frame_.get()));
        frame_->Action(ID_OPEN_ALL_CATALOGS)->trigger();
    }

    void cleanup() {
        CloseToolWindows();
        frame_.reset();
        doc_.reset();
        temp_.reset();
    }

    void everyCommandIsEnabled() {
        for (Command command : {ID_CATALOG_NEW_DISK, ID_FIND_FILES_ALL, ID_FIND_DUPLICATES_ALL,
                                ID_COMPARE_DISK, ID_EJECT_REMOVABLE, ID_FIND_FILES_TOOLBAR,
                                ID_FIND_FILE_CONTEXT, ID_FIND_DUPLICATES_CONTEXT})
            QVERIFY2(frame_->Action(command)->isEnabled(),
                     qPrintable(QString::number(CommandNumber(command))));
    }

    void findFilesSearchesBelowTheRightClickedNodeAndKeepsItsOwnRows() {
        TreeCommand("BACKUP/DOCS", QStringLiteral("Find File ..."));
        auto* docs = OpenWindow<FindFilesDlg>();
        QVERIFY(docs);
        QCOMPARE(docs->windowTitle(), QStringLiteral("Find Files or Folders"));
        QCOMPARE(docs->SearchRootLabel()->text(), QStringLiteral("BACKUP/DOCS"));
        QVERIFY(docs->SubfoldersBox()->isChecked());
        QCOMPARE(QApplication::focusWidget() == docs->MaskBox() || !docs->isActiveWindow(), true);

        // Enter in the mask box is Find Now; the box then shows the upper-cased mask.
        docs->MaskBox()->setText(QStringLiteral("*.c"));
        QTest::keyClick(docs->MaskBox(), Qt::Key_Return);
        QVERIFY(SearchEnds(docs));
        QCOMPARE(docs->MaskBox()->text(), QStringLiteral("*.C"));
        QCOMPARE(ColumnTexts(docs->Results(), 0), QStringList({"main.c"}));
        QCOMPARE(ColumnTexts(docs->Results(), 1), QStringList({"BACKUP/DOCS/old.zip/src"}));

        // The toolbar's Find Files right after opens one on the top root item.
        frame_->Action(ID_FIND_FILES_TOOLBAR)->trigger();
        QCOMPARE(OpenWindows<FindFilesDlg>(), 2);
        FindFilesDlg* all = nullptr;
        for (QWidget* widget : QApplication::topLevelWidgets())
            if (auto* window = qobject_cast<FindFilesDlg*>(widget); window && window != docs)
                all = window;
        QVERIFY(all);
        QCOMPARE(all->SearchRootLabel()->text(), QStringLiteral("My Removable Disk Drive"));
        all->MaskBox()->setText(QStringLiteral("img_000?.jpg"));
        all->OnFindNow();
        QVERIFY(SearchEnds(all));
        QCOMPARE(ColumnTexts(all->Results(), 0), QStringList({"IMG_0001.JPG", "img_0002.jpg"}));
        QCOMPARE(ColumnTexts(docs->Results(), 0), QStringList({"main.c"}));

        // One direction flag for every column: descending first, then ascending.
        all->ResultView()->header()->sectionClicked(0);
        QCOMPARE(ColumnTexts(all->Results(), 0), QStringList({"img_0002.jpg", "IMG_0001.JPG"}));
        all->MaskBox()->setText(QStringLiteral("typed but not searched"));
        all->ResultView()->header()->sectionClicked(2);
        QCOMPARE(ColumnTexts(all->Results(), 0), QStringList({"img_0002.jpg", "IMG_0001.JPG"}));
        QCOMPARE(all->MaskBox()->text(), QStringLiteral("IMG_000?.JPG"));
        all->MaskBox()->setText(QStringLiteral("*"));
        all->OnFindNow();
        QVERIFY(SearchEnds(all));
        all->resize(760, 420);
        SaveShot(all, "find_files.png");
    }

    void findFilesShowsNothingFoundAndClearsWhenCatalogsAreReopened() {
        frame_->Action(ID_FIND_FILES_ALL)->trigger();
        auto* dialog = OpenWindow<FindFilesDlg>();
        QVERIFY(dialog);
        dialog->MaskBox()->setText(QStringLiteral("nothing-like-this"));
        dialog->OnFindNow();
        QVERIFY(SearchEnds(dialog));
        QCOMPARE(ColumnTexts(dialog->Results(), 0), QStringList({"No files found"}));
        dialog->MaskBox()->setText(QStringLiteral("*"));
        dialog->OnFindNow();
        QVERIFY(SearchEnds(dialog));
        QVERIFY(dialog->Results()->rowCount() > 10);
        frame_->Action(ID_OPEN_ALL_CATALOGS)->trigger();
        QCOMPARE(dialog->Results()->rowCount(), 0);
    }

    void findFilesKeepsARootWhoseDiskIsReadAgain() {
        TreeCommand("BACKUP/DOCS", QStringLiteral("Find File ..."));
        auto* dialog = OpenWindow<FindFilesDlg>();
        QVERIFY(dialog);
        frame_->Action(ID_OPEN_ALL_CATALOGS)->trigger();
        QCOMPARE(dialog->SearchRootLabel()->text(), QStringLiteral("BACKUP/DOCS"));
        dialog->MaskBox()->setText(QStringLiteral("*"));
        dialog->OnFindNow();
        QVERIFY(SearchEnds(dialog));
        const QStringList folders = ColumnTexts(dialog->Results(), 1);
        QVERIFY(!folders.isEmpty());
        for (const QString& folder : folders)
            QVERIFY2(folder.startsWith(QStringLiteral("BACKUP/DOCS")), qPrintable(folder));

        // A root whose catalog is gone becomes the top root item.
        QVERIFY(QFile::remove(catalogs_ + QStringLiteral("/BACKUP.kvx")));
        frame_->Action(ID_OPEN_ALL_CATALOGS)->trigger();
        QCOMPARE(dialog->SearchRootLabel()->text(), QStringLiteral("My Removable Disk Drive"));
        dialog->OnFindNow();
        QVERIFY(SearchEnds(dialog));
        QVERIFY(ColumnTexts(dialog->Results(), 0).contains(QStringLiteral("CD01")));
    }

    void findFilesReportIsTheCommandLinesReport() {
        TreeCommand("BACKUP", QStringLiteral("Find File ..."));
        auto* dialog = OpenWindow<FindFilesDlg>();
        QVERIFY(dialog);
        dialog->MaskBox()->setText(QStringLiteral("*.*"));
        dialog->SubfoldersBox()->setChecked(false);
        dialog->OnFindNow();
        QVERIFY(SearchEnds(dialog));
        dialog->SubfoldersBox()->setChecked(true);
        dialog->OnFindNow();
        QVERIFY(SearchEnds(dialog));
        prompter_.reportFile = Path(QStringLiteral("find.txt"));
        dialog->OnSaveReport();
        QCOMPARE(prompter_.offeredNames, QStringList({"FindFiles.txt"}));
        QCOMPARE(ReadBytes(prompter_.reportFile),
                 Cli({QStringLiteral("find"), QStringLiteral("*.*"), QStringLiteral("--root"),
                      QStringLiteral("BACKUP")}));
        // The next save offers the path chosen last.
        dialog->OnSaveReport();
        QCOMPARE(prompter_.offeredNames.last(), prompter_.reportFile);
        // A CSV file gets the rows shown as CSV, the command line's bytes.
        prompter_.reportFile = Path(QStringLiteral("find.csv"));
        dialog->OnSaveReport();
        QCOMPARE(
            ReadBytes(prompter_.reportFile),
            Cli({QStringLiteral("find"), QStringLiteral("*.*"), QStringLiteral("--root"),
                 QStringLiteral("BACKUP"), QStringLiteral("--format"), QStringLiteral("csv")}));

        // A report that cannot be written is said so.
        prompter_.reportFile = Path(QStringLiteral("no-such-folder/find.txt"));
        dialog->OnSaveReport();
        QVERIFY(prompter_.Texts().last().startsWith(QStringLiteral("Cannot write the report ")));
    }

    void findDuplicatesRefusesABadThresholdAndReportsLikeTheCommandLine() {
        SetSizeUnit(kUnitKB);
        DialogScript script;
        script.Then([&](QDialog* dialog) {
            auto* duplicates = qobject_cast<FindDuplicatesDlg*>(dialog);
            QVERIFY(duplicates);
            QCOMPARE(duplicates->windowTitle(), QStringLiteral("Find Duplicates"));
            QCOMPARE(duplicates->SearchRootLabel()->text(),
                     QStringLiteral("My Removable Disk Drive"));
            QCOMPARE(duplicates->UnitLabel()->text(), QStringLiteral("KB"));
            QCOMPARE(duplicates->ThresholdBox()->text(), QStringLiteral("0"));

            duplicates->ThresholdBox()->setText(QStringLiteral("12abc"));
            duplicates->OnFindNow();
            QCOMPARE(prompter_.Texts(), QStringList({"Please enter an integer."}));
            QCOMPARE(duplicates->ThresholdBox()->text(), QStringLiteral("0"));
            QVERIFY(duplicates->ThresholdBox()->hasSelectedText());

            duplicates->NamesBox()->setChecked(false);
            duplicates->SizesBox()->setChecked(false);
            duplicates->DatesBox()->setChecked(false);
            duplicates->OnFindNow();
            QCOMPARE(
                ColumnTexts(duplicates->Results(), 0),
                QStringList(
                    {"Error: All file comparison criteria disabled, please enable at least one."}));

            duplicates->SizesBox()->setChecked(true);
            duplicates->ThresholdBox()->setText(QStringLiteral(" +1 "));
            duplicates->OnFindNow();
            QCOMPARE(duplicates->ThresholdBox()->text(), QStringLiteral("1"));
            prompter_.reportFile = Path(QStringLiteral("dups.txt"));
            duplicates->OnSaveReport();
            QCOMPARE(prompter_.offeredNames, QStringList({"DuplicateFiles.txt"}));
            QCOMPARE(ReadBytes(prompter_.reportFile),
                     Cli({QStringLiteral("duplicates"), QStringLiteral("--no-names"),
                          QStringLiteral("--no-dates"), QStringLiteral("--threshold"),
                          QStringLiteral("1"), QStringLiteral("--unit"), QStringLiteral("KB")}));
            prompter_.reportFile = Path(QStringLiteral("dups.CSV"));
            duplicates->OnSaveReport();
            QCOMPARE(ReadBytes(prompter_.reportFile),
                     Cli({QStringLiteral("duplicates"), QStringLiteral("--no-names"),
                          QStringLiteral("--no-dates"), QStringLiteral("--threshold"),
                          QStringLiteral("1"), QStringLiteral("--unit"), QStringLiteral("KB"),
                          QStringLiteral("--format"), QStringLiteral("csv")}));
            duplicates->NamesBox()->setChecked(true);
            duplicates->DatesBox()->setChecked(true);
            duplicates->SizesBox()->setChecked(false);
            duplicates->OnFindNow();
            SaveShot(duplicates, "find_duplicates.png");
            dialog->reject();
        });
        script.Start();
        frame_->Action(ID_FIND_DUPLICATES_ALL)->trigger();
        QVERIFY(script.Done());
    }

    void catalogNewDiskRefusesABadDriveFieldAndCataloguesAMappedFolder() {
        const QString disk = Path(QStringLiteral("work"));
        WriteFile(disk + QStringLiteral("/docs/a.txt"), "hello");
        WriteFile(disk + QStringLiteral("/b.bin"), "xy");
        MapDrives(QStringLiteral("E:|removable|WORK|") + disk);
        DialogScript script;
        script.Then([&](QDialog* dialog) {
            auto* selection = qobject_cast<DriveSelection*>(dialog);
            QVERIFY(selection);
            QCOMPARE(selection->windowTitle(), QStringLiteral("Catalog New Disk"));
            QCOMPARE(selection->DriveBox()->currentText(), QStringLiteral("E:  WORK"));
            SaveShot(selection, "drive_selection.png");
            selection->DriveBox()->setEditText(QStringLiteral("WORK"));
            selection->accept();
            QVERIFY(selection->isVisible());
            QCOMPARE(
                prompter_.Texts(),
                QStringList({"Choose a drive from the list, or type a drive letter and a colon."}));
            selection->DriveBox()->setEditText(QStringLiteral("E:  WORK"));
            selection->accept();
        });
        script.Start();
        frame_->Action(ID_CATALOG_NEW_DISK)->trigger();
        QVERIFY(script.Done());
        QVERIFY(Node("WORK/docs") != kNoItem);
        QVERIFY(QFile::exists(catalogs_ + QStringLiteral("/WORK.kvx")));
        QCOMPARE(prompter_.shown.size(), std::size_t{1});
    }

    // The choice beside the eject box reaches the scan: with ZIP archives
    // only, a damaged 7-Zip file is not read, so nothing is said of it.
    void theArchiveChoiceBesideTheEjectBoxSaysWhichArchivesAreRead() {
        const QString disk = Path(QStringLiteral("arch"));
        WriteFile(disk + QStringLiteral("/broken.7z"), "not really");
        MapDrives(QStringLiteral("E:|removable|ARCH|") + disk);
        for (const int choice : {2, 0}) {
            prompter_.shown.clear();
            DialogScript script;
            script.Then([&](QDialog* dialog) {
                auto* selection = qobject_cast<DriveSelection*>(dialog);
                QVERIFY(selection);
                QCOMPARE(selection->ArchiveBox()->count(), 3);
                QCOMPARE(selection->ArchiveBox()->currentIndex(), 0);
                selection->ArchiveBox()->setCurrentIndex(choice);
                selection->accept();
                QCOMPARE(selection->Archives(), static_cast<media::ArchiveChoice>(choice));
            });
            script.Start();
            frame_->Action(ID_CATALOG_NEW_DISK)->trigger();
            QVERIFY(script.Done());
            QVERIFY(Node("ARCH") != kNoItem);
            QCOMPARE(prompter_.Texts(),
                     choice == 0 ? QStringList({"1 archive could not be read: /broken.7z"})
                                 : QStringList());
        }
    }

    void theDriveChoiceTakesReturnAtOnceAndTypingReplacesTheEntry() {
        const media::DriveList drives{{"E:  WORK", "I:  "}, 1};
        {
            DriveSelection selection(drives, prompter_, frame_.get());
            selection.show();
            QVERIFY(QTest::qWaitForWindowExposed(&selection));
            QLineEdit* field = selection.DriveBox()->lineEdit();
            QCOMPARE(field->selectedText(), QStringLiteral("I:  "));
            QTest::keyClicks(field, QStringLiteral("myfold"));
            QCOMPARE(field->text(), QStringLiteral("myfold"));
        }
        DriveSelection selection(drives, prompter_, frame_.get());
        selection.show();
        QVERIFY(QTest::qWaitForWindowExposed(&selection));
        QTest::keyClick(selection.DriveBox()->lineEdit(), Qt::Key_Return);
        QCOMPARE(selection.result(), static_cast<int>(QDialog::Accepted));
        QVERIFY(!selection.isVisible());
        QCOMPARE(selection.EntryText(), std::string("I:  "));
    }

    void anUnlabelledDiskIsLabelledInUpperCase() {
        const QString disk = Path(QStringLiteral("blank"));
        WriteFile(disk + QStringLiteral("/x.txt"), "x");
        MapDrives(QStringLiteral("F:|removable||") + disk);
        DialogScript script;
        script.Then([&](QDialog* dialog) {
            auto* selection = qobject_cast<DriveSelection*>(dialog);
            QVERIFY(selection);
            QCOMPARE(selection->DriveBox()->currentText(), QStringLiteral("F:  "));
            selection->accept();
        });
        script.Then([&](QDialog* dialog) {
            auto* label = qobject_cast<LabelDialog*>(dialog);
            QVERIFY(label);
            QCOMPARE(label->windowTitle(), QStringLiteral("Disk must have a label"));
            QTest::keyClicks(label->LabelBox(), QStringLiteral("spare"));
            QCOMPARE(label->LabelBox()->text(), QStringLiteral("SPARE"));
            label->LabelBox()->clear();
            label->LabelBox()->insert(QStringLiteral("pasted disk"));
            QCOMPARE(label->LabelBox()->text(), QStringLiteral("PASTED DISK"));
            SaveShot(label, "label_dialog.png");
            label->accept();
        });
        script.Start();
        frame_->Action(ID_CATALOG_NEW_DISK)->trigger();
        QVERIFY(script.Done());
        QVERIFY(Node("PASTED DISK") != kNoItem);
        QVERIFY(QFile::exists(catalogs_ + QStringLiteral("/PASTED DISK.kvx")));
    }

    void cancelDuringAScanLeavesTheOldCatalogAsItWas() {
        const QString disk = Path(QStringLiteral("big"));
        for (int folder = 0; folder < 200; ++folder)
            for (int file = 0; file < 100; ++file)
                WriteFile(disk + QStringLiteral("/f%1/file%2.txt").arg(folder).arg(file), "x");
        MapDrives(QStringLiteral("E:|removable|Floppy|") + disk);
        const QByteArray before = ReadBytes(catalogs_ + QStringLiteral("/floppy.kvx"));
        QVERIFY(!before.isEmpty());
        frame_->Handlers()->SetProgressDelay(0);
        bool sawProgress = false;
        DialogScript script;
        script.Then([&](QDialog* dialog) {
            QVERIFY(qobject_cast<DriveSelection*>(dialog));
            static_cast<DriveSelection*>(dialog)->DriveBox()->setEditText(
                QStringLiteral("E:  Floppy"));
            dialog->accept();
        });
        script.Then([&](QDialog* dialog) {
            auto* progress = qobject_cast<WorkDialog*>(dialog);
            QVERIFY(progress);
            QTRY_VERIFY_WITH_TIMEOUT(
                progress->CountsLabel()->text().startsWith(QStringLiteral("Folders:")), 5000);
            sawProgress = true;
            SaveShot(progress, "scan_progress.png");
            progress->CancelButton()->click();
        });
        script.Start();
        frame_->Action(ID_CATALOG_NEW_DISK)->trigger();
        QVERIFY(script.Done());
        QVERIFY(sawProgress);
        QCOMPARE(ReadBytes(catalogs_ + QStringLiteral("/floppy.kvx")), before);
        QCOMPARE(QDir(catalogs_).entryList(QDir::Files | QDir::Hidden).size(), 3);
    }

    void onlyCancelOrEscapeStopsTheWork() {
        WorkDialog progress(QStringLiteral("Catalog New Disk"), true, frame_.get());
        progress.show();
        QVERIFY(QTest::qWaitForWindowExposed(&progress));
        // Keys go where a user's keys would: to the focused control, if any.
        const auto keyTarget = [&]() -> QWidget* {
            QWidget* focus = QApplication::focusWidget();
            return focus && progress.isAncestorOf(focus) ? focus : &progress;
        };
        QVERIFY(!progress.CancelButton()->isDefault());
        QTest::keyClick(keyTarget(), Qt::Key_Return);
        QTest::keyClick(keyTarget(), Qt::Key_Enter);
        QTest::keyClick(keyTarget(), Qt::Key_Space);
        QVERIFY(!progress.StopAsked());
        QTest::keyClick(keyTarget(), Qt::Key_Escape);
        QVERIFY(progress.StopAsked());

        WorkDialog clicked(QStringLiteral("Catalog New Disk"), true, frame_.get());
        clicked.show();
        QTest::mouseClick(clicked.CancelButton(), Qt::LeftButton);
        QVERIFY(clicked.StopAsked());
    }

    void compareListsTheChangesAndReportsLikeTheCommandLine() {
        const QString disk = Path(QStringLiteral("work"));
        WriteFile(disk + QStringLiteral("/docs/a.txt"), "hello");
        WriteFile(disk + QStringLiteral("/b.bin"), "xy");
        MapDrives(QStringLiteral("E:|removable|WORK|") + disk);
        QCOMPARE(QProcess::execute(QStringLiteral(KESTAVO_CLI),
                                   {QStringLiteral("catalog"), QStringLiteral("E:")}),
                 0);
        frame_->Action(ID_OPEN_ALL_CATALOGS)->trigger();
        WriteFile(disk + QStringLiteral("/new.txt"), "new");
        QFile::remove(disk + QStringLiteral("/b.bin"));

        frame_->Action(ID_COMPARE_DISK)->trigger();
        auto* compare = OpenWindow<ui::DriveCompare>();
        QVERIFY(compare);
        QCOMPARE(compare->windowTitle(), QStringLiteral("Compare Disk vs. Catalog"));
        QCOMPARE(compare->DriveBox()->currentText(), QStringLiteral("E:  WORK"));
        QVERIFY(compare->CompareNowButton()->isDefault());
        compare->OnCompareNow();
        QCOMPARE(ColumnTexts(compare->Results(), 0), QStringList({"new", "deleted"}));
        QCOMPARE(ColumnTexts(compare->Results(), 1), QStringList({"new.txt", "b.bin"}));
        prompter_.reportFile = Path(QStringLiteral("compare.txt"));
        compare->OnSaveReport();
        QCOMPARE(prompter_.offeredNames, QStringList({"CompareDisk.txt"}));
        QCOMPARE(ReadBytes(prompter_.reportFile),
                 Cli({QStringLiteral("compare"), QStringLiteral("E:")}));
        prompter_.reportFile = Path(QStringLiteral("compare.csv"));
        compare->OnSaveReport();
        QCOMPARE(ReadBytes(prompter_.reportFile),
                 Cli({QStringLiteral("compare"), QStringLiteral("E:"), QStringLiteral("--format"),
                      QStringLiteral("csv")}));
        SaveShot(compare, "compare.png");

        compare->DriveBox()->setEditText(QStringLiteral("E:  NOT CATALOGUED"));
        compare->OnCompareNow();
        QCOMPARE(prompter_.Texts().last(), QStringLiteral("Catalog for this disk is not loaded"));
        QCOMPARE(compare->Results()->rowCount(), 0);
    }

    void resultColumnsFitTheirWidestTexts() {
        // Compare: a folder gone and a folder new give the longest statuses.
        const QString disk = Path(QStringLiteral("work"));
        WriteFile(disk + QStringLiteral("/docs/a.txt"), "hello");
        WriteFile(disk + QStringLiteral("/gone/b.txt"), "xy");
        MapDrives(QStringLiteral("E:|removable|WORK|") + disk);
        QCOMPARE(QProcess::execute(QStringLiteral(KESTAVO_CLI),
                                   {QStringLiteral("catalog"), QStringLiteral("E:")}),
                 0);
        frame_->Action(ID_OPEN_ALL_CATALOGS)->trigger();
        QVERIFY(QDir(disk + QStringLiteral("/gone")).removeRecursively());
        WriteFile(disk + QStringLiteral("/a new folder whose name runs on/c.txt"), "c");
        WriteFile(disk + QStringLiteral("/docs/a.txt"), "changed");
        frame_->Action(ID_COMPARE_DISK)->trigger();
        auto* compare = OpenWindow<ui::DriveCompare>();
        QVERIFY(compare);
        compare->OnCompareNow();
        for (const char* status : {"new directory", "modified", "deleted directory"})
            QVERIFY2(ColumnTexts(compare->Results(), 0).contains(QString::fromLatin1(status)),
                     status);
        QVERIFY(TextsFit(compare->ResultView(), compare->Results()));
        SaveShot(compare, "compare-fitted.png");
        CloseToolWindows();

        // Find Files: rows in sibling folders with long names tell apart.
        const QByteArray folder = "a folder whose name runs on and on and on, number ";
        WriteFile(catalogs_ + QStringLiteral("/LONG.kvx"),
                  "kvx_version_1_1\r\n<\r\n   %drivetype default\r\n>\r\n+\r\n"
                  "\"LONG\" 100 10 1 1 2000 0 0 0 <\r\n"
                  "+ \"" +
                      folder +
                      "one\" 0 0 1 1 2000 0 0 0 <\r\n"
                      "\"x.txt\" 1 1 1 2000 0 0 0\r\n>\r\n"
                      "+ \"" +
                      folder +
                      "two\" 0 0 1 1 2000 0 0 0 <\r\n"
                      "\"x.txt\" 1 1 1 2000 0 0 0\r\n>\r\n>\r\n");
        frame_->Action(ID_OPEN_ALL_CATALOGS)->trigger();
        frame_->Action(ID_FIND_FILES_ALL)->trigger();
        auto* find = OpenWindow<FindFilesDlg>();
        QVERIFY(find);
        find->MaskBox()->setText(QStringLiteral("x.txt"));
        find->OnFindNow();
        QVERIFY(SearchEnds(find));
        QCOMPARE(ColumnTexts(find->Results(), 1),
                 QStringList({"LONG/" + folder + "one", "LONG/" + folder + "two"}));
        QVERIFY(TextsFit(find->ResultView(), find->Results()));
        QVERIFY(find->ResultView()->header()->sectionSize(1) <
                find->ResultView()->viewport()->width());
        SaveShot(find, "find-files-fitted.png");
    }

    void theWidestTextIsFoundAmongManyLongerOnes() {
        // Narrow letters outnumber the rows kept, and each text of them is
        // longer than the widest text.
        std::vector<std::string> names(40, std::string(16, 'i'));
        names[33] = std::string(12, 'W');
        ResultListModel model(
            {{"Name", 10, false}},
            ResultRows{[&] { return names.size(); },
                       [&](std::size_t row, int) -> std::string_view { return names[row]; },
                       [](std::size_t) { return 0; }});
        const QFontMetrics metrics(QApplication::font());
        model.SetCharWidths(CharWidths::Of(metrics));
        QVERIFY(metrics.horizontalAdvance(QString(12, QLatin1Char('W'))) >
                metrics.horizontalAdvance(QString(16, QLatin1Char('i'))));
        model.MeasureWidest();
        const std::vector<int> rows = model.WidestTextRows(0);
        QCOMPARE(rows.size(), WidestTexts::kKept);
        QVERIFY(std::find(rows.begin(), rows.end(), 33) != rows.end());
        // Few rows are all measured; accented letters count once.
        names = {"\xc3\xa9\xc3\xa9", "ee", "e"};
        model.MeasureWidest();
        QCOMPARE(model.WidestTextRows(0), std::vector<int>({0, 1, 2}));
        QCOMPARE(CharWidths::Of(metrics).Of("\xc3\xa9"), CharWidths::Of(metrics).other);

        // A text wider than the list makes its column as wide as the list.
        names = {std::string(300, 'x')};
        std::unique_ptr<ResultView> view(MakeResultView(&model, nullptr));
        view->resize(300, 200);
        view->show();
        QVERIFY(QTest::qWaitForWindowExposed(view.get()));
        model.MeasureWidest();
        FitResultColumns(view.get(), model);
        QCOMPARE(view->header()->sectionSize(0), view->viewport()->width());
    }

    void openAsksForTheDiskUntilItComesAndStartsTheDesktopApplication() {
        const QString bin = Path(QStringLiteral("bin"));
        const QString record = Path(QStringLiteral("opened.txt"));
        WriteFile(bin + QStringLiteral("/xdg-open"),
                  "#!/bin/sh\nprintf 'open %s\\n' \"$@\" >> '" + record.toUtf8() + "'\n", true);
        WriteFile(bin + QStringLiteral("/editor"),
                  "#!/bin/sh\nprintf 'edit %s\\n' \"$@\" >> '" + record.toUtf8() + "'\n", true);
        const QByteArray oldPath = qgetenv("PATH");
        qputenv("PATH", bin.toUtf8() + ':' + oldPath);
        qputenv("VISUAL", (bin + QStringLiteral("/editor")).toUtf8());
        const QString disk = Path(QStringLiteral("floppy-disk"));
        MapDrives(QStringLiteral("A:|removable|Floppy|") + disk);
        frame_->Launcher()->SetRetryWait(20);

        // Floppy holds one file; its disk is not in the drive yet.
        Tree()->SelectItem(Node("Floppy"));
        ListPane* list = frame_->List();
        QVERIFY(list->Model()->rowCount() > 0);
        const QString name = list->Model()->index(0, 0).data().toString();
        int prompts = 0;
        DialogScript script;
        script.Then([&](QDialog* dialog) {
            auto* prompt = qobject_cast<CInstertDisk*>(dialog);
            QVERIFY(prompt);
            QCOMPARE(prompt->windowTitle(), QStringLiteral("Insert Removable Disk"));
            QCOMPARE(prompt->MessageLabel()->text(),
                     QStringLiteral("Disk labeled Floppy was not found."));
            SaveShot(prompt, "insert_disk.png");
            ++prompts;
            dialog->accept();  // Retry with the disk still absent: asked again
        });
        script.Then([&](QDialog* dialog) {
            QVERIFY(qobject_cast<CInstertDisk*>(dialog));
            ++prompts;
            WriteFile(disk + QLatin1Char('/') + name, "content");
            dialog->accept();
        });
        script.Start();
        const QModelIndex first = list->Model()->index(0, 0);
        emit list->View()->doubleClicked(first);
        QVERIFY(script.Done());
        QCOMPARE(prompts, 2);
        QTRY_COMPARE(ReadFile(record),
                     QStringLiteral("open ") + disk + QLatin1Char('/') + name + QLatin1Char('\n'));

        std::unique_ptr<QMenu> menu(
            list->BuildContextMenu(list->View()->visualRect(first).center()));
        QVERIFY(menu);
        QAction* notepad = nullptr;
        for (QAction* action : menu->actions())
            if (action->text() == QStringLiteral("Send To Notepad")) notepad = action;
        QVERIFY(notepad);
        notepad->trigger();
        QTRY_VERIFY(ReadFile(record).endsWith(QStringLiteral("edit ") + disk + QLatin1Char('/') +
                                              name + QLatin1Char('\n')));
        qputenv("PATH", oldPath);
        qunsetenv("VISUAL");
    }

    void aFailedStartIsExplained() {
        const QString disk = Path(QStringLiteral("floppy-disk"));
        QDir().mkpath(disk);  // the disk is there, its file is not
        MapDrives(QStringLiteral("A:|removable|Floppy|") + disk);
        Tree()->SelectItem(Node("Floppy"));
        ListPane* list = frame_->List();
        emit list->View()->doubleClicked(list->Model()->index(0, 0));
        QVERIFY(!prompter_.shown.empty());
        QCOMPARE(QString::fromStdString(prompter_.shown.back().caption),
                 QStringLiteral("File launch failed"));
        QVERIFY(
            prompter_.Texts().last().contains(QStringLiteral("The specified file was not found.")));
    }

    void theInsertDiskPromptGoesOnByItselfWhenItsDiskArrives() {
        const QString disk = Path(QStringLiteral("floppy-disk"));
        frame_->Launcher()->SetRetryWait(60000);  // a wait would end the test by its time-out
        Tree()->SelectItem(Node("Floppy"));
        ListPane* list = frame_->List();
        const QString name = list->Model()->index(0, 0).data().toString();
        DialogScript script;
        script.Then([&](QDialog* dialog) {
            QVERIFY(qobject_cast<CInstertDisk*>(dialog));
            WriteFile(disk + QLatin1Char('/') + name, "content");
            MapDrives(QStringLiteral("A:|removable|Floppy|") + disk);
            frame_->Watch()->Recheck();
        });
        script.Start();
        emit list->View()->doubleClicked(list->Model()->index(0, 0));
        QVERIFY(script.Done());
        QVERIFY(!OpenWindow<CInstertDisk>());
    }

    void driveListsFollowTheDrivesAndKeepTheChoice() {
        const QString work = Path(QStringLiteral("work")), stick = Path(QStringLiteral("stick"));
        QDir().mkpath(work);
        QDir().mkpath(stick);
        MapDrives(QStringLiteral("E:|removable|WORK|") + work);
        frame_->Watch()->Recheck();
        frame_->Handlers()->OnCompareDisk();
        auto* compare = OpenWindow<ui::DriveCompare>();
        QVERIFY(compare);
        QCOMPARE(compare->DriveBox()->currentText(), QStringLiteral("E:  WORK"));
        MapDrives(QStringLiteral("E:|removable|WORK|") + work + QStringLiteral(";F:|fixed|STICK|") +
                  stick);
        frame_->Watch()->Recheck();
        QCOMPARE(compare->DriveBox()->count(), 2);
        QCOMPARE(compare->DriveBox()->currentText(), QStringLiteral("E:  WORK"));
        MapDrives(QStringLiteral("F:|removable|STICK|") + stick);
        frame_->Watch()->Recheck();
        QCOMPARE(compare->DriveBox()->count(), 1);
        QCOMPARE(compare->DriveBox()->currentText(), QStringLiteral("F:  STICK"));
    }

    void aMountedDiskIsOfferedOnceUntilItGoes() {
        const QString floppy = Path(QStringLiteral("floppy")), stick = Path(QStringLiteral("s"));
        QDir().mkpath(floppy);
        QDir().mkpath(stick);
        MapDrives(QString());
        frame_->Watch()->Recheck();
        DiskOfferBar* offers = frame_->Offers();
        MapDrives(QStringLiteral("A:|removable|Floppy|") + floppy +
                  QStringLiteral(";G:|removable|NEWSTICK|") + stick);
        frame_->Watch()->Recheck();
        QCOMPARE(offers->OfferCount(), 2);
        QVERIFY(offers->isVisibleTo(frame_.get()));
        QVERIFY(offers->OfferRow(0)->findChild<QPushButton*>(QStringLiteral("compare")));
        QVERIFY(offers->OfferRow(0)->findChild<QPushButton*>(QStringLiteral("catalogAgain")));
        QVERIFY(offers->OfferRow(1)->findChild<QPushButton*>(QStringLiteral("catalog")));
        frame_->Watch()->Recheck();
        QCOMPARE(offers->OfferCount(), 2);
        MapDrives(QStringLiteral("A:|removable|Floppy|") + floppy);
        frame_->Watch()->Recheck();
        QCOMPARE(offers->OfferCount(), 1);
        offers->OfferRow(0)->findChild<QPushButton*>(QStringLiteral("compare"))->click();
        QCOMPARE(offers->OfferCount(), 0);
        auto* compare = OpenWindow<ui::DriveCompare>();
        QVERIFY(compare);
        QCOMPARE(compare->DriveBox()->currentText(), QStringLiteral("A:  Floppy"));
    }

    void theInsertDiskPromptEjectsAsOftenAsAsked() {
        int ejected = 0;
        CInstertDisk prompt(QStringLiteral("Disk labeled X was not found."), [&] { ++ejected; });
        prompt.show();
        prompt.EjectButton()->click();
        prompt.EjectButton()->click();
        QCOMPARE(ejected, 2);
        QVERIFY(prompt.isVisible());
        QVERIFY(prompt.RetryButton()->isDefault());
    }

    void starExpandsADeepCatalogOnlyAsFarAsAViewCanLayOut() {
        QByteArray text =
            "kvx_version_1_1\r\n<\r\n   %drivetype default\r\n>\r\n+\r\n"
            "\"DEEP\" 100 10 1 1 2000 0 0 0 <\r\n";
        const int depth = 100000;
        for (int level = 0; level < depth; ++level) text += "+ \"d\" 0 0 1 1 2000 0 0 0 <\r\n";
        for (int level = 0; level <= depth; ++level) text += ">\r\n";
        WriteFile(catalogs_ + QStringLiteral("/DEEP.kvx"), text);
        frame_->Action(ID_OPEN_ALL_CATALOGS)->trigger();
        Tree()->SelectItem(Node("DEEP"));
        Tree()->View()->setFocus();
        QTest::keyClick(Tree()->View(), Qt::Key_Asterisk);
        QApplication::processEvents();
        TreeItem item = Node("DEEP");
        int expanded = 0;
        while (Tree()->View()->isExpanded(Tree()->Model()->IndexOf(item))) {
            ++expanded;
            item = doc_->Catalogs().Tree().FindChild(item, "d");
        }
        QVERIFY(expanded > 10);
        QVERIFY(expanded < 1000);
    }

    void theWidestRowOfMillionsIsTheFirstLongestAsAPlainScanFindsIt() {
        // Enough rows to be measured in two halves; the longest texts lie in
        // the first half, the second, or both (the first of them counts).
        constexpr std::size_t kRows = 300001;
        std::vector<std::string> sizes(kRows);
        for (std::size_t row = 0; row < kRows; ++row)
            sizes[row] = std::to_string(row * 7919 % 100000);
        ResultListModel model(
            {{"Name", 100, false}, {"Size", 80, true}},
            ResultRows{[&] { return sizes.size(); },
                       [&](std::size_t row, int) -> std::string_view { return sizes[row]; },
                       [](std::size_t) { return 0; }});
        auto plainWidest = [&] {
            std::size_t best = 0;
            for (std::size_t row = 1; row < sizes.size(); ++row)
                if (sizes[row].size() > sizes[best].size()) best = row;
            return static_cast<int>(best);
        };
        for (const std::vector<std::size_t>& longRows :
             {std::vector<std::size_t>{}, {17}, {kRows - 1}, {200000, 3}, {kRows / 2}}) {
            for (const std::size_t row : longRows) sizes[row] = "123456789012";
            model.MeasureWidest();
            QCOMPARE(model.WidestRow(1), plainWidest());
            QCOMPARE(model.WidestRow(0), -1);
            for (const std::size_t row : longRows) sizes[row] = "1";
        }
    }

    void waitingKeepsTheWindowsPainting() {
        int ticks = 0;
        QTimer timer;
        connect(&timer, &QTimer::timeout, [&] { ++ticks; });
        timer.start(10);
        WaitPainting(200);
        QVERIFY(ticks >= 5);
    }
};

int main(int argc, char** argv) {
    QApplication app(argc, argv);
    std::setlocale(LC_ALL, "C.UTF-8");
    ToolWindowsTest test;
    return QTest::qExec(&test, argc, argv);
}

#include "tool_windows_test.moc"
