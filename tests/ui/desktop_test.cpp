// SPDX-License-Identifier: GPL-3.0-or-later
// The program on the desktop: what the window remembers from one run to the
// next, the command line, the hand-over to a running window, Open
// Containing Folder and dragging rows out as files. Settings and the
// runtime folder live in a temporary folder of their own.
#include <QAction>
#include <QApplication>
#include <QDir>
#include <QFile>
#include <QHeaderView>
#include <QLabel>
#include <QLineEdit>
#include <QLocalServer>
#include <QMenu>
#include <QMimeData>
#include <QMouseEvent>
#include <QPointer>
#include <QProcess>
#include <QSignalSpy>
#include <QSplitter>
#include <QStatusBar>
#include <QTemporaryDir>
#include <QTimer>
#include <QToolBar>
#include <QTreeView>
#include <QtTest>
#include <clocale>
#include <memory>

#include "kestavo_version.h"
#include "ui/column_memory.h"
#include "ui/command_handlers.h"
#include "ui/command_line.h"
#include "ui/compare_dialog.h"
#include "ui/dialog_script.h"
#include "ui/drive_dialogs.h"
#include "ui/file_launcher.h"
#include "ui/find_files_dialog.h"
#include "ui/list_pane.h"
#include "ui/main_frame.h"
#include "ui/remembered_state.h"
#include "ui/result_list.h"
#include "ui/result_row_menu.h"
#include "ui/scripted_prompter.h"
#include "ui/search_wait.h"
#include "ui/single_instance.h"
#include "ui/tree_pane.h"

using namespace kestavo;
using namespace kestavo::ui;
using enum kestavo::ui::Command;

namespace {

// Drags a divider of `header` the way a user does: the resize happens
// while a mouse button is down on the heading.
void DragColumn(QHeaderView* header, int column, int width) {
    QWidget* viewport = header->viewport();
    const QPoint at(header->sectionViewportPosition(column) + header->sectionSize(column) - 1,
                    viewport->height() / 2);
    QMouseEvent press(QEvent::MouseButtonPress, at, viewport->mapToGlobal(at), Qt::LeftButton,
                      Qt::LeftButton, Qt::NoModifier);
    QApplication::sendEvent(viewport, &press);
    header->resizeSection(column, width);
    QMouseEvent release(QEvent::MouseButtonRelease, at, viewport->mapToGlobal(at), Qt::LeftButton,
                        Qt::NoButton, Qt::NoModifier);
    QApplication::sendEvent(viewport, &release);
}

void WriteFile(const QString& path, const QByteArray& content) {
    QDir().mkpath(QFileInfo(path).path());
    QFile file(path);
    QVERIFY(file.open(QIODevice::WriteOnly | QIODevice::Truncate));
    file.write(content);
}

QString SettingsFile() {
    return QDir(qEnvironmentVariable("XDG_CONFIG_HOME"))
        .filePath(QStringLiteral("Kestavo/Kestavo.conf"));
}

QAction* MenuAction(QMenu* menu, const QString& text) {
    for (QAction* action : menu->actions())
        if (action->text() == text) return action;
    return nullptr;
}

}  // namespace

class DesktopTest : public QObject {
    Q_OBJECT

private:
    std::unique_ptr<QTemporaryDir> temp_;
    std::unique_ptr<CKestavo2Doc> doc_;
    std::unique_ptr<CMainFrame> frame_;
    ScriptedPrompter prompter_;

    QString Path(const QString& name) const { return temp_->filePath(name); }
    void OpenFrame() {
        doc_ = std::make_unique<CKestavo2Doc>();
        frame_ = std::make_unique<CMainFrame>(*doc_, &prompter_);
        frame_->show();
        QVERIFY(QTest::qWaitForWindowExposed(frame_.get()));
    }
    void CloseFrame() {
        if (frame_) frame_->close();
        frame_.reset();
        doc_.reset();
    }
    TreeItem Node(const char* path) {
        TreeItem item = frame_->Tree()->RootItem();
        for (const QString& part :
             QString::fromUtf8(path).split(QLatin1Char('/'), Qt::SkipEmptyParts))
            item = doc_->Catalogs().Tree().FindChild(item, part.toStdString());
        return item;
    }
    // The list's row that shows `name`, or -1.
    int ListRow(const QString& name) {
        EntryListModel* model = frame_->List()->Model();
        for (int row = 0; row < model->rowCount(); ++row)
            if (model->index(row, 0).data().toString() == name) return row;
        return -1;
    }
    QMenu* ListMenu(int row) {
        ListPane* list = frame_->List();
        return list->BuildContextMenu(
            list->View()->visualRect(list->Model()->index(row, 0)).center());
    }
    // BACKUP's disk in drive E:, with its letter and its two photos.
    QString PutBackupInDrive() {
        const QString disk = Path(QStringLiteral("backup-disk"));
        WriteFile(disk + QStringLiteral("/DOCS/letter.doc"), "letter");
        WriteFile(disk + QStringLiteral("/Photos/IMG_0001.JPG"), "one");
        WriteFile(disk + QStringLiteral("/Photos/img_0002.jpg"), "two");
        qputenv("KESTAVO_DRIVES", ("E:|removable|BACKUP|" + disk).toUtf8());
        return disk;
    }

private slots:
    void init() {
        temp_ = std::make_unique<QTemporaryDir>();
        QVERIFY(temp_->isValid());
        const QString catalogs = Path(QStringLiteral("catalogs"));
        QDir().mkpath(catalogs);
        for (const QString& name :
             QDir(QStringLiteral(KESTAVO_TEST_DATA "/catalogs")).entryList(QDir::Files))
            QVERIFY(QFile::copy(QStringLiteral(KESTAVO_TEST_DATA "/catalogs/") + name,
                                catalogs + QLatin1Char('/') + name));
        qputenv("Kestavo", catalogs.toUtf8());
        qputenv("KESTAVO_DRIVES", "");
        QFile::remove(SettingsFile());
        RememberedState::SetEnabled(true);
        prompter_ = ScriptedPrompter();
    }

    void cleanup() {
        CloseFrame();
        RememberedState::SetEnabled(false);
        qunsetenv("KESTAVO_DRIVES");
        temp_.reset();
    }

    // --- Remembered state ---

    void theWindowComesBackAsItWasLeft() {
        OpenFrame();
        frame_->resize(700, 480);
        frame_->Splitter()->setSizes({150, 500});
        const QList<int> splitterSizes = frame_->Splitter()->sizes();
        frame_->Action(ID_VIEW_TOOLBAR)->trigger();
        frame_->Action(ID_VIEW_STATUS_BAR)->trigger();
        QVERIFY(frame_->ToolBar()->isHidden());
        DragColumn(frame_->List()->View()->header(), 0, 333);
        CloseFrame();
        QVERIFY(QFile::exists(SettingsFile()));

        OpenFrame();
        QCOMPARE(frame_->size(), QSize(700, 480));
        QCOMPARE(frame_->Splitter()->sizes(), splitterSizes);
        QVERIFY(frame_->ToolBar()->isHidden());
        QVERIFY(!frame_->Action(ID_VIEW_TOOLBAR)->isChecked());
        QVERIFY(frame_->statusBar()->isHidden());
        QVERIFY(!frame_->Action(ID_VIEW_STATUS_BAR)->isChecked());
        QCOMPARE(frame_->List()->View()->header()->sectionSize(0), 333);
    }

    // A width the user dragged belongs to its column: it stays through a
    // change to the disk columns and back, and is no width of theirs.
    void aDraggedColumnWidthOutlivesAChangeOfColumns() {
        OpenFrame();
        frame_->Action(ID_OPEN_ALL_CATALOGS)->trigger();
        frame_->Tree()->SelectItem(Node("BACKUP"));
        QHeaderView* header = frame_->List()->View()->header();
        DragColumn(header, 0, 271);
        const int designedDiskName = [&] {
            frame_->Tree()->SelectItem(frame_->Tree()->RootItem());
            return header->sectionSize(0);
        }();
        QVERIFY(designedDiskName != 271);
        frame_->Tree()->SelectItem(Node("BACKUP/DOCS"));
        QCOMPARE(header->sectionSize(0), 271);
        // The program's own resizes are not taken for the user's.
        header->resizeSection(0, 90);
        QCOMPARE(frame_->List()->ColumnMemory()->Width(0), std::optional<int>(271));
    }

    void aToolWindowKeepsTheColumnWidthsTheUserDragged() {
        OpenFrame();
        frame_->Action(ID_OPEN_ALL_CATALOGS)->trigger();
        auto* find = new FindFilesDlg(doc_->Catalogs(), kNoItem, prompter_, frame_.get());
        find->show();
        DragColumn(find->ResultView()->header(), 1, 222);
        find->close();
        QApplication::processEvents();

        find = new FindFilesDlg(doc_->Catalogs(), kNoItem, prompter_, frame_.get());
        find->show();
        QCOMPARE(find->ResultView()->header()->sectionSize(1), 222);
        // After a search the column is as wide as its texts need, never
        // narrower than the user left it.
        find->MaskBox()->setText(QStringLiteral("*.doc"));
        find->OnFindNow();
        QVERIFY(SearchEnds(find));
        QVERIFY(find->ResultView()->header()->sectionSize(1) >= 222);
        find->close();
    }

    void aDamagedOrForeignSettingsFileIsIgnored_data() {
        QTest::addColumn<QByteArray>("content");
        QTest::newRow("binary") << QByteArray("\x00\xff\xfe[window\x01geometry=\x7f\x00", 18);
        QTest::newRow("foreign values") << QByteArray(
            "[window]\ngeometry=hello\nbars=@ByteArray(xyz)\nsplitter=3\nstatusBarShown=\n"
            "[columns]\nlist\\files\\Name=wide\nlist\\files\\Size=999999\n"
            "[reports]\nfolder=relative/place\n");
        QTest::newRow("unfinished") << QByteArray("[window\ngeometry=@ByteArray(\\");
    }

    void aDamagedOrForeignSettingsFileIsIgnored() {
        QFETCH(QByteArray, content);
        WriteFile(SettingsFile(), content);
        OpenFrame();
        QVERIFY(!frame_->ToolBar()->isHidden());
        QVERIFY(frame_->Action(ID_VIEW_TOOLBAR)->isChecked());
        QVERIFY(!frame_->statusBar()->isHidden());
        const int name = frame_->List()->View()->header()->sectionSize(0);
        QVERIFY(name > 20 && name < 1000);
        QCOMPARE(RememberedState().ReportStartPath(QStringLiteral("FindFiles.txt")),
                 QStringLiteral("FindFiles.txt"));
        // The next run's settings are written over it.
        CloseFrame();
        OpenFrame();
        QVERIFY(!frame_->ToolBar()->isHidden());
    }

    void aReportIsFirstOfferedInTheFolderOfTheLastOne() {
        const QString reports = Path(QStringLiteral("reports"));
        QDir().mkpath(reports);
        RememberedState().SaveReportFolderOf(reports + QStringLiteral("/last.txt"));
        RememberedState state;
        QCOMPARE(state.ReportStartPath(QStringLiteral("FindFiles.txt")),
                 reports + QStringLiteral("/FindFiles.txt"));
        // A name with a folder of its own stays as it is.
        QCOMPARE(state.ReportStartPath(QStringLiteral("/elsewhere/CompareDisk.txt")),
                 QStringLiteral("/elsewhere/CompareDisk.txt"));
        QDir(reports).removeRecursively();
        QCOMPARE(RememberedState().ReportStartPath(QStringLiteral("FindFiles.txt")),
                 QStringLiteral("FindFiles.txt"));
    }

    void windowsLeaveTheSettingsAloneUnlessTheProgramRemembers() {
        RememberedState::SetEnabled(false);
        OpenFrame();
        frame_->resize(640, 400);
        CloseFrame();
        QVERIFY(!QFile::exists(SettingsFile()));
    }

    // --- Command line ---

    void theCommandLineGivesAbsoluteCatalogFiles() {
        const QString here = Path(QStringLiteral("here"));
        StartFiles start = FilesOfArguments(
            {QStringLiteral("kestavo"), QStringLiteral("CD01.kvx"), QStringLiteral("../x/./B.kvx"),
             QStringLiteral("file:///srv/disks/a%20b.kvx"), QStringLiteral("--"),
             QStringLiteral("-dash.kvx")},
            here);
        QVERIFY(!start.error);
        QCOMPARE(start.files,
                 QStringList({here + QStringLiteral("/CD01.kvx"), Path(QStringLiteral("x/B.kvx")),
                              QStringLiteral("/srv/disks/a b.kvx"),
                              here + QStringLiteral("/-dash.kvx")}));

        start = FilesOfArguments(
            {QStringLiteral("kestavo"), QStringLiteral("A.kvx"), QStringLiteral("--bogus")}, here);
        QVERIFY(start.error);
        QVERIFY(start.files.isEmpty());
        QCOMPARE(start.error->exitStatus, 2);
        QVERIFY(start.error->toStandardError);
        QVERIFY(QString::fromStdString(start.error->text).contains(QStringLiteral("--bogus")));
    }

    void helpAndVersionAreAnsweredBeforeAnythingElse() {
        const char* help[] = {"kestavo", "A.kvx", "--help"};
        QVERIFY(EarlyAnswer(3, help));
        QVERIFY(EarlyAnswer(3, help)->text.starts_with("usage: kestavo"));
        const char* version[] = {"kestavo", "--version"};
        QCOMPARE(QString::fromStdString(EarlyAnswer(2, version)->text),
                 QStringLiteral("kestavo " KESTAVO_VERSION "\n"));
        const char* file[] = {"kestavo", "--", "--help"};
        QVERIFY(!EarlyAnswer(3, file));
        const char* none[] = {"kestavo", "A.kvx"};
        QVERIFY(!EarlyAnswer(2, none));
    }

    // The real program, with no display at all.
    void theProgramAnswersHelpAndVersionWithoutADisplay() {
        QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
        for (const char* name : {"DISPLAY", "WAYLAND_DISPLAY", "QT_QPA_PLATFORM"})
            env.remove(QString::fromLatin1(name));
        for (const auto& [argument, starts] :
             {std::pair{"--version", "kestavo " KESTAVO_VERSION "\n"},
              std::pair{"--help", "usage: kestavo [OPTION]... [FILE.kvx]..."}}) {
            QProcess program;
            program.setProcessEnvironment(env);
            program.start(QStringLiteral(KESTAVO_PROGRAM), {QString::fromLatin1(argument)});
            QVERIFY(program.waitForFinished(30000));
            QCOMPARE(program.exitCode(), 0);
            QVERIFY2(program.readAllStandardOutput().startsWith(starts), argument);
        }
    }

    void filesOfTheCommandLineAreLoadedAsOpenSelectedLoadsThem() {
        OpenFrame();
        frame_->OpenCatalogFiles({QStringLiteral(KESTAVO_TEST_DATA "/catalogs/CD01.kvx"),
                                  Path(QStringLiteral("missing.kvx")),
                                  QStringLiteral(KESTAVO_TEST_DATA "/catalogs/floppy.kvx")});
        QVERIFY(Node("CD01") != kNoItem);
        QVERIFY(Node("Floppy") != kNoItem);
        QVERIFY(Node("BACKUP") == kNoItem);
        // The missing file is reported as Open Selected Catalog reports it.
        QCOMPARE(prompter_.shown.size(), std::size_t{1});
    }

    // --- One window ---

    void aSecondStartHandsItsFilesToTheRunningWindow() {
        InstanceServer running;
        QVERIFY(running.Listen(InstanceSocketPath()));
        QSignalSpy arrived(&running, &InstanceServer::FilesArrived);
        QProcess second;
        second.setWorkingDirectory(Path(QString()));
        second.start(QStringLiteral(KESTAVO_PROGRAM),
                     {QStringLiteral("CD01.kvx"), QStringLiteral("two\nlines.kvx")});
        QVERIFY(second.waitForStarted());
        QTRY_COMPARE_WITH_TIMEOUT(arrived.size(), 1, 30000);
        QCOMPARE(arrived.front().front().toStringList(),
                 QStringList(
                     {Path(QStringLiteral("CD01.kvx")), Path(QStringLiteral("two\nlines.kvx"))}));
        QTRY_COMPARE_WITH_TIMEOUT(second.state(), QProcess::NotRunning, 30000);
        QCOMPARE(second.exitCode(), 0);
    }

    void theRunningWindowKeepsItsSocketAndALeftOneIsReplaced() {
        const QString socket = Path(QStringLiteral("instance"));
        {
            InstanceServer first;
            QVERIFY(first.Listen(socket));
            InstanceServer later;
            QVERIFY(!later.Listen(socket));
        }
        // A socket file that no window answers on any more.
        QLocalServer left;
        QVERIFY(left.listen(socket));
        left.close();
        WriteFile(socket, "");
        InstanceServer next;
        QVERIFY(next.Listen(socket));
        QVERIFY(!HandOverFiles(Path(QStringLiteral("nobody")), {QStringLiteral("/a.kvx")}));
    }

    void theHandOverMessageWaitsForItsEnd() {
        QStringList files;
        const QByteArray message =
            EncodeFileNames({QStringLiteral("/a b.kvx"), QStringLiteral("/ä.kvx")});
        QVERIFY(!DecodeFileNames(message.left(message.size() - 1), files));
        QVERIFY(!DecodeFileNames(message.left(3), files));
        QVERIFY(DecodeFileNames(message, files));
        QCOMPARE(files, QStringList({QStringLiteral("/a b.kvx"), QStringLiteral("/ä.kvx")}));
    }

    // --- Open Containing Folder ---

    void openContainingFolderShowsTheRealFileInTheFileManager() {
        const QString disk = PutBackupInDrive();
        OpenFrame();
        frame_->Action(ID_OPEN_ALL_CATALOGS)->trigger();
        QStringList shown;
        QStringList opened;
        bool fileManagerAnswers = true;
        FolderShower& folders = frame_->Launcher()->Folders();
        folders.showItems = [&](const QString& uri) {
            shown << uri;
            return fileManagerAnswers;
        };
        folders.openFolder = [&](const std::string& folder) {
            opened << QString::fromStdString(folder);
            return 0;
        };
        frame_->Tree()->SelectItem(Node("BACKUP/DOCS"));
        std::unique_ptr<QMenu> menu(ListMenu(ListRow(QStringLiteral("letter.doc"))));
        QAction* action = MenuAction(menu.get(), QStringLiteral("Open Containing Folder"));
        QVERIFY(action);
        QCOMPARE(action->property(kCommandProperty).toInt(),
                 CommandNumber(ID_OPEN_CONTAINING_FOLDER));
        action->trigger();
        QCOMPARE(shown, QStringList({QUrl::fromLocalFile(disk + QStringLiteral("/DOCS/letter.doc"))
                                         .toString(QUrl::FullyEncoded)}));
        QVERIFY(opened.isEmpty());

        // Without a file manager on the bus the folder itself is opened.
        fileManagerAnswers = false;
        action->trigger();
        QCOMPARE(opened, QStringList({disk + QStringLiteral("/DOCS")}));

        // A folder of the tree has the command too.
        const QModelIndex docs = frame_->Tree()->Model()->IndexOf(Node("BACKUP/DOCS"));
        std::unique_ptr<QMenu> treeMenu(
            frame_->Tree()->BuildContextMenu(frame_->Tree()->View()->visualRect(docs).center()));
        QAction* treeAction = MenuAction(treeMenu.get(), QStringLiteral("Open Containing Folder"));
        QVERIFY(treeAction);
        fileManagerAnswers = true;
        treeAction->trigger();
        QCOMPARE(shown.last(),
                 QUrl::fromLocalFile(disk + QStringLiteral("/DOCS")).toString(QUrl::FullyEncoded));

        // A disk row has no containing folder to show.
        frame_->Tree()->SelectItem(frame_->Tree()->RootItem());
        std::unique_ptr<QMenu> diskMenu(ListMenu(ListRow(QStringLiteral("BACKUP"))));
        QVERIFY(diskMenu);
        QVERIFY(!MenuAction(diskMenu.get(), QStringLiteral("Open Containing Folder")));
    }

    void openContainingFolderAsksForAnAbsentDiskAsOpenDoes() {
        OpenFrame();
        frame_->Action(ID_OPEN_ALL_CATALOGS)->trigger();
        int shown = 0;
        frame_->Launcher()->Folders().showItems = [&](const QString&) { return ++shown, true; };
        frame_->Tree()->SelectItem(Node("BACKUP/DOCS"));
        QString asked;
        DialogScript script;
        script.Then([&](QDialog* dialog) {
            auto* prompt = qobject_cast<CInstertDisk*>(dialog);
            QVERIFY(prompt);
            asked = prompt->MessageLabel()->text();
            dialog->reject();
        });
        script.Start();
        std::unique_ptr<QMenu> menu(ListMenu(ListRow(QStringLiteral("letter.doc"))));
        MenuAction(menu.get(), QStringLiteral("Open Containing Folder"))->trigger();
        QVERIFY(script.Done());
        QCOMPARE(asked, QStringLiteral("Disk labeled BACKUP was not found."));
        QCOMPARE(shown, 0);
    }

    void aMissingFileIsExplainedInsteadOfShown() {
        const QString disk = PutBackupInDrive();
        QFile::remove(disk + QStringLiteral("/DOCS/letter.doc"));
        OpenFrame();
        frame_->Action(ID_OPEN_ALL_CATALOGS)->trigger();
        int shown = 0;
        frame_->Launcher()->Folders().showItems = [&](const QString&) { return ++shown, true; };
        frame_->Tree()->SelectItem(Node("BACKUP/DOCS"));
        std::unique_ptr<QMenu> menu(ListMenu(ListRow(QStringLiteral("letter.doc"))));
        MenuAction(menu.get(), QStringLiteral("Open Containing Folder"))->trigger();
        QCOMPARE(shown, 0);
        QVERIFY(!prompter_.shown.empty());
        QVERIFY(
            prompter_.Texts().last().contains(QStringLiteral("The specified file was not found.")));
    }

    void resultRowsOfFindFilesOfferTheContainingFolder() {
        const QString disk = PutBackupInDrive();
        OpenFrame();
        frame_->Action(ID_OPEN_ALL_CATALOGS)->trigger();
        QStringList shown;
        frame_->Launcher()->Folders().showItems = [&](const QString& uri) {
            shown << uri;
            return true;
        };
        frame_->Action(ID_FIND_FILES_ALL)->trigger();
        FindFilesDlg* find = nullptr;
        for (QWidget* widget : QApplication::topLevelWidgets())
            if (auto* window = qobject_cast<FindFilesDlg*>(widget); window && window->isVisible())
                find = window;
        QVERIFY(find);
        find->MaskBox()->setText(QStringLiteral("letter.doc"));
        find->OnFindNow();
        QVERIFY(SearchEnds(find));
        ResultView* view = find->ResultView();
        const QPoint row = view->visualRect(find->Results()->index(0, 0)).center();
        std::unique_ptr<QMenu> menu(find->RowMenu()->BuildContextMenu(row));
        QVERIFY(menu);
        MenuAction(menu.get(), QStringLiteral("Open Containing Folder"))->trigger();
        QCOMPARE(shown, QStringList({QUrl::fromLocalFile(disk + QStringLiteral("/DOCS/letter.doc"))
                                         .toString(QUrl::FullyEncoded)}));

        // "No files found" stands for no file: no menu, nothing to drag.
        find->MaskBox()->setText(QStringLiteral("nothing.at.all"));
        find->OnFindNow();
        QVERIFY(SearchEnds(find));
        QVERIFY(!find->RowMenu()->BuildContextMenu(row));
        QVERIFY(!(find->Results()->flags(find->Results()->index(0, 0)) & Qt::ItemIsDragEnabled));
        find->close();
    }

    void compareRowsShowTheirPlaceOnTheDiskCompared() {
        const QString disk = PutBackupInDrive();
        WriteFile(disk + QStringLiteral("/DOCS/new.txt"), "new");
        QDir().mkpath(disk + QStringLiteral("/Music"));
        OpenFrame();
        frame_->Action(ID_OPEN_ALL_CATALOGS)->trigger();
        QStringList shown;
        QStringList opened;
        FolderShower& folders = frame_->Launcher()->Folders();
        folders.showItems = [&](const QString& uri) {
            shown << uri;
            return true;
        };
        folders.openFolder = [&](const std::string& folder) {
            opened << QString::fromStdString(folder);
            return 0;
        };
        frame_->Handlers()->CompareDiskOn("E:  BACKUP");
        ui::DriveCompare* compare = nullptr;
        for (QWidget* widget : QApplication::topLevelWidgets())
            if (auto* window = qobject_cast<ui::DriveCompare*>(widget);
                window && window->isVisible())
                compare = window;
        QVERIFY(compare);
        compare->OnCompareNow();
        const auto rowMenu = [&](const QString& name) -> QMenu* {
            ResultListModel* rows = compare->Results();
            for (int row = 0; row < rows->rowCount(); ++row)
                if (rows->index(row, 1).data().toString() == name)
                    return compare->RowMenu()->BuildContextMenu(
                        compare->ResultView()->visualRect(rows->index(row, 0)).center());
            return nullptr;
        };
        const auto uri = [&](const QString& path) {
            return QUrl::fromLocalFile(disk + path).toString(QUrl::FullyEncoded);
        };
        // New and modified files, and a new folder, are picked out where
        // they are on the disk.
        for (const auto& [name, path] :
             {std::pair{"new.txt", "/DOCS/new.txt"}, std::pair{"letter.doc", "/DOCS/letter.doc"},
              std::pair{"Music", "/Music"}}) {
            std::unique_ptr<QMenu> menu(rowMenu(QString::fromLatin1(name)));
            QVERIFY2(menu, name);
            MenuAction(menu.get(), QStringLiteral("Open Containing Folder"))->trigger();
            QCOMPARE(shown.last(), uri(QString::fromLatin1(path)));
        }
        QCOMPARE(shown.size(), 3);
        // A deleted file's folder is opened itself, the disk's top for one on top.
        for (const auto& [name, folder] :
             {std::pair{"budget.xls", "/DOCS"}, std::pair{"Notes.TXT", ""}}) {
            std::unique_ptr<QMenu> menu(rowMenu(QString::fromLatin1(name)));
            QVERIFY2(menu, name);
            MenuAction(menu.get(), QStringLiteral("Open Containing Folder"))->trigger();
            QCOMPARE(QDir::cleanPath(opened.last()), disk + QString::fromLatin1(folder));
        }
        // A folder gone since the comparison is reported, not opened.
        QVERIFY(QDir(disk + QStringLiteral("/DOCS")).removeRecursively());
        std::unique_ptr<QMenu> menu(rowMenu(QStringLiteral("budget.xls")));
        QVERIFY(menu);
        MenuAction(menu.get(), QStringLiteral("Open Containing Folder"))->trigger();
        QCOMPARE(opened.size(), 2);
        QVERIFY(
            prompter_.Texts().last().contains(QStringLiteral("The specified path was not found.")));
        QCOMPARE(shown.size(), 3);
        compare->close();
    }

    void theSortOfTheListAndOfFindFilesComesBack() {
        const auto names = [this] {
            QStringList shown;
            EntryListModel* model = frame_->List()->Model();
            for (int row = 0; row < model->rowCount(); ++row)
                shown << model->index(row, 0).data().toString();
            return shown;
        };
        const auto sizeColumn = [](QAbstractItemModel* model) {
            for (int column = 0; column < model->columnCount(); ++column)
                if (model->headerData(column, Qt::Horizontal).toString() == QStringLiteral("Size"))
                    return column;
            return -1;
        };
        OpenFrame();
        frame_->Action(ID_OPEN_ALL_CATALOGS)->trigger();
        frame_->Tree()->SelectItem(Node("BACKUP"));
        const QStringList initial = names();
        frame_->List()->OnColumnClick(sizeColumn(frame_->List()->Model()));
        const QStringList bySize = names();
        QVERIFY(bySize != initial);
        auto* find = new FindFilesDlg(doc_->Catalogs(), kNoItem, prompter_, frame_.get());
        find->OnColumnClick(sizeColumn(find->Results()));
        find->OnColumnClick(sizeColumn(find->Results()));  // ascending now
        find->close();
        CloseFrame();

        OpenFrame();
        QVERIFY(frame_->List()->SortDescendingNext() == false);
        frame_->Action(ID_OPEN_ALL_CATALOGS)->trigger();
        frame_->Tree()->SelectItem(Node("BACKUP"));
        QCOMPARE(names(), bySize);
        // Only the first rows are sorted so; later ones come as they always do.
        frame_->Tree()->SelectItem(Node("BACKUP/Photos"));
        frame_->Tree()->SelectItem(Node("BACKUP"));
        QCOMPARE(names(), initial);
        find = new FindFilesDlg(doc_->Catalogs(), kNoItem, prompter_, frame_.get());
        QVERIFY(find->Tool().DescendingNext());
        find->MaskBox()->setText(QStringLiteral("*.jpg"));
        find->OnFindNow();
        QVERIFY(SearchEnds(find));
        QVERIFY(find->Tool().RowCount() >= 2);
        for (std::size_t row = 1; row < find->Tool().RowCount(); ++row)
            QVERIFY(find->Tool().RowEntry(row - 1)->Size() <= find->Tool().RowEntry(row)->Size());
        QVERIFY(find->Tool().DescendingNext());
        find->close();
    }

    void aDamagedSortIsIgnored() {
        WriteFile(SettingsFile(),
                  "[sorting]\nlist\\column=files/Size\nlist\\descending=sideways\n"
                  "findFiles\\column=@ByteArray(Size)\nfindFiles\\descending=true\n");
        OpenFrame();
        QVERIFY(frame_->List()->SortDescendingNext());
        frame_->Action(ID_OPEN_ALL_CATALOGS)->trigger();
        frame_->Tree()->SelectItem(Node("BACKUP"));
        QCOMPARE(frame_->List()->Model()->index(0, 0).data().toString(), QStringLiteral("DOCS"));
        auto* find = new FindFilesDlg(doc_->Catalogs(), kNoItem, prompter_, frame_.get());
        find->MaskBox()->setText(QStringLiteral("*.jpg"));
        find->OnFindNow();
        QVERIFY(SearchEnds(find));
        QCOMPARE(find->Results()->index(0, 0).data().toString(), QStringLiteral("IMG_0001.JPG"));
        QVERIFY(find->Tool().DescendingNext());
        find->close();
    }

    // --- Dragging files out ---

    void fileRowsAreDraggedAsTheRealFilesOfDisksInADrive() {
        const QString disk = PutBackupInDrive();
        OpenFrame();
        frame_->Action(ID_OPEN_ALL_CATALOGS)->trigger();
        frame_->Tree()->SelectItem(Node("BACKUP/Photos"));
        EntryListModel* model = frame_->List()->Model();
        QVERIFY(model->mimeTypes().contains(QStringLiteral("text/uri-list")));
        QVERIFY(model->flags(model->index(0, 0)) & Qt::ItemIsDragEnabled);
        // Two cells of the same row count once.
        std::unique_ptr<QMimeData> data(
            model->mimeData({model->index(0, 0), model->index(0, 1), model->index(1, 0)}));
        QVERIFY(data);
        QCOMPARE(data->urls(),
                 QList<QUrl>({QUrl::fromLocalFile(disk + QStringLiteral("/Photos/IMG_0001.JPG")),
                              QUrl::fromLocalFile(disk + QStringLiteral("/Photos/img_0002.jpg"))}));

        // A member of a ZIP archive is no file of its own.
        frame_->Tree()->SelectItem(Node("BACKUP/DOCS/old.zip"));
        const int readme = ListRow(QStringLiteral("README"));
        QVERIFY(readme >= 0);
        QVERIFY(!std::unique_ptr<QMimeData>(model->mimeData({model->index(readme, 0)})));

        // With the disk out of its drive nothing is dragged.
        qputenv("KESTAVO_DRIVES", "");
        frame_->Tree()->SelectItem(Node("BACKUP/Photos"));
        QVERIFY(!std::unique_ptr<QMimeData>(model->mimeData({model->index(0, 0)})));
    }
};

int main(int argc, char** argv) {
    // Settings and the runtime folder of these tests are their own.
    QTemporaryDir home;
    if (!home.isValid()) return 1;
    qputenv("XDG_CONFIG_HOME", home.filePath(QStringLiteral("config")).toUtf8());
    QDir().mkpath(home.filePath(QStringLiteral("runtime")));
    QFile::setPermissions(home.filePath(QStringLiteral("runtime")),
                          QFileDevice::ReadOwner | QFileDevice::WriteOwner | QFileDevice::ExeOwner);
    qputenv("XDG_RUNTIME_DIR", home.filePath(QStringLiteral("runtime")).toUtf8());
    QApplication app(argc, argv);
    std::setlocale(LC_ALL, "C.UTF-8");
    DesktopTest test;
    return QTest::qExec(&test, argc, argv);
}

#include "desktop_test.moc"
