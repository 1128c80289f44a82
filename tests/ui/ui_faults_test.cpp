// SPDX-License-Identifier: GPL-3.0-or-later
// The desktop program against faults a user met: names read as formatting,
// cut-off sizes, dark lock lights, View Options, long names, the state after
// a delete, right clicks, loads that collapsed the tree, Quick Help texts and
// the Open Selected Catalog dialog.
#include <QAction>
#include <QApplication>
#include <QComboBox>
#include <QCompleter>
#include <QContextMenuEvent>
#include <QDialogButtonBox>
#include <QDir>
#include <QElapsedTimer>
#include <QFileDialog>
#include <QGroupBox>
#include <QHeaderView>
#include <QHelpEvent>
#include <QLabel>
#include <QLineEdit>
#include <QMenu>
#include <QMessageBox>
#include <QProcess>
#include <QPushButton>
#include <QScreen>
#include <QScrollBar>
#include <QStandardPaths>
#include <QTemporaryDir>
#include <QTextLayout>
#include <QTimer>
#include <QToolTip>
#include <QTreeView>
#include <QtTest>
#include <clocale>
#include <deque>
#include <functional>

#include "catalog/size_unit.h"
#include "ui/column_widths.h"
#include "ui/command_handlers.h"
#include "ui/help_dialogs.h"
#include "ui/list_pane.h"
#include "ui/lock_state.h"
#include "ui/main_frame.h"
#include "ui/plain_text.h"
#include "ui/properties_dialog.h"
#include "ui/result_list.h"
#include "ui/scripted_prompter.h"
#include "ui/tree_pane.h"
#include "ui/view_options.h"
#include "ui/window_size.h"

using namespace kestavo;
using namespace kestavo::ui;
using enum kestavo::ui::Command;

namespace {

// Runs `work` on the next modal window once it is shown, then closes it.
void OnNextModal(std::function<void(QWidget*)> work) {
    QTimer::singleShot(0, [work] {
        QWidget* modal = QApplication::activeModalWidget();
        QVERIFY(modal);
        work(modal);
        if (auto* dialog = qobject_cast<QDialog*>(modal); dialog && dialog->isVisible())
            dialog->reject();
    });
}

void WriteFile(const QString& path, const QByteArray& text) {
    QFile file(path);
    QVERIFY(file.open(QIODevice::WriteOnly));
    file.write(text);
}

// Saves a picture of `widget` where KESTAVO_SCREENSHOT_DIR says, to look at.
void SaveShot(QWidget* widget, const char* name) {
    const QByteArray dir = qgetenv("KESTAVO_SCREENSHOT_DIR");
    if (!dir.isEmpty())
        widget->grab().save(QString::fromUtf8(dir) + QLatin1Char('/') + QLatin1String(name));
}

// The lines `text` breaks into at `width` pixels in `font`.
QStringList WrappedLines(const QString& text, const QFont& font, int width) {
    QStringList lines;
    for (const QString& paragraph : text.split(QLatin1Char('\n'))) {
        QTextLayout layout(paragraph, font);
        QTextOption option;
        option.setWrapMode(QTextOption::WordWrap);
        layout.setTextOption(option);
        layout.beginLayout();
        for (QTextLine line = layout.createLine(); line.isValid(); line = layout.createLine()) {
            line.setLineWidth(width);
            lines << paragraph.mid(line.textStart(), line.textLength()).trimmed();
        }
        layout.endLayout();
    }
    return lines;
}

}  // namespace

class UiFaultsTest : public QObject {
    Q_OBJECT

private:
    std::unique_ptr<CKestavo2Doc> doc_;
    std::unique_ptr<CMainFrame> frame_;
    ScriptedPrompter prompter_;
    std::unique_ptr<QTemporaryDir> catalogs_;

    TreePane* Tree() { return frame_->Tree(); }
    ListPane* List() { return frame_->List(); }
    TreeItem Node(const char* path) {
        TreeItem item = Tree()->RootItem();
        for (const QString& part :
             QString::fromUtf8(path).split(QLatin1Char('/'), Qt::SkipEmptyParts))
            item = doc_->Catalogs().Tree().FindChild(item, part.toStdString());
        return item;
    }
    QModelIndex IndexOf(const char* path) { return Tree()->Model()->IndexOf(Node(path)); }
    QStringList Column(int column) {
        QStringList texts;
        auto* model = List()->Model();
        for (int row = 0; row < model->rowCount(); ++row)
            texts << model->index(row, column).data().toString();
        return texts;
    }
    TreeItem Selected() { return ContainerTreeModel::ItemOf(Tree()->View()->currentIndex()); }
    void OpenAll() { frame_->Action(ID_OPEN_ALL_CATALOGS)->trigger(); }

private slots:
    void init() {
        catalogs_ = std::make_unique<QTemporaryDir>();
        QVERIFY(catalogs_->isValid());
        for (const QString& name :
             QDir(QStringLiteral(KESTAVO_TEST_DATA "/catalogs")).entryList(QDir::Files))
            QVERIFY(QFile::copy(QStringLiteral(KESTAVO_TEST_DATA "/catalogs/") + name,
                                catalogs_->filePath(name)));
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

    void namesAndPathsShowAsPlainText() {
        const QString text =
            QStringLiteral("Cannot open <i>BAD.kvx\nsecond line & <u>when.txt</u>");
        QString shownText;
        Qt::TextFormat format = Qt::AutoText;
        OnNextModal([&](QWidget* modal) {
            auto* box = qobject_cast<QMessageBox*>(modal);
            QVERIFY(box);
            format = box->textFormat();
            for (QLabel* label : box->findChildren<QLabel*>())
                if (label->text() == text && label->textFormat() == Qt::PlainText)
                    shownText = label->text();
            box->accept();
        });
        DialogPrompter dialogs(frame_.get());
        Message message;
        message.caption = "Kestavo";
        message.text = text.toStdString();
        dialogs.Show(message);
        QCOMPARE(format, Qt::PlainText);
        QCOMPARE(shownText, text);

        std::unique_ptr<QLabel> label(PlainLabel(QStringLiteral("<i>HTML"), nullptr));
        QCOMPARE(label->textFormat(), Qt::PlainText);
        QCOMPARE(label->text(), QStringLiteral("<i>HTML"));
    }

    void sizeColumnsFitTheirDigitsAndCutNamesShowAsTips() {
        const QByteArray longName(120, 'n');
        WriteFile(catalogs_->filePath(QStringLiteral("HUGE.kvx")),
                  "kvx_version_1_1 < %drivetype fixed > + \"HUGE\" 270553174016000 270553174015000 "
                  "1 1 2020 0 0 0 <\n"
                  "\"" +
                      longName + ".txt\" 123456789012345678 1 1 2020 0 0 0\n>\n");
        OpenAll();
        QHeaderView* header = List()->View()->header();
        auto fits = [&](int column) {
            for (int row = 0; row < List()->Model()->rowCount(); ++row) {
                const QModelIndex index = List()->Model()->index(row, column);
                QStyleOptionViewItem option;
                option.initFrom(List()->View());
                const int needed =
                    List()->View()->itemDelegateForIndex(index)->sizeHint(option, index).width();
                if (needed > header->sectionSize(column)) return false;
            }
            return true;
        };
        QVERIFY(Column(1).contains(QStringLiteral("270553174016000")));
        QVERIFY(fits(1));
        QVERIFY(fits(2));
        QVERIFY(header->sectionSize(1) >= 90 && header->sectionSize(2) >= 90);
        SaveShot(frame_.get(), "huge-disks.png");

        Tree()->SelectItem(Node("HUGE"));
        QCOMPARE(Column(1), QStringList({"123456789012345678"}));
        QVERIFY(fits(1));
        SaveShot(frame_.get(), "huge-file.png");
        // Back to small sizes, the column keeps the width the list asks for.
        Tree()->SelectItem(Node("CD01"));
        QVERIFY(header->sectionSize(1) >= 70);
        QVERIFY(header->sectionSize(1) < 200);

        // The long name is cut by its column: its whole text is the tooltip.
        Tree()->SelectItem(Node("HUGE"));
        QTreeView* view = List()->View();
        const QRect cell = view->visualRect(List()->Model()->index(0, 0));
        QHelpEvent tip(QEvent::ToolTip, cell.center(),
                       view->viewport()->mapToGlobal(cell.center()));
        QApplication::sendEvent(view->viewport(), &tip);
        QTRY_COMPARE(QToolTip::text(), QString::fromLatin1(longName + ".txt"));
        QToolTip::hideText();
    }

    void sizeColumnWidthIsFoundQuicklyInAHundredThousandRows() {
        std::vector<std::string> sizes(100000, "1024");
        sizes[77777] = "999999999999999";
        ResultListModel table({{"Name", 100, false}, {"Size", 70, true}},
                              ResultRows{[&] { return sizes.size(); },
                                         [&](std::size_t row, int column) -> std::string_view {
                                             return column == 0 ? std::string_view("name")
                                                                : std::string_view(sizes[row]);
                                         },
                                         [](std::size_t) { return 0; }});
        std::unique_ptr<ResultView> view(MakeResultView(&table, nullptr));
        QElapsedTimer clock;
        clock.start();
        table.MeasureWidest();
        FitResultColumns(view.get(), table);
        QVERIFY2(clock.elapsed() < 2000, qPrintable(QString::number(clock.elapsed())));
        QVERIFY(view->header()->sectionSize(1) >=
                view->fontMetrics().horizontalAdvance(QStringLiteral("999999999999999")));
        // Never narrower than asked.
        view->UseColumnWidths({{QStringLiteral("Size"), 400}});
        FitResultColumns(view.get(), table);
        QCOMPARE(view->header()->sectionSize(1), 400);
    }

    void lockPanesFollowTheXServer() {
        const QString xvfb = QStandardPaths::findExecutable(QStringLiteral("Xvfb"));
        const QString xdotool = QStandardPaths::findExecutable(QStringLiteral("xdotool"));
        if (xvfb.isEmpty() || xdotool.isEmpty()) QSKIP("Xvfb and xdotool are needed");
        const QString display =
            QStringLiteral(":%1").arg(200 + QCoreApplication::applicationPid() % 300);
        QProcess server;
        server.start(xvfb, {display, QStringLiteral("-nolisten"), QStringLiteral("tcp")});
        if (!server.waitForStarted()) QSKIP("no X display could be started");
        std::unique_ptr<LockStateReader> reader;
        for (int tries = 0; tries < 50 && !(reader && reader->HasDisplay()); ++tries) {
            QTest::qWait(100);
            reader = std::make_unique<LockStateReader>(display.toUtf8());
        }
        if (!reader->HasDisplay()) {
            server.kill();
            server.waitForFinished();
            QSKIP("no X display could be started");
        }
        auto press = [&](const char* key) {
            QProcess tool;
            QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
            env.insert(QStringLiteral("DISPLAY"), display);
            tool.setProcessEnvironment(env);
            tool.start(xdotool, {QStringLiteral("key"), QString::fromLatin1(key)});
            QVERIFY(tool.waitForFinished());
        };
        const LockState before = reader->Read();
        press("Caps_Lock");
        QTRY_COMPARE(reader->Read().caps, !before.caps);
        QCOMPARE(reader->Read().num, before.num);
        press("Num_Lock");
        QTRY_COMPARE(reader->Read().num, !before.num);
        press("Caps_Lock");
        QTRY_COMPARE(reader->Read().caps, before.caps);
        reader.reset();
        server.kill();
        server.waitForFinished();
    }

    void viewOptionsKeepTypedTextsAndTheirThreeEntries() {
        OpenAll();
        auto typeAndPressEnter = [](const char* typed) {
            OnNextModal([typed](QWidget* modal) {
                QComboBox* unit = qobject_cast<CViewOptions*>(modal)->Page()->UnitBox();
                unit->lineEdit()->selectAll();
                QTest::keyClicks(unit->lineEdit(), QString::fromLatin1(typed));
                QTest::keyClick(unit->lineEdit(), Qt::Key_Return);
            });
        };
        typeAndPressEnter("kb");
        frame_->Handlers()->OnViewOptions();
        QCOMPARE(GetSizeUnit(), kUnitByte);
        QCOMPARE(frame_->Handlers()->ViewOptions()->Page()->unitText, QStringLiteral("kb"));

        typeAndPressEnter("GB");
        frame_->Handlers()->OnViewOptions();
        QCOMPARE(GetSizeUnit(), kUnitByte);
        QComboBox* unit = frame_->Handlers()->ViewOptions()->Page()->UnitBox();
        QStringList entries;
        for (int i = 0; i < unit->count(); ++i) entries << unit->itemText(i);
        QCOMPARE(entries, QStringList({"byte", "KB", "MB"}));

        // The kept text is shown again; the three names still work.
        QString shown;
        OnNextModal([&shown](QWidget* modal) {
            QComboBox* box = qobject_cast<CViewOptions*>(modal)->Page()->UnitBox();
            shown = box->currentText();
            box->lineEdit()->selectAll();
            QTest::keyClicks(box->lineEdit(), QStringLiteral("MB"));
            QTest::keyClick(box->lineEdit(), Qt::Key_Return);
        });
        frame_->Handlers()->OnViewOptions();
        QCOMPARE(shown, QStringLiteral("GB"));
        QCOMPARE(GetSizeUnit(), kUnitMB);
    }

    void viewOptionsFocusAsAtFirstAfterCancel() {
        QWidget* first = nullptr;
        QWidget* again = nullptr;
        OnNextModal([&first](QWidget* modal) {
            QApplication::setActiveWindow(modal);
            QTRY_VERIFY(modal->focusWidget());
            first = modal->focusWidget();
            // The user clicks into the unit box, then leaves with Escape.
            QComboBox* unit = qobject_cast<CViewOptions*>(modal)->Page()->UnitBox();
            unit->lineEdit()->setFocus(Qt::MouseFocusReason);
            QVERIFY(unit->hasFocus());
            QTest::keyClick(unit->lineEdit(), Qt::Key_Escape);
            QVERIFY(!modal->isVisible());
        });
        frame_->Handlers()->OnViewOptions();
        OnNextModal([&again](QWidget* modal) {
            QApplication::setActiveWindow(modal);
            QTRY_VERIFY(modal->focusWidget());
            again = modal->focusWidget();
        });
        frame_->Handlers()->OnViewOptions();
        QVERIFY(first);
        QCOMPARE(again, first);
    }

    void propertiesOfALongNameStayNarrow() {
        PropertyFields fields;
        fields.name = std::string(200, 'x') + ".txt";
        fields.type = "File";
        fields.location = "BACKUP/DOCS";
        fields.size = "12";
        fields.contains = "File Data";
        fields.hint = "Resize here -->";
        PropertiesDialog dialog(fields, frame_.get());
        dialog.show();
        QVERIFY(QTest::qWaitForWindowExposed(&dialog));
        SaveShot(&dialog, "properties-long-name.png");
        const int widest = std::max(420, dialog.fontMetrics().averageCharWidth() * 242 / 4);
        QVERIFY2(dialog.width() <= widest, qPrintable(QString::number(dialog.width())));
        QCOMPARE(dialog.FieldText("name").size(), 204);
        auto* name = dialog.findChild<QLineEdit*>();
        QVERIFY(name && name->isReadOnly());
        QCOMPARE(name->text(), QString::fromStdString(fields.name));
        QVERIFY(name->width() < name->fontMetrics().horizontalAdvance(name->text()));  // it scrolls
        QPushButton* cancel =
            dialog.findChild<QDialogButtonBox*>()->button(QDialogButtonBox::Cancel);
        QVERIFY(
            dialog.rect().contains(QRect(cancel->mapTo(&dialog, QPoint(0, 0)), cancel->size())));
        QVERIFY2(dialog.screen()->availableGeometry().width() >= dialog.frameGeometry().width(),
                 qPrintable(QStringLiteral("%1 %2 %3")
                                .arg(dialog.screen()->availableGeometry().width())
                                .arg(dialog.frameGeometry().width())
                                .arg(dialog.minimumSizeHint().width())));
    }

    void afterDeleteSelectionHighlightContextAndListAgree() {
        OpenAll();
        // The selected disk goes: nothing is selected and the list shows the disks.
        Tree()->SelectItem(Node("CD01"));
        prompter_.answers = {MessageAnswer::Yes};
        QTest::keyClick(Tree()->View(), Qt::Key_Delete);
        QCOMPARE(Node("CD01"), kNoItem);
        QCOMPARE(Selected(), kNoItem);
        QVERIFY(Tree()->View()->selectionModel()->selectedIndexes().isEmpty());
        QCOMPARE(Tree()->HighlightItem(), kNoItem);
        QCOMPARE(Tree()->ContextItem(), kNoItem);
        QCOMPARE(Column(0), QStringList({"BACKUP", "Floppy"}));
        // Clicking a disk now selects and lists it, and Delete asks about it.
        const QModelIndex floppy = IndexOf("Floppy");
        QTest::mouseClick(Tree()->View()->viewport(), Qt::LeftButton, {},
                          Tree()->View()->visualRect(floppy).center());
        QCOMPARE(Selected(), Node("Floppy"));
        QCOMPARE(Tree()->ContextItem(), Node("Floppy"));
        prompter_.answers = {MessageAnswer::No};
        QTest::keyClick(Tree()->View(), Qt::Key_Delete);
        QCOMPARE(prompter_.shown.size(), std::size_t{2});

        // Another disk goes from its context menu: the selection stays, listed.
        const QStringList listed = Column(0);
        std::unique_ptr<QMenu> menu(
            Tree()->BuildContextMenu(Tree()->View()->visualRect(IndexOf("BACKUP")).center()));
        QCOMPARE(Tree()->ContextItem(), Node("BACKUP"));
        prompter_.answers = {MessageAnswer::Yes};
        Tree()->OnDeleteCatalog();
        QCOMPARE(Node("BACKUP"), kNoItem);
        QCOMPARE(Selected(), Node("Floppy"));
        QCOMPARE(Tree()->HighlightItem(), Node("Floppy"));
        QCOMPARE(Tree()->ContextItem(), Node("Floppy"));
        QCOMPARE(Column(0), listed);
    }

    void rightClickRecordsTheContextItemOnly() {
        OpenAll();
        Tree()->SelectItem(Node("BACKUP"));
        const QStringList listed = Column(0);
        const QPoint cd01 = Tree()->View()->visualRect(IndexOf("CD01")).center();
        QTest::mouseClick(Tree()->View()->viewport(), Qt::RightButton, {}, cd01);
        // The window system follows the press with a context-menu request.
        QContextMenuEvent request(QContextMenuEvent::Mouse, cd01,
                                  Tree()->View()->viewport()->mapToGlobal(cd01));
        QApplication::sendEvent(Tree()->View()->viewport(), &request);
        QTRY_VERIFY(QApplication::activePopupWidget());
        QApplication::activePopupWidget()->close();
        QCOMPARE(Tree()->ContextItem(), Node("CD01"));
        QCOMPARE(Selected(), Node("BACKUP"));
        QCOMPARE(Tree()->View()->selectionModel()->selectedIndexes(),
                 QModelIndexList({IndexOf("BACKUP")}));
        QCOMPARE(Tree()->HighlightItem(), Node("BACKUP"));
        QCOMPARE(Column(0), listed);
    }

    void loadsKeepExpandedBranches() {
        OpenAll();
        QTreeView* view = Tree()->View();
        view->expand(IndexOf("BACKUP"));
        view->expand(IndexOf("BACKUP/DOCS"));
        view->expand(IndexOf("CD01"));
        QTemporaryDir elsewhere;
        const QString extra = elsewhere.filePath(QStringLiteral("extra.kvx"));
        WriteFile(extra,
                  "kvx_version_1_1 < %drivetype fixed > + \"ARCHIVE\" 1 1 1 1 2000 0 0 0 <\n"
                  "+ \"inner\" 0 0 1 1 2000 0 0 0 < > >\n");
        prompter_.chosenFile = extra;
        frame_->Action(ID_OPEN_SELECTED_CATALOG)->trigger();
        QVERIFY(Node("ARCHIVE") != kNoItem);
        QVERIFY(view->isExpanded(Tree()->Model()->IndexOf(Tree()->RootItem())));
        QVERIFY(view->isExpanded(IndexOf("BACKUP")));
        QVERIFY(view->isExpanded(IndexOf("BACKUP/DOCS")));
        QVERIFY(view->isExpanded(IndexOf("CD01")));
        QVERIFY(!view->isExpanded(IndexOf("ARCHIVE")));
        // The disks are re-sorted; rows and items agree.
        const QModelIndex root = Tree()->Model()->IndexOf(Tree()->RootItem());
        QStringList disks;
        for (int row = 0; row < Tree()->Model()->rowCount(root); ++row)
            disks << Tree()->Model()->index(row, 0, root).data().toString();
        QCOMPARE(disks, QStringList({"ARCHIVE", "BACKUP", "CD01", "Floppy"}));
        QCOMPARE(view->visualRect(IndexOf("BACKUP/DOCS")).isValid(), true);
        // Reloading a disk replaces its branch; the others stay open.
        frame_->Action(ID_OPEN_SELECTED_CATALOG)->trigger();
        QVERIFY(view->isExpanded(IndexOf("BACKUP/DOCS")));
    }

    void showingADeepFolderScrollsUpAndDownOnly() {
        // A chain of folders with long names, far wider than the tree pane.
        QByteArray text =
            "kvx_version_1_1\r\n<\r\n   %drivetype default\r\n>\r\n+\r\n"
            "\"DEEP\" 100 10 1 1 2000 0 0 0 <\r\n";
        constexpr int kDepth = 30;
        for (int level = 0; level < kDepth; ++level)
            text += "+ \"a folder with a long name\" 0 0 1 1 2000 0 0 0 <\r\n";
        for (int level = 0; level <= kDepth; ++level) text += ">\r\n";
        WriteFile(catalogs_->filePath(QStringLiteral("DEEP.kvx")), text);
        OpenAll();
        TreeItem deepest = Node("DEEP");
        for (int level = 0; level < kDepth; ++level)
            deepest = doc_->Catalogs().Tree().FindChild(deepest, "a folder with a long name");
        QTreeView* view = Tree()->View();
        QScrollBar* sideways = view->horizontalScrollBar();

        Tree()->SelectItem(deepest);
        QApplication::processEvents();
        QVERIFY(
            view->isExpanded(Tree()->Model()->IndexOf(doc_->Catalogs().Tree().Parent(deepest))));
        QVERIFY(sideways->maximum() > 0);
        QCOMPARE(sideways->value(), 0);
        // A folder opened from the list is brought into view the same way.
        Tree()->SelectItem(doc_->Catalogs().Tree().Parent(deepest));
        Tree()->ShowEntryInTree(*doc_->Catalogs().EntryOfItem(deepest));
        QApplication::processEvents();
        QCOMPARE(sideways->value(), 0);

        // Where the user scrolled to stays.
        sideways->setValue(sideways->maximum() / 2);
        const int chosen = sideways->value();
        Tree()->SelectItem(Node("DEEP"));
        QApplication::processEvents();
        QCOMPARE(sideways->value(), chosen);
        SaveShot(frame_.get(), "deep-tree.png");
    }

    // Run a second time at 200 % (see CMakeLists.txt), where the designed
    // size does not fit the offscreen screen.
    void theMainWindowOpensWithinTheScreen() {
        QCOMPARE(FirstWindowSize(QSize(800, 560), QSize(1400, 900)), QSize(800, 560));
        QCOMPARE(FirstWindowSize(QSize(800, 560), QSize(800, 560)), QSize(800, 560));
        QCOMPARE(FirstWindowSize(QSize(800, 560), QSize(700, 450)), QSize(630, 405));
        QCOMPARE(FirstWindowSize(QSize(800, 560), QSize(1000, 450)), QSize(800, 405));
        QCOMPARE(FirstWindowSize(QSize(800, 560), QSize()), QSize(800, 560));

        frame_.reset();
        frame_ = std::make_unique<CMainFrame>(*doc_, &prompter_);
        const QSize available = frame_->screen()->availableGeometry().size();
        QCOMPARE(frame_->size(), FirstWindowSize(QSize(800, 560), available));
        QVERIFY(frame_->width() <= available.width());
        QVERIFY(frame_->height() <= available.height());
    }

    void quickHelpSaysTheQuotedTextsWithoutOrphanedLines() {
        HelpDialog help(frame_.get());
        help.show();
        QVERIFY(QTest::qWaitForWindowExposed(&help));
        SaveShot(&help, "quick-help.png");
        QStringList texts;
        for (QLabel* label : help.findChildren<QLabel*>()) texts << label->text();
        for (const char* quoted :
             {"Insert a diskette in your removable disk drive, and click this icon:",
              "A catalog (i.e. *.kvx file) will be created with a name corresponding to "
              "the volume label of the diskette. The catalog is immediately available "
              "for browsing.",
              "Click this icon:", "Opens all .kvx files for browsing",
              "Choose the .kvx file you want to browse."})
            QVERIFY2(texts.contains(QString::fromLatin1(quoted)), quoted);
        QCOMPARE(texts.count(QStringLiteral("Click this icon:")), 2);

        // No line of any text is punctuation alone, at any width and at twice the size.
        for (QLabel* label : help.findChildren<QLabel*>()) {
            if (label->text().isEmpty()) continue;
            QFont big = label->font();
            big.setPointSizeF(big.pointSizeF() * 2);
            for (const QFont& font : {label->font(), big})
                for (int width = 60; width <= 900; width += 7)
                    for (const QString& line : WrappedLines(label->text(), font, width))
                        QVERIFY2(line.isEmpty() ||
                                     line.contains(QRegularExpression(QStringLiteral("\\w"))),
                                 qPrintable(line + QStringLiteral(" alone in ") + label->text()));
        }
    }

    void openSelectedCatalogStartsInAFolderThatIsThere() {
        qputenv("Kestavo", "/nonexistent/kestavo/Catalogs");
        frame_->Action(ID_OPEN_SELECTED_CATALOG)->trigger();
        QCOMPARE(prompter_.offeredDirectory, QDir::homePath());
        qputenv("Kestavo", catalogs_->path().toUtf8());
        frame_->Action(ID_OPEN_SELECTED_CATALOG)->trigger();
        QCOMPARE(prompter_.offeredDirectory, catalogs_->path());

        // The dialog itself: in the folder, with no name typed in.
        DialogPrompter dialogs(frame_.get());
        for (const QString& given :
             {QStringLiteral("/nonexistent/kestavo/Catalogs"), catalogs_->path()}) {
            QString folder, name = QStringLiteral("?");
            OnNextModal([&](QWidget* modal) {
                auto* dialog = qobject_cast<QFileDialog*>(modal);
                QVERIFY(dialog);
                folder = dialog->directory().absolutePath();
                const auto* field = dialog->findChild<QLineEdit*>(QStringLiteral("fileNameEdit"));
                name = field ? field->text() : QString();
            });
            QCOMPARE(dialogs.ChooseCatalogFile(frame_.get(), given), QString());
            QCOMPARE(folder,
                     QFileInfo(given).isDir() ? QDir(given).absolutePath() : QDir::homePath());
            QCOMPARE(name, QString());
        }
    }
};

int main(int argc, char** argv) {
    QApplication app(argc, argv);
    std::setlocale(LC_ALL, "C.UTF-8");
    UiFaultsTest test;
    return QTest::qExec(&test, argc, argv);
}

#include "ui_faults_test.moc"
