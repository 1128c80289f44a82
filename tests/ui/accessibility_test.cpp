// SPDX-License-Identifier: GPL-3.0-or-later
// What assistive technology sees of the desktop program: every control has
// a name, and the keyboard's context-menu key works on the current item.
#include <QAbstractButton>
#include <QAbstractItemView>
#include <QAccessible>
#include <QApplication>
#include <QComboBox>
#include <QContextMenuEvent>
#include <QDir>
#include <QEventLoop>
#include <QHeaderView>
#include <QLineEdit>
#include <QMenu>
#include <QProcess>
#include <QSplitter>
#include <QTemporaryDir>
#include <QTimer>
#include <QTreeView>
#include <QtTest>
#include <clocale>
#include <memory>

#include "catalog/size_unit.h"
#include "media/volume_info.h"
#include "ui/background_work.h"
#include "ui/compare_dialog.h"
#include "ui/drive_dialogs.h"
#include "ui/entry_list_model.h"
#include "ui/find_duplicates_dialog.h"
#include "ui/find_files_dialog.h"
#include "ui/help_dialogs.h"
#include "ui/kestavo_doc.h"
#include "ui/list_pane.h"
#include "ui/main_frame.h"
#include "ui/properties_dialog.h"
#include "ui/scripted_prompter.h"
#include "ui/tree_model.h"
#include "ui/tree_pane.h"
#include "ui/view_options.h"

using namespace kestavo;
using namespace kestavo::ui;
using enum kestavo::ui::Command;

namespace {

// Whether a screen reader would announce `widget` as a control of its own,
// which it can only name by its accessible name.
bool IsControl(const QWidget* widget) {
    return qobject_cast<const QAbstractButton*>(widget) || qobject_cast<const QLineEdit*>(widget) ||
           qobject_cast<const QComboBox*>(widget) ||
           qobject_cast<const QAbstractItemView*>(widget) || qobject_cast<const QSplitter*>(widget);
}

// "Window/Class" for every visible control below `window` that has no
// accessible name.
QStringList UnnamedControls(QWidget* window) {
    QStringList unnamed;
    QList<QWidget*> widgets = window->findChildren<QWidget*>();
    for (QWidget* widget : widgets) {
        if (!widget->isVisibleTo(window) || !IsControl(widget)) continue;
        // A combo box's editor and popup list are announced as the box, and
        // a view's header as part of the view.
        if (qobject_cast<QComboBox*>(widget->parentWidget()) || qobject_cast<QHeaderView*>(widget))
            continue;
        QAccessibleInterface* face = QAccessible::queryAccessibleInterface(widget);
        if (face && !face->text(QAccessible::Name).trimmed().isEmpty()) continue;
        unnamed << window->windowTitle() + QLatin1Char('/') +
                       QString::fromLatin1(widget->metaObject()->className());
    }
    return unnamed;
}

}  // namespace

class AccessibilityTest : public QObject {
    Q_OBJECT

private:
    std::unique_ptr<QTemporaryDir> catalogs_;
    std::unique_ptr<CKestavo2Doc> doc_;
    std::unique_ptr<CMainFrame> frame_;
    ScriptedPrompter prompter_;
    std::vector<std::unique_ptr<QWidget>> windows_;

    TreePane* Tree() { return frame_->Tree(); }
    ListPane* List() { return frame_->List(); }
    QModelIndex IndexOf(const char* path) {
        TreeItem item = Tree()->RootItem();
        for (const QString& part :
             QString::fromUtf8(path).split(QLatin1Char('/'), Qt::SkipEmptyParts))
            item = doc_->Catalogs().Tree().FindChild(item, part.toStdString());
        return Tree()->Model()->IndexOf(item);
    }

    // The program's windows, each shown without waiting for an answer.
    void ShowEveryWindow() {
        CatalogSet& set = doc_->Catalogs();
        const TreeItem root = Tree()->RootItem();
        media::DriveList drives;
        drives.entries = {"C:", "E:  WORK"};
        PropertyFields fields;
        fields.name = "WORK";
        fields.type = "Removable Disk";
        windows_.emplace_back(new FindFilesDlg(set, root, prompter_));
        windows_.emplace_back(new FindDuplicatesDlg(set, root, prompter_));
        windows_.emplace_back(new ui::DriveCompare(set, prompter_));
        windows_.emplace_back(new DriveSelection(drives, prompter_));
        windows_.emplace_back(new LabelDialog("/"));
        windows_.emplace_back(new CInstertDisk(QStringLiteral("Insert the disk"), [] {}));
        windows_.emplace_back(new PropertiesDialog(fields));
        windows_.emplace_back(new CViewOptions());
        windows_.emplace_back(new CAboutDlg());
        windows_.emplace_back(new HelpDialog());
        windows_.emplace_back(new WorkDialog(QStringLiteral("Catalog New Disk"), true, nullptr));
        for (auto& window : windows_) {
            window->setAttribute(Qt::WA_DeleteOnClose, false);
            window->show();
        }
        QApplication::processEvents();
    }

private slots:
    void init() {
        catalogs_ = std::make_unique<QTemporaryDir>();
        for (const QString& name :
             QDir(QStringLiteral(KESTAVO_TEST_DATA "/catalogs")).entryList(QDir::Files))
            QVERIFY(QFile::copy(QStringLiteral(KESTAVO_TEST_DATA "/catalogs/") + name,
                                catalogs_->filePath(name)));
        qputenv("Kestavo", catalogs_->path().toUtf8());
        SetSizeUnit(kUnitByte);
        doc_ = std::make_unique<CKestavo2Doc>();
        frame_ = std::make_unique<CMainFrame>(*doc_, &prompter_);
        frame_->resize(900, 600);
        frame_->show();
        QVERIFY(QTest::qWaitForWindowExposed(frame_.get()));
        frame_->Action(ID_OPEN_ALL_CATALOGS)->trigger();
    }

    void cleanup() {
        windows_.clear();
        frame_.reset();
        doc_.reset();
    }

    void everyControlHasAName() {
        ShowEveryWindow();
        QStringList unnamed = UnnamedControls(frame_.get());
        for (auto& window : windows_) unnamed += UnnamedControls(window.get());
        QVERIFY2(unnamed.isEmpty(), qPrintable(unnamed.join(QLatin1Char('\n'))));
    }

    // The menu key opens the menu of the item the keyboard is on, wherever
    // the pane is scrolled, not of the item under the pane's corner.
    void theMenuKeyOpensTheMenuOfTheCurrentItem() {
        QTreeView* tree = Tree()->View();
        tree->setCurrentIndex(IndexOf("CD01"));
        QContextMenuEvent treeKey(QContextMenuEvent::Keyboard, QPoint(5, 5),
                                  tree->viewport()->mapToGlobal(QPoint(5, 5)));
        QApplication::sendEvent(tree, &treeKey);
        QTRY_VERIFY(QApplication::activePopupWidget());
        QApplication::activePopupWidget()->close();
        QCOMPARE(Tree()->ContextItem(), ContainerTreeModel::ItemOf(IndexOf("CD01")));

        Tree()->SelectItem(ContainerTreeModel::ItemOf(IndexOf("BACKUP")));
        QTreeView* list = List()->View();
        QVERIFY(List()->Model()->rowCount() > 2);
        list->setCurrentIndex(List()->Model()->index(2, 0));
        QContextMenuEvent listKey(QContextMenuEvent::Keyboard, QPoint(5, 5),
                                  list->viewport()->mapToGlobal(QPoint(5, 5)));
        QApplication::sendEvent(list, &listKey);
        QTRY_VERIFY(QApplication::activePopupWidget());
        QApplication::activePopupWidget()->close();
        QCOMPARE(List()->ContextRow(), 2);
    }

    // Under a desktop session, the accessibility bus shows the same: the
    // script named by KESTAVO_ATSPI_SCRIPT lists what it finds unnamed.
    void assistiveTechnologyFindsNoUnnamedControl() {
        const QString script = qEnvironmentVariable("KESTAVO_ATSPI_SCRIPT");
        if (script.isEmpty()) QSKIP("no accessibility bus session (run by atspi_test.sh)");
        ShowEveryWindow();
        QProcess dump;
        QEventLoop loop;
        connect(&dump, &QProcess::finished, &loop, &QEventLoop::quit);
        QTimer::singleShot(60000, &loop, &QEventLoop::quit);
        dump.start(QStringLiteral("/usr/bin/python3"),
                   {script, QString::number(QCoreApplication::applicationPid())});
        loop.exec();  // the program answers the script's questions meanwhile
        QCOMPARE(dump.exitStatus(), QProcess::NormalExit);
        const QString found = QString::fromUtf8(dump.readAllStandardOutput());
        QVERIFY2(dump.exitCode() == 0, qPrintable(QString::fromUtf8(dump.readAllStandardError())));
        QVERIFY2(found.contains(QStringLiteral("controls seen: ")), qPrintable(found));
        QVERIFY2(!found.contains(QStringLiteral("unnamed: ")), qPrintable(found));
    }
};

int main(int argc, char** argv) {
    QApplication app(argc, argv);
    std::setlocale(LC_ALL, "C.UTF-8");
    AccessibilityTest test;
    return QTest::qExec(&test, argc, argv);
}

#include "accessibility_test.moc"
