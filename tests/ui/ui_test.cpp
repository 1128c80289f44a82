// SPDX-License-Identifier: GPL-3.0-or-later
// Drives the real windows of the desktop program on the offscreen platform.
#include <QAbstractButton>
#include <QAction>
#include <QApplication>
#include <QCheckBox>
#include <QComboBox>
#include <QDialog>
#include <QDir>
#include <QFileInfo>
#include <QHeaderView>
#include <QLabel>
#include <QMenu>
#include <QMenuBar>
#include <QProcess>
#include <QSplitter>
#include <QStatusBar>
#include <QTemporaryDir>
#include <QTimer>
#include <QToolBar>
#include <QTreeView>
#include <QtTest>
#include <clocale>
#include <deque>
#include <functional>

#include "catalog/size_unit.h"
#include "ui/command_handlers.h"
#include "ui/help_dialogs.h"
#include "ui/list_pane.h"
#include "ui/main_frame.h"
#include "ui/properties_dialog.h"
#include "ui/scripted_prompter.h"
#include "ui/tree_pane.h"
#include "ui/view_options.h"

using namespace kestavo;
using namespace kestavo::ui;
using enum kestavo::ui::Command;

namespace {

QStringList Texts(const QList<QAction*>& actions) {
    QStringList texts;
    for (QAction* a : actions) texts << (a->isSeparator() ? QStringLiteral("-") : a->text());
    return texts;
}

// Runs `work` on the next modal dialog once it is shown, then closes it.
void OnNextDialog(std::function<void(QDialog*)> work) {
    QTimer::singleShot(0, [work] {
        auto* dialog = qobject_cast<QDialog*>(QApplication::activeModalWidget());
        QVERIFY(dialog);
        work(dialog);
        if (dialog->isVisible()) dialog->reject();
    });
}

// `text` as iconv writes it in `codePage`.
QByteArray Iconv(const QString& text, const char* codePage) {
    QProcess iconv;
    iconv.start(QStringLiteral("iconv"), {QStringLiteral("-f"), QStringLiteral("UTF-8"),
                                          QStringLiteral("-t"), QString::fromLatin1(codePage)});
    iconv.write(text.toUtf8());
    iconv.closeWriteChannel();
    iconv.waitForFinished();
    return iconv.readAllStandardOutput();
}

void SaveShot(QWidget* widget, const char* name) {
    const QByteArray dir = qgetenv("KESTAVO_SCREENSHOT_DIR");
    if (!dir.isEmpty())
        widget->grab().save(QString::fromUtf8(dir) + QLatin1Char('/') + QLatin1String(name));
}

}  // namespace

class UiTest : public QObject {
    Q_OBJECT

private:
    std::unique_ptr<CKestavo2Doc> doc_;
    std::unique_ptr<CMainFrame> frame_;
    ScriptedPrompter prompter_;
    std::unique_ptr<QTemporaryDir> catalogs_;

    TreePane* Tree() { return frame_->Tree(); }
    ListPane* List() { return frame_->List(); }
    ContainerTree& Items() { return doc_->Catalogs().Tree(); }
    TreeItem Node(const char* path) {
        TreeItem item = Tree()->RootItem();
        for (const QString& part :
             QString::fromUtf8(path).split(QLatin1Char('/'), Qt::SkipEmptyParts))
            item = Items().FindChild(item, part.toStdString());
        return item;
    }
    QStringList Column(int column) {
        QStringList texts;
        auto* model = List()->Model();
        for (int row = 0; row < model->rowCount(); ++row)
            texts << model->index(row, column).data().toString();
        return texts;
    }
    QStringList Headings() {
        QStringList texts;
        auto* model = List()->Model();
        for (int c = 0; c < model->columnCount(); ++c)
            texts << model->headerData(c, Qt::Horizontal, Qt::DisplayRole).toString();
        return texts;
    }
    QStringList TreeMenu(const char* path) {
        const QModelIndex index = Tree()->Model()->IndexOf(Node(path));
        Tree()->View()->scrollTo(index);
        std::unique_ptr<QMenu> menu(
            Tree()->BuildContextMenu(Tree()->View()->visualRect(index).center()));
        return menu ? Texts(menu->actions()) : QStringList();
    }
    QStringList ListMenu(int row) {
        const QModelIndex index = List()->Model()->index(row, 0);
        std::unique_ptr<QMenu> menu(
            List()->BuildContextMenu(List()->View()->visualRect(index).center()));
        return menu ? Texts(menu->actions()) : QStringList();
    }
    static QList<int> CommandNumbers(const QMenu& menu) {
        QList<int> numbers;
        for (QAction* a : menu.actions())
            if (!a->isSeparator()) numbers << a->property(kCommandProperty).toInt();
        return numbers;
    }
    int RowOf(const char* name) {
        return static_cast<int>(Column(0).indexOf(QString::fromUtf8(name)));
    }
    void OpenAll() { frame_->Action(ID_OPEN_ALL_CATALOGS)->trigger(); }

private slots:
    void init() {
        catalogs_ = std::make_unique<QTemporaryDir>();
        QVERIFY(catalogs_->isValid());
        for (const QString& name :
             QDir(QStringLiteral(KESTAVO_TEST_DATA "/catalogs")).entryList(QDir::Files)) {
            QVERIFY(QFile::copy(QStringLiteral(KESTAVO_TEST_DATA "/catalogs/") + name,
                                catalogs_->filePath(name)));
        }
        qputenv("Kestavo", catalogs_->path().toUtf8());
        SetSizeUnit(kUnitByte);
        prompter_ = ScriptedPrompter();
        doc_ = std::make_unique<CKestavo2Doc>();
        frame_ = std::make_unique<CMainFrame>(*doc_, &prompter_);
        frame_->resize(900, 600);
        frame_->show();
        QVERIFY(QTest::qWaitForWindowExposed(frame_.get()));
    }

    void cleanup() {
        frame_.reset();
        doc_.reset();
    }

    void startsEmptyWithMenusToolbarAndStatusPanes() {
        QCOMPARE(frame_->windowTitle(), QStringLiteral("Kestavo 3.0 - Disk Catalogs"));
        QCOMPARE(Texts(frame_->menuBar()->actions()),
                 QStringList({"&File", "&View", "Tools", "&Help"}));
        const auto menus = frame_->menuBar()->actions();
        QCOMPARE(Texts(menus[0]->menu()->actions()),
                 QStringList({"Open &All Catalogs", "&Open Selected Catalog...",
                              "Catalog &New Disk...", "-", "E&xit"}));
        QCOMPARE(Texts(menus[1]->menu()->actions()),
                 QStringList({"&Toolbar", "&Status Bar", "&Options ..."}));
        QCOMPARE(Texts(menus[2]->menu()->actions()),
                 QStringList({"&Find Files or Folders ...", "Find &Duplicate Files ...",
                              "&Compare Disk/Catalog ...", "&Eject Removable Disks"}));
        QCOMPARE(Texts(menus[3]->menu()->actions()),
                 QStringList({"&Help Topics", "Quick &Help ...", "&About Kestavo ..."}));
        QCOMPARE(frame_->Action(ID_OPEN_ALL_CATALOGS)->shortcut(),
                 QKeySequence(QStringLiteral("Ctrl+A")));
        QCOMPARE(frame_->Action(ID_OPEN_SELECTED_CATALOG)->shortcut(),
                 QKeySequence(QStringLiteral("Ctrl+O")));
        QCOMPARE(frame_->Action(ID_OPEN_ALL_CATALOGS)->statusTip(),
                 QStringLiteral("Open All Catalogs"));
        QCOMPARE(frame_->Action(ID_VIEW_OPTIONS)->statusTip(),
                 QStringLiteral("Change Viewing options"));

        QStringList tips;
        for (QAction* a : frame_->ToolBar()->actions())
            tips << (a->isSeparator() ? QStringLiteral("-") : a->toolTip());
        QCOMPARE(tips, QStringList({"Open All Catalogs", "New Catalog", "Open One Catalog", "-",
                                    "Find Files", "About"}));
        QVERIFY(frame_->Action(ID_CATALOG_NEW_DISK)->isEnabled());
        QVERIFY(frame_->Action(ID_FIND_FILES_TOOLBAR)->isEnabled());
        QVERIFY(frame_->Action(ID_OPEN_ALL_CATALOGS)->isEnabled());

        QCOMPARE(frame_->StatusPane(0)->text(), QStringLiteral("Ready"));
        QCOMPARE(frame_->StatusPane(1)->text(), QStringLiteral("CAP"));
        QCOMPARE(frame_->StatusPane(3)->text(), QStringLiteral("SCRL"));
        QLabel* date = frame_->StatusPane(4);
        QCOMPARE(date->width(), date->fontMetrics().horizontalAdvance(date->text()) + 6);
        QVERIFY(frame_->StatusPane(5)->text().contains(QLatin1Char(':')));

        // Nothing is loaded: the tree holds the top root item alone.
        QCOMPARE(Tree()->Model()->rowCount(), 1);
        QCOMPARE(Tree()->Model()->index(0, 0).data().toString(),
                 QStringLiteral("My Removable Disk Drive"));
        QVERIFY(!Tree()->Model()->hasChildren(Tree()->Model()->index(0, 0)));
        QCOMPARE(frame_->Splitter()->sizes().size(), 2);
    }

    void openAllShowsDisksInTreeOrderAndDiskRowsInLoadingOrder() {
        OpenAll();
        QVERIFY(prompter_.shown.empty());
        const QModelIndex root = Tree()->Model()->index(0, 0);
        QCOMPARE(Tree()->Model()->rowCount(root), 3);
        QStringList disks;
        for (int r = 0; r < 3; ++r) disks << Tree()->Model()->index(r, 0, root).data().toString();
        QCOMPARE(disks, QStringList({"BACKUP", "CD01", "Floppy"}));
        QVERIFY(Tree()->View()->isExpanded(root));
        QCOMPARE(Headings(), QStringList({"Disk", "Total Size", "Free Space", "Date Cataloged"}));
        QCOMPARE(Column(0), QStringList({"BACKUP", "CD01", "Floppy"}));
        QCOMPARE(Column(1), QStringList({"1048576000", "681574400", "1474560"}));
        QCOMPARE(Column(3)[0], QStringLiteral("10/07/98 14:30:05"));
        SaveShot(frame_.get(), "main-window.png");
    }

    void noCatalogsIsSaidThroughThePrompter() {
        QTemporaryDir empty;
        qputenv("Kestavo", empty.path().toUtf8());
        OpenAll();
        QCOMPARE(prompter_.shown.size(), std::size_t{1});
        QCOMPARE(QString::fromStdString(prompter_.shown[0].text),
                 QStringLiteral("No catalogs found.\nUse File->Catalog New Disk ... to create."));
        QCOMPARE(prompter_.shown[0].icon, MessageIcon::Information);
    }

    void selectingAnItemListsItsContents() {
        OpenAll();
        Tree()->SelectItem(Node("BACKUP"));
        QCOMPARE(Headings(), QStringList({"Name", "Size", "Date"}));
        QCOMPARE(Column(0), QStringList({"DOCS", "Notes.TXT", "Photos", "read me.txt"}));
        QCOMPARE(Column(1), QStringList({"106276", "3000000000", "3145729", "1200"}));
        QCOMPARE(Tree()->ContextItem(), Node("BACKUP"));
        Tree()->SelectItem(Tree()->RootItem());
        QCOMPARE(Headings()[0], QStringLiteral("Disk"));
        QCOMPARE(Column(0).size(), 3);
    }

    void oneSortFlagServesEveryColumn() {
        OpenAll();
        Tree()->SelectItem(Node("BACKUP"));
        QVERIFY(List()->SortDescendingNext());
        QHeaderView* header = List()->View()->header();
        QTest::mouseClick(header->viewport(), Qt::LeftButton, {},
                          QPoint(header->sectionViewportPosition(1) + 5, header->height() / 2));
        QCOMPARE(Column(0), QStringList({"Notes.TXT", "Photos", "DOCS", "read me.txt"}));
        List()->OnColumnClick(0);  // ascending now, on another column
        QCOMPARE(Column(0), QStringList({"DOCS", "Notes.TXT", "Photos", "read me.txt"}));
        List()->OnColumnClick(2);
        QCOMPARE(Column(0), QStringList({"Photos", "Notes.TXT", "DOCS", "read me.txt"}));
        QVERIFY(!List()->SortDescendingNext());
        List()->OnColumnClick(7);  // no such column: nothing changes
        QVERIFY(!List()->SortDescendingNext());
        // Refilling keeps the flag: the next click sorts ascending.
        Tree()->SelectItem(Node("BACKUP/DOCS"));
        List()->OnColumnClick(1);
        QCOMPARE(Column(0), QStringList({"letter.doc", "old.zip", "budget.xls"}));
    }

    void doubleClickGoesIntoAFolderAndKeepsTheSelection() {
        OpenAll();
        Tree()->SelectItem(Node("BACKUP"));
        const QModelIndex docs = List()->Model()->index(RowOf("DOCS"), 0);
        List()->View()->setCurrentIndex(docs);
        List()->OnDoubleClick(docs);
        QCOMPARE(Column(0), QStringList({"budget.xls", "letter.doc", "old.zip"}));
        QCOMPARE(Tree()->HighlightItem(), Node("BACKUP/DOCS"));
        QCOMPARE(ContainerTreeModel::ItemOf(Tree()->View()->currentIndex()), Node("BACKUP"));
        // A file row opens the file on its disk, asking for the disk first;
        // Cancel leaves the list as it is.
        qputenv("KESTAVO_DRIVES", "");
        QString asked;
        OnNextDialog([&](QDialog* dialog) {
            auto* message = dialog->findChild<QLabel*>();
            asked = message ? message->text() : QString();
            dialog->reject();
        });
        const QModelIndex file = List()->Model()->index(0, 0);
        List()->View()->setCurrentIndex(file);
        List()->OnDoubleClick(file);
        qunsetenv("KESTAVO_DRIVES");
        QCOMPARE(asked, QStringLiteral("Disk labeled BACKUP was not found."));
        QCOMPARE(Column(0).size(), 3);
    }

    void contextMenusOfferWhatEachKindAllows() {
        OpenAll();
        QCOMPARE(TreeMenu(""),
                 QStringList({"Find File ...", "Find Duplicate Files ...", "-", "Properties"}));
        QCOMPARE(TreeMenu("BACKUP"), QStringList({"Find File ...", "Find Duplicate Files ...", "-",
                                                  "Delete Catalog", "-", "Properties"}));
        Tree()->View()->expand(Tree()->Model()->IndexOf(Node("BACKUP")));
        QCOMPARE(TreeMenu("BACKUP/DOCS"),
                 QStringList({"Open", "Open Containing Folder", "Find File ...",
                              "Find Duplicate Files ...", "-", "Properties"}));
        QCOMPARE(Tree()->ContextItem(), Node("BACKUP/DOCS"));

        Tree()->SelectItem(Tree()->RootItem());
        QCOMPARE(ListMenu(0), QStringList({"Properties"}));
        Tree()->SelectItem(Node("BACKUP"));
        QCOMPARE(ListMenu(RowOf("DOCS")),
                 QStringList({"Open", "Open Containing Folder", "-", "Properties"}));
        QCOMPARE(
            ListMenu(RowOf("Notes.TXT")),
            QStringList({"Open", "Send To Notepad", "Open Containing Folder", "-", "Properties"}));
        QCOMPARE(List()->ContextRow(), RowOf("Notes.TXT"));

        const QModelIndex docs = Tree()->Model()->IndexOf(Node("BACKUP/DOCS"));
        std::unique_ptr<QMenu> shown(
            Tree()->BuildContextMenu(Tree()->View()->visualRect(docs).center()));
        SaveShot(frame_.get(), "before-menu.png");
        shown->popup(
            Tree()->View()->viewport()->mapToGlobal(Tree()->View()->visualRect(docs).center()));
        QVERIFY(QTest::qWaitForWindowExposed(shown.get()));
        SaveShot(shown.get(), "context-menu.png");
    }

    // Every action, from the menus and from the context menus alike, carries the
    // number of its command, so that it can be found by that number.
    void actionsCarryTheNumbersOfTheirCommands() {
        const std::pair<Command, int> numbers[] = {
            {ID_FIND_FILE_CONTEXT, 136}, {ID_OPEN_ALL_CATALOGS, 32771},
            {ID_EJECT_REMOVABLE, 32784}, {ID_OPEN_SELECTED_CATALOG, 57601},
            {ID_APP_EXIT, 57665},        {ID_VIEW_STATUS_BAR, 59393}};
        for (const auto& [command, number] : numbers) {
            QCOMPARE(CommandNumber(command), number);
            QCOMPARE(frame_->Action(command)->property(kCommandProperty).toInt(), number);
        }

        OpenAll();
        Tree()->SelectItem(Node("BACKUP"));
        const QModelIndex notes = List()->Model()->index(RowOf("Notes.TXT"), 0);
        std::unique_ptr<QMenu> listMenu(
            List()->BuildContextMenu(List()->View()->visualRect(notes).center()));
        QCOMPARE(CommandNumbers(*listMenu), QList<int>({32785, 32787, 32788, 32783}));

        const QModelIndex disk = Tree()->Model()->IndexOf(Node("CD01"));
        Tree()->View()->scrollTo(disk);
        std::unique_ptr<QMenu> treeMenu(
            Tree()->BuildContextMenu(Tree()->View()->visualRect(disk).center()));
        QCOMPARE(CommandNumbers(*treeMenu), QList<int>({136, 138, 140, 32783}));
    }

    void deleteCatalogAsksAndRemovesOnlyOnYes() {
        OpenAll();
        Tree()->SelectItem(Node("CD01"));
        prompter_.answers = {MessageAnswer::No};
        QTest::keyClick(Tree()->View(), Qt::Key_Delete);
        QCOMPARE(prompter_.shown.size(), std::size_t{1});
        QCOMPARE(prompter_.shown[0].buttons, MessageButtons::YesNo);
        QVERIFY(QFile::exists(catalogs_->filePath("CD01.kvx")));
        QVERIFY(Node("CD01") != kNoItem);

        prompter_.answers = {MessageAnswer::Yes};
        QTest::keyClick(Tree()->View(), Qt::Key_Delete);
        QVERIFY(!QFile::exists(catalogs_->filePath("CD01.kvx")));
        QCOMPARE(Node("CD01"), kNoItem);
        QCOMPARE(Tree()->ContextItem(), kNoItem);
        QCOMPARE(Column(0), QStringList({"BACKUP", "Floppy"}));  // nothing selected: the disks

        // A folder is not a disk: Delete asks nothing.
        Tree()->View()->expand(Tree()->Model()->IndexOf(Node("BACKUP")));
        Tree()->SelectItem(Node("BACKUP/DOCS"));
        QTest::keyClick(Tree()->View(), Qt::Key_Delete);
        QCOMPARE(prompter_.shown.size(), std::size_t{2});

        // A catalog file that cannot be removed is reported and stays loaded.
        QVERIFY(QFile::remove(catalogs_->filePath("BACKUP.kvx")));
        QVERIFY(QDir(catalogs_->path()).mkdir(QStringLiteral("BACKUP.kvx")));
        Tree()->SelectItem(Node("BACKUP"));
        prompter_.answers = {MessageAnswer::Yes};
        QTest::keyClick(Tree()->View(), Qt::Key_Delete);
        QCOMPARE(prompter_.shown.size(), std::size_t{4});
        QVERIFY(QString::fromStdString(prompter_.shown[3].text)
                    .startsWith(QStringLiteral("Unable to delete the file ")));
        QVERIFY(Node("BACKUP") != kNoItem);
    }

    void propertiesShowTheCoreFields() {
        OpenAll();
        struct Case {
            const char* path;
            const char* type;
            const char* contains;
        };
        for (const Case& c :
             {Case{"BACKUP/DOCS", "File Folder", "4 Files, 1 Folders, 1 Zip Folders"},
              Case{"BACKUP/DOCS/old.zip", "Zip Folder", "2 Files, 1 Folders, 0 Zip Folders"},
              Case{"CD01", "CD-ROM", "2 Files, 1 Folders, 0 Zip Folders"},
              Case{"", "Disk Drive", "11 Files, 7 Folders, 1 Zip Folders"}}) {
            Tree()->View()->expandAll();
            QVERIFY(!TreeMenu(c.path).isEmpty());
            QString type, contains, hint;
            OnNextDialog([&](QDialog* dialog) {
                auto* properties = qobject_cast<PropertiesDialog*>(dialog);
                QVERIFY(properties);
                type = properties->FieldText("type");
                contains = properties->FieldText("contains");
                hint = properties->FieldText("hint");
                if (QString::fromUtf8(c.path) == QStringLiteral("BACKUP/DOCS"))
                    SaveShot(dialog, "properties.png");
            });
            frame_->Handlers()->OnProperties();
            QCOMPARE(type, QString::fromUtf8(c.type));
            QCOMPARE(contains, QString::fromUtf8(c.contains));
            QCOMPARE(hint, QStringLiteral("Resize here -->"));
        }
        // A file from the list.
        Tree()->SelectItem(Node("BACKUP"));
        QVERIFY(!ListMenu(RowOf("Notes.TXT")).isEmpty());
        QString size, contains, note;
        OnNextDialog([&](QDialog* dialog) {
            auto* properties = qobject_cast<PropertiesDialog*>(dialog);
            size = properties->FieldText("size");
            contains = properties->FieldText("contains");
            note = properties->FieldText("note");
            dialog->resize(dialog->width() + 40, dialog->height());
            QCOMPARE(properties->FieldText("hint"), QString());
        });
        List()->OnProperties();
        QCOMPARE(size, QStringLiteral("3000000000"));
        QCOMPARE(contains, QStringLiteral("File Data"));
        QCOMPARE(note, QString());
    }

    // Catalogs written on Windows in its code page, with enough names for
    // the page to be told: tree, list and Properties show the letters.
    void catalogsInALegacyCodePageShowTheirOwnLetters() {
        struct Legacy {
            const char* codePage;
            const char* shownAs;
            QStringList names;  // the label, a folder, a file in it, files beside it
        };
        const Legacy legacies[] = {
            {"WINDOWS-1252",
             "Windows-1252",
             {"Übersicht", "Bücher", "Résumé – 2001.doc", "Bücher und Café.txt"}},
            {"WINDOWS-1251",
             "Windows-1251",
             {"Архив", "Документы", "Отчёт за 2001 год.doc", "Резюме.doc", "Письма.txt",
              "Бухгалтерия.xls", "Фотографии", "Новая папка"}},
            {"CP932",
             "CP932",
             {"写真集", "ドキュメント", "日本語のファイル.txt", "表示.txt", "ソフト.txt",
              "ＡＢＣ.txt", "能力.doc"}},
        };
        const QString date = QStringLiteral(" 1 1 2001 0 0 0");
        for (const Legacy& legacy : legacies) {
            const QStringList& n = legacy.names;
            QString text = QStringLiteral("kvx_version_1_1\r\n< %drivetype default >\r\n+ \"") +
                           n[0] + "\" 100 10" + date + " <\r\n+ \"" + n[1] + "\" 0 0" + date +
                           " <\r\n\"" + n[2] + "\" 5" + date + "\r\n>\r\n";
            for (qsizetype i = 3; i < n.size(); ++i) text += "\"" + n[i] + "\" 7" + date + "\r\n";
            text += QStringLiteral(">\r\n");
            QFile file(catalogs_->filePath(QString::fromLatin1(legacy.codePage) + ".kvx"));
            QVERIFY(file.open(QIODevice::WriteOnly));
            const QByteArray bytes = Iconv(text, legacy.codePage);
            QVERIFY(!bytes.isEmpty() && bytes != text.toUtf8());
            file.write(bytes);
        }
        OpenAll();
        QVERIFY(prompter_.shown.empty());
        for (const Legacy& legacy : legacies) {
            const QStringList& n = legacy.names;
            const QByteArray label = n[0].toUtf8();
            QVERIFY2(Node(label.constData()) != kNoItem, label.constData());
            const QModelIndex index = Tree()->Model()->IndexOf(Node(label.constData()));
            QCOMPARE(index.data().toString(), n[0]);
            Tree()->SelectItem(Node(label.constData()));
            QStringList shown = Column(0);
            shown.sort();
            QStringList expected = n.mid(3);
            expected << n[1];
            expected.sort();
            QCOMPARE(shown, expected);
            Tree()->SelectItem(Node((n[0] + "/" + n[1]).toUtf8().constData()));
            QCOMPARE(Column(0), QStringList({n[2]}));

            QVERIFY(!TreeMenu(label.constData()).isEmpty());
            QString codePage, name;
            OnNextDialog([&](QDialog* dialog) {
                auto* properties = qobject_cast<PropertiesDialog*>(dialog);
                QVERIFY(properties);
                codePage = properties->FieldText("codepage");
                name = properties->FieldText("name");
            });
            frame_->Handlers()->OnProperties();
            QCOMPARE(codePage, QString::fromLatin1(legacy.shownAs));
            QCOMPARE(name, n[0]);
        }
        // A catalog written in UTF-8 names no code page.
        QVERIFY(!TreeMenu("BACKUP").isEmpty());
        QString codePage = QStringLiteral("unset");
        OnNextDialog([&](QDialog* dialog) {
            codePage = qobject_cast<PropertiesDialog*>(dialog)->FieldText("codepage");
        });
        frame_->Handlers()->OnProperties();
        QCOMPARE(codePage, QString());
    }

    void viewOptionsChangeUnitsAndColumnsButCancelChangesNothing() {
        OpenAll();
        Tree()->SelectItem(Tree()->RootItem());
        OnNextDialog([](QDialog* dialog) {
            auto* sheet = qobject_cast<CViewOptions*>(dialog);
            QVERIFY(sheet);
            sheet->Page()->UnitBox()->setEditText(QStringLiteral("KB"));
            sheet->Page()->FreeSpaceBox()->setChecked(false);
            SaveShot(dialog, "view-options.png");
            sheet->reject();
        });
        frame_->Handlers()->OnViewOptions();
        QCOMPARE(GetSizeUnit(), kUnitByte);
        QCOMPARE(Headings(), QStringList({"Disk", "Total Size", "Free Space", "Date Cataloged"}));

        OnNextDialog([](QDialog* dialog) {
            auto* sheet = qobject_cast<CViewOptions*>(dialog);
            QCOMPARE(sheet->Page()->UnitBox()->currentText(), QStringLiteral("byte"));
            sheet->Page()->UnitBox()->setEditText(QStringLiteral("KB"));
            sheet->Page()->FreeSpaceBox()->setChecked(false);
            sheet->accept();
        });
        frame_->Handlers()->OnViewOptions();
        QCOMPARE(GetSizeUnit(), kUnitKB);
        QCOMPARE(Headings(), QStringList({"Disk", "Total Size", "Date Cataloged"}));
        QCOMPARE(Column(1), QStringList({"1024000KB", "665600KB", "1440KB"}));
        Tree()->SelectItem(Node("BACKUP"));
        QCOMPARE(Column(1), QStringList({"104KB", "2929688KB", "3073KB", "2KB"}));

        // Clearing every box leaves the Disk column; a typed unit that is
        // not one of the three changes nothing and is kept in the box.
        OnNextDialog([](QDialog* dialog) {
            auto* page = qobject_cast<CViewOptions*>(dialog)->Page();
            page->UnitBox()->setEditText(QStringLiteral("kb"));
            page->TotalSizeBox()->setChecked(false);
            page->DateCatalogedBox()->setChecked(false);
            dialog->accept();
        });
        frame_->Handlers()->OnViewOptions();
        QCOMPARE(GetSizeUnit(), kUnitKB);
        QCOMPARE(Headings(), QStringList({"Name", "Size", "Date"}));
        Tree()->SelectItem(Tree()->RootItem());
        QCOMPARE(Headings(), QStringList({"Disk"}));
        QCOMPARE(frame_->Handlers()->ViewOptions()->Page()->unitText, QStringLiteral("kb"));
    }

    void openSelectedCatalogJoinsTheLoadedDisks() {
        OpenAll();
        QTemporaryDir elsewhere;
        QFile file(elsewhere.filePath(QStringLiteral("extra.kvx")));
        QVERIFY(file.open(QIODevice::WriteOnly));
        file.write("kvx_version_1_1 < %drivetype fixed > + \"EXTRA\" 1 1 1 1 2000 0 0 0 < >");
        file.close();
        prompter_.chosenFile = file.fileName();
        frame_->Action(ID_OPEN_SELECTED_CATALOG)->trigger();
        QVERIFY(Node("EXTRA") != kNoItem);
        QVERIFY(Node("BACKUP") != kNoItem);
        QCOMPARE(QDir::currentPath(), QDir(catalogs_->path()).canonicalPath());
    }

    void helpTopicsReportsAMissingPage() {
        qputenv("Kestavo", "/nonexistent/Disks/Catalogs");
        frame_->OnHelpTopics();
        QCOMPARE(prompter_.shown.size(), std::size_t{1});
        QCOMPARE(QString::fromStdString(prompter_.shown[0].caption),
                 QStringLiteral("Could not launch help file"));
        QCOMPARE(QString::fromStdString(prompter_.shown[0].text),
                 QStringLiteral(
                     "Cannot find or launch help file:\n/nonexistent/Disks/Help/Kestavo_help.htm"));
    }

    // Without "Catalogs" in the variable, or without the variable, the page shipped with the
    // program is found whatever the current directory is.
    void helpPageIsFoundFromAnyDirectory() {
        QTemporaryDir elsewhere;
        QVERIFY(QDir::setCurrent(elsewhere.path()));
        const QString shipped = DataFolder() + QStringLiteral("/Help/Kestavo_help.htm");
        for (const char* value : {"/nonexistent/Disks", "Disks", ""}) {
            qputenv("Kestavo", value);
            QCOMPARE(HelpFilePath(), shipped);
        }
        qunsetenv("Kestavo");
        QCOMPARE(HelpFilePath(), shipped);
        QVERIFY(QFileInfo(shipped).isAbsolute());
        QVERIFY(QFileInfo(shipped).isFile());
        qputenv("Kestavo", "Disks/Catalogs");
        QCOMPARE(HelpFilePath(), QStringLiteral("Disks/Help/Kestavo_help.htm"));
        QVERIFY(QDir::setCurrent(QCoreApplication::applicationDirPath()));
    }
};

int main(int argc, char** argv) {
    QApplication app(argc, argv);
    std::setlocale(LC_ALL, "C.UTF-8");
    UiTest test;
    return QTest::qExec(&test, argc, argv);
}

#include "ui_test.moc"
